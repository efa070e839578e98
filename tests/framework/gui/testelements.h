#pragma once
// Elements for the editor tests: a probe that records what reached it, and
// helpers to read layers.

#include <string>
#include <vector>

#include "framework/gui/uicontext.h"
#include "framework/gui/uielement.h"

namespace guitest {

using fw::Box;

// Records every event in `log` (shared between probes, so the order across
// elements is visible) and answers clicks, wheels and keys as told.
class Probe : public fw::UIElement {
public:
    Probe(fw::UIContext& c, std::string name, std::vector<std::string>* log,
          std::uint32_t flags = fw::UIFlags::drawsRaw)
        : UIElement(c, flags), name_(std::move(name)), log_(log) {}

    fw::Click clickAnswer = fw::Click::notHandled;
    bool wheelAnswer = false;
    bool keyAnswer = false;
    int lastX = 0, lastY = 0;

    fw::Click onMouseClick(int x, int y, int, bool, fw::MouseState) override {
        note("click", x, y);
        return clickAnswer;
    }
    bool onMouseWheel(int x, int y, int, int, fw::MouseState) override {
        note("wheel", x, y);
        return wheelAnswer;
    }
    void onMouseMove(int x, int y, int, int, fw::MouseState) override { note("move", x, y); }
    void onMouseDrag(int x, int y, int, int, fw::MouseState) override { note("drag", x, y); }
    void onBeginDrag() override { note("beginDrag"); }
    void onStopDrag() override { note("stopDrag"); }
    void onMouseEnter() override { note("enter"); }
    void onMouseExit() override { note("exit"); }
    void onFocusEnter() override { note("focus"); }
    void onFocusExit() override { note("unfocus"); }
    bool onKeyDown(fw::Key) override {
        note("keyDown");
        return keyAnswer;
    }
    bool onKeyUp(fw::Key) override {
        note("keyUp");
        return keyAnswer;
    }
    void onAnimate(double, double) override { note("animate"); }

private:
    void note(const char* what, int x, int y) {
        lastX = x;
        lastY = y;
        note(what);
    }
    void note(const char* what) { log_->push_back(name_ + "." + what); }
    std::string name_;
    std::vector<std::string>* log_;
};

}  // namespace guitest
