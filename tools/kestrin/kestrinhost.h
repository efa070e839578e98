#pragma once
// KestrinHost: the command-line host's view of the plug-in. It opens the
// Kestrin.component bundle and instantiates the unit exactly as a DAW does (through
// the bundle's declared factory and Apple's host API), and translates what a user
// types (parameter names, plain values, preset names) into what the unit accepts.

#include <memory>
#include <string>
#include <vector>

#include "auhost/hostedunit.h"
#include "auhost/pluginbundle.h"

namespace kestrincli {

struct HostParameter {
    AudioUnitParameterID id = 0;
    std::string name;
    AudioUnitParameterUnit unit = kAudioUnitParameterUnit_Generic;
    float defaultValue = 0;        // normalized, as the host sees it
    std::string minText, maxText;  // display text at normalized 0 and 1
    std::string defaultText;       // display text of the default
    bool discrete = false;         // has value strings (integers, enumerations)
    bool boolean = false;          // displays "no"/"yes"
};

class KestrinHost {
public:
    // The bundle installed with this program, or else the one built with it.
    static std::string defaultPluginPath();

    // Opens the bundle, registers its component and creates an instance.
    static bool load(const std::string& pluginPath, std::unique_ptr<KestrinHost>& out, std::string& error);

    auhost::HostedUnit& unit() { return *unit_; }
    const std::string& bundlePath() const { return bundlePath_; }
    const auhost::ComponentSpec& component() const { return spec_; }
    const std::vector<HostParameter>& parameters() const { return parameters_; }
    const std::vector<auhost::PresetEntry>& presets() const { return presets_; }

    // "Delay L" = "350" (plain, in the parameter's unit) or "0.25n" (normalized).
    // Unknown names list the valid ones; values out of range give the range.
    bool setParameter(const std::string& name, const std::string& value, std::string& error);
    // Sets a parameter to a normalized value by id (no checks beyond the unit's own).
    bool setNormalized(AudioUnitParameterID id, float normalized, std::string& error);
    // A factory preset by number or name (case-insensitive).
    bool choosePreset(const std::string& nameOrNumber, std::string& error);

    // Display text of a parameter at a normalized value.
    std::string displayText(AudioUnitParameterID id, float normalized) const;

    // Reads a 'text' parameter name to its description; null when unknown.
    const HostParameter* findParameter(const std::string& name) const;
    std::string parameterNameList() const;
    std::string presetNameList() const;

private:
    KestrinHost() = default;
    bool describe(std::string& error);

    std::string bundlePath_;
    std::unique_ptr<auhost::PluginBundle> bundle_;
    auhost::ComponentSpec spec_;
    std::unique_ptr<auhost::HostedUnit> unit_;
    std::vector<HostParameter> parameters_;
    std::vector<auhost::PresetEntry> presets_;
};

}  // namespace kestrincli
