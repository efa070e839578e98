#include "tlmgui/labeltext.h"

namespace tlmgui {

void fillTextCentred(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects, fw::Font& font,
                     std::string_view text, float size, float letterSpacing, fw::RGBA color, float x, float y) {
    for (const fw::Box& rect : dirtyRects) {
        const fw::ImageRef<fw::RGBA> part = rawLayer.cropImageRef(rect);
        if (part.empty()) continue;
        fw::fillText(part, font, text, size, letterSpacing, color, x - float(rect.minX), y - float(rect.minY),
                     fw::HorizontalAlignment::center, fw::VerticalAlignment::center);
    }
}

}  // namespace tlmgui
