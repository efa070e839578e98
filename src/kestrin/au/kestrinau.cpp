// The Kestrin 3 plug-in binary: its only two exported symbols, the Audio Component
// factory that hosts find through the bundle's Info.plist and the older Component
// Manager entry. Everything else in the library is hidden (see exports.map).

#include <AudioToolbox/AudioToolbox.h>

#include "framework/au/auentry.h"
#include "kestrin/gui/kestringui.h"
#include "kestrin/kestrin.h"

namespace {

// The Audio Unit carries the editor: hosts ask for it through the view factory.
std::unique_ptr<fw::Client> makeKestrin() { return fw::makeClient<kestrin::Kestrin>(&kestrin::makeKestrinGUI); }

}  // namespace

#define KESTRIN_EXPORT extern "C" __attribute__((visibility("default")))

// Any host thread. A new plug-in interface for one instance.
KESTRIN_EXPORT AudioComponentPlugInInterface* pluginAUComponentFactoryFunction(const AudioComponentDescription*) {
    return fw::au::createPlugInInterface(&makeKestrin);
}

// Any host thread (render: the audio thread). The Component Manager entry.
// The storage is a Handle, exactly as ComponentRoutineProcPtr declares it.
KESTRIN_EXPORT ComponentResult pluginAUEntryPoint(ComponentParameters* params, Handle storage) {
    return fw::au::componentEntry(params, storage, &makeKestrin);
}
