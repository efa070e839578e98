// Property lists: XML round trips, byte-exact .aupreset output, and refusal of
// malformed input.

#include "cftestutil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

using cftest::Ref;
using cftest::str;
using cftest::text;

namespace {

// An .aupreset written the way hosts on macOS write one: an 'aufx'/'Kst3'/'Tlmw'
// unit, version 3.0.1, eight bytes of state, plus the optional keys.
const char kPreset[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n"
    "<dict>\n"
    "\t<key>cpu-load</key>\n"
    "\t<real>0.25</real>\n"
    "\t<key>data</key>\n"
    "\t<data>\n"
    "\tAAECA96tvu8=\n"
    "\t</data>\n"
    "\t<key>element-name</key>\n"
    "\t<dict>\n"
    "\t\t<key>1</key>\n"
    "\t\t<dict>\n"
    "\t\t\t<key>0</key>\n"
    "\t\t\t<string>input #0</string>\n"
    "\t\t</dict>\n"
    "\t</dict>\n"
    "\t<key>file-references</key>\n"
    "\t<array/>\n"
    "\t<key>manufacturer</key>\n"
    "\t<integer>1416392055</integer>\n"
    "\t<key>name</key>\n"
    "\t<string>Lead &amp; &lt;Bliss&gt;</string>\n"
    "\t<key>preset-number</key>\n"
    "\t<integer>-1</integer>\n"
    "\t<key>render-quality</key>\n"
    "\t<integer>127</integer>\n"
    "\t<key>sandboxSafe</key>\n"
    "\t<true/>\n"
    "\t<key>subtype</key>\n"
    "\t<integer>1265857587</integer>\n"
    "\t<key>type</key>\n"
    "\t<integer>1635083896</integer>\n"
    "\t<key>version</key>\n"
    "\t<integer>196609</integer>\n"
    "</dict>\n"
    "</plist>\n";

CFDataRef dataOf(const std::string& s) {
    return CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(s.data()), static_cast<CFIndex>(s.size()));
}

std::string stringOf(CFDataRef d) {
    return std::string(reinterpret_cast<const char*>(CFDataGetBytePtr(d)), static_cast<std::size_t>(CFDataGetLength(d)));
}

CFPropertyListRef parse(const std::string& xml, CFErrorRef* error = nullptr, CFOptionFlags options = 0) {
    Ref<CFDataRef> d(dataOf(xml));
    return CFPropertyListCreateWithData(nullptr, d.get(), options, nullptr, error);
}

SInt32 int32At(CFDictionaryRef d, const char* key) {
    Ref<CFStringRef> k(str(key));
    SInt32 v = 0;
    auto n = static_cast<CFNumberRef>(CFDictionaryGetValue(d, k.get()));
    EXPECT_TRUE(n && CFNumberGetValue(n, kCFNumberSInt32Type, &v)) << key;
    return v;
}

TEST(PropertyList, ReadsAnAupresetWithEveryKeyType) {
    CFPropertyListFormat format = 0;
    Ref<CFDataRef> data(dataOf(kPreset));
    Ref<CFDictionaryRef> plist(static_cast<CFDictionaryRef>(
        CFPropertyListCreateWithData(nullptr, data.get(), kCFPropertyListImmutable, &format, nullptr)));
    ASSERT_TRUE(plist);
    EXPECT_EQ(format, kCFPropertyListXMLFormat_v1_0);
    EXPECT_EQ(int32At(plist.get(), "type"), 0x61756678);
    EXPECT_EQ(int32At(plist.get(), "subtype"), 0x4B737433);
    EXPECT_EQ(int32At(plist.get(), "manufacturer"), 0x546C6D77);
    EXPECT_EQ(int32At(plist.get(), "version"), 0x00030001);
    EXPECT_EQ(int32At(plist.get(), "preset-number"), -1);
    EXPECT_EQ(text(static_cast<CFStringRef>(CFDictionaryGetValue(plist.get(), CFSTR("name")))), "Lead & <Bliss>");
    auto state = static_cast<CFDataRef>(CFDictionaryGetValue(plist.get(), CFSTR("data")));
    ASSERT_EQ(CFDataGetLength(state), 8);
    const UInt8 expected[] = {0x00, 0x01, 0x02, 0x03, 0xDE, 0xAD, 0xBE, 0xEF};
    EXPECT_EQ(std::memcmp(CFDataGetBytePtr(state), expected, 8), 0);
    EXPECT_EQ(CFDictionaryGetValue(plist.get(), CFSTR("sandboxSafe")), kCFBooleanTrue);
    double load = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(plist.get(), CFSTR("cpu-load"))), kCFNumberDoubleType, &load);
    EXPECT_EQ(load, 0.25);
    auto refs = static_cast<CFArrayRef>(CFDictionaryGetValue(plist.get(), CFSTR("file-references")));
    EXPECT_EQ(CFGetTypeID(refs), CFArrayGetTypeID());
    EXPECT_EQ(CFArrayGetCount(refs), 0);
}

TEST(PropertyList, WritesTheAupresetBackByteForByte) {
    Ref<CFPropertyListRef> plist(parse(kPreset));
    ASSERT_TRUE(plist);
    Ref<CFDataRef> written(CFPropertyListCreateData(nullptr, plist.get(), kCFPropertyListXMLFormat_v1_0, 0, nullptr));
    ASSERT_TRUE(written);
    EXPECT_EQ(stringOf(written.get()), kPreset);
}

TEST(PropertyList, WritesAClassInfoDictionaryInApplesLayout) {
    // Built the way a unit builds its class info: 32-bit numbers, inserted unsorted.
    Ref<CFMutableDictionaryRef> d(
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    auto put = [&](const char* key, SInt32 v) {
        Ref<CFNumberRef> n(CFNumberCreate(nullptr, kCFNumberSInt32Type, &v));
        Ref<CFStringRef> k(str(key));
        CFDictionarySetValue(d.get(), k.get(), n.get());
    };
    put("version", 196609);
    put("type", 0x61756678);
    put("subtype", 0x4B737433);
    put("manufacturer", 0x546C6D77);
    CFDictionarySetValue(d.get(), CFSTR("name"), CFSTR("Default"));
    const UInt8 state[] = {0x00, 0x01, 0x02, 0x03, 0xDE, 0xAD, 0xBE, 0xEF};
    Ref<CFDataRef> data(CFDataCreate(nullptr, state, 8));
    CFDictionarySetValue(d.get(), CFSTR("data"), data.get());
    Ref<CFDataRef> xml(CFPropertyListCreateXMLData(nullptr, d.get()));
    EXPECT_EQ(stringOf(xml.get()),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
              "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
              "<plist version=\"1.0\">\n"
              "<dict>\n"
              "\t<key>data</key>\n"
              "\t<data>\n"
              "\tAAECA96tvu8=\n"
              "\t</data>\n"
              "\t<key>manufacturer</key>\n"
              "\t<integer>1416392055</integer>\n"
              "\t<key>name</key>\n"
              "\t<string>Default</string>\n"
              "\t<key>subtype</key>\n"
              "\t<integer>1265857587</integer>\n"
              "\t<key>type</key>\n"
              "\t<integer>1635083896</integer>\n"
              "\t<key>version</key>\n"
              "\t<integer>196609</integer>\n"
              "</dict>\n"
              "</plist>\n");
}

TEST(PropertyList, WrapsLongDataIntoLinesOfSixtyEightCharactersInADictionary) {
    std::string bytes(100, '\x5A');
    Ref<CFDataRef> data(dataOf(bytes));
    const void* keys[] = {CFSTR("data")};
    const void* values[] = {data.get()};
    Ref<CFDictionaryRef> d(CFDictionaryCreate(nullptr, keys, values, 1, &kCFTypeDictionaryKeyCallBacks,
                                              &kCFTypeDictionaryValueCallBacks));
    Ref<CFDataRef> xml(CFPropertyListCreateXMLData(nullptr, d.get()));
    const std::string out = stringOf(xml.get());
    const std::size_t start = out.find("<data>\n") + 7;
    const std::size_t firstLineEnd = out.find('\n', start);
    EXPECT_EQ(firstLineEnd - start, 1 + 68u);  // a tab, then 68 base64 characters
    Ref<CFPropertyListRef> back(parse(out));
    EXPECT_TRUE(CFEqual(back.get(), d.get()));
}

TEST(PropertyList, RoundTripsNestedValuesDatesRealsAndUnicode) {
    const std::string xml =
        "<plist version=\"1.0\"><array>"
        "<date>2024-02-29T23:59:58Z</date><real>-0.1</real><real>nan</real><real>+infinity</real>"
        "<integer>-9223372036854775808</integer><integer>0x10</integer>"
        "<string><![CDATA[a<b]]>&#233;&#x1F3B8;</string><string/><dict/><false/>"
        "</array></plist>";
    Ref<CFArrayRef> a(static_cast<CFArrayRef>(parse(xml)));
    ASSERT_TRUE(a);
    ASSERT_EQ(CFArrayGetCount(a.get()), 10);
    auto date = static_cast<CFDateRef>(CFArrayGetValueAtIndex(a.get(), 0));
    EXPECT_DOUBLE_EQ(CFDateGetAbsoluteTime(date), 1709251198.0 - kCFAbsoluteTimeIntervalSince1970);
    double nan = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(CFArrayGetValueAtIndex(a.get(), 2)), kCFNumberDoubleType, &nan);
    EXPECT_TRUE(std::isnan(nan));
    SInt64 minimum = 0, hex = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(CFArrayGetValueAtIndex(a.get(), 4)), kCFNumberSInt64Type, &minimum);
    CFNumberGetValue(static_cast<CFNumberRef>(CFArrayGetValueAtIndex(a.get(), 5)), kCFNumberSInt64Type, &hex);
    EXPECT_EQ(minimum, INT64_MIN);
    EXPECT_EQ(hex, 16);
    EXPECT_EQ(text(static_cast<CFStringRef>(CFArrayGetValueAtIndex(a.get(), 6))), "a<b\xC3\xA9\xF0\x9F\x8E\xB8");
    Ref<CFDataRef> written(CFPropertyListCreateXMLData(nullptr, a.get()));
    Ref<CFPropertyListRef> again(parse(stringOf(written.get())));
    EXPECT_TRUE(CFEqual(again.get(), a.get()));
}

TEST(PropertyList, MutabilityOptionDecidesWhatCanChange) {
    const std::string xml = "<plist><dict><key>a</key><array><string>x</string></array></dict></plist>";
    Ref<CFMutableDictionaryRef> frozen(static_cast<CFMutableDictionaryRef>(const_cast<void*>(parse(xml))));
    CFDictionarySetValue(frozen.get(), CFSTR("b"), kCFBooleanTrue);
    EXPECT_EQ(CFDictionaryGetCount(frozen.get()), 1);
    Ref<CFMutableDictionaryRef> open(static_cast<CFMutableDictionaryRef>(
        const_cast<void*>(parse(xml, nullptr, kCFPropertyListMutableContainersAndLeaves))));
    CFDictionarySetValue(open.get(), CFSTR("b"), kCFBooleanTrue);
    EXPECT_EQ(CFDictionaryGetCount(open.get()), 2);
    auto inner = static_cast<CFMutableArrayRef>(const_cast<void*>(CFDictionaryGetValue(open.get(), CFSTR("a"))));
    auto leaf = static_cast<CFMutableStringRef>(const_cast<void*>(CFArrayGetValueAtIndex(inner, 0)));
    CFStringAppend(leaf, CFSTR("y"));
    EXPECT_EQ(text(leaf), "xy");
}

TEST(PropertyList, RejectsMalformedDocumentsWithAnError) {
    const char* bad[] = {
        "",
        "<plist version=\"1.0\">",
        "<plist><dict><key>a</key></dict></plist>",                  // key without value
        "<plist><dict><string>v</string></dict></plist>",            // value without key
        "<plist><array><key>a</key></array></plist>",                // key outside a dict
        "<plist><integer>12x</integer></plist>",                     // bad integer
        "<plist><integer>9223372036854775808</integer></plist>",     // out of range
        "<plist><real>1.5.2</real></plist>",
        "<plist><date>2024-13-01T00:00:00Z</date></plist>",
        "<plist><data>AAECA96tvu8</data></plist>",                   // truncated base64
        "<plist><data>AA=A</data></plist>",                          // padding in the middle
        "<plist><data>AA*A</data></plist>",
        "<plist><string>a<b</string></plist>",
        "<plist><string>&bogus;</string></plist>",
        "<plist><string>&#0;</string></plist>",
        "<plist><string>\xC3</string></plist>",                      // invalid UTF-8
        "<plist><array></dict></plist>",
        "<plist><true>yes</true></plist>",
        "<plist><widget/></plist>",
        "<plist><string>a</string><string>b</string></plist>",       // two roots
        "<plist><string>a</string></plist>trailing",
        "<!-- unterminated",
        "bplist00\x01\x02",
    };
    for (const char* doc : bad) {
        CFErrorRef error = nullptr;
        CFPropertyListRef plist = parse(doc, &error);
        EXPECT_EQ(plist, nullptr) << doc;
        if (plist) CFRelease(plist);
        ASSERT_NE(error, nullptr) << doc;
        EXPECT_EQ(CFErrorGetCode(error) / 10, 384) << doc;
        Ref<CFStringRef> description(CFErrorCopyDescription(error));
        EXPECT_FALSE(text(description.get()).empty());
        CFRelease(error);
    }
}

TEST(PropertyList, ErrorsNameTheLine) {
    CFErrorRef error = nullptr;
    Ref<CFPropertyListRef> plist(parse("<plist>\n<dict>\n<key>k</key>\n<integer>x</integer>\n</dict>\n</plist>", &error));
    ASSERT_NE(error, nullptr);
    Ref<CFStringRef> description(CFErrorCopyDescription(error));
    EXPECT_EQ(text(description.get()), "line 4: malformed integer");
    CFRelease(error);
    CFStringRef legacy = nullptr;
    Ref<CFDataRef> data(dataOf("<plist><foo/></plist>"));
    EXPECT_EQ(CFPropertyListCreateFromXMLData(nullptr, data.get(), 0, &legacy), nullptr);
    EXPECT_EQ(text(legacy), "line 1: unknown element");
    CFRelease(legacy);
}

TEST(PropertyList, RefusesNestingDeeperThanTheLimitWithoutRecursing) {
    std::string deep = "<plist>";
    for (int i = 0; i < 100000; ++i) deep += "<array>";
    Ref<CFPropertyListRef> plist(parse(deep));
    EXPECT_FALSE(plist);
    std::string ok = "<plist>";
    for (int i = 0; i < 500; ++i) ok += "<array>";
    for (int i = 0; i < 500; ++i) ok += "</array>";
    ok += "</plist>";
    Ref<CFPropertyListRef> fine(parse(ok));
    EXPECT_TRUE(fine);
}

TEST(PropertyList, WriterRefusesWhatIsNotAPropertyList) {
    Ref<CFURLRef> url(CFURLCreateWithString(nullptr, CFSTR("file:///tmp/"), nullptr));
    CFErrorRef error = nullptr;
    EXPECT_EQ(CFPropertyListCreateData(nullptr, url.get(), kCFPropertyListXMLFormat_v1_0, 0, &error), nullptr);
    ASSERT_NE(error, nullptr);
    CFRelease(error);
    int one = 1;
    Ref<CFNumberRef> key(CFNumberCreate(nullptr, kCFNumberIntType, &one));
    const void* keys[] = {key.get()};
    const void* values[] = {kCFBooleanTrue};
    Ref<CFDictionaryRef> d(CFDictionaryCreate(nullptr, keys, values, 1, &kCFTypeDictionaryKeyCallBacks,
                                              &kCFTypeDictionaryValueCallBacks));
    EXPECT_FALSE(CFPropertyListIsValid(d.get(), kCFPropertyListXMLFormat_v1_0));
    EXPECT_EQ(CFPropertyListCreateXMLData(nullptr, d.get()), nullptr);
    // An array that contains itself is refused at the depth limit, not by a stack overflow.
    Ref<CFMutableArrayRef> loop(CFArrayCreateMutable(nullptr, 0, nullptr));
    CFArrayAppendValue(loop.get(), loop.get());
    EXPECT_EQ(CFPropertyListCreateXMLData(nullptr, loop.get()), nullptr);
}

TEST(PropertyList, DeepCopyIsEqualAndIndependent) {
    Ref<CFPropertyListRef> plist(parse(kPreset));
    Ref<CFMutableDictionaryRef> copy(static_cast<CFMutableDictionaryRef>(
        const_cast<void*>(CFPropertyListCreateDeepCopy(nullptr, plist.get(), kCFPropertyListMutableContainers))));
    EXPECT_TRUE(CFEqual(copy.get(), plist.get()));
    CFDictionaryRemoveValue(copy.get(), CFSTR("data"));
    EXPECT_FALSE(CFEqual(copy.get(), plist.get()));
}

}  // namespace
