// Random mutations and truncations of valid property lists give either null
// (with an error) or a valid property list; never a crash, an out-of-bounds
// read or a leak (run under AddressSanitizer).

#include "cftestutil.h"

#include <gtest/gtest.h>

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

void checkOutcome(const std::string& input) {
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
    ASSERT_NE(reread, nullptr);
    EXPECT_TRUE(CFEqual(reread, plist) || again.find("<real>nan</real>") != std::string::npos);
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

}  // namespace
