// Kestrin_ui.so loaded the way an LV2 host loads it: the UI and its binary are
// found through the bundle's manifest (lilv), the binary is opened with dlopen
// and driven through lv2ui_descriptor with the host features ui:parent (a
// window made here), ui:resize, ui:touch and urid:map. Real X input (XTest)
// plays with the editor, and the window's pixels must be those of the
// off-screen render of the same settings.

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <lilv/lilv.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include "../offscreencompare.h"
#include "jackprobe.h"
#include "framework/client/parameter.h"
#include "kestrin/gui/editorlayout.h"
#include "kestrin/kestrin.h"
#include "kestrin/lv2/kestrinlv2.h"
#include "support/xinput.h"
#include "support/xvfbserver.h"

// Xlib last: its macros (Status, None, Bool) would break the names above.
#include <X11/Xlib.h>

// Under ThreadSanitizer, scripts/tsan-suppressions.txt covers Xlib's own double
// unlock when a connection breaks (the lost-server cases).

namespace {

constexpr std::uint32_t kFeedbackL = 2;
constexpr std::uint32_t kSync = 8;

using Point = kestrintest::ScreenPoint;
constexpr auto centre = kestrintest::widgetCentre;

// The UI the manifest declares for the stereo plug-in, and its binary's path.
struct DeclaredUi {
    std::string uri;
    std::string binary;
};

DeclaredUi declaredUi() {
    DeclaredUi out;
    LilvWorld* world = lilv_world_new();
    LilvNode* bundle = lilv_new_file_uri(world, nullptr, KESTRIN_LV2_BUNDLE_DIR "/");
    lilv_world_load_bundle(world, bundle);
    LilvNode* uri = lilv_new_uri(world, kestrin::lv2::kStereoUri);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    if (LilvUIs* uis = plugin != nullptr ? lilv_plugin_get_uis(plugin) : nullptr) {
        if (lilv_uis_size(uis) == 1) {
            const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
            out.uri = lilv_node_as_uri(lilv_ui_get_uri(ui));
            if (char* path = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr)) {
                out.binary = path;
                lilv_free(path);
            }
        }
        lilv_uis_free(uis);
    }
    lilv_node_free(uri);
    lilv_node_free(bundle);
    lilv_world_free(world);
    return out;
}

// What the UI told the host.
struct HostLog {
    struct Write {
        std::uint32_t port, size, protocol;
        float value;
    };
    std::vector<Write> writes;
    std::vector<std::pair<std::uint32_t, bool>> touches;
    std::vector<std::pair<int, int>> sizes;
    std::vector<std::string> urids;

    std::vector<float> valuesFor(std::uint32_t port) const {
        std::vector<float> v;
        for (const Write& w : writes)
            if (w.port == port) v.push_back(w.value);
        return v;
    }
};

void writeFunction(LV2UI_Controller controller, std::uint32_t port, std::uint32_t size, std::uint32_t protocol,
                   const void* buffer) {
    float v = std::numeric_limits<float>::quiet_NaN();
    if (size == sizeof(float)) std::memcpy(&v, buffer, sizeof v);
    static_cast<HostLog*>(controller)->writes.push_back({port, size, protocol, v});
}
int resizeHost(LV2UI_Feature_Handle h, int w, int hgt) {
    static_cast<HostLog*>(h)->sizes.emplace_back(w, hgt);
    return 0;
}
void touchHost(LV2UI_Feature_Handle h, std::uint32_t port, bool grabbed) {
    static_cast<HostLog*>(h)->touches.emplace_back(port, grabbed);
}
LV2_URID mapUri(LV2_URID_Map_Handle h, const char* uri) {
    auto& urids = static_cast<HostLog*>(h)->urids;
    for (std::size_t i = 0; i < urids.size(); ++i)
        if (urids[i] == uri) return LV2_URID(i + 1);
    urids.emplace_back(uri);
    return LV2_URID(urids.size());
}

// The off-screen render at `width` with the given plain values.
bool sameAsOffscreen(const std::vector<std::uint8_t>& shot, int width,
                     const std::vector<std::pair<std::uint32_t, float>>& plainValues = {}) {
    return kestrintest::sameAsOffscreen(shot, width, [&](kestrin::Kestrin& client) {
        for (const auto& [port, plain] : plainValues) {
            fw::Parameter* p = client.param(int(port));
            p->setFromHost(p->normalizedFromPlain(plain));
        }
    });
}

// The shared server resets when its last client goes, and refuses
// connections while it does: one connection stays open for the whole run.
void keepSharedServerUp() {
    static Display* const keepAlive = XOpenDisplay(testsupport::sharedXvfb().display().c_str());
    (void)keepAlive;
}

class Lv2Ui : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        keepSharedServerUp();
        declared = declaredUi();
    }

    void SetUp() override {
        ASSERT_TRUE(testsupport::sharedXvfb().running());
        ASSERT_FALSE(declared.binary.empty()) << "the manifest declares no UI";
        library = dlopen(declared.binary.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
        ASSERT_NE(entry, nullptr);
        for (std::uint32_t i = 0; const LV2UI_Descriptor* d = entry(i); ++i)
            if (declared.uri == d->URI) descriptor = d;
        ASSERT_NE(descriptor, nullptr) << "no descriptor for " << declared.uri;
        idle = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
        ASSERT_NE(idle, nullptr);

        input = std::make_unique<testsupport::XInput>();
        ASSERT_TRUE(input->ok()) << "no X input on " << (getenv("DISPLAY") ? getenv("DISPLAY") : "(no DISPLAY)");
        host = input->display();
        parent = XCreateSimpleWindow(host, DefaultRootWindow(host), 0, 0, 1400, 1000, 0, 0, 0);
        XMapWindow(host, parent);
        XSync(host, False);
        input->moveTo(1900, 1190);
        input->sync();
    }
    void TearDown() override {
        close();
        if (host == nullptr) return;
        if (parent != 0) XDestroyWindow(host, parent);
        XSync(host, False);
        // The binary stays loaded (as hosts keep UI libraries): its statics live on.
    }

    // As a host that ticks its UIs (the ui:idleInterface feature), unless `withIdle` is false.
    LV2UI_Handle instantiate(const char* pluginUri, bool withParent = true, LV2UI_Write_Function write = &writeFunction,
                             bool withIdle = true) {
        resizeFeature = {&log, &resizeHost};
        touchFeature = {&log, &touchHost};
        mapFeature = {&log, &mapUri};
        const LV2_Feature parentF{LV2_UI__parent, reinterpret_cast<void*>(std::uintptr_t(parent))};
        const LV2_Feature resizeF{LV2_UI__resize, &resizeFeature};
        const LV2_Feature touchF{LV2_UI__touch, &touchFeature};
        const LV2_Feature mapF{LV2_URID__map, &mapFeature};
        const LV2_Feature idleF{LV2_UI__idleInterface, nullptr};
        std::vector<const LV2_Feature*> features = {&mapF, &resizeF, &touchF};
        if (withParent) features.push_back(&parentF);
        if (withIdle) features.push_back(&idleF);
        features.push_back(nullptr);
        widget = nullptr;
        return descriptor->instantiate(descriptor, pluginUri, KESTRIN_LV2_BUNDLE_DIR "/", write, &log, &widget,
                                       features.data());
    }
    void open() {
        ui = instantiate(kestrin::lv2::kStereoUri);
        ASSERT_NE(ui, nullptr);
        ASSERT_NE(widget, nullptr);
        settle();
    }
    void close() {
        if (ui != nullptr) descriptor->cleanup(ui);
        ui = nullptr;
    }
    Window editorWindow() const { return Window(reinterpret_cast<std::uintptr_t>(widget)); }

    void runFor(double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            idle->idle(ui);
            usleep(2000);
        }
    }
    XWindowAttributes attributes() {
        XWindowAttributes a{};
        XGetWindowAttributes(host, editorWindow(), &a);
        return a;
    }
    std::vector<std::uint8_t> grab() {
        const XWindowAttributes a = attributes();
        return testsupport::grabWindow(host, editorWindow(), 0, 0, a.width, a.height);
    }
    // Runs the UI until its picture stops changing.
    std::vector<std::uint8_t> settle() {
        std::vector<std::uint8_t> last;
        for (int i = 0; i < 40; ++i) {
            runFor(0.05);
            std::vector<std::uint8_t> now = grab();
            if (!now.empty() && now == last) return now;
            last = std::move(now);
        }
        return last;
    }
    void moveTo(Point p) {
        input->moveToWindow(editorWindow(), p.x + 2, p.y + 3);
        input->sync();
        runFor(0.02);
    }
    void dragBy(Point from, int dx, int dy, int steps = 10) {
        moveTo(from);
        input->press(1);
        input->sync();
        runFor(0.02);
        for (int i = 1; i <= steps; ++i) moveTo(Point{from.x + dx * i / steps, from.y + dy * i / steps});
        input->release(1);
        input->sync();
        runFor(0.05);
    }

    // A plain value of `port` inside its range.
    static float plainAt(std::uint32_t port, double normalized) {
        auto client = fw::makeClient<kestrin::Kestrin>();
        return float(client->param(int(port))->plainFromNormalized(normalized));
    }

    static inline DeclaredUi declared;
    void* library = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
    const LV2UI_Idle_Interface* idle = nullptr;
    std::unique_ptr<testsupport::XInput> input;
    Display* host = nullptr;
    Window parent = 0;
    HostLog log;
    LV2UI_Resize resizeFeature{};
    LV2UI_Touch touchFeature{};
    LV2_URID_Map mapFeature{};
    LV2UI_Handle ui = nullptr;
    LV2UI_Widget widget = nullptr;
};

TEST_F(Lv2Ui, OpensInTheParentAtItsDefaultSizeAndClosesTwice) {
    EXPECT_EQ(declared.uri, kestrin::lv2::kUiUri);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        log = HostLog{};
        open();
        Window root = 0, itsParent = 0, *children = nullptr;
        unsigned count = 0;
        ASSERT_NE(XQueryTree(host, editorWindow(), &root, &itsParent, &children, &count), 0);
        if (children != nullptr) XFree(children);
        EXPECT_EQ(itsParent, parent);
        EXPECT_EQ(attributes().width, 900);
        EXPECT_EQ(attributes().height, 450);
        EXPECT_EQ(log.sizes, (std::vector<std::pair<int, int>>{{900, 450}}));
        EXPECT_TRUE(sameAsOffscreen(settle(), 900));
        EXPECT_TRUE(log.writes.empty());
        close();
        XSync(host, False);
        ASSERT_NE(XQueryTree(host, parent, &root, &itsParent, &children, &count), 0);
        if (children != nullptr) XFree(children);
        EXPECT_EQ(count, 0u);
    }
}

TEST_F(Lv2Ui, PortEventsShowAsTheOffscreenRenderOfTheSameValues) {
    open();
    const float feedback = plainAt(kFeedbackL, 0.8);
    const float on = 1.0f;
    descriptor->port_event(ui, kFeedbackL, sizeof(float), 0, &feedback);
    descriptor->port_event(ui, kSync, sizeof(float), 0, &on);
    EXPECT_TRUE(sameAsOffscreen(settle(), 900, {{kFeedbackL, feedback}, {kSync, on}}));
    // The host's own values are not echoed back.
    EXPECT_TRUE(log.writes.empty());
    EXPECT_TRUE(log.touches.empty());
}

TEST_F(Lv2Ui, AKnobDragIsOneTouchWithGrowingWritesToItsPort) {
    open();
    const float start = plainAt(kFeedbackL, 0.3);
    descriptor->port_event(ui, kFeedbackL, sizeof(float), 0, &start);
    settle();
    dragBy(centre(kestrin::layout::feedbackKnobL), 0, -20);
    ASSERT_FALSE(log.touches.empty());
    EXPECT_EQ(log.touches.front(), std::make_pair(kFeedbackL, true));
    EXPECT_EQ(log.touches.back(), std::make_pair(kFeedbackL, false));
    EXPECT_EQ(log.touches.size(), 2u);
    const std::vector<float> values = log.valuesFor(kFeedbackL);
    ASSERT_GE(values.size(), 5u);
    EXPECT_EQ(values.size(), log.writes.size());  // no other port
    EXPECT_GT(values.front(), start);
    for (std::size_t i = 1; i < values.size(); ++i) EXPECT_GT(values[i], values[i - 1]) << i;
    for (const HostLog::Write& w : log.writes) {
        EXPECT_EQ(w.size, sizeof(float));
        EXPECT_EQ(w.protocol, 0u);
    }
    input->moveTo(1900, 1190);
    input->sync();
    EXPECT_TRUE(sameAsOffscreen(settle(), 900, {{kFeedbackL, values.back()}}));
}

TEST_F(Lv2Ui, WithoutTheHostsIdleCallsItRunsOnATimerOfItsOwn) {
    // A host that offers no idle interface and never calls idle: port events still
    // show, and a drag still reaches the host, from the UI's own timer.
    ui = instantiate(kestrin::lv2::kStereoUri, true, &writeFunction, false);
    ASSERT_NE(ui, nullptr);
    const float feedback = plainAt(kFeedbackL, 0.8);
    descriptor->port_event(ui, kFeedbackL, sizeof(float), 0, &feedback);
    // Nobody calls idle: the window must come to show the value by itself.
    const std::vector<std::uint8_t> expected = kestrintest::offscreenPicture(900, [&](kestrin::Kestrin& client) {
        fw::Parameter* p = client.param(int(kFeedbackL));
        p->setFromHost(p->normalizedFromPlain(feedback));
    });
    long differing = -1;
    for (int tries = 0; tries < 300 && differing != 0; ++tries) {
        usleep(100000);
        differing = kestrintest::differingPixels(grab(), expected);
    }
    EXPECT_EQ(differing, 0);

    const Point knob = centre(kestrin::layout::feedbackKnobL);
    auto pointerTo = [&](Point p) {
        input->moveToWindow(editorWindow(), p.x + 2, p.y + 3);
        input->sync();
        usleep(30000);
    };
    pointerTo(knob);
    input->press(1);
    input->sync();
    usleep(30000);
    for (int i = 1; i <= 10; ++i) pointerTo(Point{knob.x, knob.y + 2 * i});
    input->release(1);
    input->sync();
    usleep(100000);
    // Closing joins the timer thread, so the log is read after its last write.
    close();
    ASSERT_EQ(log.touches.size(), 2u);
    EXPECT_EQ(log.touches.front(), std::make_pair(kFeedbackL, true));
    EXPECT_EQ(log.touches.back(), std::make_pair(kFeedbackL, false));
    const std::vector<float> values = log.valuesFor(kFeedbackL);
    ASSERT_GE(values.size(), 3u);
    for (std::size_t i = 1; i < values.size(); ++i) EXPECT_LT(values[i], values[i - 1]) << i;
    EXPECT_LT(values.back(), feedback);
}

TEST_F(Lv2Ui, TheGripAndTheHostResizeTheEditor) {
    open();
    log.sizes.clear();
    dragBy(Point{895, 445}, 460, 230, 20);
    runFor(0.1);
    EXPECT_EQ(attributes().width, 1350);
    EXPECT_EQ(attributes().height, 675);
    ASSERT_FALSE(log.sizes.empty());
    EXPECT_EQ(log.sizes.back(), std::make_pair(1350, 675));
    input->moveTo(1900, 1190);
    input->sync();
    EXPECT_TRUE(sameAsOffscreen(settle(), 1350));

    // The host asks through the UI's own ui:resize: the nearest size the editor takes.
    const auto* resize = static_cast<const LV2UI_Resize*>(descriptor->extension_data(LV2_UI__resize));
    ASSERT_NE(resize, nullptr);
    EXPECT_EQ(resize->ui_resize(ui, 680, 330), 0);
    runFor(0.1);
    EXPECT_EQ(attributes().width, 675);
    EXPECT_EQ(attributes().height, 338);
    EXPECT_TRUE(sameAsOffscreen(settle(), 675));
}

TEST_F(Lv2Ui, RefusesWhatItCannotUseAndIgnoresBadPortEvents) {
    EXPECT_EQ(instantiate("urn:not-kestrin"), nullptr);
    EXPECT_EQ(instantiate(nullptr), nullptr);
    EXPECT_EQ(instantiate(kestrin::lv2::kStereoUri, true, nullptr), nullptr);
    EXPECT_EQ(descriptor->extension_data("urn:nothing"), nullptr);

    open();
    const std::vector<std::uint8_t> before = settle();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float value = plainAt(kFeedbackL, 0.9);
    const double wide = 0.9;
    const auto client = fw::makeClient<kestrin::Kestrin>();
    const std::uint32_t latencyPort = std::uint32_t(client->numParams()) + 4;
    descriptor->port_event(ui, kFeedbackL, sizeof(float), 0, &nan);
    descriptor->port_event(ui, kFeedbackL, sizeof(float), 0, &inf);
    descriptor->port_event(ui, kFeedbackL, sizeof(double), 0, &wide);
    descriptor->port_event(ui, kFeedbackL, 0, 0, &value);
    descriptor->port_event(ui, kFeedbackL, sizeof(float), 7, &value);  // an atom protocol
    descriptor->port_event(ui, kFeedbackL, sizeof(float), 0, nullptr);
    descriptor->port_event(ui, latencyPort, sizeof(float), 0, &value);
    descriptor->port_event(ui, 100000, sizeof(float), 0, &value);
    EXPECT_EQ(settle(), before);
    EXPECT_TRUE(log.writes.empty());
    // A good one still works afterwards.
    descriptor->port_event(ui, kFeedbackL, sizeof(float), 0, &value);
    EXPECT_TRUE(sameAsOffscreen(settle(), 900, {{kFeedbackL, value}}));

    // The host destroys the parent before cleanup: idle says the UI is gone.
    XDestroyWindow(host, parent);
    XSync(host, False);
    parent = 0;
    int result = 0;
    for (int i = 0; i < 20 && result == 0; ++i) {
        result = idle->idle(ui);
        usleep(5000);
    }
    EXPECT_NE(result, 0);
    close();
}

TEST_F(Lv2Ui, IdleAfterTheDisplayWentAway) {
    const std::string shared = testsupport::sharedXvfb().display();
    {
        testsupport::XvfbServer server;
        ASSERT_TRUE(server.running()) << server.error();
        ui = instantiate(kestrin::lv2::kStereoUri, false);
        ASSERT_NE(ui, nullptr);
        EXPECT_EQ(idle->idle(ui), 0);
        server.stop();
        for (int i = 0; i < 3; ++i) EXPECT_NE(idle->idle(ui), 0);
        const float value = plainAt(kFeedbackL, 0.5);
        descriptor->port_event(ui, kFeedbackL, sizeof(float), 0, &value);
        close();
    }
    setenv("DISPLAY", shared.c_str(), 1);
    // A UI opened on a display that does not answer is refused.
    setenv("DISPLAY", ":4097", 1);
    EXPECT_EQ(instantiate(kestrin::lv2::kStereoUri), nullptr);
    setenv("DISPLAY", shared.c_str(), 1);
}

// ---- In a real host: jalv.gtk3 under JACK's dummy driver ----

extern "C" char** environ;

// A program run in the background, ended (SIGTERM, then SIGKILL) by its own id.
class Background {
public:
    explicit Background(std::vector<std::string> argv) {
        std::vector<char*> args;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Background() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        for (int i = 0; i < 50; ++i) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
            usleep(100000);
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;
    bool running() { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

private:
    pid_t pid_ = -1;
};

// The window at the bottom of the tree under `w` that is `width` x `height`:
// the editor's, inside the host's own windows of that size.
Window leafOfSize(Display* d, Window w, int width, int height) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(d, w, &root, &parent, &children, &count) != 0) {
        for (unsigned i = 0; i < count && found == 0; ++i) found = leafOfSize(d, children[i], width, height);
        if (children != nullptr) XFree(children);
    }
    if (found != 0 || count != 0) return found;
    XWindowAttributes a{};
    if (XGetWindowAttributes(d, w, &a) != 0 && a.width == width && a.height == height && a.map_state == IsViewable)
        return w;
    return 0;
}

std::vector<std::uint8_t> settledPicture(Display* d, Window w, int width, int height) {
    std::vector<std::uint8_t> last;
    for (int i = 0; i < 60; ++i) {
        usleep(100000);
        std::vector<std::uint8_t> now = testsupport::grabWindow(d, w, 0, 0, width, height);
        if (!now.empty() && now == last) return now;
        last = std::move(now);
    }
    return last;
}

TEST(Lv2UiInJalv, ShowsTheEditorAndADragChangesIt) {
    if (std::string(JALV_GTK3).empty() || std::string(JACKD).empty()) GTEST_SKIP() << "jalv.gtk3 or jackd is missing";
    if (KESTRIN_SANITIZED) GTEST_SKIP() << "Debian's hosts cannot load a sanitized plug-in without its runtime";
    keepSharedServerUp();
    ASSERT_TRUE(testsupport::sharedXvfb().running());
    namespace fs = std::filesystem;
    // LV2_PATH: a folder holding only a link to the bundle.
    const fs::path lv2Path = fs::temp_directory_path() / ("kestrin-lv2ui-path-" + std::to_string(getpid()));
    std::error_code ec;
    fs::create_directories(lv2Path, ec);
    fs::create_directory_symlink(KESTRIN_LV2_BUNDLE_DIR, lv2Path / "Kestrin.lv2", ec);
    const std::string jackName = "kestrin-lv2ui-" + std::to_string(getpid());
    setenv("LV2_PATH", lv2Path.c_str(), 1);
    setenv("JACK_DEFAULT_SERVER", jackName.c_str(), 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    {
        Background jack({JACKD, "--no-realtime", "-n", jackName, "-d", "dummy", "-r", "48000", "-p", "512"});
        usleep(1500000);
        ASSERT_TRUE(jack.running());
        const std::string jalvName = "kestrin-jalv-" + std::to_string(getpid());
        Background jalv({JALV_GTK3, "--jack-name", jalvName, "--exact-jack-name", kestrin::lv2::kStereoUri});
        testsupport::XInput input;
        ASSERT_TRUE(input.ok());
        Window editor = 0;
        for (int i = 0; i < 100 && editor == 0; ++i) {
            usleep(100000);
            editor = leafOfSize(input.display(), DefaultRootWindow(input.display()), 900, 450);
        }
        ASSERT_NE(editor, 0u) << "jalv shows no 900 x 450 editor";
        input.moveTo(1900, 1190);
        input.sync();
        EXPECT_TRUE(sameAsOffscreen(settledPicture(input.display(), editor, 900, 450), 900));

        // A drag on the left feedback knob, as in the Mac host's test: the knob
        // and its readout move in the host's window, and the host stays up.
        const Point knob = centre(kestrin::layout::feedbackKnobL);
        input.moveToWindow(editor, knob.x + 2, knob.y + 3);
        input.sync();
        usleep(100000);
        input.press(1);
        input.sync();
        for (int i = 1; i <= 10; ++i) {
            usleep(50000);
            input.moveToWindow(editor, knob.x + 2, knob.y + 3 - 2 * i);
            input.sync();
        }
        usleep(50000);
        input.release(1);
        input.moveTo(1900, 1190);
        input.sync();
        const std::vector<std::uint8_t> after = settledPicture(input.display(), editor, 900, 450);
        editorshot::EditorSession defaults(900);
        for (int i = 0; i < 3; ++i) defaults.frame();
        long changed = 0;
        const auto screen = defaults.screen();
        ASSERT_EQ(after.size(), std::size_t(screen.w) * std::size_t(screen.h) * 4);
        const fw::Box arc = kestrin::layout::rect(kestrin::layout::feedbackArcL);
        long outside = 0;
        for (int y = 0; y < screen.h; ++y)
            for (int x = 0; x < screen.w; ++x) {
                const fw::RGBA p = screen.at(x, y);
                const std::uint8_t* q = &after[(std::size_t(y) * screen.w + x) * 4];
                const bool differs = p.r != q[0] || p.g != q[1] || p.b != q[2];
                const bool inArc = x >= arc.minX && x < arc.maxX && y >= arc.minY && y < arc.maxY;
                changed += differs && inArc;
                outside += differs && !inArc && y > kestrin::layout::rect(kestrin::layout::feedbackKnobL).maxY + 40;
            }
        EXPECT_GT(changed, 100);
        EXPECT_EQ(outside, 0);
        EXPECT_TRUE(jalv.running());

        // What the host holds, heard through JACK: a sine into the left input only.
        // The right output then carries nothing but the left input's echoes, scaled
        // by 1 - "Mix R", so dragging Mix R to the top silences it. Only the port
        // value jalv passes to run() can do that.
        kestrintest::JackProbe probe;
        ASSERT_TRUE(probe.ok());
        ASSERT_TRUE(probe.connectTo(jalvName));
        probe.measure(1.2);
        const kestrintest::JackProbe::Peaks heardBefore = probe.measure(0.5);
        EXPECT_GT(heardBefore.left, 0.1f);
        EXPECT_GT(heardBefore.right, 0.01f);
        const Point mix = centre(kestrin::layout::mixKnobR);
        input.moveToWindow(editor, mix.x, mix.y);
        input.sync();
        usleep(100000);
        input.press(1);
        input.sync();
        for (int i = 1; i <= 20; ++i) {
            usleep(30000);
            input.moveToWindow(editor, mix.x, mix.y - 15 * i);
            input.sync();
        }
        usleep(50000);
        input.release(1);
        input.moveTo(1900, 1190);
        input.sync();
        probe.measure(0.5);
        const kestrintest::JackProbe::Peaks heardAfter = probe.measure(0.5);
        EXPECT_GT(heardAfter.left, 0.1f);
        EXPECT_LT(heardAfter.right, heardBefore.right * 1e-3f) << "the host's Mix R did not follow the drag";
        EXPECT_TRUE(jalv.running());
    }
    unsetenv("LV2_PATH");
    unsetenv("JACK_DEFAULT_SERVER");
    unsetenv("JACK_NO_START_SERVER");
    fs::remove_all(lv2Path, ec);
}

}  // namespace
