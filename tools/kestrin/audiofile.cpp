#include "audiofile.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace kestrincli {

namespace {

std::string lowerExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

}  // namespace

bool outputFormatFor(const std::string& path, int& sndfileFormat, std::string& error) {
    const std::string ext = lowerExtension(path);
    if (ext == ".wav") {
        sndfileFormat = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    } else if (ext == ".aif" || ext == ".aiff") {
        sndfileFormat = SF_FORMAT_AIFF | SF_FORMAT_FLOAT;
    } else if (ext == ".flac") {
        sndfileFormat = SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    } else {
        error = "cannot write \"" + path + "\": use a .wav, .aif, .aiff or .flac name";
        return false;
    }
    return true;
}

bool OutputFile::create(const std::string& path, double sampleRate, int channels, std::unique_ptr<OutputFile>& out,
                        std::string& error) {
    int format = 0;
    if (!outputFormatFor(path, format, error)) return false;
    namespace fs = std::filesystem;
    const fs::path destination(path);
    if (fs::is_directory(destination)) {
        error = "cannot write \"" + path + "\": it is a folder";
        return false;
    }
    fs::path folder = destination.parent_path();
    if (folder.empty()) folder = ".";
    // A hidden name in the same folder, so that the final rename stays on one file system.
    std::string hidden = ".";
    hidden.append(destination.filename().string()).append(".partial-").append(std::to_string(::getpid()));
    const std::string temporary = (folder / hidden).string();
    SF_INFO info{};
    info.samplerate = static_cast<int>(sampleRate);
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(temporary.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        error = "cannot write \"" + path + "\": " + sf_strerror(nullptr);
        std::remove(temporary.c_str());
        return false;
    }
    // Clip to full scale rather than wrap when writing integer formats.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    out.reset(new OutputFile(path, temporary, file, channels));
    return true;
}

OutputFile::~OutputFile() {
    if (file_ != nullptr) sf_close(file_);
    if (!committed_) std::remove(temporary_.c_str());
}

bool OutputFile::write(const float* const* channels, std::size_t frames, std::string& error) {
    const auto n = static_cast<std::size_t>(channels_);
    interleaved_.resize(frames * n);
    for (std::size_t i = 0; i < frames; ++i)
        for (std::size_t c = 0; c < n; ++c) interleaved_[i * n + c] = channels[c][i];
    if (sf_writef_float(file_, interleaved_.data(), sf_count_t(frames)) != sf_count_t(frames)) {
        error = "cannot write \"" + path_ + "\": " + sf_strerror(file_);
        return false;
    }
    return true;
}

bool OutputFile::commit(std::string& error) {
    const int closed = sf_close(file_);
    file_ = nullptr;
    if (closed != 0) {
        error = "cannot finish \"" + path_ + "\": " + sf_error_number(closed);
        return false;
    }
    if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        error = "cannot write \"" + path_ + "\": " + std::strerror(errno);
        return false;
    }
    committed_ = true;
    return true;
}

}  // namespace kestrincli
