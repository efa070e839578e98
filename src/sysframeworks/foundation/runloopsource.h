#pragma once
// How AppKit plugs the window-system connection into the main thread's run
// loop. Exported by the Foundation library for the AppKit library only; not
// part of the public headers. Main thread only.

extern "C" {

struct SysFwRunLoopEventSource {
    // The connection's file descriptor to wait on; -1 when there is none
    // (never connected, or the connection was lost).
    int (*fileDescriptor)(void);
    // True when events are already queued in the process, so the run loop
    // must not wait.
    bool (*hasQueuedEvents)(void);
    // Reads and dispatches every pending event for a run in `mode`; true when
    // at least one was dispatched.
    bool (*dispatchEvents)(const char* mode);
    // After the timers: lay out and display the windows, flush the connection.
    void (*finishPass)(void);
};

// Installs (or, with NULL, removes) the main run loop's event source. The
// structure must stay valid while installed.
__attribute__((visibility("default"))) void SysFwRunLoopSetMainEventSource(const SysFwRunLoopEventSource* source);
}
