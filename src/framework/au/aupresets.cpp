#include "framework/au/aupresets.h"

#include <atomic>
#include <new>

#include "framework/au/aucf.h"

namespace fw::au {

namespace {

// What the array holds. The host reads the AUPreset at the start; the rest is ours.
struct PresetRecord {
    AUPreset preset;
    CFAllocatorRef allocator;
    std::atomic<int> count;
};
static_assert(offsetof(PresetRecord, preset) == 0);

// Any thread (the host may hand the array around).
const void* retainRecord(CFAllocatorRef, const void* value) {
    auto* record = static_cast<PresetRecord*>(const_cast<void*>(value));
    record->count.fetch_add(1, std::memory_order_relaxed);
    sys::coreFoundation().CFRetain(record->preset.presetName);
    return value;
}

void releaseRecord(CFAllocatorRef, const void* value) {
    const auto& cf = sys::coreFoundation();
    auto* record = static_cast<PresetRecord*>(const_cast<void*>(value));
    cf.CFRelease(record->preset.presetName);
    // Acquire-release: the last owner sees every other owner's use before freeing.
    if (record->count.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        CFAllocatorRef allocator = record->allocator;
        record->~PresetRecord();
        cf.CFAllocatorDeallocate(allocator, record);
    }
}

CFStringRef describeRecord(const void* value) {
    const auto& cf = sys::coreFoundation();
    const auto* record = static_cast<const PresetRecord*>(value);
    CFStringRef format = createCFString("AUPreset:\npreset number = %d\npreset name = %@");
    CFReleaser releaseFormat(format);
    return cf.CFStringCreateWithFormat(nullptr, nullptr, format, int(record->preset.presetNumber),
                                       record->preset.presetName);
}

Boolean recordsEqual(const void* a, const void* b) {
    const auto& pa = static_cast<const PresetRecord*>(a)->preset;
    const auto& pb = static_cast<const PresetRecord*>(b)->preset;
    return pa.presetNumber == pb.presetNumber &&
           sys::coreFoundation().CFStringCompare(pa.presetName, pb.presetName, 0) == kCFCompareEqualTo;
}

const CFArrayCallBacks kPresetCallBacks = {0, retainRecord, releaseRecord, describeRecord, recordsEqual};

}  // namespace

CFArrayRef createFactoryPresetArray(std::span<const std::string> names) noexcept {
    const auto& cf = sys::coreFoundation();
    CFMutableArrayRef array = cf.CFArrayCreateMutable(nullptr, CFIndex(names.size()), &kPresetCallBacks);
    if (array == nullptr) return nullptr;
    for (std::size_t i = 0; i < names.size(); ++i) {
        void* memory = cf.CFAllocatorAllocate(nullptr, sizeof(PresetRecord), 0);
        CFStringRef name = createCFString(names[i].c_str());
        if (memory == nullptr || name == nullptr) {
            if (memory != nullptr) cf.CFAllocatorDeallocate(nullptr, memory);
            if (name != nullptr) cf.CFRelease(name);
            cf.CFRelease(array);
            return nullptr;
        }
        // Count 1 and the name's reference are ours until the array has retained both.
        auto* record = new (memory) PresetRecord{{SInt32(i), name}, nullptr, {1}};
        cf.CFArrayAppendValue(array, record);
        releaseRecord(nullptr, record);
    }
    return array;
}

}  // namespace fw::au
