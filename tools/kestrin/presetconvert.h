#pragma once
// kestrin convert: moves a user's sound between formats.
//   .aupreset -> NAME.lv2   an LV2 preset bundle (manifest.ttl, preset.ttl) holding
//                           the port values and the state chunk; copy it into ~/.lv2
//   NAME.lv2 (or its .ttl) -> .aupreset   from the preset's port values and label
// Both go through the Audio Unit as a host loads it, so what is written is what the
// plug-in itself accepts.

#include <string>

#include "kestrinhost.h"

namespace kestrincli {

// Host thread. False with a message in `error`.
bool convertPreset(KestrinHost& host, const std::string& input, const std::string& output, std::string& error);

}  // namespace kestrincli
