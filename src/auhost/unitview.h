#pragma once
// UnitEditorWindow: a unit's own editor in a window, opened the way a Mac host
// opens it, through Apple's API only: the unit's kAudioUnitProperty_CocoaUI
// names a bundle and a view-factory class; the host finds the class with
// objc_getClass, checks it conforms to AUCocoaUIBase, asks it for the view with
// uiViewForAudioUnit:withSize:, puts the view in a window titled with the
// unit's name, and follows the view's size when the editor resizes itself.
//
// Thread: the application's main thread only, after
// [NSApplication sharedApplication] succeeded (see openApplication).

#include "auhost/hostresult.h"

#include <AudioToolbox/AudioToolbox.h>
#include <objc/objc.h>

#include <memory>
#include <string>

namespace auhost {

// Main thread. Starts the application (NSApp); a failure when the window
// system cannot be reached (no display).
HostResult openApplication();

class UnitEditorWindow {
public:
    // How a run of the window ended.
    enum class RunEnd {
        closed,       // the user closed the window
        displayLost,  // the connection to the window system went away
    };

    // Called on the main thread about 30 times a second while the window runs.
    class ITickListener {
    public:
        virtual ~ITickListener() = default;
        virtual void onHostTick() = 0;
    };

    // Main thread. Opens the unit's editor view in a new window, shown at once.
    static HostResult open(AudioUnit unit, const std::string& title, std::unique_ptr<UnitEditorWindow>& out);
    // Closes the window if it is still open.
    ~UnitEditorWindow();
    UnitEditorWindow(const UnitEditorWindow&) = delete;
    UnitEditorWindow& operator=(const UnitEditorWindow&) = delete;

    // Runs the application modally for this window until it closes.
    // `listener` (may be null, borrowed) is called while it runs.
    RunEnd runUntilClosed(ITickListener* listener = nullptr);
    // Runs the application's loop for `seconds` without blocking on the window.
    void runFor(double seconds);
    // Closes the window (as its close button does); the editor closes with it.
    void close();
    bool isOpen() const;

    id view() const { return view_; }
    id window() const { return window_; }
    // The X window (windowNumber) of the window, for tests aiming input at it.
    long windowNumber() const;

    // Called by the window's controller object.
    void viewFrameDidChange();
    void tick();

private:
    UnitEditorWindow() = default;

    id view_ = nullptr;        // the unit's view (retained by us while the window exists)
    id window_ = nullptr;
    id controller_ = nullptr;  // notification observer and timer target
    id timer_ = nullptr;
    ITickListener* tickListener_ = nullptr;
};

}  // namespace auhost
