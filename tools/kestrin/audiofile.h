#pragma once
// Sound files for the command-line host, through libsndfile: audio held in memory,
// the rates the host accepts, and writing the result without ever leaving a
// half-written file behind (the data goes to a temporary file next to the
// destination, renamed into place only when complete). Reading is in audioreader.h.

#include <memory>
#include <string>
#include <vector>

#include <sndfile.h>

namespace kestrincli {

struct AudioData {
    double sampleRate = 0;
    std::vector<std::vector<float>> channels;  // planar, equal lengths
    std::size_t frames() const { return channels.empty() ? 0 : channels[0].size(); }
};

inline constexpr double kLowestRate = 8000.0;
inline constexpr double kHighestRate = 384000.0;

// The format an output name asks for: .wav (32-bit float), .aif/.aiff (32-bit float),
// .flac (24-bit). False with a message for another extension.
bool outputFormatFor(const std::string& path, int& sndfileFormat, std::string& error);

class OutputFile {
public:
    // Creates the temporary file; fails early (before any rendering) when the
    // destination folder cannot be written.
    static bool create(const std::string& path, double sampleRate, int channels, std::unique_ptr<OutputFile>& out,
                       std::string& error);
    // Removes the temporary file unless commit() succeeded.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Appends `frames` frames from planar channels.
    bool write(const float* const* channels, std::size_t frames, std::string& error);
    // Closes the file and moves it into place.
    bool commit(std::string& error);

    const std::string& path() const { return path_; }

private:
    OutputFile(std::string path, std::string temporary, SNDFILE* file, int channels)
        : path_(std::move(path)), temporary_(std::move(temporary)), file_(file), channels_(channels) {}

    std::string path_;
    std::string temporary_;
    SNDFILE* file_;
    int channels_;
    bool committed_ = false;
    std::vector<float> interleaved_;
};

}  // namespace kestrincli
