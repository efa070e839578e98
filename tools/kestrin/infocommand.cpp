#include "infocommand.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "kestrin/workingrate.h"
#include "valueforms.h"

namespace kestrincli {

namespace {

std::string fourCC(OSType code) {
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i) s[std::size_t(i)] = char((code >> (24 - 8 * i)) & 0xFF);
    return s;
}

// What each parameter does, in one phrase. The L controls set the line fed by the
// right input, whose echoes are heard on the left output, and the R controls the other.
const char* purposeOf(const std::string& name) {
    struct Entry {
        const char* name;
        const char* purpose;
    };
    static constexpr Entry kPurposes[] = {
        {"Delay L", "echo time of the right input, heard on the left (Sync off)"},
        {"Note L", "the same echo time as a note value at the tempo (Sync on)"},
        {"Feedback L", "share of each left echo fed back into the next one"},
        {"Mix L", "share of the dry signal on the left: 100 % is the input alone, 0 % adds all the echo"},
        {"Delay R", "echo time of the left input, heard on the right (Sync off)"},
        {"Note R", "the same echo time as a note value at the tempo (Sync on)"},
        {"Feedback R", "share of each right echo fed back into the next one"},
        {"Mix R", "share of the dry signal on the right: 100 % is the input alone, 0 % adds all the echo"},
        {"Sync", "on: the echo times are the note values at the tempo; off: the delays in ms"},
        {"Highpass", "cut-off of the high-pass filter on the echoes"},
        {"Lowpass", "cut-off of the low-pass filter on the echoes"},
        {"Drive", "boost into the echoes' clipper: 0 % is x1, 100 % is x100"},
        {"Gain", "level of the echoes before the filters: 0 % is x1, 100 % is x2"},
        {"Width", "100 % keeps each echo on its own side, 0 % blends both to the middle"},
        {"Tempo", "follows the host tempo (kestrin render --tempo); note values depend on it"},
        {"Upsample Amount", "oversampling factor of the whole effect"},
    };
    for (const Entry& e : kPurposes)
        if (name == e.name) return e.purpose;
    return "";
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

    appendf(out, "  bundle      %s\n", host.bundlePath().c_str());
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
    appendf(out, "  %-3s %-16s %-7s %-20s %-11s %s\n", "id", "name", "unit", "range", "default", "what it does");
    for (const HostParameter& p : host.parameters()) {
        const ValueForm form = valueFormOf(p);
        const bool unitInColumn = form != ValueForm::onOff && form != ValueForm::note && form != ValueForm::factor;
        // The unit has its own column; the range and the default are shown without it.
        auto bare = [&](const std::string& shown) { return unitInColumn ? shown : showValue(p, shown); };
        const std::string range = form == ValueForm::onOff ? "off, on" : bare(p.minText) + " .. " + bare(p.maxText);
        appendf(out, "  %-3u %-16s %-7s %-20s %-11s %s\n", unsigned(p.id), p.name.c_str(),
                *unitWord(form) ? unitWord(form) : "-", range.c_str(), bare(p.defaultText).c_str(),
                purposeOf(p.name));
    }
    appendf(out,
            "\n--set takes values with or without their unit (350, 350ms, 0.35s; 50, 50%%; 1500,\n"
            "1500Hz, 1.5kHz), note values in sixteenths for the notes (1/8, 3/16, 1/1, 1 & 1/2,\n"
            "2/1; a bare number is the index 0-31), on/off (yes/no, true/false) for Sync, 1x to\n"
            "8x for Upsample Amount, or a normalized value with a trailing n (0.25n). Tempo is\n"
            "the host's: set it with --tempo.\n");
    appendf(out, "\nFactory presets:\n");
    for (const auto& preset : host.presets()) appendf(out, "  %d  %s\n", int(preset.number), preset.name.c_str());
    return out;
}

}  // namespace kestrincli
