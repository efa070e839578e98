#include "framework/flatwidgets/filmstripcache.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "framework/core/fatal.h"

namespace fw {

namespace {
// Far beyond any widget; keeps the byte counts from overflowing.
constexpr int kMaxSide = 1 << 16;
}  // namespace

// ---- Handle ----

FilmstripCache::Handle& FilmstripCache::Handle::operator=(Handle&& o) noexcept {
    if (this != &o) {
        reset();
        cache_ = o.cache_;
        entry_ = o.entry_;
        o.cache_ = nullptr;
        o.entry_ = nullptr;
    }
    return *this;
}

void FilmstripCache::Handle::reset() noexcept {
    if (entry_ != nullptr) cache_->release(entry_);
    cache_ = nullptr;
    entry_ = nullptr;
}

int FilmstripCache::Handle::frameWidth() const noexcept { return entry_ ? entry_->width : 0; }
int FilmstripCache::Handle::frameHeight() const noexcept { return entry_ ? entry_->height : 0; }

// ---- Cache ----

void FilmstripCache::FreeDeleter::operator()(void* p) const noexcept { std::free(p); }

FilmstripCache::FilmstripCache(ImageRef<const RGBA> strip, int numFrames, bool framesSideBySide)
    : strip_(strip), numFrames_(numFrames), sideBySide_(framesSideBySide) {
    if (strip.empty()) fatalError("FilmstripCache: the filmstrip image is empty");
    if (numFrames < 1) fatalError("FilmstripCache: a filmstrip needs at least one frame");
    sourceFrameWidth_ = sideBySide_ ? strip.w / numFrames : strip.w;
    sourceFrameHeight_ = sideBySide_ ? strip.h : strip.h / numFrames;
    if (sourceFrameWidth_ < 1 || sourceFrameHeight_ < 1)
        fatalError("FilmstripCache: the filmstrip has fewer pixels than frames");
}

FilmstripCache::~FilmstripCache() {
    // Every handle must be gone; one left would point into freed memory.
    if (!entries_.empty()) fatalError("FilmstripCache: destroyed while a widget still holds its frames");
}

FilmstripCache::Handle FilmstripCache::acquire(int width, int height) {
    if (width <= 0 || height <= 0) return Handle();
    if (width > kMaxSide || height > kMaxSide) fatalError("FilmstripCache: frame size out of range");
    for (const auto& e : entries_) {
        if (e->width == width && e->height == height) {
            ++e->users;
            return Handle(this, e.get());
        }
    }
    auto entry = std::make_unique<Entry>();
    entry->width = width;
    entry->height = height;
    entry->users = 1;
    entry->sourceSize = width == sourceFrameWidth_ && height == sourceFrameHeight_;
    if (!entry->sourceSize) {
        // calloc rather than a zero-filling image: large blocks come as fresh
        // pages that stay unmapped until a frame is actually scaled into them.
        const std::size_t bytes = std::size_t(width) * std::size_t(height) * std::size_t(numFrames_) * sizeof(RGBA);
        void* block = std::calloc(bytes, 1);
        if (block == nullptr) fatalOutOfMemory();
        entry->pixels.reset(static_cast<RGBA*>(block));
        entry->cached = std::make_unique<std::atomic<std::uint8_t>[]>(std::size_t(numFrames_));
        for (int i = 0; i < numFrames_; ++i) entry->cached[std::size_t(i)].store(0, std::memory_order_relaxed);
    }
    Entry* raw = entry.get();
    entries_.push_back(std::move(entry));
    return Handle(this, raw);
}

void FilmstripCache::release(Entry* entry) noexcept {
    if (--entry->users > 0) return;
    auto it = std::find_if(entries_.begin(), entries_.end(), [entry](const auto& e) { return e.get() == entry; });
    if (it != entries_.end()) entries_.erase(it);
}

int FilmstripCache::clampIndex(int index) const noexcept { return std::clamp(index, 0, numFrames_ - 1); }

ImageRef<const RGBA> FilmstripCache::sourceFrame(int index) const noexcept {
    const int i = clampIndex(index);
    const Box r = sideBySide_ ? Box::rectangle(i * sourceFrameWidth_, 0, sourceFrameWidth_, sourceFrameHeight_)
                              : Box::rectangle(0, i * sourceFrameHeight_, sourceFrameWidth_, sourceFrameHeight_);
    return strip_.cropImageRef(r);
}

bool FilmstripCache::isFrameCached(const Handle& handle, int index) const noexcept {
    const Entry* e = handle.entry_;
    if (e == nullptr) return false;
    if (e->sourceSize) return true;
    return e->cached[std::size_t(clampIndex(index))].load(std::memory_order_acquire) != 0;
}

ImageRef<const RGBA> FilmstripCache::frame(const Handle& handle, int index) {
    Entry* e = handle.entry_;
    if (e == nullptr) return {};
    const int i = clampIndex(index);
    if (e->sourceSize) return sourceFrame(i);

    const std::ptrdiff_t pitch = std::ptrdiff_t(e->width) * std::ptrdiff_t(sizeof(RGBA));
    RGBA* pixels = e->pixels.get() + std::size_t(i) * std::size_t(e->width) * std::size_t(e->height);
    const ImageRef<RGBA> view{e->width, e->height, pixels, pitch};
    std::atomic<std::uint8_t>& cached = e->cached[std::size_t(i)];
    // Acquire pairs with the release below: a painter that sees the flag also
    // sees the pixels another painter scaled.
    if (cached.load(std::memory_order_acquire) == 0) {
        std::lock_guard<UncheckedMutex> lock(scaleMutex_);
        if (cached.load(std::memory_order_relaxed) == 0) {  // the mutex orders a rival's scaling
            // Valid views and arguments by construction; a failure would leave
            // the frame blank (zero), never out of bounds.
            (void)resizer_.resizeImageSRGBNoAlpha(sourceFrame(i), view, ResizeFilter::magicKernelSharpBlend);
            cached.store(1, std::memory_order_release);
        }
    }
    return view;
}

}  // namespace fw
