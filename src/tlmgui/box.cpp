#include "tlmgui/box.h"

namespace tlmgui {

UIBox::UIBox(fw::UIContext& context, fw::RGBA color) : UIBufferedElementRaw(context, fw::UIFlags::drawsRaw), color_(color) {}

void UIBox::onDrawBufferedRaw(fw::ImageRef<fw::RGBA> colorBuffer, fw::ImageRef<fw::L8>) {
    for (int y = 0; y < colorBuffer.h; ++y)
        for (int x = 0; x < colorBuffer.w; ++x) colorBuffer.at(x, y) = color_;
}

}  // namespace tlmgui
