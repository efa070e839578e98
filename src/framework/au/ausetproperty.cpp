// Writing properties: settings, stream formats, connections, callbacks, state and
// presets, host identification.

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include "framework/au/aucf.h"
#include "framework/au/auclient.h"

namespace fw {

namespace {

// The largest maximum-frames setting accepted; the scratch buffers are sized to it.
constexpr UInt32 kLargestMaximumFrames = 1u << 20;

template <class T>
T load(const void* in) noexcept {
    T value;
    std::memcpy(&value, in, sizeof(T));
    return value;
}

bool isValidSampleRate(double rate) noexcept { return ClientFacade::acceptsSampleRate(rate); }

// The host-callback record grew over time by whole pointer fields (hosts still pass
// the older, shorter record). A size that ends inside a field keeps only the fields
// before it: a pointer is never put together from host bytes and zeros.
HostCallbackInfo hostCallbacksFrom(const void* in, UInt32 size) noexcept {
    constexpr std::size_t kField = sizeof(void*);
    static_assert(sizeof(HostCallbackInfo) % kField == 0);
    HostCallbackInfo callbacks{};
    const std::size_t whole = std::min<std::size_t>(size, sizeof callbacks) / kField * kField;
    std::memcpy(&callbacks, in, whole);
    return callbacks;
}

}  // namespace

OSStatus AUClient::writeProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                                 const void* inData, UInt32 inDataSize) {
    if (inData == nullptr && id != kAudioUnitProperty_OfflineRender) return kAudio_ParamError;
    auto needs = [&](std::size_t size) { return inDataSize >= size; };
    switch (id) {
        case kAudioUnitProperty_ClassInfo:
            if (!needs(sizeof(CFPropertyListRef))) return kAudioUnitErr_InvalidPropertyValue;
            return restoreClassInfo(load<CFPropertyListRef>(inData));
        case kAudioUnitProperty_SampleRate: {
            if (!needs(sizeof(Float64))) return kAudioUnitErr_InvalidPropertyValue;
            const Float64 rate = load<Float64>(inData);
            if (!isValidSampleRate(rate)) return kAudioUnitErr_InvalidPropertyValue;
            facade_->setSampleRate(static_cast<float>(rate));  // the unit keeps its rate in single precision
            return noErr;
        }
        case kAudioUnitProperty_StreamFormat: {
            au::AUBus* bus = nullptr;
            bool input = false;
            if (scope == kAudioUnitScope_Global) {
                if (element != 0 || outputBuses_.empty()) return kAudioUnitErr_InvalidElement;
                bus = &outputBuses_[0];
            } else if (scope == kAudioUnitScope_Input || scope == kAudioUnitScope_Output) {
                bus = busFor(scope, element);
                if (bus == nullptr) return kAudioUnitErr_InvalidElement;
                input = scope == kAudioUnitScope_Input;
            } else {
                return kAudioUnitErr_InvalidScope;
            }
            if (!needs(sizeof(AudioStreamBasicDescription))) return kAudioUnitErr_InvalidPropertyValue;
            return setStreamFormat(*bus, input, load<AudioStreamBasicDescription>(inData));
        }
        case kAudioUnitProperty_MaximumFramesPerSlice: {
            if (!needs(sizeof(UInt32))) return kAudioUnitErr_InvalidPropertyValue;
            const UInt32 frames = load<UInt32>(inData);
            if (frames == 0 || frames > kLargestMaximumFrames) return kAudioUnitErr_InvalidPropertyValue;
            facade_->setMaxFrames(static_cast<int>(frames));
            return noErr;
        }
        case kAudioUnitProperty_BypassEffect:
            if (!needs(sizeof(UInt32))) return kAudioUnitErr_InvalidPropertyValue;
            facade_->setBypass(load<UInt32>(inData) != 0);
            return noErr;
        case kAudioUnitProperty_SetRenderCallback: {
            if (scope != kAudioUnitScope_Input) return kAudioUnitErr_InvalidScope;
            if (element >= inputBuses_.size()) return kAudioUnitErr_InvalidElement;
            if (!needs(sizeof(AURenderCallbackStruct))) return kAudioUnitErr_InvalidPropertyValue;
            const auto callback = load<AURenderCallbackStruct>(inData);
            au::AUBus next = inputBuses_[element];
            next.clearConnection();
            if (callback.inputProc != nullptr) {
                next.callback = callback.inputProc;
                next.callbackRef = callback.inputProcRefCon;
            }
            commitConnection(inputBuses_[element], next);
            facade_->resendSettings();
            return noErr;
        }
        case kAudioUnitProperty_HostCallbacks: {
            if (scope != kAudioUnitScope_Global) return noErr;
            if (!needs(sizeof(void*))) return kAudioUnitErr_InvalidPropertyValue;
            const HostCallbackInfo callbacks = hostCallbacksFrom(inData, inDataSize);
            std::lock_guard<UncheckedMutex> lock(mutex_);
            hostCallbacks_ = callbacks;
            return noErr;
        }
        case kAudioUnitProperty_CurrentPreset:
        case kAudioUnitProperty_PresentPreset:
            if (!needs(sizeof(AUPreset))) return kAudioUnitErr_InvalidPropertyValue;
            return selectPreset(load<AUPreset>(inData));
        case kAudioUnitProperty_OfflineRender: return noErr;
        case kAudioUnitProperty_AUHostIdentifier: {
            if (!needs(sizeof(AUHostVersionIdentifier))) return kAudioUnitErr_InvalidPropertyValue;
            std::string name;
            if (!au::utf8FromCFString(load<AUHostVersionIdentifier>(inData).hostName, name))
                return kAudioUnitErr_InvalidPropertyValue;
            daw_.store(static_cast<int>(identifyDAW(name.c_str())), std::memory_order_relaxed);
            return noErr;
        }
        case kAudioUnitProperty_MIDIOutputCallback: {
            if (!needs(sizeof(AUMIDIOutputCallbackStruct))) return kAudioUnitErr_InvalidPropertyValue;
            const auto callback = load<AUMIDIOutputCallbackStruct>(inData);
            std::lock_guard<UncheckedMutex> lock(mutex_);
            midiOutput_ = callback;
            return noErr;
        }
        default: return kAudioUnitErr_InvalidProperty;
    }
}

void AUClient::setHostChannels(au::AUBus& bus, int channels) noexcept {
    std::lock_guard<UncheckedMutex> lock(mutex_);
    bus.hostChannels = channels;
}

void AUClient::commitConnection(au::AUBus& bus, const au::AUBus& next) noexcept {
    // One short section, so render sees the old connection or the new one, never a mix.
    std::lock_guard<UncheckedMutex> lock(mutex_);
    bus.sourceUnit = next.sourceUnit;
    bus.sourceOutput = next.sourceOutput;
    bus.sourceFastRender = next.sourceFastRender;
    bus.sourceStorage = next.sourceStorage;
    bus.callback = next.callback;
    bus.callbackRef = next.callbackRef;
    bus.updateConnected();
}

OSStatus AUClient::setStreamFormat(au::AUBus& bus, bool input, const AudioStreamBasicDescription& format) noexcept {
    setHostChannels(bus, 0);
    const int channels = static_cast<int>(std::min<UInt32>(format.mChannelsPerFrame, 0x7FFF));
    bool accepted = format.mFormatID == kAudioFormatLinearPCM && channels > 0 && channels <= bus.pluginChannels &&
                    (format.mFormatFlags & (kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked)) != 0 &&
                    (format.mSampleRate == 0 || isValidSampleRate(format.mSampleRate));
    if (accepted) {
        // The other buses of this direction keep their counts; once initialized the
        // other direction's total must fit the same layout.
        const std::vector<au::AUBus>& same = input ? inputBuses_ : outputBuses_;
        const int total = std::max(au::knownChannelTotal(same), 0) + channels;
        const int other = initialized_ ? au::knownChannelTotal(input ? outputBuses_ : inputBuses_) : -1;
        accepted = input ? facade_->fitsLegalLayout(total, other) : facade_->fitsLegalLayout(other, total);
    }
    if (!accepted) return kAudioUnitErr_InvalidProperty;
    setHostChannels(bus, channels);
    if (format.mSampleRate > 0)
        facade_->setSampleRate(static_cast<float>(format.mSampleRate));
    else
        facade_->resendSettings();
    return noErr;
}

OSStatus AUClient::setConnection(AudioUnitScope scope, const void* inData, UInt32 inDataSize) noexcept {
    const bool readable = inData != nullptr && inDataSize >= sizeof(AudioUnitConnection);
    const auto connection = readable ? load<AudioUnitConnection>(inData) : AudioUnitConnection{};
    const bool self = connection.sourceAudioUnit != nullptr && connection.sourceAudioUnit == unitHandle();
    // The source is asked before this unit's lock is taken: two units connected to each
    // other from two threads would otherwise each hold its own lock and wait for the other's.
    SourceAnswer source;
    if (connection.sourceAudioUnit != nullptr && !self) source = askSource(connection);

    std::lock_guard<UncheckedMutex> lock(hostMutex_);
    notifyPropertyListeners(kAudioUnitProperty_MakeConnection, scope);
    if (inData == nullptr) return kAudio_ParamError;
    if (!(scope == kAudioUnitScope_Input || scope == kAudioUnitScope_Global)) return kAudioUnitErr_InvalidScope;
    if (!readable) return kAudioUnitErr_InvalidPropertyValue;
    if (connection.destInputNumber >= inputBuses_.size()) return kAudioUnitErr_InvalidElement;
    // A unit fed by itself has no input to give; the bus keeps what it had.
    if (self) return kAudioUnitErr_InvalidPropertyValue;
    return makeConnection(connection, source);
}

AUClient::SourceAnswer AUClient::askSource(const AudioUnitConnection& connection) const noexcept {
    SourceAnswer answer;
    UInt32 size = sizeof answer.format;
    const OSStatus status =
        at_.AudioUnitGetProperty(connection.sourceAudioUnit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output,
                                 connection.sourceOutputNumber, &answer.format, &size);
    if (status != noErr || size < sizeof answer.format) return answer;
    answer.hasFormat = true;
    // A Component Manager source hands out its render procedure; others are rendered
    // through AudioUnitRender.
    void* proc = nullptr;
    UInt32 procSize = sizeof proc;
    if (at_.AudioUnitGetProperty(connection.sourceAudioUnit, kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global,
                                 kAudioUnitRenderSelect, &proc, &procSize) == noErr &&
        proc != nullptr && procSize == sizeof proc) {
        answer.storage = cs_.GetComponentInstanceStorage(connection.sourceAudioUnit);
        if (answer.storage != nullptr) answer.fastRender = reinterpret_cast<AudioUnitRenderProc>(proc);
    }
    return answer;
}

OSStatus AUClient::makeConnection(const AudioUnitConnection& connection, const SourceAnswer& source) noexcept {
    au::AUBus& bus = inputBuses_[connection.destInputNumber];
    au::AUBus next = bus;
    next.clearConnection();
    commitConnection(bus, next);
    OSStatus result = noErr;
    if (connection.sourceAudioUnit != nullptr) {
        const OSStatus status =
            source.hasFormat ? setStreamFormat(bus, true, source.format) : kAudioUnitErr_InvalidProperty;
        if (status != noErr) {
            result = kAudioUnitErr_InvalidProperty;
        } else {
            next.sourceUnit = connection.sourceAudioUnit;
            next.sourceOutput = connection.sourceOutputNumber;
            next.sourceFastRender = source.fastRender;
            next.sourceStorage = source.storage;
            commitConnection(bus, next);
        }
    }
    facade_->resendSettings();
    return result;
}

}  // namespace fw
