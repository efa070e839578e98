#pragma once
// The editor's NSView subclass: registered at run time, one per CocoaWindow,
// with the instance variable "this" pointing at its window and the Cocoa methods
// that forward to it.

#include <cstddef>

#include <objc/objc.h>

namespace fw {

class CocoaWindow;

namespace cocoa {

// UI thread. Registers a subclass of NSView named "PluginCustomView_" + a fresh
// UUID, writing the name into `name`. Nil when the class runtime refuses.
Class registerViewClass(char* name, std::size_t nameSize) noexcept;

// UI thread. The window behind one of those views (null once it is gone).
CocoaWindow* windowOfView(id view) noexcept;
void setWindowOfView(id view, CocoaWindow* window) noexcept;

}  // namespace cocoa
}  // namespace fw
