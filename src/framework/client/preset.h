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
//   16      4     current preset index (-1: none)
//   20      4     parameter count P
//   24      4 P   each parameter's normalized value as an IEEE single
//
// A chunk is read and checked whole before anything of it is applied, so a refused
// chunk changes nothing. Presets the host names are kept after the plug-in's own
// ones, at most kMaxHostPresets of them.
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

// The current preset index when no preset is selected.
inline constexpr int kNoPreset = -1;
// Presets the host may add by naming; beyond it the oldest one goes.
inline constexpr int kMaxHostPresets = 128;

class PresetBank {
public:
    // Construction time. Takes the plug-in's own presets; the current preset is 0.
    PresetBank(Client& client, std::vector<Preset> presets);

    // Host thread.
    int numPresets() const noexcept { return static_cast<int>(presets_.size()); }
    // Host thread. The presets the host added by naming (after the plug-in's own).
    int numHostPresets() const noexcept { return numPresets() - ownPresets_; }
    // Host thread. Null when `index` is out of range.
    const Preset* preset(int index) const noexcept;
    // kNoPreset when none is selected.
    int currentPresetIndex() const noexcept { return currentPreset_; }

    // Host thread. Stores every parameter's normalized value into the current preset
    // (growing its value list to the parameter count when it is shorter). Does
    // nothing when the current index names no preset.
    void saveCurrentIntoPreset();

    // Host thread. Applies preset `index` with setFromHost (parameters it has no value
    // for get their default) and makes it current. The wrapper saves into the previous
    // preset first. False, changing nothing, when `index` is out of range.
    [[nodiscard]] bool loadPresetFromHost(int index) noexcept;

    // Host thread. The host saves the current sound under `name` (a preset number the
    // bank does not have, with a name): the current values are kept in the preset that
    // was current, then stored in the host-named preset called `name`, which is added
    // when there is none (the oldest host-named one goes when kMaxHostPresets are
    // there), and that preset becomes current. No parameter value changes.
    void addPresetFromHost(std::string name);

    // Host thread. Appends the state chunk (24 + 4 P bytes) to `output`.
    void writeStateChunk(Vec<std::uint8_t>& output) const;

    // Host thread. Reads the whole chunk, then applies it: the values, and the preset
    // index, where an index beyond the bank (a host-named preset this instance does
    // not have) or kNoPreset selects no preset. On failure the message is one of
    // kBadMagic, kNewerChunk, kBadPresetIndex (an index below kNoPreset) or
    // kEndOfInput, and nothing has changed.
    [[nodiscard]] Status loadStateChunk(std::span<const std::uint8_t> chunk) noexcept;
    // Host thread. Whether loadStateChunk would accept `chunk`, and that nothing
    // follows it; the same messages, or kTrailingBytes. Changes nothing.
    [[nodiscard]] Status checkStateChunk(std::span<const std::uint8_t> chunk) const noexcept;

private:
    // What a chunk holds, found by reading all of it.
    struct ChunkContents {
        std::int32_t presetIndex = 0;
        std::int32_t valueCount = 0;          // 0 for a negative count
        const std::uint8_t* values = nullptr;  // valueCount little-endian floats
        std::size_t trailingBytes = 0;
    };
    Status readStateChunk(std::span<const std::uint8_t> chunk, ChunkContents& out) const noexcept;

    Client& client_;
    std::vector<Preset> presets_;
    int ownPresets_ = 0;  // the plug-in's own presets, first in presets_
    int currentPreset_ = 0;
};

}  // namespace fw
