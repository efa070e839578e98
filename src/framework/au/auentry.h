#pragma once
// The two ways a host enters an Audio Unit plug-in, for a plug-in binary to export:
//
//   extern "C" AudioComponentPlugInInterface* pluginAUComponentFactoryFunction(
//       const AudioComponentDescription*) { return fw::au::createPlugInInterface(&makeMyClient); }
//   extern "C" ComponentResult pluginAUEntryPoint(ComponentParameters* params, Handle storage) {
//       return fw::au::componentEntry(params, storage, &makeMyClient);
//   }
//
// Every entry (factory, interface methods, Component Manager calls) runs with the
// floating-point state set for audio and restored on return, and catches every
// exception, turning it into an error code.

#include <memory>

#include <AudioToolbox/AudioToolbox.h>

#include "framework/client/client.h"

namespace fw::au {

// Creates the plug-in's client; called once per opened instance.
using ClientFactory = std::unique_ptr<Client> (*)();

// Any host thread. A new plug-in interface record whose Open creates the client and
// its AUClient and whose Close destroys them and the record; null when out of memory.
AudioComponentPlugInInterface* createPlugInInterface(ClientFactory factory) noexcept;

// Any host thread. The Component Manager entry: open (-1) creates the client and
// stores its AUClient as the instance storage, close (-2) destroys them, render (14)
// goes straight to rendering and every other selector to the dispatcher.
ComponentResult componentEntry(ComponentParameters* params, void* storage, ClientFactory factory) noexcept;

}  // namespace fw::au
