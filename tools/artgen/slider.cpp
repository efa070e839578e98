// The vertical slider: a narrow groove pressed into the surface, filled with
// the accent colour below the handle, and a raised handle with grip lines.
// Only the top 456 pixels show in the editor, so the groove and the handle's
// travel stay inside them, below the value readout that covers the top 12.
#include "art.h"
#include "shapes.h"
#include "style.h"

namespace artgen {

namespace {
constexpr float kCentreX = float(kSliderFrameWidth) / 2;
constexpr float kTopCentre = 44.0f;     // handle centre at value 1
constexpr float kBottomCentre = 418.0f; // handle centre at value 0
constexpr float kHandleHalfWidth = 20.0f;
constexpr float kHandleHalfHeight = 15.0f;
constexpr float kGrooveHalfWidth = 4.5f;
}  // namespace

float sliderHandleCentre(float value) { return kBottomCentre + (kTopCentre - kBottomCentre) * value; }

fw::OwnedImage<fw::RGBA> drawSlider() {
    const fw::Box frame{0, 0, kSliderFrameWidth, kSliderHeight};
    Layer track(frame);
    const fw::Box grooveArea{0, 0, kSliderFrameWidth, 460};
    const Mask groove = capsule(grooveArea, kCentreX, kTopCentre, kCentreX, kBottomCentre, kGrooveHalfWidth);
    Mask lip = capsule(grooveArea, kCentreX + 0.8f, kTopCentre + 1.2f, kCentreX + 0.8f, kBottomCentre + 1.2f,
                       kGrooveHalfWidth + 1.0f);
    lip.subtract(groove);
    track.fill(lip, palette::highlight, 0.9f);
    track.fill(groove, rgb(200, 206, 217));
    innerShadows(track, groove, Depth{2, 2, 0.75f, 0.5f});

    fw::OwnedImage<fw::RGBA> strip(kSliderFrameWidth * kSliderFrames, kSliderHeight);
    for (int i = 0; i < kSliderFrames; ++i) {
        const float value = float(i) / float(kSliderFrames - 1);
        const float hy = sliderHandleCentre(value);
        Layer layer = track;
        // Accent fill from the bottom of the groove up to the handle.
        const Mask fill = capsule(grooveArea, kCentreX, hy, kCentreX, kBottomCentre, kGrooveHalfWidth - 1.5f);
        layer.fill(fill, palette::accent);

        const float x0 = kCentreX - kHandleHalfWidth, x1 = kCentreX + kHandleHalfWidth;
        const float y0 = hy - kHandleHalfHeight, y1 = hy + kHandleHalfHeight;
        const fw::Box handleArea = fw::Box{0, int(y0) - 20, kSliderFrameWidth, int(y1) + 20}.intersection(frame);
        const Mask handle = roundRect(handleArea, x0, y0, x1, y1, 8);
        dropShadows(layer, handle, Depth{3, 2, 0.8f, 0.95f});
        Mask outline = roundRect(handleArea, x0 - 0.7f, y0 - 0.7f, x1 + 0.7f, y1 + 0.7f, 8.7f);
        outline.subtract(roundRect(handleArea, x0 + 0.5f, y0 + 0.5f, x1 - 0.5f, y1 - 0.5f, 7.5f));
        layer.fill(outline, palette::shadow, 0.3f);
        const Colour lit = rgb(245, 247, 250), unlit = rgb(210, 215, 225);
        layer.fillShaded(handle, [&](float, float y) { return mix(lit, unlit, (y - y0) / (y1 - y0)); });
        Mask rim = roundRect(handleArea, x0, y0, x1, y1, 8);
        rim.subtract(roundRect(handleArea, x0 + 1.2f, y0 + 1.4f, x1 - 0.6f, y1 - 0.6f, 7));
        rim.multiply(roundRect(handleArea, x0 - 2, y0 - 2, x1 - 6, y1 - 6, 8));
        layer.fill(rim, palette::highlight, 0.9f);
        // Grip: three engraved lines, the middle one in the accent colour as the
        // handle's index.
        for (int g = -1; g <= 1; ++g) {
            const float gy = hy + float(g) * 6.0f;
            layer.fill(capsule(handleArea, x0 + 8, gy + 1.0f, x1 - 8, gy + 1.0f, 1.0f), palette::highlight, 0.9f);
            layer.fill(capsule(handleArea, x0 + 8, gy, x1 - 8, gy, 1.0f),
                       g == 0 ? palette::accent : rgb(160, 169, 186));
        }
        layer.writeTo(strip.toRef().cropImageRef(
                          fw::Box{i * kSliderFrameWidth, 0, (i + 1) * kSliderFrameWidth, kSliderHeight}),
                      palette::surface);
    }
    return strip;
}

}  // namespace artgen
