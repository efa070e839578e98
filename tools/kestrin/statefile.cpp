#include "statefile.h"

#include <AudioToolbox/AudioUnitProperties.h>

#include "auhost/presetfile.h"
#include "filechecks.h"

namespace kestrincli {

namespace {

// A four-character code as its characters when they are printable, else the number.
std::string codeText(SInt64 code) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char((code >> shift) & 0xFF);
        if (c < 0x20 || c > 0x7E) return std::to_string(code);
        s += c;
    }
    return code >> 32 == 0 ? s : std::to_string(code);
}

bool readCode(CFDictionaryRef dict, const char* key, SInt64& out) {
    auhost::CFRef<CFStringRef> k = auhost::fromUTF8(key);
    const auto value = static_cast<CFNumberRef>(CFDictionaryGetValue(dict, k.get()));
    return value != nullptr && CFGetTypeID(value) == CFNumberGetTypeID() &&
           CFNumberGetValue(value, kCFNumberSInt64Type, &out);
}

}  // namespace

bool loadStateFile(KestrinHost& host, const std::string& path, std::string& error) {
    const std::string prefix = "cannot load the state \"" + path + "\": ";
    if (const std::string why = readProblem(path); !why.empty()) {
        error = prefix + why;
        return false;
    }
    auhost::CFRef<CFPropertyListRef> state;
    if (!auhost::readPresetFile(path, state)) {
        error = prefix + "it is not an .aupreset (a property list holding a unit's type, subtype, manufacturer "
                         "and data)";
        return false;
    }
    const auto dict = static_cast<CFDictionaryRef>(state.get());
    const AudioComponentDescription& ours = host.component().description;
    SInt64 type = 0, subtype = 0, manufacturer = 0;
    if (!readCode(dict, kAUPresetTypeKey, type) || !readCode(dict, kAUPresetSubtypeKey, subtype) ||
        !readCode(dict, kAUPresetManufacturerKey, manufacturer)) {
        error = prefix + "its type, subtype or manufacturer is not a number";
        return false;
    }
    if (type != SInt64(ours.componentType) || subtype != SInt64(ours.componentSubType) ||
        manufacturer != SInt64(ours.componentManufacturer)) {
        error = prefix + "this state belongs to another plug-in (subtype " + codeText(subtype) + ", manufacturer " +
                codeText(manufacturer) + "; Kestrin 3 is " + codeText(ours.componentSubType) + ", " +
                codeText(ours.componentManufacturer) + ")";
        return false;
    }
    if (!host.unit().restoreClassInfo(state.get())) {
        error = prefix + "Kestrin 3 cannot read the sound in it (the data is damaged or from a newer version)";
        return false;
    }
    return true;
}

bool saveStateFile(KestrinHost& host, const std::string& path, std::string& error) {
    const std::string prefix = "cannot save the state to \"" + path + "\": ";
    if (const std::string why = writeProblem(path); !why.empty()) {
        error = prefix + why;
        return false;
    }
    if (!host.unit().savePresetFile(path)) {
        error = prefix + "the file could not be written";
        return false;
    }
    return true;
}

}  // namespace kestrincli
