#include "framework/core/binrange.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

TEST(ByteReader, ReadsBothByteOrders) {
    const std::uint8_t bytes[] = {0x0B, 0x20, 0xBA, 0x92, 0x01, 0x00, 0x03, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
    fw::ByteReader r(bytes, sizeof bytes);
    std::uint32_t magic = 0, version = 0;
    std::int32_t minusOne = 0;
    ASSERT_TRUE(r.readBE32(magic));
    ASSERT_TRUE(r.readLE32(version));
    ASSERT_TRUE(r.readLEInt32(minusOne));
    EXPECT_EQ(magic, 0x0B20BA92u);
    EXPECT_EQ(version, 0x00030001u);
    EXPECT_EQ(minusOne, -1);
    EXPECT_EQ(r.remaining(), 0u);
}

TEST(ByteReader, FailsAtEveryShortLengthWithoutReadingPastTheEnd) {
    // The reader gets exactly n bytes of a heap copy, so ASan catches any over-read.
    for (std::size_t n = 0; n < 4; ++n) {
        std::vector<std::uint8_t> bytes(n, 0x7F);
        fw::ByteReader r(bytes.data(), bytes.size());
        std::uint32_t v = 0;
        fw::Status s = r.readLE32(v);
        EXPECT_FALSE(s.ok());
        EXPECT_STREQ(s.message(), "Expected a byte, but found end of input");
        EXPECT_EQ(r.remaining(), 0u);
    }
    std::vector<std::uint8_t> three(3, 0);
    fw::ByteReader r(three.data(), three.size());
    EXPECT_FALSE(r.skip(4).ok());
    EXPECT_FALSE(r.skip(1).ok());
}

TEST(ByteReader, ReadsRiffChunkHeaderIdBigEndianSizeLittleEndian) {
    const std::uint8_t bytes[] = {'C', 'c', 'n', 'K', 0x10, 0x00, 0x00, 0x00};
    fw::ByteReader r(bytes, sizeof bytes);
    std::uint32_t id = 0, size = 0;
    ASSERT_TRUE(r.readRIFFChunkHeader(id, size));
    EXPECT_EQ(id, fw::fourCC("CcnK"));
    EXPECT_EQ(size, 16u);
}

TEST(ByteWriter, RoundTripsIntegersAndFloatsInBothOrders) {
    fw::Vec<std::uint8_t> out;
    fw::writeInteger(out, 0x0B20BA92u, fw::ByteOrder::big);
    fw::writeInteger(out, 0x00030001u, fw::ByteOrder::little);
    fw::writeFloat(out, 0.25f, fw::ByteOrder::little);
    fw::writeFloat(out, -3.5f, fw::ByteOrder::big);
    ASSERT_EQ(out.length(), 16u);
    EXPECT_EQ(out[0], 0x0B);
    EXPECT_EQ(out[3], 0x92);
    EXPECT_EQ(out[4], 0x01);
    EXPECT_EQ(out[6], 0x03);
    fw::ByteReader r(out.data(), out.length());
    std::uint32_t a = 0, b = 0;
    float c = 0, d = 0;
    ASSERT_TRUE(r.readBE32(a));
    ASSERT_TRUE(r.readLE32(b));
    ASSERT_TRUE(r.readLEFloat(c));
    ASSERT_TRUE(r.readBEFloat(d));
    EXPECT_EQ(a, 0x0B20BA92u);
    EXPECT_EQ(b, 0x00030001u);
    EXPECT_EQ(c, 0.25f);
    EXPECT_EQ(d, -3.5f);
}

}  // namespace
