// Cocoa re-exports AppKit, the class runtime and CoreFoundation; see CMakeLists.txt.
