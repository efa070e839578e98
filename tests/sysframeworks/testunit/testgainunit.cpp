// TestGain; see testgainunit.h.

#include "testgainunit.h"

#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace {

constexpr UInt32 kMaxChannels = 2;
constexpr AudioUnitParameterID kGain = 0;
constexpr AudioUnitParameterID kMix = 1;

struct Listener {
    AudioUnitPropertyID id;
    AudioUnitPropertyListenerProc proc;
    void* userData;
};

struct Notify {
    AURenderCallback proc;
    void* userData;
};

struct Preset {
    const char* name;
    float gain;
    float mix;
};
const Preset kPresets[] = {{"Unity", 1.0f, 1.0f}, {"Half", 0.5f, 0.25f}};

struct Unit {
    AudioComponentPlugInInterface interface;  // first, so the interface pointer is the unit
    AudioComponentInstance instance = nullptr;
    std::recursive_mutex lock;
    float gain = 1.0f;
    float mix = 1.0f;
    Float64 sampleRate = 44100.0;
    UInt32 maxFrames = 1024;
    UInt32 inChannels = 2;
    UInt32 outChannels = 2;
    bool initialized = false;
    AURenderCallbackStruct input{};
    AudioUnitConnection connection{};
    std::vector<Listener> listeners;
    std::vector<Notify> notifies;
    std::vector<float> scratch;  // input buffers, sized at initialization
    int presetNumber = 0;
    std::string presetName = "Unity";
    TestGainCounters counters{};
};

Unit* unitFrom(void* self) { return static_cast<Unit*>(self); }

void notifyListeners(Unit* u, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element) {
    std::vector<Listener> copy;
    {
        std::lock_guard<std::recursive_mutex> lock(u->lock);
        copy = u->listeners;
    }
    for (const Listener& l : copy)
        if (l.id == id) l.proc(l.userData, u->instance, id, scope, element);
}

AudioStreamBasicDescription formatFor(const Unit* u, UInt32 channels) {
    AudioStreamBasicDescription f{};
    f.mSampleRate = u->sampleRate;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags = kAudioFormatFlagsAudioUnitCanonical;
    f.mBytesPerPacket = 4;
    f.mFramesPerPacket = 1;
    f.mBytesPerFrame = 4;
    f.mChannelsPerFrame = channels;
    f.mBitsPerChannel = 32;
    return f;
}

CFDictionaryRef copyClassInfo(const Unit* u) {
    CFMutableDictionaryRef d =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    auto put = [&](const char* key, SInt32 v) {
        CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &v);
        CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
        CFDictionarySetValue(d, k, n);
        CFRelease(k);
        CFRelease(n);
    };
    put(kAUPresetVersionKey, static_cast<SInt32>(kTestGainVersion));
    put(kAUPresetTypeKey, static_cast<SInt32>(kAudioUnitType_Effect));
    put(kAUPresetSubtypeKey, static_cast<SInt32>(kTestGainSubType));
    put(kAUPresetManufacturerKey, static_cast<SInt32>(kTestGainManufacturer));
    CFStringRef name = CFStringCreateWithCString(nullptr, u->presetName.c_str(), kCFStringEncodingUTF8);
    CFDictionarySetValue(d, CFSTR(kAUPresetNameKey), name);
    CFRelease(name);
    float state[2] = {u->gain, u->mix};
    CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(state), sizeof state);
    CFDictionarySetValue(d, CFSTR(kAUPresetDataKey), data);
    CFRelease(data);
    return d;
}

bool numberAt(CFDictionaryRef d, const char* key, SInt32& out) {
    CFStringRef k = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
    CFTypeRef v = CFDictionaryGetValue(d, k);
    CFRelease(k);
    return v && CFGetTypeID(v) == CFNumberGetTypeID() && CFNumberGetValue(static_cast<CFNumberRef>(v), kCFNumberSInt32Type, &out);
}

OSStatus restoreClassInfo(Unit* u, CFPropertyListRef plist) {
    if (plist == nullptr || CFGetTypeID(plist) != CFDictionaryGetTypeID()) return kAudioUnitErr_InvalidPropertyValue;
    auto d = static_cast<CFDictionaryRef>(plist);
    SInt32 type = 0, subtype = 0, manufacturer = 0;
    if (!numberAt(d, kAUPresetTypeKey, type) || !numberAt(d, kAUPresetSubtypeKey, subtype) ||
        !numberAt(d, kAUPresetManufacturerKey, manufacturer) || static_cast<UInt32>(type) != kAudioUnitType_Effect ||
        static_cast<UInt32>(subtype) != kTestGainSubType || static_cast<UInt32>(manufacturer) != kTestGainManufacturer)
        return kAudioUnitErr_InvalidPropertyValue;
    CFTypeRef data = CFDictionaryGetValue(d, CFSTR(kAUPresetDataKey));
    if (data == nullptr || CFGetTypeID(data) != CFDataGetTypeID() || CFDataGetLength(static_cast<CFDataRef>(data)) != 8)
        return kAudioUnitErr_InvalidPropertyValue;
    float state[2];
    std::memcpy(state, CFDataGetBytePtr(static_cast<CFDataRef>(data)), sizeof state);
    u->gain = state[0];
    u->mix = state[1];
    CFTypeRef name = CFDictionaryGetValue(d, CFSTR(kAUPresetNameKey));
    char text[128] = "";
    if (name && CFGetTypeID(name) == CFStringGetTypeID())
        CFStringGetCString(static_cast<CFStringRef>(name), text, sizeof text, kCFStringEncodingUTF8);
    u->presetName = text;
    u->presetNumber = -1;
    return noErr;
}

// AUPreset records handed out in the factory-presets array.
const void* presetRetain(CFAllocatorRef, const void* v) { return v; }
void presetRelease(CFAllocatorRef, const void*) {}

OSStatus initialize(void* self) {
    Unit* u = unitFrom(self);
    std::lock_guard<std::recursive_mutex> lock(u->lock);
    if (u->inChannels == 0 || u->outChannels != 2) return kAudioUnitErr_FailedInitialization;
    u->scratch.assign(static_cast<std::size_t>(u->maxFrames) * kMaxChannels, 0.0f);
    u->initialized = true;
    ++u->counters.initializes;
    return noErr;
}

OSStatus uninitialize(void* self) {
    Unit* u = unitFrom(self);
    std::lock_guard<std::recursive_mutex> lock(u->lock);
    u->initialized = false;
    return noErr;
}

OSStatus getPropertyInfo(void* self, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         UInt32* outSize, Boolean* outWritable) {
    (void)self;
    (void)element;
    UInt32 size = 0;
    Boolean writable = false;
    switch (id) {
        case kAudioUnitProperty_ClassInfo: size = sizeof(CFPropertyListRef), writable = true; break;
        case kAudioUnitProperty_StreamFormat: size = sizeof(AudioStreamBasicDescription), writable = true; break;
        case kAudioUnitProperty_MaximumFramesPerSlice: size = sizeof(UInt32), writable = true; break;
        case kAudioUnitProperty_SampleRate: size = sizeof(Float64), writable = true; break;
        case kAudioUnitProperty_ParameterList: size = scope == kAudioUnitScope_Global ? 2 * sizeof(UInt32) : 0; break;
        case kAudioUnitProperty_ParameterInfo: size = sizeof(AudioUnitParameterInfo); break;
        case kAudioUnitProperty_SetRenderCallback: size = sizeof(AURenderCallbackStruct), writable = true; break;
        case kAudioUnitProperty_MakeConnection: size = sizeof(AudioUnitConnection), writable = true; break;
        case kAudioUnitProperty_FactoryPresets: size = sizeof(CFArrayRef); break;
        case kAudioUnitProperty_PresentPreset: size = sizeof(AUPreset), writable = true; break;
        case kAudioUnitProperty_Latency:
        case kAudioUnitProperty_TailTime: size = sizeof(Float64); break;
        case kTestGainProperty_Counters: size = sizeof(void*); break;
        case kTestGainProperty_SimulateGesture: size = sizeof(UInt32), writable = true; break;
        default: return kAudioUnitErr_InvalidProperty;
    }
    if (outSize) *outSize = size;
    if (outWritable) *outWritable = writable;
    return noErr;
}

template <typename T>
OSStatus answer(void* out, UInt32* ioSize, const T& value) {
    if (out == nullptr || ioSize == nullptr || *ioSize < sizeof(T)) return kAudioUnitErr_InvalidPropertyValue;
    std::memcpy(out, &value, sizeof(T));
    *ioSize = sizeof(T);
    return noErr;
}

OSStatus getProperty(void* self, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, void* out,
                     UInt32* ioSize) {
    Unit* u = unitFrom(self);
    std::lock_guard<std::recursive_mutex> lock(u->lock);
    switch (id) {
        case kAudioUnitProperty_ClassInfo: return answer(out, ioSize, static_cast<CFPropertyListRef>(copyClassInfo(u)));
        case kAudioUnitProperty_StreamFormat:
            if (element != 0) return kAudioUnitErr_InvalidElement;
            if (scope == kAudioUnitScope_Input) return answer(out, ioSize, formatFor(u, u->inChannels));
            if (scope == kAudioUnitScope_Output) return answer(out, ioSize, formatFor(u, u->outChannels));
            return kAudioUnitErr_InvalidScope;
        case kAudioUnitProperty_MaximumFramesPerSlice: return answer(out, ioSize, u->maxFrames);
        case kAudioUnitProperty_SampleRate: return answer(out, ioSize, u->sampleRate);
        case kAudioUnitProperty_ParameterList: {
            if (scope != kAudioUnitScope_Global) {
                *ioSize = 0;
                return noErr;
            }
            const UInt32 ids[2] = {kGain, kMix};
            if (out == nullptr || *ioSize < sizeof ids) return kAudioUnitErr_InvalidPropertyValue;
            std::memcpy(out, ids, sizeof ids);
            *ioSize = sizeof ids;
            return noErr;
        }
        case kAudioUnitProperty_ParameterInfo: {
            if (element > kMix) return kAudioUnitErr_InvalidParameter;
            AudioUnitParameterInfo info{};
            const char* name = element == kGain ? "Gain" : "Mix";
            std::strcpy(info.name, name);
            info.cfNameString = CFStringCreateWithCString(nullptr, name, kCFStringEncodingUTF8);
            info.unit = element == kGain ? kAudioUnitParameterUnit_LinearGain : kAudioUnitParameterUnit_Generic;
            info.minValue = 0;
            info.maxValue = element == kGain ? 2.0f : 1.0f;
            info.defaultValue = 1.0f;
            info.flags = kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable |
                         kAudioUnitParameterFlag_HasCFNameString | kAudioUnitParameterFlag_CFNameRelease;
            const OSStatus status = answer(out, ioSize, info);
            if (status != noErr) CFRelease(info.cfNameString);
            return status;
        }
        case kAudioUnitProperty_FactoryPresets: {
            static AUPreset records[2];
            static std::once_flag once;
            std::call_once(once, [] {
                for (int i = 0; i < 2; ++i)
                    records[i] = AUPreset{i, CFStringCreateWithCString(nullptr, kPresets[i].name, kCFStringEncodingUTF8)};
            });
            CFArrayCallBacks callbacks = {0, presetRetain, presetRelease, nullptr, nullptr};
            CFMutableArrayRef a = CFArrayCreateMutable(nullptr, 2, &callbacks);
            for (auto& r : records) CFArrayAppendValue(a, &r);
            return answer(out, ioSize, static_cast<CFArrayRef>(a));
        }
        case kAudioUnitProperty_PresentPreset: {
            AUPreset p{u->presetNumber, CFStringCreateWithCString(nullptr, u->presetName.c_str(), kCFStringEncodingUTF8)};
            const OSStatus status = answer(out, ioSize, p);
            if (status != noErr) CFRelease(p.presetName);
            return status;
        }
        case kAudioUnitProperty_Latency: return answer(out, ioSize, 0.0);
        case kAudioUnitProperty_TailTime: return answer(out, ioSize, 0.0);
        case kTestGainProperty_Counters: return answer(out, ioSize, &u->counters);
        default: return kAudioUnitErr_InvalidProperty;
    }
}

void sendGesture(Unit* u, AudioUnitParameterID id) {
    AudioUnitEvent e{};
    e.mArgument.mParameter = AudioUnitParameter{u->instance, id, kAudioUnitScope_Global, 0};
    for (AudioUnitEventType t : {kAudioUnitEvent_BeginParameterChangeGesture, kAudioUnitEvent_ParameterValueChange,
                                 kAudioUnitEvent_EndParameterChangeGesture}) {
        e.mEventType = t;
        AUEventListenerNotify(nullptr, nullptr, &e);
    }
}

OSStatus setProperty(void* self, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                     const void* data, UInt32 size) {
    Unit* u = unitFrom(self);
    OSStatus status = noErr;
    {
        std::lock_guard<std::recursive_mutex> lock(u->lock);
        switch (id) {
            case kAudioUnitProperty_ClassInfo:
                if (data == nullptr || size != sizeof(CFPropertyListRef)) return kAudioUnitErr_InvalidPropertyValue;
                status = restoreClassInfo(u, *static_cast<const CFPropertyListRef*>(data));
                break;
            case kAudioUnitProperty_StreamFormat: {
                if (data == nullptr || size != sizeof(AudioStreamBasicDescription)) return kAudioUnitErr_InvalidPropertyValue;
                if (element != 0) return kAudioUnitErr_InvalidElement;
                const auto* f = static_cast<const AudioStreamBasicDescription*>(data);
                if (f->mFormatID != kAudioFormatLinearPCM || f->mChannelsPerFrame == 0 || f->mChannelsPerFrame > kMaxChannels)
                    return kAudioUnitErr_FormatNotSupported;
                if (scope == kAudioUnitScope_Input) u->inChannels = f->mChannelsPerFrame;
                else if (scope == kAudioUnitScope_Output) u->outChannels = f->mChannelsPerFrame;
                else return kAudioUnitErr_InvalidScope;
                if (f->mSampleRate > 0) u->sampleRate = f->mSampleRate;
                break;
            }
            case kAudioUnitProperty_MaximumFramesPerSlice:
                if (data == nullptr || size != sizeof(UInt32)) return kAudioUnitErr_InvalidPropertyValue;
                if (u->initialized) return kAudioUnitErr_Initialized;
                u->maxFrames = *static_cast<const UInt32*>(data);
                break;
            case kAudioUnitProperty_SampleRate:
                if (data == nullptr || size != sizeof(Float64)) return kAudioUnitErr_InvalidPropertyValue;
                u->sampleRate = *static_cast<const Float64*>(data);
                break;
            case kAudioUnitProperty_SetRenderCallback:
                if (scope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidScope;
                if (data == nullptr || size != sizeof(AURenderCallbackStruct)) return kAudioUnitErr_InvalidPropertyValue;
                u->input = *static_cast<const AURenderCallbackStruct*>(data);
                u->connection = AudioUnitConnection{};
                break;
            case kAudioUnitProperty_MakeConnection:
                if (data == nullptr || size != sizeof(AudioUnitConnection)) return kAudioUnitErr_InvalidPropertyValue;
                u->connection = *static_cast<const AudioUnitConnection*>(data);
                u->input = AURenderCallbackStruct{};
                break;
            case kAudioUnitProperty_PresentPreset: {
                if (data == nullptr || size != sizeof(AUPreset)) return kAudioUnitErr_InvalidPropertyValue;
                const auto* p = static_cast<const AUPreset*>(data);
                if (p->presetNumber < 0 || p->presetNumber > 1) return kAudioUnitErr_InvalidPropertyValue;
                u->gain = kPresets[p->presetNumber].gain;
                u->mix = kPresets[p->presetNumber].mix;
                u->presetNumber = p->presetNumber;
                u->presetName = kPresets[p->presetNumber].name;
                break;
            }
            case kTestGainProperty_SimulateGesture:
                if (data == nullptr || size != sizeof(UInt32)) return kAudioUnitErr_InvalidPropertyValue;
                break;
            default: return kAudioUnitErr_InvalidProperty;
        }
    }
    if (id == kTestGainProperty_SimulateGesture) sendGesture(u, *static_cast<const UInt32*>(data));
    if (status == noErr) notifyListeners(u, id, scope, element);
    return status;
}

OSStatus getParameter(void* self, AudioUnitParameterID id, AudioUnitScope, AudioUnitElement, AudioUnitParameterValue* out) {
    Unit* u = unitFrom(self);
    if (out == nullptr || id > kMix) return kAudioUnitErr_InvalidParameter;
    *out = id == kGain ? u->gain : u->mix;
    return noErr;
}

OSStatus setParameter(void* self, AudioUnitParameterID id, AudioUnitScope, AudioUnitElement, AudioUnitParameterValue v, UInt32) {
    Unit* u = unitFrom(self);
    if (id > kMix) return kAudioUnitErr_InvalidParameter;
    (id == kGain ? u->gain : u->mix) = v;
    return noErr;
}

OSStatus scheduleParameters(void* self, const AudioUnitParameterEvent* events, UInt32 count) {
    Unit* u = unitFrom(self);
    for (UInt32 i = 0; i < count; ++i) {
        if (events[i].parameter > kMix) return kAudioUnitErr_InvalidParameter;
        if (events[i].eventType == kParameterEvent_Immediate) {
            ++u->counters.scheduledImmediate;
            setParameter(self, events[i].parameter, events[i].scope, events[i].element, events[i].eventValues.immediate.value, 0);
        } else {
            ++u->counters.scheduledRamps;
            setParameter(self, events[i].parameter, events[i].scope, events[i].element, events[i].eventValues.ramp.endValue, 0);
        }
    }
    return noErr;
}

OSStatus reset(void* self, AudioUnitScope, AudioUnitElement) {
    ++unitFrom(self)->counters.resets;
    return noErr;
}

OSStatus addPropertyListener(void* self, AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc, void* userData) {
    Unit* u = unitFrom(self);
    std::lock_guard<std::recursive_mutex> lock(u->lock);
    u->listeners.push_back(Listener{id, proc, userData});
    return noErr;
}

OSStatus removePropertyListenerWithUserData(void* self, AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc, void* userData) {
    Unit* u = unitFrom(self);
    std::lock_guard<std::recursive_mutex> lock(u->lock);
    for (auto it = u->listeners.begin(); it != u->listeners.end(); ++it)
        if (it->id == id && it->proc == proc && it->userData == userData) {
            u->listeners.erase(it);
            return noErr;
        }
    return noErr;
}

OSStatus addRenderNotify(void* self, AURenderCallback proc, void* userData) {
    Unit* u = unitFrom(self);
    std::lock_guard<std::recursive_mutex> lock(u->lock);
    u->notifies.push_back(Notify{proc, userData});
    return noErr;
}

OSStatus removeRenderNotify(void* self, AURenderCallback proc, void* userData) {
    Unit* u = unitFrom(self);
    std::lock_guard<std::recursive_mutex> lock(u->lock);
    for (auto it = u->notifies.begin(); it != u->notifies.end(); ++it)
        if (it->proc == proc && it->userData == userData) {
            u->notifies.erase(it);
            break;
        }
    return noErr;
}

// Audio thread. Pulls input into the scratch buffers, then writes input * gain.
OSStatus render(void* self, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* ts, UInt32 bus, UInt32 frames,
                AudioBufferList* io) {
    Unit* u = unitFrom(self);
    if (!u->initialized) return kAudioUnitErr_Uninitialized;
    if (bus != 0) return kAudioUnitErr_InvalidElement;
    if (ts == nullptr || !(ts->mFlags & kAudioTimeStampSampleTimeValid)) return kAudioUnitErr_InvalidPropertyValue;
    if (frames > u->maxFrames) return kAudioUnitErr_TooManyFramesToProcess;
    if (io == nullptr || io->mNumberBuffers != u->outChannels) return kAudio_ParamError;
    for (const Notify& n : u->notifies) {
        AudioUnitRenderActionFlags pre = kAudioUnitRenderAction_PreRender;
        n.proc(n.userData, &pre, ts, bus, frames, io);
    }
    // Up to two one-channel input buffers over the scratch memory.
    struct {
        UInt32 count;
        AudioBuffer buffers[kMaxChannels];
    } input{};
    input.count = u->inChannels;
    for (UInt32 c = 0; c < u->inChannels; ++c)
        input.buffers[c] = AudioBuffer{1, frames * 4, u->scratch.data() + c * u->maxFrames};
    auto* inputList = reinterpret_cast<AudioBufferList*>(&input);
    AudioUnitRenderActionFlags pullFlags = 0;
    OSStatus status = noErr;
    if (u->input.inputProc) status = u->input.inputProc(u->input.inputProcRefCon, &pullFlags, ts, 0, frames, inputList);
    else if (u->connection.sourceAudioUnit)
        status = AudioUnitRender(u->connection.sourceAudioUnit, &pullFlags, ts, u->connection.sourceOutputNumber, frames, inputList);
    else
        for (UInt32 c = 0; c < u->inChannels; ++c) std::memset(input.buffers[c].mData, 0, frames * 4);
    if (status != noErr) return status;
    for (UInt32 c = 0; c < u->outChannels; ++c) {
        auto* out = static_cast<float*>(io->mBuffers[c].mData);
        if (out == nullptr) return kAudio_ParamError;
        const auto* in = static_cast<const float*>(input.buffers[c < u->inChannels ? c : 0].mData);
        for (UInt32 i = 0; i < frames; ++i) out[i] = in[i] * u->gain;
        io->mBuffers[c].mDataByteSize = frames * 4;
    }
    ++u->counters.renders;
    u->counters.lastRenderFrames = static_cast<int>(frames);
    for (const Notify& n : u->notifies) {
        AudioUnitRenderActionFlags post = kAudioUnitRenderAction_PostRender;
        n.proc(n.userData, &post, ts, bus, frames, io);
    }
    if (flags) *flags &= ~kAudioUnitRenderAction_OutputIsSilence;
    return noErr;
}

OSStatus open(void* self, AudioComponentInstance instance) {
    unitFrom(self)->instance = instance;
    return noErr;
}

OSStatus close(void* self) {
    Unit* u = unitFrom(self);
    u->~Unit();
    ::operator delete(u);
    return noErr;
}

AudioComponentMethod lookup(SInt16 selector) {
    switch (selector) {
        case kAudioUnitInitializeSelect: return reinterpret_cast<AudioComponentMethod>(initialize);
        case kAudioUnitUninitializeSelect: return reinterpret_cast<AudioComponentMethod>(uninitialize);
        case kAudioUnitGetPropertyInfoSelect: return reinterpret_cast<AudioComponentMethod>(getPropertyInfo);
        case kAudioUnitGetPropertySelect: return reinterpret_cast<AudioComponentMethod>(getProperty);
        case kAudioUnitSetPropertySelect: return reinterpret_cast<AudioComponentMethod>(setProperty);
        case kAudioUnitGetParameterSelect: return reinterpret_cast<AudioComponentMethod>(getParameter);
        case kAudioUnitSetParameterSelect: return reinterpret_cast<AudioComponentMethod>(setParameter);
        case kAudioUnitResetSelect: return reinterpret_cast<AudioComponentMethod>(reset);
        case kAudioUnitAddPropertyListenerSelect: return reinterpret_cast<AudioComponentMethod>(addPropertyListener);
        case kAudioUnitRemovePropertyListenerWithUserDataSelect:
            return reinterpret_cast<AudioComponentMethod>(removePropertyListenerWithUserData);
        case kAudioUnitRenderSelect: return reinterpret_cast<AudioComponentMethod>(render);
        case kAudioUnitAddRenderNotifySelect: return reinterpret_cast<AudioComponentMethod>(addRenderNotify);
        case kAudioUnitRemoveRenderNotifySelect: return reinterpret_cast<AudioComponentMethod>(removeRenderNotify);
        case kAudioUnitScheduleParametersSelect: return reinterpret_cast<AudioComponentMethod>(scheduleParameters);
        default: return nullptr;
    }
}

Unit* newUnit() {
    void* memory = ::operator new(sizeof(Unit), std::nothrow);
    if (memory == nullptr) return nullptr;
    Unit* u = new (memory) Unit();
    u->interface = AudioComponentPlugInInterface{open, close, lookup, nullptr};
    return u;
}

// Argument k (first = 0) of an n-argument Component Manager call.
template <typename T>
T arg(const ComponentParameters* p, int n, int k) {
    T value;
    std::memcpy(&value, &p->params[n - 1 - k], sizeof(T));
    return value;
}

}  // namespace

extern "C" AudioComponentPlugInInterface* TestGainFactory(const AudioComponentDescription*) {
    Unit* u = newUnit();
    return u ? &u->interface : nullptr;
}

extern "C" ComponentResult TestGainEntry(ComponentParameters* p, Handle storage) {
    void* self = storage;
    const int n = p->paramSize / 8;
    switch (p->what) {
        case kComponentOpenSelect: {
            Unit* u = newUnit();
            if (u == nullptr) return kAudio_MemFullError;
            const auto instance = arg<ComponentInstance>(p, n, 0);
            u->instance = instance;
            SetComponentInstanceStorage(instance, reinterpret_cast<Handle>(u));
            return noErr;
        }
        case kComponentCloseSelect: return self ? close(self) : noErr;
        case kComponentCanDoSelect: return lookup(arg<SInt16>(p, n, 0)) != nullptr || arg<SInt16>(p, n, 0) < 0;
        case kComponentVersionSelect: return static_cast<ComponentResult>(kTestGainVersion);
        case kAudioUnitInitializeSelect: return initialize(self);
        case kAudioUnitUninitializeSelect: return uninitialize(self);
        case kAudioUnitGetPropertyInfoSelect:
            return getPropertyInfo(self, arg<UInt32>(p, n, 0), arg<UInt32>(p, n, 1), arg<UInt32>(p, n, 2),
                                   arg<UInt32*>(p, n, 3), arg<Boolean*>(p, n, 4));
        case kAudioUnitGetPropertySelect:
            return getProperty(self, arg<UInt32>(p, n, 0), arg<UInt32>(p, n, 1), arg<UInt32>(p, n, 2),
                               arg<void*>(p, n, 3), arg<UInt32*>(p, n, 4));
        case kAudioUnitSetPropertySelect:
            return setProperty(self, arg<UInt32>(p, n, 0), arg<UInt32>(p, n, 1), arg<UInt32>(p, n, 2),
                               arg<const void*>(p, n, 3), arg<UInt32>(p, n, 4));
        case kAudioUnitGetParameterSelect:
            return getParameter(self, arg<UInt32>(p, n, 0), arg<UInt32>(p, n, 1), arg<UInt32>(p, n, 2),
                                arg<Float32*>(p, n, 3));
        case kAudioUnitSetParameterSelect:
            return setParameter(self, arg<UInt32>(p, n, 0), arg<UInt32>(p, n, 1), arg<UInt32>(p, n, 2),
                                arg<Float32>(p, n, 3), arg<UInt32>(p, n, 4));
        case kAudioUnitRenderSelect:
            return render(self, arg<AudioUnitRenderActionFlags*>(p, n, 0), arg<const AudioTimeStamp*>(p, n, 1),
                          arg<UInt32>(p, n, 2), arg<UInt32>(p, n, 3), arg<AudioBufferList*>(p, n, 4));
        case kAudioUnitResetSelect: return reset(self, arg<UInt32>(p, n, 0), arg<UInt32>(p, n, 1));
        case kAudioUnitScheduleParametersSelect:
            return scheduleParameters(self, arg<const AudioUnitParameterEvent*>(p, n, 0), arg<UInt32>(p, n, 1));
        case kAudioUnitAddPropertyListenerSelect:
            return addPropertyListener(self, arg<UInt32>(p, n, 0), arg<AudioUnitPropertyListenerProc>(p, n, 1),
                                       arg<void*>(p, n, 2));
        case kAudioUnitRemovePropertyListenerWithUserDataSelect:
            return removePropertyListenerWithUserData(self, arg<UInt32>(p, n, 0),
                                                      arg<AudioUnitPropertyListenerProc>(p, n, 1), arg<void*>(p, n, 2));
        case kAudioUnitAddRenderNotifySelect:
            return addRenderNotify(self, arg<AURenderCallback>(p, n, 0), arg<void*>(p, n, 1));
        case kAudioUnitRemoveRenderNotifySelect:
            return removeRenderNotify(self, arg<AURenderCallback>(p, n, 0), arg<void*>(p, n, 1));
        default: return badComponentSelector;
    }
}
