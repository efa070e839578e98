// The Audio Unit property setters and getters, driven through the plug-in binary as
// a host calls them: a sequence of GetPropertyInfo, GetProperty and SetProperty
// calls with any id, scope, element, size and bytes, mixed with initialization,
// resets, parameter sets and renders, then a small render. Every call must return
// without a crash, an out-of-bounds access or undefined behaviour.
//
// Fields that hold pointers are the one thing a host cannot send at random: where a
// property carries one, it is replaced by null or by a real object of this process
// (a CF object of any type, a render or host callback, another instance) chosen by
// the input. Outputs that return CF objects are released as the caller must.

#include <AudioToolbox/AudioToolbox.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzzsupport.h"

namespace {

constexpr AudioUnitPropertyID kPrivateProperty = 0xDEADBEEF;
constexpr AudioUnitPropertyID kInstrumentCount = 1000;
constexpr UInt32 kMaxRenderFrames = 4096;

// What the host callbacks and the input callback answer; chosen by the input.
struct HostState {
    Float64 beat = 0;
    Float64 tempo = 120;
    Float64 sample = 0;
    Boolean playing = true;
};

OSStatus beatAndTempo(void* user, Float64* beat, Float64* tempo) {
    const auto* h = static_cast<const HostState*>(user);
    if (beat) *beat = h->beat;
    if (tempo) *tempo = h->tempo;
    return noErr;
}

OSStatus musicalTime(void*, UInt32* next, Float32* numerator, UInt32* denominator, Float64* downBeat) {
    if (next) *next = 0;
    if (numerator) *numerator = 4;
    if (denominator) *denominator = 4;
    if (downBeat) *downBeat = 0;
    return noErr;
}

OSStatus transportState(void* user, Boolean* playing, Boolean* changed, Float64* sample, Boolean* cycling,
                        Float64* cycleStart, Float64* cycleEnd) {
    const auto* h = static_cast<const HostState*>(user);
    if (playing) *playing = h->playing;
    if (changed) *changed = false;
    if (sample) *sample = h->sample;
    if (cycling) *cycling = false;
    if (cycleStart) *cycleStart = 0;
    if (cycleEnd) *cycleEnd = 0;
    return noErr;
}

OSStatus transportState2(void* user, Boolean* playing, Boolean* recording, Boolean* changed, Float64* sample,
                         Boolean* cycling, Float64* cycleStart, Float64* cycleEnd) {
    if (recording) *recording = false;
    return transportState(user, playing, changed, sample, cycling, cycleStart, cycleEnd);
}

OSStatus renderInput(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                     AudioBufferList* data) {
    if (data == nullptr) return noErr;
    for (UInt32 b = 0; b < data->mNumberBuffers; ++b) {
        auto* out = static_cast<float*>(data->mBuffers[b].mData);
        if (out == nullptr) continue;
        const UInt32 n = std::min<UInt32>(frames, data->mBuffers[b].mDataByteSize / sizeof(float));
        for (UInt32 i = 0; i < n; ++i) out[i] = (i % 64) / 64.0f - 0.5f;
    }
    return noErr;
}

OSStatus failingInput(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32, AudioBufferList*) {
    return -50;
}

OSStatus midiOut(void*, const AudioTimeStamp*, UInt32, const MIDIPacketList*) { return noErr; }

// The CF objects and instances a sequence can point at; released with it.
class Objects {
public:
    ~Objects() {
        for (CFTypeRef o : owned_) CFRelease(o);
    }
    CFTypeRef cf(kfuzz::Input& in) {
        switch (in.byte() % 7) {
            case 0: return nullptr;
            case 1: return keep(classInfo());
            case 2: {
                const auto b = in.bytes(in.byte() % 32);
                return keep(CFStringCreateWithBytes(nullptr, b.data(), CFIndex(b.size()), kCFStringEncodingUTF8, false));
            }
            case 3: {
                const SInt32 v = SInt32(in.u32());
                return keep(CFNumberCreate(nullptr, kCFNumberSInt32Type, &v));
            }
            case 4:
                return keep(CFDictionaryCreate(nullptr, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                               &kCFTypeDictionaryValueCallBacks));
            case 5: {
                const auto b = in.bytes(in.u16());
                CFDataRef d = CFDataCreate(nullptr, b.data(), CFIndex(b.size()));
                CFPropertyListRef p = CFPropertyListCreateWithData(nullptr, d, 0, nullptr, nullptr);
                CFRelease(d);
                return keep(p);
            }
            default: return keep(CFStringCreateWithCString(nullptr, "Kestrin", kCFStringEncodingUTF8));
        }
    }
    AudioUnit otherUnit() {
        if (!other_) {
            other_ = kfuzz::newKestrinUnit();
            (void)other_->initialize();
        }
        return other_->unit();
    }

private:
    CFTypeRef keep(CFTypeRef o) {
        if (o != nullptr) owned_.push_back(o);
        return o;
    }
    static CFTypeRef classInfo() {
        static auhost::CFRef<CFPropertyListRef> info = [] {
            auto unit = kfuzz::newKestrinUnit();
            auhost::CFRef<CFPropertyListRef> state;
            if (!unit->copyClassInfo(state)) kfuzz::trap("a fresh unit gives no ClassInfo");
            return state;
        }();
        return CFRetain(info.get());
    }
    std::vector<CFTypeRef> owned_;
    std::unique_ptr<auhost::HostedUnit> other_;
};

template <class T>
void putAt(std::vector<std::uint8_t>& buffer, std::size_t offset, T value) {
    if (offset + sizeof value <= buffer.size()) std::memcpy(buffer.data() + offset, &value, sizeof value);
}

template <class T>
T getAt(const std::vector<std::uint8_t>& buffer, std::size_t offset, UInt32 size) {
    T value{};
    if (offset + sizeof value <= size) std::memcpy(&value, buffer.data() + offset, sizeof value);
    return value;
}

void patchSetPointers(AudioUnit self, AudioUnitPropertyID id, std::vector<std::uint8_t>& d, kfuzz::Input& in,
                      Objects& objects, HostState& host) {
    auto choose = [&](auto yes) { return in.byte() % 2 ? yes : decltype(yes){}; };
    switch (id) {
        case kAudioUnitProperty_ClassInfo:
        case kAudioUnitProperty_ContextName:
        case kAudioUnitProperty_ClassInfoFromDocument: putAt(d, 0, objects.cf(in)); break;
        case kAudioUnitProperty_MakeConnection:
            // No unit, another one, or the unit itself (which it must refuse).
            putAt(d, offsetof(AudioUnitConnection, sourceAudioUnit),
                  in.byte() % 4 == 0 ? self : choose(objects.otherUnit()));
            break;
        case kAudioUnitProperty_SetRenderCallback: {
            const AURenderCallback procs[] = {nullptr, renderInput, failingInput};
            putAt(d, offsetof(AURenderCallbackStruct, inputProc), procs[in.byte() % 3]);
            putAt(d, offsetof(AURenderCallbackStruct, inputProcRefCon), static_cast<void*>(&host));
            break;
        }
        case kAudioUnitProperty_HostCallbacks:
            putAt(d, offsetof(HostCallbackInfo, hostUserData), static_cast<void*>(&host));
            putAt(d, offsetof(HostCallbackInfo, beatAndTempoProc), choose(&beatAndTempo));
            putAt(d, offsetof(HostCallbackInfo, musicalTimeLocationProc), choose(&musicalTime));
            putAt(d, offsetof(HostCallbackInfo, transportStateProc), choose(&transportState));
            putAt(d, offsetof(HostCallbackInfo, transportStateProc2), choose(&transportState2));
            break;
        case kAudioUnitProperty_CurrentPreset:
        case kAudioUnitProperty_PresentPreset: putAt(d, offsetof(AUPreset, presetName), objects.cf(in)); break;
        case kAudioUnitProperty_AUHostIdentifier:
            putAt(d, offsetof(AUHostVersionIdentifier, hostName), objects.cf(in));
            break;
        case kAudioUnitProperty_MIDIOutputCallback:
            putAt(d, offsetof(AUMIDIOutputCallbackStruct, midiOutputCallback), choose(&midiOut));
            putAt(d, offsetof(AUMIDIOutputCallbackStruct, userData), static_cast<void*>(&host));
            break;
        case kAudioUnitProperty_SetExternalBuffer:
        case kAudioUnitProperty_InputSamplesInOutput:
        case kAudioUnitProperty_FastDispatch: putAt(d, 0, static_cast<void*>(nullptr)); break;
        default: break;
    }
}

void patchGetPointers(AudioUnitPropertyID id, std::vector<std::uint8_t>& d, kfuzz::Input& in, Objects& objects,
                      const float* value) {
    switch (id) {
        case kAudioUnitProperty_ParameterStringFromValue:
            putAt(d, offsetof(AudioUnitParameterStringFromValue, inValue), in.byte() % 2 ? value : nullptr);
            putAt(d, offsetof(AudioUnitParameterStringFromValue, outString), CFStringRef(nullptr));
            break;
        case kAudioUnitProperty_ParameterValueFromString:
            putAt(d, offsetof(AudioUnitParameterValueFromString, inString), objects.cf(in));
            break;
        case kAudioUnitProperty_ParameterIDName:
        case kAudioUnitProperty_ParameterClumpName:
            putAt(d, offsetof(AudioUnitParameterIDName, outName), CFStringRef(nullptr));
            break;
        case kAudioUnitProperty_CurrentPreset:
        case kAudioUnitProperty_PresentPreset: putAt(d, offsetof(AUPreset, presetName), CFStringRef(nullptr)); break;
        case kAudioUnitProperty_CocoaUI:
            putAt(d, 0, CFTypeRef(nullptr));
            putAt(d, sizeof(CFTypeRef), CFTypeRef(nullptr));
            break;
        case kAudioUnitProperty_ParameterInfo:
            putAt(d, offsetof(AudioUnitParameterInfo, cfNameString), CFStringRef(nullptr));
            putAt(d, offsetof(AudioUnitParameterInfo, flags), UInt32(0));
            break;
        case kAudioUnitProperty_ClassInfo:
        case kAudioUnitProperty_ParameterValueStrings:
        case kAudioUnitProperty_FactoryPresets:
        case kAudioUnitProperty_ElementName:
        case kAudioUnitProperty_MIDIOutputCallbackInfo: putAt(d, 0, CFTypeRef(nullptr)); break;
        default: break;
    }
}

void releaseAt(const std::vector<std::uint8_t>& d, std::size_t offset, UInt32 size) {
    if (CFTypeRef o = getAt<CFTypeRef>(d, offset, size)) CFRelease(o);
}

// The caller owns the CF objects a get returns.
void releaseGetOutputs(AudioUnitPropertyID id, const std::vector<std::uint8_t>& d, UInt32 size) {
    switch (id) {
        case kAudioUnitProperty_ParameterStringFromValue:
            releaseAt(d, offsetof(AudioUnitParameterStringFromValue, outString), size);
            break;
        case kAudioUnitProperty_ParameterIDName:
        case kAudioUnitProperty_ParameterClumpName: releaseAt(d, offsetof(AudioUnitParameterIDName, outName), size); break;
        case kAudioUnitProperty_CurrentPreset:
        case kAudioUnitProperty_PresentPreset: releaseAt(d, offsetof(AUPreset, presetName), size); break;
        case kAudioUnitProperty_CocoaUI:
            releaseAt(d, 0, size);
            releaseAt(d, sizeof(CFTypeRef), size);
            break;
        case kAudioUnitProperty_ParameterInfo:
            if (getAt<UInt32>(d, offsetof(AudioUnitParameterInfo, flags), size) & kAudioUnitParameterFlag_CFNameRelease)
                releaseAt(d, offsetof(AudioUnitParameterInfo, cfNameString), size);
            break;
        case kAudioUnitProperty_ClassInfo:
        case kAudioUnitProperty_ParameterValueStrings:
        case kAudioUnitProperty_FactoryPresets:
        case kAudioUnitProperty_ElementName:
        case kAudioUnitProperty_MIDIOutputCallbackInfo: releaseAt(d, 0, size); break;
        default: break;
    }
}

AudioUnitPropertyID propertyId(kfuzz::Input& in) {
    const std::uint8_t p = in.byte();
    if (p < 224) return p % 51;
    if (p < 240) return p % 2 ? kPrivateProperty : kInstrumentCount;
    return in.u32();
}

AudioUnitScope scope(kfuzz::Input& in) {
    const std::uint8_t s = in.byte();
    return s < 248 ? s % 8 : in.u32();
}

AudioUnitElement element(kfuzz::Input& in) {
    const std::uint8_t e = in.byte();
    return e < 240 ? e % 4 : in.u32();
}

// A size near the property's real one or anywhere up to 64 KiB.
UInt32 dataSize(kfuzz::Input& in) {
    const std::uint8_t z = in.byte();
    return z < 224 ? z : in.u16();
}

struct Renderer {
    std::vector<float> left = std::vector<float>(kMaxRenderFrames), right = std::vector<float>(kMaxRenderFrames);
    Float64 sampleTime = 0;

    OSStatus render(AudioUnit unit, kfuzz::Input& in) {
        const std::uint8_t shape = in.byte();
        UInt32 frames = shape & 0x80 ? 1 + in.u16() % kMaxRenderFrames : 64u << (shape % 4);
        struct {
            UInt32 count;
            AudioBuffer buffers[2];
        } list{};
        list.count = 1 + (shape >> 2) % 2;
        const bool hostBuffers = (shape & 0x40) == 0;
        float* channels[2] = {left.data(), right.data()};
        for (UInt32 c = 0; c < list.count; ++c)
            list.buffers[c] = {1, frames * UInt32(sizeof(float)), hostBuffers ? channels[c] : nullptr};
        AudioTimeStamp ts{};
        ts.mSampleTime = sampleTime;
        ts.mFlags = kAudioTimeStampSampleTimeValid;
        AudioUnitRenderActionFlags flags = 0;
        const OSStatus s = AudioUnitRender(unit, &flags, &ts, in.byte() % 2, frames,
                                           reinterpret_cast<AudioBufferList*>(&list));
        sampleTime += frames;
        return s;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kfuzz::Input in(data, size);
    HostState host;
    Objects objects;
    Renderer renderer;
    auto hosted = kfuzz::newKestrinUnit();
    const AudioUnit unit = hosted->unit();
    float someValue = 0;
    for (int step = 0; step < 64 && !in.empty(); ++step) {
        switch (in.byte() % 10) {
            case 0: {
                const AudioUnitPropertyID id = propertyId(in);
                const AudioUnitScope s = scope(in);
                const AudioUnitElement e = element(in);
                UInt32 outSize = 0;
                Boolean writable = false;
                const bool nulls = in.byte() % 4 == 0;
                (void)AudioUnitGetPropertyInfo(unit, id, s, e, nulls ? nullptr : &outSize, nulls ? nullptr : &writable);
                break;
            }
            case 1:
            case 2: {
                const AudioUnitPropertyID id = propertyId(in);
                const AudioUnitScope s = scope(in);
                const AudioUnitElement e = element(in);
                UInt32 n = dataSize(in);
                std::vector<std::uint8_t> d(n);
                const auto bytes = in.bytes(n);
                std::copy(bytes.begin(), bytes.end(), d.begin());
                someValue = in.f32();
                patchGetPointers(id, d, in, objects, &someValue);
                // An exact-size heap buffer, so that a write past the size is caught.
                if (AudioUnitGetProperty(unit, id, s, e, n == 0 ? nullptr : d.data(), &n) == noErr)
                    releaseGetOutputs(id, d, std::min<UInt32>(n, UInt32(d.size())));
                break;
            }
            case 3:
            case 4:
            case 5: {
                const AudioUnitPropertyID id = propertyId(in);
                const AudioUnitScope s = scope(in);
                const AudioUnitElement e = element(in);
                UInt32 n = dataSize(in);
                std::vector<std::uint8_t> d(n);
                const auto bytes = in.bytes(n);
                std::copy(bytes.begin(), bytes.end(), d.begin());
                patchSetPointers(unit, id, d, in, objects, host);
                (void)AudioUnitSetProperty(unit, id, s, e, n == 0 ? nullptr : d.data(), n);
                break;
            }
            case 6: (void)(in.byte() % 2 ? AudioUnitInitialize(unit) : AudioUnitUninitialize(unit)); break;
            case 7: (void)renderer.render(unit, in); break;
            case 8: {
                const AudioUnitParameterID id = in.byte() < 240 ? in.byte() % 20 : in.u32();
                const AudioUnitScope s = scope(in);
                const AudioUnitElement e = element(in);
                const AudioUnitParameterValue v = in.f32();
                (void)AudioUnitSetParameter(unit, id, s, e, v, in.byte());
                break;
            }
            default:
                if (in.byte() % 2) {
                    (void)AudioUnitReset(unit, scope(in), element(in));
                } else {
                    host.beat = in.f64();
                    host.tempo = in.f64();
                    host.sample = in.f64();
                    host.playing = in.byte() % 2;
                }
                break;
        }
    }
    (void)AudioUnitInitialize(unit);
    kfuzz::Input tail(nullptr, 0);
    (void)renderer.render(unit, tail);
    return 0;
}
