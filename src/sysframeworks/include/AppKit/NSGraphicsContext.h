/* NSGraphicsContext and NSColorSpace. Main thread.

   Class "NSGraphicsContext" answers:
     + currentContext      id (*)(Class, SEL)   the context of the view being
                           drawn (during its -drawRect:), else nil
     + setCurrentContext:  void (*)(Class, SEL, id context)
     - CGContext           CGContextRef (*)(id, SEL)
     - graphicsPort        void* (*)(id, SEL)   the same CGContextRef

   Class "NSColorSpace" answers:
     + sRGBColorSpace      id (*)(Class, SEL)
     - CGColorSpace        CGColorSpaceRef (*)(id, SEL) */
#ifndef APPKIT_NSGRAPHICSCONTEXT_H_
#define APPKIT_NSGRAPHICSCONTEXT_H_

#include <CoreGraphics/CGContext.h>
#include <Foundation/NSObjCRuntime.h>

#endif /* APPKIT_NSGRAPHICSCONTEXT_H_ */
