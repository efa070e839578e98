#pragma once
// Sound files for the command-line host: audio held in memory, the rates the host
// accepts, the output formats, and writing the result. A file is never left
// half-written (the data goes to a temporary file next to the destination, renamed
// into place only when complete); "-" writes a WAV stream to standard output as it
// is rendered. Reading is in audioreader.h.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "samplequantizer.h"

namespace kestrincli {

struct AudioData {
    double sampleRate = 0;
    std::vector<std::vector<float>> channels;  // planar, equal lengths
    std::size_t frames() const { return channels.empty() ? 0 : channels[0].size(); }
};

inline constexpr double kLowestRate = 8000.0;
inline constexpr double kHighestRate = 384000.0;

enum class Container { wav, aiff, flac };

struct OutputFormat {
    Container container = Container::wav;
    int bits = 32;  // 16 or 24 (integers) or 32 (float; not for FLAC)
};

// "wav", "aif"/"aiff" or "flac" (any case, with or without the dot); false otherwise.
bool containerNamed(const std::string& word, Container& out);
// ".wav", ".aiff", ".flac"
const char* extensionOf(Container container);
// "32-bit float WAV", "16-bit FLAC"
std::string describeFormat(const OutputFormat& format);

// The container an output name asks for by its extension: .wav, .aif/.aiff, .flac
// ("-", standard output, is WAV). False with a message for another extension.
bool containerFor(const std::string& path, Container& out, std::string& error);

// The format written for `container` with --bits `bits` (none: the container's
// default, 32-bit float for WAV and AIFF, 24-bit for FLAC). False with a message
// when the container cannot hold that many bits (32 with FLAC).
bool outputFormatFor(Container container, std::optional<int> bits, OutputFormat& out, std::string& error);

class OutputFile {
public:
    // For a file: creates the temporary file, failing early (before any rendering)
    // when the destination cannot be written. For "-": writes the WAV header to
    // standard output (only WAV streams).
    static bool create(const std::string& path, const OutputFormat& format, double sampleRate, int channels,
                       std::unique_ptr<OutputFile>& out, std::string& error);
    // A file: removes the temporary file unless commit() succeeded.
    virtual ~OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Appends `frames` frames from planar channels.
    bool write(const float* const* channels, std::size_t frames, std::string& error);
    // Finishes the output: a file is closed and moved into place.
    virtual bool commit(std::string& error) = 0;

    const std::string& path() const { return path_; }
    const OutputFormat& format() const { return format_; }
    // The destination already existed: committing replaces it.
    bool replaces() const { return replaces_; }
    // Samples clipped at full scale so far (integer formats only).
    std::uint64_t clippedSamples() const { return quantizer_ ? quantizer_->clipped() : 0; }

protected:
    OutputFile(std::string path, const OutputFormat& format, int channels, bool replaces);
    // Interleaved frames: floats for a float format, else integers of format().bits.
    virtual bool writeFloats(const float* interleaved, std::size_t frames, std::string& error) = 0;
    virtual bool writeIntegers(const std::int32_t* interleaved, std::size_t frames, std::string& error) = 0;

    int channels_;

private:
    std::string path_;
    OutputFormat format_;
    bool replaces_;
    std::optional<SampleQuantizer> quantizer_;
    std::vector<float> floats_;
    std::vector<std::int32_t> integers_;
};

}  // namespace kestrincli
