// The Component Manager: registered components with an entry function, their
// instances, instance storage, and calls through ComponentParameters.

#include "sysframeworks/common/componentcall.h"
#include "sysframeworks/common/descriptionmatch.h"
#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/common/instancerecord.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct ComponentEntry {
    static constexpr std::uint64_t kMagic = 0x53594657434F4D50ull;
    std::uint64_t magic = kMagic;
    ComponentDescription description{};
    ComponentRoutineProcPtr entry = nullptr;
    std::string name;  // Pascal string contents
    std::atomic<long> instances{0};
    bool registered = true;
};

// Entries stay allocated for the life of the process (unregistering only hides
// them), so a stale Component handle never points at freed memory.
std::mutex gLock;
std::vector<std::unique_ptr<ComponentEntry>>& entries() {
    static auto* list = new std::vector<std::unique_ptr<ComponentEntry>>();
    return *list;
}

ComponentEntry* entryFrom(Component c) {
    auto* e = reinterpret_cast<ComponentEntry*>(c);
    return e != nullptr && e->magic == ComponentEntry::kMagic ? e : nullptr;
}

sysfw::InstanceRecord* instanceFrom(ComponentInstance ci, const char* api) {
    sysfw::InstanceRecord* r = sysfw::recordFrom(ci);
    if (r == nullptr) sysfw::reportMisuse(api, ci ? "not a component instance" : "null component instance");
    return r;
}

}  // namespace

extern "C" {

Component RegisterComponent(ComponentDescription* cd, ComponentRoutineUPP componentEntryPoint, SInt16 global,
                            Handle componentName, Handle componentInfo, Handle componentIcon) {
    (void)global;
    (void)componentInfo;
    (void)componentIcon;
    if (cd == nullptr || componentEntryPoint == nullptr) {
        sysfw::reportMisuse("RegisterComponent", "a description and an entry point are required");
        return nullptr;
    }
    return sysfw::guarded<Component>(nullptr, [&] {
        auto e = std::make_unique<ComponentEntry>();
        e->description = *cd;
        e->entry = componentEntryPoint;
        if (componentName && *componentName) {
            const auto* pascal = reinterpret_cast<const unsigned char*>(*componentName);
            e->name.assign(reinterpret_cast<const char*>(pascal + 1), pascal[0]);
        }
        std::lock_guard<std::mutex> lock(gLock);
        entries().push_back(std::move(e));
        return reinterpret_cast<Component>(entries().back().get());
    });
}

OSErr UnregisterComponent(Component aComponent) {
    ComponentEntry* e = entryFrom(aComponent);
    if (e == nullptr) return invalidComponentID;
    std::lock_guard<std::mutex> lock(gLock);
    if (e->instances.load() > 0) return validInstancesExist;
    e->registered = false;
    return noErr;
}

Component FindNextComponent(Component aComponent, ComponentDescription* looking) {
    std::lock_guard<std::mutex> lock(gLock);
    auto& list = entries();
    std::size_t i = 0;
    if (aComponent != nullptr) {
        auto it = std::find_if(list.begin(), list.end(), [&](auto& p) { return p.get() == entryFrom(aComponent); });
        if (it == list.end()) return nullptr;
        i = static_cast<std::size_t>(it - list.begin()) + 1;
    }
    for (; i < list.size(); ++i)
        if (list[i]->registered && sysfw::descriptionMatches(list[i]->description, looking)) return reinterpret_cast<Component>(list[i].get());
    return nullptr;
}

long CountComponents(ComponentDescription* looking) {
    std::lock_guard<std::mutex> lock(gLock);
    return static_cast<long>(std::count_if(entries().begin(), entries().end(),
                                           [&](auto& p) { return p->registered && sysfw::descriptionMatches(p->description, looking); }));
}

OSErr GetComponentInfo(Component aComponent, ComponentDescription* cd, Handle componentName, Handle componentInfo,
                       Handle componentIcon) {
    (void)componentInfo;
    (void)componentIcon;
    ComponentEntry* e = entryFrom(aComponent);
    if (e == nullptr) return invalidComponentID;
    if (cd) *cd = e->description;
    if (componentName && *componentName) {
        auto* pascal = reinterpret_cast<unsigned char*>(*componentName);
        const std::size_t n = std::min<std::size_t>(e->name.size(), 255);
        pascal[0] = static_cast<unsigned char>(n);
        std::memcpy(pascal + 1, e->name.data(), n);
    }
    return noErr;
}

long CountComponentInstances(Component aComponent) {
    ComponentEntry* e = entryFrom(aComponent);
    return e ? e->instances.load() : 0;
}

OSErr OpenAComponent(Component aComponent, ComponentInstance* ci) {
    if (ci) *ci = nullptr;
    ComponentEntry* e = entryFrom(aComponent);
    if (e == nullptr || ci == nullptr) return invalidComponentID;
    auto* record = new (std::nothrow) sysfw::InstanceRecord();
    if (record == nullptr) return -108;  // memFullErr
    record->kind = sysfw::InstanceKind::ComponentManager;
    record->entry = e->entry;
    record->component = e;
    e->instances.fetch_add(1);
    const ComponentInstance self = sysfw::handleOf(record);
    const ComponentResult result = sysfw::callComponentEntry(*record, kComponentOpenSelect, self);
    if (result != noErr) {
        // The component gets its close call so that it can free what open made.
        sysfw::callComponentEntry(*record, kComponentCloseSelect, self);
        record->magic = 0;
        delete record;
        e->instances.fetch_sub(1);
        return static_cast<OSErr>(result);
    }
    *ci = self;
    return noErr;
}

ComponentInstance OpenComponent(Component aComponent) {
    ComponentInstance ci = nullptr;
    return OpenAComponent(aComponent, &ci) == noErr ? ci : nullptr;
}

OSErr CloseComponent(ComponentInstance aComponentInstance) {
    sysfw::InstanceRecord* r = instanceFrom(aComponentInstance, "CloseComponent");
    if (r == nullptr) return static_cast<OSErr>(badComponentInstance);
    ComponentResult result = noErr;
    if (r->kind == sysfw::InstanceKind::ComponentManager) {
        result = sysfw::callComponentEntry(*r, kComponentCloseSelect, aComponentInstance);
        if (auto* e = entryFrom(static_cast<Component>(r->component))) e->instances.fetch_sub(1);
    } else if (r->plugin != nullptr && r->plugin->Close != nullptr) {
        result = r->plugin->Close(r->plugin);
    }
    r->magic = 0;
    delete r;
    return static_cast<OSErr>(result);
}

Component GetComponentFromInstance(ComponentInstance aComponentInstance) {
    sysfw::InstanceRecord* r = instanceFrom(aComponentInstance, "GetComponentFromInstance");
    if (r == nullptr || r->kind != sysfw::InstanceKind::ComponentManager) return nullptr;
    return static_cast<Component>(r->component);
}

Handle GetComponentInstanceStorage(ComponentInstance aComponentInstance) {
    sysfw::InstanceRecord* r = instanceFrom(aComponentInstance, "GetComponentInstanceStorage");
    return r ? r->storage.load(std::memory_order_relaxed) : nullptr;
}

void SetComponentInstanceStorage(ComponentInstance aComponentInstance, Handle theStorage) {
    if (sysfw::InstanceRecord* r = instanceFrom(aComponentInstance, "SetComponentInstanceStorage"))
        r->storage.store(theStorage, std::memory_order_relaxed);
}

OSErr GetComponentInstanceError(ComponentInstance aComponentInstance) {
    sysfw::InstanceRecord* r = instanceFrom(aComponentInstance, "GetComponentInstanceError");
    return r ? r->error.load(std::memory_order_relaxed) : static_cast<OSErr>(badComponentInstance);
}

void SetComponentInstanceError(ComponentInstance aComponentInstance, OSErr theError) {
    if (sysfw::InstanceRecord* r = instanceFrom(aComponentInstance, "SetComponentInstanceError"))
        r->error.store(theError, std::memory_order_relaxed);
}

ComponentResult CallComponentDispatch(ComponentParameters* cp) {
    if (cp == nullptr) return badComponentSelector;
    long instanceSlot;
    std::memcpy(&instanceSlot, reinterpret_cast<const unsigned char*>(cp) + 8 + cp->paramSize / 8 * 8, sizeof instanceSlot);
    sysfw::InstanceRecord* r = instanceFrom(reinterpret_cast<ComponentInstance>(instanceSlot), "CallComponentDispatch");
    if (r == nullptr) return badComponentInstance;
    if (r->kind != sysfw::InstanceKind::ComponentManager) return badComponentSelector;
    return r->entry(cp, r->storage.load(std::memory_order_relaxed));
}

ComponentResult DelegateComponentCall(ComponentParameters* originalParams, ComponentInstance ci) {
    sysfw::InstanceRecord* r = instanceFrom(ci, "DelegateComponentCall");
    if (r == nullptr || originalParams == nullptr) return badComponentInstance;
    if (r->kind != sysfw::InstanceKind::ComponentManager) return badComponentSelector;
    return r->entry(originalParams, r->storage.load(std::memory_order_relaxed));
}

ComponentResult CallComponentOpen(ComponentInstance ci, ComponentInstance self) {
    sysfw::InstanceRecord* r = instanceFrom(ci, "CallComponentOpen");
    if (r == nullptr) return badComponentInstance;
    if (r->kind != sysfw::InstanceKind::ComponentManager) return badComponentSelector;
    return sysfw::callComponentEntry(*r, kComponentOpenSelect, self);
}

ComponentResult CallComponentClose(ComponentInstance ci, ComponentInstance self) {
    sysfw::InstanceRecord* r = instanceFrom(ci, "CallComponentClose");
    if (r == nullptr) return badComponentInstance;
    if (r->kind != sysfw::InstanceKind::ComponentManager) return badComponentSelector;
    return sysfw::callComponentEntry(*r, kComponentCloseSelect, self);
}

ComponentResult CallComponentCanDo(ComponentInstance ci, SInt16 ftnNumber) {
    sysfw::InstanceRecord* r = instanceFrom(ci, "CallComponentCanDo");
    if (r == nullptr) return 0;
    if (r->kind == sysfw::InstanceKind::Factory)
        return r->plugin && r->plugin->Lookup && r->plugin->Lookup(ftnNumber) != nullptr;
    return sysfw::callComponentEntry(*r, kComponentCanDoSelect, ftnNumber);
}

ComponentResult CallComponentVersion(ComponentInstance ci) {
    sysfw::InstanceRecord* r = instanceFrom(ci, "CallComponentVersion");
    if (r == nullptr) return badComponentInstance;
    if (r->kind != sysfw::InstanceKind::ComponentManager) return badComponentSelector;
    return sysfw::callComponentEntry(*r, kComponentVersionSelect);
}

}  // extern "C"
