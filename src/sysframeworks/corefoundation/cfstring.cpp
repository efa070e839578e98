// CFString: creation, conversion between encodings, access, comparison and
// mutation, and the constant strings behind CFSTR.

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/corefoundation/cfstringimpl.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <unordered_map>

namespace cf {

String::String(std::u16string text, bool mutableString, bool immortal)
    : Object(kTypeString, immortal), isMutable(mutableString) {
    assign(std::move(text));
}

void String::assign(std::u16string text) {
    units = std::move(text);
    utf8.clear();
    utf8Valid = encodeUTF8(units, utf8);
}

bool String::equals(const Object& other) const noexcept {
    return units == static_cast<const String&>(other).units;
}

CFHashCode String::hash() const noexcept {
    // FNV-1a over the code units.
    CFHashCode h = 1469598103934665603ull;
    for (char16_t c : units) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

void String::describe(std::string& out) const { out += utf8Of(*this); }

bool decodeUTF8(std::string_view bytes, std::u16string& out) {
    out.clear();
    out.reserve(bytes.size());
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        const unsigned char b0 = static_cast<unsigned char>(bytes[i]);
        char32_t cp;
        std::size_t len;
        if (b0 < 0x80) {
            cp = b0;
            len = 1;
        } else if (b0 >= 0xC2 && b0 <= 0xDF) {
            cp = b0 & 0x1F;
            len = 2;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            cp = b0 & 0x0F;
            len = 3;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            cp = b0 & 0x07;
            len = 4;
        } else {
            return false;
        }
        if (n - i < len) return false;
        for (std::size_t k = 1; k < len; ++k) {
            const unsigned char b = static_cast<unsigned char>(bytes[i + k]);
            if ((b & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (b & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are invalid.
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += len;
    }
    return true;
}

namespace {

void appendCodePoint(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool isHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

bool encodeUTF8(std::u16string_view units, std::string& out) {
    bool valid = true;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char16_t c = units[i];
        if (isHigh(c) && i + 1 < units.size() && isLow(units[i + 1])) {
            appendCodePoint(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (isHigh(c) || isLow(c)) {
            appendCodePoint(out, 0xFFFD);
            valid = false;
        } else {
            appendCodePoint(out, c);
        }
    }
    return valid;
}

CFStringRef makeString(CFAllocatorRef allocator, std::u16string units, bool isMutable) {
    return reinterpret_cast<CFStringRef>(create<String>(allocator, std::move(units), isMutable));
}

CFStringRef makeStringFromUTF8(CFAllocatorRef allocator, std::string_view utf8) {
    std::u16string units;
    if (!decodeUTF8(utf8, units)) return nullptr;
    return makeString(allocator, std::move(units));
}

std::string utf8Of(const String& string) {
    if (string.utf8Valid) return string.utf8;
    std::string out;
    encodeUTF8(string.units, out);
    return out;
}

namespace {

// Encodings handled byte for byte in their ASCII range only.
bool isAsciiOnlyEncoding(CFStringEncoding e) {
    return e == kCFStringEncodingASCII || e == kCFStringEncodingMacRoman || e == kCFStringEncodingWindowsLatin1 ||
           e == kCFStringEncodingNextStepLatin || e == kCFStringEncodingNonLossyASCII;
}

bool isKnownEncoding(CFStringEncoding e) {
    return isAsciiOnlyEncoding(e) || e == kCFStringEncodingUTF8 || e == kCFStringEncodingISOLatin1 ||
           e == kCFStringEncodingUTF16 || e == kCFStringEncodingUTF16BE || e == kCFStringEncodingUTF16LE ||
           e == kCFStringEncodingUTF32 || e == kCFStringEncodingUTF32BE || e == kCFStringEncodingUTF32LE;
}

// Decodes bytes in an encoding; false for bytes invalid in it.
bool decodeBytes(const UInt8* bytes, CFIndex length, CFStringEncoding encoding, bool external,
                 std::u16string& out) {
    out.clear();
    const auto n = static_cast<std::size_t>(length);
    if (encoding == kCFStringEncodingUTF8) {
        std::string_view view(reinterpret_cast<const char*>(bytes), n);
        if (external && view.size() >= 3 && view.substr(0, 3) == "\xEF\xBB\xBF") view.remove_prefix(3);
        return decodeUTF8(view, out);
    }
    if (encoding == kCFStringEncodingISOLatin1) {
        for (std::size_t i = 0; i < n; ++i) out.push_back(bytes[i]);
        return true;
    }
    if (isAsciiOnlyEncoding(encoding)) {
        for (std::size_t i = 0; i < n; ++i) {
            if (bytes[i] >= 0x80) return false;
            out.push_back(bytes[i]);
        }
        return true;
    }
    const bool utf16 = encoding == kCFStringEncodingUTF16 || encoding == kCFStringEncodingUTF16BE ||
                       encoding == kCFStringEncodingUTF16LE;
    const std::size_t width = utf16 ? 2 : 4;
    if (n % width != 0) return false;
    std::size_t start = 0;
    bool bigEndian = encoding == kCFStringEncodingUTF16BE || encoding == kCFStringEncodingUTF32BE;
    if (encoding == kCFStringEncodingUTF16 || encoding == kCFStringEncodingUTF32) {
        // A byte-order mark decides; without one the host order (little-endian) applies.
        if (utf16 && n >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) bigEndian = true, start = 2;
        else if (utf16 && n >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) start = 2;
        else if (!utf16 && n >= 4 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0xFE && bytes[3] == 0xFF)
            bigEndian = true, start = 4;
        else if (!utf16 && n >= 4 && bytes[0] == 0xFF && bytes[1] == 0xFE && bytes[2] == 0 && bytes[3] == 0)
            start = 4;
    }
    for (std::size_t i = start; i < n; i += width) {
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < width; ++k) {
            const std::uint32_t b = bytes[i + k];
            v |= bigEndian ? b << (8 * (width - 1 - k)) : b << (8 * k);
        }
        if (utf16) {
            out.push_back(static_cast<char16_t>(v));
        } else {
            if (v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return false;
            if (v >= 0x10000) {
                v -= 0x10000;
                out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
                out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
            } else {
                out.push_back(static_cast<char16_t>(v));
            }
        }
    }
    return true;
}

// Encodes code units [from, from + count) of `units`. Writes at most maxLen
// bytes when buffer is not null. Returns the number of code units converted;
// stops at the first one that cannot be represented unless lossByte is set.
CFIndex encodeUnits(std::u16string_view units, CFStringEncoding encoding, UInt8 lossByte, bool external,
                    UInt8* buffer, CFIndex maxLen, CFIndex* usedLen) {
    CFIndex used = 0;
    CFIndex converted = 0;
    auto room = [&](CFIndex need) { return buffer == nullptr || used + need <= maxLen; };
    auto put = [&](const UInt8* b, CFIndex k) {
        if (buffer) std::memcpy(buffer + used, b, static_cast<std::size_t>(k));
        used += k;
    };
    const bool utf16 = encoding == kCFStringEncodingUTF16 || encoding == kCFStringEncodingUTF16BE ||
                       encoding == kCFStringEncodingUTF16LE;
    const bool utf32 = encoding == kCFStringEncodingUTF32 || encoding == kCFStringEncodingUTF32BE ||
                       encoding == kCFStringEncodingUTF32LE;
    const bool bigEndian = encoding == kCFStringEncodingUTF16BE || encoding == kCFStringEncodingUTF32BE;
    if (external && (encoding == kCFStringEncodingUTF16 || encoding == kCFStringEncodingUTF32)) {
        static const UInt8 kBom16[] = {0xFF, 0xFE};
        static const UInt8 kBom32[] = {0xFF, 0xFE, 0, 0};
        const CFIndex k = utf16 ? 2 : 4;
        if (!room(k)) {
            if (usedLen) *usedLen = 0;
            return 0;
        }
        put(utf16 ? kBom16 : kBom32, k);
    }
    for (std::size_t i = 0; i < units.size();) {
        const char16_t c = units[i];
        const bool pair = isHigh(c) && i + 1 < units.size() && isLow(units[i + 1]);
        const std::size_t step = pair ? 2 : 1;
        const char32_t cp = pair ? 0x10000 + ((char32_t(c) - 0xD800) << 10) + (units[i + 1] - 0xDC00) : c;
        UInt8 bytes[4];
        CFIndex k = 0;
        bool ok = true;
        if (encoding == kCFStringEncodingUTF8) {
            if (!pair && (isHigh(c) || isLow(c))) {
                ok = false;
            } else {
                std::string tmp;
                appendCodePoint(tmp, cp);
                k = static_cast<CFIndex>(tmp.size());
                std::memcpy(bytes, tmp.data(), tmp.size());
            }
        } else if (utf16) {
            for (std::size_t u = 0; u < step; ++u) {
                const char16_t v = units[i + u];
                bytes[k++] = static_cast<UInt8>(bigEndian ? v >> 8 : v & 0xFF);
                bytes[k++] = static_cast<UInt8>(bigEndian ? v & 0xFF : v >> 8);
            }
        } else if (utf32) {
            if (!pair && (isHigh(c) || isLow(c))) {
                ok = false;
            } else {
                for (int b = 0; b < 4; ++b)
                    bytes[k++] = static_cast<UInt8>(bigEndian ? cp >> (8 * (3 - b)) : cp >> (8 * b));
            }
        } else {
            const char32_t limit = encoding == kCFStringEncodingISOLatin1 ? 0x100 : 0x80;
            if (cp < limit) bytes[k++] = static_cast<UInt8>(cp);
            else ok = false;
        }
        if (!ok) {
            if (lossByte == 0) break;
            bytes[0] = lossByte;
            k = 1;
        }
        if (!room(k)) break;
        put(bytes, k);
        converted += static_cast<CFIndex>(step);
        i += step;
    }
    if (usedLen) *usedLen = used;
    return converted;
}

String* stringFrom(CFStringRef ref, const char* api) { return as<String>(ref, api); }

bool rangeIsValid(const String& s, CFRange range) {
    return range.location >= 0 && range.length >= 0 &&
           range.location <= static_cast<CFIndex>(s.units.size()) &&
           range.length <= static_cast<CFIndex>(s.units.size()) - range.location;
}

char16_t foldCase(char16_t c) {
    if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
    // Latin-1 capitals (except the multiplication sign).
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
    return c;
}

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

CFComparisonResult compareUnits(std::u16string_view a, std::u16string_view b, CFStringCompareFlags flags) {
    const bool fold = (flags & kCFCompareCaseInsensitive) != 0;
    const bool numeric = (flags & kCFCompareNumerically) != 0;
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (numeric && isDigit(a[i]) && isDigit(b[j])) {
            // Compare runs of digits by value: skip leading zeros, then the
            // longer run is larger, then digit by digit.
            std::size_t ei = i, ej = j;
            while (ei < a.size() && isDigit(a[ei])) ++ei;
            while (ej < b.size() && isDigit(b[ej])) ++ej;
            std::size_t si = i, sj = j;
            while (si + 1 < ei && a[si] == u'0') ++si;
            while (sj + 1 < ej && b[sj] == u'0') ++sj;
            if (ei - si != ej - sj) return ei - si < ej - sj ? kCFCompareLessThan : kCFCompareGreaterThan;
            for (; si < ei; ++si, ++sj)
                if (a[si] != b[sj]) return a[si] < b[sj] ? kCFCompareLessThan : kCFCompareGreaterThan;
            i = ei;
            j = ej;
            continue;
        }
        char16_t x = fold ? foldCase(a[i]) : a[i];
        char16_t y = fold ? foldCase(b[j]) : b[j];
        if (x != y) return x < y ? kCFCompareLessThan : kCFCompareGreaterThan;
        ++i;
        ++j;
    }
    if (i < a.size()) return kCFCompareGreaterThan;
    if (j < b.size()) return kCFCompareLessThan;
    return kCFCompareEqualTo;
}

std::mutex gConstantsLock;

}  // namespace

}  // namespace cf

using cf::String;

extern "C" {

CFStringRef __CFStringMakeConstantString(const char* cStr) {
    if (cStr == nullptr) sysfw::fatalMisuse("CFSTR", "called with NULL");
    return sysfw::guarded<CFStringRef>(nullptr, [&]() -> CFStringRef {
        // Interned for the life of the process; never freed.
        static auto* table = new std::unordered_map<std::string, String*>();
        std::lock_guard<std::mutex> lock(cf::gConstantsLock);
        auto found = table->find(cStr);
        if (found != table->end()) return reinterpret_cast<CFStringRef>(found->second);
        std::u16string units;
        if (!cf::decodeUTF8(cStr, units)) {
            sysfw::reportMisuse("CFSTR", "the literal is not valid UTF-8");
            return nullptr;
        }
        auto* s = new String(std::move(units), false, true);
        table->emplace(cStr, s);
        return reinterpret_cast<CFStringRef>(s);
    });
}

CFTypeID CFStringGetTypeID(void) { return cf::kTypeString; }

CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cStr, CFStringEncoding encoding) {
    if (cStr == nullptr) {
        sysfw::reportMisuse("CFStringCreateWithCString", "null C string");
        return nullptr;
    }
    return CFStringCreateWithBytes(alloc, reinterpret_cast<const UInt8*>(cStr),
                                   static_cast<CFIndex>(std::strlen(cStr)), encoding, false);
}

CFStringRef CFStringCreateWithBytes(CFAllocatorRef alloc, const UInt8* bytes, CFIndex numBytes,
                                    CFStringEncoding encoding, Boolean isExternalRepresentation) {
    if (numBytes < 0 || (bytes == nullptr && numBytes > 0)) {
        sysfw::reportMisuse("CFStringCreateWithBytes", "invalid byte buffer");
        return nullptr;
    }
    if (!cf::isKnownEncoding(encoding)) return nullptr;
    return sysfw::guarded<CFStringRef>(nullptr, [&]() -> CFStringRef {
        std::u16string units;
        if (!cf::decodeBytes(bytes, numBytes, encoding, isExternalRepresentation, units)) return nullptr;
        return cf::makeString(alloc, std::move(units));
    });
}

CFStringRef CFStringCreateWithCharacters(CFAllocatorRef alloc, const UniChar* chars, CFIndex numChars) {
    if (numChars < 0 || (chars == nullptr && numChars > 0)) {
        sysfw::reportMisuse("CFStringCreateWithCharacters", "invalid character buffer");
        return nullptr;
    }
    return sysfw::guarded<CFStringRef>(nullptr, [&] {
        return cf::makeString(alloc, std::u16string(reinterpret_cast<const char16_t*>(chars),
                                                    static_cast<std::size_t>(numChars)));
    });
}

CFStringRef CFStringCreateCopy(CFAllocatorRef alloc, CFStringRef theString) {
    String* s = cf::stringFrom(theString, "CFStringCreateCopy");
    if (s == nullptr) return nullptr;
    if (!s->isMutable) return static_cast<CFStringRef>(CFRetain(theString));
    return sysfw::guarded<CFStringRef>(nullptr, [&] { return cf::makeString(alloc, s->units); });
}

CFStringRef CFStringCreateWithSubstring(CFAllocatorRef alloc, CFStringRef str, CFRange range) {
    String* s = cf::stringFrom(str, "CFStringCreateWithSubstring");
    if (s == nullptr) return nullptr;
    if (!cf::rangeIsValid(*s, range)) {
        sysfw::reportMisuse("CFStringCreateWithSubstring", "range outside the string");
        return nullptr;
    }
    return sysfw::guarded<CFStringRef>(nullptr, [&] {
        return cf::makeString(alloc, s->units.substr(static_cast<std::size_t>(range.location),
                                                     static_cast<std::size_t>(range.length)));
    });
}

CFStringRef CFStringCreateFromExternalRepresentation(CFAllocatorRef alloc, CFDataRef data, CFStringEncoding encoding) {
    if (data == nullptr) return nullptr;
    return CFStringCreateWithBytes(alloc, CFDataGetBytePtr(data), CFDataGetLength(data), encoding, true);
}

CFDataRef CFStringCreateExternalRepresentation(CFAllocatorRef alloc, CFStringRef theString, CFStringEncoding encoding,
                                               UInt8 lossByte) {
    String* s = cf::stringFrom(theString, "CFStringCreateExternalRepresentation");
    if (s == nullptr || !cf::isKnownEncoding(encoding)) return nullptr;
    return sysfw::guarded<CFDataRef>(nullptr, [&]() -> CFDataRef {
        CFIndex needed = 0;
        const CFIndex total = static_cast<CFIndex>(s->units.size());
        if (cf::encodeUnits(s->units, encoding, lossByte, true, nullptr, 0, &needed) != total) return nullptr;
        std::string bytes(static_cast<std::size_t>(needed), '\0');
        cf::encodeUnits(s->units, encoding, lossByte, true, reinterpret_cast<UInt8*>(bytes.data()), needed, nullptr);
        return CFDataCreate(alloc, reinterpret_cast<const UInt8*>(bytes.data()), needed);
    });
}

CFMutableStringRef CFStringCreateMutable(CFAllocatorRef alloc, CFIndex maxLength) {
    (void)maxLength;  // a hint only
    return sysfw::guarded<CFMutableStringRef>(nullptr, [&] {
        return const_cast<CFMutableStringRef>(cf::makeString(alloc, std::u16string(), true));
    });
}

CFMutableStringRef CFStringCreateMutableCopy(CFAllocatorRef alloc, CFIndex maxLength, CFStringRef theString) {
    (void)maxLength;
    String* s = cf::stringFrom(theString, "CFStringCreateMutableCopy");
    if (s == nullptr) return nullptr;
    return sysfw::guarded<CFMutableStringRef>(nullptr, [&] {
        return const_cast<CFMutableStringRef>(cf::makeString(alloc, s->units, true));
    });
}

void CFStringAppend(CFMutableStringRef theString, CFStringRef appendedString) {
    String* s = cf::asMutable<String>(theString, "CFStringAppend");
    String* t = cf::stringFrom(appendedString, "CFStringAppend");
    if (s == nullptr || t == nullptr) return;
    sysfw::guardedVoid("CFStringAppend", [&] { s->assign(s->units + t->units); });
}

void CFStringAppendCharacters(CFMutableStringRef theString, const UniChar* chars, CFIndex numChars) {
    String* s = cf::asMutable<String>(theString, "CFStringAppendCharacters");
    if (s == nullptr || numChars < 0 || (chars == nullptr && numChars > 0)) return;
    sysfw::guardedVoid("CFStringAppendCharacters", [&] {
        s->assign(s->units +
                  std::u16string(reinterpret_cast<const char16_t*>(chars), static_cast<std::size_t>(numChars)));
    });
}

void CFStringAppendCString(CFMutableStringRef theString, const char* cStr, CFStringEncoding encoding) {
    String* s = cf::asMutable<String>(theString, "CFStringAppendCString");
    if (s == nullptr || cStr == nullptr) return;
    sysfw::guardedVoid("CFStringAppendCString", [&] {
        std::u16string units;
        if (!cf::isKnownEncoding(encoding) ||
            !cf::decodeBytes(reinterpret_cast<const UInt8*>(cStr), static_cast<CFIndex>(std::strlen(cStr)), encoding,
                             false, units)) {
            sysfw::reportMisuse("CFStringAppendCString", "text not valid in the encoding");
            return;
        }
        s->assign(s->units + units);
    });
}

CFIndex CFStringGetLength(CFStringRef theString) {
    String* s = cf::stringFrom(theString, "CFStringGetLength");
    return s ? static_cast<CFIndex>(s->units.size()) : 0;
}

UniChar CFStringGetCharacterAtIndex(CFStringRef theString, CFIndex idx) {
    String* s = cf::stringFrom(theString, "CFStringGetCharacterAtIndex");
    if (s == nullptr) return 0;
    if (idx < 0 || idx >= static_cast<CFIndex>(s->units.size())) {
        sysfw::reportMisuse("CFStringGetCharacterAtIndex", "index outside the string");
        return 0;
    }
    return s->units[static_cast<std::size_t>(idx)];
}

void CFStringGetCharacters(CFStringRef theString, CFRange range, UniChar* buffer) {
    String* s = cf::stringFrom(theString, "CFStringGetCharacters");
    if (s == nullptr || buffer == nullptr) return;
    if (!cf::rangeIsValid(*s, range)) {
        sysfw::reportMisuse("CFStringGetCharacters", "range outside the string");
        return;
    }
    std::memcpy(buffer, s->units.data() + range.location, static_cast<std::size_t>(range.length) * sizeof(UniChar));
}

const UniChar* CFStringGetCharactersPtr(CFStringRef theString) {
    String* s = cf::stringFrom(theString, "CFStringGetCharactersPtr");
    return s ? reinterpret_cast<const UniChar*>(s->units.c_str()) : nullptr;
}

Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize, CFStringEncoding encoding) {
    String* s = cf::stringFrom(theString, "CFStringGetCString");
    if (s == nullptr || buffer == nullptr || bufferSize <= 0 || !cf::isKnownEncoding(encoding)) return false;
    CFIndex used = 0;
    const CFIndex total = static_cast<CFIndex>(s->units.size());
    const CFIndex converted = cf::encodeUnits(s->units, encoding, 0, false, reinterpret_cast<UInt8*>(buffer),
                                              bufferSize - 1, &used);
    if (converted != total) {
        buffer[0] = '\0';
        return false;
    }
    buffer[used] = '\0';
    return true;
}

const char* CFStringGetCStringPtr(CFStringRef theString, CFStringEncoding encoding) {
    String* s = cf::stringFrom(theString, "CFStringGetCStringPtr");
    if (s == nullptr || !s->utf8Valid) return nullptr;
    if (encoding == kCFStringEncodingUTF8) return s->utf8.c_str();
    if (cf::isAsciiOnlyEncoding(encoding)) {
        for (char c : s->utf8)
            if (static_cast<unsigned char>(c) >= 0x80) return nullptr;
        return s->utf8.c_str();
    }
    return nullptr;
}

CFIndex CFStringGetBytes(CFStringRef theString, CFRange range, CFStringEncoding encoding, UInt8 lossByte,
                         Boolean isExternalRepresentation, UInt8* buffer, CFIndex maxBufLen, CFIndex* usedBufLen) {
    String* s = cf::stringFrom(theString, "CFStringGetBytes");
    if (usedBufLen) *usedBufLen = 0;
    if (s == nullptr || !cf::isKnownEncoding(encoding)) return 0;
    if (!cf::rangeIsValid(*s, range)) {
        sysfw::reportMisuse("CFStringGetBytes", "range outside the string");
        return 0;
    }
    std::u16string_view view(s->units);
    view = view.substr(static_cast<std::size_t>(range.location), static_cast<std::size_t>(range.length));
    return cf::encodeUnits(view, encoding, lossByte, isExternalRepresentation, buffer, buffer ? maxBufLen : 0,
                           usedBufLen);
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding encoding) {
    if (length < 0) return kCFNotFound;
    switch (encoding) {
        case kCFStringEncodingUTF8: return length * 3;
        case kCFStringEncodingUTF16:
        case kCFStringEncodingUTF16BE:
        case kCFStringEncodingUTF16LE: return length * 2;
        case kCFStringEncodingUTF32:
        case kCFStringEncodingUTF32BE:
        case kCFStringEncodingUTF32LE: return length * 4;
        default: return cf::isKnownEncoding(encoding) ? length : kCFNotFound;
    }
}

CFStringEncoding CFStringGetSystemEncoding(void) { return kCFStringEncodingUTF8; }

CFComparisonResult CFStringCompareWithOptions(CFStringRef theString1, CFStringRef theString2, CFRange rangeToCompare,
                                              CFStringCompareFlags compareOptions) {
    String* a = cf::stringFrom(theString1, "CFStringCompare");
    String* b = cf::stringFrom(theString2, "CFStringCompare");
    if (a == nullptr || b == nullptr) return a == b ? kCFCompareEqualTo : (a ? kCFCompareGreaterThan : kCFCompareLessThan);
    if (!cf::rangeIsValid(*a, rangeToCompare)) {
        sysfw::reportMisuse("CFStringCompareWithOptions", "range outside the string");
        return kCFCompareLessThan;
    }
    std::u16string_view va(a->units);
    va = va.substr(static_cast<std::size_t>(rangeToCompare.location), static_cast<std::size_t>(rangeToCompare.length));
    return cf::compareUnits(va, b->units, compareOptions);
}

CFComparisonResult CFStringCompare(CFStringRef theString1, CFStringRef theString2, CFStringCompareFlags compareOptions) {
    return CFStringCompareWithOptions(theString1, theString2, CFRangeMake(0, CFStringGetLength(theString1)),
                                      compareOptions);
}

Boolean CFStringHasPrefix(CFStringRef theString, CFStringRef prefix) {
    String* s = cf::stringFrom(theString, "CFStringHasPrefix");
    String* p = cf::stringFrom(prefix, "CFStringHasPrefix");
    return s && p && std::u16string_view(s->units).substr(0, p->units.size()) == p->units;
}

Boolean CFStringHasSuffix(CFStringRef theString, CFStringRef suffix) {
    String* s = cf::stringFrom(theString, "CFStringHasSuffix");
    String* p = cf::stringFrom(suffix, "CFStringHasSuffix");
    return s && p && s->units.size() >= p->units.size() &&
           std::u16string_view(s->units).substr(s->units.size() - p->units.size()) == p->units;
}

SInt32 CFStringGetIntValue(CFStringRef str) {
    String* s = cf::stringFrom(str, "CFStringGetIntValue");
    if (s == nullptr) return 0;
    // Leading white space, an optional sign, then decimal digits; saturates.
    const std::u16string& u = s->units;
    std::size_t i = 0;
    while (i < u.size() && (u[i] == u' ' || u[i] == u'\t' || u[i] == u'\n' || u[i] == u'\r')) ++i;
    bool negative = false;
    if (i < u.size() && (u[i] == u'-' || u[i] == u'+')) negative = u[i++] == u'-';
    long long value = 0;
    for (; i < u.size() && cf::isDigit(u[i]); ++i) {
        value = value * 10 + (u[i] - u'0');
        if (value > 0x80000000LL) value = 0x80000000LL;
    }
    if (negative) value = -value;
    return static_cast<SInt32>(std::clamp<long long>(value, std::numeric_limits<SInt32>::min(),
                                                      std::numeric_limits<SInt32>::max()));
}

double CFStringGetDoubleValue(CFStringRef str) {
    String* s = cf::stringFrom(str, "CFStringGetDoubleValue");
    if (s == nullptr || !s->utf8Valid) return 0.0;
    std::string_view text(s->utf8);
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\n')) text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    double value = 0.0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() && result.ec != std::errc::result_out_of_range) return 0.0;
    return negative ? -value : value;
}

void CFShow(CFTypeRef obj) {
    if (obj == nullptr) {
        std::fprintf(stderr, "(null)\n");
        return;
    }
    CFStringRef text = cf::tryAs<String>(obj) ? static_cast<CFStringRef>(CFRetain(obj)) : CFCopyDescription(obj);
    if (text == nullptr) return;
    std::fprintf(stderr, "%s\n", cf::utf8Of(*cf::tryAs<String>(text)).c_str());
    CFRelease(text);
}

}  // extern "C"
