#pragma once
// Two level displays of the widget package.
//
// FFTDisplay: eight bars side by side in the top-left barWidth x barHeight area
// of the element, growing from the bottom by their value (0..1; NaN counts as
// 0, others are clamped). It may follow a parameter, whose plain value then
// drives the first bar. Bars are written opaque, without blending.
//
// SingleDisplay: one vertical level bar shaped by a mask image's alpha, its
// lit part shaded from the main colour at the centre column to a darker
// derived colour at the edges, with a marker line for the gain reduction.
//
// Threads: construction, the feeding operations and destruction on the UI
// thread; painting on the paint pool; onParameterChanged on whatever thread
// changed the parameter. Values are kept in relaxed atomics: each is an
// independent sample and a paint that sees an older one only lags a frame.

#include <atomic>
#include <span>

#include "framework/client/parameter.h"
#include "framework/client/parameterlistener.h"
#include "framework/graphics/color.h"
#include "framework/graphics/image.h"
#include "framework/gui/bufferedelement.h"
#include "framework/gui/uielement.h"
#include "tlmgui/atomiccolor.h"

namespace tlmgui {

class FFTDisplay : public fw::UIElement, public fw::IParameterListener {
public:
    static constexpr int kNumBars = 8;
    static constexpr fw::RGBA kDefaultBarColor{40, 224, 59, 255};
    static constexpr fw::RGBA kDefaultBackColor{0, 0, 0, 0};

    // UI thread. With a non-null `followed` the display registers as its
    // listener; `followed` must then outlive the display.
    explicit FFTDisplay(fw::UIContext& context, fw::Parameter* followed = nullptr);
    // UI thread. Removes the listener from the followed parameter.
    ~FFTDisplay() override;

    // UI thread. The painted area and the bar colour; marks dirty. Negative
    // sizes count as 0.
    virtual void initialize(int width, int height, fw::RGBA color);
    // UI thread. Copies the first eight values (fewer when fewer are given); marks dirty.
    virtual void setValues(std::span<const float> values);
    // UI thread. An index outside 0..7 is ignored; marks dirty.
    virtual void setValue(int index, float value);
    // UI or paint pool thread. When following, the first bar takes the
    // followed parameter's plain value (a lock-free read).
    virtual void update();

    // UI thread. Whether update() copies the followed parameter (no effect without one).
    void setFollowParam(bool follow) noexcept { followParam_.store(follow, std::memory_order_relaxed); }
    // UI thread. The back colour of the unlit rows; marks dirty.
    void setBackColor(fw::RGBA color);
    // Any thread. The stored value of bar `index` (0 outside 0..7).
    float value(int index) const noexcept;

    // Any thread; only posts a dirty rectangle.
    void onParameterChanged(fw::Parameter& sender) noexcept override;
    // UI thread; nothing.
    void onBeginParameterEdit(fw::Parameter& sender) noexcept override;
    void onEndParameterEdit(fw::Parameter& sender) noexcept override;
    void onBeginParameterHover(fw::Parameter& sender) noexcept override;
    void onEndParameterHover(fw::Parameter& sender) noexcept override;

    // Paint pool thread. Calls update(), then paints the whole bar area
    // (ignoring the dirty rectangles); allocates nothing.
    void onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) override;

private:
    fw::Parameter* followedParam_;  // not owned; may be null
    std::atomic<float> values_[kNumBars] = {0.1f, 0.3f, 0.4f, 0.2f, 0.5f, 0.9f, 0.8f, 1.0f};
    AtomicColor barColor_{kDefaultBarColor};
    AtomicColor backColor_{kDefaultBackColor};
    std::atomic<int> barWidth_{0};
    std::atomic<int> barHeight_{0};
    std::atomic<bool> followParam_{false};
};

class SingleDisplay : public fw::UIBufferedElementRaw {
public:
    static constexpr std::size_t kTextCapacity = 5;  // including the terminating zero
    // The gain reduction that puts the marker at the bar's bottom row.
    static constexpr float kMarkerRangeDb = 24.0f;
    static constexpr fw::RGBA kUnlitColor{30, 30, 30, 255};
    static constexpr fw::RGBA kMarkerColor{255, 255, 255, 255};

    // UI thread. `mask` is borrowed and must outlive the display; its alpha
    // shapes the bar (pixels beyond it are transparent).
    SingleDisplay(fw::UIContext& context, fw::ImageRef<const fw::RGBA> mask);

    // UI thread. The bar size (the top-left part of the element that is
    // painted) and the main colour; the derived colour is the main one less
    // 100 in red, green and blue (floored at 0), same alpha. Marks dirty.
    virtual void initialize(int width, int height, fw::RGBA color);
    // UI thread. The level (0..1, clamped; NaN counts as 0) and the gain
    // reduction in dB (positive; the marker goes down with it). Marks dirty.
    virtual void setValue(float level, float reductionDb);
    // UI thread. "-<reduction>db" cut to the five-byte buffer, or "" while the
    // level is 0. The text stays valid until the next call.
    virtual const char* greductionString() noexcept;
    // UI thread; nothing.
    virtual void onBeginParameterHover(fw::Parameter& sender) noexcept;
    virtual void onEndParameterHover(fw::Parameter& sender) noexcept;

    // Any thread. The colours initialize derived.
    fw::RGBA mainColor() const noexcept { return mainColor_.load(); }
    fw::RGBA derivedColor() const noexcept { return derivedColor_.load(); }
    // Paint pool or UI thread. The marker's row for a bar `height` rows high.
    int markerRow(int height) const noexcept;

protected:
    // Paint pool thread. Paints the bar into the buffers; allocates nothing.
    void onDrawBufferedRaw(fw::ImageRef<fw::RGBA> colorBuffer, fw::ImageRef<fw::L8> opacityBuffer) override;

private:
    fw::ImageRef<const fw::RGBA> mask_;
    std::atomic<float> level_{0.0f};
    std::atomic<float> reductionDb_{0.0f};
    AtomicColor mainColor_{fw::RGBA{255, 255, 255, 255}};
    AtomicColor derivedColor_{fw::RGBA{155, 155, 155, 255}};
    std::atomic<int> barWidth_{0};
    std::atomic<int> barHeight_{0};
    char text_[kTextCapacity] = {};
};

}  // namespace tlmgui
