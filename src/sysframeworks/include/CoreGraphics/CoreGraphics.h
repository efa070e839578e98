/* CoreGraphics umbrella header (the parts available here). */
#ifndef COREGRAPHICS_COREGRAPHICS_H_
#define COREGRAPHICS_COREGRAPHICS_H_

#include <CoreGraphics/CGBase.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGDataProvider.h>
#include <CoreGraphics/CGGeometry.h>
#include <CoreGraphics/CGImage.h>

#endif /* COREGRAPHICS_COREGRAPHICS_H_ */
