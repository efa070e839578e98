#pragma once
// XML property lists in the format of Apple's PropertyList-1.0 DTD.
//
// Reading is iterative (an explicit stack, at most kMaxPlistDepth open
// containers), so hostile input cannot exhaust the C++ stack, and every byte
// access is bounds-checked. Writing follows CF's layout: the XML declaration and
// DOCTYPE, tab indentation, dictionary keys sorted, <data> as base64 lines of at
// most 76 columns counting a tab as 8 (at least 12 characters per line).

#include <CoreFoundation/CoreFoundation.h>

#include <cstddef>
#include <string>

namespace cf {

inline constexpr std::size_t kMaxPlistDepth = 512;

// The property list in `bytes`, or nullptr with `error` describing the first
// problem (and its line). `mutability` is a CFPropertyListMutabilityOptions.
CFPropertyListRef readXMLPlist(CFAllocatorRef allocator, const UInt8* bytes, std::size_t length,
                               CFOptionFlags mutability, std::string& error);

// Appends the XML document for `plist`; false (with `error`) when the tree
// holds something that is not a property-list type, a non-string dictionary
// key, or nests deeper than kMaxPlistDepth.
bool writeXMLPlist(CFPropertyListRef plist, std::string& out, std::string& error);

}  // namespace cf
