#pragma once
// Canvas: a small vector canvas in the manner of an HTML canvas. Set a fill
// style (a colour or a gradient), build a path of straight segments, fill it
// antialiased into an RGBA8 view.
//
// Owned by a widget and re-initialised on every dirty rectangle; it keeps its
// rasterizer buffers, transform stack and gradient pool between uses, so
// drawing allocates nothing once they have grown to their working size.
// Paint threads; one canvas per painter.

#include <memory>

#include "framework/canvas/blitters.h"
#include "framework/canvas/gradient.h"
#include "framework/canvas/rasterizer.h"
#include "framework/core/vec.h"
#include "framework/graphics/image.h"

namespace fw {

class Canvas {
public:
    Canvas() = default;
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // Allocates only for a view larger than any before. Targets `view`: clears
    // the path and the transform stack (identity), sizes
    // the rasterizer to the view and makes gradients of the pool available again.
    // Fill style becomes opaque black.
    void initialize(ImageRef<RGBA> view);

    // Transforms (applied to the points given afterwards), on the current matrix.
    void translate(float x, float y) noexcept;
    void scale(float x, float y) noexcept;
    void scale(float s) noexcept { scale(s, s); }
    // Pushes / pops the current matrix (restore without save does nothing);
    // save allocates only when the stack is deeper than ever before.
    void save();
    void restore() noexcept;

    // Fill styles. A gradient's geometry is mapped through the current transform
    // when it is chosen; its stops are read at fill time. A gradient kind other
    // than linear or elliptical is a program error.
    void fillStyle(RGBA color) noexcept;
    void fillStyle(CanvasGradient* gradient) noexcept;

    // Gradients from the pool, valid until the next initialize; allocates only
    // when more gradients are used between two initializes than ever before.
    CanvasGradient* createLinearGradient(float x0, float y0, float x1, float y1);
    CanvasGradient* createEllipticalGradient(float x0, float y0, float x1, float y1, float ratio);

    // Path building. Points pass through the current transform, are multiplied
    // by 256 and converted to integers; values outside the 32-bit range (and
    // NaN) are pinned to the lowest integer instead of wrapping.
    void beginPath() noexcept;
    void moveTo(float x, float y) noexcept;
    void lineTo(float x, float y) noexcept;
    void closePath() noexcept;

    // Fills the path (closing open sub-paths) with the fill style, then clears it.
    void fill(WindingRule rule = WindingRule::nonZero) noexcept;
    // Rectangle path, filled.
    void fillRect(float x, float y, float width, float height) noexcept;

private:
    struct Transform {
        float a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;  // x' = a x + c y + e, y' = b x + d y + f
    };
    void transformPoint(float x, float y, float& ox, float& oy) const noexcept;
    CanvasGradient* newOrReuseGradient();

    ImageRef<RGBA> view_;
    Transform current_;
    Vec<Transform> stack_;
    Rasterizer rasterizer_;

    enum class Style { color, linear, elliptical };
    Style style_ = Style::color;
    CanvasGradient* styleGradient_ = nullptr;
    float gx0_ = 0, gy0_ = 0, gx1_ = 0, gy1_ = 0;  // gradient geometry in pixels
    ColorBlit colorBlit_;
    LinearGradientBlit linearBlit_;
    EllipticalGradientBlit ellipticalBlit_;

    Vec<std::unique_ptr<CanvasGradient>> gradients_;
    std::size_t gradientsInUse_ = 0;
};

}  // namespace fw
