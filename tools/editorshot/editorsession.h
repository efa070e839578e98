#pragma once
// EditorSession: Kestrin 3 with its editor open in an off-screen window, the
// way a host shows it, minus the window system. The window runs the same
// frame cycle a native window runs (animate, dirty areas, paint into the
// window buffer), so what `screen()` shows is what a user would see. Used by
// `editorshot`, the editor's golden-image and interaction tests and its
// benchmarks.
//
// Everything runs on the thread that drives the session (its UI thread).

#include <memory>
#include <string>
#include <string_view>

#include "framework/client/hostcommand.h"
#include "framework/core/status.h"
#include "framework/graphics/image.h"
#include "framework/window/offscreenwindow.h"
#include "kestrin/gui/kestringui.h"
#include "kestrin/kestrin.h"

namespace editorshot {

class EditorSession {
public:
    // UI thread. Builds the client (with `host` when given, not owned, else a
    // host that hears nothing), opens its editor in a window of one of its
    // sizes, `width` pixels wide, and paints the first frame. `width` must be one of
    // the editor's sizes (450, 675, 900, 1125, 1350, 1575, 1800).
    explicit EditorSession(int width = 900, fw::IHostCommand* host = nullptr);
    ~EditorSession();
    EditorSession(const EditorSession&) = delete;
    EditorSession& operator=(const EditorSession&) = delete;

    kestrin::Kestrin& client() noexcept { return *client_; }
    kestrin::KestrinGUI& editor() noexcept { return *editor_; }
    fw::OffscreenWindow& window() noexcept { return *window_; }

    // Resizes the window as a host would and paints; false when the size is
    // not one of the editor's.
    bool resize(int width);

    // Host-side changes, as a host applies them (setFromHost). A preset by
    // name (case-insensitive) or 1-based number; a setting by parameter name
    // with a plain value in the parameter's unit, a normalized value written
    // "<0..1>n", or yes/no (on/off) for a switch. The message says what was wrong.
    [[nodiscard]] fw::Status applyPreset(std::string_view nameOrNumber, std::string& message);
    [[nodiscard]] fw::Status applySetting(std::string_view name, std::string_view value, std::string& message);

    // One timer tick and repaint; returns the repainted rectangle.
    fw::Box frame(int elapsedMs = 16) { return window_->frame(elapsedMs); }
    // What the window shows.
    fw::ImageRef<const fw::RGBA> screen() const noexcept { return window_->screen(); }

private:
    std::unique_ptr<fw::IHostCommand> ownHost_;
    std::unique_ptr<kestrin::Kestrin> client_;
    kestrin::KestrinGUI* editor_ = nullptr;
    fw::OffscreenWindowFactory factory_;
    fw::OffscreenWindow* window_ = nullptr;
};

// The editor's sizes: true for a width of 450, 675, 900, 1125, 1350, 1575 or 1800.
bool isEditorWidth(int width) noexcept;

}  // namespace editorshot
