#include "kestrinhost.h"

#include "commandline.h"
#include "plainerror.h"
#include "valueforms.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace kestrincli {

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

constexpr OSType kKestrinSubtype = 0x4B737433;  // 'Kst3'
constexpr OSType kVendorCode = 0x546C6D77;      // 'Tlmw'

// Display texts print two decimals; compare plain values at that resolution.
constexpr double kDisplayTolerance = 0.005;

}  // namespace

std::string KestrinHost::defaultPluginPath() {
    // An installed kestrin (<prefix>/bin) finds the bundle installed beside it
    // (<prefix>/lib/kestrin); one run from the build folder, the one built with it.
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path installed = self.parent_path().parent_path() / KESTRIN_INSTALLED_PLUGIN_BUNDLE;
        if (std::filesystem::is_directory(installed, ec)) return installed.string();
    }
    return KESTRIN_PLUGIN_BUNDLE;
}

bool KestrinHost::load(const std::string& pluginPath, std::unique_ptr<KestrinHost>& out, std::string& error) {
    std::unique_ptr<KestrinHost> host(new KestrinHost());
    host->bundlePath_ = pluginPath;
    if (auhost::HostResult r = auhost::PluginBundle::open(pluginPath, host->bundle_); !r) {
        error = "cannot load the plug-in \"" + pluginPath + "\": " + plainMessage(r);
        return false;
    }
    const auto& declared = host->bundle_->declaredComponents();
    const auto kestrin = std::find_if(declared.begin(), declared.end(), [](const auhost::ComponentSpec& s) {
        return s.description.componentSubType == kKestrinSubtype && s.description.componentManufacturer == kVendorCode;
    });
    if (kestrin == declared.end()) {
        error = "\"" + pluginPath + "\" does not declare the Kestrin 3 component";
        return false;
    }
    host->spec_ = *kestrin;
    AudioComponent component = nullptr;
    if (auhost::HostResult r = host->bundle_->registerComponent(host->spec_, component); !r) {
        error = "cannot register Kestrin 3: " + plainMessage(r);
        return false;
    }
    if (auhost::HostResult r = auhost::HostedUnit::create(component, host->unit_); !r) {
        error = "cannot open Kestrin 3: " + plainMessage(r);
        return false;
    }
    if (!host->describe(error)) return false;
    out = std::move(host);
    return true;
}

bool KestrinHost::describe(std::string& error) {
    std::vector<AudioUnitParameterID> ids;
    if (auhost::HostResult r = unit_->parameterIds(ids); !r) {
        error = plainMessage(r);
        return false;
    }
    for (AudioUnitParameterID id : ids) {
        auhost::ParameterDescription d;
        if (auhost::HostResult r = unit_->describeParameter(id, d); !r) {
            error = plainMessage(r);
            return false;
        }
        HostParameter p;
        p.id = id;
        p.name = d.name;
        p.unit = d.unit;
        p.defaultValue = d.defaultValue;
        p.minText = displayText(id, d.minValue);
        p.maxText = displayText(id, d.maxValue);
        p.defaultText = displayText(id, d.defaultValue);
        p.boolean = p.minText == "no" && p.maxText == "yes";
        // Integer and enumerated parameters publish one string per value.
        CFArrayRef strings = nullptr;
        UInt32 size = sizeof strings;
        if (AudioUnitGetProperty(unit_->unit(), kAudioUnitProperty_ParameterValueStrings, kAudioUnitScope_Global, id,
                                 &strings, &size) == noErr &&
            strings != nullptr) {
            p.discrete = true;
            CFRelease(strings);
        }
        parameters_.push_back(std::move(p));
    }
    if (auhost::HostResult r = unit_->factoryPresets(presets_); !r) {
        error = plainMessage(r);
        return false;
    }
    return true;
}

std::string KestrinHost::displayText(AudioUnitParameterID id, float normalized) const {
    AudioUnitParameterStringFromValue request{};
    request.inParamID = id;
    request.inValue = &normalized;
    UInt32 size = sizeof request;
    if (AudioUnitGetProperty(unit_->unit(), kAudioUnitProperty_ParameterStringFromValue, kAudioUnitScope_Global, 0,
                             &request, &size) != noErr)
        return {};
    auhost::CFRef<CFStringRef> text(request.outString);
    return auhost::toUTF8(text.get());
}

const HostParameter* KestrinHost::findParameter(const std::string& name) const {
    for (const auto& p : parameters_)
        if (p.name == name) return &p;
    const std::string wanted = lower(name);
    for (const auto& p : parameters_)
        if (lower(p.name) == wanted) return &p;
    return nullptr;
}

std::string KestrinHost::parameterNameList() const {
    std::string list;
    for (const auto& p : parameters_) list += (list.empty() ? "" : ", ") + p.name;
    return list;
}

std::string KestrinHost::presetNameList() const {
    std::string list;
    for (const auto& p : presets_)
        list += (list.empty() ? "" : ", ") + std::to_string(p.number) + " \"" + p.name + "\"";
    return list;
}

bool KestrinHost::setNormalized(AudioUnitParameterID id, float normalized, std::string& error) {
    if (auhost::HostResult r = unit_->setParameter(id, normalized); !r) {
        error = plainMessage(r);
        return false;
    }
    return true;
}

bool KestrinHost::setParameter(const std::string& name, const std::string& value, std::string& error) {
    const HostParameter* p = findParameter(name);
    if (p == nullptr) {
        error = "unknown parameter \"" + name + "\"; the parameters are: " + parameterNameList();
        return false;
    }
    TypedValue typed;
    if (!readTypedValue(*p, value, typed, error)) return false;
    if (typed.normalized) return setNormalized(p->id, float(typed.value), error);

    std::string text;
    if (p->boolean) {
        text = typed.value != 0 ? "yes" : "no";
    } else {
        const double plain = typed.value;
        double lo = 0, hi = 0;
        if (parseFiniteNumber(p->minText, lo) && parseFiniteNumber(p->maxText, hi)) {
            const double low = std::min(lo, hi), high = std::max(lo, hi);
            const bool whole = !p->discrete || plain == std::floor(plain);
            if (plain < low - kDisplayTolerance || plain > high + kDisplayTolerance || !whole) {
                error = p->name + " must be " + (p->discrete ? "a whole number " : "") + "from " + p->minText +
                        " to " + p->maxText + " (got " + value + ")";
                return false;
            }
        }
        char number[40];
        std::snprintf(number, sizeof number, "%.17g", plain);
        text = number;
    }
    // The unit parses the plain text itself, exactly as a host's text entry does.
    AudioUnitParameterValueFromString request{};
    request.inParamID = p->id;
    auhost::CFRef<CFStringRef> string = auhost::fromUTF8(text);
    request.inString = string.get();
    UInt32 size = sizeof request;
    const OSStatus status = AudioUnitGetProperty(unit_->unit(), kAudioUnitProperty_ParameterValueFromString,
                                                 kAudioUnitScope_Global, 0, &request, &size);
    if (status != noErr) {
        error = p->name + ": the plug-in does not accept \"" + value + "\"";
        return false;
    }
    return setNormalized(p->id, request.outValue, error);
}

bool KestrinHost::choosePreset(const std::string& nameOrNumber, std::string& error) {
    const auhost::PresetEntry* chosen = nullptr;
    double number = 0;
    if (parseFiniteNumber(nameOrNumber, number)) {
        for (const auto& p : presets_)
            if (double(p.number) == number) chosen = &p;
    } else {
        const std::string wanted = lower(nameOrNumber);
        for (const auto& p : presets_)
            if (lower(p.name) == wanted) chosen = &p;
    }
    if (chosen == nullptr) {
        error = "unknown preset \"" + nameOrNumber + "\"; the factory presets are: " + presetNameList();
        return false;
    }
    if (auhost::HostResult r = unit_->choosePreset(chosen->number); !r) {
        error = plainMessage(r);
        return false;
    }
    return true;
}

}  // namespace kestrincli
