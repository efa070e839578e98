#pragma once
// KestrinLv2Ui: Kestrin 3's editor as an LV2 X11 UI. The UI holds a client of
// its own (a mirror that never processes audio), so it needs no access to the
// plug-in instance and works in every host, also one that runs UIs in another
// process: the host's port events set the mirror's parameters, and the
// editor's gestures become ui:touch grabs and control port writes. The editor
// opens in the host's ui:parent window in an X11Window that the host ticks
// through the idle interface. A host that offers no idle interface gets a timer
// thread of the UI's own that runs the window 60 times a second, until the host
// calls idle after all.
//
// Thread: the host's UI thread. With the UI's own timer the editor also runs on
// that thread, never at the same time as a host call (one lock), and the calls
// to the host it causes are made after the lock is released, so that a host
// holding a lock of its own while it calls the UI cannot deadlock with it.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include "framework/client/hostcommand.h"
#include "framework/window/x11window.h"

namespace fw {
class GUIGraphics;
}

namespace kestrin {

class Kestrin;

namespace lv2ui {

class KestrinLv2Ui final : private fw::IHostCommand {
public:
    // UI thread. Null, with the reason on stderr, when `pluginUri` is not a
    // Kestrin 3 variant, `write` is null or no window can be opened. `widget`
    // gets the editor's X window.
    static std::unique_ptr<KestrinLv2Ui> create(const char* pluginUri, LV2UI_Write_Function write,
                                                LV2UI_Controller controller, LV2UI_Widget* widget,
                                                const LV2_Feature* const* features);
    ~KestrinLv2Ui() override;
    KestrinLv2Ui(const KestrinLv2Ui&) = delete;
    KestrinLv2Ui& operator=(const KestrinLv2Ui&) = delete;

    // UI thread. A control port's plain value (format 0, one float); anything
    // else (other ports, formats or sizes, NaN) is ignored.
    void portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format, const void* buffer) noexcept;
    // UI thread. One pass of the window (events, tick, paint); 1 once the
    // window cannot show any more (display lost, parent destroyed).
    int idle() noexcept;
    // UI thread. The host asks for another size: the nearest the editor takes.
    int hostResize(int width, int height) noexcept;

    fw::X11Window* window() const noexcept;
    Kestrin& client() noexcept { return *client_; }

private:
    KestrinLv2Ui(LV2UI_Write_Function write, LV2UI_Controller controller);

    // ---- IHostCommand: the mirror client's host is the LV2 host ----
    void beginParamEdit(int index) noexcept override;
    void paramAutomate(int index, float normalizedValue) noexcept override;
    void endParamEdit(int index) noexcept override;
    bool requestResize(int width, int height) noexcept override;
    fw::DAW getDAW() noexcept override { return fw::DAW::unknown; }
    fw::PluginFormat getPluginFormat() noexcept override { return fw::PluginFormat::lv2; }

    void tellHostSize(int width, int height) noexcept;

    // A call to the host, made at once or, on the UI's own timer thread, once the
    // lock is released.
    struct HostCall {
        enum class Kind { write, grab, release, resize } kind;
        std::uint32_t port = 0;
        float plain = 0;
        int width = 0, height = 0;
    };
    void callHost(const HostCall& call) noexcept;
    void toHost(const HostCall& call) noexcept;
    void startOwnTimer() noexcept;
    void ownTimerLoop() noexcept;

    LV2UI_Write_Function write_;
    LV2UI_Controller controller_;
    const LV2UI_Resize* resize_ = nullptr;
    const LV2UI_Touch* touch_ = nullptr;
    std::unique_ptr<Kestrin> client_;
    fw::GUIGraphics* editor_ = nullptr;
    fw::X11WindowFactory factory_;

    // Every entry runs the editor under this lock; recursive, since a host may call
    // back into the UI from a write.
    std::recursive_mutex mutex_;
    std::condition_variable_any wake_;
    std::thread ownTimer_;
    bool stopTimer_ = false;           // under mutex_
    bool hostIdles_ = false;           // under mutex_: the host called idle
    bool onOwnTimer_ = false;          // under mutex_: the timer thread runs the editor
    std::vector<HostCall> deferred_;   // under mutex_
};

// Any thread. The UI's descriptor (index 0), null for other indices.
const LV2UI_Descriptor* descriptor(std::uint32_t index) noexcept;

}  // namespace lv2ui
}  // namespace kestrin
