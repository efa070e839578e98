#pragma once
// ImageRef<T>: a non-owning view of pixels (copied by value).
// OwnedImage<T>: an image that owns its pixels, with optional margins.
//
// A view is width x height pixels starting at `pixels`, rows `pitch` bytes apart
// (pitch may exceed width * sizeof(T)). An owned image may keep `border` pixels
// of margin on all four sides plus `borderRight` extra pixels on the right, for
// code that reads neighbours or wide vectors past the edge; its view covers the
// inner area only.
//
// Neither carries a lock: any thread may use them, and painters running at the
// same time must write disjoint pixels. Only OwnedImage's constructor and
// size() allocate.

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "framework/graphics/alignedbuffer.h"
#include "framework/graphics/color.h"
#include "framework/math/box.h"

namespace fw {

template <typename T>
struct ImageRef {
    int w = 0;
    int h = 0;
    T* pixels = nullptr;         // pixel (0, 0)
    std::ptrdiff_t pitch = 0;    // bytes from one row to the next

    T* scanline(int y) const noexcept {
        using Byte = std::conditional_t<std::is_const_v<T>, const std::uint8_t, std::uint8_t>;
        return reinterpret_cast<T*>(reinterpret_cast<Byte*>(pixels) + std::ptrdiff_t(y) * pitch);
    }
    T& at(int x, int y) const noexcept { return scanline(y)[x]; }

    Box bounds() const noexcept { return Box{0, 0, w, h}; }
    bool empty() const noexcept { return w <= 0 || h <= 0 || pixels == nullptr; }

    // The part of this view inside `rect`, same pitch. `rect` is clipped to the
    // view first, so the result never reaches outside it (empty if disjoint).
    ImageRef cropImageRef(const Box& rect) const noexcept {
        Box r = rect.intersection(bounds());
        if (r.empty()) return ImageRef{0, 0, pixels, pitch};
        return ImageRef{r.width(), r.height(), scanline(r.minY) + r.minX, pitch};
    }

    operator ImageRef<const T>() const noexcept
        requires(!std::is_const_v<T>)
    {
        return {w, h, pixels, pitch};
    }
};

template <typename T>
class OwnedImage {
public:
    OwnedImage() noexcept = default;
    // UI thread. Allocates; contents are zero.
    OwnedImage(int width, int height, int border = 0, int borderRight = 0);

    OwnedImage(const OwnedImage&) = delete;
    OwnedImage& operator=(const OwnedImage&) = delete;
    // A moved-from image is empty.
    OwnedImage(OwnedImage&& o) noexcept { *this = std::move(o); }
    OwnedImage& operator=(OwnedImage&& o) noexcept {
        if (this != &o) {
            storage_ = std::move(o.storage_);
            bytes_ = std::exchange(o.bytes_, 0);
            pixels_ = std::exchange(o.pixels_, nullptr);
            w_ = std::exchange(o.w_, 0);
            h_ = std::exchange(o.h_, 0);
            border_ = std::exchange(o.border_, 0);
            borderRight_ = std::exchange(o.borderRight_, 0);
            pitch_ = std::exchange(o.pitch_, 0);
        }
        return *this;
    }

    // UI thread. Changes the size and margins; the contents are undefined
    // afterwards. Keeps the allocation when it is large enough. Negative sizes
    // count as 0; a side above 65536 pixels is a fatal program error.
    void size(int width, int height, int border = 0, int borderRight = 0);

    int width() const noexcept { return w_; }
    int height() const noexcept { return h_; }
    int border() const noexcept { return border_; }
    int borderRight() const noexcept { return borderRight_; }
    std::ptrdiff_t pitch() const noexcept { return pitch_; }

    // Pixel (0, 0) of the inner area; rows may be indexed from -border to
    // height + border - 1 and columns from -border to width + border + borderRight - 1.
    T* pixels() const noexcept { return pixels_; }
    T* scanline(int y) const noexcept {
        return reinterpret_cast<T*>(reinterpret_cast<std::uint8_t*>(pixels_) + std::ptrdiff_t(y) * pitch_);
    }
    T& at(int x, int y) const noexcept { return scanline(y)[x]; }

    // The inner area.
    ImageRef<T> toRef() const noexcept { return ImageRef<T>{w_, h_, pixels_, pitch_}; }
    operator ImageRef<T>() const noexcept { return toRef(); }
    operator ImageRef<const T>() const noexcept { return ImageRef<const T>{w_, h_, pixels_, pitch_}; }

    // Fills every pixel, margins included.
    void fillAll(T value) noexcept;

    // Copies the nearest edge pixel into the margin pixels next to `rect` (given
    // in inner coordinates and clipped to the inner area): the border columns
    // beside the rows of `rect` that touch the left or right edge, the border rows
    // beside the columns that touch the top or bottom edge, and the corners when
    // `rect` touches both. Lighting passes read one pixel beyond the image.
    void replicateBordersTouching(const Box& rect) noexcept;

private:
    AlignedBuffer storage_;
    std::size_t bytes_ = 0;
    T* pixels_ = nullptr;
    int w_ = 0;
    int h_ = 0;
    int border_ = 0;
    int borderRight_ = 0;
    std::ptrdiff_t pitch_ = 0;
};

extern template class OwnedImage<RGBA>;
extern template class OwnedImage<L8>;
extern template class OwnedImage<L16>;
extern template class OwnedImage<RGBA16>;
extern template class OwnedImage<RGBf>;
extern template class OwnedImage<RGBAf>;
extern template class OwnedImage<L32f>;

}  // namespace fw
