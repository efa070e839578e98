/* Bitmap images over a data provider (the pixels are read when the image is
   drawn, not copied). Supported layouts: 8 bits per component, 32 bits per
   pixel, RGB, with one of
     kCGImageAlphaNoneSkipFirst, kCGImageAlphaNoneSkipLast,
     kCGImageAlphaPremultipliedFirst, kCGImageAlphaPremultipliedLast
   and byte order default, kCGBitmapByteOrder32Big or kCGBitmapByteOrder32Little
   (e.g. NoneSkipFirst, default order: bytes A,R,G,B with A ignored;
   PremultipliedFirst | 32Little: bytes B,G,R,A). CGImageCreate returns NULL,
   with the reason on standard error, for anything else, for a decode array, or
   for a provider too small for the rows. Reference counted. Any thread. */
#ifndef COREGRAPHICS_CGIMAGE_H_
#define COREGRAPHICS_CGIMAGE_H_

#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGDataProvider.h>

CG_EXTERN_C_BEGIN

typedef struct CGImage* CGImageRef;

/* The alpha infos and the bitmap flags share one enumeration, so that C++20
   code can combine them with | without a warning. */
typedef uint32_t CGImageAlphaInfo;
typedef uint32_t CGBitmapInfo;
enum {
    kCGImageAlphaNone = 0,
    kCGImageAlphaPremultipliedLast = 1,
    kCGImageAlphaPremultipliedFirst = 2,
    kCGImageAlphaLast = 3,
    kCGImageAlphaFirst = 4,
    kCGImageAlphaNoneSkipLast = 5,
    kCGImageAlphaNoneSkipFirst = 6,
    kCGImageAlphaOnly = 7,

    kCGBitmapAlphaInfoMask = 0x1F,
    kCGBitmapFloatInfoMask = 0xF00,
    kCGBitmapFloatComponents = (1 << 8),
    kCGBitmapByteOrderMask = 0x7000,
    kCGBitmapByteOrderDefault = (0 << 12),
    kCGBitmapByteOrder16Little = (1 << 12),
    kCGBitmapByteOrder32Little = (2 << 12),
    kCGBitmapByteOrder16Big = (3 << 12),
    kCGBitmapByteOrder32Big = (4 << 12)
};

CG_EXPORT CGImageRef CGImageCreate(size_t width, size_t height, size_t bitsPerComponent, size_t bitsPerPixel,
                                   size_t bytesPerRow, CGColorSpaceRef space, CGBitmapInfo bitmapInfo,
                                   CGDataProviderRef provider, const CGFloat* decode, bool shouldInterpolate,
                                   CGColorRenderingIntent intent);
CG_EXPORT CGImageRef CGImageRetain(CGImageRef image);
CG_EXPORT void CGImageRelease(CGImageRef image);
CG_EXPORT size_t CGImageGetWidth(CGImageRef image);
CG_EXPORT size_t CGImageGetHeight(CGImageRef image);

CG_EXTERN_C_END

#endif /* COREGRAPHICS_CGIMAGE_H_ */
