#pragma once
// IGraphics: the editor as the format wrapper sees it.

#include <cstdint>

namespace fw {

class IClient;

// Window systems an editor can be opened in.
enum class GraphicsBackend : std::int32_t {
    autodetect = 0,
    win32 = 1,
    carbon = 2,
    cocoa = 3,
    x11 = 4,
};

class IGraphics {
public:
    virtual ~IGraphics() = default;

    // UI thread. Creates the editor's view inside `parentWindow` (may be null) and
    // returns the system handle of the view.
    virtual void* openUI(void* parentWindow, void* controlInfo, IClient* client, GraphicsBackend backend) = 0;
    // UI thread.
    virtual void closeUI() = 0;
    // UI thread. Current size in pixels.
    virtual void getGUISize(int* width, int* height) = 0;
    // UI thread.
    virtual bool isResizeable() = 0;
    // UI thread. The largest valid size not larger than the given one.
    virtual void getMaxSmallerValidSize(int* width, int* height) = 0;
    // UI thread. The valid size nearest the given one.
    virtual void getNearestValidSize(int* width, int* height) = 0;
    // UI thread. The host resized the window; true when the editor accepted.
    virtual bool nativeWindowResize(int width, int height) = 0;
};

}  // namespace fw
