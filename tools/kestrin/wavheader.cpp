#include "wavheader.h"

namespace kestrincli {

namespace {

constexpr std::uint32_t kSizeInDs64 = 0xFFFFFFFFu;
constexpr int kDs64Bytes = 28;  // RIFF size, data size, frame count (64 bits each), table length

}  // namespace

void appendLittle(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(char((value >> (8 * i)) & 0xFF));
}

std::string wavHeader(const WavShape& shape, std::optional<std::uint64_t> dataBytes) {
    const bool isFloat = shape.bits == 32;
    const auto blockAlign = std::uint32_t(shape.bits / 8 * shape.channels);
    const std::uint64_t data = dataBytes.value_or(kStreamDataSize);
    const std::uint64_t headerBytes = 12 + (8 + kDs64Bytes) + (8 + (isFloat ? 18 : 16)) + (isFloat ? 12 : 0) + 8;
    const std::uint64_t riffSize = headerBytes - 8 + data;
    const bool rf64 = riffSize > 0xFFFFFFFFu;
    const std::uint64_t frames = data / blockAlign;

    std::string h;
    h.reserve(std::size_t(headerBytes));
    h.append(rf64 ? "RF64" : "RIFF");
    appendLittle(h, rf64 ? kSizeInDs64 : riffSize, 4);
    h.append("WAVE");
    h.append(rf64 ? "ds64" : "JUNK");
    appendLittle(h, kDs64Bytes, 4);
    appendLittle(h, rf64 ? riffSize : 0, 8);
    appendLittle(h, rf64 ? data : 0, 8);
    appendLittle(h, rf64 ? frames : 0, 8);
    appendLittle(h, 0, 4);  // no table of other chunk sizes

    h.append("fmt ");
    appendLittle(h, isFloat ? 18 : 16, 4);
    appendLittle(h, isFloat ? 3 : 1, 2);  // WAVE_FORMAT_IEEE_FLOAT or WAVE_FORMAT_PCM
    appendLittle(h, std::uint32_t(shape.channels), 2);
    appendLittle(h, shape.sampleRate, 4);
    appendLittle(h, std::uint64_t(shape.sampleRate) * blockAlign, 4);
    appendLittle(h, blockAlign, 2);
    appendLittle(h, std::uint32_t(shape.bits), 2);
    if (isFloat) {
        appendLittle(h, 0, 2);  // no extension
        // A format other than PCM carries its frame count in a fact chunk.
        h.append("fact");
        appendLittle(h, 4, 4);
        appendLittle(h, rf64 ? kSizeInDs64 : frames, 4);
    }
    h.append("data");
    appendLittle(h, rf64 ? kSizeInDs64 : data, 4);
    return h;
}

}  // namespace kestrincli
