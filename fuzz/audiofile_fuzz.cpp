// The sound-file reader of the command-line host: any file is either refused with a
// message or read as mono or stereo at 8 kHz to 384 kHz with equal channel lengths.

#include <cstdint>
#include <string>

#include "audiofile.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static kfuzz::MemoryFile file;
    file.write({data, size});
    kestrincli::AudioData audio;
    std::string error;
    if (!kestrincli::readAudioFile(file.path(), audio, error)) {
        if (error.empty()) kfuzz::trap("a refused file gave no message");
        return 0;
    }
    if (audio.channels.size() != 1 && audio.channels.size() != 2) kfuzz::trap("a file read with 0 or 3+ channels");
    if (audio.channels.back().size() != audio.frames()) kfuzz::trap("channels of different lengths");
    if (!(audio.sampleRate >= kestrincli::kLowestRate && audio.sampleRate <= kestrincli::kHighestRate))
        kfuzz::trap("a file read at a rate out of range");
    return 0;
}
