// The two-position switch: a pill-shaped slot pressed into the surface, its
// floor lit in the accent colour when on, and a raised round thumb with a small
// indicator dot.
#include "art.h"
#include "shapes.h"
#include "style.h"

namespace artgen {

fw::OwnedImage<fw::RGBA> drawSwitch(bool on) {
    const fw::Box frame{0, 0, kSwitchWidth, kSwitchHeight};
    const float cy = float(kSwitchHeight) / 2;
    Layer layer(frame);

    // Slot.
    const Mask slot = roundRect(frame, 12, cy - 16, 92, cy + 16, 16);
    // A light lip along the slot's lower edge, outside it.
    Mask lip = roundRect(frame, 11, cy - 15, 94, cy + 18, 17);
    lip.subtract(slot);
    layer.fill(lip, palette::highlight, 0.9f);
    const Colour floorTop = on ? rgb(45, 60, 116) : rgb(203, 209, 219);
    const Colour floorBottom = on ? rgb(70, 96, 178) : rgb(219, 224, 232);
    layer.fillShaded(slot, [&](float, float y) { return mix(floorTop, floorBottom, (y - (cy - 16)) / 32.0f); });
    if (on)
        innerShadows(layer, slot, Depth{2, 2, 0.55f, 0.25f}, rgb(12, 18, 40), rgb(150, 175, 255));
    else
        innerShadows(layer, slot, Depth{2, 2, 0.7f, 0.6f});

    // Thumb.
    const float tx = on ? 73.0f : 31.0f;
    const float tr = 18.0f;
    const Mask thumb = disc(frame, tx, cy, tr);
    // The light side of the thumb's shadow would read as glare on the slot's
    // floor, so it falls on the surface only.
    const Depth depth{3, 2, 0.7f, 0.9f};
    Mask dark = thumb.shifted(depth.offset, depth.offset);
    dark.blur(depth.blur);
    Mask light = thumb.shifted(-depth.offset, -depth.offset);
    light.blur(depth.blur);
    light.subtract(slot);
    layer.fill(dark, on ? rgb(10, 16, 40) : palette::shadow, depth.shadow);
    layer.fill(light, palette::highlight, depth.light);
    // A faint outline keeps the thumb's lit edge apart from the light surface.
    layer.fill(ring(frame, tx, cy, tr - 0.5f, tr + 0.7f), palette::shadow, 0.35f);
    const Colour lit = rgb(245, 247, 250), unlit = rgb(208, 214, 224);
    layer.fillShaded(thumb, [&](float x, float y) {
        const float t = ((x - tx) + (y - cy)) / (4.0f * tr) + 0.5f;
        return mix(lit, unlit, t < 0 ? 0 : (t > 1 ? 1 : t));
    });
    Mask rim = ring(frame, tx, cy, tr - 1.2f, tr - 0.1f);
    rim.multiply(disc(frame, tx - 4, cy - 4, tr));
    layer.fill(rim, palette::highlight, 0.8f);
    // Indicator: a lit dot when on, a dark pit when off.
    const Mask dot = disc(frame, tx, cy, 3.2f);
    if (on) {
        Mask glow = disc(frame, tx, cy, 4.0f);
        glow.blur(2);
        layer.fill(glow, palette::accentLit, 0.6f);
        layer.fill(dot, rgb(98, 140, 255));
    } else {
        layer.fill(dot, rgb(168, 176, 192));
        innerShadows(layer, dot, Depth{1, 1, 0.5f, 0.6f});
    }
    return layer.toImage(palette::surface);
}

}  // namespace artgen
