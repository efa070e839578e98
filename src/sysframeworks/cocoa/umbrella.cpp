// Cocoa re-exports AppKit, Foundation, the class runtime and CoreFoundation; see CMakeLists.txt.
