// CoreFoundation objects: reference counting, strings, numbers, data,
// collections with callbacks, formatting, URLs and bundles.

#include "cftestutil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

using cftest::Ref;
using cftest::str;
using cftest::text;

namespace {

TEST(CFReferenceCounting, RetainAndReleaseTrackTheCountAndFreeAtZero) {
    CFStringRef s = str("counted");
    EXPECT_EQ(CFGetRetainCount(s), 1);
    CFRetain(s);
    EXPECT_EQ(CFGetRetainCount(s), 2);
    CFRelease(s);
    EXPECT_EQ(CFGetRetainCount(s), 1);
    CFRelease(s);  // freed here; ASan reports a leak or double free otherwise
}

TEST(CFReferenceCounting, ConcurrentRetainReleaseKeepsTheCountExact) {
    Ref<CFStringRef> s(str("shared"));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                CFRetain(s.get());
                CFRelease(s.get());
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(CFGetRetainCount(s.get()), 1);
}

TEST(CFReferenceCounting, ConstantObjectsAreNeverFreed) {
    CFStringRef literal = CFSTR("constant");
    for (int i = 0; i < 3; ++i) CFRelease(literal);
    EXPECT_EQ(text(literal), "constant");
    EXPECT_EQ(CFSTR("constant"), literal);  // interned
    CFRelease(kCFBooleanTrue);
    EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
    EXPECT_GT(CFGetRetainCount(kCFNull), 1000);
}

TEST(CFReferenceCounting, CollectionsRetainTheirValuesAndReleaseThemWhenFreed) {
    CFStringRef value = str("value");
    CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue(array, value);
    EXPECT_EQ(CFGetRetainCount(value), 2);
    CFMutableDictionaryRef dict =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFDictionarySetValue(dict, CFSTR("k"), value);
    EXPECT_EQ(CFGetRetainCount(value), 3);
    CFRelease(array);
    CFRelease(dict);
    EXPECT_EQ(CFGetRetainCount(value), 1);
    CFRelease(value);
}

TEST(CFReferenceCounting, CustomAllocatorProvidesTheObjectMemory) {
    struct Counts {
        int allocations = 0;
        int frees = 0;
    } counts;
    CFAllocatorContext context{};
    context.info = &counts;
    context.allocate = [](CFIndex size, CFOptionFlags, void* info) -> void* {
        ++static_cast<Counts*>(info)->allocations;
        return std::malloc(static_cast<std::size_t>(size));
    };
    context.deallocate = [](void* ptr, void* info) {
        ++static_cast<Counts*>(info)->frees;
        std::free(ptr);
    };
    CFAllocatorRef allocator = CFAllocatorCreate(nullptr, &context);
    ASSERT_NE(allocator, nullptr);
    CFDataRef data = CFDataCreate(allocator, reinterpret_cast<const UInt8*>("abc"), 3);
    EXPECT_EQ(CFGetAllocator(data), allocator);
    EXPECT_EQ(counts.allocations, 1);
    CFRelease(data);
    EXPECT_EQ(counts.frees, 1);
    CFRelease(allocator);
    EXPECT_EQ(CFDataCreate(kCFAllocatorNull, nullptr, 0), nullptr);
}

TEST(CFPolymorphic, TypeIdsEqualityAndHashAgree) {
    Ref<CFStringRef> a(str("same")), b(str("same")), c(str("other"));
    EXPECT_EQ(CFGetTypeID(a.get()), CFStringGetTypeID());
    EXPECT_TRUE(CFEqual(a.get(), b.get()));
    EXPECT_FALSE(CFEqual(a.get(), c.get()));
    EXPECT_EQ(CFHash(a.get()), CFHash(b.get()));
    int i = 7;
    double d = 7.0;
    Ref<CFNumberRef> ni(CFNumberCreate(nullptr, kCFNumberIntType, &i));
    Ref<CFNumberRef> nd(CFNumberCreate(nullptr, kCFNumberDoubleType, &d));
    EXPECT_TRUE(CFEqual(ni.get(), nd.get()));
    EXPECT_EQ(CFHash(ni.get()), CFHash(nd.get()));
    EXPECT_FALSE(CFEqual(a.get(), ni.get()));
    Ref<CFStringRef> name(CFCopyTypeIDDescription(CFNumberGetTypeID()));
    EXPECT_EQ(text(name.get()), "CFNumber");
}

TEST(CFPolymorphic, NonObjectsAreRefusedWithoutCrashing) {
    char notAnObject[64] = {};
    EXPECT_EQ(CFGetTypeID(notAnObject), 0u);
    EXPECT_EQ(CFStringGetLength(reinterpret_cast<CFStringRef>(notAnObject)), 0);
    Ref<CFDataRef> data(CFDataCreate(nullptr, nullptr, 0));
    EXPECT_EQ(CFStringGetLength(reinterpret_cast<CFStringRef>(data.get())), 0);  // wrong type
}

TEST(CFPolymorphicDeathTest, ReleasingNullStopsWithAMessage) {
    EXPECT_DEATH(CFRelease(nullptr), "CFRelease: called with NULL");
}

TEST(CFString, RoundTripsUTF8AndCountsUTF16Units) {
    const char* utf8 = "Gr\xC3\xBC\xC3\x9F \xF0\x9F\x8E\xB8";  // "Grüß 🎸"
    Ref<CFStringRef> s(str(utf8));
    ASSERT_TRUE(s);
    EXPECT_EQ(CFStringGetLength(s.get()), 7);  // the emoji is a surrogate pair
    EXPECT_EQ(text(s.get()), utf8);
    EXPECT_STREQ(CFStringGetCStringPtr(s.get(), kCFStringEncodingUTF8), utf8);
    EXPECT_EQ(CFStringGetCharacterAtIndex(s.get(), 2), 0xFC);
}

TEST(CFString, RejectsInvalidUTF8) {
    EXPECT_EQ(str("\xC3"), nullptr);                  // truncated sequence
    EXPECT_EQ(str("\xC0\xAF"), nullptr);              // overlong
    EXPECT_EQ(str("\xED\xA0\x80"), nullptr);          // encoded surrogate
    EXPECT_EQ(str("\xF4\x90\x80\x80"), nullptr);      // beyond U+10FFFF
}

TEST(CFString, GetCStringFailsWhenTheBufferIsTooSmallOrTheEncodingCannotHoldTheText) {
    Ref<CFStringRef> s(str("caf\xC3\xA9"));
    char buffer[16];
    EXPECT_FALSE(CFStringGetCString(s.get(), buffer, 5, kCFStringEncodingUTF8));  // needs 6 with the terminator
    EXPECT_TRUE(CFStringGetCString(s.get(), buffer, 6, kCFStringEncodingUTF8));
    EXPECT_FALSE(CFStringGetCString(s.get(), buffer, sizeof buffer, kCFStringEncodingASCII));
    EXPECT_TRUE(CFStringGetCString(s.get(), buffer, sizeof buffer, kCFStringEncodingISOLatin1));
    EXPECT_EQ(static_cast<unsigned char>(buffer[3]), 0xE9);
    EXPECT_EQ(buffer[4], '\0');
}

TEST(CFString, ConvertsBetweenEncodings) {
    const UInt8 utf16be[] = {0xFE, 0xFF, 0x00, 'h', 0x00, 'i'};
    Ref<CFStringRef> s(CFStringCreateWithBytes(nullptr, utf16be, sizeof utf16be, kCFStringEncodingUTF16, true));
    EXPECT_EQ(text(s.get()), "hi");
    UInt8 out[8];
    CFIndex used = 0;
    EXPECT_EQ(CFStringGetBytes(s.get(), CFRangeMake(0, 2), kCFStringEncodingUTF16LE, 0, false, out, sizeof out, &used), 2);
    EXPECT_EQ(used, 4);
    EXPECT_EQ(out[0], 'h');
    EXPECT_EQ(out[1], 0);
    Ref<CFStringRef> accented(str("\xC3\xA9t\xC3\xA9"));
    EXPECT_EQ(CFStringGetBytes(accented.get(), CFRangeMake(0, 3), kCFStringEncodingASCII, '?', false, out, sizeof out, &used), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), static_cast<std::size_t>(used)), "?t?");
    EXPECT_EQ(CFStringGetBytes(accented.get(), CFRangeMake(0, 3), kCFStringEncodingASCII, 0, false, out, sizeof out, &used), 0);
    EXPECT_EQ(CFStringCreateWithBytes(nullptr, utf16be, 3, kCFStringEncodingUTF16BE, false), nullptr);  // odd length
}

TEST(CFString, ComparesLiterallyCaseInsensitivelyAndNumerically) {
    Ref<CFStringRef> a(str("Preset 10")), b(str("preset 9"));
    EXPECT_EQ(CFStringCompare(a.get(), b.get(), 0), kCFCompareLessThan);  // 'P' < 'p'
    EXPECT_EQ(CFStringCompare(a.get(), b.get(), kCFCompareCaseInsensitive), kCFCompareLessThan);  // "1" < "9"
    EXPECT_EQ(CFStringCompare(a.get(), b.get(), kCFCompareCaseInsensitive | kCFCompareNumerically), kCFCompareGreaterThan);
    Ref<CFStringRef> c(str("PRESET 9"));
    EXPECT_EQ(CFStringCompare(b.get(), c.get(), kCFCompareCaseInsensitive), kCFCompareEqualTo);
    EXPECT_EQ(CFStringCompare(b.get(), c.get(), 0), kCFCompareGreaterThan);
}

TEST(CFString, MutableStringsAppendAndImmutableOnesRefuse) {
    Ref<CFMutableStringRef> m(CFStringCreateMutable(nullptr, 0));
    CFStringAppendCString(m.get(), "in", kCFStringEncodingUTF8);
    CFStringAppend(m.get(), CFSTR("put #"));
    CFStringAppendFormat(m.get(), nullptr, CFSTR("%d"), 1);
    EXPECT_EQ(text(m.get()), "input #1");
    Ref<CFStringRef> fixed(str("fixed"));
    CFStringAppend(reinterpret_cast<CFMutableStringRef>(const_cast<__CFString*>(fixed.get())), CFSTR("!"));
    EXPECT_EQ(text(fixed.get()), "fixed");
    Ref<CFStringRef> copy(CFStringCreateCopy(nullptr, m.get()));
    CFStringAppend(m.get(), CFSTR("0"));
    EXPECT_EQ(text(copy.get()), "input #1");
}

TEST(CFString, ParsesIntegersAndDoubles) {
    Ref<CFStringRef> i(str("  -42abc")), big(str("99999999999")), d(str(" 2.5e3"));
    EXPECT_EQ(CFStringGetIntValue(i.get()), -42);
    EXPECT_EQ(CFStringGetIntValue(big.get()), std::numeric_limits<SInt32>::max());
    EXPECT_DOUBLE_EQ(CFStringGetDoubleValue(d.get()), 2500.0);
}

TEST(CFStringFormat, FormatsIntegersStringsAndObjects) {
    Ref<CFStringRef> name(str("Lead"));
    int n = 3;
    Ref<CFNumberRef> number(CFNumberCreate(nullptr, kCFNumberIntType, &n));
    Ref<CFStringRef> s(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%d/%s/%@/%@/%5.2f|%-4d|%x%%"), -7, "c",
                                                name.get(), number.get(), 3.14159, 12, 255u));
    EXPECT_EQ(text(s.get()), "-7/c/Lead/3/ 3.14|12  |ff%");
    Ref<CFStringRef> preset(CFStringCreateWithFormat(nullptr, nullptr,
                                                     CFSTR("AUPreset:\npreset number = %d\npreset name = %@"), 2,
                                                     name.get()));
    EXPECT_EQ(text(preset.get()), "AUPreset:\npreset number = 2\npreset name = Lead");
    Ref<CFStringRef> nullObject(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("[%@]"), nullptr));
    EXPECT_EQ(text(nullObject.get()), "[(null)]");
    Ref<CFStringRef> wide(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%lld %zu %ld"), -5000000000LL,
                                                   static_cast<size_t>(9), 8L));
    EXPECT_EQ(text(wide.get()), "-5000000000 9 8");
}

TEST(CFStringFormat, RefusesFormatsItCannotHonour) {
    EXPECT_EQ(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%1$d"), 1), nullptr);
    EXPECT_EQ(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%n"), nullptr), nullptr);
    EXPECT_EQ(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("trailing %"), 1), nullptr);
}

TEST(CFNumber, KeepsTheValueAndReportsLossyConversions) {
    SInt32 v = 0x61756678;
    Ref<CFNumberRef> n(CFNumberCreate(nullptr, kCFNumberSInt32Type, &v));
    EXPECT_EQ(CFNumberGetType(n.get()), kCFNumberSInt32Type);
    EXPECT_EQ(CFNumberGetByteSize(n.get()), 4);
    SInt64 wide = 0;
    EXPECT_TRUE(CFNumberGetValue(n.get(), kCFNumberSInt64Type, &wide));
    EXPECT_EQ(wide, 0x61756678);
    SInt16 narrow = 0;
    EXPECT_FALSE(CFNumberGetValue(n.get(), kCFNumberSInt16Type, &narrow));
    EXPECT_EQ(narrow, 32767);  // saturated best attempt
    double d = 2.75;
    Ref<CFNumberRef> real(CFNumberCreate(nullptr, kCFNumberFloat64Type, &d));
    EXPECT_TRUE(CFNumberIsFloatType(real.get()));
    int truncated = 0;
    EXPECT_FALSE(CFNumberGetValue(real.get(), kCFNumberIntType, &truncated));
    EXPECT_EQ(truncated, 2);
    float f = 0;
    EXPECT_TRUE(CFNumberGetValue(real.get(), kCFNumberFloatType, &f));
    EXPECT_EQ(f, 2.75f);
    EXPECT_EQ(CFNumberCreate(nullptr, static_cast<CFNumberType>(99), &d), nullptr);
    EXPECT_EQ(CFNumberCreate(nullptr, kCFNumberIntType, nullptr), nullptr);
}

TEST(CFNumber, ComparesAcrossIntegerAndFloatStorage) {
    SInt64 big = 1LL << 53;
    double next = 9007199254740992.0;
    Ref<CFNumberRef> a(CFNumberCreate(nullptr, kCFNumberSInt64Type, &big)), b(CFNumberCreate(nullptr, kCFNumberDoubleType, &next));
    EXPECT_EQ(CFNumberCompare(a.get(), b.get(), nullptr), kCFCompareEqualTo);
    double nan = std::nan("");
    Ref<CFNumberRef> n(CFNumberCreate(nullptr, kCFNumberDoubleType, &nan));
    EXPECT_TRUE(CFEqual(n.get(), kCFNumberNaN));
    EXPECT_EQ(CFNumberCompare(n.get(), a.get(), nullptr), kCFCompareLessThan);
}

TEST(CFData, CopiesBytesAndGrowsWhenMutable) {
    const UInt8 bytes[] = {1, 2, 3};
    Ref<CFDataRef> d(CFDataCreate(nullptr, bytes, 3));
    EXPECT_EQ(CFDataGetLength(d.get()), 3);
    EXPECT_EQ(std::memcmp(CFDataGetBytePtr(d.get()), bytes, 3), 0);
    Ref<CFMutableDataRef> m(CFDataCreateMutableCopy(nullptr, 0, d.get()));
    CFDataAppendBytes(m.get(), bytes, 2);
    CFDataReplaceBytes(m.get(), CFRangeMake(0, 1), bytes + 2, 1);
    UInt8 out[5] = {};
    CFDataGetBytes(m.get(), CFRangeMake(0, 5), out);
    const UInt8 expected[] = {3, 2, 3, 1, 2};
    EXPECT_EQ(std::memcmp(out, expected, 5), 0);
    UInt8 untouched[2] = {9, 9};
    CFDataGetBytes(d.get(), CFRangeMake(2, 5), untouched);  // outside: nothing copied
    EXPECT_EQ(untouched[0], 9);
    CFDataAppendBytes(reinterpret_cast<CFMutableDataRef>(const_cast<__CFData*>(d.get())), bytes, 3);
    EXPECT_EQ(CFDataGetLength(d.get()), 3);
}

// Records the calls of custom array callbacks, like the AUPreset records a unit hands out.
struct Record {
    int retains = 0;
    int releases = 0;
    int number = 0;
};

TEST(CFArray, CustomCallbacksRetainReleaseCompareAndDescribe) {
    CFArrayCallBacks callbacks{};
    callbacks.retain = [](CFAllocatorRef, const void* v) -> const void* {
        ++static_cast<Record*>(const_cast<void*>(v))->retains;
        return v;
    };
    callbacks.release = [](CFAllocatorRef, const void* v) { ++static_cast<Record*>(const_cast<void*>(v))->releases; };
    callbacks.equal = [](const void* a, const void* b) -> Boolean {
        return static_cast<const Record*>(a)->number == static_cast<const Record*>(b)->number;
    };
    callbacks.copyDescription = [](const void* v) -> CFStringRef {
        return CFStringCreateWithFormat(nullptr, nullptr, CFSTR("record %d"), static_cast<const Record*>(v)->number);
    };
    Record one{0, 0, 1}, two{0, 0, 2}, probe{0, 0, 2};
    const void* values[] = {&one, &two};
    CFArrayRef array = CFArrayCreate(nullptr, values, 2, &callbacks);
    EXPECT_EQ(one.retains, 1);
    EXPECT_EQ(CFArrayGetFirstIndexOfValue(array, CFRangeMake(0, 2), &probe), 1);
    Ref<CFStringRef> description(CFCopyDescription(array));
    EXPECT_NE(text(description.get()).find("1 : record 2"), std::string::npos);
    CFRelease(array);
    EXPECT_EQ(one.releases, 1);
    EXPECT_EQ(two.releases, 1);
}

TEST(CFArray, MutationsKeepOrderAndRefuseBadIndices) {
    Ref<CFMutableArrayRef> a(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
    CFArrayAppendValue(a.get(), CFSTR("b"));
    CFArrayInsertValueAtIndex(a.get(), 0, CFSTR("a"));
    CFArrayAppendValue(a.get(), CFSTR("c"));
    CFArrayRemoveValueAtIndex(a.get(), 1);
    ASSERT_EQ(CFArrayGetCount(a.get()), 2);
    EXPECT_EQ(CFArrayGetValueAtIndex(a.get(), 1), CFSTR("c"));
    EXPECT_EQ(CFArrayGetValueAtIndex(a.get(), 2), nullptr);
    EXPECT_EQ(CFArrayGetValueAtIndex(a.get(), -1), nullptr);
    CFArrayInsertValueAtIndex(a.get(), 5, CFSTR("x"));
    EXPECT_EQ(CFArrayGetCount(a.get()), 2);
    Ref<CFArrayRef> frozen(CFArrayCreateCopy(nullptr, a.get()));
    CFArrayAppendValue(reinterpret_cast<CFMutableArrayRef>(const_cast<__CFArray*>(frozen.get())), CFSTR("d"));
    EXPECT_EQ(CFArrayGetCount(frozen.get()), 2);
    CFArrayAppendArray(a.get(), a.get(), CFRangeMake(0, 2));  // appending to itself
    EXPECT_EQ(CFArrayGetCount(a.get()), 4);
}

TEST(CFDictionary, LooksUpEqualKeysAndReplacesValues) {
    Ref<CFMutableDictionaryRef> d(
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    Ref<CFStringRef> key(str("version"));
    int one = 1, two = 2;
    Ref<CFNumberRef> n1(CFNumberCreate(nullptr, kCFNumberIntType, &one)), n2(CFNumberCreate(nullptr, kCFNumberIntType, &two));
    CFDictionarySetValue(d.get(), key.get(), n1.get());
    EXPECT_EQ(CFDictionaryGetValue(d.get(), CFSTR("version")), n1.get());  // an equal, different key object
    CFDictionaryAddValue(d.get(), CFSTR("version"), n2.get());             // present: no change
    EXPECT_EQ(CFDictionaryGetValue(d.get(), key.get()), n1.get());
    CFDictionarySetValue(d.get(), CFSTR("version"), n2.get());
    EXPECT_EQ(CFDictionaryGetValue(d.get(), key.get()), n2.get());
    EXPECT_EQ(CFGetRetainCount(n1.get()), 1);
    EXPECT_EQ(CFDictionaryGetCount(d.get()), 1);
    CFDictionaryRemoveValue(d.get(), key.get());
    EXPECT_FALSE(CFDictionaryContainsKey(d.get(), key.get()));
    CFDictionarySetValue(d.get(), nullptr, n1.get());  // refused, not a crash
    EXPECT_EQ(CFDictionaryGetCount(d.get()), 0);
}

TEST(CFDictionary, CopyStringKeyCallbacksSnapshotMutableKeys) {
    Ref<CFMutableDictionaryRef> d(
        CFDictionaryCreateMutable(nullptr, 0, &kCFCopyStringDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    Ref<CFMutableStringRef> key(CFStringCreateMutable(nullptr, 0));
    CFStringAppend(key.get(), CFSTR("name"));
    CFDictionarySetValue(d.get(), key.get(), kCFBooleanTrue);
    CFStringAppend(key.get(), CFSTR("changed"));
    EXPECT_EQ(CFDictionaryGetValue(d.get(), CFSTR("name")), kCFBooleanTrue);
}

TEST(CFDictionary, EqualityComparesContentsAndCopiesAreIndependent) {
    const void* keys[] = {CFSTR("a"), CFSTR("b")};
    const void* values[] = {kCFBooleanTrue, kCFBooleanFalse};
    Ref<CFDictionaryRef> d1(CFDictionaryCreate(nullptr, keys, values, 2, &kCFTypeDictionaryKeyCallBacks,
                                               &kCFTypeDictionaryValueCallBacks));
    Ref<CFMutableDictionaryRef> d2(CFDictionaryCreateMutableCopy(nullptr, 0, d1.get()));
    EXPECT_TRUE(CFEqual(d1.get(), d2.get()));
    CFDictionarySetValue(d2.get(), CFSTR("a"), kCFBooleanFalse);
    EXPECT_FALSE(CFEqual(d1.get(), d2.get()));
    EXPECT_EQ(CFDictionaryGetValue(d1.get(), CFSTR("a")), kCFBooleanTrue);
}

TEST(CFURLAndBundle, MainBundleIsTheProgramsFolder) {
    CFBundleRef main = CFBundleGetMainBundle();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(CFBundleGetMainBundle(), main);
    Ref<CFURLRef> url(CFBundleCopyBundleURL(main));
    ASSERT_TRUE(url);
    EXPECT_TRUE(CFURLHasDirectoryPath(url.get()));
    char exe[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    std::string folder(exe);
    folder = folder.substr(0, folder.find_last_of('/'));
    UInt8 path[4096];
    ASSERT_TRUE(CFURLGetFileSystemRepresentation(url.get(), true, path, sizeof path));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(path)), folder);
    EXPECT_EQ(text(CFURLGetString(url.get())).rfind("file://", 0), 0u);
    // A host that opens the bundle at that URL (a view factory's bundle) gets the
    // main bundle, already loaded.
    Ref<CFBundleRef> again(CFBundleCreate(nullptr, url.get()));
    EXPECT_EQ(again.get(), main);
    EXPECT_TRUE(CFBundleIsExecutableLoaded(main));
}

TEST(CFURLAndBundle, FileURLsEscapeAndRestorePaths) {
    Ref<CFStringRef> path(str("/tmp/My Presets/caf\xC3\xA9.aupreset"));
    Ref<CFURLRef> url(CFURLCreateWithFileSystemPath(nullptr, path.get(), kCFURLPOSIXPathStyle, false));
    EXPECT_EQ(text(CFURLGetString(url.get())), "file:///tmp/My%20Presets/caf%C3%A9.aupreset");
    Ref<CFStringRef> back(CFURLCopyFileSystemPath(url.get(), kCFURLPOSIXPathStyle));
    EXPECT_TRUE(CFEqual(back.get(), path.get()));
    Ref<CFStringRef> last(CFURLCopyLastPathComponent(url.get()));
    EXPECT_EQ(text(last.get()), "caf\xC3\xA9.aupreset");
    UInt8 small[8];
    EXPECT_FALSE(CFURLGetFileSystemRepresentation(url.get(), true, small, sizeof small));
    Ref<CFURLRef> web(CFURLCreateWithString(nullptr, CFSTR("https://example.com/x"), nullptr));
    ASSERT_TRUE(web);
    EXPECT_EQ(CFURLCopyFileSystemPath(web.get(), kCFURLPOSIXPathStyle), nullptr);
    EXPECT_EQ(CFURLCreateWithString(nullptr, CFSTR("no scheme"), nullptr), nullptr);
}

TEST(CFURLAndBundle, BundleOfAMissingPathIsNull) {
    Ref<CFURLRef> url(CFURLCreateWithFileSystemPath(nullptr, CFSTR("/nonexistent/Thing.component"), kCFURLPOSIXPathStyle, true));
    EXPECT_EQ(CFBundleCreate(nullptr, url.get()), nullptr);
}

}  // namespace
