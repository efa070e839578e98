// Random mutations and truncations of valid property lists give either null
// (with an error) or a valid property list; never a crash, an out-of-bounds
// read or a leak (run under AddressSanitizer).

#include "cftestutil.h"
#include "sysframeworks/bplistencoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

const char* const kSeeds[] = {
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">\n<dict>\n\t<key>data</key>\n"
    "\t<data>\n\tAAECA96tvu8=\n\t</data>\n\t<key>manufacturer</key>\n\t<integer>1416392055</integer>\n"
    "\t<key>name</key>\n\t<string>Default &amp; more</string>\n\t<key>version</key>\n\t<integer>196609</integer>\n"
    "</dict>\n</plist>\n",
    "<plist><array><real>1.5</real><true/><false/><date>2001-01-01T00:00:00Z</date><dict><key>k</key>"
    "<array><string><![CDATA[x]]>&#x41;</string></array></dict></array></plist>",
};

CFPropertyListRef parseBytes(const std::string& bytes, CFErrorRef* error) {
    // A heap copy of exactly the bytes, so that reading past them is caught.
    auto* copy = new UInt8[bytes.size() + 1];
    std::memcpy(copy, bytes.data(), bytes.size());
    CFDataRef data = CFDataCreate(nullptr, copy, static_cast<CFIndex>(bytes.size()));
    delete[] copy;
    CFPropertyListRef plist = CFPropertyListCreateWithData(nullptr, data, kCFPropertyListMutableContainersAndLeaves,
                                                           nullptr, error);
    CFRelease(data);
    return plist;
}

int gAccepted = 0;
int gRejected = 0;

std::string xmlOf(CFPropertyListRef plist) {
    CFDataRef xml = CFPropertyListCreateXMLData(nullptr, plist);
    if (xml == nullptr) return {};
    std::string text(reinterpret_cast<const char*>(CFDataGetBytePtr(xml)), static_cast<std::size_t>(CFDataGetLength(xml)));
    CFRelease(xml);
    return text;
}

// `exact`: the XML written from the result reads back equal to it. Otherwise (binary
// input, whose dates and reals may carry more than XML writes) the XML is stable:
// reading and writing it again gives the same text.
void checkOutcome(const std::string& input, bool exact = true) {
    CFErrorRef error = nullptr;
    CFPropertyListRef plist = parseBytes(input, &error);
    ++(plist ? gAccepted : gRejected);
    if (plist == nullptr) {
        ASSERT_NE(error, nullptr);
        CFRelease(error);
        return;
    }
    EXPECT_EQ(error, nullptr);
    EXPECT_TRUE(CFPropertyListIsValid(plist, kCFPropertyListXMLFormat_v1_0));
    // Whatever was accepted can be written and read back to an equal value.
    CFDataRef xml = CFPropertyListCreateXMLData(nullptr, plist);
    ASSERT_NE(xml, nullptr);
    std::string again(reinterpret_cast<const char*>(CFDataGetBytePtr(xml)), static_cast<std::size_t>(CFDataGetLength(xml)));
    CFRelease(xml);
    CFPropertyListRef reread = parseBytes(again, nullptr);
    ASSERT_NE(reread, nullptr) << again;
    if (exact) EXPECT_TRUE(CFEqual(reread, plist) || again.find("<real>nan</real>") != std::string::npos);
    else EXPECT_EQ(xmlOf(reread), again);
    CFRelease(reread);
    CFRelease(plist);
}

TEST(PropertyListFuzz, EveryTruncationGivesNullOrAValidList) {
    for (const char* seed : kSeeds) {
        const std::string s = seed;
        for (std::size_t n = 0; n <= s.size(); ++n) checkOutcome(s.substr(0, n));
    }
}

TEST(PropertyListFuzz, RandomByteMutationsGiveNullOrAValidList) {
    std::mt19937 rng(20240229);
    const char interesting[] = "<>/&;=\"'![]#x0aA \t\n\xC3\xFF";
    for (int round = 0; round < 3000; ++round) {
        std::string s = kSeeds[round % 2];
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = rng() % s.size();
            switch (rng() % 4) {
                case 0: s[at] = interesting[rng() % (sizeof interesting - 1)]; break;
                case 1: s.erase(at, 1 + rng() % 8); break;
                case 2: s.insert(at, 1, interesting[rng() % (sizeof interesting - 1)]); break;
                default: {
                    const std::string piece = s.substr(rng() % s.size(), rng() % 24);
                    s.insert(at, piece);
                    break;
                }
            }
            if (s.empty()) s.push_back('<');
        }
        checkOutcome(s);
    }
    // The mutations exercise both outcomes.
    EXPECT_GT(gAccepted, 100);
    EXPECT_GT(gRejected, 1000);
}

TEST(PropertyListFuzz, BinaryMutationsGiveNullOrAValidList) {
    // The binary form of each seed, with single bytes, trailer fields and counts
    // overwritten at random.
    std::vector<std::string> seeds;
    for (const char* seed : kSeeds) {
        CFErrorRef error = nullptr;
        CFPropertyListRef plist = parseBytes(seed, &error);
        ASSERT_NE(plist, nullptr);
        const bplisttest::Bytes bytes = bplisttest::encode(plist, 1 + unsigned(seeds.size()));
        seeds.emplace_back(bytes.begin(), bytes.end());
        CFRelease(plist);
    }
    const int acceptedBefore = gAccepted, rejectedBefore = gRejected;
    std::mt19937 rng(20250101);
    const unsigned char interesting[] = {0x00, 0x01, 0x0F, 0x10, 0x13, 0x14, 0x5F, 0x6F, 0x7F, 0x80, 0xA1,
                                         0xAF, 0xD1, 0xDF, 0xFF};
    for (int round = 0; round < 4000; ++round) {
        std::string s = seeds[std::size_t(round) % seeds.size()];
        const int edits = 1 + static_cast<int>(rng() % 3);
        for (int e = 0; e < edits; ++e) {
            // Half the edits aim at the trailer and offset table, where the layout lives.
            const std::size_t tail = std::min<std::size_t>(s.size(), 48);
            const std::size_t at = rng() % 2 ? s.size() - 1 - rng() % tail : rng() % s.size();
            s[at] = static_cast<char>(rng() % 3 ? interesting[rng() % sizeof interesting] : rng() % 256);
        }
        checkOutcome(s, false);
    }
    EXPECT_GT(gAccepted - acceptedBefore, 100);
    EXPECT_GT(gRejected - rejectedBefore, 1000);
}

}  // namespace
