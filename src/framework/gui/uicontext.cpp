#include "framework/gui/uicontext.h"

#include <cstring>

#include "framework/core/fatal.h"
#include "framework/gui/uielement.h"

namespace fw {

namespace {

void zero(int* width, int* height) noexcept {
    if (width) *width = 0;
    if (height) *height = 0;
}

void checkSlot(int slot) noexcept {
    if (slot < 0 || slot >= UIContext::kNumUserPointers) fatalError("UIContext: user pointer slot outside 0..15");
}

}  // namespace

void UIContext::getDefaultUISizeInPixels(int* width, int* height) {
    if (host_) host_->contextDefaultSize(width, height);
    else zero(width, height);
}

int UIContext::getDefaultUIWidth() {
    int w = 0, h = 0;
    getDefaultUISizeInPixels(&w, &h);
    return w;
}

int UIContext::getDefaultUIHeight() {
    int w = 0, h = 0;
    getDefaultUISizeInPixels(&w, &h);
    return h;
}

void UIContext::getUISizeInPixelsUser(int* width, int* height) {
    if (host_) host_->contextUISize(width, height);
    else zero(width, height);
}

void UIContext::getUISizeInPixelsLogical(int* width, int* height) {
    if (host_) host_->contextWindowSize(width, height);
    else zero(width, height);
}

void UIContext::getUISizeInPixelsPhysical(int* width, int* height) { getUISizeInPixelsLogical(width, height); }

bool UIContext::requestUIResize(int width, int height) {
    return host_ ? host_->contextRequestResize(width, height) : false;
}

void UIContext::requestUIScreenshot() {
    if (host_) host_->contextRequestScreenshot();
}

void UIContext::getUINearestValidSize(int* width, int* height) {
    if (host_) host_->contextNearestValidSize(width, height);
}

bool UIContext::isUIResizable() { return host_ ? host_->contextIsResizable() : false; }

ThreadPool* UIContext::globalThreadPool() { return host_ ? host_->contextThreadPool() : nullptr; }

void UIContext::setUserPointer(int slot, void* userPointer) {
    checkSlot(slot);
    userPointers_[slot] = userPointer;
}

void* UIContext::getUserPointer(int slot) {
    checkSlot(slot);
    return userPointers_[slot];
}

UIElement* UIContext::getElementById(const char* id) {
    if (id == nullptr) return nullptr;
    if (std::strcmp(id, "__ROOT__") == 0) return rootElement_;
    return rootElement_ ? rootElement_->getElementById(id) : nullptr;
}

}  // namespace fw
