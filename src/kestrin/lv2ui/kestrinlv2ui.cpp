#include "kestrin/lv2ui/kestrinlv2ui.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <system_error>

#include "framework/client/parameter.h"
#include "framework/core/fpcontrol.h"
#include "framework/gui/guigraphics.h"
#include "kestrin/gui/kestringui.h"
#include "kestrin/kestrin.h"
#include "kestrin/lv2/kestrinlv2.h"

namespace kestrin::lv2ui {

namespace {

constexpr std::uint32_t kFloatProtocol = 0;  // ui:floatProtocol: one float, the plain value

const LV2_Feature* findFeature(const LV2_Feature* const* features, const char* uri) noexcept {
    if (features == nullptr) return nullptr;
    for (const LV2_Feature* const* f = features; *f != nullptr; ++f)
        if ((*f)->URI != nullptr && std::strcmp((*f)->URI, uri) == 0) return *f;
    return nullptr;
}

const void* feature(const LV2_Feature* const* features, const char* uri) noexcept {
    const LV2_Feature* f = findFeature(features, uri);
    return f == nullptr ? nullptr : f->data;
}

// How often the UI's own timer runs the window: X events are handled on every
// pass; the window itself ticks the editor at most 60 times a second.
constexpr auto kOwnTimerPass = std::chrono::milliseconds(8);

bool isKestrinPlugin(const char* uri) noexcept {
    if (uri == nullptr) return false;
    for (const auto& v : lv2::variants())
        if (std::strcmp(v.uri, uri) == 0) return true;
    return false;
}

void complain(const char* what, const char* detail = "") { std::fprintf(stderr, "Kestrin 3 UI: %s%s\n", what, detail); }

}  // namespace

KestrinLv2Ui::KestrinLv2Ui(LV2UI_Write_Function write, LV2UI_Controller controller)
    : write_(write), controller_(controller), factory_([this](int w, int h) { tellHostSize(w, h); }) {}

std::unique_ptr<KestrinLv2Ui> KestrinLv2Ui::create(const char* pluginUri, LV2UI_Write_Function write,
                                                   LV2UI_Controller controller, LV2UI_Widget* widget,
                                                   const LV2_Feature* const* features) {
    if (!isKestrinPlugin(pluginUri)) {
        complain("not a Kestrin 3 plug-in: ", pluginUri == nullptr ? "(none)" : pluginUri);
        return nullptr;
    }
    if (write == nullptr || widget == nullptr) {
        complain("the host gave no write function or no place for the widget");
        return nullptr;
    }
    std::unique_ptr<KestrinLv2Ui> ui(new KestrinLv2Ui(write, controller));
    ui->resize_ = static_cast<const LV2UI_Resize*>(feature(features, LV2_UI__resize));
    ui->touch_ = static_cast<const LV2UI_Touch*>(feature(features, LV2_UI__touch));
    void* parent = const_cast<void*>(feature(features, LV2_UI__parent));

    ui->client_ = fw::makeClient<Kestrin>(&makeKestrinGUI);
    ui->client_->setHostCommand(ui.get());
    ui->editor_ = dynamic_cast<fw::GUIGraphics*>(ui->client_->openGraphicsFromHost());
    if (ui->editor_ == nullptr) {
        complain("the client made no editor");
        return nullptr;
    }
    ui->editor_->setWindowFactory(&ui->factory_);
    void* handle = ui->editor_->openUI(parent, nullptr, ui->client_.get(), fw::GraphicsBackend::x11);
    if (handle == nullptr) {
        complain("cannot open the editor's X window (no display, or the parent window is gone)");
        return nullptr;
    }
    *widget = handle;
    int width = 0, height = 0;
    ui->editor_->getGUISize(&width, &height);
    ui->tellHostSize(width, height);
    // A host that ticks UIs says so with the feature (its data is null).
    if (findFeature(features, LV2_UI__idleInterface) == nullptr) ui->startOwnTimer();
    return ui;
}

KestrinLv2Ui::~KestrinLv2Ui() {
    {
        std::lock_guard<std::recursive_mutex> lock(mutex_);
        stopTimer_ = true;
    }
    wake_.notify_all();
    if (ownTimer_.joinable()) ownTimer_.join();
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    // The window goes first: it may call the editor while it closes.
    if (editor_ != nullptr) editor_->closeUI();
}

void KestrinLv2Ui::startOwnTimer() noexcept {
    try {
        ownTimer_ = std::thread([this] { ownTimerLoop(); });
    } catch (const std::system_error& e) {
        complain("no timer thread; the editor moves only when the host calls idle: ", e.what());
    }
}

void KestrinLv2Ui::ownTimerLoop() noexcept {
    fw::ScopedAudioFloatingPointState fp;
    std::vector<HostCall> calls;
    std::unique_lock<std::recursive_mutex> lock(mutex_);
    for (;;) {
        wake_.wait_for(lock, kOwnTimerPass, [this] { return stopTimer_ || hostIdles_; });
        if (stopTimer_ || hostIdles_) return;
        onOwnTimer_ = true;
        fw::X11Window* w = window();
        const bool alive = w != nullptr && w->idle();
        onOwnTimer_ = false;
        calls.swap(deferred_);
        lock.unlock();
        for (const HostCall& call : calls) callHost(call);
        calls.clear();
        if (!alive) return;
        lock.lock();
    }
}

fw::X11Window* KestrinLv2Ui::window() const noexcept {
    return editor_ == nullptr ? nullptr : dynamic_cast<fw::X11Window*>(editor_->window());
}

void KestrinLv2Ui::portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format,
                             const void* buffer) noexcept {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (format != kFloatProtocol || size != sizeof(float) || buffer == nullptr) return;
    fw::Parameter* p = port < std::uint32_t(client_->numParams()) ? client_->param(int(port)) : nullptr;
    if (p == nullptr) return;
    float plain = 0;
    std::memcpy(&plain, buffer, sizeof plain);
    if (!std::isfinite(plain)) return;
    p->setFromHost(p->normalizedFromPlain(double(plain)));
}

int KestrinLv2Ui::idle() noexcept {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    // The host ticks after all: the UI's own timer stops.
    if (!hostIdles_) {
        hostIdles_ = true;
        wake_.notify_all();
    }
    fw::X11Window* w = window();
    return w != nullptr && w->idle() ? 0 : 1;
}

int KestrinLv2Ui::hostResize(int width, int height) noexcept {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    if (editor_ == nullptr || width <= 0 || height <= 0) return 1;
    editor_->getNearestValidSize(&width, &height);
    return editor_->nativeWindowResize(width, height) ? 0 : 1;
}

void KestrinLv2Ui::tellHostSize(int width, int height) noexcept {
    toHost({HostCall::Kind::resize, 0, 0, width, height});
}

void KestrinLv2Ui::beginParamEdit(int index) noexcept { toHost({HostCall::Kind::grab, std::uint32_t(index)}); }

void KestrinLv2Ui::paramAutomate(int index, float normalizedValue) noexcept {
    const fw::Parameter* p = client_->param(index);
    if (p == nullptr) return;
    toHost({HostCall::Kind::write, std::uint32_t(index), float(p->plainFromNormalized(double(normalizedValue)))});
}

void KestrinLv2Ui::endParamEdit(int index) noexcept { toHost({HostCall::Kind::release, std::uint32_t(index)}); }

void KestrinLv2Ui::toHost(const HostCall& call) noexcept {
    if (!onOwnTimer_) {
        callHost(call);
        return;
    }
    try {
        deferred_.push_back(call);
    } catch (const std::bad_alloc&) {
        // Out of memory: this one call is lost, the next write carries the value on.
    }
}

void KestrinLv2Ui::callHost(const HostCall& call) noexcept {
    switch (call.kind) {
        case HostCall::Kind::write:
            write_(controller_, call.port, sizeof call.plain, kFloatProtocol, &call.plain);
            break;
        case HostCall::Kind::grab:
        case HostCall::Kind::release:
            if (touch_ != nullptr && touch_->touch != nullptr)
                touch_->touch(touch_->handle, call.port, call.kind == HostCall::Kind::grab);
            break;
        case HostCall::Kind::resize:
            if (resize_ != nullptr && resize_->ui_resize != nullptr)
                resize_->ui_resize(resize_->handle, call.width, call.height);
            break;
    }
}

// The window resizes itself and then tells the host (tellHostSize).
bool KestrinLv2Ui::requestResize(int, int) noexcept { return true; }

// ---- The descriptor ----

namespace {

KestrinLv2Ui* ui(LV2UI_Handle h) noexcept { return static_cast<KestrinLv2Ui*>(h); }

// Every entry runs the editor's code under the audio floating-point state, as
// the window's own calls do (the window sets it for idle itself).
LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features) {
    fw::ScopedAudioFloatingPointState fp;
    return KestrinLv2Ui::create(pluginUri, write, controller, widget, features).release();
}

void cleanup(LV2UI_Handle h) {
    fw::ScopedAudioFloatingPointState fp;
    delete ui(h);
}

void portEvent(LV2UI_Handle h, std::uint32_t port, std::uint32_t size, std::uint32_t format, const void* buffer) {
    fw::ScopedAudioFloatingPointState fp;
    if (h != nullptr) ui(h)->portEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle h) { return h == nullptr ? 1 : ui(h)->idle(); }

int resize(LV2UI_Feature_Handle h, int width, int height) {
    fw::ScopedAudioFloatingPointState fp;
    return h == nullptr ? 1 : ui(h)->hostResize(width, height);
}

const LV2UI_Idle_Interface kIdle{&idle};
const LV2UI_Resize kResize{nullptr, &resize};

const void* extensionData(const char* uri) {
    if (uri == nullptr) return nullptr;
    if (std::strcmp(uri, LV2_UI__idleInterface) == 0) return &kIdle;
    if (std::strcmp(uri, LV2_UI__resize) == 0) return &kResize;
    return nullptr;
}

const LV2UI_Descriptor kDescriptor{lv2::kUiUri, &instantiate, &cleanup, &portEvent, &extensionData};

}  // namespace

const LV2UI_Descriptor* descriptor(std::uint32_t index) noexcept { return index == 0 ? &kDescriptor : nullptr; }

}  // namespace kestrin::lv2ui
