#pragma once
// GUIGraphics: the editor. It is the root element of the widget tree, the
// IGraphics the plug-in client hands to the host wrapper, and (through a small
// forwarding object) the listener of its window.
//
// Every window tick it animates the tree and turns the rectangles that
// elements posted into the areas of the frame: lighting areas (grown by the
// update margin for compositing), paint areas (where the raw layer is rebuilt)
// and window areas (where the window buffer changes). On a repaint it paints
// the lighting layers, composites them in tiles of at most 64 x 64, paints the
// raw layer over the result, converts it to the window's byte order and copies
// the changed parts into the window buffer, the UI centred in the window with
// black borders. Painting and compositing run on a pool of at most 3 threads;
// elements whose positions overlap, or that ask to be painted alone, are never
// painted at the same time.
//
// Threads: elements may post dirty rectangles from any thread; painting runs
// on the pool inside onDraw; everything else runs on the UI thread. Every
// window entry runs under the audio floating-point state and restores the
// caller's. Window events that arrive before the first resize, or after
// closeUI, are ignored.

#include <atomic>
#include <cstdint>
#include <memory>

#include "framework/client/iclient.h"
#include "framework/client/igraphics.h"
#include "framework/core/threadpool.h"
#include "framework/core/vec.h"
#include "framework/graphics/alignedbuffer.h"
#include "framework/graphics/image.h"
#include "framework/graphics/mipmap.h"
#include "framework/gui/icompositor.h"
#include "framework/gui/sizeconstraints.h"
#include "framework/gui/uicontext.h"
#include "framework/gui/uielement.h"
#include "framework/window/iwindow.h"
#include "framework/window/iwindowlistener.h"

namespace fw {

namespace detail {
// Constructed before the UIElement base, so that the root can hand its
// context to that base; destroyed after the whole tree.
struct GUIContextOwner {
    explicit GUIContextOwner(IUIContextHost* host) : ownedContext(std::make_unique<UIContext>(host)) {}
    std::unique_ptr<UIContext> ownedContext;
};
}  // namespace detail

class GUIGraphics : private IUIContextHost, private detail::GUIContextOwner, public UIElement, public IGraphics {
public:
    static constexpr int kMaxTileSize = 64;
    static constexpr int kMaxPaintThreads = 3;
    // A batch of elements covering fewer pixels of the frame's areas than this
    // is painted on the UI thread rather than spread over the pool.
    static constexpr long long kInlinePaintPixels = 256 * 256;
    static constexpr int kDefaultUpdateMargin = 20;
    // Window buffers above this many pixels (16384 x 16384) are refused with a fatal error.
    static constexpr long long kMaxWindowPixels = 1LL << 28;

    // UI thread. `constraints` are validated (a fatal error when unusable);
    // `flags` are the root's element flags.
    GUIGraphics(const SizeConstraints& constraints, std::uint32_t flags);
    ~GUIGraphics() override;

    // UI thread, before openUI. Where openUI gets its window (borrowed): the
    // platform's native window unless set (an X11 UI sets an X11WindowFactory);
    // null opens no window.
    void setWindowFactory(IWindowFactory* factory) noexcept { windowFactory_ = factory; }
    // The listener a window calls (what openUI hands to the factory).
    IWindowListener& windowListener() noexcept { return listener_; }

    // ---- IGraphics (UI thread) ----
    // Backends autodetect, cocoa and x11 open a window through the window factory;
    // win32 and carbon open none and return null.
    void* openUI(void* parentWindow, void* controlInfo, IClient* client, GraphicsBackend backend) override;
    void closeUI() override;
    void getGUISize(int* width, int* height) override;
    bool isResizeable() override;
    void getMaxSmallerValidSize(int* width, int* height) override;
    void getNearestValidSize(int* width, int* height) override;
    bool nativeWindowResize(int width, int height) override;

    // ---- Editor operations (UI thread unless said otherwise) ----
    // The lighting compositor; called once, at the first resize.
    virtual std::unique_ptr<ICompositor> buildCompositor(const CompositorCreationContext& context);
    // After a requested screenshot was painted. `layer` is in the window byte order.
    virtual void onScreenshot(ImageRef<const RGBA> layer, WindowPixelFormat pf, Mipmap<RGBA>& diffuseMap,
                              Mipmap<L16>& depthMap, Mipmap<RGBA>& materialMap);
    // Pixels around a lighting change that are composited again (default 20),
    // kept within 0..65536 so that growing an area cannot overflow.
    void setUpdateMargin(int margin) noexcept { updateMargin_ = margin < 0 ? 0 : margin > 65536 ? 65536 : margin; }
    IProfiler& profiler() noexcept { return context().profiler(); }

    // The frame, in the order a window drives it.
    virtual void recomputeDirtyAreas();
    Box getDirtyRectangle() const noexcept;
    virtual void doDraw(WindowPixelFormat pf);
    // Returns the window buffer (pitch = width * 4).
    virtual ImageRef<RGBA> doResize(int width, int height);

    // The steps of the frame.
    virtual void recomputeDrawLists();
    virtual void recomputePurelyDerivedRectangles();
    virtual void redrawElementsPBR();
    virtual void regenerateMipmaps();
    virtual void compositeGUI(ImageRef<RGBA> litBuffer);
    virtual void redrawElementsRaw();
    virtual void reorderComponents(WindowPixelFormat pf);
    virtual void resizeContent(WindowPixelFormat pf);

    // Any thread. False for an editor that disabled lighting.
    bool lightingEnabled() const noexcept { return lighting_; }

    // ---- State, for tools and tests (UI thread) ----
    int windowWidth() const noexcept { return windowWidth_; }
    int windowHeight() const noexcept { return windowHeight_; }
    int uiWidth() const noexcept { return uiWidth_; }
    int uiHeight() const noexcept { return uiHeight_; }
    // Where the UI sits in the window (clipped to it).
    Box uiRectInWindow() const noexcept { return uiRect_; }
    const SizeConstraints& sizeConstraints() const noexcept { return constraints_; }
    ImageRef<const RGBA> windowBuffer() const noexcept { return windowBuffer_; }
    ImageRef<const RGBA> layerBuffer() const noexcept { return layerBuffer_; }
    const Vec<Box>& rawAreas() const noexcept { return rawAreas_; }
    const Vec<Box>& pbrAreas() const noexcept { return pbrAreas_; }
    const Vec<Box>& compositeAreas() const noexcept { return compositeAreas_; }
    const Vec<Box>& paintAreas() const noexcept { return paintAreas_; }
    const Vec<Box>& windowAreas() const noexcept { return windowAreasDisjoint_; }
    IWindow* window() const noexcept { return window_.get(); }
    ThreadPool& threadPool() noexcept { return threadPool_; }
    ICompositor* compositor() const noexcept { return compositor_.get(); }

protected:
    // UI thread, in the constructor of an editor whose elements all paint the
    // raw layer (a flat editor): the lighting maps, the lit buffer and the
    // compositor are never made, and lighting painting is skipped. Saves
    // several full-size buffers and the compositing work of every frame.
    void disableLighting() noexcept { lighting_ = false; }

private:
    class Listener final : public IWindowListener {
    public:
        explicit Listener(GUIGraphics& g) noexcept : g_(g) {}
        bool onMouseClick(int x, int y, MouseButton button, bool isDoubleClick, MouseState mstate) override;
        bool onMouseRelease(int x, int y, MouseButton button, MouseState mstate) override;
        bool onMouseWheel(int x, int y, int wheelDeltaX, int wheelDeltaY, MouseState mstate) override;
        void onMouseMove(int x, int y, int dx, int dy, MouseState mstate) override;
        bool onKeyDown(Key key) override;
        bool onKeyUp(Key key) override;
        void onDraw(WindowPixelFormat pf) override;
        ImageRef<RGBA> onResized(int width, int height) override;
        void recomputeDirtyAreas() override;
        Box getDirtyRectangle() override;
        void onMouseCaptureCancelled() override;
        void onMouseExitedWindow() override;
        void onAnimate(double dt, double time) override;
        MouseCursor getMouseCursor() override;
        void onHostClosedView() override;

    private:
        GUIGraphics& g_;
    };

    // ---- IUIContextHost ----
    void contextDefaultSize(int* width, int* height) override;
    void contextUISize(int* width, int* height) override;
    void contextWindowSize(int* width, int* height) override;
    bool contextRequestResize(int width, int height) override;
    void contextRequestScreenshot() override;
    void contextNearestValidSize(int* width, int* height) override;
    bool contextIsResizable() override;
    ThreadPool* contextThreadPool() override { return &threadPool_; }

    // ---- Window-level event entries (UI thread), window coordinates ----
    bool acceptsEvents() const noexcept { return resizedOnce_ && !closed_; }
    bool handleClick(int x, int y, int button, bool isDoubleClick, MouseState mstate);
    void stopDrag();
    bool handleWheel(int x, int y, int dx, int dy, MouseState mstate);
    void handleMove(int x, int y, int dx, int dy, MouseState mstate);
    bool handleKeyDown(Key key);
    bool handleKeyUp(Key key);
    void handleMouseExited();
    MouseCursor currentCursor();

    void makeDisjoint(Vec<Box>& list);
    void paintInBatches(const Vec<UIElement*>& list, bool lightingPass);
    void allocateWindowBuffer(int width, int height);

    SizeConstraints constraints_;
    Listener listener_;
    IWindowFactory* windowFactory_ = &nativeWindowFactory();
    IClient* client_ = nullptr;
    std::unique_ptr<IWindow> window_;

    int windowWidth_;
    int windowHeight_;
    int uiWidth_;
    int uiHeight_;
    Box uiRect_;

    ThreadPool threadPool_;
    std::unique_ptr<ICompositor> compositor_;

    Mipmap<RGBA> diffuseMap_;
    Mipmap<L16> depthMap_;
    Mipmap<RGBA> materialMap_;
    OwnedImage<RGBA> litBuffer_;
    OwnedImage<RGBA> layerBuffer_;
    AlignedBuffer windowStorage_;
    ImageRef<RGBA> windowBuffer_;

    Vec<Box> rawAreas_;
    Vec<Box> pbrAreas_;
    Vec<Box> compositeAreas_;
    Vec<Box> compositeTiles_;
    Vec<Box> paintAreas_;
    Vec<Box> windowAreas_;
    Vec<Box> windowAreasDisjoint_;
    Vec<Box> scratchA_;
    Vec<Box> scratchB_;
    Vec<Box> grownAreas_;

    Vec<UIElement*> rawDrawList_;
    Vec<UIElement*> pbrDrawList_;
    Vec<UIElement*> drawListScratch_;
    Vec<UIElement*> touched_;
    Vec<UIElement*> batch_;

    int updateMargin_ = kDefaultUpdateMargin;
    bool lighting_ = true;
    bool firstResize_ = true;
    bool resizedOnce_ = false;
    bool closed_ = false;
    bool repaintBorders_ = false;
    bool clearWholeWindow_ = false;
    // Set from any thread; only the flag itself is shared, so relaxed order suffices.
    std::atomic<std::uint8_t> screenshotRequested_{0};
};

}  // namespace fw
