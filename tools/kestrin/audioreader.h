#pragma once
// Input audio for the command-line host, read block by block so that memory stays
// bounded whatever the input's length. A reader works on an open file descriptor,
// not a path, so a pipe can feed it as well as a file.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "audiofile.h"

namespace kestrincli {

class AudioReader {
public:
    virtual ~AudioReader() = default;

    virtual double sampleRate() const = 0;
    virtual int channels() const = 0;
    // The frames the source declares; none when it cannot know (a stream).
    virtual std::optional<std::uint64_t> declaredFrames() const = 0;

    // Main thread. Fills `planar[c][0..got)` for each channel with the next frames,
    // at most `maxFrames`; fewer only at the end of the input. False with a message
    // when the input cannot be decoded or holds a sample that is not finite.
    virtual bool read(float* const* planar, std::size_t maxFrames, std::size_t& got, std::string& error) = 0;
};

// Opens a mono or stereo WAV, AIFF or FLAC file at 8 kHz to 384 kHz holding at least
// one frame, with a header that does not claim more than the file holds. False with
// a message naming the file and the reason otherwise.
bool openAudioFile(const std::string& path, std::unique_ptr<AudioReader>& out, std::string& error);

// openAudioFile, or for "-" the audio on standard input (WAV, AIFF or FLAC), whose
// header's claimed length is checked when the stream ends.
bool openAudioInput(const std::string& path, std::unique_ptr<AudioReader>& out, std::string& error);

// The same checks for the audio on `fd` (owned from now on, closed by the reader),
// called `name` in messages. The header's length is checked against the file's size
// for a regular file, and against what arrived when a stream ends.
bool openAudioDescriptor(int fd, const std::string& name, std::unique_ptr<AudioReader>& out, std::string& error);

// Plays audio already in memory (the built-in demo).
std::unique_ptr<AudioReader> memoryReader(AudioData data);

}  // namespace kestrincli
