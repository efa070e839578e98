// The header length check: WAV (RIFF, RIFX, RF64) and AIFF/AIFC files whose header
// claims more audio than the file holds are refused with both figures; sound files,
// other containers and headers it cannot follow pass to the decoder.

#include "headercheck.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

void put(Bytes& b, std::uint64_t v, int n, bool bigEndian) {
    for (int i = 0; i < n; ++i) {
        const int shift = 8 * (bigEndian ? n - 1 - i : i);
        b.push_back(static_cast<unsigned char>(v >> shift));
    }
}

// Appends byte by byte: g++ 12 misreads range inserts into a fresh vector as overflows.
void append(Bytes& b, const unsigned char* bytes, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) b.push_back(bytes[i]);
}
void append(Bytes& b, const Bytes& more) { append(b, more.data(), more.size()); }
void tag(Bytes& b, const char* fourcc) { append(b, reinterpret_cast<const unsigned char*>(fourcc), 4); }

// A chunk with a declared size and `body` bytes actually present (padded to even
// when the whole body is there).
void chunk(Bytes& b, const char* id, std::uint64_t declared, const Bytes& body, bool bigEndian) {
    tag(b, id);
    put(b, declared, 4, bigEndian);
    append(b, body);
    if (body.size() == declared && (declared & 1)) b.push_back(0);
}

Bytes format(std::uint32_t rate, bool be) {
    Bytes f;
    put(f, 1, 2, be);         // PCM
    put(f, 2, 2, be);         // channels
    put(f, rate, 4, be);
    put(f, rate * 4, 4, be);  // bytes per second
    put(f, 4, 2, be);         // bytes per frame
    put(f, 16, 2, be);        // bits
    return f;
}

Bytes wave(const char* riff, std::uint64_t declaredData, std::size_t presentData, bool withList = false,
           std::uint32_t rate = 48000) {
    const bool be = std::strcmp(riff, "RIFX") == 0;
    Bytes b;
    tag(b, riff);
    put(b, 0, 4, be);
    tag(b, "WAVE");
    chunk(b, "fmt ", 16, format(rate, be), be);
    if (withList) chunk(b, "LIST", 5, Bytes(5, 'x'), be);  // odd size: padded
    chunk(b, "data", declaredData, Bytes(presentData, 0), be);
    return b;
}

// 44100 as an 80-bit extended number: 0x400E (2^15 after the bias), mantissa 0xAC44 << 48.
const Bytes k44100 = {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};

Bytes aiff(std::uint32_t commFrames, std::uint64_t ssndDeclared, std::size_t present, const char* compression = nullptr,
           bool ssndFirst = false, const Bytes& rate = k44100) {
    Bytes b;
    tag(b, "FORM");
    put(b, 0, 4, true);
    tag(b, compression ? "AIFC" : "AIFF");
    Bytes comm;
    put(comm, 2, 2, true);            // channels
    put(comm, commFrames, 4, true);   // frames
    put(comm, 16, 2, true);           // bits
    append(comm, rate);
    if (compression) tag(comm, compression);
    Bytes ssnd;
    put(ssnd, 0, 4, true);  // offset
    put(ssnd, 0, 4, true);  // block size
    append(ssnd, Bytes(present, 0));
    if (ssndFirst) chunk(b, "SSND", ssndDeclared, ssnd, true);
    chunk(b, "COMM", comm.size(), comm, true);
    if (!ssndFirst) chunk(b, "SSND", ssndDeclared, ssnd, true);
    return b;
}

Bytes rf64(std::uint64_t ds64Data, std::size_t present) {
    Bytes b;
    tag(b, "RF64");
    put(b, 0xFFFFFFFFu, 4, false);
    tag(b, "WAVE");
    Bytes ds;
    put(ds, 0, 8, false);
    put(ds, ds64Data, 8, false);
    put(ds, 0, 8, false);
    put(ds, 0, 4, false);
    chunk(b, "ds64", ds.size(), ds, false);
    chunk(b, "fmt ", 16, format(96000, false), false);
    chunk(b, "data", 0xFFFFFFFFu, Bytes(present, 0), false);
    return b;
}

struct Outcome {
    bool ok;
    std::string error;
};

Outcome check(const Bytes& file) {
    const kestrincli::ReadAt readAt = [&](std::uint64_t offset, void* into, std::size_t length) {
        if (offset > file.size() || file.size() - offset < length) return false;
        std::memcpy(into, file.data() + offset, length);
        return true;
    };
    Outcome o;
    o.ok = kestrincli::checkHeader(readAt, file.size(), "take.wav", o.error);
    return o;
}

TEST(HeaderCheck, PassesFilesThatHoldWhatTheirHeaderClaims) {
    const struct {
        const char* what;
        Bytes file;
    } cases[] = {
        {"RIFF", wave("RIFF", 400, 400)},
        {"RIFF with an odd chunk before the data", wave("RIFF", 401, 401, true)},
        {"RIFX", wave("RIFX", 64, 64)},
        {"RF64", rf64(300, 300)},
        {"AIFF", aiff(100, 408, 400)},
        {"AIFF with the sound before COMM", aiff(100, 408, 400, nullptr, true)},
        {"AIFC little-endian PCM", aiff(100, 408, 400, "sowt")},
        {"AIFC compressed: frames are not bytes", aiff(1000, 408, 400, "ulaw")},
        {"FLAC", Bytes{'f', 'L', 'a', 'C', 0, 0, 0, 34, 1, 2, 3, 4, 5}},
        {"shorter than any header", Bytes{'R', 'I', 'F', 'F'}},
        {"a chunk runs past the end before any data", [] {
             Bytes b = wave("RIFF", 4, 4);
             b.resize(12 + 8 + 4);  // "fmt " claims 16 bytes, 4 are there (no rate yet)
             return b;
         }()},
    };
    for (const auto& c : cases) {
        const Outcome o = check(c.file);
        EXPECT_TRUE(o.ok) << c.what << ": " << o.error;
    }
}

TEST(HeaderCheck, RefusesHeadersThatClaimMoreThanTheFileHoldsNamingBoth) {
    const struct {
        const char* what;
        Bytes file;
        const char* claims;
        const char* holds;
    } cases[] = {
        {"WAV cut short", wave("RIFF", 4000, 1000), "claims 4000 bytes (4.0 kB) of audio", "holds 1000 bytes (1.0 kB)"},
        {"WAV claiming 4 GB", wave("RIFF", 0xFFFFFFFFu, 64), "claims 4294967295 bytes (4.3 GB)", "holds 64 bytes"},
        {"WAV claiming 2 GB", wave("RIFF", 0x80000000u, 64), "claims 2147483648 bytes (2.1 GB)", "holds 64 bytes"},
        {"RIFX cut short", wave("RIFX", 100, 99), "claims 100 bytes", "holds 99 bytes"},
        {"RF64 claiming 8 GB", rf64(8000000000ull, 300), "claims 8000000000 bytes (8.0 GB)", "holds 300 bytes"},
        {"AIFF sound cut short", aiff(100, 408, 200), "claims 400 bytes", "holds 200 bytes"},
        // The SSND size counts its 8-byte offset and block-size fields.
        {"AIFF claiming 4 GB of sound", aiff(100, 0xFFFFFFF0u, 400), "claims 4294967272 bytes", "holds 400 bytes"},
        {"AIFF frames beyond the sound", aiff(1000000000, 408, 400), "claims 1000000000 frames (4000000000 bytes",
         "holds 400 bytes"},
        {"AIFC PCM frames beyond the sound", aiff(101, 408, 400, "twos"), "claims 101 frames (404 bytes)",
         "holds 400 bytes"},
    };
    for (const auto& c : cases) {
        const Outcome o = check(c.file);
        EXPECT_FALSE(o.ok) << c.what;
        EXPECT_EQ(o.error.rfind("\"take.wav\" is cut short or its header is wrong", 0), 0u) << c.what << ": " << o.error;
        EXPECT_NE(o.error.find(c.claims), std::string::npos) << c.what << ": " << o.error;
        EXPECT_NE(o.error.find(c.holds), std::string::npos) << c.what << ": " << o.error;
    }
}

TEST(HeaderCheck, RefusesRatesOutsideWhatTheEffectRendersNamingTheRate) {
    const struct {
        const char* what;
        Bytes file;
        const char* rate;
    } cases[] = {
        {"WAV at 4294967295 Hz", wave("RIFF", 4, 4, false, 0xFFFFFFFFu), "sampled at 4294967295 Hz"},
        {"WAV at 0 Hz", wave("RIFF", 4, 4, false, 0), "sampled at 0 Hz"},
        {"RIFX at 7999 Hz", wave("RIFX", 4, 4, false, 7999), "sampled at 7999 Hz"},
        // 2^20 = 1048576: exponent 16383 + 20, mantissa with only its top bit.
        {"AIFF at 1048576 Hz", aiff(1, 12, 4, nullptr, false, {0x40, 0x13, 0x80, 0, 0, 0, 0, 0, 0, 0}),
         "sampled at 1048576 Hz"},
        {"AIFF at -44100 Hz", aiff(1, 12, 4, nullptr, false, {0xC0, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}),
         "sampled at -44100 Hz"},
        {"AIFF at an infinite rate", aiff(1, 12, 4, nullptr, false, {0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0}),
         "sampled at inf Hz"},
    };
    for (const auto& c : cases) {
        const Outcome o = check(c.file);
        EXPECT_FALSE(o.ok) << c.what;
        EXPECT_NE(o.error.find(c.rate), std::string::npos) << c.what << ": " << o.error;
        EXPECT_NE(o.error.find("Kestrin 3 renders at 8000 Hz to 384000 Hz"), std::string::npos) << c.what;
    }
    // The edges themselves are accepted.
    EXPECT_TRUE(check(wave("RIFF", 4, 4, false, 8000)).ok);
    EXPECT_TRUE(check(wave("RIFF", 4, 4, false, 384000)).ok);
}

}  // namespace
