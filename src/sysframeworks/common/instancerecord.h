#pragma once
// The record behind a ComponentInstance (= AudioComponentInstance), shared by
// CoreServices and AudioToolbox. CoreServices creates the records of
// components opened through their entry function; AudioToolbox creates those
// of plug-ins made by a factory, and caches each method that the plug-in's
// Lookup returns so that dispatch never calls Lookup (or locks) again.
// CloseComponent (CoreServices) closes and frees records of both kinds.

#include <AudioToolbox/AudioComponent.h>
#include <CoreServices/Components.h>

#include <atomic>
#include <cstdint>

namespace sysfw {

enum class InstanceKind : std::uint32_t { Factory = 1, ComponentManager = 2 };

// Selectors whose methods a factory instance caches: 0..0x15 and the music
// device range 0x101..0x106.
constexpr int kMethodSlots = 0x16 + 6;

constexpr int methodSlot(SInt16 selector) {
    if (selector >= 0 && selector < 0x16) return selector;
    if (selector >= 0x101 && selector <= 0x106) return 0x16 + (selector - 0x101);
    return -1;
}

struct InstanceRecord {
    static constexpr std::uint64_t kMagic = 0x53594657494E5354ull;  // marks a live record

    std::uint64_t magic = kMagic;
    InstanceKind kind;
    // Set from any thread, read on the audio thread; relaxed because the value
    // only travels between the host and the plug-in, which order their own calls.
    std::atomic<Handle> storage{nullptr};
    std::atomic<OSErr> error{0};
    void* component = nullptr;  // the Component (kind ComponentManager) or AudioComponent (kind Factory)

    // Kind Factory.
    AudioComponentPlugInInterface* plugin = nullptr;
    AudioComponentMethod methods[kMethodSlots] = {};

    // Kind ComponentManager.
    ComponentRoutineProcPtr entry = nullptr;
};

// The live record behind an instance handle, or nullptr.
inline InstanceRecord* recordFrom(const void* instance) {
    auto* record = static_cast<InstanceRecord*>(const_cast<void*>(instance));
    return record != nullptr && record->magic == InstanceRecord::kMagic ? record : nullptr;
}

inline ComponentInstance handleOf(InstanceRecord* record) { return reinterpret_cast<ComponentInstance>(record); }

}  // namespace sysfw
