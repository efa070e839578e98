// The WAV header kestrin writes: libsndfile reads files made with it in every sample
// format; a stream announces sox's "read to the end" size; beyond 4 GB the same room
// holds the RF64 form, whose 64-bit sizes the header check (its own RF64 reader)
// finds again.

#include "wavheader.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "headercheck.h"

namespace {

using kestrincli::WavShape;
using kestrincli::wavHeader;

std::uint64_t little(const std::string& h, std::size_t at, int n) {
    std::uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(h[at + std::size_t(i)]);
    return v;
}

// Where the chunk `id` starts in `h`, or npos.
std::size_t chunkAt(const std::string& h, const char* id) {
    for (std::size_t at = 12; at + 8 <= h.size(); at += 8 + std::size_t(little(h, at + 4, 4)))
        if (h.compare(at, 4, id) == 0) return at;
    return std::string::npos;
}

TEST(WavHeader, FilesReadBackThroughLibsndfileInEverySampleFormat) {
    const auto path = std::filesystem::temp_directory_path() / ("kestrin-wavheader-" + std::to_string(::getpid()) + ".wav");
    struct Case {
        int bits;
        int sndfileFormat;
    };
    for (const Case c : {Case{16, SF_FORMAT_PCM_16}, Case{24, SF_FORMAT_PCM_24}, Case{32, SF_FORMAT_FLOAT}}) {
        for (int channels : {1, 2}) {
            const WavShape shape{c.bits, channels, 44100};
            const std::uint64_t frames = 1001;
            const std::uint64_t bytes = frames * std::uint64_t(channels * c.bits / 8);
            // A ramp whose bytes are easy to predict in any width: byte i holds i mod 251.
            std::string data(bytes, '\0');
            for (std::size_t i = 0; i < data.size(); ++i) data[i] = char(i % 251);
            const std::string header = wavHeader(shape, bytes);
            ASSERT_EQ(header.compare(0, 4, "RIFF"), 0);
            ASSERT_EQ(little(header, 4, 4), header.size() - 8 + bytes);
            std::FILE* f = std::fopen(path.c_str(), "wb");
            ASSERT_NE(f, nullptr);
            std::fwrite(header.data(), 1, header.size(), f);
            std::fwrite(data.data(), 1, data.size(), f);
            std::fclose(f);

            SF_INFO info{};
            SNDFILE* sound = sf_open(path.c_str(), SFM_READ, &info);
            ASSERT_NE(sound, nullptr) << c.bits << " bits: " << sf_strerror(nullptr);
            EXPECT_EQ(info.format, SF_FORMAT_WAV | c.sndfileFormat) << c.bits;
            EXPECT_EQ(info.channels, channels);
            EXPECT_EQ(info.samplerate, 44100);
            EXPECT_EQ(info.frames, sf_count_t(frames)) << c.bits << " bits, " << channels << " channels";
            if (c.bits == 16) {
                std::vector<short> samples(bytes / 2);
                EXPECT_EQ(sf_read_short(sound, samples.data(), sf_count_t(samples.size())), sf_count_t(samples.size()));
                EXPECT_EQ(std::memcmp(samples.data(), data.data(), bytes), 0);
            }
            sf_close(sound);
        }
    }
    std::filesystem::remove(path);
}

TEST(WavHeader, EveryFormHasOneLengthSoTheFinalSizesOverwriteTheFirst) {
    for (int bits : {16, 24, 32}) {
        const WavShape shape{bits, 2, 48000};
        const std::string stream = wavHeader(shape, std::nullopt);
        EXPECT_EQ(little(stream, chunkAt(stream, "data") + 4, 4), kestrincli::kStreamDataSize) << bits;
        EXPECT_EQ(wavHeader(shape, 0).size(), stream.size()) << bits;
        EXPECT_EQ(wavHeader(shape, 6000000000ull).size(), stream.size()) << bits;
    }
}

TEST(WavHeader, BeyondFourGigabytesTheRF64FormCarriesTheSizes) {
    const WavShape shape{32, 2, 48000};
    const std::size_t headerBytes = wavHeader(shape, 0).size();
    // The largest audio a RIFF size field still counts, and one frame more.
    const std::uint64_t largest = (0xFFFFFFFFull - (headerBytes - 8)) / 8 * 8;
    EXPECT_EQ(wavHeader(shape, largest).compare(0, 4, "RIFF"), 0);
    const std::uint64_t bytes = largest + 8;
    const std::string h = wavHeader(shape, bytes);
    ASSERT_EQ(h.compare(0, 4, "RF64"), 0);
    EXPECT_EQ(little(h, 4, 4), 0xFFFFFFFFu);
    const std::size_t ds64 = chunkAt(h, "ds64");
    ASSERT_EQ(ds64, 12u);  // where the broadcast-WAV rules put it
    EXPECT_EQ(little(h, ds64 + 8, 8), h.size() - 8 + bytes);
    EXPECT_EQ(little(h, ds64 + 16, 8), bytes);
    EXPECT_EQ(little(h, ds64 + 24, 8), bytes / 8);
    EXPECT_EQ(little(h, chunkAt(h, "data") + 4, 4), 0xFFFFFFFFu);
    EXPECT_EQ(little(h, chunkAt(h, "fact") + 8, 4), 0xFFFFFFFFu);

    // The header check follows ds64 to the true length: a file that holds all of it
    // passes, one a byte short is refused with the 64-bit figure.
    auto readFrom = [&](std::uint64_t fileSize) {
        return [&h, fileSize](std::uint64_t offset, void* into, std::size_t length) {
            if (offset + length > fileSize) return false;
            for (std::size_t i = 0; i < length; ++i)
                static_cast<char*>(into)[i] = offset + i < h.size() ? h[std::size_t(offset + i)] : '\0';
            return true;
        };
    };
    // libsndfile opens it as RF64 with every frame: the audio is a hole in a sparse
    // file, so the test costs no disk space.
    const auto path = std::filesystem::temp_directory_path() / ("kestrin-rf64-" + std::to_string(::getpid()) + ".wav");
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(h.data(), 1, h.size(), f);
        std::fclose(f);
        std::filesystem::resize_file(path, h.size() + bytes);
        SF_INFO info{};
        SNDFILE* sound = sf_open(path.c_str(), SFM_READ, &info);
        ASSERT_NE(sound, nullptr) << sf_strerror(nullptr);
        EXPECT_EQ(info.format, SF_FORMAT_RF64 | SF_FORMAT_FLOAT);
        EXPECT_EQ(info.frames, sf_count_t(bytes / 8));
        sf_close(sound);
        std::filesystem::remove(path);
    }

    std::string error;
    EXPECT_TRUE(kestrincli::checkHeader(readFrom(h.size() + bytes), h.size() + bytes, "big.wav", error)) << error;
    EXPECT_FALSE(kestrincli::checkHeader(readFrom(h.size() + bytes - 1), h.size() + bytes - 1, "big.wav", error));
    EXPECT_NE(error.find("claims " + std::to_string(bytes) + " bytes"), std::string::npos) << error;
}

}  // namespace
