#include "style.h"

namespace artgen {

int effectMargin(const Depth& depth) { return depth.offset + 3 * depth.blur + 2; }

void dropShadows(Layer& layer, const Mask& shape, const Depth& depth) {
    Mask dark = shape.shifted(depth.offset, depth.offset);
    dark.blur(depth.blur);
    Mask light = shape.shifted(-depth.offset, -depth.offset);
    light.blur(depth.blur);
    layer.fill(dark, palette::shadow, depth.shadow);
    layer.fill(light, palette::highlight, depth.light);
}

void innerShadows(Layer& layer, const Mask& shape, const Depth& depth) {
    innerShadows(layer, shape, depth, palette::shadow, palette::highlight);
}

void innerShadows(Layer& layer, const Mask& shape, const Depth& depth, Colour darkColour, Colour lightColour) {
    // The outside of the shape, moved towards the bottom right, darkens the
    // inner top-left edge; moved the other way it lights the bottom-right edge.
    const Mask outside = shape.inverted();
    Mask dark = outside.shifted(depth.offset, depth.offset);
    Mask light = outside.shifted(-depth.offset, -depth.offset);
    // Shifting uncovers pixels at the area's edge that should read as outside.
    Mask darkFull(shape.area());
    Mask lightFull(shape.area());
    for (int y = shape.area().minY; y < shape.area().maxY; ++y)
        for (int x = shape.area().minX; x < shape.area().maxX; ++x) {
            darkFull.at(x, y) = dark.area().contains(x, y) ? dark.at(x, y) : 1.0f;
            lightFull.at(x, y) = light.area().contains(x, y) ? light.at(x, y) : 1.0f;
        }
    darkFull.blur(depth.blur);
    lightFull.blur(depth.blur);
    darkFull.multiply(shape);
    lightFull.multiply(shape);
    layer.fill(darkFull, darkColour, depth.shadow);
    layer.fill(lightFull, lightColour, depth.light);
}

}  // namespace artgen
