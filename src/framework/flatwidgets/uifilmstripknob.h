#pragma once
// UIFilmstripKnob: a knob drawn as one frame of a filmstrip, chosen from the
// parameter's normalized value, blended over the raw layer. Vertical drags
// change the value (upwards increases it; Control or Shift for ten times finer
// steps); once a drag has pushed the value to an end, moving back changes it
// only after the pointer has returned past the point where the end was reached.
// Alt-click or a double click resets the parameter to its default. Only the
// disc inscribed in the element takes clicks; its corners let them through.
//
// The knob edits a FloatParameter or an IntegerParameter (another kind is a
// fatal program error at the first write). Frames come from a FilmstripCache:
// a private one, or one shared with other knobs of the same strip.
//
// Threads: listener calls may come from any thread and only post a dirty
// rectangle; onDrawRaw runs on the paint pool; everything else on the UI thread.

#include <atomic>
#include <memory>

#include "framework/client/parameter.h"
#include "framework/client/parameterlistener.h"
#include "framework/flatwidgets/dragendhold.h"
#include "framework/flatwidgets/filmstripcache.h"
#include "framework/gui/uielement.h"

namespace fw {

class UIFilmstripKnob : public UIElement, public IParameterListener {
public:
    // UI thread. Owns a cache of `strip` (borrowed; it must outlive the knob).
    UIFilmstripKnob(UIContext& context, Parameter& param, ImageRef<const RGBA> strip, int numFrames,
                    float sensitivity);
    // UI thread. Borrows `sharedFrames`, which must outlive the knob.
    UIFilmstripKnob(UIContext& context, Parameter& param, FilmstripCache& sharedFrames, float sensitivity);
    // UI thread. Unregisters from the parameter it registered with.
    ~UIFilmstripKnob() override;

    // ---- UIElement (UI thread unless said otherwise) ----
    void reflow() override;
    Click onMouseClick(int x, int y, int button, bool isDoubleClick, MouseState mstate) override;
    void onMouseMove(int x, int y, int dx, int dy, MouseState mstate) override;
    void onBeginDrag() override;
    void onMouseDrag(int x, int y, int dx, int dy, MouseState mstate) override;
    void onStopDrag() override;
    void onMouseEnter() override;
    void onMouseExit() override;
    // Paint pool thread.
    void onDrawRaw(ImageRef<RGBA> rawLayer, const Vec<Box>& dirtyRects) override;

    // ---- Knob operations ----
    // UI thread.
    virtual float sensivity() { return sensitivity_; }
    virtual void sensivity(float sensitivity) { sensitivity_ = sensitivity; }
    // UI thread. Drags do nothing afterwards.
    virtual void disable() { disabled_ = true; }
    // Any thread. Euclidean distance between (x1, y1) and (x2, y2).
    virtual float distance(float x1, float x2, float y1, float y2);
    // Paint pool thread. Picks the frame for the current value and makes it ready.
    virtual void setCurrentImage();

    // ---- IParameterListener (any thread; only posts a dirty rectangle) ----
    void onParameterChanged(Parameter& sender) noexcept override;
    void onBeginParameterEdit(Parameter& sender) noexcept override;
    void onEndParameterEdit(Parameter& sender) noexcept override;
    void onBeginParameterHover(Parameter& sender) noexcept override;
    void onEndParameterHover(Parameter& sender) noexcept override;

    // UI thread. No crossing point: drags act at once in both directions.
    virtual void clearCrosspoints();
    // Paint pool thread. Frame `frame` at the element's size, scaled on first use.
    virtual ImageRef<const RGBA> cacheImage(int frame);

    // ---- State (UI thread unless said otherwise) ----
    // Any thread. The parameter shown and edited.
    Parameter& parameter() const noexcept { return *shown_.load(std::memory_order_acquire); }
    FilmstripCache& frames() const noexcept { return *frames_; }
    const FilmstripCache::Handle& framesHandle() const noexcept { return handle_; }
    int numFrames() const noexcept { return frames_->numFrames(); }
    // The frame picked by the last paint.
    int shownFrame() const noexcept { return shownFrame_; }
    float dragValue() const noexcept { return dragValue_; }
    float minCrossing() const noexcept { return ends_.low; }
    float maxCrossing() const noexcept { return ends_.high; }
    bool isDisabled() const noexcept { return disabled_; }

protected:
    // Any thread (listeners of a subclass). Makes `param` the parameter shown and
    // edited from the next paint or event on; the listener stays where it was
    // registered at construction.
    void setShownParameter(Parameter& param) noexcept { shown_.store(&param, std::memory_order_release); }

private:
    UIFilmstripKnob(UIContext& context, Parameter& param, std::unique_ptr<FilmstripCache> ownedFrames,
                    FilmstripCache* frames, float sensitivity);
    // UI thread. An editor write of `normalized`; fatal for a parameter that is
    // neither float nor integer.
    static void writeNormalized(Parameter& param, double normalized) noexcept;
    // UI thread. The default, as one editor write.
    static void writeDefault(Parameter& param) noexcept;

    // Declared before the handle, so that the handle is released first.
    std::unique_ptr<FilmstripCache> ownedFrames_;
    FilmstripCache* frames_;
    FilmstripCache::Handle handle_;
    Parameter& registered_;  // where the listener is registered
    // Written by listener threads of a subclass, read by the UI thread and the
    // painters; release/acquire so that a reader sees a fully built parameter.
    std::atomic<Parameter*> shown_;
    Parameter* editing_ = nullptr;   // the parameter of the open drag gesture
    Parameter* hovering_ = nullptr;  // the parameter told of the hover
    ImageRef<const RGBA> currentFrame_;
    int shownFrame_ = 0;
    float sensitivity_;
    DragEndHold ends_;
    float dragValue_ = 0.0f;
    bool disabled_ = false;
};

}  // namespace fw
