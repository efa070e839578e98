#pragma once
// AUBus: one Audio Unit element (bus) of the wrapper.
//
// Plug-in channels are grouped in pairs: bus k covers channels 2k and 2k + 1 (the
// last bus of an odd count covers one). The host may set a channel count of its
// own through the stream format; -1 means it has not. An input bus is connected
// when it has an upstream unit or a render callback to pull from.

#include <AudioToolbox/AudioToolbox.h>

#include <vector>

namespace fw::au {

struct AUBus {
    bool connected = false;
    int hostChannels = -1;  // -1 until the host sets a stream format
    int pluginChannels = 0;  // 1 or 2
    int firstChannel = 0;
    char label[16] = {};  // "input #k" / "output #k"
    AudioChannelLayoutTag layoutTag = 0;

    // Input buses: where the input comes from.
    AudioUnit sourceUnit = nullptr;
    UInt32 sourceOutput = 0;
    AudioUnitRenderProc sourceFastRender = nullptr;
    void* sourceStorage = nullptr;
    AURenderCallback callback = nullptr;
    void* callbackRef = nullptr;

    // Output buses: seen by the render thread, with the channel count it rendered.
    bool active = false;
    int activeChannels = 0;

    // The channel count used for rendering: the host's when set, else the plug-in's,
    // never more than the plug-in channels the bus covers.
    int renderChannels() const noexcept {
        if (hostChannels < 0) return pluginChannels;
        return hostChannels < pluginChannels ? hostChannels : pluginChannels;
    }
    // The count reported in the stream format.
    int formatChannels() const noexcept { return hostChannels < 0 ? pluginChannels : hostChannels; }
    void clearConnection() noexcept {
        sourceUnit = nullptr;
        sourceOutput = 0;
        sourceFastRender = nullptr;
        sourceStorage = nullptr;
        callback = nullptr;
        callbackRef = nullptr;
    }
    void updateConnected() noexcept { connected = sourceUnit != nullptr || callback != nullptr; }
};

// Build time. The buses for `channels` plug-in channels, labelled "<prefix> #k".
std::vector<AUBus> makeBuses(int channels, const char* prefix);

// The sum of the host channel counts over the buses that have one; -1 when none has.
int knownChannelTotal(const std::vector<AUBus>& buses) noexcept;

}  // namespace fw::au
