#pragma once
// AnimatedButton: an image button (idle, hover and press images, resized to the
// element) whose press plays a 100 ms fade-in of the press image and a 100 ms
// fade-out before its action runs, once.
//
// Threads: everything on the UI thread except onDrawRaw (paint pool).

#include <functional>

#include "framework/graphics/image.h"
#include "framework/gui/uielement.h"

namespace tlmgui {

class AnimatedButton : public fw::UIElement {
public:
    static constexpr float kPressDurationMs = 100.0f;

    // UI thread. The three images are borrowed and must outlive the button.
    AnimatedButton(fw::UIContext& context, fw::ImageRef<const fw::RGBA> idle, fw::ImageRef<const fw::RGBA> hover,
                   fw::ImageRef<const fw::RGBA> press, std::function<void()> action);

    // UI thread. Runs the action given at construction, if any.
    virtual void clickAction();

    // UI thread. Resizes the images to the element (copies when equal).
    void reflow() override;
    // UI thread. Starts a press unless one is playing (then not handled).
    fw::Click onMouseClick(int x, int y, int button, bool isDoubleClick, fw::MouseState mstate) override;
    void onMouseEnter() override;
    void onMouseExit() override;
    // UI thread. Advances the press; the action runs when the fade-out ends.
    void onAnimate(double dt, double time) override;
    // Paint pool thread. Allocates nothing.
    void onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) override;

    // UI thread; for tests and tools.
    bool hovered() const noexcept { return hovered_; }
    bool animating() const noexcept { return animating_; }
    float pressTime() const noexcept { return pressTime_; }

private:
    fw::ImageRef<const fw::RGBA> idle_;
    fw::OwnedImage<fw::RGBA> idleScaled_;
    fw::ImageRef<const fw::RGBA> hover_;
    fw::OwnedImage<fw::RGBA> hoverScaled_;
    fw::ImageRef<const fw::RGBA> press_;
    fw::OwnedImage<fw::RGBA> pressScaled_;
    bool hovered_ = false;
    bool animating_ = false;
    bool rising_ = true;
    float pressDuration_ = kPressDurationMs;
    float pressTime_ = 0.0f;
    std::function<void()> action_;
};

// UI thread. Resizes `src` into `dst` of w x h (copy when equal); unusable art
// leaves `dst` transparent.
void resizeArt(fw::UIContext& context, fw::ImageRef<const fw::RGBA> src, fw::OwnedImage<fw::RGBA>& dst, int w,
               int h);

}  // namespace tlmgui
