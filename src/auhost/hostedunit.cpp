#include "auhost/hostedunit.h"

#include "auhost/presetfile.h"

#include <algorithm>
#include <cstring>

namespace auhost {

OSStatus PlanarInput::fill(const AudioTimeStamp&, UInt32 frames, AudioBufferList& buffers) noexcept {
    for (UInt32 b = 0; b < buffers.mNumberBuffers; ++b) {
        auto* out = static_cast<float*>(buffers.mBuffers[b].mData);
        if (out == nullptr) return kAudio_ParamError;
        const std::vector<float>* source =
            channels_.empty() ? nullptr : &channels_[std::min<std::size_t>(b, channels_.size() - 1)];
        for (UInt32 i = 0; i < frames; ++i) {
            const std::size_t at = position_ + i;
            out[i] = source && at < source->size() ? (*source)[at] : 0.0f;
        }
        buffers.mBuffers[b].mDataByteSize = static_cast<UInt32>(frames * sizeof(float));
    }
    position_ += frames;
    return noErr;
}

HostResult HostedUnit::create(AudioComponent component, std::unique_ptr<HostedUnit>& out) {
    if (component == nullptr) return HostResult::failure(kAudio_ParamError, "no component");
    AudioUnit unit = nullptr;
    HostResult r = HostResult::check(AudioComponentInstanceNew(component, &unit), "AudioComponentInstanceNew");
    if (!r) return r;
    out.reset(new HostedUnit(unit));
    return HostResult::success();
}

HostedUnit::~HostedUnit() {
    if (initialized_) AudioUnitUninitialize(unit_);
    AudioComponentInstanceDispose(unit_);
}

HostResult HostedUnit::setStreamFormat(AudioUnitScope scope, AudioUnitElement bus, Float64 sampleRate, UInt32 channels) {
    AudioStreamBasicDescription f{};
    f.mSampleRate = sampleRate;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags = kAudioFormatFlagsAudioUnitCanonical;
    f.mBytesPerPacket = sizeof(float);
    f.mFramesPerPacket = 1;
    f.mBytesPerFrame = sizeof(float);
    f.mChannelsPerFrame = channels;
    f.mBitsPerChannel = 32;
    if (scope == kAudioUnitScope_Output && bus == 0 && sampleRate > 0) sampleRate_ = sampleRate;
    return HostResult::check(AudioUnitSetProperty(unit_, kAudioUnitProperty_StreamFormat, scope, bus, &f, sizeof f),
                             "setting the stream format");
}

HostResult HostedUnit::streamFormat(AudioUnitScope scope, AudioUnitElement bus, AudioStreamBasicDescription& out) const {
    UInt32 size = sizeof out;
    return HostResult::check(AudioUnitGetProperty(unit_, kAudioUnitProperty_StreamFormat, scope, bus, &out, &size),
                             "reading the stream format");
}

HostResult HostedUnit::setMaximumFramesPerSlice(UInt32 frames) {
    return HostResult::check(AudioUnitSetProperty(unit_, kAudioUnitProperty_MaximumFramesPerSlice,
                                                  kAudioUnitScope_Global, 0, &frames, sizeof frames),
                             "setting the maximum frames per slice");
}

OSStatus HostedUnit::renderInput(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp* time, UInt32,
                                 UInt32 frames, AudioBufferList* data) {
    auto* self = static_cast<HostedUnit*>(refCon);
    if (data == nullptr || time == nullptr) return kAudio_ParamError;
    if (self->input_ == nullptr) {
        for (UInt32 b = 0; b < data->mNumberBuffers; ++b)
            if (data->mBuffers[b].mData) std::memset(data->mBuffers[b].mData, 0, frames * sizeof(float));
        return noErr;
    }
    return self->input_->fill(*time, frames, *data);
}

OSStatus HostedUnit::beatAndTempo(void* user, Float64* beat, Float64* tempo) {
    const auto* self = static_cast<const HostedUnit*>(user);
    if (beat) *beat = self->sampleTime_ / self->sampleRate_ * self->transport_.tempo / 60.0;
    if (tempo) *tempo = self->transport_.tempo;
    return noErr;
}

OSStatus HostedUnit::transportState(void* user, Boolean* playing, Boolean* changed, Float64* sample,
                                    Boolean* cycling, Float64* cycleStart, Float64* cycleEnd) {
    return transportState2(user, playing, nullptr, changed, sample, cycling, cycleStart, cycleEnd);
}

OSStatus HostedUnit::transportState2(void* user, Boolean* playing, Boolean* recording, Boolean* changed,
                                     Float64* sample, Boolean* cycling, Float64* cycleStart, Float64* cycleEnd) {
    const auto* self = static_cast<const HostedUnit*>(user);
    if (playing) *playing = self->transport_.playing;
    if (recording) *recording = false;
    if (changed) *changed = false;
    if (sample) *sample = self->sampleTime_;
    if (cycling) *cycling = false;
    if (cycleStart) *cycleStart = 0;
    if (cycleEnd) *cycleEnd = 0;
    return noErr;
}

HostResult HostedUnit::setTransport(const Transport& transport) {
    transport_ = transport;
    HostCallbackInfo info{};
    info.hostUserData = this;
    info.beatAndTempoProc = beatAndTempo;
    info.transportStateProc = transportState;
    info.transportStateProc2 = transportState2;
    return HostResult::check(
        AudioUnitSetProperty(unit_, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, &info, sizeof info),
        "setting the host callbacks");
}

HostResult HostedUnit::setInput(InputSource* source) {
    input_ = source;
    AURenderCallbackStruct cb{renderInput, this};
    return HostResult::check(
        AudioUnitSetProperty(unit_, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &cb, sizeof cb),
        "setting the render callback");
}

HostResult HostedUnit::initialize() {
    HostResult r = HostResult::check(AudioUnitInitialize(unit_), "AudioUnitInitialize");
    initialized_ = initialized_ || r.ok();
    return r;
}

HostResult HostedUnit::uninitialize() {
    initialized_ = false;
    return HostResult::check(AudioUnitUninitialize(unit_), "AudioUnitUninitialize");
}

OSStatus HostedUnit::render(float* const* outputs, UInt32 channels, UInt32 frames) noexcept {
    if (outputs == nullptr || channels == 0 || channels > kMaxChannels) return kAudio_ParamError;
    outputList_.count = channels;
    for (UInt32 c = 0; c < channels; ++c) outputList_.buffers[c] = AudioBuffer{1, static_cast<UInt32>(frames * sizeof(float)), outputs[c]};
    AudioTimeStamp time{};
    time.mSampleTime = sampleTime_;
    time.mFlags = kAudioTimeStampSampleTimeValid;
    AudioUnitRenderActionFlags flags = 0;
    const OSStatus status =
        AudioUnitRender(unit_, &flags, &time, 0, frames, reinterpret_cast<AudioBufferList*>(&outputList_));
    // A unit that substituted its own buffers leaves the result there; copy it back.
    for (UInt32 c = 0; c < channels && status == noErr; ++c)
        if (outputList_.buffers[c].mData != outputs[c] && outputList_.buffers[c].mData != nullptr)
            std::memcpy(outputs[c], outputList_.buffers[c].mData, frames * sizeof(float));
    if (status == noErr) sampleTime_ += frames;
    return status;
}

HostResult HostedUnit::parameterIds(std::vector<AudioUnitParameterID>& out) const {
    UInt32 size = 0;
    HostResult r = HostResult::check(AudioUnitGetPropertyInfo(unit_, kAudioUnitProperty_ParameterList,
                                                              kAudioUnitScope_Global, 0, &size, nullptr),
                                     "reading the parameter list size");
    if (!r) return r;
    out.assign(size / sizeof(AudioUnitParameterID), 0);
    if (out.empty()) return HostResult::success();
    return HostResult::check(AudioUnitGetProperty(unit_, kAudioUnitProperty_ParameterList, kAudioUnitScope_Global, 0,
                                                  out.data(), &size),
                             "reading the parameter list");
}

HostResult HostedUnit::describeParameter(AudioUnitParameterID id, ParameterDescription& out) const {
    AudioUnitParameterInfo info{};
    UInt32 size = sizeof info;
    HostResult r = HostResult::check(
        AudioUnitGetProperty(unit_, kAudioUnitProperty_ParameterInfo, kAudioUnitScope_Global, id, &info, &size),
        "reading parameter info");
    if (!r) return r;
    out.id = id;
    if ((info.flags & kAudioUnitParameterFlag_HasCFNameString) && info.cfNameString) {
        out.name = toUTF8(info.cfNameString);
        if (info.flags & kAudioUnitParameterFlag_CFNameRelease) CFRelease(info.cfNameString);
    } else {
        out.name.assign(info.name, strnlen(info.name, sizeof info.name));
    }
    out.unit = info.unit;
    out.minValue = info.minValue;
    out.maxValue = info.maxValue;
    out.defaultValue = info.defaultValue;
    out.flags = info.flags;
    return HostResult::success();
}

HostResult HostedUnit::getParameter(AudioUnitParameterID id, AudioUnitParameterValue& out) const {
    return HostResult::check(AudioUnitGetParameter(unit_, id, kAudioUnitScope_Global, 0, &out), "AudioUnitGetParameter");
}

HostResult HostedUnit::setParameter(AudioUnitParameterID id, AudioUnitParameterValue value, UInt32 bufferOffset) {
    return HostResult::check(AudioUnitSetParameter(unit_, id, kAudioUnitScope_Global, 0, value, bufferOffset),
                             "AudioUnitSetParameter");
}

HostResult HostedUnit::scheduleParameters(const std::vector<AudioUnitParameterEvent>& events) {
    return HostResult::check(
        AudioUnitScheduleParameters(unit_, events.data(), static_cast<UInt32>(events.size())),
        "AudioUnitScheduleParameters");
}

HostResult HostedUnit::copyClassInfo(CFRef<CFPropertyListRef>& out) const {
    CFPropertyListRef state = nullptr;
    UInt32 size = sizeof state;
    HostResult r = HostResult::check(
        AudioUnitGetProperty(unit_, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state, &size),
        "reading the class info");
    if (!r) return r;
    if (state == nullptr) return HostResult::failure(kAudioUnitErr_InvalidPropertyValue, "the unit gave no class info");
    out = CFRef<CFPropertyListRef>(state);
    return HostResult::success();
}

HostResult HostedUnit::restoreClassInfo(CFPropertyListRef state) {
    if (state == nullptr) return HostResult::failure(kAudio_ParamError, "no class info to restore");
    HostResult r = HostResult::check(
        AudioUnitSetProperty(unit_, kAudioUnitProperty_ClassInfo, kAudioUnitScope_Global, 0, &state, sizeof state),
        "restoring the class info");
    return r ? notifyAllParameters() : r;
}

HostResult HostedUnit::notifyAllParameters() {
    const AudioUnitParameter all{unit_, kAUParameterListener_AnyParameter, kAudioUnitScope_Global, 0};
    return HostResult::check(AUParameterListenerNotify(nullptr, nullptr, &all), "notifying parameter listeners");
}

HostResult HostedUnit::savePresetFile(const std::string& path) const {
    CFRef<CFPropertyListRef> state;
    HostResult r = copyClassInfo(state);
    return r ? writePresetFile(path, state.get()) : r;
}

HostResult HostedUnit::loadPresetFile(const std::string& path) {
    CFRef<CFPropertyListRef> state;
    HostResult r = readPresetFile(path, state);
    return r ? restoreClassInfo(state.get()) : r;
}

HostResult HostedUnit::factoryPresets(std::vector<PresetEntry>& out) const {
    out.clear();
    CFArrayRef presets = nullptr;
    UInt32 size = sizeof presets;
    HostResult r = HostResult::check(
        AudioUnitGetProperty(unit_, kAudioUnitProperty_FactoryPresets, kAudioUnitScope_Global, 0, &presets, &size),
        "reading the factory presets");
    if (!r) return r;
    CFRef<CFArrayRef> owned(presets);
    if (!owned) return HostResult::success();
    for (CFIndex i = 0; i < CFArrayGetCount(presets); ++i) {
        const auto* preset = static_cast<const AUPreset*>(CFArrayGetValueAtIndex(presets, i));
        if (preset) out.push_back(PresetEntry{preset->presetNumber, toUTF8(preset->presetName)});
    }
    return HostResult::success();
}

HostResult HostedUnit::choosePreset(SInt32 number) {
    AUPreset preset{number, nullptr};
    HostResult r = HostResult::check(
        AudioUnitSetProperty(unit_, kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &preset, sizeof preset),
        "choosing a preset");
    return r ? notifyAllParameters() : r;
}

HostResult HostedUnit::presentPreset(PresetEntry& out) const {
    AUPreset preset{};
    UInt32 size = sizeof preset;
    HostResult r = HostResult::check(
        AudioUnitGetProperty(unit_, kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, &preset, &size),
        "reading the present preset");
    if (!r) return r;
    CFRef<CFStringRef> name(preset.presetName);  // the caller owns what a property returns
    out = PresetEntry{preset.presetNumber, toUTF8(name.get())};
    return HostResult::success();
}

}  // namespace auhost
