#pragma once
// The CoreGraphics objects: reference-counted structures behind the C types
// (the counts are atomic; any thread).

#include <CoreGraphics/CoreGraphics.h>

#include <atomic>
#include <cstddef>

struct CGColorSpace {
    std::atomic<long> refs{1};
};

struct CGDataProvider {
    std::atomic<long> refs{1};
    void* info = nullptr;
    const void* data = nullptr;
    size_t size = 0;
    CGDataProviderReleaseDataCallback releaseData = nullptr;
};

struct CGImage {
    std::atomic<long> refs{1};
    size_t width = 0;
    size_t height = 0;
    size_t bytesPerRow = 0;
    CGColorSpaceRef space = nullptr;
    CGDataProviderRef provider = nullptr;
    // Byte offsets of red, green and blue within a pixel.
    int red = 0;
    int green = 0;
    int blue = 0;
};

namespace coregraphics {

// Decrements a reference count; true when it reached zero.
template <typename T>
bool dropReference(T* object) {
    return object->refs.fetch_sub(1, std::memory_order_acq_rel) == 1;
}

}  // namespace coregraphics
