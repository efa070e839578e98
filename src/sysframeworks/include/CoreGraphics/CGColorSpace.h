/* Colour spaces. Both kinds made here are RGB and are drawn without colour
   conversion (sRGB and the device space are taken to be the display's).
   Reference counted: Create returns a space the caller releases. Any thread. */
#ifndef COREGRAPHICS_CGCOLORSPACE_H_
#define COREGRAPHICS_CGCOLORSPACE_H_

#include <CoreGraphics/CGBase.h>

CG_EXTERN_C_BEGIN

typedef struct CGColorSpace* CGColorSpaceRef;

typedef int32_t CGColorRenderingIntent;
enum {
    kCGRenderingIntentDefault = 0,
    kCGRenderingIntentAbsoluteColorimetric = 1,
    kCGRenderingIntentRelativeColorimetric = 2,
    kCGRenderingIntentPerceptual = 3,
    kCGRenderingIntentSaturation = 4
};

CG_EXPORT const CFStringRef kCGColorSpaceSRGB;

/* NULL for a name other than kCGColorSpaceSRGB. */
CG_EXPORT CGColorSpaceRef CGColorSpaceCreateWithName(CFStringRef name);
CG_EXPORT CGColorSpaceRef CGColorSpaceCreateDeviceRGB(void);
/* NULL is allowed and returned. */
CG_EXPORT CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space);
/* NULL is allowed. */
CG_EXPORT void CGColorSpaceRelease(CGColorSpaceRef space);
/* 3 for the RGB spaces. */
CG_EXPORT size_t CGColorSpaceGetNumberOfComponents(CGColorSpaceRef space);

CG_EXTERN_C_END

#endif /* COREGRAPHICS_CGCOLORSPACE_H_ */
