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
    : client_(client), presets_(std::move(presets)), ownPresets_(numPresets()) {}

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

void PresetBank::addPresetFromHost(std::string name) {
    saveCurrentIntoPreset();
    int index = kNoPreset;
    for (int i = ownPresets_; i < numPresets(); ++i)
        if (presets_[std::size_t(i)].name == name) index = i;  // named before: that entry again
    if (index == kNoPreset) {
        if (numHostPresets() >= kMaxHostPresets) presets_.erase(presets_.begin() + ownPresets_);
        Preset added;
        added.name = std::move(name);
        presets_.push_back(std::move(added));
        index = numPresets() - 1;
    }
    // The values are the current ones: nothing is applied, no listener hears of it.
    currentPreset_ = index;
    saveCurrentIntoPreset();
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

Status PresetBank::readStateChunk(std::span<const std::uint8_t> chunk, ChunkContents& out) const noexcept {
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

    if (Status s = in.readLEInt32(out.presetIndex); !s) return s;
    if (out.presetIndex < kNoPreset) return Status::failure(kBadPresetIndex);

    std::int32_t count = 0;
    if (Status s = in.readLEInt32(count); !s) return s;
    // A negative count is an empty list.
    out.valueCount = count > 0 ? count : 0;
    out.values = chunk.data() + (chunk.size() - in.remaining());
    // At most 4 * (2^31 - 1) bytes: no overflow in size_t.
    if (Status s = in.skip(4 * std::size_t(out.valueCount)); !s) return s;
    out.trailingBytes = in.remaining();
    return Status::success();
}

Status PresetBank::loadStateChunk(std::span<const std::uint8_t> chunk) noexcept {
    ChunkContents contents;
    if (Status s = readStateChunk(chunk, contents); !s) return s;

    // Every byte has been read: from here on nothing can fail. The preset's stored
    // values are not applied, the chunk's own values follow.
    currentPreset_ = contents.presetIndex < numPresets() ? contents.presetIndex : kNoPreset;
    ByteReader values(contents.values, 4 * std::size_t(contents.valueCount));
    for (std::int32_t i = 0; i < contents.valueCount; ++i) {
        float value = 0.0f;
        (void)values.readLEFloat(value);  // within the bytes just checked
        // Values for parameters this plug-in no longer has are ignored.
        if (Parameter* p = client_.param(i)) p->setFromHost(value);
    }
    return Status::success();
}

Status PresetBank::checkStateChunk(std::span<const std::uint8_t> chunk) const noexcept {
    ChunkContents contents;
    if (Status s = readStateChunk(chunk, contents); !s) return s;
    if (contents.trailingBytes != 0) return Status::failure(kTrailingBytes);
    return Status::success();
}

}  // namespace fw
