/* Drawing contexts. Here a context draws into one X window (a view's, made by
   AppKit and handed out through -[NSGraphicsContext CGContext] while the view
   draws); there is no other way to make one.

   CGContextDrawImage draws an image into rect (the context's coordinates:
   origin bottom-left, y up), scaled by nearest neighbour when the rect's size
   differs from the image's, clipped to the window. Colours are copied, not
   blended: a premultiplied image lands as if composited over black. The X
   visual must be 24- or 32-bit TrueColor; other visuals are refused (said
   once on standard error). Use a context on the thread that draws (for a
   view: the main thread). */
#ifndef COREGRAPHICS_CGCONTEXT_H_
#define COREGRAPHICS_CGCONTEXT_H_

#include <CoreGraphics/CGImage.h>

CG_EXTERN_C_BEGIN

typedef struct CGContext* CGContextRef;

CG_EXPORT CGContextRef CGContextRetain(CGContextRef context);
CG_EXPORT void CGContextRelease(CGContextRef context);
CG_EXPORT void CGContextDrawImage(CGContextRef context, CGRect rect, CGImageRef image);

CG_EXTERN_C_END

#endif /* COREGRAPHICS_CGCONTEXT_H_ */
