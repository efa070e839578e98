#pragma once
// HostedUnit: one Audio Unit instance driven the way a DAW drives it, through
// Apple's host API only: stream formats and maximum frames, input through a
// render callback, initialization, rendering with an advancing time stamp,
// parameters (immediate and scheduled), class-info state (also as .aupreset
// files) and factory presets. Disposal uninitializes and closes the instance.

#include "auhost/cfref.h"
#include "auhost/hostresult.h"
#include "auhost/inputsource.h"

#include <AudioToolbox/AudioToolbox.h>

#include <memory>
#include <string>
#include <vector>

namespace auhost {

struct ParameterDescription {
    AudioUnitParameterID id = 0;
    std::string name;
    AudioUnitParameterUnit unit = kAudioUnitParameterUnit_Generic;
    AudioUnitParameterValue minValue = 0;
    AudioUnitParameterValue maxValue = 0;
    AudioUnitParameterValue defaultValue = 0;
    AudioUnitParameterOptions flags = 0;
};

// What the host's transport callbacks answer while the unit renders.
struct Transport {
    Float64 tempo = 120.0;  // beats per minute
    bool playing = true;
};

struct PresetEntry {
    SInt32 number = 0;
    std::string name;
};

class HostedUnit {
public:
    static constexpr UInt32 kMaxChannels = 8;

    // Any host thread. Creates an instance of the component.
    static HostResult create(AudioComponent component, std::unique_ptr<HostedUnit>& out);
    ~HostedUnit();
    HostedUnit(const HostedUnit&) = delete;
    HostedUnit& operator=(const HostedUnit&) = delete;

    AudioUnit unit() const { return unit_; }

    // Set-up; host thread.
    HostResult setStreamFormat(AudioUnitScope scope, AudioUnitElement bus, Float64 sampleRate, UInt32 channels);
    HostResult streamFormat(AudioUnitScope scope, AudioUnitElement bus, AudioStreamBasicDescription& out) const;
    HostResult setMaximumFramesPerSlice(UInt32 frames);
    // The unit pulls input bus 0 from `source` (not owned; nullptr for silence).
    HostResult setInput(InputSource* source);
    // Installs host callbacks (beat and tempo, transport state) that answer `transport`
    // and the current sample time, as a DAW's timeline does.
    HostResult setTransport(const Transport& transport);
    HostResult initialize();
    HostResult uninitialize();

    // Audio thread; never allocates, takes no lock of its own. Renders output
    // bus 0 into `channels` planar buffers and advances the sample time.
    OSStatus render(float* const* outputs, UInt32 channels, UInt32 frames) noexcept;
    Float64 sampleTime() const { return sampleTime_; }

    // Parameters; host thread (setParameter also from the audio thread).
    HostResult parameterIds(std::vector<AudioUnitParameterID>& out) const;
    HostResult describeParameter(AudioUnitParameterID id, ParameterDescription& out) const;
    HostResult getParameter(AudioUnitParameterID id, AudioUnitParameterValue& out) const;
    HostResult setParameter(AudioUnitParameterID id, AudioUnitParameterValue value, UInt32 bufferOffset = 0);
    HostResult scheduleParameters(const std::vector<AudioUnitParameterEvent>& events);

    // State; host thread. Restoring notifies every parameter listener, as hosts do.
    HostResult copyClassInfo(CFRef<CFPropertyListRef>& out) const;
    HostResult restoreClassInfo(CFPropertyListRef state);
    HostResult savePresetFile(const std::string& path) const;
    HostResult loadPresetFile(const std::string& path);

    // Factory presets; host thread.
    HostResult factoryPresets(std::vector<PresetEntry>& out) const;
    HostResult choosePreset(SInt32 number);
    HostResult presentPreset(PresetEntry& out) const;

private:
    explicit HostedUnit(AudioUnit unit) : unit_(unit) {}
    // Tells every parameter listener of the unit that its values changed.
    HostResult notifyAllParameters();
    static OSStatus beatAndTempo(void* user, Float64* beat, Float64* tempo);
    static OSStatus transportState(void* user, Boolean* playing, Boolean* changed, Float64* sample,
                                   Boolean* cycling, Float64* cycleStart, Float64* cycleEnd);
    static OSStatus transportState2(void* user, Boolean* playing, Boolean* recording, Boolean* changed,
                                    Float64* sample, Boolean* cycling, Float64* cycleStart, Float64* cycleEnd);
    static OSStatus renderInput(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* time,
                                UInt32 bus, UInt32 frames, AudioBufferList* data);

    AudioUnit unit_;
    InputSource* input_ = nullptr;
    bool initialized_ = false;
    Float64 sampleTime_ = 0;
    Float64 sampleRate_ = 44100.0;  // of output bus 0, for beat positions
    Transport transport_;
    struct {
        UInt32 count;
        AudioBuffer buffers[kMaxChannels];
    } outputList_{};
};

}  // namespace auhost
