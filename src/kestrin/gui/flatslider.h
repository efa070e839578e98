#pragma once
// UIFilmstripSlider: the plug-in's filmstrip slider. Its art is a strip of
// numFrames frames, stacked top to bottom or laid side by side; the frame for
// the parameter's value is resized to the element on first display (then
// cached until the size changes) and blended over the raw layer. Dragging
// moves the value (vertically by default, upwards increases; ten times finer
// with Ctrl or Shift); Alt or a double click resets it. Unlike the framework's
// slider it tells the parameter nothing about hovering.
//
// Threads: everything on the UI thread except onDrawRaw and cacheImage (paint
// pool) and onParameterChanged (whatever thread changed the parameter).

#include <cstdint>

#include "framework/client/floatparameter.h"
#include "framework/flatwidgets/dragendhold.h"
#include "framework/client/parameterlistener.h"
#include "framework/core/vec.h"
#include "framework/graphics/image.h"
#include "framework/graphics/imageresizer.h"
#include "framework/gui/uielement.h"

namespace kestrin {

class UIFilmstripSlider : public fw::UIElement, public fw::IParameterListener {
public:
    // UI thread. Registers with `param`. The strip is borrowed and must outlive
    // the slider. A strip that cannot hold numFrames frames of at least one
    // pixel (numFrames < 1, or fewer pixels than frames along the layout) is
    // accepted but draws nothing.
    UIFilmstripSlider(fw::UIContext& context, fw::FloatParameter& param, fw::ImageRef<const fw::RGBA> filmstrip,
                      int numFrames, float sensitivity, bool framesSideBySide);
    // UI thread. Removes the listener from the parameter.
    ~UIFilmstripSlider() override;

    // UI thread. Drag along x (rightwards increases) instead of y.
    void setDragHorizontally(bool horizontally) noexcept { dragHorizontally_ = horizontally; }
    bool dragsHorizontally() const noexcept { return dragHorizontally_; }

    // UI thread. The share of the full range that a drag over the element's extent covers.
    virtual float sensivity() const noexcept { return sensitivity_; }
    virtual void sensivity(float sensitivity) noexcept { sensitivity_ = sensitivity; }

    // Any thread; only posts a dirty rectangle.
    void onParameterChanged(fw::Parameter& sender) noexcept override;
    // UI thread; nothing.
    void onBeginParameterEdit(fw::Parameter& sender) noexcept override;
    void onEndParameterEdit(fw::Parameter& sender) noexcept override;
    void onBeginParameterHover(fw::Parameter& sender) noexcept override;
    void onEndParameterHover(fw::Parameter& sender) noexcept override;

    // UI thread. Drags do nothing afterwards.
    virtual void disable() noexcept { disabled_ = true; }
    // UI thread. Forgets where a drag hit either end of the range.
    virtual void clearCrosspoints() noexcept;
    // Paint pool thread (or UI thread outside painting). Resizes frame `frame`
    // into the cache unless it is there already; out-of-range frames are ignored.
    // May grow the slider's own resize scratch the first time.
    virtual void cacheImage(int frame) noexcept;

    // UI thread. Sizes the frame cache to the element; a new size empties it.
    // At the strip's own frame size no cache is kept.
    void reflow() override;
    // UI thread.
    fw::Click onMouseClick(int x, int y, int button, bool isDoubleClick, fw::MouseState mstate) override;
    void onBeginDrag() override;
    void onMouseDrag(int x, int y, int dx, int dy, fw::MouseState mstate) override;
    void onStopDrag() override;
    void onMouseEnter() override {}
    void onMouseExit() override {}
    // Paint pool thread. Blends the value's frame; allocates nothing but the
    // one-time cache fill.
    void onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) override;

    // Any thread but the audio thread. The frame the current value shows.
    int currentFrame() const noexcept;
    // Any thread. As constructed.
    int numFrames() const noexcept { return numFrames_; }
    // Any thread. Source frame size in the strip; 0 x 0 for a strip that cannot be split.
    int sourceFrameWidth() const noexcept { return sourceFrameWidth_; }
    int sourceFrameHeight() const noexcept { return sourceFrameHeight_; }
    // UI thread. Drag coordinates where the value hit 0 or 1 (NaN before any drag).
    float lowCrosspoint() const noexcept { return ends_.low; }
    float highCrosspoint() const noexcept { return ends_.high; }
    // UI thread, outside painting. Whether frame i is in the cache.
    bool isFrameCached(int frame) const noexcept;

private:
    bool usable() const noexcept { return sourceFrameWidth_ > 0 && sourceFrameHeight_ > 0; }
    // Frame i of the strip (clipped to it).
    fw::ImageRef<const fw::RGBA> sourceFrame(int frame) const noexcept;

    bool dragHorizontally_ = false;
    fw::FloatParameter& param_;
    fw::ImageRef<const fw::RGBA> filmstrip_;
    // One image per frame rather than one strip-sized image: a strip of the
    // element's size times numFrames can exceed the largest image side.
    fw::Vec<fw::OwnedImage<fw::RGBA>> frameCache_;
    fw::Vec<std::uint8_t> frameCached_;
    int numFrames_;
    int sourceFrameHeight_ = 0;
    int sourceFrameWidth_ = 0;
    float sensitivity_;
    fw::DragEndHold ends_;
    bool framesSideBySide_;
    bool disabled_ = false;
    // The element has the source frames' size: frames are drawn from the strip.
    bool drawsFromStrip_ = false;
    fw::ImageResizer resizer_;
};

}  // namespace kestrin
