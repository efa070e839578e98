#pragma once
// UISlider and UISliderHandle: the vector-drawn slider. UISlider paints the
// filled part of the bar (a vertical gradient from the value's height down to
// the bottom margin); UISliderHandle, laid over it, draws the handle image at
// the value's height and takes the drags (upwards increases; ten times finer
// with Ctrl or Shift; Alt or a double click resets to the default).
//
// Threads: everything on the UI thread except onDrawRaw / onDrawBufferedRaw
// (paint pool) and onParameterChanged (whatever thread changed the parameter).

#include <atomic>

#include "framework/canvas/canvas.h"
#include "framework/client/floatparameter.h"
#include "framework/flatwidgets/dragendhold.h"
#include "framework/client/parameterlistener.h"
#include "framework/graphics/image.h"
#include "framework/gui/bufferedelement.h"
#include "framework/gui/uielement.h"

namespace kestrin {

class UISlider : public fw::UIElement, public fw::IParameterListener {
public:
    static constexpr float kBarLeft = 0.3f;        // of the width
    static constexpr float kBarWidth = 0.2f;       // of the width
    static constexpr float kBottomMargin = 0.0542f;  // of the height
    static constexpr float kTopMargin = 0.0181f;   // of the height
    static constexpr fw::RGBA kTopColor{82, 95, 215, 255};
    static constexpr fw::RGBA kBottomColor{49, 57, 129, 255};

    // UI thread. Registers with `param`, which must outlive the slider.
    UISlider(fw::UIContext& context, fw::FloatParameter& param);
    // UI thread. Removes the listener from the parameter.
    ~UISlider() override;

    // Any thread; recomputes the fill's top and posts a dirty rectangle.
    void onParameterChanged(fw::Parameter& sender) noexcept override;
    // UI thread; nothing.
    void onBeginParameterEdit(fw::Parameter& sender) noexcept override;
    void onEndParameterEdit(fw::Parameter& sender) noexcept override;
    void onBeginParameterHover(fw::Parameter& sender) noexcept override;
    void onEndParameterHover(fw::Parameter& sender) noexcept override;

    // UI thread. Recomputes the fill's top for the new height.
    void reflow() override;
    // Paint pool thread. Allocates only while the canvas grows to the largest
    // dirty rectangle.
    void onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) override;

    // Any thread. The fill's top row in element pixels.
    int fillTop() const noexcept { return fillTop_.load(std::memory_order_relaxed); }
    // Any thread. The fill's top for `normalized` in an element `height` tall.
    static int fillTopFor(double normalized, int height) noexcept;

private:
    void updateFillTop() noexcept;

    fw::Canvas canvas_;
    fw::FloatParameter& param_;
    // Relaxed: a lone value; the dirty rectangle posted after it orders the paint.
    std::atomic<int> fillTop_{0};
};

class UISliderHandle : public fw::UIBufferedElementRaw, public fw::IParameterListener {
public:
    // UI thread. Registers with `param`, which must outlive the handle; the
    // handle image is borrowed and must outlive it too.
    UISliderHandle(fw::UIContext& context, fw::FloatParameter& param, fw::ImageRef<const fw::RGBA> handleImage,
                   float sensitivity);
    // UI thread. Removes the listener from the parameter.
    ~UISliderHandle() override;

    // Any thread; recomputes the handle's centre and posts a dirty rectangle.
    void onParameterChanged(fw::Parameter& sender) noexcept override;
    // UI thread; nothing.
    void onBeginParameterEdit(fw::Parameter& sender) noexcept override;
    void onEndParameterEdit(fw::Parameter& sender) noexcept override;
    void onBeginParameterHover(fw::Parameter& sender) noexcept override;
    void onEndParameterHover(fw::Parameter& sender) noexcept override;
    // Any thread. centerY = round((1 - value) x travel) + half the handle's height.
    virtual void updateCenterY() noexcept;

    // UI thread. Takes the travel from the element's height.
    void reflow() override;
    // UI thread.
    fw::Click onMouseClick(int x, int y, int button, bool isDoubleClick, fw::MouseState mstate) override;
    void onBeginDrag() override;
    void onMouseDrag(int x, int y, int dx, int dy, fw::MouseState mstate) override;
    void onStopDrag() override;

    // Any thread. The handle's centre row in element pixels.
    int centerY() const noexcept { return centerY_.load(std::memory_order_relaxed); }
    // UI thread. Drag coordinates where the value hit 0 or 1 (NaN before any drag).
    float lowCrosspoint() const noexcept { return ends_.low; }
    float highCrosspoint() const noexcept { return ends_.high; }

protected:
    // Paint pool thread. The handle image's rows around centerY, blended over
    // the colour buffer, its alpha written as the opacity; allocates nothing.
    void onDrawBufferedRaw(fw::ImageRef<fw::RGBA> colorBuffer, fw::ImageRef<fw::L8> opacityBuffer) override;

private:
    fw::FloatParameter& param_;
    fw::ImageRef<const fw::RGBA> handleImage_;
    // Relaxed: a lone value; the dirty rectangle posted after it orders the paint.
    std::atomic<int> centerY_{0};
    std::atomic<int> halfHandleHeight_{0};
    std::atomic<int> travelLength_{0};
    float sensitivity_;
    fw::DragEndHold ends_;
};

}  // namespace kestrin
