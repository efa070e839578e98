#pragma once
// Byte readers and writers for the binary formats the plug-in stores and reads
// (state chunks, FXB banks). Readers consume bytes from the front of a range and
// fail with kEndOfInput when it runs out; they never read past the end.

#include <cstddef>
#include <cstdint>

#include "framework/core/status.h"
#include "framework/core/vec.h"

namespace fw {

inline constexpr const char* kEndOfInput = "Expected a byte, but found end of input";

class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) noexcept : p_(data), left_(size) {}

    std::size_t remaining() const noexcept { return left_; }

    Status readByte(std::uint8_t& out) noexcept;
    Status readBE32(std::uint32_t& out) noexcept;
    Status readLE32(std::uint32_t& out) noexcept;
    Status readLEInt32(std::int32_t& out) noexcept;
    Status readBEInt32(std::int32_t& out) noexcept;
    Status readLEFloat(float& out) noexcept;
    Status readBEFloat(float& out) noexcept;
    // Copies `count` bytes into `out`.
    Status readBytes(std::uint8_t* out, std::size_t count) noexcept;
    // Skips `count` bytes; fails (consuming everything) when fewer are left.
    Status skip(std::size_t count) noexcept;

    // A RIFF-style chunk header: a 4-byte identifier read big-endian, then a
    // 4-byte size read little-endian.
    Status readRIFFChunkHeader(std::uint32_t& chunkId, std::uint32_t& chunkSize) noexcept;

private:
    const std::uint8_t* p_;
    std::size_t left_;
};

enum class ByteOrder { little, big };

// Appends a 32-bit integer as 4 bytes in the given order.
void writeInteger(Vec<std::uint8_t>& out, std::uint32_t value, ByteOrder order);
void writeFloat(Vec<std::uint8_t>& out, float value, ByteOrder order);

// 'Kst3' -> 0x4B737433: four characters as a big-endian 32-bit code.
constexpr std::uint32_t fourCC(const char (&code)[5]) noexcept {
    return (std::uint32_t(std::uint8_t(code[0])) << 24) | (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

}  // namespace fw
