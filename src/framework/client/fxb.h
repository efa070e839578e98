#pragma once
// Reading presets from an FXB bank (the factory presets a plug-in embeds).
//
// Layout (big-endian except the two lengths): "CcnK", length L (little-endian, L
// bytes skipped), "FxBk", bank version, plug-in code, plug-in version, program
// count N, 128 reserved bytes; then N programs: "CcnK", length M (little-endian,
// M bytes skipped), "FxCk", program version 1, plug-in code, plug-in version,
// parameter count K, a 28-byte name, K IEEE single values.

#include <cstdint>
#include <span>
#include <vector>

#include "framework/client/preset.h"
#include "framework/core/status.h"

namespace fw {

class Client;

inline constexpr const char* kBadFXB = "Error in parsing FXB";

struct [[nodiscard]] FXBPresets {
    Status status;                // kBadFXB, kEndOfInput, or success
    std::vector<Preset> presets;  // in file order; empty on failure
};

// Build time or host thread. Reads at most `maxCount` programs (-1: no limit) of a
// bank made for `client` (same plug-in code). Each preset starts from the client's
// default preset; a program's values replace its first min(K, parameter count)
// values and any further values are skipped.
FXBPresets loadPresetsFromFXB(const Client& client, std::span<const std::uint8_t> data, int maxCount);

}  // namespace fw
