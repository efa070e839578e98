#pragma once
// UIImageLogo: a UIBitmap that opens a web address in the desktop's browser
// when clicked. Only http:// and https:// addresses are opened, and the opener
// is started without a shell, the address being one argument, so that an
// address can never run a command.
//
// Threads: everything on the UI thread except onDrawRaw (paint pool).

#include <span>
#include <string>

#include "tlmgui/bitmap.h"

namespace tlmgui {

// Starts a program. Tests inject their own so that no browser is launched.
class IProcessLauncher {
public:
    virtual ~IProcessLauncher() = default;
    // UI thread. `argv` is the program followed by its arguments (no null
    // terminator in the span); returns whether the program was started.
    virtual bool launch(std::span<const char* const> argv) noexcept = 0;
};

// posix_spawnp, no shell; children are reaped with a non-blocking waitpid on
// later launches and on destruction, so the UI thread never waits for a browser.
class SpawnLauncher final : public IProcessLauncher {
public:
    // UI thread. Reaps children that have ended; the others are left to init.
    ~SpawnLauncher() override;
    // UI thread.
    bool launch(std::span<const char* const> argv) noexcept override;

private:
    void reapFinished() noexcept;
    static constexpr int kMaxPending = 8;
    int pending_[kMaxPending] = {};
    int numPending_ = 0;
};

class UIImageLogo : public UIBitmap {
public:
    static constexpr const char* kOpener = "xdg-open";

    // UI thread. `launcher` is borrowed and must outlive the logo; null uses
    // an own SpawnLauncher.
    UIImageLogo(fw::UIContext& context, fw::ImageRef<const fw::RGBA> image, std::string address,
                IProcessLauncher* launcher = nullptr);

    // UI thread. Opens the address (when it is http or https) and begins a drag.
    fw::Click onMouseClick(int x, int y, int button, bool isDoubleClick, fw::MouseState mstate) override;

    // UI thread. Whether `address` would be opened.
    static bool isOpenableAddress(std::string_view address) noexcept;
    // UI thread. The address given.
    const std::string& address() const noexcept { return address_; }

private:
    std::string address_;
    SpawnLauncher ownLauncher_;
    IProcessLauncher& launcher_;
};

}  // namespace tlmgui
