#pragma once
// UIElement: the base of everything visible in the editor. Elements form a tree
// that owns its children; each covers `position` (root pixel coordinates) and
// paints the raw RGBA layer, the three lighting layers, or both, as its flags
// say. The tree routes window events to elements (topmost by z-order first),
// and elements post dirty rectangles to their context for the next frame.
//
// Threads: setDirty and setDirtyWhole may be called from any thread; onDrawRaw
// and onDrawPBR run on the editor's paint pool; everything else runs on the UI
// thread.

#include <atomic>
#include <cstdint>
#include <memory>

#include "framework/core/vec.h"
#include "framework/graphics/image.h"
#include "framework/math/box.h"
#include "framework/window/windowevents.h"

namespace fw {

class UIContext;

// Which layers a dirty rectangle concerns.
enum class UILayer : std::int32_t {
    fromFlags = 0,     // the lighting layers if the element paints them, else the raw layer
    rawLayerOnly = 1,
    bothLayers = 2,    // lighting layers; the raw layer is recomposed over them anyway
};

// What an element did with a click.
enum class Click : std::int32_t {
    handled = 0,
    beginDrag = 1,  // handled, and the element follows the mouse until release
    notHandled = 2,
};

// Bits of UIElement::flags().
struct UIFlags {
    static constexpr std::uint32_t drawsRaw = 1;      // paints the raw RGBA layer
    static constexpr std::uint32_t drawsPBR = 2;      // paints diffuse, depth and material
    static constexpr std::uint32_t isAnimated = 4;    // receives onAnimate
    static constexpr std::uint32_t drawAloneRaw = 8;  // never painted beside another element (raw pass)
    static constexpr std::uint32_t drawAlonePBR = 16; // the same for the lighting pass
};

// A rectangle the UI thread writes while other threads read it (setDirty from
// parameter listeners). Each coordinate is read whole; a mix of old and new
// coordinates only moves a dirty rectangle, which the pipeline clips anyway, so
// relaxed ordering is enough.
class SharedBox {
public:
    Box load() const noexcept {
        return Box{v_[0].load(std::memory_order_relaxed), v_[1].load(std::memory_order_relaxed),
                   v_[2].load(std::memory_order_relaxed), v_[3].load(std::memory_order_relaxed)};
    }
    void store(const Box& b) noexcept {
        v_[0].store(b.minX, std::memory_order_relaxed);
        v_[1].store(b.minY, std::memory_order_relaxed);
        v_[2].store(b.maxX, std::memory_order_relaxed);
        v_[3].store(b.maxY, std::memory_order_relaxed);
    }

private:
    std::atomic<int> v_[4] = {0, 0, 0, 0};
};

class UIElement {
public:
    static constexpr int kElementIdCapacity = 64;  // including the terminating zero

    // UI thread. `flags` is a combination of UIFlags bits.
    UIElement(UIContext& context, std::uint32_t flags);
    // UI thread. Destroys the children first, in child order.
    virtual ~UIElement();
    UIElement(const UIElement&) = delete;
    UIElement& operator=(const UIElement&) = delete;

    // ---- Overridable behaviour (UI thread unless said otherwise) ----

    // After `position` changed: lay out the children.
    virtual void reflow() {}
    // Local coordinates (relative to position's top-left). `button` is a MouseButton value.
    virtual Click onMouseClick(int x, int y, int button, bool isDoubleClick, MouseState mstate);
    // true when consumed.
    virtual bool onMouseWheel(int x, int y, int wheelDeltaX, int wheelDeltaY, MouseState mstate);
    virtual void onMouseMove(int x, int y, int dx, int dy, MouseState mstate);
    virtual void onBeginDrag() {}
    // Local coordinates, which may lie outside the element while dragging.
    virtual void onMouseDrag(int x, int y, int dx, int dy, MouseState mstate);
    virtual void onStopDrag() {}
    virtual void onMouseEnter() {}
    virtual void onMouseExit() {}
    virtual void onFocusEnter() {}
    virtual void onFocusExit() {}
    // true when consumed.
    virtual bool onKeyDown(Key key);
    virtual bool onKeyUp(Key key);
    // Local coordinates; by default inside the element's width and height.
    virtual bool contains(int x, int y);
    // Calls onAnimate if isAnimated is set, then animates every child (whatever
    // their flags and visibility).
    virtual void animate(double dt, double time);
    // Any thread; only posts a dirty rectangle. The whole element.
    virtual void setDirtyWhole(UILayer layer = UILayer::fromFlags);
    // Any thread; only posts a dirty rectangle. `rect` is local; it is not
    // clipped here (the render pipeline clips every rectangle).
    virtual void setDirty(const Box& rect, UILayer layer = UILayer::fromFlags);
    virtual MouseCursor cursorWhenDragged() { return cursorWhenDragged_; }
    virtual void setCursorWhenDragged(MouseCursor cursor) { cursorWhenDragged_ = cursor; }
    virtual MouseCursor cursorWhenMouseOver() { return cursorWhenMouseOver_; }
    virtual void setCursorWhenMouseOver(MouseCursor cursor) { cursorWhenMouseOver_ = cursor; }
    // Paint pool thread. `rawLayer` is the visible part of the element (pixel 0,0
    // is its top-left when it is not cut off there); `dirtyRects` lie inside it.
    virtual void onDrawRaw(ImageRef<RGBA> rawLayer, const Vec<Box>& dirtyRects);
    // Paint pool thread. The lighting layers cropped the same way. By default a
    // test pattern: an 8-pixel grey checkerboard, depth 15000, a mid material.
    virtual void onDrawPBR(ImageRef<RGBA> diffuseMap, ImageRef<L16> depthMap, ImageRef<RGBA> materialMap,
                           const Vec<Box>& dirtyRects);
    // Per-frame animation; seconds since the previous frame and since opening.
    virtual void onAnimate(double dt, double time);

    // ---- Tree (UI thread) ----

    // Takes ownership, sets the child's parent and its visibility status.
    UIElement* addChild(std::unique_ptr<UIElement> child);
    template <typename T>
    T* addChild(std::unique_ptr<T> child) {
        T* raw = child.get();
        addChild(std::unique_ptr<UIElement>(std::move(child)));
        return raw;
    }
    UIElement* parent() const noexcept { return parent_; }
    int numChildren() const noexcept { return int(children_.length()); }
    UIElement* child(int i) const noexcept { return children_[std::size_t(i)].get(); }

    // Marks the old and the new area dirty, stores `rect`, then reflow(). Nothing
    // happens when `rect` equals the position.
    void setPosition(const Box& rect);
    // Any thread may read it (a stale value only moves a dirty rectangle).
    Box position() const noexcept { return position_.load(); }

    std::uint32_t flags() const noexcept { return flags_; }
    bool drawsRaw() const noexcept { return (flags_ & UIFlags::drawsRaw) != 0; }
    bool drawsPBR() const noexcept { return (flags_ & UIFlags::drawsPBR) != 0; }
    bool isAnimated() const noexcept { return (flags_ & UIFlags::isAnimated) != 0; }
    bool drawsAloneRaw() const noexcept { return (flags_ & UIFlags::drawAloneRaw) != 0; }
    bool drawsAlonePBR() const noexcept { return (flags_ & UIFlags::drawAlonePBR) != 0; }

    int zOrder() const noexcept { return zOrder_; }
    void setZOrder(int z) noexcept { zOrder_ = z; }

    // The element's own wish; showing or hiding marks every element whose
    // effective visibility flips dirty.
    bool isVisible() const noexcept { return visible_; }
    void setVisible(bool visible);
    // visible and every ancestor visible.
    bool visibilityStatus() const noexcept { return visibilityStatus_; }
    void recomputeVisibilityStatus(bool parentVisible);

    // Up to 63 characters are kept.
    void setElementId(const char* id) noexcept;
    const char* elementId() const noexcept { return elementId_; }
    // This element or the first descendant (depth first, child order) with that id.
    UIElement* getElementById(const char* id);

    UIContext& context() const noexcept { return context_; }

    // ---- Event walks (UI thread); root coordinates ----
    bool mouseClick(int x, int y, int button, bool isDoubleClick, MouseState mstate);
    bool mouseWheel(int x, int y, int wheelDeltaX, int wheelDeltaY, MouseState mstate);
    // Returns whether an element under the pointer has been found (hover goes to the first).
    bool mouseMove(int x, int y, int dx, int dy, MouseState mstate, bool alreadyFoundMouseOver);
    bool keyDown(Key key);
    bool keyUp(Key key);

    // ---- Painting ----
    // UI thread. Appends the visible elements of this subtree in pre-order.
    void getDrawLists(Vec<UIElement*>& rawList, Vec<UIElement*>& pbrList);
    // Paint pool thread. Paints the parts of `areas` (root coordinates) that the
    // element covers inside the layer.
    void renderRaw(ImageRef<RGBA> rawLayer, const Vec<Box>& areas);
    void renderPBR(ImageRef<RGBA> diffuseMap, ImageRef<L16> depthMap, ImageRef<RGBA> materialMap,
                   const Vec<Box>& areas);

protected:
    // Paint pool thread, inside onDrawRaw/onDrawPBR: the offset of the layer
    // view's pixel 0,0 from the element's top-left (non-zero only when the
    // element is cut off at the layer's left or top edge).
    int drawOriginX() const noexcept { return drawOriginX_; }
    int drawOriginY() const noexcept { return drawOriginY_; }

private:
    void rebuildZOrderedChildren();
    // The visible part of the element inside a layer of `bounds`; fills localRects_.
    bool prepareLocalRects(const Box& bounds, const Vec<Box>& areas, Box* visible);

    UIElement* parent_ = nullptr;
    SharedBox position_;
    Vec<std::unique_ptr<UIElement>> children_;
    std::uint32_t flags_;
    int zOrder_ = 0;
    UIContext& context_;
    bool visible_ = true;
    bool visibilityStatus_ = true;
    Vec<Box> localRects_;
    Vec<UIElement*> zOrderedChildren_;
    MouseCursor cursorWhenDragged_ = MouseCursor::arrow;
    MouseCursor cursorWhenMouseOver_ = MouseCursor::arrow;
    char elementId_[kElementIdCapacity] = {};
    int drawOriginX_ = 0;
    int drawOriginY_ = 0;
};

}  // namespace fw
