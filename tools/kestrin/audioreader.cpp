#include "audioreader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "headercheck.h"

namespace kestrincli {

namespace {

// "at 1.250 s (frame 60000, channel 2)"
std::string describePosition(std::uint64_t frame, double rate, int channel) {
    char text[96];
    std::snprintf(text, sizeof text, "at %.3f s (frame %llu, channel %d)", double(frame) / rate,
                  static_cast<unsigned long long>(frame), channel + 1);
    return text;
}

class SoundFileReader final : public AudioReader {
public:
    // Takes `fd` and `file` (opened on it).
    SoundFileReader(int fd, SNDFILE* file, const SF_INFO& info, std::string name, bool knowsLength)
        : fd_(fd), file_(file), info_(info), name_(std::move(name)), knowsLength_(knowsLength) {}
    ~SoundFileReader() override {
        sf_close(file_);
        ::close(fd_);
    }
    SoundFileReader(const SoundFileReader&) = delete;
    SoundFileReader& operator=(const SoundFileReader&) = delete;

    double sampleRate() const override { return info_.samplerate; }
    int channels() const override { return info_.channels; }
    std::optional<std::uint64_t> declaredFrames() const override {
        if (!knowsLength_) return std::nullopt;
        return static_cast<std::uint64_t>(info_.frames);
    }

    bool read(float* const* planar, std::size_t maxFrames, std::size_t& got, std::string& error) override {
        const auto n = static_cast<std::size_t>(info_.channels);
        if (interleaved_.size() < maxFrames * n) interleaved_.resize(maxFrames * n);
        got = 0;
        while (got < maxFrames) {
            const sf_count_t r = sf_readf_float(file_, interleaved_.data() + got * n, sf_count_t(maxFrames - got));
            if (r <= 0) break;
            got += static_cast<std::size_t>(r);
        }
        if (sf_error(file_) != SF_ERR_NO_ERROR) {
            error = "cannot read \"" + name_ + "\" after frame " + std::to_string(position_ + got) + ": " +
                    sf_strerror(file_);
            return false;
        }
        for (std::size_t i = 0; i < got; ++i)
            for (std::size_t c = 0; c < n; ++c) {
                const float x = interleaved_[i * n + c];
                if (!std::isfinite(x)) {
                    error = "\"" + name_ + "\" holds a sample that is not a finite number (" +
                            (std::isnan(x) ? "NaN" : "infinite") + ") " +
                            describePosition(position_ + i, sampleRate(), int(c));
                    return false;
                }
                planar[c][i] = x;
            }
        position_ += got;
        return true;
    }

private:
    int fd_;
    SNDFILE* file_;
    SF_INFO info_;
    std::string name_;
    bool knowsLength_;
    std::uint64_t position_ = 0;
    std::vector<float> interleaved_;
};

class MemoryReader final : public AudioReader {
public:
    explicit MemoryReader(AudioData data) : data_(std::move(data)) {}
    double sampleRate() const override { return data_.sampleRate; }
    int channels() const override { return int(data_.channels.size()); }
    std::optional<std::uint64_t> declaredFrames() const override { return data_.frames(); }
    bool read(float* const* planar, std::size_t maxFrames, std::size_t& got, std::string&) override {
        got = std::min(maxFrames, data_.frames() - position_);
        for (std::size_t c = 0; c < data_.channels.size(); ++c)
            std::copy_n(data_.channels[c].begin() + std::ptrdiff_t(position_), got, planar[c]);
        position_ += got;
        return true;
    }

private:
    AudioData data_;
    std::size_t position_ = 0;
};

}  // namespace

bool openAudioFile(const std::string& path, std::unique_ptr<AudioReader>& out, std::string& error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = "cannot read \"" + path + "\": " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = "cannot read \"" + path + "\": it is a folder";
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot read \"" + path + "\": " + std::strerror(errno);
        return false;
    }
    return openAudioDescriptor(fd, path, out, error);
}

bool openAudioDescriptor(int fd, const std::string& name, std::unique_ptr<AudioReader>& out, std::string& error) {
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (regular) {
        const ReadAt readAt = [fd](std::uint64_t offset, void* into, std::size_t length) {
            return ::pread(fd, into, length, off_t(offset)) == ssize_t(length);
        };
        if (!checkHeader(readAt, std::uint64_t(st.st_size), name, error)) {
            ::close(fd);
            return false;
        }
    }
    SF_INFO info{};
    SNDFILE* file = sf_open_fd(fd, SFM_READ, &info, SF_FALSE);
    if (file == nullptr) {
        ::close(fd);
        error = "cannot read \"" + name + "\": " + sf_strerror(nullptr) + " (Kestrin reads WAV, AIFF and FLAC files)";
        return false;
    }
    auto reader = std::make_unique<SoundFileReader>(fd, file, info, name, regular);
    if (info.channels != 1 && info.channels != 2) {
        error = "\"" + name + "\" has " + std::to_string(info.channels) +
                " channels; Kestrin 3 takes mono or stereo input";
        return false;
    }
    if (info.samplerate < kLowestRate || info.samplerate > kHighestRate) {
        error = unsupportedRateMessage(name, info.samplerate);
        return false;
    }
    if (regular && info.frames <= 0) {
        error = "\"" + name + "\" holds no audio (0 frames)";
        return false;
    }
    out = std::move(reader);
    return true;
}

std::unique_ptr<AudioReader> memoryReader(AudioData data) { return std::make_unique<MemoryReader>(std::move(data)); }

}  // namespace kestrincli
