#include "aufixture.h"

#include "fakeclient.h"

namespace autest {

LoadedKestrin& kestrin() {
    static LoadedKestrin loaded = [] {
        LoadedKestrin k;
        auhost::HostResult r = auhost::PluginBundle::open(KESTRIN_COMPONENT_DIR, k.bundle);
        EXPECT_TRUE(r.ok()) << r.message();
        if (!r) return k;
        std::vector<AudioComponent> components;
        r = k.bundle->registerDeclaredComponents(components);
        EXPECT_TRUE(r.ok()) << r.message();
        if (r && components.size() == 1) k.factory = components[0];
        r = k.bundle->registerEntryPoint({kAudioUnitType_Effect, 0x4B737433, 0x546C6D77, 0, 0},
                                         "Tallowmere Dorovuvuru: Kestrin 3 (entry)", "pluginAUEntryPoint", k.entry);
        EXPECT_TRUE(r.ok()) << r.message();
        return k;
    }();
    return loaded;
}

AudioComponent fakeComponent() {
    static AudioComponent component = [] {
        const AudioComponentDescription d{kAudioUnitType_Effect, kFakeSubType, kFakeManufacturer, 0, 0};
        return AudioComponentRegister(&d, CFSTR("Test: Fake"), 0x00010203, fakeFactory);
    }();
    return component;
}

Unit::Unit(AudioComponent component) {
    EXPECT_NE(component, nullptr);
    EXPECT_EQ(AudioComponentInstanceNew(component, &unit_), noErr);
}

Unit::~Unit() {
    if (unit_ != nullptr) AudioComponentInstanceDispose(unit_);
}

OSStatus setStreamFormat(AudioUnit unit, AudioUnitScope scope, AudioUnitElement bus, Float64 rate, UInt32 channels) {
    AudioStreamBasicDescription f{};
    f.mSampleRate = rate;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags = kAudioFormatFlagsAudioUnitCanonical;
    f.mBytesPerPacket = 4;
    f.mFramesPerPacket = 1;
    f.mBytesPerFrame = 4;
    f.mChannelsPerFrame = channels;
    f.mBitsPerChannel = 32;
    return setProperty(unit, kAudioUnitProperty_StreamFormat, scope, bus, f);
}

OSStatus setMaxFrames(AudioUnit unit, UInt32 frames) {
    return setProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, frames);
}

OSStatus CallbackInput::attach(AudioUnit unit) {
    const AURenderCallbackStruct cb{render, this};
    return setProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, cb);
}

OSStatus CallbackInput::render(void* ref, AudioUnitRenderActionFlags*, const AudioTimeStamp* time, UInt32 bus,
                               UInt32 frames, AudioBufferList* data) {
    auto* self = static_cast<CallbackInput*>(ref);
    ++self->calls;
    self->lastBus = bus;
    for (UInt32 c = 0; c < data->mNumberBuffers; ++c) {
        auto* out = static_cast<float*>(data->mBuffers[c].mData);
        for (UInt32 i = 0; i < frames; ++i) out[i] = self->generate_(int(c), long(time->mSampleTime) + long(i));
    }
    return noErr;
}

RenderHarness::RenderHarness(AudioUnit unit, UInt32 channels, UInt32 maxFrames)
    : unit_(unit), channels_(channels), buffers_(channels, std::vector<float>(maxFrames)),
      listStorage_(offsetof(AudioBufferList, mBuffers) + sizeof(AudioBuffer) * (channels ? channels : 1)) {}

OSStatus RenderHarness::render(UInt32 frames) {
    AudioBufferList* l = list();
    l->mNumberBuffers = channels_;
    for (UInt32 c = 0; c < channels_; ++c)
        l->mBuffers[c] = {1, UInt32(frames * sizeof(float)), buffers_[c].data()};
    AudioTimeStamp ts{};
    ts.mSampleTime = sampleTime;
    ts.mFlags = kAudioTimeStampSampleTimeValid;
    AudioUnitRenderActionFlags flags = 0;
    const OSStatus status = AudioUnitRender(unit_, &flags, &ts, 0, frames, l);
    if (status == noErr) sampleTime += frames;
    return status;
}

OSStatus RenderHarness::renderIntoUnitBuffers(UInt32 frames) {
    AudioBufferList* l = list();
    l->mNumberBuffers = channels_;
    for (UInt32 c = 0; c < channels_; ++c) l->mBuffers[c] = {1, UInt32(frames * sizeof(float)), nullptr};
    AudioTimeStamp ts{};
    ts.mSampleTime = sampleTime;
    ts.mFlags = kAudioTimeStampSampleTimeValid;
    const OSStatus status = AudioUnitRender(unit_, nullptr, &ts, 0, frames, l);
    if (status == noErr) sampleTime += frames;
    return status;
}

void prepareStereo(AudioUnit unit, CallbackInput& input, UInt32 maxFrames) {
    ASSERT_EQ(setStreamFormat(unit, kAudioUnitScope_Input, 0, 48000, 2), noErr);
    ASSERT_EQ(setStreamFormat(unit, kAudioUnitScope_Output, 0, 48000, 2), noErr);
    ASSERT_EQ(setMaxFrames(unit, maxFrames), noErr);
    ASSERT_EQ(input.attach(unit), noErr);
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
}

}  // namespace autest
