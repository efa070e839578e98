#pragma once
// Factory presets as the host sees them: a CFArray of reference-counted AUPreset
// records. Each record starts with the AUPreset (number, name) the host reads; the
// array's callbacks retain and release the records (and their names), compare them
// by number and then name, and describe them.

#include <CoreFoundation/CoreFoundation.h>

#include <span>
#include <string>

namespace fw::au {

// Host thread. A new array (the caller releases it) of presets numbered 0, 1, ... with
// these names, in order; null when it cannot be created.
CFArrayRef createFactoryPresetArray(std::span<const std::string> names) noexcept;

}  // namespace fw::au
