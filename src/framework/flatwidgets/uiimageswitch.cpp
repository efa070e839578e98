#include "framework/flatwidgets/uiimageswitch.h"

#include "framework/graphics/blend.h"
#include "framework/graphics/imageresizer.h"
#include "framework/gui/uicontext.h"

namespace fw {

UIImageSwitch::UIImageSwitch(UIContext& context, BoolParameter& param, ImageRef<const RGBA> imageWhenOn,
                             ImageRef<const RGBA> imageWhenOff)
    : UIElement(context, UIFlags::drawsRaw),
      param_(param),
      imageWhenOn_(imageWhenOn),
      imageWhenOff_(imageWhenOff),
      onWidth_(imageWhenOn.w),
      onHeight_(imageWhenOn.h) {
    param_.addListener(this);
}

UIImageSwitch::~UIImageSwitch() { param_.removeListener(this); }

void UIImageSwitch::rescale(ImageRef<const RGBA> source, OwnedImage<RGBA>& target, int width, int height) {
    target.size(width, height);
    if (target.pixels() == nullptr) return;
    if (source.empty()) {
        target.fillAll(RGBA{});  // nothing to show rather than stale pixels
        return;
    }
    if (source.w == width && source.h == height) {
        copyPixels(target, source);
        return;
    }
    const Status s = context().globalImageResizer().resizeImageSRGBWithAlpha(source, target,
                                                                              ResizeFilter::magicKernelSharpBlend);
    if (!s) target.fillAll(RGBA{});
}

void UIImageSwitch::reflow() {
    const Box p = position();
    rescale(imageWhenOn_, scaledOn_, p.width(), p.height());
    rescale(imageWhenOff_, scaledOff_, p.width(), p.height());
}

Click UIImageSwitch::onMouseClick(int, int, int, bool, MouseState mstate) {
    // Host automation is ignored while the gesture is open, so the value read
    // here is still current when the negation is written.
    param_.beginParamEdit();
    param_.setFromGUI(mstate.altPressed ? param_.defaultValue() : !getState());
    param_.endParamEdit();
    return Click::beginDrag;
}

void UIImageSwitch::onMouseEnter() {
    param_.beginParamHover();
    setDirtyWhole(UILayer::fromFlags);
}

void UIImageSwitch::onMouseExit() {
    param_.endParamHover();
    setDirtyWhole(UILayer::fromFlags);
}

bool UIImageSwitch::getState() { return param_.value(); }

void UIImageSwitch::onDrawRaw(ImageRef<RGBA> rawLayer, const Vec<Box>& dirtyRects) {
    const OwnedImage<RGBA>& image = getState() ? scaledOn_ : scaledOff_;
    const ImageRef<const RGBA> src = image;
    if (src.empty()) return;
    const int ox = drawOriginX(), oy = drawOriginY();
    for (const Box& r : dirtyRects) blendOver(rawLayer.cropImageRef(r), src.cropImageRef(r.translate(ox, oy)));
}

void UIImageSwitch::onParameterChanged(Parameter&) noexcept { setDirtyWhole(UILayer::fromFlags); }
void UIImageSwitch::onBeginParameterEdit(Parameter&) noexcept {}
void UIImageSwitch::onEndParameterEdit(Parameter&) noexcept {}
void UIImageSwitch::onBeginParameterHover(Parameter&) noexcept {}
void UIImageSwitch::onEndParameterHover(Parameter&) noexcept {}

}  // namespace fw
