#include "preview.h"

#include <array>
#include <cmath>
#include <numbers>

#include "art.h"
#include "assets/kestrin_font_vera_bold.h"
#include "framework/graphics/blend.h"
#include "framework/graphics/draw.h"
#include "framework/graphics/font.h"
#include "framework/graphics/imageresizer.h"
#include "layout.h"

namespace artgen {

namespace {

constexpr float px(float units) { return units * kPixelsPerUnit; }

struct Setting {
    float value;
    const char* text;
};

// Factory-like settings for the ten knobs, in layout order.
constexpr std::array<Setting, 10> kSettings{{
    {0.42f, "375 ms"}, {0.55f, "55 %"}, {0.35f, "35 %"},
    {0.47f, "410 ms"}, {0.62f, "62 %"}, {0.35f, "35 %"},
    {0.08f, "40 Hz"}, {0.92f, "16.0 kHz"}, {0.25f, "2.5 dB"}, {0.5f, "0.0 dB"},
}};

void blendAt(fw::ImageRef<fw::RGBA> dst, fw::ImageRef<const fw::RGBA> src, int x, int y) {
    fw::blendOver(dst.cropImageRef(fw::Box::rectangle(x, y, src.w, src.h)), src);
}

}  // namespace

fw::Status composePreview(float scale, fw::OwnedImage<fw::RGBA>& out) {
    if (!(scale == 0.5f || scale == 1.0f || scale == 2.0f)) return fw::Status::failure("scale must be 0.5, 1 or 2");
    fw::OwnedImage<fw::RGBA> editor = drawBackground();
    const fw::ImageRef<fw::RGBA> view = editor.toRef();
    const fw::OwnedImage<fw::RGBA> large = drawKnobStrip(kLargeKnobFrame);
    const fw::OwnedImage<fw::RGBA> small = drawKnobStrip(kSmallKnobFrame);
    fw::ImageResizer resizer;
    fw::Font font(assets::kVeraSansBold, assets::kVeraSansBoldSize);
    constexpr float kPi = std::numbers::pi_v<float>;
    constexpr fw::RGBA kArc{51, 68, 129, 255};
    constexpr fw::RGBA kText{151, 150, 152, 255};

    for (std::size_t i = 0; i < kKnobs.size(); ++i) {
        const KnobPlace& k = kKnobs[i];
        const float v = kSettings[i].value;
        const int frameIndex = int(std::lround(v * float(kKnobFrames - 1)));
        const fw::OwnedImage<fw::RGBA>& strip = k.large ? large : small;
        const int f = strip.width();
        const fw::ImageRef<const fw::RGBA> frame =
            fw::ImageRef<const fw::RGBA>(strip).cropImageRef(fw::Box{0, frameIndex * f, f, (frameIndex + 1) * f});
        const int size = int(px(k.knob.width()));
        fw::OwnedImage<fw::RGBA> scaled(size, size);
        if (size == f) {
            fw::copyPixels(scaled, frame);
        } else {
            const fw::Status st = resizer.resizeImageSRGBNoAlpha(frame, scaled, fw::ResizeFilter::magicKernelSharpBlend);
            if (!st) return st;
        }
        blendAt(view, scaled, int(px(k.knob.left)), int(px(k.knob.top)));
        const float half = px(k.large ? kLargeRingSquare : kSmallRingSquare) / 2;
        const float r0 = half * (k.large ? kLargeRingInner : kSmallRingInner);
        const float r1 = half * (k.large ? kLargeRingOuter : kSmallRingOuter);
        if (v > 0)
            fw::aaFillSector(view, px(k.knob.centreX()) - 0.5f, px(k.knob.centreY()) - 0.5f, r0, r1, 0.75f * kPi,
                             knobAngle(v), kArc);
        fw::fillText(view, font, kSettings[i].text, px(10), 0, kText, px(k.label.centreX()), px(k.label.centreY()),
                     fw::HorizontalAlignment::center, fw::VerticalAlignment::center);
    }

    const fw::OwnedImage<fw::RGBA> sw = drawSwitch(false);
    blendAt(view, sw, int(px(kSwitch.left)), int(px(kSwitch.top)));
    const fw::OwnedImage<fw::RGBA> up = drawUpsample(1);
    blendAt(view, up, int(px(kUpsample.left)), int(px(kUpsample.top)));
    const fw::OwnedImage<fw::RGBA> slider = drawSlider();
    const int sliderFrame = 36;
    blendAt(view,
            fw::ImageRef<const fw::RGBA>(slider).cropImageRef(
                fw::Box{sliderFrame * kSliderFrameWidth, 0, (sliderFrame + 1) * kSliderFrameWidth, kSliderHeight}),
            int(px(kSlider.left)), int(px(kSlider.top)));
    fw::fillText(view, font, "59 %", px(10), 0, kText, px(kSliderLabel.centreX()), px(kSliderLabel.centreY()),
                 fw::HorizontalAlignment::center, fw::VerticalAlignment::center);
    // The window's alpha stays opaque even where text wrote its own.
    for (int y = 0; y < view.h; ++y)
        for (int x = 0; x < view.w; ++x) view.at(x, y).a = 255;

    if (scale == 2.0f) {
        out = std::move(editor);
        return fw::Status::success();
    }
    fw::OwnedImage<fw::RGBA> result(int(kEditorWidth * scale), int(kEditorHeight * scale));
    const fw::Status st = resizer.resizeImageSRGBNoAlpha(editor, result, fw::ResizeFilter::magicKernelSharpBlend);
    if (!st) return st;
    out = std::move(result);
    return fw::Status::success();
}

}  // namespace artgen
