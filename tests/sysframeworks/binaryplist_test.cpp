// Binary property lists: every type read back equal to its XML twin, the format
// reported, and hostile layouts (bad offsets, counts, references, cycles, deep
// nesting, exponential sharing) refused with a message.

#include "cftestutil.h"
#include "sysframeworks/bplistencoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using bplisttest::Builder;
using bplisttest::Bytes;
using cftest::Ref;
using cftest::text;

namespace {

struct Outcome {
    CFPropertyListRef plist = nullptr;  // owned by the caller
    std::string error;
    CFPropertyListFormat format = CFPropertyListFormat(0);
};

Outcome read(const Bytes& bytes, CFOptionFlags options = kCFPropertyListImmutable) {
    Ref<CFDataRef> data(CFDataCreate(nullptr, bytes.data(), static_cast<CFIndex>(bytes.size())));
    Outcome o;
    CFErrorRef error = nullptr;
    o.plist = CFPropertyListCreateWithData(nullptr, data.get(), options, &o.format, &error);
    if (error != nullptr) {
        Ref<CFStringRef> why(CFErrorCopyDescription(error));
        o.error = text(why.get());
        CFRelease(error);
    }
    return o;
}

CFPropertyListRef readXML(const std::string& xml) {
    Ref<CFDataRef> data(CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(xml.data()), CFIndex(xml.size())));
    return CFPropertyListCreateWithData(nullptr, data.get(), kCFPropertyListImmutable, nullptr, nullptr);
}

const char kAllTypes[] =
    "<plist version=\"1.0\"><dict>"
    "<key>small</key><integer>200</integer>"
    "<key>short</key><integer>60000</integer>"
    "<key>word</key><integer>4000000000</integer>"
    "<key>negative</key><integer>-5</integer>"
    "<key>largest</key><integer>9223372036854775807</integer>"
    "<key>real</key><real>-0.125</real>"
    "<key>yes</key><true/><key>no</key><false/>"
    "<key>when</key><date>2024-02-29T12:00:00Z</date>"
    "<key>bytes</key><data>AAECA96tvu8=</data>"
    "<key>a long ASCII key of more than fifteen characters</key><string>plain</string>"
    "<key>unicode</key><string>Gr\xC3\xBC\xC3\x9F \xF0\x9F\x8E\xB8</string>"
    "<key>list</key><array><integer>1</integer><integer>2</integer><integer>3</integer><integer>4</integer>"
    "<integer>5</integer><integer>6</integer><integer>7</integer><integer>8</integer><integer>9</integer>"
    "<integer>10</integer><integer>11</integer><integer>12</integer><integer>13</integer><integer>14</integer>"
    "<integer>15</integer><integer>16</integer><dict/><array/><string></string></array>"
    "</dict></plist>";

TEST(BinaryPropertyList, ReadsEveryTypeEqualToTheXMLFormAndReportsTheFormat) {
    Ref<CFPropertyListRef> xml(readXML(kAllTypes));
    ASSERT_TRUE(xml);
    for (unsigned refWidth : {1u, 2u, 8u}) {
        Outcome o = read(bplisttest::encode(xml.get(), refWidth));
        Ref<CFPropertyListRef> binary(o.plist);
        ASSERT_TRUE(binary) << o.error;
        EXPECT_EQ(o.format, kCFPropertyListBinaryFormat_v1_0);
        EXPECT_TRUE(CFEqual(binary.get(), xml.get())) << "references of " << refWidth << " bytes";
    }
    // Widths the encoder does not choose: a 4-byte real, a 16-byte integer.
    Builder b;
    const std::size_t top = b.reserve();
    b.set(top, b.array({b.add(Builder::real32(1.5f)), b.add({0x14, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                              0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE})}));
    Outcome o = read(b.finish(top));
    Ref<CFPropertyListRef> wide(o.plist);
    ASSERT_TRUE(wide) << o.error;
    const auto array = static_cast<CFArrayRef>(wide.get());
    double half = 0;
    long long minusTwo = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(CFArrayGetValueAtIndex(array, 0)), kCFNumberDoubleType, &half);
    CFNumberGetValue(static_cast<CFNumberRef>(CFArrayGetValueAtIndex(array, 1)), kCFNumberLongLongType, &minusTwo);
    EXPECT_EQ(half, 1.5);
    EXPECT_EQ(minusTwo, -2);

    // The XML form still says it is XML.
    const std::string doc = kAllTypes;
    Ref<CFDataRef> data(CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(doc.data()), CFIndex(doc.size())));
    CFPropertyListFormat format = kCFPropertyListBinaryFormat_v1_0;
    Ref<CFPropertyListRef> again(
        CFPropertyListCreateWithData(nullptr, data.get(), kCFPropertyListImmutable, &format, nullptr));
    EXPECT_EQ(format, kCFPropertyListXMLFormat_v1_0);
}

// What XML cannot hold: a date's fractions of a second (XML dates are whole seconds,
// as Apple writes them) and a lone UTF-16 surrogate (U+FFFD takes its place). Written
// as XML such a list loses that once, and from then on reads and writes the same.
TEST(BinaryPropertyList, WhatXMLCannotHoldIsRoundedOnceAndThenStable) {
    Builder b;
    const std::size_t top = b.reserve();
    b.set(top, b.array({b.add(Builder::date(0.75)), b.add(Builder::date(-0.25)),
                        b.add(Builder::utf16(u"a\xD800" u"b"))}));
    Outcome o = read(b.finish(top));
    Ref<CFPropertyListRef> binary(o.plist);
    ASSERT_TRUE(binary) << o.error;
    auto xmlOf = [](CFPropertyListRef plist) {
        Ref<CFDataRef> data(CFPropertyListCreateXMLData(nullptr, plist));
        return std::string(reinterpret_cast<const char*>(CFDataGetBytePtr(data.get())),
                           std::size_t(CFDataGetLength(data.get())));
    };
    const std::string first = xmlOf(binary.get());
    EXPECT_NE(first.find("<date>2001-01-01T00:00:00Z</date>"), std::string::npos) << first;
    EXPECT_NE(first.find("<date>2000-12-31T23:59:59Z</date>"), std::string::npos) << first;
    EXPECT_NE(first.find("<string>a\xEF\xBF\xBD" "b</string>"), std::string::npos) << first;
    Ref<CFPropertyListRef> reread(readXML(first));
    ASSERT_TRUE(reread);
    EXPECT_FALSE(CFEqual(reread.get(), binary.get()));
    EXPECT_EQ(xmlOf(reread.get()), first);
}

TEST(BinaryPropertyList, HonoursTheMutabilityOptions) {
    Ref<CFPropertyListRef> xml(readXML(kAllTypes));
    const Bytes bytes = bplisttest::encode(xml.get());
    Outcome o = read(bytes, kCFPropertyListMutableContainersAndLeaves);
    Ref<CFPropertyListRef> plist(o.plist);
    ASSERT_TRUE(plist) << o.error;
    auto dict = static_cast<CFMutableDictionaryRef>(const_cast<void*>(plist.get()));
    auto leaf = static_cast<CFMutableStringRef>(const_cast<void*>(CFDictionaryGetValue(dict, CFSTR("unicode"))));
    CFStringAppend(leaf, CFSTR("!"));
    CFDictionarySetValue(dict, CFSTR("added"), kCFBooleanTrue);
    EXPECT_EQ(CFDictionaryGetCount(dict), CFDictionaryGetCount(static_cast<CFDictionaryRef>(xml.get())) + 1);
    EXPECT_EQ(text(leaf), "Gr\xC3\xBC\xC3\x9F \xF0\x9F\x8E\xB8!");
}

// A hostile edit of an otherwise valid file, and a part of the message it must give.
struct Hostile {
    const char* what;
    Bytes bytes;
    const char* message;
};

Bytes withTrailerByte(Bytes b, std::size_t fromEnd, std::uint8_t value) {
    b[b.size() - fromEnd] = value;
    return b;
}

TEST(BinaryPropertyList, RefusesHostileLayoutsWithAMessage) {
    // ["ab", 7]: objects at 8 (array), 11 ("ab"), 14 (7); the table at 16.
    Builder plain(1);
    const std::size_t top = plain.reserve();
    plain.set(top, plain.array({plain.add(Builder::ascii("ab")), plain.add(Builder::integer(7))}));
    const Bytes good = plain.finish(top);
    ASSERT_TRUE(Ref<CFPropertyListRef>(read(good).plist));

    auto single = [](Bytes object) {
        Builder b(1);
        return b.finish(b.add(std::move(object)));
    };
    auto selfArray = [] {
        Builder b(1);
        const std::size_t a = b.reserve(), inner = b.reserve();
        b.set(a, b.array({inner}));
        b.set(inner, b.array({b.add(Builder::integer(1)), a}));
        return b.finish(a);
    };
    auto numberKey = [] {
        Builder b(1);
        const std::size_t d = b.reserve();
        b.set(d, b.dict({b.add(Builder::integer(1))}, {b.add(Builder::boolean(true))}));
        return b.finish(d);
    };
    Bytes offsetIntoTable = good;
    offsetIntoTable[16 + 1] = 16;
    Bytes danglingRef = good;
    danglingRef[9] = 9;
    Bytes longString = good;
    longString[11] = 0x5F;  // the count follows: 0x61 is not an integer marker
    const Hostile cases[] = {
        {"another version", [&] { Bytes b = good; b[7] = '1'; return b; }(), "unknown version"},
        {"only a header", Bytes(good.begin(), good.begin() + 12), "too short"},
        {"offset width 0", withTrailerByte(good, 26, 0), "width"},
        {"reference width 9", withTrailerByte(good, 25, 9), "width"},
        {"table past the end", withTrailerByte(good, 1, 0xF0), "offset table"},
        {"2^63 objects", withTrailerByte(good, 24, 0x80), "objects"},
        {"top object missing", withTrailerByte(good, 9, 3), "top object"},
        {"offset into the table", offsetIntoTable, "offset lies outside"},
        {"reference past the objects", danglingRef, "does not exist"},
        {"count not an integer", longString, "count is not an integer"},
        {"string longer than the file", single({0x5F, 0x13, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
         "run past"},
        {"UTF-16 past the end", single({0x63, 0x00, 0x41}), "run past"},
        {"data past the end", single({0x4F, 0x12, 0x00, 0x10, 0x00, 0x00, 'x'}), "run past"},
        {"array past the end", single({0xAF, 0x11, 0xFF, 0xFF}), "references run past"},
        {"integer cut short", single({0x13, 0x01, 0x02}), "runs past"},
        {"128-bit integer out of range", single({0x14, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}),
         "out of range"},
        {"ASCII above 127", single({0x51, 0xE9}), "above 127"},
        {"a cycle", selfArray(), "refers back to itself"},
        {"a number as a key", numberKey(), "not a string"},
        {"null", single({0x00}), "not property-list objects"},
        {"a UID", single({0x80, 0x01}), "UIDs"},
        {"a set", single({0xC0}), "sets"},
        {"a 2-byte real", single({0x21, 0, 0}), "real"},
        {"a date in the year 300000", single(Builder::date(9.4e12)), "date outside"},
        {"a date that is not a number", single(Builder::date(std::nan(""))), "date outside"},
    };
    for (const Hostile& c : cases) {
        Outcome o = read(c.bytes);
        Ref<CFPropertyListRef> owned(o.plist);
        EXPECT_FALSE(owned) << c.what;
        EXPECT_NE(o.error.find(c.message), std::string::npos) << c.what << ": " << o.error;
        EXPECT_EQ(o.error.rfind("binary property list: ", 0), 0u) << c.what << ": " << o.error;
    }
    // Every truncation of a valid file is refused: the trailer is what the reader trusts.
    Ref<CFPropertyListRef> xml(readXML(kAllTypes));
    const Bytes whole = bplisttest::encode(xml.get());
    for (std::size_t n = 6; n < whole.size(); ++n) {
        Outcome o = read(Bytes(whole.begin(), whole.begin() + std::ptrdiff_t(n)));
        Ref<CFPropertyListRef> owned(o.plist);
        EXPECT_FALSE(owned) << n << " bytes";
        EXPECT_FALSE(o.error.empty()) << n << " bytes";
    }
}

TEST(BinaryPropertyList, RefusesNestingDeeperThanTheLimitWithoutOverflowingTheStack) {
    auto chain = [](std::size_t levels) {
        Builder b(4);
        for (std::size_t i = 0; i + 1 < levels; ++i) b.add(b.array({i + 1}));
        b.add(b.array({}));
        return b.finish(0);
    };
    Outcome deep = read(chain(100000));
    EXPECT_FALSE(Ref<CFPropertyListRef>(deep.plist));
    EXPECT_NE(deep.error.find("nested more than 512 deep"), std::string::npos) << deep.error;
    Outcome fine = read(chain(512));
    EXPECT_TRUE(Ref<CFPropertyListRef>(fine.plist)) << fine.error;
}

TEST(BinaryPropertyList, SharedObjectsAreReusedButCannotMultiply) {
    // Level i holds level i-1 twice: 2^60 nodes if every reference were copied out.
    Builder b(1);
    std::size_t previous = b.add(Builder::ascii("leaf"));
    for (int level = 0; level < 60; ++level) previous = b.add(b.array({previous, previous}));
    const Bytes doubling = b.finish(previous);
    // Immutable, each object is made once and shared.
    Outcome shared = read(doubling);
    Ref<CFPropertyListRef> plist(shared.plist);
    ASSERT_TRUE(plist) << shared.error;
    EXPECT_EQ(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(plist.get()), 0),
              CFArrayGetValueAtIndex(static_cast<CFArrayRef>(plist.get()), 1));
    // Mutable containers must be separate copies, and those would not fit.
    Outcome copied = read(doubling, kCFPropertyListMutableContainers);
    EXPECT_FALSE(Ref<CFPropertyListRef>(copied.plist));
    EXPECT_NE(copied.error.find("expand"), std::string::npos) << copied.error;
}

}  // namespace
