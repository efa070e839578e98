#pragma once
// The Cocoa view factory: a class registered at run time, derived from NSObject and
// conforming to AUCocoaUIBase, whose uiViewForAudioUnit:withSize: finds the unit's
// AUClient (through its private property) and opens the editor's view. The class name
// carries a fresh UUID so that several plug-ins built on this wrapper can be loaded
// side by side.

namespace fw::au {

// UI thread. Registers the class on the first call (Cocoa is opened then) and returns
// its name, the same for the life of the process; null when registration failed.
const char* viewFactoryClassName() noexcept;

}  // namespace fw::au
