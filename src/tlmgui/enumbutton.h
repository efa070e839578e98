#pragma once
// UIEnumButton: an image button over an integer parameter, one image per state
// (the parameter's value is the state index). Clickable areas, given in art
// units and scaled by setScale, select their state; Alt-click restores the
// default. The state images are resized to the element in reflow and blended
// over the raw layer.
//
// Threads: everything on the UI thread except onDrawRaw (paint pool) and
// onParameterChanged (whatever thread changed the parameter).

#include <span>

#include "framework/client/integerparameter.h"
#include "framework/client/parameterlistener.h"
#include "framework/core/vec.h"
#include "framework/graphics/image.h"
#include "framework/gui/uielement.h"

namespace tlmgui {

class UIEnumButton : public fw::UIElement, public fw::IParameterListener {
public:
    // UI thread. Registers with `param`. The state images are borrowed (only the
    // views are copied) and must outlive the button; image 0 gives the art size.
    UIEnumButton(fw::UIContext& context, fw::IntegerParameter& param,
                 std::span<const fw::ImageRef<const fw::RGBA>> stateImages);
    // UI thread. Removes the listener from the parameter.
    ~UIEnumButton() override;

    // UI thread. Pixels per art unit for the clickable areas and w(), h(). A
    // scale that is not a positive finite number is ignored.
    virtual void setScale(float scale);
    // Any thread. The parameter's current value.
    virtual int getState() const noexcept;
    // UI thread. `area` in art units, both ends included; later areas win on
    // shared edges.
    virtual void addClickableArea(int state, fw::Box area);
    // UI thread. The art size of image 0 in element pixels (truncated).
    virtual int w() const noexcept;
    virtual int h() const noexcept;

    // Any thread; only posts a dirty rectangle.
    void onParameterChanged(fw::Parameter& sender) noexcept override;
    // UI thread; nothing.
    void onBeginParameterEdit(fw::Parameter& sender) noexcept override;
    void onEndParameterEdit(fw::Parameter& sender) noexcept override;
    void onBeginParameterHover(fw::Parameter& sender) noexcept override;
    void onEndParameterHover(fw::Parameter& sender) noexcept override;

    // UI thread. Resizes every state image to the element.
    void reflow() override;
    // UI thread. Alt: default; otherwise every area under the pointer in order.
    // Always begins a drag (which does nothing).
    fw::Click onMouseClick(int x, int y, int button, bool isDoubleClick, fw::MouseState mstate) override;
    void onMouseMove(int x, int y, int dx, int dy, fw::MouseState mstate) override;
    void onBeginDrag() override {}
    void onMouseDrag(int x, int y, int dx, int dy, fw::MouseState mstate) override;
    void onStopDrag() override {}
    void onMouseEnter() override;
    void onMouseExit() override;
    // Paint pool thread. Blends the current state's image; allocates nothing.
    void onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) override;

    // UI thread. Number of state images.
    int stateCount() const noexcept { return int(stateImages_.length()); }
    // UI thread. The area scale in force.
    float scale() const noexcept { return areaScale_; }

private:
    struct ClickableArea {
        int state;
        fw::Box area;
    };
    // A coordinate in art units to element pixels, halves away from zero.
    int scaled(int coordinate) const noexcept;
    // Stores `state` (clamped to the range) inside an edit gesture.
    void select(int state) noexcept;

    fw::IntegerParameter& param_;
    float areaScale_ = 1.0f;
    fw::Vec<fw::ImageRef<const fw::RGBA>> stateImages_;
    fw::Vec<fw::OwnedImage<fw::RGBA>> scaledImages_;
    int imageWidth_ = 0;
    int imageHeight_ = 0;
    fw::Vec<ClickableArea> clickableAreas_;
};

}  // namespace tlmgui
