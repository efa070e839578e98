#include "audiofile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "plainerror.h"
#include "wavheader.h"

namespace kestrincli {

namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// A file written under a hidden name next to its destination (so that the final
// rename stays on one file system), moved into place by commit(), else removed.
class TemporaryFile {
public:
    static bool create(const std::string& path, std::unique_ptr<TemporaryFile>& out, std::string& error) {
        namespace fs = std::filesystem;
        const fs::path destination(path);
        fs::path folder = destination.parent_path();
        if (folder.empty()) folder = ".";
        std::string hidden = ".";
        hidden.append(destination.filename().string()).append(".partial-").append(std::to_string(::getpid()));
        const std::string temporary = (folder / hidden).string();
        const int fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) {
            error = "cannot write \"" + path + "\": " + systemErrorInWords(errno);
            return false;
        }
        out.reset(new TemporaryFile(path, temporary, fd));
        return true;
    }
    ~TemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!committed_) std::remove(temporary_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const { return fd_; }

    bool commit(std::string& error) {
        const int closed = ::close(fd_);
        fd_ = -1;
        if (closed != 0) {
            error = "cannot finish \"" + path_ + "\": " + systemErrorInWords(errno);
            return false;
        }
        if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
            error = "cannot write \"" + path_ + "\": " + systemErrorInWords(errno);
            return false;
        }
        committed_ = true;
        return true;
    }

private:
    TemporaryFile(std::string path, std::string temporary, int fd)
        : path_(std::move(path)), temporary_(std::move(temporary)), fd_(fd) {}

    std::string path_;
    std::string temporary_;
    int fd_;
    bool committed_ = false;
};

// AIFF and FLAC through libsndfile, into a temporary file.
class SoundFileOutput final : public OutputFile {
public:
    SoundFileOutput(std::string path, const OutputFormat& format, int channels, bool replaces,
                    std::unique_ptr<TemporaryFile> file, SNDFILE* sound)
        : OutputFile(std::move(path), format, channels, replaces), file_(std::move(file)), sound_(sound) {}
    ~SoundFileOutput() override {
        if (sound_ != nullptr) sf_close(sound_);
    }

    bool commit(std::string& error) override {
        const int closed = sf_close(sound_);
        sound_ = nullptr;
        if (closed != 0) {
            error = "cannot finish \"" + path() + "\": " + soundFileErrorInWords(sf_error_number(closed));
            return false;
        }
        return file_->commit(error);
    }

private:
    bool writeFloats(const float* interleaved, std::size_t frames, std::string& error) override {
        return check(sf_writef_float(sound_, interleaved, sf_count_t(frames)), frames, error);
    }
    bool writeIntegers(const std::int32_t* interleaved, std::size_t frames, std::string& error) override {
        // libsndfile takes integers at 32-bit full scale and keeps the top bits.
        const int shift = 32 - format().bits;
        wide_.resize(frames * std::size_t(channels_));
        for (std::size_t i = 0; i < wide_.size(); ++i) wide_[i] = int(std::uint32_t(interleaved[i]) << shift);
        return check(sf_writef_int(sound_, wide_.data(), sf_count_t(frames)), frames, error);
    }
    bool check(sf_count_t written, std::size_t frames, std::string& error) {
        if (written == sf_count_t(frames)) return true;
        const int saved = errno;
        const int code = sf_error(sound_);
        error = "cannot write \"" + path() + "\": " +
                (code == SF_ERR_SYSTEM || code == SF_ERR_NO_ERROR ? systemErrorInWords(saved)
                                                                  : soundFileErrorInWords(sf_error_number(code)));
        return false;
    }

    std::unique_ptr<TemporaryFile> file_;
    SNDFILE* sound_;
    std::vector<int> wide_;
};

// A WAV file, or a WAV stream on standard output, written as it is rendered. The
// header is the standard one (see wavheader.h), which sox and ffmpeg read without
// warnings; libsndfile's float header lacks the extension size, and sox warns about
// it. The sizes are not known until the end, so the header first carries the values
// sox gives a stream it cannot seek back into ("read to the end"); where the output
// can seek, the true sizes replace them at the end, in the RF64 form beyond 4 GB.
class WavOutput final : public OutputFile {
public:
    // `file`: a temporary file to write and commit; none: standard output.
    WavOutput(std::string path, const OutputFormat& format, double sampleRate, int channels, bool replaces,
              std::unique_ptr<TemporaryFile> file)
        : OutputFile(std::move(path), format, channels, replaces),
          file_(std::move(file)),
          fd_(file_ ? file_->fd() : STDOUT_FILENO),
          shape_{format.bits, channels, std::uint32_t(sampleRate)},
          header_(wavHeader(shape_, std::nullopt)) {}

    bool begin(std::string& error) {
        // A reader that goes away is a write error to report, not a signal to die of.
        if (!file_) std::signal(SIGPIPE, SIG_IGN);
        const off_t at = ::lseek(fd_, 0, SEEK_CUR);
        const int flags = ::fcntl(fd_, F_GETFL);
        seekable_ = at == 0 && flags >= 0 && (flags & O_APPEND) == 0;
        return put(header_.data(), header_.size(), error);
    }

    bool commit(std::string& error) override {
        if (seekable_) {
            const std::string final = wavHeader(shape_, dataBytes_);
            if (::pwrite(fd_, final.data(), final.size(), 0) != ssize_t(final.size())) {
                error = "cannot finish " + where() + ": " + systemErrorInWords(errno);
                return false;
            }
        }
        return !file_ || file_->commit(error);
    }

private:
    bool writeFloats(const float* interleaved, std::size_t frames, std::string& error) override {
        bytes_.clear();
        for (std::size_t i = 0; i < frames * std::size_t(channels_); ++i) {
            std::uint32_t bits = 0;
            std::memcpy(&bits, &interleaved[i], 4);
            appendLittle(bytes_, bits, 4);
        }
        return put(bytes_.data(), bytes_.size(), error);
    }
    bool writeIntegers(const std::int32_t* interleaved, std::size_t frames, std::string& error) override {
        bytes_.clear();
        const int width = format().bits / 8;
        for (std::size_t i = 0; i < frames * std::size_t(channels_); ++i)
            appendLittle(bytes_, std::uint32_t(interleaved[i]), width);
        return put(bytes_.data(), bytes_.size(), error);
    }
    bool put(const char* data, std::size_t size, std::string& error) {
        for (std::size_t done = 0; done < size;) {
            const ssize_t n = ::write(fd_, data + done, size - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error = !file_ && errno == EPIPE ? "cannot write to standard output: the program reading it has stopped"
                                                 : "cannot write " + where() + ": " + systemErrorInWords(errno);
                return false;
            }
            done += std::size_t(n);
        }
        if (data != header_.data()) dataBytes_ += size;
        return true;
    }

    std::string where() const { return file_ ? "\"" + path() + "\"" : "to standard output"; }

    std::unique_ptr<TemporaryFile> file_;
    int fd_;
    WavShape shape_;
    std::string header_;
    std::uint64_t dataBytes_ = 0;
    bool seekable_ = false;
    std::string bytes_;
};

}  // namespace

bool containerNamed(const std::string& word, Container& out) {
    std::string w = lowered(word);
    if (!w.empty() && w[0] == '.') w.erase(0, 1);
    if (w == "wav") out = Container::wav;
    else if (w == "aif" || w == "aiff") out = Container::aiff;
    else if (w == "flac") out = Container::flac;
    else return false;
    return true;
}

const char* extensionOf(Container container) {
    switch (container) {
        case Container::wav: return ".wav";
        case Container::aiff: return ".aiff";
        case Container::flac: return ".flac";
    }
    return ".wav";
}

std::string describeFormat(const OutputFormat& format) {
    const char* name = format.container == Container::wav ? "WAV" : format.container == Container::aiff ? "AIFF" : "FLAC";
    return std::to_string(format.bits) + (format.bits == 32 ? "-bit float " : "-bit ") + name;
}

bool containerFor(const std::string& path, Container& out, std::string& error) {
    if (path == "-") {
        out = Container::wav;
        return true;
    }
    const std::string ext = std::filesystem::path(path).extension().string();
    if (ext.empty() || !containerNamed(ext, out)) {
        error = "cannot write \"" + path + "\": use a .wav, .aif, .aiff or .flac name";
        return false;
    }
    return true;
}

bool outputFormatFor(Container container, std::optional<int> bits, OutputFormat& out, std::string& error) {
    out.container = container;
    out.bits = bits.value_or(container == Container::flac ? 24 : 32);
    if (container == Container::flac && out.bits == 32) {
        error = "FLAC holds 16 or 24 bits, not 32-bit float: use --bits 16 or 24, or a .wav or .aiff output";
        return false;
    }
    return true;
}

OutputFile::OutputFile(std::string path, const OutputFormat& format, int channels, bool replaces)
    : channels_(channels), path_(std::move(path)), format_(format), replaces_(replaces) {
    if (format.bits != 32) quantizer_.emplace(format.bits);
}

bool OutputFile::write(const float* const* channels, std::size_t frames, std::string& error) {
    const auto n = static_cast<std::size_t>(channels_);
    if (!quantizer_) {
        floats_.resize(frames * n);
        for (std::size_t i = 0; i < frames; ++i)
            for (std::size_t c = 0; c < n; ++c) floats_[i * n + c] = channels[c][i];
        return writeFloats(floats_.data(), frames, error);
    }
    integers_.resize(frames * n);
    for (std::size_t i = 0; i < frames; ++i)
        for (std::size_t c = 0; c < n; ++c) integers_[i * n + c] = quantizer_->quantize(channels[c][i]);
    return writeIntegers(integers_.data(), frames, error);
}

bool OutputFile::create(const std::string& path, const OutputFormat& format, double sampleRate, int channels,
                        std::unique_ptr<OutputFile>& out, std::string& error) {
    if (path == "-" && format.container != Container::wav) {
        error = "standard output takes WAV only";
        return false;
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    std::unique_ptr<TemporaryFile> file;
    bool replaces = false;
    if (path != "-") {
        if (fs::is_directory(path, ec)) {
            error = "cannot write \"" + path + "\": it is a folder";
            return false;
        }
        replaces = fs::exists(path, ec);
        if (!TemporaryFile::create(path, file, error)) return false;
    }
    if (format.container == Container::wav) {
        auto wav = std::make_unique<WavOutput>(path, format, sampleRate, channels, replaces, std::move(file));
        if (!wav->begin(error)) return false;
        out = std::move(wav);
        return true;
    }
    SF_INFO info{};
    info.samplerate = static_cast<int>(sampleRate);
    info.channels = channels;
    const int major = format.container == Container::aiff ? SF_FORMAT_AIFF : SF_FORMAT_FLAC;
    const int minor = format.bits == 16 ? SF_FORMAT_PCM_16 : format.bits == 24 ? SF_FORMAT_PCM_24 : SF_FORMAT_FLOAT;
    info.format = major | minor;
    SNDFILE* sound = sf_open_fd(file->fd(), SFM_WRITE, &info, SF_FALSE);
    if (sound == nullptr) {
        error = "cannot write \"" + path + "\": " + soundFileErrorInWords(sf_strerror(nullptr));
        return false;
    }
    // The PEAK chunk libsndfile adds to float files carries the time of writing:
    // identical renders are to give identical bytes, and the summary reports the peak.
    sf_command(sound, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    out.reset(new SoundFileOutput(path, format, channels, replaces, std::move(file), sound));
    return true;
}

}  // namespace kestrincli
