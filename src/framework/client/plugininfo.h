#pragma once
// Plain records the client shares with its wrapper: the plug-in's identity, one
// accepted channel layout, and the host transport for one audio block.

#include <array>
#include <cstdint>
#include <string>

namespace fw {

// Plug-in category code stored in PluginInfo.
enum class PluginCategory : std::int32_t {
    effectAnalysisAndMetering = 0,
    effectDelay = 1,
    effectDistortion = 2,
    effectDynamics = 3,
    effectEQ = 4,
    effectImaging = 5,
    effectModulation = 6,
    effectPitch = 7,
    effectReverb = 8,
    effectOther = 9,
    instrumentDrums = 10,
    instrumentSampler = 11,
    instrumentSynthesizer = 12,
    instrumentOther = 13,
};

struct PluginVersion {
    std::int32_t majorVersion = 0;
    std::int32_t minorVersion = 0;
    std::int32_t patchVersion = 0;

    // (major << 16) | (minor << 8) | patch, as stored in state chunks.
    constexpr std::int32_t packed() const noexcept {
        return (majorVersion << 16) | (minorVersion << 8) | patchVersion;
    }
};

// A four-character code such as {'K', 's', 't', '3'}.
using FourCharCode = std::array<char, 4>;

// The code as a big-endian 32-bit number: 'Kst3' -> 0x4B737433.
constexpr std::uint32_t fourCharCodeValue(const FourCharCode& code) noexcept {
    return (std::uint32_t(std::uint8_t(code[0])) << 24) | (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

struct PluginInfo {
    std::string vendorName;
    FourCharCode vendorUniqueID{};
    std::string vendorSupportEmail;
    std::string pluginName;
    std::string pluginHomepage;
    FourCharCode pluginUniqueID{};
    PluginVersion publicVersion;
    bool hasGUI = false;
    bool isSynth = false;
    bool receivesMIDI = false;
    bool sendsMIDI = false;
    PluginCategory category = PluginCategory::effectOther;
    std::string vstBundleIdentifier;
    std::string auBundleIdentifier;
    std::string aaxBundleIdentifier;
};

// One channel layout the plug-in accepts.
struct LegalIO {
    std::int32_t numInputChannels = 0;
    std::int32_t numOutputChannels = 0;
};

// Host transport for one block.
struct TimeInfo {
    double tempo = 120.0;              // beats per minute
    std::int64_t timeInSamples = 0;    // host position of the block's first frame
    bool hostIsPlaying = false;
};

}  // namespace fw
