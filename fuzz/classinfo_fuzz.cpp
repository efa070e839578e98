// ClassInfo restore through the plug-in binary. The input is either a property list
// of its own (first byte even) or a list of edits to the unit's real ClassInfo
// dictionary (first byte odd): keys replaced by values of any type, or removed. A
// restore is refused or accepted without a crash; an accepted one leaves a unit
// that renders and whose saved ClassInfo restores into a fresh instance.

#include <CoreFoundation/CoreFoundation.h>

#include <cstdint>
#include <string>

#include "fuzzsupport.h"

namespace {

const char* const kKeys[] = {"version", "type", "subtype", "manufacturer", "name", "data", "vstdata", "preset-number"};

CFTypeRef makeValue(kfuzz::Input& in) {
    switch (in.byte() % 9) {
        case 0: return nullptr;  // remove the key
        case 1: {
            const SInt32 v = SInt32(in.u32());
            return CFNumberCreate(nullptr, kCFNumberSInt32Type, &v);
        }
        case 2: {
            const SInt64 v = SInt64(in.u32()) << 32 | in.u32();
            return CFNumberCreate(nullptr, kCFNumberSInt64Type, &v);
        }
        case 3: {
            const double v = in.f64();
            return CFNumberCreate(nullptr, kCFNumberDoubleType, &v);
        }
        case 4: {
            const auto b = in.bytes(in.byte());
            return CFStringCreateWithBytes(nullptr, b.data(), CFIndex(b.size()), kCFStringEncodingUTF8, false);
        }
        case 5: {
            const auto b = in.bytes(in.u16());
            return CFDataCreate(nullptr, b.data(), CFIndex(b.size()));
        }
        case 6: return CFRetain(in.byte() & 1 ? kCFBooleanTrue : kCFBooleanFalse);
        case 7:
            return CFDictionaryCreate(nullptr, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                      &kCFTypeDictionaryValueCallBacks);
        default: return CFArrayCreate(nullptr, nullptr, 0, &kCFTypeArrayCallBacks);
    }
}

CFPropertyListRef editedClassInfo(kfuzz::Input& in) {
    static auhost::CFRef<CFPropertyListRef> real = [] {
        auto unit = kfuzz::newKestrinUnit();
        auhost::CFRef<CFPropertyListRef> state;
        if (!unit->copyClassInfo(state)) kfuzz::trap("a fresh unit gives no ClassInfo");
        return state;
    }();
    CFMutableDictionaryRef d = CFDictionaryCreateMutableCopy(nullptr, 0, CFDictionaryRef(real.get()));
    while (!in.empty()) {
        const std::uint8_t k = in.byte();
        std::string name = kKeys[k % (sizeof kKeys / sizeof kKeys[0])];
        if (k >= 128) name += char('a' + k % 26);  // a near miss
        CFStringRef key = CFStringCreateWithCString(nullptr, name.c_str(), kCFStringEncodingUTF8);
        CFTypeRef value = makeValue(in);
        if (value == nullptr) {
            CFDictionaryRemoveValue(d, key);
        } else {
            CFDictionarySetValue(d, key, value);
            CFRelease(value);
        }
        CFRelease(key);
    }
    return d;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kfuzz::Input in(data, size);
    CFPropertyListRef state = nullptr;
    if (in.byte() % 2 == 0) {
        const auto rest = in.rest();
        CFDataRef bytes = CFDataCreate(nullptr, rest.data(), CFIndex(rest.size()));
        state = CFPropertyListCreateWithData(nullptr, bytes, kCFPropertyListImmutable, nullptr, nullptr);
        CFRelease(bytes);
        if (state == nullptr) return 0;
    } else {
        state = editedClassInfo(in);
    }
    auto unit = kfuzz::newKestrinUnit();
    const bool restored = bool(unit->restoreClassInfo(state));
    CFRelease(state);
    if (!unit->setMaximumFramesPerSlice(256) || !unit->initialize()) kfuzz::trap("the unit does not initialize");
    if (!kfuzz::renderBlocks(*unit, 1, 256, nullptr)) kfuzz::trap("the unit does not render after a restore");
    if (!restored) return 0;
    auhost::CFRef<CFPropertyListRef> saved;
    if (!unit->copyClassInfo(saved)) kfuzz::trap("a restored unit gives no ClassInfo");
    auto fresh = kfuzz::newKestrinUnit();
    if (!fresh->restoreClassInfo(saved.get())) kfuzz::trap("a ClassInfo saved after a restore does not restore");
    return 0;
}
