#include "tlmgui/displaypanel.h"

namespace tlmgui {

DisplayPanel::DisplayPanel(fw::UIContext& context, fw::RGBA color)
    : UIElement(context, fw::UIFlags::drawsRaw), color_(color) {}

void DisplayPanel::setText(const std::string&) {}

void DisplayPanel::onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) {
    for (const fw::Box& rect : dirtyRects) {
        const fw::ImageRef<fw::RGBA> part = rawLayer.cropImageRef(rect);
        for (int y = 0; y < part.h; ++y)
            for (int x = 0; x < part.w; ++x) part.at(x, y) = color_;
    }
}

}  // namespace tlmgui
