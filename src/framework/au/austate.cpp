// State as a property-list dictionary (kAudioUnitProperty_ClassInfo) and preset
// selection.
//
//   "version"       32-bit number  (major << 16) | (minor << 8) | patch
//   "type"          32-bit number  'aumu' (synth), 'aumf' (MIDI effect) or 'aufx'
//   "subtype"       32-bit number  the plug-in code
//   "manufacturer"  32-bit number  the vendor code
//   "name"          string         the current preset's name
//   "data"          data           the client's state chunk

#include <string>

#include "framework/au/aucf.h"
#include "framework/au/auclient.h"

namespace fw {

namespace {

OSType componentType(const PluginInfo& info) noexcept {
    if (info.isSynth) return kAudioUnitType_MusicDevice;
    if (info.receivesMIDI) return kAudioUnitType_MusicEffect;
    return kAudioUnitType_Effect;
}

// The dictionary's keys, created for one save or restore.
struct StateKeys {
    CFStringRef version = au::createCFString(kAUPresetVersionKey);
    CFStringRef type = au::createCFString(kAUPresetTypeKey);
    CFStringRef subtype = au::createCFString(kAUPresetSubtypeKey);
    CFStringRef manufacturer = au::createCFString(kAUPresetManufacturerKey);
    CFStringRef name = au::createCFString(kAUPresetNameKey);
    CFStringRef data = au::createCFString(kAUPresetDataKey);
    au::CFReleaser r1{version}, r2{type}, r3{subtype}, r4{manufacturer}, r5{name}, r6{data};
};

}  // namespace

CFPropertyListRef AUClient::createClassInfo() {
    const PluginInfo& info = facade_->pluginInfo();
    StateKeys keys;
    CFMutableDictionaryRef dict = cf_.CFDictionaryCreateMutable(nullptr, 0, cf_.kCFTypeDictionaryKeyCallBacks,
                                                                cf_.kCFTypeDictionaryValueCallBacks);
    if (dict == nullptr) return nullptr;
    auto setNumber = [&](CFStringRef key, std::uint32_t value) {
        const SInt32 v = static_cast<SInt32>(value);
        CFNumberRef number = cf_.CFNumberCreate(nullptr, kCFNumberSInt32Type, &v);
        cf_.CFDictionarySetValue(dict, key, number);
        cf_.CFRelease(number);
    };
    setNumber(keys.version, std::uint32_t(info.publicVersion.packed()));
    setNumber(keys.type, componentType(info));
    setNumber(keys.subtype, fourCharCodeValue(info.pluginUniqueID));
    setNumber(keys.manufacturer, fourCharCodeValue(info.vendorUniqueID));

    CFStringRef name = au::createCFString(facade_->presetName(facade_->currentPreset()).c_str());
    cf_.CFDictionarySetValue(dict, keys.name, name);
    cf_.CFRelease(name);

    Vec<std::uint8_t> chunk;
    facade_->saveState(chunk);
    CFDataRef data = cf_.CFDataCreate(nullptr, chunk.data(), CFIndex(chunk.size()));
    cf_.CFDictionarySetValue(dict, keys.data, data);
    cf_.CFRelease(data);
    return dict;
}

OSStatus AUClient::restoreClassInfo(CFPropertyListRef state) {
    if (state == nullptr || cf_.CFGetTypeID(state) != cf_.CFDictionaryGetTypeID())
        return kAudioUnitErr_InvalidPropertyValue;
    const auto dict = static_cast<CFDictionaryRef>(state);
    const PluginInfo& info = facade_->pluginInfo();
    StateKeys keys;

    // Every identifying key must be there with the right type before anything changes.
    auto number = [&](CFStringRef key, SInt32& out) {
        const void* v = cf_.CFDictionaryGetValue(dict, key);
        return v != nullptr && cf_.CFGetTypeID(v) == cf_.CFNumberGetTypeID() &&
               cf_.CFNumberGetValue(static_cast<CFNumberRef>(v), kCFNumberSInt32Type, &out);
    };
    SInt32 version = 0, type = 0, subtype = 0, manufacturer = 0;
    if (!number(keys.version, version) || !number(keys.type, type) || !number(keys.subtype, subtype) ||
        !number(keys.manufacturer, manufacturer))
        return kAudioUnitErr_InvalidPropertyValue;
    const void* name = cf_.CFDictionaryGetValue(dict, keys.name);
    if (name == nullptr || cf_.CFGetTypeID(name) != cf_.CFStringGetTypeID()) return kAudioUnitErr_InvalidPropertyValue;
    if (UInt32(type) != componentType(info) || UInt32(subtype) != fourCharCodeValue(info.pluginUniqueID) ||
        UInt32(manufacturer) != fourCharCodeValue(info.vendorUniqueID))
        return kAudioUnitErr_InvalidPropertyValue;

    const void* data = cf_.CFDictionaryGetValue(dict, keys.data);
    if (data == nullptr || cf_.CFGetTypeID(data) != cf_.CFDataGetTypeID()) return kAudioUnitErr_InvalidPropertyValue;
    const auto bytes = static_cast<CFDataRef>(data);
    const CFIndex length = cf_.CFDataGetLength(bytes);
    const UInt8* p = cf_.CFDataGetBytePtr(bytes);
    const std::span<const std::uint8_t> chunk(p, p != nullptr && length > 0 ? std::size_t(length) : 0);
    return facade_->loadState(chunk).ok() ? OSStatus(noErr) : OSStatus(kAudioUnitErr_InvalidPropertyValue);
}

OSStatus AUClient::selectPreset(const AUPreset& preset) {
    if (facade_->selectPreset(preset.presetNumber)) return noErr;
    std::string name;
    // A number the bank does not have, with a name: the host saves the current sound.
    if (au::utf8FromCFString(preset.presetName, name)) facade_->addPresetFromHost(std::move(name));
    return noErr;
}

OSStatus AUClient::copyPresentPreset(AUPreset& out) {
    const int current = facade_->currentPreset();
    out.presetNumber = current;
    out.presetName = au::createCFString(facade_->presetName(current).c_str());
    return noErr;
}

}  // namespace fw
