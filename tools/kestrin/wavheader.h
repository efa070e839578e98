#pragma once
// The header of a WAV file that kestrin writes as it renders. It always has the
// same length, so the final sizes can be written over the first ones:
//   RIFF, WAVE, a 28-byte JUNK chunk, fmt (WAVE_FORMAT_PCM, or WAVE_FORMAT_IEEE_FLOAT
//   with its 18-byte form and a fact chunk), data.
// The JUNK chunk is the room a file beyond 4 GB needs: it then becomes an RF64 file
// whose ds64 chunk, in that place, carries the 64-bit sizes, as broadcast WAV does.

#include <cstdint>
#include <optional>
#include <string>

namespace kestrincli {

struct WavShape {
    int bits = 32;  // 16, 24 or 32 (float)
    int channels = 2;
    std::uint32_t sampleRate = 48000;
};

// The data size a stream announces when it cannot seek back (what sox writes to a
// pipe, "read to the end").
inline constexpr std::uint32_t kStreamDataSize = 0x7FFFF000u;

// Appends the low `bytes` bytes of `value`, least significant first.
void appendLittle(std::string& out, std::uint64_t value, int bytes);

// The header for `dataBytes` of audio, or for a stream of unknown length. A length
// whose RIFF size does not fit in 32 bits gives the RF64 form.
std::string wavHeader(const WavShape& shape, std::optional<std::uint64_t> dataBytes);

}  // namespace kestrincli
