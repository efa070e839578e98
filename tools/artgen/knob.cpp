// The knobs: a convex body with a shallow dished cap, raised off the surface by
// soft light and dark shadows, and a recessed accent pointer on the cap. The
// body and shadows are drawn once; each frame adds only its pointer.
#include <cmath>
#include <numbers>

#include "art.h"
#include "shapes.h"
#include "style.h"

namespace artgen {

float knobAngle(float value) {
    constexpr float kPi = std::numbers::pi_v<float>;
    return 0.75f * kPi + value * 1.5f * kPi;
}

namespace {

struct KnobLook {
    float bodyRadius;   // fraction of the half frame
    float capRadius;    // fraction of the body radius
    float pointerFrom;  // pointer span, fractions of the body radius
    float pointerTo;
    float pointerHalfWidth;  // pixels
    Depth depth;
};

KnobLook lookFor(int framePx) {
    if (framePx >= kLargeKnobFrame)
        return KnobLook{0.78f, 0.76f, 0.30f, 0.68f, 2.6f, Depth{3, 4, 0.85f, 1.0f}};
    return KnobLook{0.80f, 0.74f, 0.24f, 0.66f, 1.7f, Depth{2, 1, 0.8f, 1.0f}};
}

// Linear light from the top left: t = 0 at the lit edge, 1 at the far edge.
float diagonal(float x, float y, float cx, float cy, float r) {
    const float t = ((x - cx) + (y - cy)) / (2.0f * r * float(std::numbers::sqrt2)) + 0.5f;
    return std::fmin(std::fmax(t, 0.0f), 1.0f);
}

Layer drawBody(int framePx, const KnobLook& look) {
    const fw::Box frame{0, 0, framePx, framePx};
    const float c = float(framePx) / 2;
    const float r = look.bodyRadius * c;
    Layer layer(frame);

    const Mask body = disc(frame, c, c, r);
    dropShadows(layer, body, look.depth);
    // A faint contact shadow right under the rim grounds the knob.
    Mask contact = disc(frame, c + 0.6f, c + 1.0f, r + 0.6f);
    contact.blur(1);
    layer.fill(contact, palette::shadow, 0.5f);

    // A faint outline keeps the lit side of the body apart from the light dish.
    layer.fill(ring(frame, c, c, r - 0.5f, r + 0.8f), palette::shadow, 0.3f);
    const Colour lit = rgb(248, 249, 252), unlit = rgb(196, 203, 215);
    layer.fillShaded(body, [&](float x, float y) { return mix(lit, unlit, diagonal(x, y, c, c, r)); });

    // Cap: dished, so its gradient runs the other way; a thin groove parts it
    // from the body.
    const float capR = look.capRadius * r;
    const float grooveW = std::fmax(1.0f, 0.02f * r);
    const Mask groove = ring(frame, c, c, capR - grooveW * 0.2f, capR + grooveW);
    layer.fill(groove, rgb(186, 194, 208), 0.6f);
    const Mask cap = disc(frame, c, c, capR);
    const Colour capLit = rgb(212, 217, 227), capUnlit = rgb(241, 243, 247);
    layer.fillShaded(cap, [&](float x, float y) { return mix(capLit, capUnlit, diagonal(x, y, c, c, capR)); });
    innerShadows(layer, cap, Depth{framePx >= kLargeKnobFrame ? 2 : 1, framePx >= kLargeKnobFrame ? 2 : 1, 0.5f, 0.9f});

    // Rim light along the top-left edge of the body.
    Mask rim = ring(frame, c, c, r - 1.6f, r - 0.2f);
    Mask rimFade(frame);
    for (int y = 0; y < framePx; ++y)
        for (int x = 0; x < framePx; ++x)
            rimFade.at(x, y) = rim.at(x, y) * (1.0f - diagonal(float(x) + 0.5f, float(y) + 0.5f, c, c, r));
    layer.fill(rimFade, palette::highlight, 0.8f);
    return layer;
}

void drawPointer(Layer& layer, int framePx, const KnobLook& look, float value) {
    const float c = float(framePx) / 2;
    const float r = look.bodyRadius * c;
    const float a = knobAngle(value);
    const float ux = std::cos(a), uy = std::sin(a);
    const float ax = c + ux * look.pointerFrom * r, ay = c + uy * look.pointerFrom * r;
    const float bx = c + ux * look.pointerTo * r, by = c + uy * look.pointerTo * r;
    const float hw = look.pointerHalfWidth;
    fw::Box area = boxAround(ax, ay, hw + 2, 2).expand(boxAround(bx, by, hw + 2, 2));
    area = area.intersection(fw::Box{0, 0, framePx, framePx});
    // Pressed into the cap: a light lip on the lower right, then the accent fill.
    layer.fill(capsule(area, ax + 0.7f, ay + 0.8f, bx + 0.7f, by + 0.8f, hw + 0.3f), palette::highlight, 0.9f);
    layer.fill(capsule(area, ax - 0.3f, ay - 0.3f, bx - 0.3f, by - 0.3f, hw + 0.2f), rgb(24, 32, 64), 0.5f);
    layer.fill(capsule(area, ax, ay, bx, by, hw), palette::accent);
}

}  // namespace

fw::OwnedImage<fw::RGBA> drawKnobStrip(int framePx) {
    const KnobLook look = lookFor(framePx);
    const Layer body = drawBody(framePx, look);
    fw::OwnedImage<fw::RGBA> strip(framePx, framePx * kKnobFrames);
    for (int i = 0; i < kKnobFrames; ++i) {
        Layer frame = body;
        drawPointer(frame, framePx, look, float(i) / float(kKnobFrames - 1));
        frame.writeTo(strip.toRef().cropImageRef(fw::Box{0, i * framePx, framePx, (i + 1) * framePx}),
                      palette::surface);
    }
    return strip;
}

}  // namespace artgen
