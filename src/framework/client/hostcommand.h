#pragma once
// IHostCommand: the client's view of its host, implemented by the format wrapper.
// Also the host identification (DAW) and format (PluginFormat) codes.

#include <cstdint>

namespace fw {

// Host applications told apart by identifyDAW. The values are fixed; 6, 10, 11
// and 19 are unused.
enum class DAW : std::int32_t {
    unknown = 0,
    reaper = 1,
    proTools = 2,
    cubase = 3,
    nuendo = 4,
    cakewalk = 5,
    flStudio = 7,
    samplitude = 8,
    ableton = 9,
    melodyne = 12,
    vstManLib = 13,
    auLab = 14,
    forte = 15,
    chainer = 16,
    audition = 17,
    orion = 18,
    sawStudio = 20,
    logic = 21,
    garageBand = 22,
    digitalPerformer = 23,
    standalone = 24,
    audioMulch = 25,
    studioOne = 26,
    vstHost = 27,
    vst3TestHost = 28,
    ardour = 29,
};

// Any thread. Identifies a host from its name by a case-sensitive search for lower-case
// fragments in a fixed order; the first fragment found in `hostName` wins. Null or
// unrecognised names give DAW::unknown.
DAW identifyDAW(const char* hostName) noexcept;

// Which wrapper runs the client.
enum class PluginFormat : std::int32_t {
    unknown = -1,
    vst2 = 0,
    vst3 = 1,
    aax = 2,
    auv2 = 3,
    lv2 = 4,
};

class IHostCommand {
public:
    virtual ~IHostCommand() = default;

    // UI thread. An edit gesture on parameter `index` starts.
    virtual void beginParamEdit(int index) noexcept = 0;
    // UI thread. The editor changed parameter `index` to `normalizedValue`.
    virtual void paramAutomate(int index, float normalizedValue) noexcept = 0;
    // UI thread. The edit gesture on parameter `index` ends.
    virtual void endParamEdit(int index) noexcept = 0;
    // UI thread. The editor wants another size; true when the host agreed.
    virtual bool requestResize(int width, int height) noexcept = 0;
    // Any thread.
    virtual DAW getDAW() noexcept = 0;
    // Any thread.
    virtual PluginFormat getPluginFormat() noexcept = 0;
};

}  // namespace fw
