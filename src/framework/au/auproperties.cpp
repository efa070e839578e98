// Reading properties: which scopes and elements each property answers, its size and
// writability, and its value.

#include <algorithm>
#include <cstring>
#include <string>

#include "framework/au/aucf.h"
#include "framework/au/auclient.h"
#include "framework/au/audispatch.h"
#include "framework/au/aupresets.h"
#include "framework/au/auviewfactory.h"

namespace fw {

namespace {

constexpr UInt32 kParameterFlags = kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable |
                                   kAudioUnitParameterFlag_HasCFNameString |
                                   kAudioUnitParameterFlag_CFNameRelease |
                                   kAudioUnitParameterFlag_IsHighResolution;
static_assert(kParameterFlags == 0xC8800010u);

constexpr UInt32 kFormatFlags =
    kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;  // 0x29

// Integer and enumerated parameters list their values' texts for the host.
bool hasValueStrings(const ParameterInfo& p) noexcept {
    return p.kind == ParameterKind::integer || p.kind == ParameterKind::enumeration;
}

bool isInputOrGlobal(AudioUnitScope scope) noexcept {
    return scope == kAudioUnitScope_Input || scope == kAudioUnitScope_Global;
}

template <class T>
void store(void* out, const T& value) noexcept {
    std::memcpy(out, &value, sizeof(T));
}

template <class T>
T load(const void* in) noexcept {
    T value;
    std::memcpy(&value, in, sizeof(T));
    return value;
}

}  // namespace

au::AUBus* AUClient::busFor(AudioUnitScope scope, AudioUnitElement element) noexcept {
    std::vector<au::AUBus>* buses = scope == kAudioUnitScope_Input    ? &inputBuses_
                                    : scope == kAudioUnitScope_Output ? &outputBuses_
                                                                      : nullptr;
    if (buses == nullptr || element >= buses->size()) return nullptr;
    return &(*buses)[element];
}

OSStatus AUClient::propertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                PropertySize& out) noexcept {
    const PluginInfo& info = facade_->pluginInfo();
    const bool global = scope == kAudioUnitScope_Global;
    const UInt32 numParams = static_cast<UInt32>(facade_->numParameters());
    out = PropertySize{};
    switch (id) {
        case kAudioUnitProperty_ClassInfo: out = {sizeof(CFPropertyListRef), true}; return noErr;
        case kAudioUnitProperty_MakeConnection:
            if (!isInputOrGlobal(scope)) return kAudioUnitErr_InvalidScope;
            if (element >= inputBuses_.size()) return kAudioUnitErr_InvalidElement;
            out = {sizeof(AudioUnitConnection), true};
            return noErr;
        case kAudioUnitProperty_SampleRate: out = {sizeof(Float64), true}; return noErr;
        case kAudioUnitProperty_ParameterList:
            out = {global ? numParams * UInt32(sizeof(AudioUnitParameterID)) : 0, false};
            return noErr;
        case kAudioUnitProperty_ParameterInfo:
            if (!global) return kAudioUnitErr_InvalidScope;
            if (element >= numParams) return kAudioUnitErr_InvalidElement;
            out = {sizeof(AudioUnitParameterInfo), false};
            return noErr;
        case kAudioUnitProperty_FastDispatch:
            if (componentInstance_ == nullptr) return kAudioUnitErr_InvalidElement;
            if (element != kAudioUnitRenderSelect && element != kAudioUnitSetParameterSelect &&
                element != kAudioUnitGetParameterSelect)
                return kAudioUnitErr_InvalidElement;
            out = {sizeof(void*), false};
            return noErr;
        case kAudioUnitProperty_StreamFormat:
            if (scope == kAudioUnitScope_Global) {
                if (element != 0 || outputBuses_.empty()) return kAudioUnitErr_InvalidElement;
            } else if (scope == kAudioUnitScope_Input || scope == kAudioUnitScope_Output) {
                if (busFor(scope, element) == nullptr) return kAudioUnitErr_InvalidElement;
            } else {
                return kAudioUnitErr_InvalidScope;
            }
            out = {sizeof(AudioStreamBasicDescription), true};
            return noErr;
        case kAudioUnitProperty_ElementCount: out = {sizeof(UInt32), false}; return noErr;
        case kAudioUnitProperty_Latency:
        case kAudioUnitProperty_TailTime:
            if (!global) return kAudioUnitErr_InvalidScope;
            out = {sizeof(Float64), false};
            return noErr;
        case kAudioUnitProperty_SupportedNumChannels:
            if (!global) return kAudioUnitErr_InvalidScope;
            out = {UInt32(facade_->legalIOs().size() * sizeof(AUChannelInfo)), false};
            return noErr;
        case kAudioUnitProperty_MaximumFramesPerSlice:
        case kAudioUnitProperty_BypassEffect:
            if (!global) return kAudioUnitErr_InvalidScope;
            out = {sizeof(UInt32), true};
            return noErr;
        case kAudioUnitProperty_ParameterValueStrings: {
            if (!global) return kAudioUnitErr_InvalidScope;
            const ParameterInfo* p = element < numParams ? facade_->parameterInfo(int(element)) : nullptr;
            if (p == nullptr || !hasValueStrings(*p)) return kAudioUnitErr_InvalidProperty;
            out = {sizeof(CFArrayRef), false};
            return noErr;
        }
        case kAudioUnitProperty_LastRenderError:
            if (!global) return kAudioUnitErr_InvalidScope;
            out = {sizeof(OSStatus), false};
            return noErr;
        case kAudioUnitProperty_SetRenderCallback:
            if (!isInputOrGlobal(scope)) return kAudioUnitErr_InvalidScope;
            if (element >= inputBuses_.size()) return kAudioUnitErr_InvalidElement;
            out = {sizeof(AURenderCallbackStruct), true};
            return noErr;
        case kAudioUnitProperty_FactoryPresets: out = {sizeof(CFArrayRef), false}; return noErr;
        case kAudioUnitProperty_HostCallbacks:
            if (!global) return kAudioUnitErr_InvalidScope;
            out = {sizeof(HostCallbackInfo), true};
            return noErr;
        case kAudioUnitProperty_CurrentPreset:
        case kAudioUnitProperty_PresentPreset: out = {sizeof(AUPreset), true}; return noErr;
        case kAudioUnitProperty_ElementName:
            if (scope != kAudioUnitScope_Input && scope != kAudioUnitScope_Output) return kAudioUnitErr_InvalidScope;
            if (busFor(scope, element) == nullptr) return kAudioUnitErr_InvalidElement;
            out = {sizeof(CFStringRef), false};
            return noErr;
        case kAudioUnitProperty_CocoaUI:
            if (!info.hasGUI) return kAudioUnitErr_InvalidProperty;
            out = {sizeof(AudioUnitCocoaViewInfo), false};
            return noErr;
        case kAudioUnitProperty_SupportedChannelLayoutTags:
            if (!global) return kAudioUnitErr_InvalidScope;
            if (element >= outputBuses_.size()) return kAudioUnitErr_InvalidElement;
            out = {sizeof(AudioChannelLayoutTag), true};
            return noErr;
        case kAudioUnitProperty_ParameterStringFromValue:
            if (!global) return kAudioUnitErr_InvalidScope;
            out = {sizeof(AudioUnitParameterStringFromValue), false};
            return noErr;
        case kAudioUnitProperty_ParameterIDName:
        case kAudioUnitProperty_ParameterClumpName:
            if (!global) return kAudioUnitErr_InvalidScope;
            out = {sizeof(AudioUnitParameterIDName), false};
            return noErr;
        case kAudioUnitProperty_ParameterValueFromString:
            if (!global) return kAudioUnitErr_InvalidScope;
            out = {sizeof(AudioUnitParameterValueFromString), false};
            return noErr;
        case kAudioUnitProperty_MIDIOutputCallbackInfo:
            if (!info.sendsMIDI) return kAudioUnitErr_InvalidProperty;
            if (!global) return kAudioUnitErr_InvalidScope;
            out = {sizeof(CFArrayRef), false};
            return noErr;
        case kAudioUnitProperty_MIDIOutputCallback:
            if (!info.sendsMIDI) return kAudioUnitErr_InvalidProperty;
            if (!global) return kAudioUnitErr_InvalidScope;
            out = {sizeof(AUMIDIOutputCallbackStruct), true};
            return noErr;
        case kMusicDeviceProperty_InstrumentCount:
            if (!info.isSynth) return kAudioUnitErr_InvalidProperty;
            if (!global) return kAudioUnitErr_InvalidScope;
            out = {sizeof(UInt32), false};
            return noErr;
        case kAUClientPrivateProperty: out = {sizeof(AUClient*), false}; return noErr;
        default: return kAudioUnitErr_InvalidProperty;
    }
}

OSStatus AUClient::readProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                void* outData, UInt32& size) {
    const bool global = scope == kAudioUnitScope_Global;
    switch (id) {
        case kAudioUnitProperty_ClassInfo: {
            CFPropertyListRef state = createClassInfo();
            if (state == nullptr) return kAudioUnitErr_InvalidPropertyValue;
            store(outData, state);
            return noErr;
        }
        case kAudioUnitProperty_MakeConnection:
        case kAudioUnitProperty_SetRenderCallback:
        case kAudioUnitProperty_HostCallbacks:
            size = 0;  // write-only: nothing to read back
            return noErr;
        case kAudioUnitProperty_SampleRate: store(outData, Float64(facade_->settings().sampleRate)); return noErr;
        case kAudioUnitProperty_ParameterList: {
            auto* ids = static_cast<AudioUnitParameterID*>(outData);
            for (UInt32 i = 0; i < size / sizeof(AudioUnitParameterID); ++i) ids[i] = i;
            return noErr;
        }
        case kAudioUnitProperty_ParameterInfo: {
            const ParameterInfo& p = *facade_->parameterInfo(int(element));
            AudioUnitParameterInfo pi{};
            const std::string& name = p.name;
            const std::size_t n = std::min<std::size_t>(name.size(), sizeof pi.name - 1);  // 51 bytes and a zero
            std::memcpy(pi.name, name.data(), n);
            pi.cfNameString = au::createCFString(name.c_str());
            pi.unit = kAudioUnitParameterUnit_Generic;
            pi.minValue = 0;  // the host always sees normalized values
            pi.maxValue = 1;
            pi.defaultValue = static_cast<AudioUnitParameterValue>(p.normalizedDefault);
            pi.flags = kParameterFlags | (p.automatable ? 0u : UInt32(kAudioUnitParameterFlag_NonRealTime));
            store(outData, pi);
            return noErr;
        }
        case kAudioUnitProperty_FastDispatch: {
            void* proc = element == kAudioUnitRenderSelect         ? reinterpret_cast<void*>(au::fastRenderProc())
                         : element == kAudioUnitSetParameterSelect ? reinterpret_cast<void*>(au::fastSetParameterProc())
                                                                   : reinterpret_cast<void*>(au::fastGetParameterProc());
            store(outData, proc);
            return noErr;
        }
        case kAudioUnitProperty_StreamFormat: {
            const au::AUBus& bus = global ? outputBuses_[0] : *busFor(scope, element);
            AudioStreamBasicDescription f{};
            f.mSampleRate = facade_->settings().sampleRate;
            f.mFormatID = kAudioFormatLinearPCM;
            f.mFormatFlags = kFormatFlags;
            f.mBytesPerPacket = 4;
            f.mFramesPerPacket = 1;
            f.mBytesPerFrame = 4;
            f.mChannelsPerFrame = static_cast<UInt32>(bus.formatChannels());
            f.mBitsPerChannel = 32;
            store(outData, f);
            return noErr;
        }
        case kAudioUnitProperty_ElementCount: {
            const UInt32 count = global                            ? 1
                                 : scope == kAudioUnitScope_Input  ? UInt32(inputBuses_.size())
                                 : scope == kAudioUnitScope_Output ? UInt32(outputBuses_.size())
                                                                   : 0;
            store(outData, count);
            return noErr;
        }
        case kAudioUnitProperty_Latency: {
            store(outData, Float64(facade_->latencySeconds(facade_->settings().sampleRate)));
            return noErr;
        }
        case kAudioUnitProperty_TailTime: store(outData, Float64(facade_->tailSeconds())); return noErr;
        case kAudioUnitProperty_SupportedNumChannels: {
            auto* infos = static_cast<AUChannelInfo*>(outData);
            std::size_t i = 0;
            for (const LegalIO& io : facade_->legalIOs())
                infos[i++] = {SInt16(io.numInputChannels), SInt16(io.numOutputChannels)};
            return noErr;
        }
        case kAudioUnitProperty_MaximumFramesPerSlice: store(outData, UInt32(facade_->settings().maxFrames)); return noErr;
        case kAudioUnitProperty_BypassEffect: store(outData, UInt32(facade_->settings().bypass ? 1 : 0)); return noErr;
        case kAudioUnitProperty_LastRenderError: store(outData, OSStatus(noErr)); return noErr;
        case kAudioUnitProperty_ParameterValueStrings: {
            const ParameterInfo& p = *facade_->parameterInfo(int(element));
            CFMutableArrayRef array = cf_.CFArrayCreateMutable(nullptr, 0, cf_.kCFTypeArrayCallBacks);
            if (array == nullptr) return kAudioUnitErr_InvalidProperty;
            for (const std::string& text : p.valueStrings) {
                CFStringRef string = au::createCFString(text.c_str());
                cf_.CFArrayAppendValue(array, string);
                cf_.CFRelease(string);
            }
            store(outData, static_cast<CFArrayRef>(array));
            return noErr;
        }
        case kAudioUnitProperty_FactoryPresets: {
            std::vector<std::string> names;
            const int count = facade_->numPresets();
            names.reserve(std::size_t(count));
            for (int i = 0; i < count; ++i) names.push_back(facade_->presetName(i));
            CFArrayRef presets = au::createFactoryPresetArray(names);
            if (presets == nullptr) return -4960;  // coreFoundationUnknownErr
            store(outData, presets);
            return noErr;
        }
        case kAudioUnitProperty_CurrentPreset:
        case kAudioUnitProperty_PresentPreset: {
            AUPreset preset{};
            const OSStatus status = copyPresentPreset(preset);
            if (status == noErr) store(outData, preset);
            return status;
        }
        case kAudioUnitProperty_ElementName:
            store(outData, au::createCFString(busFor(scope, element)->label));
            return noErr;
        case kAudioUnitProperty_CocoaUI: {
            const char* className = au::viewFactoryClassName();
            if (className == nullptr) return kAudioUnitErr_InvalidProperty;
            AudioUnitCocoaViewInfo view{};
            view.mCocoaAUViewBundleLocation = cf_.CFBundleCopyBundleURL(cf_.CFBundleGetMainBundle());
            view.mCocoaAUViewClass[0] = au::createCFString(className);
            store(outData, view);
            return noErr;
        }
        case kAudioUnitProperty_SupportedChannelLayoutTags:
            store(outData, outputBuses_[element].layoutTag);
            return noErr;
        case kAudioUnitProperty_ParameterStringFromValue: {
            auto request = load<AudioUnitParameterStringFromValue>(outData);
            const int id = request.inParamID < UInt32(facade_->numParameters()) ? int(request.inParamID) : -1;
            double value = 0;
            // No value means the current one.
            if (!facade_->getParameter(id, value)) return kAudioUnitErr_InvalidParameter;
            if (request.inValue != nullptr) value = double(*request.inValue);
            char text[128];
            if (!facade_->parameterText(id, value, text, sizeof text)) return kAudioUnitErr_InvalidParameter;
            request.outString = au::createCFString(text);
            store(outData, request);
            return noErr;
        }
        case kAudioUnitProperty_ParameterIDName: {
            auto request = load<AudioUnitParameterIDName>(outData);
            const ParameterInfo* p =
                facade_->parameterInfo(request.inID < UInt32(facade_->numParameters()) ? int(request.inID) : -1);
            if (p == nullptr) return kAudioUnitErr_InvalidParameter;
            std::string name = p->name;
            if (request.inDesiredLength >= 0 && std::size_t(request.inDesiredLength) < name.size())
                name.resize(std::size_t(request.inDesiredLength));
            request.outName = au::createCFString(name.c_str());
            store(outData, request);
            return noErr;
        }
        case kAudioUnitProperty_ParameterClumpName: {
            auto request = load<AudioUnitParameterIDName>(outData);
            if (request.inID < 1) return kAudioUnitErr_PropertyNotInUse;
            request.outName = au::createCFString("All params");
            store(outData, request);
            return noErr;
        }
        case kAudioUnitProperty_ParameterValueFromString: {
            auto request = load<AudioUnitParameterValueFromString>(outData);
            const int id = request.inParamID < UInt32(facade_->numParameters()) ? int(request.inParamID) : -1;
            if (facade_->parameterInfo(id) == nullptr) return kAudioUnitErr_InvalidParameter;
            std::string text;
            double normalized = 0;
            if (!au::utf8FromCFString(request.inString, text) || !facade_->parameterFromText(id, text, normalized))
                return kAudioUnitErr_InvalidProperty;
            request.outValue = static_cast<AudioUnitParameterValue>(normalized);
            store(outData, request);
            return noErr;
        }
        case kAudioUnitProperty_MIDIOutputCallbackInfo: {
            CFMutableArrayRef array = cf_.CFArrayCreateMutable(nullptr, 1, cf_.kCFTypeArrayCallBacks);
            if (array == nullptr) return kAudioUnitErr_InvalidProperty;
            CFStringRef name = au::createCFString("MIDI Out");
            cf_.CFArrayAppendValue(array, name);
            cf_.CFRelease(name);
            store(outData, static_cast<CFArrayRef>(array));
            return noErr;
        }
        case kAudioUnitProperty_MIDIOutputCallback: size = 0; return noErr;
        case kMusicDeviceProperty_InstrumentCount: store(outData, UInt32(0)); return noErr;
        case kAUClientPrivateProperty: store(outData, this); return noErr;
        default: return kAudioUnitErr_InvalidProperty;
    }
}

}  // namespace fw
