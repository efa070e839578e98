#pragma once
// ParamLinker: a two-image toggle. A click flips `linked`; image 1 shows while
// `linked` equals the reference state, image 0 otherwise. It listens to its
// parameter but nothing it hears changes it.
//
// Threads: everything on the UI thread except onDrawRaw (paint pool) and the
// listener operations (whatever thread changed the parameter).

#include <atomic>

#include "framework/client/parameter.h"
#include "framework/client/parameterlistener.h"
#include "framework/graphics/image.h"
#include "framework/gui/uielement.h"

namespace tlmgui {

class ParamLinker : public fw::UIElement, public fw::IParameterListener {
public:
    // UI thread. Registers with `param`, which must outlive the linker; the
    // images are borrowed and must outlive it too.
    ParamLinker(fw::UIContext& context, fw::Parameter& param, fw::ImageRef<const fw::RGBA> unlinkedImage,
                fw::ImageRef<const fw::RGBA> linkedImage, bool linked, bool linkedReference);
    // UI thread. Removes the listener from the parameter.
    ~ParamLinker() override;

    // Paint pool thread. Blends `image` unscaled into the dirty rectangles.
    virtual void drawImage(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects,
                           fw::ImageRef<const fw::RGBA> image) noexcept;
    // Any thread; nothing.
    void onParameterChanged(fw::Parameter& sender) noexcept override;
    void onBeginParameterEdit(fw::Parameter& sender) noexcept override;
    void onEndParameterEdit(fw::Parameter& sender) noexcept override;
    void onBeginParameterHover(fw::Parameter& sender) noexcept override;
    void onEndParameterHover(fw::Parameter& sender) noexcept override;
    // Any thread. Image 1 when linked equals the reference, else image 0.
    virtual fw::ImageRef<const fw::RGBA> getCurrentImage() const noexcept;

    // UI thread. Flips `linked`, marks dirty, begins a drag (which does nothing).
    fw::Click onMouseClick(int x, int y, int button, bool isDoubleClick, fw::MouseState mstate) override;
    void onMouseDrag(int x, int y, int dx, int dy, fw::MouseState mstate) override;
    void onMouseMove(int x, int y, int dx, int dy, fw::MouseState mstate) override;
    // Paint pool thread. Allocates nothing.
    void onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) override;

    // Any thread.
    bool linked() const noexcept { return linked_.load(std::memory_order_relaxed); }

private:
    fw::Parameter& param_;
    fw::ImageRef<const fw::RGBA> images_[2];
    // Relaxed: a single flag read by the paint that the click's dirty mark queues.
    std::atomic<bool> linked_;
    bool linkedReference_;
};

}  // namespace tlmgui
