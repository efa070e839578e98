#pragma once
// `kestrin info`: what a host learns about the plug-in.

#include <string>

#include "kestrinhost.h"

namespace kestrincli {

// Main thread. The identity, channel layouts, latency and tail, the parameter table
// and the factory presets, as text.
std::string describePlugin(KestrinHost& host);

}  // namespace kestrincli
