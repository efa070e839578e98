#pragma once
// .aupreset files: a unit's class-info dictionary as an XML property list.

#include "auhost/cfref.h"
#include "auhost/hostresult.h"

#include <string>

namespace auhost {

// Reads a preset file; it must hold a dictionary with "version", "type",
// "subtype" and "manufacturer".
HostResult readPresetFile(const std::string& path, CFRef<CFPropertyListRef>& out);
// Writes the class info as XML (replacing the file through a temporary one).
HostResult writePresetFile(const std::string& path, CFPropertyListRef classInfo);
// The user preset folder hosts use: ~/Library/Audio/Presets/<manufacturer>/<unit>/.
std::string userPresetFolder(const std::string& manufacturer, const std::string& unitName);

}  // namespace auhost
