#include "framework/graphics/image.h"

#include <algorithm>
#include <cstring>

#include "framework/core/fatal.h"

namespace fw {

template <typename T>
OwnedImage<T>::OwnedImage(int width, int height, int border, int borderRight) {
    size(width, height, border, borderRight);
    if (bytes_ != 0) std::memset(storage_.data(), 0, bytes_);
}

template <typename T>
void OwnedImage<T>::size(int width, int height, int border, int borderRight) {
    // Far beyond any editor surface; keeps the byte count from overflowing.
    constexpr int kMaxSide = 1 << 16;
    if (width > kMaxSide || height > kMaxSide || border > kMaxSide || borderRight > kMaxSide)
        fatalError("OwnedImage: image dimensions out of range");
    w_ = std::max(width, 0);
    h_ = std::max(height, 0);
    border_ = std::max(border, 0);
    borderRight_ = std::max(borderRight, 0);
    const std::size_t rowPixels = std::size_t(w_) + 2 * std::size_t(border_) + std::size_t(borderRight_);
    const std::size_t rows = std::size_t(h_) + 2 * std::size_t(border_);
    pitch_ = std::ptrdiff_t(rowPixels * sizeof(T));
    bytes_ = rowPixels * rows * sizeof(T);
    storage_.ensureCapacity(bytes_);
    if (bytes_ == 0) {
        pixels_ = nullptr;
        return;
    }
    pixels_ = reinterpret_cast<T*>(storage_.data() + std::size_t(border_) * std::size_t(pitch_)) + border_;
}

template <typename T>
void OwnedImage<T>::fillAll(T value) noexcept {
    if (pixels_ == nullptr) return;
    T* first = reinterpret_cast<T*>(storage_.data());
    std::fill(first, first + bytes_ / sizeof(T), value);
}

template <typename T>
void OwnedImage<T>::replicateBordersTouching(const Box& rect) noexcept {
    const Box r = rect.intersection(Box{0, 0, w_, h_});
    const int b = border_;
    if (r.empty() || b == 0) return;
    const bool left = r.minX == 0, right = r.maxX == w_, top = r.minY == 0, bottom = r.maxY == h_;

    for (int y = r.minY; y < r.maxY; ++y) {
        T* row = scanline(y);
        if (left) std::fill(row - b, row, row[0]);
        if (right) std::fill(row + w_, row + w_ + b, row[w_ - 1]);
    }
    // Border rows take the columns of `rect`, widened into the side margins when
    // `rect` touches that side (so that the corners are filled too).
    const int x0 = left ? -b : r.minX;
    const int x1 = right ? w_ + b : r.maxX;
    if (top) {
        for (int y = -b; y < 0; ++y) {
            T* dst = scanline(y);
            const T* src = scanline(0);
            for (int x = x0; x < x1; ++x) dst[x] = src[std::clamp(x, 0, w_ - 1)];
        }
    }
    if (bottom) {
        for (int y = h_; y < h_ + b; ++y) {
            T* dst = scanline(y);
            const T* src = scanline(h_ - 1);
            for (int x = x0; x < x1; ++x) dst[x] = src[std::clamp(x, 0, w_ - 1)];
        }
    }
}

template class OwnedImage<RGBA>;
template class OwnedImage<L8>;
template class OwnedImage<L16>;
template class OwnedImage<RGBA16>;
template class OwnedImage<RGBf>;
template class OwnedImage<RGBAf>;
template class OwnedImage<L32f>;

}  // namespace fw
