#pragma once
// Presets, the preset bank and the state chunk.
//
// A Preset is a name and one normalized value per parameter. The bank owns the
// client's presets and knows which one is current; it also writes the whole
// plug-in state into a compact binary chunk and restores it:
//
//   offset  size  content (little-endian unless noted)
//   0       4     magic 0B 20 BA 92 (big-endian)
//   4       4     chunk format version, 0
//   8       4     reserved, 0
//   12      4     plug-in version (major << 16 | minor << 8 | patch)
//   16      4     current preset index
//   20      4     parameter count P
//   24      4 P   each parameter's normalized value as an IEEE single
//
// The bank runs on host threads and is not locked; the wrapper serialises calls.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "framework/core/status.h"
#include "framework/core/vec.h"

namespace fw {

class Client;

struct Preset {
    std::string name;
    // One per parameter in index order; may be shorter or longer than the parameter count.
    std::vector<float> normalizedValues;
};

inline constexpr const char* kBadMagic = "Can not load, magic number didn't match";
inline constexpr const char* kNewerChunk = "Can not load chunk done with a newer, incompatible plug-in framework";
inline constexpr const char* kBadPresetIndex = "Invalid preset index in state chunk";
inline constexpr const char* kTrailingBytes = "State chunk is longer than its parameter count says";

class PresetBank {
public:
    // Construction time. Takes the presets; the current preset is 0.
    PresetBank(Client& client, std::vector<Preset> presets);

    // Host thread.
    int numPresets() const noexcept { return static_cast<int>(presets_.size()); }
    // Host thread. Null when `index` is out of range.
    const Preset* preset(int index) const noexcept;
    int currentPresetIndex() const noexcept { return currentPreset_; }

    // Host thread. Stores every parameter's normalized value into the current preset
    // (growing its value list to the parameter count when it is shorter). Does
    // nothing when the current index names no preset.
    void saveCurrentIntoPreset();

    // Host thread. Applies preset `index` with setFromHost (parameters it has no value
    // for get their default) and makes it current. The wrapper saves into the previous
    // preset first. False, changing nothing, when `index` is out of range.
    [[nodiscard]] bool loadPresetFromHost(int index) noexcept;

    // Host thread. The host chose a preset number the bank does not have, with a name:
    // appends a preset of defaults with that name, saves into the current preset,
    // then applies the new one and makes it current.
    void addNewDefaultPresetFromHost(std::string name);

    // Host thread. Appends the state chunk (24 + 4 P bytes) to `output`.
    void writeStateChunk(Vec<std::uint8_t>& output) const;

    // Host thread. Reads and applies a state chunk. On failure the message is one of
    // kBadMagic, kNewerChunk, kBadPresetIndex or kEndOfInput, and values applied
    // before the failure stay applied.
    [[nodiscard]] Status loadStateChunk(std::span<const std::uint8_t> chunk) noexcept;
    // Host thread. Whether loadStateChunk would read `chunk` to its end without a
    // failure, and that nothing follows it; the same messages, or kTrailingBytes.
    // Changes nothing.
    [[nodiscard]] Status checkStateChunk(std::span<const std::uint8_t> chunk) const noexcept;

private:
    Client& client_;
    std::vector<Preset> presets_;
    int currentPreset_ = 0;
};

}  // namespace fw
