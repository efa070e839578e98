#pragma once
// A picture of the whole editor assembled from the art, for judging the look:
// the background with knobs at their factory settings, the editor's value arcs
// and readout texts drawn the way the editor draws them, the switch, the slider
// and the oversampling selector.
//
// Generator thread only; allocates.

#include "framework/core/status.h"
#include "framework/graphics/image.h"

namespace artgen {

// Generator thread. The editor at `scale` times its 900 x 450 design size
// (0.5, 1 or 2; anything else is refused).
fw::Status composePreview(float scale, fw::OwnedImage<fw::RGBA>& out);

}  // namespace artgen
