#pragma once
// UIImageSwitch: an on/off switch drawn as one of two images, blended over the
// raw layer. A press toggles the parameter (Alt: back to its default) at once,
// not on release; the switch then holds the mouse until release.
//
// Threads: listener calls may come from any thread and only post a dirty
// rectangle; onDrawRaw runs on the paint pool; everything else on the UI thread.

#include "framework/client/boolparameter.h"
#include "framework/client/parameterlistener.h"
#include "framework/graphics/image.h"
#include "framework/gui/uielement.h"

namespace fw {

class UIImageSwitch : public UIElement, public IParameterListener {
public:
    // UI thread. Both images are borrowed and must outlive the switch.
    UIImageSwitch(UIContext& context, BoolParameter& param, ImageRef<const RGBA> imageWhenOn,
                  ImageRef<const RGBA> imageWhenOff);
    // UI thread. Unregisters from the parameter.
    ~UIImageSwitch() override;

    // ---- UIElement (UI thread unless said otherwise) ----
    // Rescales both images to the element (alpha weighting the colours).
    void reflow() override;
    Click onMouseClick(int x, int y, int button, bool isDoubleClick, MouseState mstate) override;
    void onMouseEnter() override;
    void onMouseExit() override;
    // Paint pool thread.
    void onDrawRaw(ImageRef<RGBA> rawLayer, const Vec<Box>& dirtyRects) override;

    // Any thread. The parameter's value.
    virtual bool getState();

    // ---- IParameterListener (any thread; only posts a dirty rectangle) ----
    void onParameterChanged(Parameter& sender) noexcept override;
    void onBeginParameterEdit(Parameter& sender) noexcept override;
    void onEndParameterEdit(Parameter& sender) noexcept override;
    void onBeginParameterHover(Parameter& sender) noexcept override;
    void onEndParameterHover(Parameter& sender) noexcept override;

    // UI thread. The images at the element's size.
    const OwnedImage<RGBA>& scaledImageWhenOn() const noexcept { return scaledOn_; }
    const OwnedImage<RGBA>& scaledImageWhenOff() const noexcept { return scaledOff_; }
    BoolParameter& parameter() const noexcept { return param_; }
    // Any thread. The unscaled size of the image shown when on.
    int imageWidth() const noexcept { return onWidth_; }
    int imageHeight() const noexcept { return onHeight_; }

private:
    void rescale(ImageRef<const RGBA> source, OwnedImage<RGBA>& target, int width, int height);

    BoolParameter& param_;
    ImageRef<const RGBA> imageWhenOn_;
    ImageRef<const RGBA> imageWhenOff_;
    OwnedImage<RGBA> scaledOn_;
    OwnedImage<RGBA> scaledOff_;
    int onWidth_;
    int onHeight_;
};

}  // namespace fw
