// CGColorSpace: only RGB spaces, which carry no data.

#include "sysframeworks/coregraphics/cgimpl.h"

#include <CoreFoundation/CFString.h>

extern "C" {

const CFStringRef kCGColorSpaceSRGB = CFSTR("kCGColorSpaceSRGB");

CGColorSpaceRef CGColorSpaceCreateWithName(CFStringRef name) {
    if (name == nullptr || !CFEqual(name, kCGColorSpaceSRGB)) return nullptr;
    return new (std::nothrow) CGColorSpace();
}

CGColorSpaceRef CGColorSpaceCreateDeviceRGB(void) { return new (std::nothrow) CGColorSpace(); }

CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space) {
    if (space) space->refs.fetch_add(1, std::memory_order_relaxed);
    return space;
}

void CGColorSpaceRelease(CGColorSpaceRef space) {
    if (space && coregraphics::dropReference(space)) delete space;
}

size_t CGColorSpaceGetNumberOfComponents(CGColorSpaceRef space) { return space ? 3 : 0; }
}
