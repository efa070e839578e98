// The sound-file reader of the command-line host: any file is either refused with a
// message or opened as mono or stereo at 8 kHz to 384 kHz, and then read block by
// block to its end, each block refused with a message or holding only finite samples
// and never more frames than the header declared. The same bytes also arrive as a
// stream through a pipe (when they fit in one), as standard input gives them.

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audiofile.h"
#include "audioreader.h"
#include "fuzzsupport.h"

namespace {

void readAll(bool opened, std::unique_ptr<kestrincli::AudioReader>& reader, std::string& error) {
    if (!opened) {
        if (error.empty()) kfuzz::trap("a refused file gave no message");
        return;
    }
    if (reader == nullptr) kfuzz::trap("an accepted file gave no reader");
    const int channels = reader->channels();
    if (channels != 1 && channels != 2) kfuzz::trap("a file opened with 0 or 3+ channels");
    if (!(reader->sampleRate() >= kestrincli::kLowestRate && reader->sampleRate() <= kestrincli::kHighestRate))
        kfuzz::trap("a file opened at a rate out of range");

    constexpr std::size_t kBlock = 4096;
    std::vector<float> left(kBlock), right(kBlock);
    float* planar[2] = {left.data(), right.data()};
    std::uint64_t total = 0;
    for (;;) {
        std::size_t got = 0;
        if (!reader->read(planar, kBlock, got, error)) {
            if (error.empty()) kfuzz::trap("a refused block gave no message");
            return;
        }
        if (got > kBlock) kfuzz::trap("a block longer than asked for");
        for (int c = 0; c < channels; ++c)
            for (std::size_t i = 0; i < got; ++i)
                if (!std::isfinite(planar[c][i])) kfuzz::trap("a sample read that is not finite");
        total += got;
        if (got < kBlock) break;
    }
    if (const auto declared = reader->declaredFrames(); declared && total > *declared)
        kfuzz::trap("more frames read than the header declared");
}

// What a pipe holds without a reader draining it.
constexpr std::size_t kPipeBytes = 65536;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static kfuzz::MemoryFile file;
    file.write({data, size});
    {
        std::unique_ptr<kestrincli::AudioReader> reader;
        std::string error;
        readAll(kestrincli::openAudioFile(file.path(), reader, error), reader, error);
    }
    if (size <= kPipeBytes) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) kfuzz::trap("no pipe");
        if (size > 0 && ::write(ends[1], data, size) != ssize_t(size)) kfuzz::trap("the pipe did not take the bytes");
        ::close(ends[1]);
        std::unique_ptr<kestrincli::AudioReader> reader;
        std::string error;
        readAll(kestrincli::openAudioDescriptor(ends[0], "stream", reader, error), reader, error);
    }
    return 0;
}
