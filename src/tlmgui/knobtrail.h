#pragma once
// UIKnobTrail: a coloured annular arc around a knob showing a parameter's
// normalized value. The arc runs from the base angle to the value's angle on a
// 270-degree travel open at the bottom; it is drawn in the raw layer, centred in
// the largest square of the element. Clicks fall through to the knob beneath.
//
// Threads: construction, setters, mouse handling and destruction on the UI
// thread; onDrawRaw on the paint pool; onParameterChanged on whatever thread
// changed the parameter.

#include <atomic>

#include "framework/client/parameter.h"
#include "framework/client/parameterlistener.h"
#include "framework/graphics/color.h"
#include "framework/gui/uielement.h"

namespace tlmgui {

class UIKnobTrail : public fw::UIElement, public fw::IParameterListener {
public:
    static constexpr fw::RGBA kDefaultTrailColor{255, 101, 101, 255};
    static constexpr fw::RGBA kDefaultDisabledColor{124, 30, 30, 100};

    // UI thread. Registers with `param` (which must outlive the trail).
    UIKnobTrail(fw::UIContext& context, fw::Parameter& param);
    // UI thread. Removes the listener from the parameter currently shown.
    ~UIKnobTrail() override;

    // UI thread. Geometry and colours; each marks the trail dirty.
    void setCenterScale(float scale);
    // Fractions of half the square's side.
    void setInnerRadius(float radius);
    void setOuterRadius(float radius);
    void setTrailColor(fw::RGBA color);
    void setDisabledColor(fw::RGBA color);
    // Centre shift in units of centerScale x half the side.
    void setOffset(float x, float y);

    // Any thread. Kept for a knob-like interface; the trail does not use it.
    virtual float sensivity() const noexcept { return sensitivity_; }
    // UI thread.
    virtual void sensivity(float sensitivity) noexcept { sensitivity_ = sensitivity; }

    // Any thread; only posts a dirty rectangle.
    void onParameterChanged(fw::Parameter& sender) noexcept override;
    // UI thread; nothing.
    void onBeginParameterEdit(fw::Parameter& sender) noexcept override;
    void onEndParameterEdit(fw::Parameter& sender) noexcept override;
    void onBeginParameterHover(fw::Parameter& sender) noexcept override;
    void onEndParameterHover(fw::Parameter& sender) noexcept override;

    // UI thread. Selects the disabled colour; marks the trail dirty.
    virtual void setDisabled(bool disabled);
    // Any thread. Radians in the sector fill's convention (clockwise on screen
    // from the positive x axis): the offsets plus 3 pi / 2.
    virtual float getMinAngle() const noexcept;
    virtual float getMaxAngle() const noexcept;
    virtual float getBaseAngle() const noexcept;
    // Any thread but the audio thread (reads the parameter under its lock).
    // Linear between the min and max angles by the normalized value.
    virtual float getValueAngle() const noexcept;
    // UI thread. Kept for a knob-like interface.
    virtual void clearCrosspoints() noexcept;

    // UI thread. Clicks fall through to the knob below; the rest does nothing.
    fw::Click onMouseClick(int x, int y, int button, bool isDoubleClick, fw::MouseState mstate) override;
    void onMouseMove(int x, int y, int dx, int dy, fw::MouseState mstate) override;
    void onBeginDrag() override {}
    void onMouseDrag(int x, int y, int dx, int dy, fw::MouseState mstate) override;
    void onStopDrag() override {}
    void onMouseExit() override {}
    // Paint pool thread. Allocates nothing.
    void onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) override;

    // Any thread. The parameter shown now.
    fw::Parameter& shownParameter() const noexcept { return *param_.load(std::memory_order_relaxed); }
    // Any thread.
    bool isDisabled() const noexcept { return disabled_.load(std::memory_order_relaxed); }
    // UI thread.
    float lowCrosspoint() const noexcept { return lowCrosspoint_; }
    // UI thread.
    float highCrosspoint() const noexcept { return highCrosspoint_; }

protected:
    // Any thread. Replaces the parameter shown (not the listener registration).
    // Relaxed is enough: the parameters exist before the trail and outlive it,
    // and every caller marks the trail dirty afterwards, so the dirty list's
    // mutex orders the store before the paint that must see it.
    void setShownParameter(fw::Parameter& param) noexcept { param_.store(&param, std::memory_order_relaxed); }

private:
    float centerScale_ = 0.75f;
    fw::RGBA trailColor_ = kDefaultTrailColor;
    fw::RGBA disabledColor_ = kDefaultDisabledColor;
    float innerRadius_ = 0.85f;
    float outerRadius_ = 0.97f;
    float offsetX_ = 0.0f;
    float offsetY_ = 0.0f;
    float minAngleOffset_ = -2.3561945f;   // -3 pi / 4
    float baseAngleOffset_ = -2.3561945f;
    float maxAngleOffset_ = 2.3561945f;    // +3 pi / 4
    std::atomic<fw::Parameter*> param_;
    std::atomic<bool> disabled_{false};
    float sensitivity_ = 0.25f;
    float lowCrosspoint_ = 0.0f;
    float highCrosspoint_ = 0.0f;
};

}  // namespace tlmgui
