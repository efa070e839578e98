#pragma once
// EpicCompDisplay: a compressor's transfer curve over the whole element. The
// diagonal runs from the bottom-left corner to the threshold point, the curve
// then rises with slope 1 / ratio; a quadratic knee joins the two, and the area
// under the curve left of the input level is tinted.
//
// The threshold is a plain value in dB (0 dB or more puts the point at the
// top-right corner), the knee is read normalized (its half-width is half that
// fraction of the width), the ratio plain (below 1 or NaN counts as 1).
//
// Threads: construction, setInput and destruction on the UI thread; onDrawRaw
// on the paint pool; onParameterChanged on whatever thread changed a parameter.

#include <atomic>
#include <limits>

#include "framework/client/parameter.h"
#include "framework/client/parameterlistener.h"
#include "framework/graphics/color.h"
#include "framework/gui/uielement.h"

namespace tlmgui {

class EpicCompDisplay : public fw::UIElement, public fw::IParameterListener {
public:
    static constexpr fw::RGBA kLineColor{255, 255, 255, 255};
    static constexpr fw::RGBA kKneeColor{50, 255, 105, 255};
    // Alpha 150: the tint weighs 150 against the layer's 105.
    static constexpr fw::RGBA kFillColor{66, 134, 244, 150};

    // UI thread. Registers with the three parameters, which must outlive the display.
    EpicCompDisplay(fw::UIContext& context, fw::Parameter& thresholdDb, fw::Parameter& knee, fw::Parameter& ratio);
    // UI thread. Removes the listeners.
    ~EpicCompDisplay() override;

    // Any thread; only posts a dirty rectangle.
    void onParameterChanged(fw::Parameter& sender) noexcept override;
    // UI thread; nothing.
    void onBeginParameterEdit(fw::Parameter& sender) noexcept override;
    void onEndParameterEdit(fw::Parameter& sender) noexcept override;
    void onBeginParameterHover(fw::Parameter& sender) noexcept override;
    void onEndParameterHover(fw::Parameter& sender) noexcept override;

    // UI thread. The input level as a fraction of the width (NaN: no tint;
    // others clamped to 0..1); marks dirty.
    virtual void setInput(float x);
    // Any thread.
    float input() const noexcept { return input_.load(std::memory_order_relaxed); }

    // The curve's geometry for an element of w x h, as onDrawRaw draws it.
    struct Geometry {
        int thresholdX, thresholdY;  // the threshold point
        int kneeHalfWidth;
        float slope;   // 1 / ratio
        int inputX;    // the first column not tinted; -1 when nothing is
    };
    // Any thread but the audio thread (reads the knee under its value lock).
    Geometry geometry(int w, int h) const noexcept;
    // The curve's row at column x (unrounded), for a geometry of w x h.
    static float curveY(const Geometry& g, int w, int h, float x) noexcept;

    // Paint pool thread. Draws over the layer; allocates nothing.
    void onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) override;

private:
    fw::Parameter& threshold_;
    fw::Parameter& knee_;
    fw::Parameter& ratio_;
    std::atomic<float> input_{std::numeric_limits<float>::quiet_NaN()};
};

}  // namespace tlmgui
