#pragma once
// CFString internals: the string object (UTF-16 code units, with a UTF-8 copy
// kept for CFStringGetCStringPtr) and the conversions the other CF types use.

#include "sysframeworks/corefoundation/cfruntime.h"

#include <string>
#include <string_view>

namespace cf {

struct String final : Object {
    static constexpr CFTypeID kTypeID = kTypeString;

    String(std::u16string text, bool isMutable, bool immortal = false);

    // Replaces the contents (mutable strings only; the caller checks).
    void assign(std::u16string text);

    bool equals(const Object& other) const noexcept override;
    CFHashCode hash() const noexcept override;
    void describe(std::string& out) const override;
    void destroy() noexcept override { this->~String(); }

    std::u16string units;
    std::string utf8;        // the same text in UTF-8, when utf8Valid
    bool utf8Valid = false;  // false while the text holds an unpaired surrogate
    bool isMutable;
};

// Strict UTF-8 -> UTF-16 (no overlong forms, no surrogates, at most U+10FFFF).
bool decodeUTF8(std::string_view bytes, std::u16string& out);
// UTF-16 -> UTF-8; false for an unpaired surrogate.
bool encodeUTF8(std::u16string_view units, std::string& out);

// New immutable string from UTF-8; nullptr for invalid UTF-8.
CFStringRef makeStringFromUTF8(CFAllocatorRef allocator, std::string_view utf8);
CFStringRef makeString(CFAllocatorRef allocator, std::u16string units, bool isMutable = false);

// The text of a CF string as UTF-8 (invalid sequences become U+FFFD).
std::string utf8Of(const String& string);

}  // namespace cf
