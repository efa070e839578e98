// CGContext for an X window: CGContextDrawImage converts the image's pixels
// to the window's TrueColor visual into an XImage and puts it, through a
// MIT-SHM segment kept per context when the server offers one (falling back
// to XPutImage when the attach fails).

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/coregraphics/cgimpl.h"
#include "sysframeworks/coregraphics/xwindowcontext.h"

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

struct CGContext {
    std::atomic<long> refs{1};
    Display* display = nullptr;
    Window window = 0;
    GC gc = nullptr;
    Visual* visual = nullptr;
    int depth = 0;
    int width = 0;
    int height = 0;
    bool shmUsable = false;
    XShmSegmentInfo shm{};
    XImage* shmImage = nullptr;
};

namespace {

constexpr const char* kDrawApi = "CGContextDrawImage";

struct Channel {
    int shift;
    int bits;
};

Channel channelOf(unsigned long mask) {
    return Channel{std::countr_zero(mask), std::popcount(mask)};
}

uint32_t place(uint8_t value, Channel c) {
    const uint32_t v = c.bits >= 8 ? static_cast<uint32_t>(value) << (c.bits - 8) : value >> (8 - c.bits);
    return v << c.shift;
}

// Set by the trap around the calls expected to fail.
std::atomic<bool> g_trappedError{false};

int trapError(Display*, XErrorEvent*) {
    g_trappedError = true;
    return 0;
}

void dropShmImage(CGContext* c) {
    if (c->shmImage == nullptr) return;
    XShmDetach(c->display, &c->shm);
    c->shmImage->data = nullptr;
    XDestroyImage(c->shmImage);
    shmdt(c->shm.shmaddr);
    c->shmImage = nullptr;
}

// A shared-memory image of the window's full size, made or remade as needed;
// null when MIT-SHM cannot be used (then never tried again for this context).
XImage* shmImageFor(CGContext* c) {
    if (!c->shmUsable) return nullptr;
    if (c->shmImage && c->shmImage->width >= c->width && c->shmImage->height >= c->height) return c->shmImage;
    dropShmImage(c);
    XImage* img = XShmCreateImage(c->display, c->visual, static_cast<unsigned>(c->depth), ZPixmap, nullptr, &c->shm,
                                  static_cast<unsigned>(c->width), static_cast<unsigned>(c->height));
    if (img == nullptr) {
        c->shmUsable = false;
        return nullptr;
    }
    const size_t bytes = static_cast<size_t>(img->bytes_per_line) * static_cast<size_t>(img->height);
    c->shm.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (c->shm.shmid < 0) {
        XDestroyImage(img);
        c->shmUsable = false;
        return nullptr;
    }
    c->shm.shmaddr = static_cast<char*>(shmat(c->shm.shmid, nullptr, 0));
    if (c->shm.shmaddr == reinterpret_cast<char*>(-1)) {
        shmctl(c->shm.shmid, IPC_RMID, nullptr);
        XDestroyImage(img);
        c->shmUsable = false;
        return nullptr;
    }
    img->data = c->shm.shmaddr;
    c->shm.readOnly = False;
    // The attach fails on a remote server or when the server may not map the
    // segment: trap just that error and put the host's handler back.
    XSync(c->display, False);
    g_trappedError = false;
    XErrorHandler previous = XSetErrorHandler(trapError);
    const Status attached = XShmAttach(c->display, &c->shm);
    XSync(c->display, False);
    XSetErrorHandler(previous);
    // Marked for removal now: it goes once both sides have detached.
    shmctl(c->shm.shmid, IPC_RMID, nullptr);
    if (!attached || g_trappedError) {
        img->data = nullptr;
        XDestroyImage(img);
        shmdt(c->shm.shmaddr);
        c->shmUsable = false;
        return nullptr;
    }
    c->shmImage = img;
    return img;
}

bool checkVisual(Visual* visual, int depth) {
    if (visual->c_class == TrueColor && (depth == 24 || depth == 32)) return true;
    static std::atomic<bool> said{false};
    if (!said.exchange(true))
        sysfw::reportMisuse("CoreGraphics", "the X visual is not 24- or 32-bit TrueColor; nothing will be drawn");
    return false;
}

// The half-open range of pixel indices whose centres lie in [start, start + length).
// Clamped to [0, limit] before converting, so far-off rects stay in range.
void pixelSpan(double start, double length, int limit, int& first, int& end) {
    const double top = static_cast<double>(limit);
    first = static_cast<int>(std::clamp(std::ceil(start - 0.5), 0.0, top));
    end = static_cast<int>(std::clamp(std::ceil(start + length - 0.5), 0.0, top));
}

}  // namespace

extern "C" {

CGContextRef SysFwCGContextCreateForXWindow(Display* display, Window window, int width, int height) {
    XWindowAttributes attrs{};
    if (display == nullptr || !XGetWindowAttributes(display, window, &attrs)) return nullptr;
    if (!checkVisual(attrs.visual, attrs.depth)) return nullptr;
    auto* c = new (std::nothrow) CGContext();
    if (c == nullptr) return nullptr;
    c->display = display;
    c->window = window;
    c->visual = attrs.visual;
    c->depth = attrs.depth;
    c->width = width;
    c->height = height;
    c->gc = XCreateGC(display, window, 0, nullptr);
    c->shmUsable = XShmQueryExtension(display) == True;
    return c;
}

void SysFwCGContextSetSize(CGContextRef c, int width, int height) {
    if (c == nullptr) return;
    c->width = width;
    c->height = height;
}

void SysFwCGContextDetachDisplay(CGContextRef c) {
    if (c == nullptr || c->display == nullptr) return;
    // The server is gone: only local memory is freed. Xlib drops requests on
    // a broken connection, so XFreeGC just frees the GC's client side.
    XFreeGC(c->display, c->gc);
    c->gc = nullptr;
    if (c->shmImage) {
        c->shmImage->data = nullptr;
        XDestroyImage(c->shmImage);
        shmdt(c->shm.shmaddr);
        c->shmImage = nullptr;
    }
    c->display = nullptr;
}

CGContextRef CGContextRetain(CGContextRef c) {
    if (c) c->refs.fetch_add(1, std::memory_order_relaxed);
    return c;
}

void CGContextRelease(CGContextRef c) {
    if (c == nullptr || !coregraphics::dropReference(c)) return;
    if (c->display) {
        dropShmImage(c);
        XFreeGC(c->display, c->gc);
    }
    delete c;
}

void CGContextDrawImage(CGContextRef c, CGRect rect, CGImageRef image) {
    if (c == nullptr || image == nullptr) {
        sysfw::reportMisuse(kDrawApi, "NULL context or image");
        return;
    }
    if (c->display == nullptr) return;
    if (!std::isfinite(rect.origin.x) || !std::isfinite(rect.origin.y) || !std::isfinite(rect.size.width) ||
        !std::isfinite(rect.size.height)) {
        sysfw::reportMisuse(kDrawApi, "the rectangle is not finite");
        return;
    }
    // Negative sizes describe the same rectangle from its other corner.
    if (rect.size.width < 0) {
        rect.origin.x += rect.size.width;
        rect.size.width = -rect.size.width;
    }
    if (rect.size.height < 0) {
        rect.origin.y += rect.size.height;
        rect.size.height = -rect.size.height;
    }
    if (rect.size.width == 0 || rect.size.height == 0 || c->width <= 0 || c->height <= 0) return;
    const double left = rect.origin.x;
    const double top = c->height - (rect.origin.y + rect.size.height);
    int x0, x1, y0, y1;
    pixelSpan(left, rect.size.width, c->width, x0, x1);
    pixelSpan(top, rect.size.height, c->height, y0, y1);
    if (x0 >= x1 || y0 >= y1) return;
    const int w = x1 - x0;
    const int h = y1 - y0;

    XImage* img = shmImageFor(c);
    const bool shared = img != nullptr;
    if (!shared) {
        img = XCreateImage(c->display, c->visual, static_cast<unsigned>(c->depth), ZPixmap, 0, nullptr,
                           static_cast<unsigned>(w), static_cast<unsigned>(h), 32, 0);
        if (img == nullptr) return;
        img->data = static_cast<char*>(std::malloc(static_cast<size_t>(img->bytes_per_line) * static_cast<size_t>(h)));
        if (img->data == nullptr) {
            XDestroyImage(img);
            return;
        }
    }
    if (img->bits_per_pixel != 32) {
        sysfw::reportMisuse(kDrawApi, "the X image format is not 32 bits per pixel");
        if (!shared) XDestroyImage(img);
        return;
    }
    const Channel red = channelOf(c->visual->red_mask);
    const Channel green = channelOf(c->visual->green_mask);
    const Channel blue = channelOf(c->visual->blue_mask);
    const auto* src = static_cast<const uint8_t*>(image->provider->data);
    const double sx = static_cast<double>(image->width) / rect.size.width;
    const double sy = static_cast<double>(image->height) / rect.size.height;
    const bool nativeOrder = img->byte_order == LSBFirst;
    for (int row = 0; row < h; ++row) {
        long iy = static_cast<long>(std::floor((y0 + row + 0.5 - top) * sy));
        iy = iy < 0 ? 0 : (iy >= static_cast<long>(image->height) ? static_cast<long>(image->height) - 1 : iy);
        const uint8_t* srcRow = src + static_cast<size_t>(iy) * image->bytesPerRow;
        char* dstRow = img->data + static_cast<size_t>(row) * static_cast<size_t>(img->bytes_per_line);
        for (int col = 0; col < w; ++col) {
            long ix = static_cast<long>(std::floor((x0 + col + 0.5 - left) * sx));
            ix = ix < 0 ? 0 : (ix >= static_cast<long>(image->width) ? static_cast<long>(image->width) - 1 : ix);
            const uint8_t* p = srcRow + static_cast<size_t>(ix) * 4;
            const uint32_t pixel = place(p[image->red], red) | place(p[image->green], green) |
                                   place(p[image->blue], blue);
            if (nativeOrder)
                std::memcpy(dstRow + static_cast<size_t>(col) * 4, &pixel, 4);
            else
                XPutPixel(img, col, row, pixel);
        }
    }
    if (shared) {
        XShmPutImage(c->display, c->window, c->gc, img, 0, 0, x0, y0, static_cast<unsigned>(w),
                     static_cast<unsigned>(h), False);
        // The segment is reused by the next draw: the server must be done with it.
        XSync(c->display, False);
    } else {
        XPutImage(c->display, c->window, c->gc, img, 0, 0, x0, y0, static_cast<unsigned>(w), static_cast<unsigned>(h));
        XDestroyImage(img);
    }
}
}
