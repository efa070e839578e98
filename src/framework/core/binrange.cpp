#include "framework/core/binrange.h"

#include <cstring>

namespace fw {

Status ByteReader::readBytes(std::uint8_t* out, std::size_t count) noexcept {
    if (count > left_) {
        p_ += left_;
        left_ = 0;
        return Status::failure(kEndOfInput);
    }
    std::memcpy(out, p_, count);
    p_ += count;
    left_ -= count;
    return Status::success();
}

Status ByteReader::skip(std::size_t count) noexcept {
    if (count > left_) {
        p_ += left_;
        left_ = 0;
        return Status::failure(kEndOfInput);
    }
    p_ += count;
    left_ -= count;
    return Status::success();
}

Status ByteReader::readByte(std::uint8_t& out) noexcept { return readBytes(&out, 1); }

Status ByteReader::readBE32(std::uint32_t& out) noexcept {
    std::uint8_t b[4];
    if (Status s = readBytes(b, 4); !s) return s;
    out = (std::uint32_t(b[0]) << 24) | (std::uint32_t(b[1]) << 16) | (std::uint32_t(b[2]) << 8) | b[3];
    return Status::success();
}

Status ByteReader::readLE32(std::uint32_t& out) noexcept {
    std::uint8_t b[4];
    if (Status s = readBytes(b, 4); !s) return s;
    out = (std::uint32_t(b[3]) << 24) | (std::uint32_t(b[2]) << 16) | (std::uint32_t(b[1]) << 8) | b[0];
    return Status::success();
}

Status ByteReader::readLEInt32(std::int32_t& out) noexcept {
    std::uint32_t u = 0;
    Status s = readLE32(u);
    out = static_cast<std::int32_t>(u);
    return s;
}

Status ByteReader::readBEInt32(std::int32_t& out) noexcept {
    std::uint32_t u = 0;
    Status s = readBE32(u);
    out = static_cast<std::int32_t>(u);
    return s;
}

Status ByteReader::readLEFloat(float& out) noexcept {
    std::uint32_t u = 0;
    Status s = readLE32(u);
    std::memcpy(&out, &u, 4);
    return s;
}

Status ByteReader::readBEFloat(float& out) noexcept {
    std::uint32_t u = 0;
    Status s = readBE32(u);
    std::memcpy(&out, &u, 4);
    return s;
}

Status ByteReader::readRIFFChunkHeader(std::uint32_t& chunkId, std::uint32_t& chunkSize) noexcept {
    if (Status s = readBE32(chunkId); !s) return s;
    return readLE32(chunkSize);
}

void writeInteger(Vec<std::uint8_t>& out, std::uint32_t value, ByteOrder order) {
    for (int i = 0; i < 4; ++i) {
        int shift = order == ByteOrder::big ? 24 - 8 * i : 8 * i;
        out.pushBack(static_cast<std::uint8_t>(value >> shift));
    }
}

void writeFloat(Vec<std::uint8_t>& out, float value, ByteOrder order) {
    std::uint32_t u;
    std::memcpy(&u, &value, 4);
    writeInteger(out, u, order);
}

}  // namespace fw
