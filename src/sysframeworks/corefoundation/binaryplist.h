#pragma once
// Binary property lists ("bplist00"), the compact form Apple's tools and hosts write.
//
// Layout: the 8-byte magic, the objects, a table of object offsets and a 32-byte
// trailer giving the table's place, its integer width, the width of object
// references, the number of objects and the top object. Every offset, count and
// reference is checked against the buffer before it is followed; a reference back
// to an object still being read (a cycle) is refused, containers nest at most
// kMaxPlistDepth deep, and the objects a file expands to are bounded by its size,
// so shared sub-trees cannot multiply into an exponential tree.

#include <CoreFoundation/CoreFoundation.h>

#include <cstddef>
#include <string>

namespace cf {

// True when `bytes` start like a binary property list of any version.
bool looksLikeBinaryPlist(const UInt8* bytes, std::size_t length);

// The property list in `bytes`, or nullptr with `error` describing the first
// problem. `mutability` is a CFPropertyListMutabilityOptions.
CFPropertyListRef readBinaryPlist(CFAllocatorRef allocator, const UInt8* bytes, std::size_t length,
                                  CFOptionFlags mutability, std::string& error);

}  // namespace cf
