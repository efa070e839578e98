#include "infocommand.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "kestrin/workingrate.h"

namespace kestrincli {

namespace {

std::string fourCC(OSType code) {
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i) s[std::size_t(i)] = char((code >> (24 - 8 * i)) & 0xFF);
    return s;
}

const char* unitName(AudioUnitParameterUnit unit) {
    switch (unit) {
        case kAudioUnitParameterUnit_Generic: return "generic";
        case kAudioUnitParameterUnit_Indexed: return "indexed";
        case kAudioUnitParameterUnit_Boolean: return "boolean";
        case kAudioUnitParameterUnit_Percent: return "percent";
        case kAudioUnitParameterUnit_Seconds: return "seconds";
        case kAudioUnitParameterUnit_Hertz: return "hertz";
        case kAudioUnitParameterUnit_Decibels: return "decibels";
        case kAudioUnitParameterUnit_BPM: return "bpm";
        case kAudioUnitParameterUnit_Milliseconds: return "ms";
        default: return "other";
    }
}

template <typename T>
bool readGlobal(AudioUnit unit, AudioUnitPropertyID id, T& value) {
    UInt32 size = sizeof value;
    return AudioUnitGetProperty(unit, id, kAudioUnitScope_Global, 0, &value, &size) == noErr;
}

// printf-style append; the attribute lets the compiler check every format string.
[[gnu::format(printf, 2, 3)]] void appendf(std::string& out, const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    out += line;
}

}  // namespace

std::string describePlugin(KestrinHost& host) {
    const AudioUnit unit = host.unit().unit();
    const auhost::ComponentSpec& described = host.component();
    std::string out;
    appendf(out, "%s\n", described.name.c_str());
    appendf(out, "  component   %s / %s / %s, version %u.%u.%u\n", fourCC(described.description.componentType).c_str(),
            fourCC(described.description.componentSubType).c_str(), fourCC(described.description.componentManufacturer).c_str(),
            unsigned(described.version >> 16), unsigned((described.version >> 8) & 0xFF), unsigned(described.version & 0xFF));

    UInt32 size = 0;
    std::string layouts;
    if (AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global, 0, &size,
                                 nullptr) == noErr &&
        size >= sizeof(AUChannelInfo)) {
        std::vector<AUChannelInfo> infos(size / sizeof(AUChannelInfo));
        if (AudioUnitGetProperty(unit, kAudioUnitProperty_SupportedNumChannels, kAudioUnitScope_Global, 0,
                                 infos.data(), &size) == noErr)
            for (const auto& c : infos)
                layouts += (layouts.empty() ? "" : ", ") + std::to_string(c.inChannels) + " in / " +
                           std::to_string(c.outChannels) + " out";
    }
    appendf(out, "  channels    %s\n", layouts.c_str());
    Float64 latency = 0, tail = 0;
    if (readGlobal(unit, kAudioUnitProperty_Latency, latency)) appendf(out, "  latency     %g s\n", latency);
    if (readGlobal(unit, kAudioUnitProperty_TailTime, tail))
        appendf(out, "  tail        %s\n", std::isinf(tail) ? "infinite" : (std::to_string(tail) + " s").c_str());
    appendf(out,
            "  upsampling  1x, 2x, 4x or 8x (\"Upsample Amount\"); the working rate (host rate x factor)\n"
            "              stays at or below %g kHz: above it the next lower factor is used\n",
            kestrin::kMaxWorkingRate / 1000.0);

    appendf(out, "\nParameters (hosts see normalized values from 0 to 1):\n");
    appendf(out, "  %-3s %-16s %-8s %-22s %-8s %s\n", "id", "name", "unit", "range", "default", "shown as");
    for (const HostParameter& p : host.parameters()) {
        const std::string range = p.minText + " .. " + p.maxText;
        appendf(out, "  %-3u %-16s %-8s %-22s %-8.4g %s\n", unsigned(p.id), p.name.c_str(), unitName(p.unit),
                range.c_str(), double(p.defaultValue), p.defaultText.c_str());
    }
    appendf(out, "\nFactory presets:\n");
    for (const auto& preset : host.presets()) appendf(out, "  %d  %s\n", int(preset.number), preset.name.c_str());
    return out;
}

}  // namespace kestrincli
