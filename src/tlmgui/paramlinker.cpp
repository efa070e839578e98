#include "tlmgui/paramlinker.h"

#include "tlmgui/bitmap.h"

namespace tlmgui {

ParamLinker::ParamLinker(fw::UIContext& context, fw::Parameter& param, fw::ImageRef<const fw::RGBA> unlinkedImage,
                         fw::ImageRef<const fw::RGBA> linkedImage, bool linked, bool linkedReference)
    : UIElement(context, fw::UIFlags::drawsRaw),
      param_(param),
      images_{unlinkedImage, linkedImage},
      linked_(linked),
      linkedReference_(linkedReference) {
    param_.addListener(this);
}

ParamLinker::~ParamLinker() { param_.removeListener(this); }

void ParamLinker::drawImage(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects,
                            fw::ImageRef<const fw::RGBA> image) noexcept {
    blendUnscaled(drawOriginX(), drawOriginY(), rawLayer, dirtyRects, image);
}

void ParamLinker::onParameterChanged(fw::Parameter&) noexcept {}
void ParamLinker::onBeginParameterEdit(fw::Parameter&) noexcept {}
void ParamLinker::onEndParameterEdit(fw::Parameter&) noexcept {}
void ParamLinker::onBeginParameterHover(fw::Parameter&) noexcept {}
void ParamLinker::onEndParameterHover(fw::Parameter&) noexcept {}

fw::ImageRef<const fw::RGBA> ParamLinker::getCurrentImage() const noexcept {
    return images_[linked() == linkedReference_ ? 1 : 0];
}

fw::Click ParamLinker::onMouseClick(int, int, int, bool, fw::MouseState) {
    linked_.store(!linked(), std::memory_order_relaxed);
    setDirtyWhole();
    return fw::Click::beginDrag;
}

void ParamLinker::onMouseDrag(int, int, int, int, fw::MouseState) {}
void ParamLinker::onMouseMove(int, int, int, int, fw::MouseState) {}

void ParamLinker::onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) {
    drawImage(rawLayer, dirtyRects, getCurrentImage());
}

}  // namespace tlmgui
