// Parameter and event listeners, delivered synchronously (see
// AudioUnitUtilities.h), and the parameter value helpers.

#include "sysframeworks/common/diagnostics.h"

#include <AudioToolbox/AudioToolbox.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <vector>

struct AUListenerBase {
    static constexpr std::uint64_t kMagic = 0x535946574C495354ull;
    std::uint64_t magic = kMagic;
    AUEventListenerProc eventProc = nullptr;
    AUParameterListenerProc parameterProc = nullptr;
    void* userData = nullptr;
};

namespace {

struct Registration {
    AUListenerBase* listener;
    void* object;
    AudioUnitEvent event;  // for parameter listeners: a value-change event
    bool dead = false;
};

// One property listener per (unit, property id) feeds every property-event registration.
struct PropertyHook {
    AudioUnit unit;
    AudioUnitPropertyID id;
    int users;
};

struct Registry {
    std::recursive_mutex lock;
    std::vector<AUListenerBase*> listeners;
    std::vector<Registration> registrations;
    std::vector<PropertyHook> hooks;
    int delivering = 0;  // nesting depth of deliveries on the lock's owner
};

Registry& registry() {
    static auto* r = new Registry();
    return *r;
}

bool isLive(Registry& r, AUListenerBase* l) {
    return l != nullptr && std::find(r.listeners.begin(), r.listeners.end(), l) != r.listeners.end();
}

UInt64 hostTimeNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<UInt64>(now.tv_sec) * 1000000000ull + static_cast<UInt64>(now.tv_nsec);
}

bool isParameterEvent(AudioUnitEventType t) { return t <= kAudioUnitEvent_EndParameterChangeGesture; }

bool sameRegistration(const Registration& reg, AUListenerBase* l, void* object, const AudioUnitEvent& e) {
    if (reg.dead || reg.listener != l || reg.object != object || reg.event.mEventType != e.mEventType) return false;
    const AudioUnitParameter& a = reg.event.mArgument.mParameter;
    const AudioUnitParameter& b = e.mArgument.mParameter;
    return a.mAudioUnit == b.mAudioUnit && a.mParameterID == b.mParameterID && a.mScope == b.mScope &&
           a.mElement == b.mElement;
}

// Removes dead registrations once no delivery is walking the list.
void compact(Registry& r) {
    if (r.delivering > 0) return;
    r.registrations.erase(std::remove_if(r.registrations.begin(), r.registrations.end(),
                                         [](const Registration& x) { return x.dead; }),
                          r.registrations.end());
}

void propertyHook(void*, AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element);

OSStatus addRegistration(AUListenerBase* l, void* object, const AudioUnitEvent& event) {
    Registry& r = registry();
    bool installHook = false;
    {
        std::lock_guard<std::recursive_mutex> lock(r.lock);
        if (!isLive(r, l)) return kAudio_ParamError;
        r.registrations.push_back(Registration{l, object, event});
        if (event.mEventType == kAudioUnitEvent_PropertyChange) {
            const AudioUnitProperty& p = event.mArgument.mProperty;
            auto hook = std::find_if(r.hooks.begin(), r.hooks.end(),
                                     [&](const PropertyHook& h) { return h.unit == p.mAudioUnit && h.id == p.mPropertyID; });
            if (hook == r.hooks.end()) {
                r.hooks.push_back(PropertyHook{p.mAudioUnit, p.mPropertyID, 1});
                installHook = true;
            } else {
                ++hook->users;
            }
        }
    }
    // Outside the registry lock: the unit takes its own lock, and it may hold
    // that lock while it calls the hook (which takes the registry lock).
    if (installHook) {
        const AudioUnitProperty& p = event.mArgument.mProperty;
        AudioUnitAddPropertyListener(p.mAudioUnit, p.mPropertyID, propertyHook, nullptr);
    }
    return noErr;
}

void dropHook(Registry& r, AudioUnit unit, AudioUnitPropertyID id, std::vector<PropertyHook>& removed) {
    auto hook = std::find_if(r.hooks.begin(), r.hooks.end(),
                             [&](const PropertyHook& h) { return h.unit == unit && h.id == id; });
    if (hook != r.hooks.end() && --hook->users == 0) {
        removed.push_back(*hook);
        r.hooks.erase(hook);
    }
}

void removeHooks(const std::vector<PropertyHook>& removed) {
    for (const PropertyHook& h : removed) AudioUnitRemovePropertyListenerWithUserData(h.unit, h.id, propertyHook, nullptr);
}

// Delivers `event` to every matching registration; the registry lock is held.
void deliver(Registry& r, AUListenerBase* sendingListener, void* sendingObject, const AudioUnitEvent& event) {
    ++r.delivering;
    const UInt64 now = hostTimeNow();
    const std::size_t count = r.registrations.size();  // registrations added meanwhile wait for the next event
    for (std::size_t i = 0; i < count; ++i) {
        const Registration reg = r.registrations[i];
        if (reg.dead || reg.event.mEventType != event.mEventType) continue;
        if (sendingListener != nullptr && reg.listener == sendingListener && reg.object == sendingObject) continue;
        AudioUnitEvent delivered = event;
        AudioUnitParameterValue value = 0;
        if (isParameterEvent(event.mEventType)) {
            const AudioUnitParameter& want = reg.event.mArgument.mParameter;
            const AudioUnitParameter& got = event.mArgument.mParameter;
            if (want.mAudioUnit != got.mAudioUnit) continue;
            const bool anyWanted = want.mParameterID == kAUParameterListener_AnyParameter;
            const bool anySent = got.mParameterID == kAUParameterListener_AnyParameter;
            if (!anyWanted && !anySent &&
                (want.mParameterID != got.mParameterID || want.mScope != got.mScope || want.mElement != got.mElement))
                continue;
            // A notification for every parameter reports the registered one.
            if (anySent && !anyWanted) delivered.mArgument.mParameter = want;
            const AudioUnitParameter& p = delivered.mArgument.mParameter;
            if (p.mParameterID != kAUParameterListener_AnyParameter)
                AudioUnitGetParameter(p.mAudioUnit, p.mParameterID, p.mScope, p.mElement, &value);
        } else {
            const AudioUnitProperty& want = reg.event.mArgument.mProperty;
            const AudioUnitProperty& got = event.mArgument.mProperty;
            if (want.mAudioUnit != got.mAudioUnit || want.mPropertyID != got.mPropertyID || want.mScope != got.mScope ||
                want.mElement != got.mElement)
                continue;
        }
        if (reg.listener->eventProc) reg.listener->eventProc(reg.listener->userData, reg.object, &delivered, now, value);
        else if (reg.listener->parameterProc)
            reg.listener->parameterProc(reg.listener->userData, reg.object, &delivered.mArgument.mParameter, value);
    }
    --r.delivering;
    compact(r);
}

void propertyHook(void*, AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element) {
    AudioUnitEvent event{};
    event.mEventType = kAudioUnitEvent_PropertyChange;
    event.mArgument.mProperty = AudioUnitProperty{unit, id, scope, element};
    Registry& r = registry();
    std::lock_guard<std::recursive_mutex> lock(r.lock);
    deliver(r, nullptr, nullptr, event);
}

OSStatus createListener(AUEventListenerProc eventProc, AUParameterListenerProc parameterProc, void* userData,
                        AUListenerBase** out) {
    if (out == nullptr || (eventProc == nullptr && parameterProc == nullptr)) return kAudio_ParamError;
    *out = nullptr;
    return sysfw::guarded<OSStatus>(kAudio_MemFullError, [&] {
        auto* l = new AUListenerBase();
        l->eventProc = eventProc;
        l->parameterProc = parameterProc;
        l->userData = userData;
        Registry& r = registry();
        std::lock_guard<std::recursive_mutex> lock(r.lock);
        try {
            r.listeners.push_back(l);
        } catch (...) {
            delete l;
            throw;
        }
        *out = l;
        return static_cast<OSStatus>(noErr);
    });
}

AudioUnitEvent valueChangeEvent(const AudioUnitParameter& p) {
    AudioUnitEvent e{};
    e.mEventType = kAudioUnitEvent_ParameterValueChange;
    e.mArgument.mParameter = p;
    return e;
}

OSStatus removeRegistration(AUListenerBase* l, void* object, const AudioUnitEvent& event) {
    Registry& r = registry();
    std::vector<PropertyHook> removed;
    OSStatus status = kAudio_ParamError;
    {
        std::lock_guard<std::recursive_mutex> lock(r.lock);
        for (Registration& reg : r.registrations) {
            if (!sameRegistration(reg, l, object, event)) continue;
            reg.dead = true;
            status = noErr;
            if (event.mEventType == kAudioUnitEvent_PropertyChange)
                dropHook(r, event.mArgument.mProperty.mAudioUnit, event.mArgument.mProperty.mPropertyID, removed);
            break;
        }
        compact(r);
    }
    removeHooks(removed);
    return status;
}

bool parameterInfo(const AudioUnitParameter* p, AudioUnitParameterInfo& info) {
    if (p == nullptr) return false;
    UInt32 size = sizeof info;
    if (AudioUnitGetProperty(p->mAudioUnit, kAudioUnitProperty_ParameterInfo, p->mScope, p->mParameterID, &info,
                             &size) != noErr)
        return false;
    if ((info.flags & kAudioUnitParameterFlag_CFNameRelease) && (info.flags & kAudioUnitParameterFlag_HasCFNameString) &&
        info.cfNameString)
        CFRelease(info.cfNameString);
    return true;
}

bool isLogarithmic(const AudioUnitParameterInfo& info) {
    return (info.flags & kAudioUnitParameterFlag_DisplayMask) == kAudioUnitParameterFlag_DisplayLogarithmic &&
           info.minValue > 0 && info.maxValue > info.minValue;
}

}  // namespace

extern "C" {

OSStatus AUListenerCreate(AUParameterListenerProc inProc, void* inUserData, CFRunLoopRef, CFStringRef, Float32,
                          AUParameterListenerRef* outListener) {
    return createListener(nullptr, inProc, inUserData, outListener);
}

OSStatus AUEventListenerCreate(AUEventListenerProc inProc, void* inUserData, CFRunLoopRef, CFStringRef, Float32,
                               Float32, AUEventListenerRef* outListener) {
    return createListener(inProc, nullptr, inUserData, outListener);
}

OSStatus AUListenerDispose(AUParameterListenerRef inListener) {
    Registry& r = registry();
    std::vector<PropertyHook> removed;
    {
        std::lock_guard<std::recursive_mutex> lock(r.lock);
        if (!isLive(r, inListener)) return kAudio_ParamError;
        for (Registration& reg : r.registrations) {
            if (reg.dead || reg.listener != inListener) continue;
            reg.dead = true;
            if (reg.event.mEventType == kAudioUnitEvent_PropertyChange)
                dropHook(r, reg.event.mArgument.mProperty.mAudioUnit, reg.event.mArgument.mProperty.mPropertyID, removed);
        }
        r.listeners.erase(std::remove(r.listeners.begin(), r.listeners.end(), inListener), r.listeners.end());
        inListener->magic = 0;
        delete inListener;
        compact(r);
    }
    removeHooks(removed);
    return noErr;
}

OSStatus AUListenerAddParameter(AUParameterListenerRef inListener, void* inObject, const AudioUnitParameter* inParameter) {
    if (inParameter == nullptr) return kAudio_ParamError;
    return sysfw::guarded<OSStatus>(kAudio_MemFullError,
                                    [&] { return addRegistration(inListener, inObject, valueChangeEvent(*inParameter)); });
}

OSStatus AUListenerRemoveParameter(AUParameterListenerRef inListener, void* inObject,
                                   const AudioUnitParameter* inParameter) {
    if (inParameter == nullptr) return kAudio_ParamError;
    return removeRegistration(inListener, inObject, valueChangeEvent(*inParameter));
}

OSStatus AUEventListenerAddEventType(AUEventListenerRef inListener, void* inObject, const AudioUnitEvent* inEvent) {
    if (inEvent == nullptr || inEvent->mEventType > kAudioUnitEvent_PropertyChange) return kAudio_ParamError;
    return sysfw::guarded<OSStatus>(kAudio_MemFullError, [&] { return addRegistration(inListener, inObject, *inEvent); });
}

OSStatus AUEventListenerRemoveEventType(AUEventListenerRef inListener, void* inObject, const AudioUnitEvent* inEvent) {
    if (inEvent == nullptr) return kAudio_ParamError;
    return removeRegistration(inListener, inObject, *inEvent);
}

OSStatus AUEventListenerNotify(AUEventListenerRef inSendingListener, void* inSendingObject, const AudioUnitEvent* inEvent) {
    if (inEvent == nullptr || inEvent->mEventType > kAudioUnitEvent_PropertyChange) return kAudio_ParamError;
    Registry& r = registry();
    std::lock_guard<std::recursive_mutex> lock(r.lock);
    deliver(r, inSendingListener, inSendingObject, *inEvent);
    return noErr;
}

OSStatus AUParameterListenerNotify(AUParameterListenerRef inSendingListener, void* inSendingObject,
                                   const AudioUnitParameter* inParameter) {
    if (inParameter == nullptr) return kAudio_ParamError;
    const AudioUnitEvent event = valueChangeEvent(*inParameter);
    return AUEventListenerNotify(inSendingListener, inSendingObject, &event);
}

OSStatus AUParameterSet(AUParameterListenerRef inSendingListener, void* inSendingObject,
                        const AudioUnitParameter* inParameter, AudioUnitParameterValue inValue,
                        UInt32 inBufferOffsetInFrames) {
    if (inParameter == nullptr) return kAudio_ParamError;
    const OSStatus status = AudioUnitSetParameter(inParameter->mAudioUnit, inParameter->mParameterID,
                                                  inParameter->mScope, inParameter->mElement, inValue,
                                                  inBufferOffsetInFrames);
    if (status != noErr) return status;
    return AUParameterListenerNotify(inSendingListener, inSendingObject, inParameter);
}

AudioUnitParameterValue AUParameterValueFromLinear(Float32 inLinearValue, const AudioUnitParameter* inParameter) {
    AudioUnitParameterInfo info{};
    if (!parameterInfo(inParameter, info)) return inLinearValue;
    const double x = std::clamp(static_cast<double>(inLinearValue), 0.0, 1.0);
    if (isLogarithmic(info)) return static_cast<Float32>(info.minValue * std::pow(info.maxValue / info.minValue, x));
    return static_cast<Float32>(info.minValue + x * (static_cast<double>(info.maxValue) - info.minValue));
}

Float32 AUParameterValueToLinear(AudioUnitParameterValue inParameterValue, const AudioUnitParameter* inParameter) {
    AudioUnitParameterInfo info{};
    if (!parameterInfo(inParameter, info) || info.maxValue <= info.minValue) return inParameterValue;
    const double v = std::clamp(static_cast<double>(inParameterValue), static_cast<double>(info.minValue),
                                static_cast<double>(info.maxValue));
    if (isLogarithmic(info)) return static_cast<Float32>(std::log(v / info.minValue) / std::log(info.maxValue / info.minValue));
    return static_cast<Float32>((v - info.minValue) / (static_cast<double>(info.maxValue) - info.minValue));
}

char* AUParameterFormatValue(Float64 inParameterValue, const AudioUnitParameter* inParameter, char* inTextBuffer,
                             UInt32 inDigits) {
    (void)inParameter;
    if (inTextBuffer == nullptr) return nullptr;
    const int digits = static_cast<int>(std::clamp<UInt32>(inDigits, 1, 15));
    std::snprintf(inTextBuffer, 32, "%.*g", digits, inParameterValue);
    return inTextBuffer;
}

}  // extern "C"
