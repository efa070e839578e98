#pragma once
// The unit's whole state as an .aupreset file, loaded and saved with messages that
// name the file and the cause in plain words.

#include <string>

#include "kestrinhost.h"

namespace kestrincli {

// Main thread. Loads a state saved by any host. Refuses a file that is missing, not a
// property list, or saved for another plug-in ("this state belongs to another plug-in
// (subtype dely, manufacturer appl)"), before the unit sees it.
bool loadStateFile(KestrinHost& host, const std::string& path, std::string& error);

// Main thread. Saves the unit's state, replacing the file.
bool saveStateFile(KestrinHost& host, const std::string& path, std::string& error);

}  // namespace kestrincli
