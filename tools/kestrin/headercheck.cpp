#include "headercheck.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "audiofile.h"

namespace kestrincli {

namespace {

// Walking stops after this many chunks; a file with more is left to the decoder.
constexpr int kMostChunks = 4096;

std::uint64_t little(const unsigned char* p, int n) {
    std::uint64_t v = 0;
    for (int i = n; i-- > 0;) v = (v << 8) | p[i];
    return v;
}

std::uint64_t big(const unsigned char* p, int n) {
    std::uint64_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}

std::string readable(std::uint64_t bytes) {
    char text[32];
    if (bytes >= 1000000000ull) std::snprintf(text, sizeof text, "%.1f GB", double(bytes) / 1e9);
    else if (bytes >= 1000000ull) std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1e6);
    else if (bytes >= 1000ull) std::snprintf(text, sizeof text, "%.1f kB", double(bytes) / 1e3);
    else return std::to_string(bytes) + " bytes";
    return std::to_string(bytes) + " bytes (" + text + ")";
}

bool refuse(const std::string& name, const std::string& claim, std::uint64_t held, std::string& error) {
    error = "\"" + name + "\" is cut short or its header is wrong: the header claims " + claim +
            ", the file holds " + readable(held) + " of it";
    return false;
}

bool rateAccepted(double rate) { return rate >= kLowestRate && rate <= kHighestRate; }

// An 80-bit IEEE 754 extended number, as AIFF gives its sample rate.
double extended(const unsigned char* p) {
    const int exponent = ((p[0] & 0x7F) << 8) | p[1];
    const double magnitude = std::ldexp(double(big(p + 2, 8)), exponent - 16383 - 63);
    return (p[0] & 0x80) ? -magnitude : magnitude;
}

// The audio of a RIFF, RIFX or RF64 WAVE file: the "data" chunk; and the rate in "fmt ".
bool checkWave(const ReadAt& readAt, std::uint64_t fileSize, bool bigEndian, bool rf64, const std::string& name,
               std::string& error) {
    std::optional<std::uint64_t> longDataSize;  // from RF64's ds64 chunk
    std::uint64_t at = 12;
    for (int n = 0; n < kMostChunks && at <= fileSize && fileSize - at >= 8; ++n) {
        unsigned char header[8];
        if (!readAt(at, header, sizeof header)) return true;
        const std::uint64_t size = bigEndian ? big(header + 4, 4) : little(header + 4, 4);
        if (std::memcmp(header, "fmt ", 4) == 0 && size >= 8) {
            unsigned char format[8];
            if (!readAt(at + 8, format, sizeof format)) return true;
            const double rate = double(bigEndian ? big(format + 4, 4) : little(format + 4, 4));
            if (!rateAccepted(rate)) {
                error = unsupportedRateMessage(name, rate);
                return false;
            }
        }
        if (rf64 && std::memcmp(header, "ds64", 4) == 0 && size >= 16) {
            unsigned char sizes[16];
            if (!readAt(at + 8, sizes, sizeof sizes)) return true;
            longDataSize = little(sizes + 8, 8);
        }
        if (std::memcmp(header, "data", 4) == 0) {
            const std::uint64_t claimed = rf64 && size == 0xFFFFFFFFu && longDataSize ? *longDataSize : size;
            const std::uint64_t held = fileSize - (at + 8);
            if (claimed > held) return refuse(name, readable(claimed) + " of audio data", held, error);
            return true;
        }
        at += 8 + size + (size & 1);
    }
    return true;
}

// Bytes per sample frame of an uncompressed AIFF/AIFC encoding; 0 when compressed
// or unknown (then only the SSND chunk is checked).
std::uint64_t aiffFrameBytes(const unsigned char* comm, std::uint64_t commSize, bool aifc) {
    const std::uint64_t channels = big(comm, 2);
    const std::uint64_t bits = big(comm + 6, 2);
    if (!aifc || commSize < 22) return channels * ((bits + 7) / 8);
    const char* type = reinterpret_cast<const char*>(comm + 18);
    for (const char* pcm : {"NONE", "twos", "sowt", "in24", "in32", "raw "})
        if (std::memcmp(type, pcm, 4) == 0) return channels * ((bits + 7) / 8);
    if (std::memcmp(type, "fl32", 4) == 0 || std::memcmp(type, "FL32", 4) == 0) return channels * 4;
    if (std::memcmp(type, "fl64", 4) == 0 || std::memcmp(type, "FL64", 4) == 0) return channels * 8;
    return 0;
}

// The audio of an AIFF or AIFC file: the "SSND" chunk, and the frame count "COMM"
// gives (the chunks may come in either order).
bool checkAiff(const ReadAt& readAt, std::uint64_t fileSize, bool aifc, const std::string& name, std::string& error) {
    std::optional<std::uint64_t> frames, frameBytes;
    std::optional<std::uint64_t> soundClaimed, soundHeld;
    std::uint64_t at = 12;
    for (int n = 0; n < kMostChunks && at <= fileSize && fileSize - at >= 8; ++n) {
        unsigned char header[8];
        if (!readAt(at, header, sizeof header)) break;
        const std::uint64_t size = big(header + 4, 4);
        if (std::memcmp(header, "COMM", 4) == 0 && size >= 18) {
            unsigned char comm[22] = {};
            if (!readAt(at + 8, comm, size >= 22 ? 22 : 18)) break;
            frames = big(comm + 2, 4);
            frameBytes = aiffFrameBytes(comm, size, aifc);
            if (const double rate = extended(comm + 8); !rateAccepted(rate)) {
                error = unsupportedRateMessage(name, rate);
                return false;
            }
        } else if (std::memcmp(header, "SSND", 4) == 0 && size >= 8) {
            unsigned char offset[4];
            if (!readAt(at + 8, offset, sizeof offset)) break;
            const std::uint64_t skip = big(offset, 4);
            const std::uint64_t start = at + 16 + skip;
            soundClaimed = size - 8 >= skip ? size - 8 - skip : 0;
            soundHeld = fileSize > start ? fileSize - start : 0;
        }
        at += 8 + size + (size & 1);
    }
    if (!soundClaimed) return true;
    if (*soundClaimed > *soundHeld) return refuse(name, readable(*soundClaimed) + " of audio data", *soundHeld, error);
    if (frames && frameBytes && *frameBytes > 0 && *frames > *soundHeld / *frameBytes)
        return refuse(name, std::to_string(*frames) + " frames (" + readable(*frames * *frameBytes) + ")",
                      *soundHeld, error);
    return true;
}

}  // namespace

bool checkHeader(const ReadAt& readAt, std::uint64_t fileSize, const std::string& name, std::string& error) {
    unsigned char head[12];
    if (fileSize < sizeof head || !readAt(0, head, sizeof head)) return true;
    const bool wave = std::memcmp(head + 8, "WAVE", 4) == 0;
    if (wave && std::memcmp(head, "RIFF", 4) == 0) return checkWave(readAt, fileSize, false, false, name, error);
    if (wave && std::memcmp(head, "RIFX", 4) == 0) return checkWave(readAt, fileSize, true, false, name, error);
    if (wave && std::memcmp(head, "RF64", 4) == 0) return checkWave(readAt, fileSize, false, true, name, error);
    if (std::memcmp(head, "FORM", 4) == 0) {
        if (std::memcmp(head + 8, "AIFF", 4) == 0) return checkAiff(readAt, fileSize, false, name, error);
        if (std::memcmp(head + 8, "AIFC", 4) == 0) return checkAiff(readAt, fileSize, true, name, error);
    }
    return true;
}

std::string unsupportedRateMessage(const std::string& name, double rate) {
    char text[64];
    std::snprintf(text, sizeof text, std::isfinite(rate) && std::fabs(rate) < 1e15 ? "%.0f" : "%g", rate);
    return "\"" + name + "\" is sampled at " + text + " Hz; Kestrin 3 renders at 8000 Hz to 384000 Hz";
}

}  // namespace kestrincli
