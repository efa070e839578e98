/* Foundation geometry: NSSize, NSPoint and NSRect are the CoreGraphics types. */
#ifndef FOUNDATION_NSGEOMETRY_H_
#define FOUNDATION_NSGEOMETRY_H_

#include <CoreGraphics/CGGeometry.h>

typedef CGPoint NSPoint;
typedef CGSize NSSize;
typedef CGRect NSRect;

static __inline__ NSSize NSMakeSize(CGFloat w, CGFloat h) {
    NSSize size;
    size.width = w;
    size.height = h;
    return size;
}

#endif /* FOUNDATION_NSGEOMETRY_H_ */
