// The editor background: a soft light body with three raised panels (the left
// delay line, the shared controls, the right delay line), a shallow dish with
// an engraved arc track under every knob, dark recessed readouts for the
// values, the captions pressed lightly into the surface, and the title.
#include <cmath>
#include <numbers>
#include <string_view>

#include "art.h"
#include "layout.h"
#include "shapes.h"
#include "style.h"

namespace artgen {

namespace {

constexpr float px(float units) { return units * kPixelsPerUnit; }

const fw::Box kWhole{0, 0, kBackgroundWidth, kBackgroundHeight};

constexpr float kCaptionSize = px(13);

fw::Box areaOf(float x0, float y0, float x1, float y1, int margin) {
    return fw::Box{int(std::floor(x0)) - margin, int(std::floor(y0)) - margin, int(std::ceil(x1)) + margin,
                   int(std::ceil(y1)) + margin}
        .intersection(kWhole);
}

void panel(Layer& layer, Rect r) {
    const float x0 = px(r.left), y0 = px(r.top), x1 = px(r.right), y1 = px(r.bottom);
    const Depth depth{6, 7, 0.42f, 0.95f};
    const Mask shape = roundRect(areaOf(x0, y0, x1, y1, effectMargin(depth)), x0, y0, x1, y1, px(12));
    dropShadows(layer, shape, depth);
    layer.fillShaded(shape, [&](float, float y) {
        return mix(rgb(232, 235, 241), rgb(224, 228, 235), (y - y0) / (y1 - y0));
    });
    // Catch light along the top edge.
    Mask rim = roundRect(shape.area(), x0, y0, x1, y1, px(12));
    rim.subtract(roundRect(shape.area(), x0 + 1.5f, y0 + 2.0f, x1 - 1.0f, y1 - 1.0f, px(12) - 1.5f));
    layer.fill(rim, palette::highlight, 0.85f);
}

// The dish a knob sits in and the engraved track its value arc runs in.
void knobSeat(Layer& layer, const KnobPlace& k) {
    const float cx = px(k.knob.centreX()), cy = px(k.knob.centreY());
    const float half = px(k.large ? kLargeRingSquare : kSmallRingSquare) / 2;
    const float ringIn = half * (k.large ? kLargeRingInner : kSmallRingInner);
    const float ringOut = half * (k.large ? kLargeRingOuter : kSmallRingOuter);
    const float dishR = ringOut + px(k.large ? 4.5f : 3.5f);
    const Depth dishDepth{k.large ? 5 : 4, k.large ? 6 : 5, 0.45f, 0.95f};
    const Mask dish = disc(boxAround(cx, cy, dishR, effectMargin(dishDepth)), cx, cy, dishR);
    layer.fill(dish, rgb(219, 223, 231));
    innerShadows(layer, dish, dishDepth);

    // The knob's frame has room only for a tight shadow; the wide soft one that
    // lifts it off the dish is laid here, under where the knob always sits.
    const float bodyR = px(k.knob.width()) / 2 * (k.large ? 0.78f : 0.80f);
    const Depth lift{k.large ? 7 : 4, k.large ? 7 : 4, 0.55f, 0.9f};
    dropShadows(layer, disc(boxAround(cx, cy, bodyR, effectMargin(lift)), cx, cy, bodyR), lift);

    constexpr float kPi = std::numbers::pi_v<float>;
    const float pad = px(1.0f);
    const Mask track = arcBand(boxAround(cx, cy, ringOut + pad, 8), cx, cy, ringIn - pad, ringOut + pad,
                               0.75f * kPi, 2.25f * kPi);
    layer.fill(track, rgb(206, 211, 221));
    innerShadows(layer, track, Depth{2, 2, 0.65f, 0.9f});
    // End marks just beyond the track's ends: a dot at the minimum and maximum.
    for (float a : {0.75f * kPi - 0.16f, 2.25f * kPi + 0.16f}) {
        const float r = (ringIn + ringOut) / 2;
        const float dx = cx + r * std::cos(a), dy = cy + r * std::sin(a);
        layer.fill(disc(boxAround(dx, dy, 4, 2), dx + 0.7f, dy + 0.9f, px(1.1f)), palette::highlight, 0.9f);
        layer.fill(disc(boxAround(dx, dy, 4, 2), dx, dy, px(1.1f)), palette::captionSoft);
    }
}

// A dark recessed readout for the value text the editor writes.
void readout(Layer& layer, Rect r) {
    const float x0 = px(r.left) + 1, y0 = px(r.top) + 1, x1 = px(r.right) - 1, y1 = px(r.bottom) - 1;
    const float radius = px(4);
    const fw::Box area = areaOf(x0, y0, x1, y1, 12);
    const Mask shape = roundRect(area, x0, y0, x1, y1, radius);
    Mask lip = roundRect(area, x0 - 0.5f, y0 - 0.5f, x1 + 2.0f, y1 + 2.5f, radius + 1);
    lip.subtract(shape);
    layer.fill(lip, palette::highlight, 0.95f);
    Mask shade = roundRect(area, x0 - 1.5f, y0 - 1.5f, x1 + 0.5f, y1 + 0.5f, radius + 1);
    shade.subtract(shape);
    layer.fill(shade, palette::shadow, 0.5f);
    layer.fillShaded(shape, [&](float, float y) {
        return mix(rgb(27, 30, 39), rgb(38, 42, 53), (y - y0) / (y1 - y0));
    });
    innerShadows(layer, shape, Depth{2, 3, 0.7f, 0.12f}, rgb(8, 10, 16), rgb(120, 132, 160));
}

// Text pressed lightly into the surface: a light edge below the ink.
void engrave(Layer& layer, const Mask& ink, Colour colour) {
    layer.fill(ink.shifted(0, 2), palette::highlight, 0.9f);
    layer.fill(ink, colour);
}

void caption(Layer& layer, TextWriter& text, std::string_view s, float cxUnits, float baselineUnits,
             float sizePx = kCaptionSize, Colour colour = palette::caption, float spacing = 0.5f) {
    const float w = text.width(s, sizePx, spacing);
    const float cx = px(cxUnits), base = px(baselineUnits);
    Mask ink(areaOf(cx - w / 2, base - sizePx, cx + w / 2, base + sizePx / 2, 4));
    text.centred(ink, s, sizePx, cx, base, spacing);
    engrave(layer, ink, colour);
}

void leftCaption(Layer& layer, TextWriter& text, std::string_view s, float xUnits, float baselineUnits) {
    const float w = text.width(s, kCaptionSize, 0.5f);
    const float x = px(xUnits), base = px(baselineUnits);
    Mask ink(areaOf(x, base - kCaptionSize, x + w, base + kCaptionSize / 2, 4));
    text.leftAligned(ink, s, kCaptionSize, x, base, 0.5f);
    engrave(layer, ink, palette::caption);
}

void rightCaption(Layer& layer, TextWriter& text, std::string_view s, float xUnits, float baselineUnits) {
    leftCaption(layer, text, s, xUnits - text.width(s, kCaptionSize, 0.5f) / kPixelsPerUnit, baselineUnits);
}

// A raised round badge naming a delay line.
void badge(Layer& layer, TextWriter& text, std::string_view letter, float cxUnits, float cyUnits) {
    const float cx = px(cxUnits), cy = px(cyUnits), r = px(12);
    const Depth depth{3, 4, 0.55f, 0.95f};
    const Mask shape = disc(boxAround(cx, cy, r, effectMargin(depth)), cx, cy, r);
    dropShadows(layer, shape, depth);
    layer.fillShaded(shape, [&](float x, float y) {
        const float t = ((x - cx) + (y - cy)) / (4 * r) + 0.5f;
        return mix(rgb(243, 245, 249), rgb(214, 219, 228), std::fmin(std::fmax(t, 0.0f), 1.0f));
    });
    const float size = px(15);
    Mask ink(shape.area());
    text.centred(ink, letter, size, cx, cy + text.capHeight(size) / 2);
    layer.fill(ink.shifted(0, 1), palette::highlight, 0.8f);
    layer.fill(ink, palette::accent);
}

void sliderScale(Layer& layer) {
    const float cx = px(kSlider.left) + float(kSliderFrameWidth) / 2;
    const float top = px(kSlider.top);
    for (int i = 0; i <= 4; ++i) {
        const float y = top + sliderHandleCentre(float(i) / 4);
        const float len = (i == 2) ? 12.0f : 8.0f;
        for (float side : {-1.0f, 1.0f}) {
            const float xa = cx + side * 27.0f, xb = cx + side * (27.0f + len);
            const fw::Box area = areaOf(std::fmin(xa, xb), y - 4, std::fmax(xa, xb), y + 4, 3);
            layer.fill(capsule(area, xa, y + 1.2f, xb, y + 1.2f, 1.2f), palette::highlight, 0.9f);
            layer.fill(capsule(area, xa, y, xb, y, 1.2f), palette::captionSoft);
        }
    }
}

void title(Layer& layer, TextWriter& text) {
    const float size = px(30);
    const float base = px(50);
    const float spacing = 1.0f;
    const float wName = text.width("Kestrin", size, spacing);
    const float gap = px(9);
    const float wDigit = text.width("3", size, 0);
    const float x0 = px(kEditorWidth / 2) - (wName + gap + wDigit) / 2;
    Mask name(areaOf(x0 - 4, base - size, x0 + wName + 4, base + size / 2, 4));
    text.leftAligned(name, "Kestrin", size, x0, base, spacing);
    engrave(layer, name, rgb(62, 70, 90));
    Mask digit(areaOf(x0 + wName + gap - 4, base - size, x0 + wName + gap + wDigit + 4, base + size / 2, 4));
    text.leftAligned(digit, "3", size, x0 + wName + gap, base, 0);
    engrave(layer, digit, palette::accent);
    const float vendorSize = px(10), vendorSpacing = 3.0f, vendorBase = 72;
    caption(layer, text, "TALLOWMERE DOROVUVURU", kEditorWidth / 2, vendorBase, vendorSize, palette::captionSoft,
            vendorSpacing);
    // Engraved rules either side of the vendor line, at its x-height.
    const float halfW = text.width("TALLOWMERE DOROVUVURU", vendorSize, vendorSpacing) / 2;
    const float ry = px(vendorBase) - text.capHeight(vendorSize) / 2;
    for (float side : {-1.0f, 1.0f}) {
        const float xa = px(kEditorWidth / 2) + side * (halfW + px(10)), xb = xa + side * px(70);
        const fw::Box area = areaOf(std::fmin(xa, xb), ry - 4, std::fmax(xa, xb), ry + 4, 3);
        layer.fill(capsule(area, xa, ry + 1.5f, xb, ry + 1.5f, 0.9f), palette::highlight, 0.95f);
        layer.fill(capsule(area, xa, ry, xb, ry, 0.9f), palette::captionSoft, 0.7f);
    }
}

}  // namespace

fw::OwnedImage<fw::RGBA> drawBackground() {
    Layer layer(kWhole);
    layer.clear(palette::surface);
    Mask all(kWhole);
    for (int y = 0; y < kBackgroundHeight; ++y)
        for (int x = 0; x < kBackgroundWidth; ++x) all.at(x, y) = 1;
    layer.fillShaded(all, [](float, float y) {
        return mix(rgb(228, 232, 238), rgb(218, 222, 230), y / float(kBackgroundHeight));
    });

    panel(layer, Rect{8, 90, 282, 410});
    panel(layer, Rect{312, 90, 591, 446});
    panel(layer, Rect{618, 90, 892, 410});

    TextWriter text;
    title(layer, text);

    for (const KnobPlace& k : kKnobs) {
        knobSeat(layer, k);
        readout(layer, k.label);
    }
    readout(layer, kSliderLabel);

    // Captions above the readouts; Mix's readout sits under its knob, so its
    // caption goes above the knob.
    for (const KnobPlace& k : kKnobs) {
        if (std::string_view(k.caption) == "Mix")
            caption(layer, text, k.caption, k.knob.centreX(), 266);
        else
            caption(layer, text, k.caption, k.label.centreX(), k.label.top - 5);
    }
    badge(layer, text, "L", 143.5f, 197.5f);
    badge(layer, text, "R", 755.5f, 197.5f);

    // The two captions of the top row share a baseline.
    caption(layer, text, "Time Mode", kSwitch.centreX(), kUpsample.top - 6);
    rightCaption(layer, text, "ms", kSwitch.left - 5, kSwitch.centreY() + 4.5f);
    leftCaption(layer, text, "sync", kSwitch.right + 5, kSwitch.centreY() + 4.5f);
    caption(layer, text, "Upsample", kUpsample.centreX(), kUpsample.top - 6);
    caption(layer, text, "Width", kSliderLabel.centreX(), kSliderLabel.top - 5);
    sliderScale(layer);

    return layer.toImage(palette::surface);
}

}  // namespace artgen
