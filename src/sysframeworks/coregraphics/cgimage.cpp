// CGImage: checks the layout once at creation and keeps the byte offsets of
// the colour channels for drawing.

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/coregraphics/cgimpl.h"

#include <limits>
#include <new>

namespace {

constexpr const char* kApi = "CGImageCreate";

CGImageRef refuse(const char* why) {
    sysfw::reportMisuse(kApi, why);
    return nullptr;
}

}  // namespace

extern "C" {

CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel,
                         size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo,
                         CGDataProviderRef provider, const CGFloat* decode, bool, CGColorRenderingIntent) {
    if (width == 0 || height == 0) return refuse("zero width or height");
    if (bitsPerComponent != 8 || bitsPerPixel != 32)
        return refuse("only 8 bits per component and 32 bits per pixel are supported");
    if (space == nullptr) return refuse("NULL colour space");
    if (provider == nullptr) return refuse("NULL data provider");
    if (decode != nullptr) return refuse("decode arrays are not supported");
    if (bitmapInfo & kCGBitmapFloatComponents) return refuse("float components are not supported");
    const CGBitmapInfo order = bitmapInfo & kCGBitmapByteOrderMask;
    if (order != kCGBitmapByteOrderDefault && order != kCGBitmapByteOrder32Big && order != kCGBitmapByteOrder32Little)
        return refuse("only the default, 32-bit big-endian and 32-bit little-endian byte orders are supported");
    if ((bitmapInfo & ~(kCGBitmapAlphaInfoMask | kCGBitmapByteOrderMask)) != 0)
        return refuse("unknown bitmap info flags");
    bool alphaFirst = false;
    switch (bitmapInfo & kCGBitmapAlphaInfoMask) {
        case kCGImageAlphaNoneSkipFirst:
        case kCGImageAlphaPremultipliedFirst:
            alphaFirst = true;
            break;
        case kCGImageAlphaNoneSkipLast:
        case kCGImageAlphaPremultipliedLast:
            break;
        default:
            return refuse("alpha must be NoneSkipFirst, NoneSkipLast, PremultipliedFirst or PremultipliedLast");
    }
    if (width > std::numeric_limits<size_t>::max() / 4 / height) return refuse("the image is too large");
    if (bytesPerRow < width * 4) return refuse("bytesPerRow is smaller than width * 4");
    if (bytesPerRow > (std::numeric_limits<size_t>::max() - width * 4) / height)
        return refuse("the image is too large");
    if (provider->size < bytesPerRow * (height - 1) + width * 4)
        return refuse("the data provider holds fewer bytes than the rows need");

    auto* image = new (std::nothrow) CGImage();
    if (image == nullptr) return nullptr;
    image->width = width;
    image->height = height;
    image->bytesPerRow = bytesPerRow;
    image->space = CGColorSpaceRetain(space);
    image->provider = CGDataProviderRetain(provider);
    // In big-endian (memory) order the pixel is A,R,G,B or R,G,B,A; little
    // endian reverses the four bytes.
    int r = alphaFirst ? 1 : 0;
    if (order == kCGBitmapByteOrder32Little) r = 3 - r;
    const int step = order == kCGBitmapByteOrder32Little ? -1 : 1;
    image->red = r;
    image->green = r + step;
    image->blue = r + 2 * step;
    return image;
}

CGImageRef CGImageRetain(CGImageRef image) {
    if (image) image->refs.fetch_add(1, std::memory_order_relaxed);
    return image;
}

void CGImageRelease(CGImageRef image) {
    if (image == nullptr || !coregraphics::dropReference(image)) return;
    CGDataProviderRelease(image->provider);
    CGColorSpaceRelease(image->space);
    delete image;
}

size_t CGImageGetWidth(CGImageRef image) { return image ? image->width : 0; }
size_t CGImageGetHeight(CGImageRef image) { return image ? image->height : 0; }
}
