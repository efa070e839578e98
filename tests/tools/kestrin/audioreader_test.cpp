// The command line's input reader: block reads that add up to the file, a short
// block only at the end, non-finite samples named where they are, files refused at
// open, and a pipe read as a stream of unknown length.

#include "audioreader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using kestrincli::AudioReader;

class AudioReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kestrin-reader-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Stereo frames i = (i / 1000, -i / 1000) scaled into range, as 32-bit float.
    std::string write(const std::string& name, std::size_t frames, int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT,
                      std::size_t nanAt = SIZE_MAX) {
        const std::string p = (dir_ / name).string();
        SF_INFO info{};
        info.samplerate = 44100;
        info.channels = 2;
        info.format = format;
        SNDFILE* f = sf_open(p.c_str(), SFM_WRITE, &info);
        EXPECT_NE(f, nullptr) << sf_strerror(nullptr);
        std::vector<float> inter(frames * 2);
        for (std::size_t i = 0; i < frames; ++i) {
            inter[2 * i] = float(i % 1000) / 1000.0f;
            inter[2 * i + 1] = i == nanAt ? std::nanf("") : -float(i % 1000) / 1000.0f;
        }
        sf_writef_float(f, inter.data(), sf_count_t(frames));
        sf_close(f);
        return p;
    }

    // Reads everything in blocks of `block`; the sizes of the blocks read.
    static std::vector<std::size_t> readAll(AudioReader& reader, std::size_t block, std::vector<float>& left,
                                            std::vector<float>& right, std::string& error) {
        std::vector<float> l(block), r(block);
        float* planar[2] = {l.data(), r.data()};
        std::vector<std::size_t> sizes;
        for (;;) {
            std::size_t got = 0;
            if (!reader.read(planar, block, got, error)) break;
            sizes.push_back(got);
            left.insert(left.end(), l.begin(), l.begin() + std::ptrdiff_t(got));
            right.insert(right.end(), r.begin(), r.begin() + std::ptrdiff_t(got));
            if (got < block) break;
        }
        return sizes;
    }

    fs::path dir_;
};

TEST_F(AudioReaderTest, ReadsTheFileInFullBlocksWithOnlyTheLastShort) {
    std::unique_ptr<AudioReader> reader;
    std::string error;
    ASSERT_TRUE(kestrincli::openAudioFile(write("a.wav", 1000), reader, error)) << error;
    EXPECT_EQ(reader->channels(), 2);
    EXPECT_EQ(reader->sampleRate(), 44100.0);
    EXPECT_EQ(reader->declaredFrames(), 1000u);
    std::vector<float> left, right;
    EXPECT_EQ(readAll(*reader, 300, left, right, error), (std::vector<std::size_t>{300, 300, 300, 100}));
    ASSERT_EQ(left.size(), 1000u);
    for (std::size_t i = 0; i < 1000; i += 37) {
        EXPECT_EQ(left[i], float(i % 1000) / 1000.0f) << i;
        EXPECT_EQ(right[i], -float(i % 1000) / 1000.0f) << i;
    }
    // A length that is a whole number of blocks ends with an empty read.
    ASSERT_TRUE(kestrincli::openAudioFile(write("b.wav", 600, SF_FORMAT_AIFF | SF_FORMAT_PCM_16), reader, error));
    left.clear(), right.clear();
    EXPECT_EQ(readAll(*reader, 300, left, right, error), (std::vector<std::size_t>{300, 300, 0}));
}

TEST_F(AudioReaderTest, StopsAtTheFirstNonFiniteSampleAndNamesIt) {
    std::unique_ptr<AudioReader> reader;
    std::string error;
    ASSERT_TRUE(kestrincli::openAudioFile(write("nan.wav", 1000, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 650), reader, error));
    std::vector<float> left, right;
    EXPECT_EQ(readAll(*reader, 300, left, right, error), (std::vector<std::size_t>{300, 300}));
    EXPECT_NE(error.find("not a finite number (NaN) at 0.015 s (frame 650, channel 2)"), std::string::npos) << error;
}

TEST_F(AudioReaderTest, RefusesAtOpenWhatCannotBeRendered) {
    const std::string empty = write("empty.wav", 0);
    const std::string cut = write("cut.wav", 1000);
    fs::resize_file(cut, fs::file_size(cut) - 100);
    const std::string folder = dir_.string();
    const struct {
        std::string path;
        const char* message;
    } cases[] = {
        {empty, "holds no audio (0 frames)"},
        {cut, "is cut short or its header is wrong: the header claims 8000 bytes (8.0 kB) of audio data"},
        {folder, "it is a folder"},
        {(dir_ / "missing.wav").string(), "no such file"},
    };
    for (const auto& c : cases) {
        std::unique_ptr<AudioReader> reader;
        std::string error;
        EXPECT_FALSE(kestrincli::openAudioFile(c.path, reader, error)) << c.path;
        EXPECT_EQ(reader, nullptr);
        EXPECT_NE(error.find(c.message), std::string::npos) << c.path << ": " << error;
    }
}

TEST_F(AudioReaderTest, ReadsAStreamOfUnknownLengthFromAPipe) {
    const std::string file = write("piped.wav", 5000, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    std::signal(SIGPIPE, SIG_IGN);  // a reader that gave up must fail the test, not kill it
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::thread feeder([&] {
        const int in = ::open(file.c_str(), O_RDONLY);
        char buffer[777];
        ssize_t n;
        while ((n = ::read(in, buffer, sizeof buffer)) > 0) EXPECT_EQ(::write(fds[1], buffer, std::size_t(n)), n);
        ::close(in);
        ::close(fds[1]);
    });
    std::unique_ptr<AudioReader> reader;
    std::string error;
    const bool opened = kestrincli::openAudioDescriptor(fds[0], "standard input", reader, error);
    std::vector<float> left, right;
    if (opened) {
        EXPECT_FALSE(reader->declaredFrames().has_value());
        readAll(*reader, 512, left, right, error);
        reader.reset();
    }
    feeder.join();
    ASSERT_TRUE(opened) << error;
    EXPECT_EQ(left.size(), 5000u) << error;
}

}  // namespace
