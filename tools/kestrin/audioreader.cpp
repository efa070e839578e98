#include "audioreader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
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

// A stream (a pipe, standard input) as libsndfile's virtual I/O. Decoders look back
// at the start of a stream while they identify it (FLAC's metadata, a WAV header's
// chunks), so the first bytes are kept and may be read again; past them the stream
// only goes forward, and a skip forward reads and drops what it passes. Its length is
// unknown: the audio goes on to the end of the stream.
class PipeSource {
public:
    explicit PipeSource(int fd) : fd_(fd) {}

    static SF_VIRTUAL_IO callbacks() {
        SF_VIRTUAL_IO io{};
        io.get_filelen = [](void*) -> sf_count_t { return SF_COUNT_MAX; };
        io.seek = [](sf_count_t offset, int whence, void* self) { return static_cast<PipeSource*>(self)->seek(offset, whence); };
        io.read = [](void* into, sf_count_t count, void* self) { return static_cast<PipeSource*>(self)->read(into, count); };
        io.write = [](const void*, sf_count_t, void*) -> sf_count_t { return 0; };
        io.tell = [](void* self) { return static_cast<PipeSource*>(self)->position_; };
        return io;
    }

private:
    // How much of the start of a stream can be read again.
    static constexpr std::size_t kKeptBytes = 1 << 20;

    sf_count_t read(void* into, sf_count_t count) {
        auto* out = static_cast<char*>(into);
        sf_count_t done = 0;
        if (position_ < received_) {
            // Looking back: only where the kept start still holds it.
            const auto from = std::size_t(position_);
            const sf_count_t n = std::min<sf_count_t>(count, received_ - position_);
            std::memcpy(out, kept_.data() + from, std::size_t(n));
            done = n;
            position_ += n;
        }
        while (done < count) {
            const ssize_t n = ::read(fd_, out + done, std::size_t(count - done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            keep(out + done, std::size_t(n));
            done += n;
            position_ += n;
        }
        return done;
    }

    sf_count_t seek(sf_count_t offset, int whence) {
        sf_count_t target = whence == SEEK_SET ? offset : whence == SEEK_CUR ? position_ + offset : -1;
        if (target < 0) return -1;  // the end of a stream is not known
        if (target <= received_) {
            if (target < received_ && !keeping_) return -1;
            position_ = target;
            return position_;
        }
        position_ = received_;
        char skipped[4096];
        while (position_ < target) {
            const sf_count_t want = std::min<sf_count_t>(sf_count_t(sizeof skipped), target - position_);
            if (read(skipped, want) != want) return -1;
        }
        return position_;
    }

    void keep(const char* bytes, std::size_t n) {
        received_ += sf_count_t(n);
        if (!keeping_) return;
        if (kept_.size() + n > kKeptBytes) {
            keeping_ = false;
            kept_ = {};
            return;
        }
        kept_.insert(kept_.end(), bytes, bytes + n);
    }

    int fd_;
    sf_count_t position_ = 0;  // where the decoder reads next
    sf_count_t received_ = 0;  // how much the stream has given
    std::vector<char> kept_;   // bytes 0 .. received_ while keeping_
    bool keeping_ = true;
};

class SoundFileReader final : public AudioReader {
public:
    // Takes `fd` and `file` (opened on it).
    // `streamClaim`: on a stream, the frames its header claims, when it claims any.
    SoundFileReader(int fd, std::unique_ptr<PipeSource> source, SNDFILE* file, const SF_INFO& info, std::string name,
                    bool knowsLength, std::optional<std::uint64_t> streamClaim)
        : fd_(fd),
          source_(std::move(source)),
          file_(file),
          info_(info),
          name_(std::move(name)),
          knowsLength_(knowsLength),
          streamClaim_(streamClaim) {}
    ~SoundFileReader() override {
        sf_close(file_);
        source_.reset();
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
    std::unique_ptr<PipeSource> source_;  // what `file_` reads from a stream
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
// when the encoding's size per frame is not fixed (but for FLAC, which says).
std::optional<std::uint64_t> streamClaim(const SF_INFO& info) {
    // FLAC states its length in STREAMINFO (0 where the encoder did not know it).
    if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_FLAC) {
        constexpr sf_count_t kLongestStated = sf_count_t(1) << 36;  // what STREAMINFO's 36 bits hold
        if (info.frames > 0 && info.frames < kLongestStated) return std::uint64_t(info.frames);
        return std::nullopt;
    }
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
    std::unique_ptr<PipeSource> source;
    SNDFILE* file = nullptr;
    if (regular) {
        file = sf_open_fd(fd, SFM_READ, &info, SF_FALSE);
    } else {
        source = std::make_unique<PipeSource>(fd);
        SF_VIRTUAL_IO io = PipeSource::callbacks();
        file = sf_open_virtual(&io, SFM_READ, &info, source.get());
    }
    if (file == nullptr) {
        source.reset();
        ::close(fd);
        error = "cannot read \"" + name + "\": " + soundFileErrorInWords(sf_strerror(nullptr)) +
                " (Kestrin reads WAV, AIFF and FLAC files)";
        return false;
    }
    auto reader = std::make_unique<SoundFileReader>(fd, std::move(source), file, info, name, regular,
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
