#pragma once
// FilmstripCache: the frames of one filmstrip rescaled to the sizes its widgets
// are shown at. Widgets of the same strip shown at the same size share one
// entry, so a row of identical knobs costs one set of scaled frames.
//
// An entry is reference counted through Handle (UI thread); the last handle of
// a size to go (moved to another size or destroyed) frees its pixels. A frame
// is scaled the first time a painter asks for it (filter 11, sRGB, alpha
// treated as a colour); the entry's memory is reserved without being written,
// so frames never shown cost no resident memory. At the strip's own frame size
// no entry memory exists: frames are views of the strip itself.
//
// The strip is borrowed and must outlive the cache; the cache must outlive
// every handle it gave out.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "framework/core/uncheckedmutex.h"
#include "framework/graphics/image.h"
#include "framework/graphics/imageresizer.h"

namespace fw {

class FilmstripCache {
    struct Entry;

public:
    // A share of the frames at one size. Move-only; an empty handle shows nothing.
    class Handle {
    public:
        Handle() noexcept = default;
        // UI thread.
        ~Handle() { reset(); }
        Handle(Handle&& o) noexcept : cache_(o.cache_), entry_(o.entry_) { o.cache_ = nullptr, o.entry_ = nullptr; }
        // UI thread. Releases what this handle held.
        Handle& operator=(Handle&& o) noexcept;
        Handle(const Handle&) = delete;
        Handle& operator=(const Handle&) = delete;

        // UI thread. Gives up the share (frees the entry if it was the last).
        void reset() noexcept;
        // Any thread.
        bool empty() const noexcept { return entry_ == nullptr; }
        int frameWidth() const noexcept;
        int frameHeight() const noexcept;

    private:
        friend class FilmstripCache;
        Handle(FilmstripCache* cache, Entry* entry) noexcept : cache_(cache), entry_(entry) {}
        FilmstripCache* cache_ = nullptr;
        Entry* entry_ = nullptr;
    };

    // UI thread. Frames are stacked top to bottom, or laid left to right when
    // `framesSideBySide`; the frame size is the strip's size divided by
    // `numFrames` (integer division). A strip that yields no frame (null or
    // empty, numFrames below 1, frames of zero size) is a fatal program error.
    FilmstripCache(ImageRef<const RGBA> strip, int numFrames, bool framesSideBySide = false);
    ~FilmstripCache();
    FilmstripCache(const FilmstripCache&) = delete;
    FilmstripCache& operator=(const FilmstripCache&) = delete;

    // UI thread (in reflow). A share of the frames at width x height; the same
    // size always gives the same entry. A size with no pixels gives an empty handle.
    Handle acquire(int width, int height);

    // Paint pool thread (several at once). Frame `index` (clamped to the strip)
    // at the handle's size, scaled on first use; empty for an empty handle.
    ImageRef<const RGBA> frame(const Handle& handle, int index);

    // Any thread. Whether frame `index` at the handle's size is ready (always
    // true at the strip's own frame size).
    bool isFrameCached(const Handle& handle, int index) const noexcept;

    // Any thread.
    int numFrames() const noexcept { return numFrames_; }
    int sourceFrameWidth() const noexcept { return sourceFrameWidth_; }
    int sourceFrameHeight() const noexcept { return sourceFrameHeight_; }
    ImageRef<const RGBA> sourceFrame(int index) const noexcept;
    // UI thread. Number of sizes currently held by some handle.
    int numEntries() const noexcept { return int(entries_.size()); }

private:
    struct FreeDeleter {
        void operator()(void* p) const noexcept;
    };
    struct Entry {
        int width = 0;
        int height = 0;
        int users = 0;
        bool sourceSize = false;  // frames are the strip's own pixels
        std::unique_ptr<RGBA, FreeDeleter> pixels;  // frame i at i * width * height
        std::unique_ptr<std::atomic<std::uint8_t>[]> cached;
    };

    void release(Entry* entry) noexcept;
    int clampIndex(int index) const noexcept;

    ImageRef<const RGBA> strip_;
    int numFrames_;
    bool sideBySide_;
    int sourceFrameWidth_;
    int sourceFrameHeight_;
    std::vector<std::unique_ptr<Entry>> entries_;  // UI thread only
    // Serialises first-use scaling, which uses the one resizer scratch.
    UncheckedMutex scaleMutex_;
    ImageResizer resizer_;
};

}  // namespace fw
