#pragma once
// UIContext: the state one editor's elements share: keyboard focus, the dragged
// and hovered elements, the two dirty-rectangle lists (lighting layers and raw
// layer) that the render pipeline drains every frame, and the services of
// IUIContext. The editor root creates and owns it; it owns no element.
//
// The size and resize answers come from an IUIContextHost (the editor root);
// a context without one (tests of lone elements) answers zero sizes and refuses
// resizes.

#include "framework/core/vec.h"
#include "framework/graphics/imageresizer.h"
#include "framework/gui/dirtyrectlist.h"
#include "framework/gui/iuicontext.h"
#include "framework/gui/profiler.h"

namespace fw {

// The answers of IUIContext that belong to the editor root.
class IUIContextHost {
public:
    virtual ~IUIContextHost() = default;
    // UI thread.
    virtual void contextDefaultSize(int* width, int* height) = 0;
    virtual void contextUISize(int* width, int* height) = 0;
    virtual void contextWindowSize(int* width, int* height) = 0;
    virtual bool contextRequestResize(int width, int height) = 0;
    // Any thread.
    virtual void contextRequestScreenshot() = 0;
    // UI thread.
    virtual void contextNearestValidSize(int* width, int* height) = 0;
    virtual bool contextIsResizable() = 0;
    virtual ThreadPool* contextThreadPool() = 0;
};

class UIContext final : public IUIContext {
public:
    static constexpr int kNumUserPointers = 16;

    explicit UIContext(IUIContextHost* host = nullptr) noexcept : host_(host) {}
    UIContext(const UIContext&) = delete;
    UIContext& operator=(const UIContext&) = delete;

    // UI thread, once the root exists.
    void setRootElement(UIElement* root) noexcept { rootElement_ = root; }

    // ---- IUIContext ----
    float getUIScale() override { return 1.0f; }
    float getUserScale() override { return 1.0f; }
    void getDefaultUISizeInPixels(int* width, int* height) override;
    int getDefaultUIWidth() override;
    int getDefaultUIHeight() override;
    void getUISizeInPixelsUser(int* width, int* height) override;
    void getUISizeInPixelsLogical(int* width, int* height) override;
    void getUISizeInPixelsPhysical(int* width, int* height) override;
    bool requestUIResize(int width, int height) override;
    void requestUIScreenshot() override;
    void getUINearestValidSize(int* width, int* height) override;
    bool isUIResizable() override;
    ImageResizer& globalImageResizer() override { return imageResizer_; }
    ThreadPool* globalThreadPool() override;
    IProfiler& profiler() override { return profiler_; }
    void setUserPointer(int slot, void* userPointer) override;
    void* getUserPointer(int slot) override;
    UIElement* getRootElement() override { return rootElement_; }
    UIElement* getElementById(const char* id) override;

    // ---- Shared element state (UI thread) ----
    UIElement* focusedElement = nullptr;
    UIElement* draggedElement = nullptr;
    UIElement* hoveredElement = nullptr;

    // Any thread posts (addRect); the UI thread drains them every frame.
    DirtyRectList pbrDirtyRects;
    DirtyRectList rawDirtyRects;

    // UI thread. Scratch of the stable sort of hit-testing.
    Vec<UIElement*> sortScratch;

private:
    IUIContextHost* host_;
    UIElement* rootElement_ = nullptr;
    ImageResizer imageResizer_;
    NullProfiler profiler_;
    void* userPointers_[kNumUserPointers] = {};
};

}  // namespace fw
