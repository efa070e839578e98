#include "auhost/pluginbundle.h"

#include <CoreServices/CoreServices.h>

namespace auhost {

namespace {

// A code given as a four-character string or as a number, as Info.plist allows.
bool codeFrom(CFTypeRef value, OSType& out) {
    if (value == nullptr) return false;
    if (CFGetTypeID(value) == CFStringGetTypeID()) return fourCharCode(toUTF8(static_cast<CFStringRef>(value)), out);
    if (CFGetTypeID(value) == CFNumberGetTypeID()) {
        SInt64 v = 0;
        if (!CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberSInt64Type, &v)) return false;
        out = static_cast<OSType>(v);
        return true;
    }
    return false;
}

CFTypeRef valueOf(CFDictionaryRef d, const char* key) {
    CFRef<CFStringRef> k = fromUTF8(key);
    return CFDictionaryGetValue(d, k.get());
}

}  // namespace

bool fourCharCode(const std::string& text, OSType& out) {
    if (text.size() != 4) return false;
    out = 0;
    for (unsigned char c : text) {
        if (c < 0x20 || c > 0x7E) return false;
        out = (out << 8) | c;
    }
    return true;
}

PluginBundle::PluginBundle(CFRef<CFBundleRef> bundle) : bundle_(std::move(bundle)) { readDeclaredComponents(); }

HostResult PluginBundle::open(const std::string& path, std::unique_ptr<PluginBundle>& out) {
    CFRef<CFStringRef> text = fromUTF8(path);
    if (!text) return HostResult::failure(kAudio_ParamError, "plug-in path is not valid UTF-8: " + path);
    CFRef<CFURLRef> url(CFURLCreateWithFileSystemPath(nullptr, text.get(), kCFURLPOSIXPathStyle, false));
    CFRef<CFBundleRef> bundle(url ? CFBundleCreate(nullptr, url.get()) : nullptr);
    if (!bundle) return HostResult::failure(kAudio_FileNotFoundError, "no plug-in bundle at " + path);
    if (!CFBundleLoadExecutable(bundle.get()))
        return HostResult::failure(kAudioUnitErr_InvalidFile, "cannot load the plug-in's executable at " + path);
    out.reset(new PluginBundle(std::move(bundle)));
    return HostResult::success();
}

void PluginBundle::readDeclaredComponents() {
    CFTypeRef list = CFBundleGetValueForInfoDictionaryKey(bundle_.get(), CFSTR("AudioComponents"));
    if (list == nullptr || CFGetTypeID(list) != CFArrayGetTypeID()) return;
    auto array = static_cast<CFArrayRef>(list);
    for (CFIndex i = 0; i < CFArrayGetCount(array); ++i) {
        CFTypeRef item = CFArrayGetValueAtIndex(array, i);
        if (item == nullptr || CFGetTypeID(item) != CFDictionaryGetTypeID()) continue;
        auto d = static_cast<CFDictionaryRef>(item);
        ComponentSpec described;
        if (!codeFrom(valueOf(d, "type"), described.description.componentType) ||
            !codeFrom(valueOf(d, "subtype"), described.description.componentSubType) ||
            !codeFrom(valueOf(d, "manufacturer"), described.description.componentManufacturer))
            continue;
        CFTypeRef factory = valueOf(d, "factoryFunction");
        if (factory == nullptr || CFGetTypeID(factory) != CFStringGetTypeID()) continue;
        described.factoryFunction = toUTF8(static_cast<CFStringRef>(factory));
        CFTypeRef name = valueOf(d, "name");
        if (name && CFGetTypeID(name) == CFStringGetTypeID()) described.name = toUTF8(static_cast<CFStringRef>(name));
        OSType version = 0;
        if (codeFrom(valueOf(d, "version"), version)) described.version = version;
        declared_.push_back(std::move(described));
    }
}

HostResult PluginBundle::registerComponent(const ComponentSpec& described, AudioComponent& out) {
    out = nullptr;
    CFRef<CFStringRef> symbol = fromUTF8(described.factoryFunction);
    auto factory = reinterpret_cast<AudioComponentFactoryFunction>(
        symbol ? CFBundleGetFunctionPointerForName(bundle_.get(), symbol.get()) : nullptr);
    if (factory == nullptr)
        return HostResult::failure(kAudioUnitErr_InvalidFile, "the plug-in exports no " + described.factoryFunction);
    CFRef<CFStringRef> name = fromUTF8(described.name);
    out = AudioComponentRegister(&described.description, name.get(), described.version, factory);
    if (out == nullptr) return HostResult::failure(kAudio_ParamError, "AudioComponentRegister refused " + described.name);
    return HostResult::success();
}

HostResult PluginBundle::registerDeclaredComponents(std::vector<AudioComponent>& out) {
    if (declared_.empty())
        return HostResult::failure(kAudioUnitErr_InvalidFile, "the bundle declares no AudioComponents");
    for (const ComponentSpec& described : declared_) {
        AudioComponent c = nullptr;
        HostResult r = registerComponent(described, c);
        if (!r) return r;
        out.push_back(c);
    }
    return HostResult::success();
}

HostResult PluginBundle::registerEntryPoint(const AudioComponentDescription& description, const std::string& name,
                                            const std::string& entrySymbol, AudioComponent& out) {
    out = nullptr;
    CFRef<CFStringRef> symbol = fromUTF8(entrySymbol);
    auto entry = reinterpret_cast<ComponentRoutineUPP>(
        symbol ? CFBundleGetFunctionPointerForName(bundle_.get(), symbol.get()) : nullptr);
    if (entry == nullptr) return HostResult::failure(kAudioUnitErr_InvalidFile, "the plug-in exports no " + entrySymbol);
    ComponentDescription cd{description.componentType, description.componentSubType,
                            description.componentManufacturer, description.componentFlags, 0};
    unsigned char pascal[256] = {};
    pascal[0] = static_cast<unsigned char>(name.size() < 255 ? name.size() : 255);
    name.copy(reinterpret_cast<char*>(pascal + 1), pascal[0]);
    Ptr namePtr = reinterpret_cast<Ptr>(pascal);
    if (RegisterComponent(&cd, entry, 0, &namePtr, nullptr, nullptr) == nullptr)
        return HostResult::failure(kAudio_ParamError, "RegisterComponent refused " + name);
    // The newest match is the one just registered.
    AudioComponentDescription exact = description;
    exact.componentFlagsMask = 0;
    for (AudioComponent c = AudioComponentFindNext(nullptr, &exact); c; c = AudioComponentFindNext(c, &exact)) out = c;
    return out ? HostResult::success() : HostResult::failure(kAudio_ParamError, "registered entry not found");
}

}  // namespace auhost
