// The oversampling selector: four buttons in a 2 x 2 grid. Raised buttons have
// grey legends; the pressed one is pushed into the surface and its legend glows
// in the accent colour.
#include <array>

#include "art.h"
#include "shapes.h"
#include "style.h"

namespace artgen {

fw::OwnedImage<fw::RGBA> drawUpsample(int pressed) {
    const fw::Box frame{0, 0, kUpsampleWidth, kUpsampleHeight};
    Layer layer(frame);
    TextWriter text;
    static constexpr std::array<const char*, 4> kLegends{"1x", "2x", "4x", "8x"};
    const std::array<fw::Box, 4> cells{fw::Box{0, 0, kUpsampleSplitX, kUpsampleSplitY},
                                       fw::Box{kUpsampleSplitX, 0, kUpsampleWidth, kUpsampleSplitY},
                                       fw::Box{0, kUpsampleSplitY, kUpsampleSplitX, kUpsampleHeight},
                                       fw::Box{kUpsampleSplitX, kUpsampleSplitY, kUpsampleWidth, kUpsampleHeight}};
    constexpr float kInset = 10.0f;
    constexpr float kRadius = 10.0f;
    constexpr float kLegendSize = 24.0f;
    for (int i = 0; i < 4; ++i) {
        const fw::Box& cell = cells[std::size_t(i)];
        const float x0 = float(cell.minX) + kInset, x1 = float(cell.maxX) - kInset;
        const float y0 = float(cell.minY) + kInset, y1 = float(cell.maxY) - kInset;
        const float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
        const Mask button = roundRect(frame, x0, y0, x1, y1, kRadius);
        Mask legend(frame);
        text.centred(legend, kLegends[std::size_t(i)], kLegendSize, cx, cy + text.capHeight(kLegendSize) / 2);
        if (i == pressed) {
            Mask lip = roundRect(frame, x0, y0 + 0.5f, x1 + 1.5f, y1 + 2.0f, kRadius + 1);
            lip.subtract(button);
            layer.fill(lip, palette::highlight, 0.9f);
            layer.fillShaded(button, [&](float, float y) {
                return mix(rgb(206, 212, 222), rgb(221, 226, 234), (y - y0) / (y1 - y0));
            });
            innerShadows(layer, button, Depth{3, 3, 0.75f, 0.8f});
            Mask glow = legend;
            glow.blur(3);
            layer.fill(glow, palette::accentLit, 0.55f);
            layer.fill(legend, rgb(58, 92, 206));
        } else {
            dropShadows(layer, button, Depth{2, 2, 0.8f, 0.95f});
            Mask outline = roundRect(frame, x0 - 0.7f, y0 - 0.7f, x1 + 0.7f, y1 + 0.7f, kRadius + 0.7f);
            outline.subtract(roundRect(frame, x0 + 0.5f, y0 + 0.5f, x1 - 0.5f, y1 - 0.5f, kRadius - 0.5f));
            layer.fill(outline, palette::shadow, 0.3f);
            layer.fillShaded(button, [&](float x, float y) {
                const float t = ((x - x0) / (x1 - x0) + (y - y0) / (y1 - y0)) / 2;
                return mix(rgb(242, 244, 248), rgb(214, 219, 228), t);
            });
            Mask rim = roundRect(frame, x0, y0, x1, y1, kRadius);
            rim.subtract(roundRect(frame, x0 + 1.2f, y0 + 1.2f, x1 - 0.5f, y1 - 0.5f, kRadius - 1));
            layer.fill(rim, palette::highlight, 0.8f);
            layer.fill(legend.shifted(0, 1), palette::highlight, 0.8f);
            layer.fill(legend, rgb(112, 121, 140));
        }
    }
    return layer.toImage(palette::surface);
}

}  // namespace artgen
