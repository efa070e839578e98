#include "framework/graphics/utf8.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::vector<char32_t> decodeAll(const std::string& s) {
    std::vector<char32_t> out;
    const auto* p = reinterpret_cast<const std::uint8_t*>(s.data());
    const auto* end = p + s.size();
    while (p < end) out.push_back(fw::decodeUtf8(p, end));
    return out;
}

std::string encode(char32_t cp) {
    std::string s;
    if (cp < 0x80) {
        s += char(cp);
    } else if (cp < 0x800) {
        s += char(0xC0 | (cp >> 6));
        s += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        s += char(0xE0 | (cp >> 12));
        s += char(0x80 | ((cp >> 6) & 0x3F));
        s += char(0x80 | (cp & 0x3F));
    } else {
        s += char(0xF0 | (cp >> 18));
        s += char(0x80 | ((cp >> 12) & 0x3F));
        s += char(0x80 | ((cp >> 6) & 0x3F));
        s += char(0x80 | (cp & 0x3F));
    }
    return s;
}

constexpr char32_t R = fw::kReplacementCharacter;

TEST(Utf8, DecodesEveryLength) {
    EXPECT_EQ(decodeAll("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5"),
              (std::vector<char32_t>{U'a', 0xE9, 0x20AC, 0x1F3B5}));
}

TEST(Utf8, StrayContinuationAndInvalidLeadBytesAreReplacedOneEach) {
    EXPECT_EQ(decodeAll("\x80" "a\xFF\xC1"), (std::vector<char32_t>{R, U'a', R, R}));
}

TEST(Utf8, OverlongFormsAndSurrogatesAreReplaced) {
    EXPECT_EQ(decodeAll("\xC0\xAF"), (std::vector<char32_t>{R, R}));
    EXPECT_EQ(decodeAll("\xE0\x80\xAF"), (std::vector<char32_t>{R, R, R}));
    EXPECT_EQ(decodeAll("\xED\xA0\x80"), (std::vector<char32_t>{R, R, R}));  // U+D800
    EXPECT_EQ(decodeAll("\xF4\x90\x80\x80"), (std::vector<char32_t>{R, R, R, R}));  // above U+10FFFF
}

TEST(Utf8, TruncatedSequenceIsOneReplacementAndTheNextCharacterSurvives) {
    EXPECT_EQ(decodeAll("\xE2\x82" "b"), (std::vector<char32_t>{R, U'b'}));
    EXPECT_EQ(decodeAll("x\xF0\x9F\x8E"), (std::vector<char32_t>{U'x', R}));
}

TEST(Utf8, ValidTextRoundTripsExactly) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<std::uint32_t> any(0, 0x10FFFF);
    for (int round = 0; round < 200; ++round) {
        std::vector<char32_t> cps;
        std::string text;
        for (int i = 0; i < 20; ++i) {
            char32_t cp = any(rng);
            if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0x41;
            cps.push_back(cp);
            text += encode(cp);
        }
        ASSERT_EQ(decodeAll(text), cps);
    }
}

TEST(Utf8, FuzzedBytesAlwaysAdvanceWithinBoundsAndYieldScalarValues) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> byte(0, 255), length(0, 24);
    for (int round = 0; round < 20000; ++round) {
        std::vector<std::uint8_t> buf(std::size_t(length(rng)));
        for (auto& b : buf) b = std::uint8_t(byte(rng));
        const std::uint8_t* p = buf.data();
        const std::uint8_t* end = p + buf.size();
        while (p < end) {
            const std::uint8_t* before = p;
            const char32_t cp = fw::decodeUtf8(p, end);
            ASSERT_GT(p, before);
            ASSERT_LE(p, end);
            ASSERT_LE(p - before, 4);
            ASSERT_LE(cp, 0x10FFFFu);
            ASSERT_FALSE(cp >= 0xD800 && cp <= 0xDFFF);
            if (*before < 0x80) {
                ASSERT_EQ(cp, *before);  // ASCII always decodes to itself
            }
            // A decoded character re-encodes to exactly the bytes consumed.
            if (cp != R) {
                ASSERT_EQ(encode(cp), std::string(before, p));
            }
        }
    }
}

}  // namespace
