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

#include <sndfile.h>

#include "headercheck.h"
#include "plainerror.h"

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
    // `streamClaim`: on a stream, the frames its header claims, when it claims any.
    SoundFileReader(int fd, SNDFILE* file, const SF_INFO& info, std::string name, bool knowsLength,
                    std::optional<std::uint64_t> streamClaim)
        : fd_(fd),
          file_(file),
          info_(info),
          name_(std::move(name)),
          knowsLength_(knowsLength),
          streamClaim_(streamClaim) {}
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
                    soundFileErrorInWords(sf_strerror(file_));
            return false;
        }
        // A file's header was checked against its size on opening; a stream's claim
        // can only be checked once it ends.
        if (got < maxFrames && streamClaim_ && position_ + got < *streamClaim_) {
            error = "\"" + name_ + "\" is cut short or its header is wrong: the header claims " +
                    std::to_string(*streamClaim_) + " frames, " + std::to_string(position_ + got) + " arrived";
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
    std::optional<std::uint64_t> streamClaim_;
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

// The frames a stream's header claims; none for the sizes a writer that cannot seek
// back puts there (0xFFFFFFFF, or 0x7FFFF000 as sox writes: "read to the end"), or
// when the encoding's size per frame is not fixed.
std::optional<std::uint64_t> streamClaim(const SF_INFO& info) {
    std::uint64_t sampleBytes = 0;
    switch (info.format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8: sampleBytes = 1; break;
        case SF_FORMAT_PCM_16: sampleBytes = 2; break;
        case SF_FORMAT_PCM_24: sampleBytes = 3; break;
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT: sampleBytes = 4; break;
        case SF_FORMAT_DOUBLE: sampleBytes = 8; break;
        default: return std::nullopt;
    }
    const int major = info.format & SF_FORMAT_TYPEMASK;
    if ((major != SF_FORMAT_WAV && major != SF_FORMAT_AIFF && major != SF_FORMAT_WAVEX) || info.frames <= 0)
        return std::nullopt;
    const std::uint64_t bytes = std::uint64_t(info.frames) * std::uint64_t(info.channels) * sampleBytes;
    if (bytes >= 0x7FFFF000u - sampleBytes * std::uint64_t(info.channels)) return std::nullopt;
    return std::uint64_t(info.frames);
}

}  // namespace

bool openAudioInput(const std::string& path, std::unique_ptr<AudioReader>& out, std::string& error) {
    if (path != "-") return openAudioFile(path, out, error);
    const int fd = ::dup(STDIN_FILENO);
    if (fd < 0) {
        error = "cannot read standard input: " + systemErrorInWords(errno);
        return false;
    }
    return openAudioDescriptor(fd, "standard input", out, error);
}

bool openAudioFile(const std::string& path, std::unique_ptr<AudioReader>& out, std::string& error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = "cannot read \"" + path + "\": " + systemErrorInWords(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = "cannot read \"" + path + "\": it is a folder";
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot read \"" + path + "\": " + systemErrorInWords(errno);
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
        error = "cannot read \"" + name + "\": " + soundFileErrorInWords(sf_strerror(nullptr)) +
                " (Kestrin reads WAV, AIFF and FLAC files)";
        return false;
    }
    auto reader = std::make_unique<SoundFileReader>(fd, file, info, name, regular,
                                                    regular ? std::nullopt : streamClaim(info));
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
