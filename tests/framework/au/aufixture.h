#pragma once
// What the wrapper's tests share: the Kestrin plug-in binary loaded once per process
// the way a DAW loads a .component (its factory from the Info.plist, and its
// Component Manager entry), the fake component, an owned unit instance, and a small
// render harness that drives AudioUnitRender with an advancing time stamp.

#include <AudioToolbox/AudioToolbox.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "auhost/pluginbundle.h"

namespace autest {

// The two ways the Kestrin binary is registered.
struct LoadedKestrin {
    std::unique_ptr<auhost::PluginBundle> bundle;
    AudioComponent factory = nullptr;  // from the Info.plist's factoryFunction
    AudioComponent entry = nullptr;    // pluginAUEntryPoint, through the Component Manager
};
LoadedKestrin& kestrin();
// 'aufx' 'Fake' 'Test', made by the wrapper's factory around FakeClient.
AudioComponent fakeComponent();

// One unit instance, disposed with the object.
class Unit {
public:
    explicit Unit(AudioComponent component);
    ~Unit();
    Unit(const Unit&) = delete;
    Unit& operator=(const Unit&) = delete;
    AudioUnit get() const { return unit_; }
    operator AudioUnit() const { return unit_; }

private:
    AudioUnit unit_ = nullptr;
};

OSStatus setStreamFormat(AudioUnit unit, AudioUnitScope scope, AudioUnitElement bus, Float64 rate,
                         UInt32 channels);
OSStatus setMaxFrames(AudioUnit unit, UInt32 frames);

template <class T>
OSStatus getProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                     T& out) {
    UInt32 size = sizeof(T);
    return AudioUnitGetProperty(unit, id, scope, element, &out, &size);
}
template <class T>
OSStatus setProperty(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                     const T& value) {
    return AudioUnitSetProperty(unit, id, scope, element, &value, sizeof(T));
}

// Input for a unit's render callback: channel c, frame i of the stream is
// generate(c, position + i).
class CallbackInput {
public:
    using Generator = float (*)(int channel, long frame);
    explicit CallbackInput(Generator generate) : generate_(generate) {}
    // Installs itself as the render callback of input bus 0.
    OSStatus attach(AudioUnit unit);
    static OSStatus render(void* ref, AudioUnitRenderActionFlags*, const AudioTimeStamp* time, UInt32 bus,
                           UInt32 frames, AudioBufferList* data);
    int calls = 0;
    UInt32 lastBus = 99;

private:
    Generator generate_;
};

// Renders output bus 0 into planar buffers it owns, advancing the sample time.
class RenderHarness {
public:
    RenderHarness(AudioUnit unit, UInt32 channels, UInt32 maxFrames);
    OSStatus render(UInt32 frames);
    // Renders with a null mData in every buffer (the unit supplies its own).
    OSStatus renderIntoUnitBuffers(UInt32 frames);
    const float* channel(UInt32 c) const { return static_cast<const float*>(list()->mBuffers[c].mData); }
    AudioBufferList* list() const { return reinterpret_cast<AudioBufferList*>(listStorage_.data()); }
    Float64 sampleTime = 0;

private:
    AudioUnit unit_;
    UInt32 channels_;
    std::vector<std::vector<float>> buffers_;
    mutable std::vector<unsigned char> listStorage_;
};

// Opened, stereo 48 kHz, `maxFrames`, input from `input`, initialized.
void prepareStereo(AudioUnit unit, CallbackInput& input, UInt32 maxFrames = 512);

}  // namespace autest
