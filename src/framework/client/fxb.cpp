#include "framework/client/fxb.h"

#include <algorithm>
#include <string>
#include <utility>

#include "framework/client/client.h"
#include "framework/core/binrange.h"

namespace fw {

namespace {

constexpr std::size_t kReservedBankBytes = 128;
constexpr std::size_t kProgramNameBytes = 28;
constexpr std::int32_t kProgramVersion = 1;

// Reads a 4-byte big-endian code and checks it against `expected`.
Status expectCode(ByteReader& in, std::uint32_t expected) noexcept {
    std::uint32_t code = 0;
    if (Status s = in.readBE32(code); !s) return s;
    return code == expected ? Status::success() : Status::failure(kBadFXB);
}

// "CcnK" then a little-endian length whose bytes are skipped.
Status readContainerHeader(ByteReader& in) noexcept {
    std::uint32_t id = 0, length = 0;
    if (Status s = in.readRIFFChunkHeader(id, length); !s) return s;
    if (id != fourCC("CcnK")) return Status::failure(kBadFXB);
    return in.skip(length);
}

Status readProgram(ByteReader& in, std::uint32_t pluginCode, std::size_t paramCount, Preset& preset) {
    if (Status s = readContainerHeader(in); !s) return s;
    if (Status s = expectCode(in, fourCC("FxCk")); !s) return s;
    std::int32_t version = 0;
    if (Status s = in.readBEInt32(version); !s) return s;
    if (version != kProgramVersion) return Status::failure(kBadFXB);
    if (Status s = expectCode(in, pluginCode); !s) return s;
    if (Status s = in.skip(4); !s) return s;  // plug-in version, not checked
    std::int32_t valueCount = 0;
    if (Status s = in.readBEInt32(valueCount); !s) return s;
    if (valueCount < 0) return Status::failure(kBadFXB);

    std::uint8_t name[kProgramNameBytes];
    if (Status s = in.readBytes(name, sizeof name); !s) return s;
    const auto nameEnd = std::find(name, name + kProgramNameBytes, std::uint8_t{0});
    preset.name.assign(reinterpret_cast<const char*>(name), static_cast<std::size_t>(nameEnd - name));

    const auto count = static_cast<std::size_t>(valueCount);
    const std::size_t used = std::min(count, paramCount);
    if (preset.normalizedValues.size() < used) preset.normalizedValues.resize(used);
    for (std::size_t i = 0; i < used; ++i)
        if (Status s = in.readBEFloat(preset.normalizedValues[i]); !s) return s;
    return in.skip(4 * (count - used));  // at most 4 * (2^31 - 1): no overflow in size_t
}

}  // namespace

FXBPresets loadPresetsFromFXB(const Client& client, std::span<const std::uint8_t> data, int maxCount) {
    FXBPresets result;
    auto fail = [&result](Status s) -> FXBPresets {
        result.status = s;
        result.presets.clear();
        return std::move(result);
    };

    ByteReader in(data.data(), data.size());
    const std::uint32_t pluginCode = fourCharCodeValue(client.pluginInfo().pluginUniqueID);

    if (Status s = readContainerHeader(in); !s) return fail(s);
    if (Status s = expectCode(in, fourCC("FxBk")); !s) return fail(s);
    if (Status s = in.skip(4); !s) return fail(s);  // bank version, not checked
    if (Status s = expectCode(in, pluginCode); !s) return fail(s);
    if (Status s = in.skip(4); !s) return fail(s);  // plug-in version, not checked
    std::int32_t programCount = 0;
    if (Status s = in.readBEInt32(programCount); !s) return fail(s);
    if (maxCount != -1 && programCount > maxCount) programCount = maxCount;
    if (programCount < 1) return fail(Status::failure(kBadFXB));
    if (Status s = in.skip(kReservedBankBytes); !s) return fail(s);

    // No room is reserved for the declared count: a corrupt count must not turn into
    // a huge allocation; the bytes run out first.
    const auto paramCount = static_cast<std::size_t>(client.numParams());
    for (std::int32_t i = 0; i < programCount; ++i) {
        Preset preset = client.makeDefaultPreset();
        if (Status s = readProgram(in, pluginCode, paramCount, preset); !s) return fail(s);
        result.presets.push_back(std::move(preset));
    }
    return result;
}

}  // namespace fw
