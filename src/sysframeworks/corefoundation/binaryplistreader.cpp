// Reader for binary property lists; see binaryplist.h.

#include "sysframeworks/corefoundation/binaryplist.h"

#include "sysframeworks/corefoundation/cfcollections.h"
#include "sysframeworks/corefoundation/cfnumberimpl.h"
#include "sysframeworks/corefoundation/cfstringimpl.h"
#include "sysframeworks/corefoundation/xmlplist.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace cf {

namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kTrailerSize = 32;

// Object markers: the high nibble is the type, the low one a size or count.
enum Marker : unsigned {
    kSimple = 0x0,  // 0x08 false, 0x09 true
    kInteger = 0x1,
    kReal = 0x2,
    kDate = 0x3,
    kData = 0x4,
    kAsciiString = 0x5,
    kUtf16String = 0x6,
    kUid = 0x8,
    kArray = 0xA,
    kSet = 0xC,
    kDictionary = 0xD,
};

// Dates the XML form can hold: years 0000 to 9999, in seconds from 2001-01-01.
constexpr double kEarliestDate = -63145526400.0;
constexpr double kEndOfLatestDate = 252423993600.0;

// A count nibble of 15 means the count follows as an integer object.
constexpr unsigned kCountFollows = 0xF;

std::uint64_t readBigEndian(const UInt8* p, std::size_t width) {
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < width; ++i) v = (v << 8) | p[i];
    return v;
}

class Reader {
public:
    Reader(CFAllocatorRef allocator, const UInt8* bytes, std::size_t length, CFOptionFlags mutability)
        : allocator_(allocator), bytes_(bytes), length_(length), mutability_(mutability) {}

    ~Reader() {
        for (CFTypeRef object : cache_)
            if (object) CFRelease(object);
    }

    CFPropertyListRef parse(std::string& error) {
        CFPropertyListRef result = parseDocument();
        if (result == nullptr) error = "binary property list: " + message_;
        return result;
    }

private:
    enum class Visit : UInt8 { unread, reading, read };

    CFPropertyListRef fail(const std::string& message) {
        if (message_.empty()) message_ = message;
        return nullptr;
    }
    CFPropertyListRef failAt(std::uint64_t object, const std::string& message) {
        return fail("object " + std::to_string(object) + ": " + message);
    }

    CFPropertyListRef parseDocument() {
        if (length_ < kHeaderSize + kTrailerSize) return fail("too short for its header and trailer");
        if (std::memcmp(bytes_, "bplist00", kHeaderSize) != 0) return fail("unknown version");
        const UInt8* trailer = bytes_ + length_ - kTrailerSize;
        offsetWidth_ = trailer[6];
        refWidth_ = trailer[7];
        const std::uint64_t count = readBigEndian(trailer + 8, 8);
        const std::uint64_t top = readBigEndian(trailer + 16, 8);
        tableAt_ = readBigEndian(trailer + 24, 8);
        if (offsetWidth_ < 1 || offsetWidth_ > 8 || refWidth_ < 1 || refWidth_ > 8)
            return fail("the trailer gives an offset or reference width outside 1 to 8 bytes");
        const std::size_t tableLimit = length_ - kTrailerSize;
        if (tableAt_ < kHeaderSize || tableAt_ > tableLimit) return fail("the offset table lies outside the data");
        if (count == 0 || count > (tableLimit - tableAt_) / offsetWidth_)
            return fail("the trailer counts " + std::to_string(count) + " objects, which the offset table cannot hold");
        if (top >= count) return fail("the top object " + std::to_string(top) + " does not exist");
        objectCount_ = static_cast<std::size_t>(count);
        // Every object costs at least one byte, so a tree read from these bytes has
        // no more nodes than there are bytes; more means shared containers multiply.
        visitBudget_ = length_;
        visits_.assign(objectCount_, Visit::unread);
        cache_.assign(objectCount_, nullptr);
        return object(top, 0);
    }

    // A new reference to object `index` (owned by the caller).
    CFTypeRef object(std::uint64_t index, std::size_t depth) {
        if (index >= objectCount_) return fail("a reference to object " + std::to_string(index) + " which does not exist");
        if (visitBudget_ == 0) return fail("shared objects expand beyond what the data can hold");
        --visitBudget_;
        const auto i = static_cast<std::size_t>(index);
        if (cache_[i] != nullptr) return CFRetain(cache_[i]);
        if (visits_[i] == Visit::reading) return failAt(index, "refers back to itself through its contents");
        const std::uint64_t at = readBigEndian(bytes_ + tableAt_ + i * offsetWidth_, offsetWidth_);
        if (at < kHeaderSize || at >= tableAt_) return failAt(index, "its offset lies outside the object area");
        visits_[i] = Visit::reading;
        // Containers recurse through here; leaves are read in a frame of their own so
        // that the recursion keeps small frames.
        const unsigned type = bytes_[at] >> 4;
        CFTypeRef made = type == kArray || type == kDictionary
                             ? parseContainer(index, type == kDictionary, bytes_[at] & 0xF, std::size_t(at) + 1, depth)
                             : parseLeaf(index, static_cast<std::size_t>(at));
        visits_[i] = Visit::read;
        if (made != nullptr && shareable(made)) cache_[i] = CFRetain(made);
        return made;
    }

    // What may be handed out twice: everything when the result is immutable,
    // otherwise only what the caller cannot change.
    bool shareable(CFTypeRef made) const {
        if (mutability_ == kCFPropertyListImmutable) return true;
        const CFTypeID type = CFGetTypeID(made);
        if (type == CFArrayGetTypeID() || type == CFDictionaryGetTypeID()) return false;
        if (mutability_ == kCFPropertyListMutableContainersAndLeaves)
            return type != CFStringGetTypeID() && type != CFDataGetTypeID();
        return true;
    }

    // The count in the marker's low nibble or in the integer that follows it;
    // `pos` moves past what was read. False when it runs past the object area.
    bool readCount(std::uint64_t index, unsigned nibble, std::size_t& pos, std::uint64_t& count) {
        if (nibble != kCountFollows) {
            count = nibble;
            return true;
        }
        if (pos >= tableAt_) return countFails(index, "its count runs past the object area");
        const unsigned marker = bytes_[pos];
        if ((marker >> 4) != kInteger || (marker & 0xF) > 3) return countFails(index, "its count is not an integer");
        const std::size_t width = std::size_t(1) << (marker & 0xF);
        if (width > tableAt_ - pos - 1) return countFails(index, "its count runs past the object area");
        count = readBigEndian(bytes_ + pos + 1, width);
        pos += 1 + width;
        return true;
    }

    bool countFails(std::uint64_t index, const char* message) {
        failAt(index, message);
        return false;
    }

    // Whether `count` items of `width` bytes fit between `pos` and the table.
    bool fits(std::size_t pos, std::uint64_t count, std::size_t width) const {
        return pos <= tableAt_ && count <= (tableAt_ - pos) / width;
    }

    [[gnu::noinline]] CFTypeRef parseLeaf(std::uint64_t index, std::size_t at) {
        const unsigned marker = bytes_[at];
        const unsigned type = marker >> 4, nibble = marker & 0xF;
        std::size_t pos = at + 1;
        switch (type) {
            case kSimple:
                if (marker == 0x08) return CFRetain(kCFBooleanFalse);
                if (marker == 0x09) return CFRetain(kCFBooleanTrue);
                return failAt(index, "null and fill bytes are not property-list objects");
            case kInteger: return parseInteger(index, nibble, pos);
            case kReal: {
                if (nibble != 2 && nibble != 3) return failAt(index, "a real of neither 4 nor 8 bytes");
                const std::size_t width = std::size_t(1) << nibble;
                if (!fits(pos, 1, width)) return failAt(index, "it runs past the object area");
                const std::uint64_t bits = readBigEndian(bytes_ + pos, width);
                double value;
                if (width == 4) {
                    float f;
                    const auto narrow = static_cast<std::uint32_t>(bits);
                    std::memcpy(&f, &narrow, sizeof f);
                    value = f;
                } else {
                    std::memcpy(&value, &bits, sizeof value);
                }
                return orOutOfMemory(makeReal(allocator_, value));
            }
            case kDate: {
                if (marker != 0x33) return failAt(index, "a date that is not an 8-byte real");
                if (!fits(pos, 1, 8)) return failAt(index, "it runs past the object area");
                const std::uint64_t bits = readBigEndian(bytes_ + pos, 8);
                double time;
                std::memcpy(&time, &bits, sizeof time);
                if (!(time >= kEarliestDate && time < kEndOfLatestDate))
                    return failAt(index, "a date outside the years 0000 to 9999");
                return orOutOfMemory(CFDateCreate(allocator_, time));
            }
            case kData: {
                std::uint64_t count = 0;
                if (!readCount(index, nibble, pos, count)) return nullptr;
                if (!fits(pos, count, 1)) return failAt(index, "its " + std::to_string(count) + " bytes run past the object area");
                const auto n = static_cast<CFIndex>(count);
                if (mutability_ == kCFPropertyListMutableContainersAndLeaves) {
                    CFMutableDataRef d = CFDataCreateMutable(allocator_, 0);
                    if (d) CFDataAppendBytes(d, bytes_ + pos, n);
                    return orOutOfMemory(d);
                }
                return orOutOfMemory(CFDataCreate(allocator_, bytes_ + pos, n));
            }
            case kAsciiString:
            case kUtf16String: {
                std::uint64_t count = 0;
                if (!readCount(index, nibble, pos, count)) return nullptr;
                const std::size_t width = type == kAsciiString ? 1 : 2;
                if (!fits(pos, count, width))
                    return failAt(index, "its " + std::to_string(count) + " characters run past the object area");
                std::u16string units(static_cast<std::size_t>(count), u'\0');
                for (std::size_t k = 0; k < units.size(); ++k) {
                    const auto unit = static_cast<char16_t>(readBigEndian(bytes_ + pos + k * width, width));
                    if (width == 1 && unit >= 0x80) return failAt(index, "an ASCII string with a byte above 127");
                    units[k] = unit;
                }
                return orOutOfMemory(
                    makeString(allocator_, std::move(units), mutability_ == kCFPropertyListMutableContainersAndLeaves));
            }
            case kUid: return failAt(index, "archiver UIDs are not property-list objects");
            case kSet: return failAt(index, "sets are not property-list objects");
            default: return failAt(index, "unknown object type " + std::to_string(type));
        }
    }

    CFTypeRef parseInteger(std::uint64_t index, unsigned nibble, std::size_t pos) {
        if (nibble > 4) return failAt(index, "an integer wider than 16 bytes");
        const std::size_t width = std::size_t(1) << nibble;
        if (!fits(pos, 1, width)) return failAt(index, "it runs past the object area");
        std::int64_t value;
        if (width == 16) {
            // 128 bits: only values that fit in 64 signed bits are kept.
            const std::uint64_t high = readBigEndian(bytes_ + pos, 8);
            const std::uint64_t low = readBigEndian(bytes_ + pos + 8, 8);
            const bool negative = (low >> 63) != 0;
            if (high != (negative ? ~std::uint64_t(0) : 0)) return failAt(index, "integer out of range");
            value = static_cast<std::int64_t>(low);
        } else {
            // 1, 2 and 4 bytes are unsigned; 8 bytes are signed.
            value = static_cast<std::int64_t>(readBigEndian(bytes_ + pos, width));
        }
        return orOutOfMemory(makeInteger(allocator_, value));
    }

    CFTypeRef parseContainer(std::uint64_t index, bool isDict, unsigned nibble, std::size_t pos, std::size_t depth) {
        if (depth >= kMaxPlistDepth)
            return failAt(index, "containers nested more than " + std::to_string(kMaxPlistDepth) + " deep");
        std::uint64_t count = 0;
        if (!readCount(index, nibble, pos, count)) return nullptr;
        if (!fits(pos, count, refWidth_ * (isDict ? 2u : 1u)))
            return failAt(index, "its " + std::to_string(count) + " references run past the object area");
        const auto n = static_cast<std::size_t>(count);
        auto ref = [&](std::size_t k) { return readBigEndian(bytes_ + pos + k * refWidth_, refWidth_); };
        if (!isDict) {
            CFMutableArrayRef array = CFArrayCreateMutable(allocator_, 0, &kCFTypeArrayCallBacks);
            if (array == nullptr) return fail("out of memory");
            for (std::size_t k = 0; k < n; ++k) {
                CFTypeRef item = object(ref(k), depth + 1);
                if (item == nullptr) {
                    CFRelease(array);
                    return nullptr;
                }
                CFArrayAppendValue(array, item);
                CFRelease(item);
            }
            if (mutability_ == kCFPropertyListImmutable) tryAs<Array>(array)->isMutable = false;
            return array;
        }
        CFMutableDictionaryRef dict =
            CFDictionaryCreateMutable(allocator_, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
        if (dict == nullptr) return fail("out of memory");
        for (std::size_t k = 0; k < n; ++k) {
            CFTypeRef key = object(ref(k), depth + 1);
            if (key != nullptr && CFGetTypeID(key) != CFStringGetTypeID()) {
                CFRelease(key);
                key = failAt(index, "a dictionary key that is not a string");
            }
            CFTypeRef value = key ? object(ref(n + k), depth + 1) : nullptr;
            if (value == nullptr) {
                if (key) CFRelease(key);
                CFRelease(dict);
                return nullptr;
            }
            CFDictionarySetValue(dict, key, value);
            CFRelease(key);
            CFRelease(value);
        }
        if (mutability_ == kCFPropertyListImmutable) tryAs<Dictionary>(dict)->isMutable = false;
        return dict;
    }

    CFTypeRef orOutOfMemory(CFTypeRef made) { return made ? made : fail("out of memory"); }

    CFAllocatorRef allocator_;
    const UInt8* bytes_;
    std::size_t length_;
    CFOptionFlags mutability_;
    std::size_t offsetWidth_ = 0, refWidth_ = 0;
    std::size_t tableAt_ = 0;  // where the offset table starts: the end of the object area
    std::size_t objectCount_ = 0;
    std::size_t visitBudget_ = 0;
    std::vector<Visit> visits_;
    std::vector<CFTypeRef> cache_;  // owned; objects that may be shared
    std::string message_;
};

}  // namespace

bool looksLikeBinaryPlist(const UInt8* bytes, std::size_t length) {
    return length >= 6 && std::memcmp(bytes, "bplist", 6) == 0;
}

CFPropertyListRef readBinaryPlist(CFAllocatorRef allocator, const UInt8* bytes, std::size_t length,
                                  CFOptionFlags mutability, std::string& error) {
    return Reader(allocator, bytes, length, mutability).parse(error);
}

}  // namespace cf
