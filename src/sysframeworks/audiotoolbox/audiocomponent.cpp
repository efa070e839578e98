// Audio Components: registration, search and instantiation. Components
// registered with the Component Manager appear here too, after those
// registered with AudioComponentRegister, each behind a wrapper made the first
// time a search sees it.

#include "sysframeworks/common/descriptionmatch.h"
#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/common/instancerecord.h"

#include <AudioToolbox/AudioToolbox.h>

#include <memory>
#include <mutex>
#include <vector>

namespace {

struct ComponentEntry {
    static constexpr std::uint64_t kMagic = 0x5359465741554350ull;
    std::uint64_t magic = kMagic;
    AudioComponentDescription description{};
    CFStringRef name = nullptr;  // owned
    UInt32 version = 0;
    AudioComponentFactoryFunction factory = nullptr;
    Component managerComponent = nullptr;  // set for a Component Manager component
};

// Entries live as long as the process, so AudioComponent handles never dangle.
std::mutex gLock;
std::vector<std::unique_ptr<ComponentEntry>>& entries() {
    static auto* list = new std::vector<std::unique_ptr<ComponentEntry>>();
    return *list;
}

ComponentEntry* entryFrom(AudioComponent c) {
    auto* e = reinterpret_cast<ComponentEntry*>(c);
    return e != nullptr && e->magic == ComponentEntry::kMagic ? e : nullptr;
}

// Adds wrappers for Component Manager components not seen yet. Called with gLock held.
void adoptManagerComponents() {
    for (Component c = FindNextComponent(nullptr, nullptr); c != nullptr; c = FindNextComponent(c, nullptr)) {
        bool known = false;
        for (auto& e : entries()) known = known || e->managerComponent == c;
        if (known) continue;
        auto e = std::make_unique<ComponentEntry>();
        ComponentDescription cd{};
        unsigned char name[256] = {};
        Ptr namePtr = reinterpret_cast<Ptr>(name);
        GetComponentInfo(c, &cd, &namePtr, nullptr, nullptr);
        e->description = {cd.componentType, cd.componentSubType, cd.componentManufacturer, cd.componentFlags, 0};
        e->name = CFStringCreateWithBytes(nullptr, name + 1, name[0], kCFStringEncodingUTF8, false);
        e->managerComponent = c;
        entries().push_back(std::move(e));
    }
}

}  // namespace

extern "C" {

AudioComponent AudioComponentRegister(const AudioComponentDescription* inDesc, CFStringRef inName, UInt32 inVersion,
                                      AudioComponentFactoryFunction inFactory) {
    if (inDesc == nullptr || inFactory == nullptr) {
        sysfw::reportMisuse("AudioComponentRegister", "a description and a factory are required");
        return nullptr;
    }
    return sysfw::guarded<AudioComponent>(nullptr, [&] {
        auto e = std::make_unique<ComponentEntry>();
        e->description = *inDesc;
        e->name = inName ? CFStringCreateCopy(nullptr, inName) : nullptr;
        e->version = inVersion;
        e->factory = inFactory;
        std::lock_guard<std::mutex> lock(gLock);
        entries().push_back(std::move(e));
        return reinterpret_cast<AudioComponent>(entries().back().get());
    });
}

AudioComponent AudioComponentFindNext(AudioComponent inComponent, const AudioComponentDescription* inDesc) {
    return sysfw::guarded<AudioComponent>(nullptr, [&]() -> AudioComponent {
        std::lock_guard<std::mutex> lock(gLock);
        adoptManagerComponents();
        // Factory components first, then the adopted ones, each in registration order.
        std::vector<ComponentEntry*> order;
        for (auto& e : entries())
            if (e->managerComponent == nullptr) order.push_back(e.get());
        for (auto& e : entries())
            if (e->managerComponent != nullptr) order.push_back(e.get());
        std::size_t i = 0;
        if (inComponent != nullptr) {
            while (i < order.size() && order[i] != entryFrom(inComponent)) ++i;
            if (i == order.size()) return nullptr;
            ++i;
        }
        for (; i < order.size(); ++i)
            if (sysfw::descriptionMatches(order[i]->description, inDesc)) return reinterpret_cast<AudioComponent>(order[i]);
        return nullptr;
    });
}

UInt32 AudioComponentCount(const AudioComponentDescription* inDesc) {
    UInt32 n = 0;
    for (AudioComponent c = AudioComponentFindNext(nullptr, inDesc); c; c = AudioComponentFindNext(c, inDesc)) ++n;
    return n;
}

OSStatus AudioComponentCopyName(AudioComponent inComponent, CFStringRef* outName) {
    ComponentEntry* e = entryFrom(inComponent);
    if (e == nullptr || outName == nullptr) return kAudio_ParamError;
    *outName = e->name ? static_cast<CFStringRef>(CFRetain(e->name)) : CFStringCreateWithCString(nullptr, "", kCFStringEncodingUTF8);
    return noErr;
}

OSStatus AudioComponentGetDescription(AudioComponent inComponent, AudioComponentDescription* outDesc) {
    ComponentEntry* e = entryFrom(inComponent);
    if (e == nullptr || outDesc == nullptr) return kAudio_ParamError;
    *outDesc = e->description;
    return noErr;
}

OSStatus AudioComponentGetVersion(AudioComponent inComponent, UInt32* outVersion) {
    ComponentEntry* e = entryFrom(inComponent);
    if (e == nullptr || outVersion == nullptr) return kAudio_ParamError;
    if (e->managerComponent != nullptr) {
        // The version selector needs an instance.
        ComponentInstance ci = nullptr;
        if (OpenAComponent(e->managerComponent, &ci) != noErr) return kAudioUnitErr_FailedInitialization;
        *outVersion = static_cast<UInt32>(CallComponentVersion(ci));
        CloseComponent(ci);
        return noErr;
    }
    *outVersion = e->version;
    return noErr;
}

OSStatus AudioComponentInstanceNew(AudioComponent inComponent, AudioComponentInstance* outInstance) {
    if (outInstance) *outInstance = nullptr;
    ComponentEntry* e = entryFrom(inComponent);
    if (e == nullptr || outInstance == nullptr) return kAudio_ParamError;
    if (e->managerComponent != nullptr) return OpenAComponent(e->managerComponent, outInstance);

    AudioComponentPlugInInterface* plugin = e->factory(&e->description);
    if (plugin == nullptr || plugin->Open == nullptr || plugin->Close == nullptr || plugin->Lookup == nullptr)
        return kAudioUnitErr_FailedInitialization;
    auto* record = new (std::nothrow) sysfw::InstanceRecord();
    if (record == nullptr) {
        plugin->Close(plugin);
        return kAudio_MemFullError;
    }
    record->kind = sysfw::InstanceKind::Factory;
    record->component = e;
    record->plugin = plugin;
    // The storage of a factory instance is the plug-in itself, the `self` that
    // its methods (and fast-dispatch procedures) take first.
    record->storage.store(reinterpret_cast<Handle>(plugin), std::memory_order_relaxed);
    for (SInt16 s = 0; s < 0x16; ++s) record->methods[sysfw::methodSlot(s)] = plugin->Lookup(s);
    for (SInt16 s = 0x101; s <= 0x106; ++s) record->methods[sysfw::methodSlot(s)] = plugin->Lookup(s);
    const ComponentInstance instance = sysfw::handleOf(record);
    const OSStatus result = plugin->Open(plugin, instance);
    if (result != noErr) {
        CloseComponent(instance);  // calls the plug-in's Close and frees the record
        return result;
    }
    *outInstance = instance;
    return noErr;
}

OSStatus AudioComponentInstanceDispose(AudioComponentInstance inInstance) {
    sysfw::InstanceRecord* r = sysfw::recordFrom(inInstance);
    if (r == nullptr) return kAudio_ParamError;
    if (r->kind == sysfw::InstanceKind::ComponentManager) return CloseComponent(inInstance);
    const OSStatus result = r->plugin->Close(r->plugin);
    r->magic = 0;
    delete r;
    return result;
}

AudioComponent AudioComponentInstanceGetComponent(AudioComponentInstance inInstance) {
    sysfw::InstanceRecord* r = sysfw::recordFrom(inInstance);
    if (r == nullptr) return nullptr;
    if (r->kind == sysfw::InstanceKind::Factory) return static_cast<AudioComponent>(r->component);
    std::lock_guard<std::mutex> lock(gLock);
    for (auto& e : entries())
        if (e->managerComponent == r->component) return reinterpret_cast<AudioComponent>(e.get());
    return nullptr;
}

Boolean AudioComponentInstanceCanDo(AudioComponentInstance inInstance, SInt16 inSelectorID) {
    return CallComponentCanDo(inInstance, inSelectorID) != 0;
}

}  // extern "C"
