// `kestrin edit` as a user runs it: the editor window under an X server, real
// X input, the status line, the state saved when the window closes, and the
// ways a session can end badly (no display, Ctrl-C, the display going away).

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "kestrin/gui/editorlayout.h"
#include "kestrinhost.h"
#include "support/xinput.h"
#include "support/xvfbserver.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string slurp(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// `kestrin edit ...` started in the background with its output in files.
class EditProcess {
public:
    EditProcess(const fs::path& dir, const std::vector<std::string>& args, const char* display)
        : out_(dir / "edit.out"), err_(dir / "edit.err") {
        std::vector<std::string> argv{KESTRIN_TOOL, "edit"};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> cargv;
        for (std::string& a : argv) cargv.push_back(a.data());
        cargv.push_back(nullptr);
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e)
            if (std::string_view(*e).rfind("DISPLAY=", 0) != 0) env.emplace_back(*e);
        if (display != nullptr) env.push_back(std::string("DISPLAY=") + display);
        std::vector<char*> cenv;
        for (std::string& e : env) cenv.push_back(e.data());
        cenv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_EQ(posix_spawn(&pid_, cargv[0], &actions, nullptr, cargv.data(), cenv.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~EditProcess() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    // The exit code (128 + signal when killed), or -1 if it did not end in time.
    int wait(std::chrono::milliseconds timeout = 20000ms) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }
    void signal(int sig) { ::kill(pid_, sig); }
    std::string out() const { return slurp(out_); }
    std::string err() const { return slurp(err_); }

private:
    fs::path out_, err_;
    pid_t pid_ = -1;
    bool exited_ = false;
};

// The top-level window whose title contains `name`, waiting for it to appear.
Window findWindow(Display* d, const std::string& name, std::chrono::milliseconds timeout = 15000ms) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &count)) {
            for (unsigned i = 0; i < count; ++i) {
                char* title = nullptr;
                XWindowAttributes a{};
                const bool mapped = XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable;
                if (mapped && XFetchName(d, children[i], &title) && title != nullptr) {
                    const bool match = std::string(title).find(name) != std::string::npos;
                    XFree(title);
                    if (match) {
                        const Window w = children[i];
                        XFree(children);
                        return w;
                    }
                }
            }
            if (children) XFree(children);
        }
        std::this_thread::sleep_for(20ms);
    }
    return 0;
}

// What the window manager's close button sends.
void requestClose(Display* d, Window w) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, w, False, NoEventMask, &e);
    XFlush(d);
}

// Drags the left feedback knob 30 pixels up with real X input.
void dragFeedbackKnob(testsupport::XInput& input, Window w) {
    const fw::Box b = kestrin::layout::rect(kestrin::layout::feedbackKnobL);
    const int x = (b.minX + b.maxX) / 2 + 2, y = (b.minY + b.maxY) / 2 + 3;
    input.moveToWindow(w, x, y);
    input.sync();
    std::this_thread::sleep_for(50ms);
    input.press(1);
    for (int i = 1; i <= 10; ++i) {
        input.moveToWindow(w, x, y - 3 * i);
        input.sync();
        std::this_thread::sleep_for(20ms);
    }
    input.release(1);
    input.sync();
}

// Waits until the program's standard output holds `text`.
bool waitForOutput(const EditProcess& p, const std::string& text, std::chrono::milliseconds timeout = 10000ms) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (p.out().find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

float savedFeedback(const fs::path& state) {
    std::unique_ptr<kestrincli::KestrinHost> host;
    std::string error;
    EXPECT_TRUE(kestrincli::KestrinHost::load(kestrincli::KestrinHost::defaultPluginPath(), host, error)) << error;
    if (!host) return -1;
    EXPECT_TRUE(host->unit().loadPresetFile(state.string()).ok());
    AudioUnitParameterValue v = -1;
    EXPECT_TRUE(host->unit().getParameter(2, v).ok());
    return v;
}

float defaultFeedback() {
    std::unique_ptr<kestrincli::KestrinHost> host;
    std::string error;
    EXPECT_TRUE(kestrincli::KestrinHost::load(kestrincli::KestrinHost::defaultPluginPath(), host, error)) << error;
    AudioUnitParameterValue v = -1;
    if (host) {
        EXPECT_TRUE(host->unit().getParameter(2, v).ok());
    }
    return v;
}

class KestrinEdit : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kestrin-edit-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(KestrinEdit, WithoutAReachableDisplayItSaysSoAndExitsWithOne) {
    {
        EditProcess p(dir_, {"--save-state", (dir_ / "s.aupreset").string()}, nullptr);
        EXPECT_EQ(p.wait(), 1);
        EXPECT_NE(p.err().find("DISPLAY is not set"), std::string::npos) << p.err();
    }
    {
        EditProcess p(dir_, {}, ":4321");
        EXPECT_EQ(p.wait(), 1);
        EXPECT_NE(p.err().find("cannot open the display \":4321\""), std::string::npos) << p.err();
    }
    EXPECT_FALSE(fs::exists(dir_ / "s.aupreset"));
}

TEST_F(KestrinEdit, ShowsEachChangeAndSavesTheStateWhenTheWindowCloses) {
    testsupport::XvfbServer& x = testsupport::sharedXvfb();
    const fs::path state = dir_ / "shaped.aupreset";
    EditProcess p(dir_, {"--save-state", state.string()}, x.display().c_str());
    ::setenv("DISPLAY", x.display().c_str(), 1);
    testsupport::XInput input;
    const Window w = findWindow(input.display(), "Kestrin 3");
    ASSERT_NE(w, 0u) << p.err();
    dragFeedbackKnob(input, w);
    EXPECT_TRUE(waitForOutput(p, "\rFeedback L: ")) << p.out();
    requestClose(input.display(), w);
    EXPECT_EQ(p.wait(), 0) << p.err();
    EXPECT_NE(p.out().find("saved the state to " + state.string()), std::string::npos) << p.out();
    ASSERT_TRUE(fs::exists(state));
    EXPECT_GT(savedFeedback(state), defaultFeedback());
}

TEST_F(KestrinEdit, CtrlCClosesTheEditorAndKeepsTheSound) {
    testsupport::XvfbServer& x = testsupport::sharedXvfb();
    const fs::path state = dir_ / "interrupted.aupreset";
    EditProcess p(dir_, {"--save-state", state.string(), "--preset", "2"}, x.display().c_str());
    ::setenv("DISPLAY", x.display().c_str(), 1);
    testsupport::XInput input;
    ASSERT_NE(findWindow(input.display(), "Kestrin 3"), 0u) << p.err();
    p.signal(SIGINT);
    EXPECT_EQ(p.wait(), 130) << p.err();
    EXPECT_TRUE(fs::exists(state));
}

TEST_F(KestrinEdit, ALostDisplayEndsTheSessionWithAMessageAndKeepsTheState) {
    testsupport::XvfbServer own;  // names itself in DISPLAY
    ASSERT_TRUE(own.running()) << own.error();
    const fs::path state = dir_ / "lost.aupreset";
    EditProcess p(dir_, {"--save-state", state.string()}, own.display().c_str());
    {
        testsupport::XInput input;
        const Window w = findWindow(input.display(), "Kestrin 3");
        ASSERT_NE(w, 0u) << p.err();
        dragFeedbackKnob(input, w);
        ASSERT_TRUE(waitForOutput(p, "\rFeedback L: ")) << p.out();
    }
    own.stop();
    EXPECT_EQ(p.wait(), 1) << p.err();
    EXPECT_NE(p.err().find("connection to the display was lost"), std::string::npos) << p.err();
    ASSERT_TRUE(fs::exists(state));
    EXPECT_GT(savedFeedback(state), defaultFeedback());
}

}  // namespace
