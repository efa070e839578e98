#pragma once
// IUIContext: what every element of one editor can ask of the editor as a
// whole: its sizes and size rules, resize and screenshot requests, the shared
// image resizer and thread pool, the profiler, sixteen user pointer slots, the
// root and lookup by id.

namespace fw {

class ImageResizer;
class IProfiler;
class ThreadPool;
class UIElement;

class IUIContext {
public:
    virtual ~IUIContext() = default;

    // UI thread. Always 1 in this program.
    virtual float getUIScale() = 0;
    virtual float getUserScale() = 0;
    // UI thread. The design size of the size rules.
    virtual void getDefaultUISizeInPixels(int* width, int* height) = 0;
    virtual int getDefaultUIWidth() = 0;
    virtual int getDefaultUIHeight() = 0;
    // UI thread. The UI size (the largest valid size in the window).
    virtual void getUISizeInPixelsUser(int* width, int* height) = 0;
    // UI thread. The window's drawable size (logical and physical agree here).
    virtual void getUISizeInPixelsLogical(int* width, int* height) = 0;
    virtual void getUISizeInPixelsPhysical(int* width, int* height) = 0;
    // UI thread. Asks the host, then the window, for another size; false when neither could.
    virtual bool requestUIResize(int width, int height) = 0;
    // Any thread. The next frame calls the editor's screenshot hook.
    virtual void requestUIScreenshot() = 0;
    // UI thread. Replaces the size with the nearest valid one.
    virtual void getUINearestValidSize(int* width, int* height) = 0;
    // UI thread.
    virtual bool isUIResizable() = 0;
    // UI thread (one caller at a time).
    virtual ImageResizer& globalImageResizer() = 0;
    // UI thread. The editor's painting pool; null in a context without an editor.
    virtual ThreadPool* globalThreadPool() = 0;
    // Any thread.
    virtual IProfiler& profiler() = 0;
    // UI thread. Slots 0..15; another slot is a fatal programming error.
    virtual void setUserPointer(int slot, void* userPointer) = 0;
    virtual void* getUserPointer(int slot) = 0;
    // UI thread.
    virtual UIElement* getRootElement() = 0;
    // UI thread. Null for a null id, the root for "__ROOT__", else the first
    // element of the tree (depth first) whose id matches exactly.
    virtual UIElement* getElementById(const char* id) = 0;
};

}  // namespace fw
