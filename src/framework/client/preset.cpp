#include "framework/client/preset.h"

#include <utility>

#include "framework/client/client.h"
#include "framework/core/binrange.h"

namespace fw {

namespace {

constexpr std::uint32_t kChunkMagic = 0x0B20BA92;
constexpr std::int32_t kChunkVersion = 0;

}  // namespace

PresetBank::PresetBank(Client& client, std::vector<Preset> presets)
    : client_(client), presets_(std::move(presets)) {}

const Preset* PresetBank::preset(int index) const noexcept {
    if (index < 0 || index >= numPresets()) return nullptr;
    return &presets_[static_cast<std::size_t>(index)];
}

void PresetBank::saveCurrentIntoPreset() {
    if (currentPreset_ < 0 || currentPreset_ >= numPresets()) return;
    std::vector<float>& values = presets_[static_cast<std::size_t>(currentPreset_)].normalizedValues;
    const std::size_t count = static_cast<std::size_t>(client_.numParams());
    if (values.size() < count) values.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        values[i] = static_cast<float>(client_.param(static_cast<int>(i))->getNormalized());
}

bool PresetBank::loadPresetFromHost(int index) noexcept {
    const Preset* p = preset(index);
    if (p == nullptr) return false;
    for (int j = 0; j < client_.numParams(); ++j) {
        Parameter* param = client_.param(j);
        const auto i = static_cast<std::size_t>(j);
        param->setFromHost(i < p->normalizedValues.size() ? p->normalizedValues[i] : param->getNormalizedDefault());
    }
    currentPreset_ = index;
    return true;
}

void PresetBank::addNewDefaultPresetFromHost(std::string name) {
    Preset fresh = client_.makeDefaultPreset();
    fresh.name = std::move(name);
    saveCurrentIntoPreset();
    presets_.push_back(std::move(fresh));
    (void)loadPresetFromHost(numPresets() - 1);  // the index exists: it was just appended
}

void PresetBank::writeStateChunk(Vec<std::uint8_t>& output) const {
    const int count = client_.numParams();
    output.reserve(output.length() + 24 + 4 * static_cast<std::size_t>(count));
    writeInteger(output, kChunkMagic, ByteOrder::big);
    writeInteger(output, static_cast<std::uint32_t>(kChunkVersion), ByteOrder::little);
    writeInteger(output, 0, ByteOrder::little);  // reserved
    writeInteger(output, static_cast<std::uint32_t>(client_.pluginInfo().publicVersion.packed()), ByteOrder::little);
    writeInteger(output, static_cast<std::uint32_t>(currentPreset_), ByteOrder::little);
    writeInteger(output, static_cast<std::uint32_t>(count), ByteOrder::little);
    for (int i = 0; i < count; ++i)
        writeFloat(output, static_cast<float>(client_.param(i)->getNormalized()), ByteOrder::little);
}

Status PresetBank::loadStateChunk(std::span<const std::uint8_t> chunk) noexcept {
    ByteReader in(chunk.data(), chunk.size());

    std::uint32_t magic = 0;
    if (Status s = in.readBE32(magic); !s) return s;
    if (magic != kChunkMagic) return Status::failure(kBadMagic);
    std::int32_t version = 0;
    if (Status s = in.readLEInt32(version); !s) return s;
    // Older (and negative) versions are read with today's layout.
    if (version > kChunkVersion) return Status::failure(kNewerChunk);
    // The reserved word and the plug-in version, which is not compared.
    if (Status s = in.skip(8); !s) return s;

    std::int32_t presetIndex = 0;
    if (Status s = in.readLEInt32(presetIndex); !s) return s;
    if (presetIndex < 0 || presetIndex >= numPresets()) return Status::failure(kBadPresetIndex);
    // The preset's stored values are not applied: the chunk's own values follow.
    currentPreset_ = presetIndex;

    std::int32_t count = 0;
    if (Status s = in.readLEInt32(count); !s) return s;
    for (std::int32_t i = 0; i < count; ++i) {
        float value = 0.0f;
        if (Status s = in.readLEFloat(value); !s) return s;
        // Values for parameters this plug-in no longer has are read and ignored.
        if (Parameter* p = client_.param(i)) p->setFromHost(value);
    }
    return Status::success();
}

Status PresetBank::checkStateChunk(std::span<const std::uint8_t> chunk) const noexcept {
    // The same reads as loadStateChunk, in the same order, so the same failures.
    ByteReader in(chunk.data(), chunk.size());
    std::uint32_t magic = 0;
    if (Status s = in.readBE32(magic); !s) return s;
    if (magic != kChunkMagic) return Status::failure(kBadMagic);
    std::int32_t version = 0;
    if (Status s = in.readLEInt32(version); !s) return s;
    if (version > kChunkVersion) return Status::failure(kNewerChunk);
    if (Status s = in.skip(8); !s) return s;
    std::int32_t presetIndex = 0;
    if (Status s = in.readLEInt32(presetIndex); !s) return s;
    if (presetIndex < 0 || presetIndex >= numPresets()) return Status::failure(kBadPresetIndex);
    std::int32_t count = 0;
    if (Status s = in.readLEInt32(count); !s) return s;
    // A negative count reads no value, as in loadStateChunk.
    const std::size_t values = count > 0 ? std::size_t(count) : 0;
    if (Status s = in.skip(values * 4); !s) return s;
    if (in.remaining() != 0) return Status::failure(kTrailingBytes);
    return Status::success();
}

}  // namespace fw
