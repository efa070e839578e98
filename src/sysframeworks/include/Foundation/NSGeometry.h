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

static __inline__ NSPoint NSMakePoint(CGFloat x, CGFloat y) { return CGPointMake(x, y); }

static __inline__ NSRect NSMakeRect(CGFloat x, CGFloat y, CGFloat w, CGFloat h) { return CGRectMake(x, y, w, h); }

#endif /* FOUNDATION_NSGEOMETRY_H_ */
