#pragma once
// UIWindowResizer: the grip in the editor's corner. Dragging it asks for the
// window size at drag start plus the distance dragged, snapped to the nearest
// valid size; a refused request shows the grip in a warning colour for a
// while. The grip is three antialiased stripes filled over the raw layer, in
// a colour for each state (rest, hovered, dragged, refused). A fixed-size
// editor's grip does not take the mouse.
//
// Threads: onDrawRaw runs on the paint pool; everything else on the UI thread.

#include "framework/canvas/canvas.h"
#include "framework/graphics/color.h"
#include "framework/gui/uielement.h"

namespace fw {

class UIWindowResizer : public UIElement {
public:
    static constexpr RGBA kGripColor{255, 255, 255, 96};
    static constexpr RGBA kGripHoverColor{255, 255, 255, 150};
    static constexpr RGBA kGripDragColor{255, 255, 128, 200};
    static constexpr RGBA kGripRefusedColor{255, 96, 96, 200};
    static constexpr double kRefusedDisplayTime = 1.2;  // seconds

    // UI thread.
    explicit UIWindowResizer(UIContext& context);

    // ---- UIElement (UI thread unless said otherwise) ----
    // False everywhere when the editor is not resizable.
    bool contains(int x, int y) override;
    Click onMouseClick(int x, int y, int button, bool isDoubleClick, MouseState mstate) override;
    void onBeginDrag() override;
    void onMouseDrag(int x, int y, int dx, int dy, MouseState mstate) override;
    void onStopDrag() override;
    void onMouseEnter() override;
    void onMouseExit() override;
    // Counts the refusal colour down.
    void onAnimate(double dt, double time) override;
    // Paint pool thread.
    void onDrawRaw(ImageRef<RGBA> rawLayer, const Vec<Box>& dirtyRects) override;

    // UI thread (or the painter). The colour for the current state.
    RGBA currentColor() const noexcept;
    // UI thread. Seconds the refusal colour still shows.
    double refusalTimeLeft() const noexcept { return refusalTimer_; }

private:
    Canvas canvas_;  // used only by the painter of this element
    int startWidth_ = 0;
    int startHeight_ = 0;
    int dragX_ = 0;
    int dragY_ = 0;
    double refusalTimer_ = 0.0;
    bool dragged_ = false;
    bool hovered_ = false;
};

}  // namespace fw
