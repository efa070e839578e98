#pragma once
// DebugWindow: an overlay that lists parameters with their display text, on a
// translucent black background, with a square button at the top-right corner
// that minimizes it (only the button stays).
//
// Threads: construction, addParameter, clicks and destruction on the UI thread
// (parameters are added while the editor is built, before it paints);
// onDrawRaw on the paint pool; onParameterChanged on whatever thread changed a
// parameter.

#include <atomic>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "framework/client/parameter.h"
#include "framework/client/parameterlistener.h"
#include "framework/graphics/color.h"
#include "framework/graphics/font.h"
#include "framework/gui/uielement.h"

namespace tlmgui {

class DebugWindow : public fw::UIElement, public fw::IParameterListener {
public:
    static constexpr std::size_t kTextCapacity = 256;     // including the terminating zero
    static constexpr unsigned kDisplayTextCapacity = 128;  // the part toDisplayN may fill
    static constexpr fw::RGBA kTextColor{200, 200, 200, 255};
    static constexpr const char* kTitle = "~DEBUG CONSOLE V1.0~";
    static constexpr int kTitleSize = 20;
    static constexpr int kLineSize = 10;
    static constexpr int kLineSpacing = 10;

    // UI thread. `font` must outlive the window.
    DebugWindow(fw::UIContext& context, fw::Font& font, std::uint8_t backgroundAlpha = 200, int buttonSize = 10);
    // UI thread. Removes the window from every watched parameter's listeners.
    ~DebugWindow() override;

    // Any thread but the audio thread (takes p's value lock). p's display text,
    // a space and its unit, zero-terminated and cut to `out`; returns the length.
    virtual std::size_t paramString(fw::Parameter& p, std::span<char> out) const noexcept;
    // UI thread, while the editor is built (allocates). Watches `p`, which must
    // outlive the window, under `caption`; marks dirty.
    virtual void addParameter(fw::Parameter& p, std::string caption);
    // Paint pool thread. The button: a filled square at the top-right corner of
    // the element, drawn into `layer` whose pixel 0,0 is the element's (ox, oy).
    // onDrawRaw draws it last, over a title wider than the window.
    virtual void drawMinimizeButton(fw::ImageRef<fw::RGBA> layer, int ox, int oy) noexcept;

    // Any thread; only posts a dirty rectangle.
    void onParameterChanged(fw::Parameter& sender) noexcept override;
    // UI thread; nothing.
    void onBeginParameterEdit(fw::Parameter& sender) noexcept override;
    void onEndParameterEdit(fw::Parameter& sender) noexcept override;
    void onBeginParameterHover(fw::Parameter& sender) noexcept override;
    void onEndParameterHover(fw::Parameter& sender) noexcept override;

    // UI thread. A click in the button toggles minimized; every click marks
    // dirty and starts a drag.
    fw::Click onMouseClick(int x, int y, int button, bool isDoubleClick, fw::MouseState mstate) override;
    // UI thread; nothing.
    void onAnimate(double dt, double time) override;
    // Paint pool thread. Allocates nothing (the font caches a glyph the first
    // time it is drawn at a size).
    void onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) override;

    // Any thread.
    bool minimized() const noexcept { return minimized_.load(std::memory_order_relaxed); }
    int buttonSize() const noexcept { return buttonSize_; }
    std::size_t numWatched() const noexcept { return watched_.size(); }

private:
    std::uint8_t backgroundAlpha_;
    int buttonSize_;
    std::vector<fw::Parameter*> watched_;  // not owned
    std::vector<std::string> captions_;
    fw::Font& font_;
    std::atomic<bool> minimized_{false};
};

}  // namespace tlmgui
