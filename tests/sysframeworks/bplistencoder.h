#pragma once
// A small encoder of binary property lists for tests: objects are added one by one
// (so tests can build hostile layouts byte by byte), and encode() turns a CF tree
// into the binary form. Strings are written as ASCII when they can be, as UTF-16
// otherwise; nothing is shared unless a test adds references to one object twice.

#include <CoreFoundation/CoreFoundation.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace bplisttest {

using Bytes = std::vector<std::uint8_t>;

inline void putBigEndian(Bytes& out, std::uint64_t value, unsigned width) {
    for (unsigned i = width; i-- > 0;) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

class Builder {
public:
    explicit Builder(unsigned refWidth = 2) : refWidth_(refWidth) {}

    unsigned refWidth() const { return refWidth_; }
    std::size_t count() const { return objects_.size(); }

    // Appends an object's bytes; returns its index.
    std::size_t add(Bytes object) {
        objects_.push_back(std::move(object));
        return objects_.size() - 1;
    }
    // Reserves an index whose bytes are set later (for containers built top-down).
    std::size_t reserve() { return add({}); }
    void set(std::size_t index, Bytes object) { objects_[index] = std::move(object); }

    static Bytes marker(unsigned type, std::uint64_t count) {
        Bytes b;
        if (count < 15) {
            b.push_back(static_cast<std::uint8_t>(type << 4 | count));
        } else {
            b.push_back(static_cast<std::uint8_t>(type << 4 | 0xF));
            const unsigned exponent = count <= 0xFF ? 0 : count <= 0xFFFF ? 1 : count <= 0xFFFFFFFFu ? 2 : 3;
            b.push_back(static_cast<std::uint8_t>(0x10 | exponent));
            putBigEndian(b, count, 1u << exponent);
        }
        return b;
    }
    static Bytes integer(std::int64_t v) {
        Bytes b;
        if (v >= 0 && v <= 0xFF) b = {0x10}, putBigEndian(b, std::uint64_t(v), 1);
        else if (v >= 0 && v <= 0xFFFF) b = {0x11}, putBigEndian(b, std::uint64_t(v), 2);
        else if (v >= 0 && v <= 0xFFFFFFFFll) b = {0x12}, putBigEndian(b, std::uint64_t(v), 4);
        else b = {0x13}, putBigEndian(b, std::uint64_t(v), 8);
        return b;
    }
    static Bytes real(double v) {
        Bytes b{0x23};
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        putBigEndian(b, bits, 8);
        return b;
    }
    static Bytes real32(float v) {
        Bytes b{0x22};
        std::uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        putBigEndian(b, bits, 4);
        return b;
    }
    static Bytes date(double secondsSince2001) {
        Bytes b = real(secondsSince2001);
        b[0] = 0x33;
        return b;
    }
    static Bytes boolean(bool v) { return {std::uint8_t(v ? 0x09 : 0x08)}; }
    static Bytes data(const Bytes& bytes) {
        Bytes b = marker(0x4, bytes.size());
        b.insert(b.end(), bytes.begin(), bytes.end());
        return b;
    }
    static Bytes ascii(const std::string& s) {
        Bytes b = marker(0x5, s.size());
        b.insert(b.end(), s.begin(), s.end());
        return b;
    }
    static Bytes utf16(const std::u16string& s) {
        Bytes b = marker(0x6, s.size());
        for (char16_t u : s) putBigEndian(b, u, 2);
        return b;
    }
    Bytes array(const std::vector<std::size_t>& refs) const {
        Bytes b = marker(0xA, refs.size());
        for (std::size_t r : refs) putBigEndian(b, r, refWidth_);
        return b;
    }
    Bytes dict(const std::vector<std::size_t>& keys, const std::vector<std::size_t>& values) const {
        Bytes b = marker(0xD, keys.size());
        for (std::size_t r : keys) putBigEndian(b, r, refWidth_);
        for (std::size_t r : values) putBigEndian(b, r, refWidth_);
        return b;
    }

    // The whole file with `top` as the top object. Offsets take the fewest bytes
    // that hold them.
    Bytes finish(std::size_t top) const {
        Bytes out = {'b', 'p', 'l', 'i', 's', 't', '0', '0'};
        std::vector<std::uint64_t> offsets;
        for (const Bytes& o : objects_) {
            offsets.push_back(out.size());
            out.insert(out.end(), o.begin(), o.end());
        }
        const std::uint64_t tableAt = out.size();
        unsigned offsetWidth = 1;
        while (offsetWidth < 8 && (tableAt >> (8 * offsetWidth)) != 0) ++offsetWidth;
        for (std::uint64_t at : offsets) putBigEndian(out, at, offsetWidth);
        out.insert(out.end(), 6, 0);
        out.push_back(static_cast<std::uint8_t>(offsetWidth));
        out.push_back(static_cast<std::uint8_t>(refWidth_));
        putBigEndian(out, objects_.size(), 8);
        putBigEndian(out, top, 8);
        putBigEndian(out, tableAt, 8);
        return out;
    }

    // Adds a CF property-list tree; returns the index of its root.
    std::size_t addTree(CFTypeRef value) {
        const CFTypeID type = CFGetTypeID(value);
        if (type == CFDictionaryGetTypeID()) {
            const auto d = static_cast<CFDictionaryRef>(value);
            const auto n = static_cast<std::size_t>(CFDictionaryGetCount(d));
            std::vector<const void*> keys(n), values(n);
            CFDictionaryGetKeysAndValues(d, keys.data(), values.data());
            const std::size_t self = reserve();
            std::vector<std::size_t> keyRefs, valueRefs;
            for (std::size_t i = 0; i < n; ++i) keyRefs.push_back(addTree(keys[i]));
            for (std::size_t i = 0; i < n; ++i) valueRefs.push_back(addTree(values[i]));
            set(self, dict(keyRefs, valueRefs));
            return self;
        }
        if (type == CFArrayGetTypeID()) {
            const auto a = static_cast<CFArrayRef>(value);
            const std::size_t self = reserve();
            std::vector<std::size_t> refs;
            for (CFIndex i = 0; i < CFArrayGetCount(a); ++i) refs.push_back(addTree(CFArrayGetValueAtIndex(a, i)));
            set(self, array(refs));
            return self;
        }
        if (type == CFStringGetTypeID()) {
            const auto s = static_cast<CFStringRef>(value);
            std::u16string units(static_cast<std::size_t>(CFStringGetLength(s)), u'\0');
            CFStringGetCharacters(s, CFRangeMake(0, CFStringGetLength(s)), reinterpret_cast<UniChar*>(units.data()));
            bool plain = true;
            for (char16_t u : units) plain = plain && u < 0x80;
            return add(plain ? ascii(std::string(units.begin(), units.end())) : utf16(units));
        }
        if (type == CFDataGetTypeID()) {
            const auto d = static_cast<CFDataRef>(value);
            const UInt8* p = CFDataGetBytePtr(d);
            return add(data(Bytes(p, p + CFDataGetLength(d))));
        }
        if (type == CFBooleanGetTypeID()) return add(boolean(CFBooleanGetValue(static_cast<CFBooleanRef>(value))));
        if (type == CFDateGetTypeID()) return add(date(CFDateGetAbsoluteTime(static_cast<CFDateRef>(value))));
        const auto n = static_cast<CFNumberRef>(value);
        if (CFNumberIsFloatType(n)) {
            double v = 0;
            CFNumberGetValue(n, kCFNumberDoubleType, &v);
            return add(real(v));
        }
        std::int64_t v = 0;
        CFNumberGetValue(n, kCFNumberSInt64Type, &v);
        return add(integer(v));
    }

private:
    unsigned refWidth_;
    std::vector<Bytes> objects_;
};

// The binary form of a CF property list.
inline Bytes encode(CFPropertyListRef plist, unsigned refWidth = 2) {
    Builder b(refWidth);
    const std::size_t top = b.addTree(plist);
    return b.finish(top);
}

}  // namespace bplisttest
