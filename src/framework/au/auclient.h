#pragma once
// AUClient: one Audio Unit (version 2) instance wrapped around a plug-in client.
//
// It owns the client and answers the host's selectors: properties, parameters,
// rendering, state and presets, MIDI, listeners and notifications. It implements
// IHostCommand, so that parameter gestures from the editor reach the host as Audio
// Unit events. Settings the host changes on its threads (sample rate, maximum
// frames, bypass) travel to the render thread in a queue and reach the client at the
// next render, so reset and processing always run on the host's audio thread.
//
// The entry points (auentry.h) create one AUClient per instance and call these
// methods with the floating-point state set and exceptions caught.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/au/aubus.h"
#include "framework/client/client.h"
#include "framework/core/lockedqueue.h"
#include "framework/core/uncheckedmutex.h"
#include "framework/core/vec.h"
#include "framework/platform/systemframeworks.h"

namespace fw {

// A message from a host thread to the render thread.
struct AudioThreadMessage {
    enum class Kind : std::uint8_t { settingsChanged = 0, midi = 1 };
    Kind kind = Kind::settingsChanged;
    int maxFrames = 0;
    float sampleRate = 0;
    bool bypass = false;
    MidiMessage midi;
};

// The private property through which the view factory reaches the AUClient of a unit.
inline constexpr AudioUnitPropertyID kAUClientPrivateProperty = 0xDEADBEEF;

class AUClient final : public IHostCommand {
public:
    // Host thread. Takes the client. Exactly one of the handles is non-null: the
    // Component Manager instance, or the instance of a factory-made unit.
    AUClient(std::unique_ptr<Client> client, ComponentInstance componentInstance,
             AudioComponentInstance pluginInstance);
    ~AUClient() override;
    AUClient(const AUClient&) = delete;
    AUClient& operator=(const AUClient&) = delete;

    Client& client() noexcept { return *client_; }
    // The handle that identifies this unit to the host.
    AudioUnit unitHandle() const noexcept;

    // ---- Selectors; host threads unless noted ----
    OSStatus initialize() noexcept;
    OSStatus uninitialize() noexcept;
    OSStatus getPropertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                             UInt32* outDataSize, Boolean* outWritable) noexcept;
    OSStatus getProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, void* outData,
                         UInt32* ioDataSize) noexcept;
    OSStatus setProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                         const void* inData, UInt32 inDataSize) noexcept;
    // Any host thread (the parameter's own lock, never the wrapper's).
    OSStatus getParameter(AudioUnitParameterID id, AudioUnitParameterValue* outValue) noexcept;
    OSStatus setParameter(AudioUnitParameterID id, AudioUnitParameterValue value) noexcept;
    OSStatus scheduleParameters(const AudioUnitParameterEvent* events, UInt32 count) noexcept;
    OSStatus reset() noexcept;
    OSStatus addPropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc, void* userData) noexcept;
    OSStatus removePropertyListener(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc) noexcept;
    OSStatus removePropertyListenerWithUserData(AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                                void* userData) noexcept;
    OSStatus addRenderNotify(AURenderCallback proc, void* userData) noexcept;
    OSStatus removeRenderNotify(AURenderCallback proc, void* userData) noexcept;
    // Audio thread; allocates nothing once the maximum frame count is in place.
    OSStatus render(AudioUnitRenderActionFlags* ioActionFlags, const AudioTimeStamp* timeStamp, UInt32 bus,
                    UInt32 frames, AudioBufferList* ioData) noexcept;

    // Music device selectors; any thread. Without MIDI input they are refused.
    OSStatus midiEvent(UInt32 status, UInt32 data1, UInt32 data2, UInt32 offset) noexcept;
    OSStatus sysEx(const UInt8* data, UInt32 length) noexcept;
    OSStatus prepareOrReleaseInstrument() noexcept;
    OSStatus startNote(MusicDeviceGroupID group, NoteInstanceID* outNote, UInt32 offset,
                       const MusicDeviceNoteParams* params) noexcept;
    OSStatus stopNote(MusicDeviceGroupID group, NoteInstanceID note, UInt32 offset) noexcept;

    // Component Manager selectors; any thread.
    ComponentResult canDo(SInt16 selector) const noexcept;
    ComponentResult version() const noexcept;

    // UI thread (the view factory). Opens the editor's view, creating the editor on
    // first use and closing a view opened before; null without an editor.
    void* openEditorView();

    // ---- IHostCommand ----
    // UI thread. Each sends one Audio Unit event for the parameter.
    void beginParamEdit(int index) noexcept override;
    void paramAutomate(int index, float normalizedValue) noexcept override;
    void endParamEdit(int index) noexcept override;
    // UI thread. Always accepted.
    bool requestResize(int width, int height) noexcept override;
    // Any thread. The host named by kAudioUnitProperty_AUHostIdentifier.
    DAW getDAW() noexcept override;
    // Any thread. Always PluginFormat::auv2.
    PluginFormat getPluginFormat() noexcept override;

private:
    struct PropertyListener {
        AudioUnitPropertyID id;
        AudioUnitPropertyListenerProc proc;
        void* userData;
    };
    struct RenderNotify {
        AURenderCallback proc;
        void* userData;
    };
    struct PropertySize {
        UInt32 size = 0;
        bool writable = false;
    };

    // Host thread, under the lock. Validates scope and element and gives the size.
    OSStatus propertyInfo(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                          PropertySize& out) noexcept;
    // Host thread, under the lock, after propertyInfo succeeded with `size`.
    OSStatus readProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element, void* outData,
                          UInt32& size);
    OSStatus writeProperty(AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                           const void* inData, UInt32 inDataSize);
    // Host thread, under the lock. The bus addressed by (scope, element), or null.
    au::AUBus* busFor(AudioUnitScope scope, AudioUnitElement element) noexcept;
    OSStatus setStreamFormat(au::AUBus& bus, bool input, const AudioStreamBasicDescription& format) noexcept;
    OSStatus makeConnection(const AudioUnitConnection& connection) noexcept;
    void notifyPropertyListeners(AudioUnitPropertyID id, AudioUnitScope scope) noexcept;
    // Any host thread. Pushes the current settings to the render thread.
    void pushSettings() noexcept;
    bool queueMidi(const MidiMessage& message) noexcept;
    void sendParameterEvent(AudioUnitEventType type, int index) noexcept;

    // State and presets (austate.cpp); host thread, under the lock.
    CFPropertyListRef createClassInfo();
    OSStatus restoreClassInfo(CFPropertyListRef state);
    OSStatus selectPreset(const AUPreset& preset);
    OSStatus copyPresentPreset(AUPreset& out);

    // Render steps (aurender.cpp); audio thread.
    void applyMessages() noexcept;
    void resizeScratch(int maxFrames);
    OSStatus pullInputs(const AudioTimeStamp& timeStamp, UInt32 frames) noexcept;
    OSStatus takeOutputs(UInt32 bus, UInt32 frames, AudioBufferList& ioData) noexcept;
    int lastActiveOutputBus() const noexcept;
    void processBlock(UInt32 frames) noexcept;
    void callRenderNotifications(AudioUnitRenderActionFlags flags, const AudioTimeStamp* timeStamp, UInt32 bus,
                                 UInt32 frames, AudioBufferList* ioData) noexcept;
    TimeInfo timeInfoFromHost() const noexcept;

    std::unique_ptr<Client> client_;
    const ComponentInstance componentInstance_;
    const AudioComponentInstance pluginInstance_;
    const sys::CoreFoundationApi& cf_;
    const sys::CoreServicesApi& cs_;
    const sys::AudioToolboxApi& at_;

    // Property access, initialization, the listener list and the input pull.
    UncheckedMutex mutex_;
    LockedQueue<AudioThreadMessage> messages_{256};

    // Current host settings (under mutex_).
    float sampleRate_ = 44100.0f;
    int maxFrames_ = 1024;
    bool bypass_ = false;
    bool initialized_ = false;

    std::vector<au::AUBus> inputBuses_;
    std::vector<au::AUBus> outputBuses_;
    std::vector<PropertyListener> propertyListeners_;
    HostCallbackInfo hostCallbacks_{};
    AUMIDIOutputCallbackStruct midiOutput_{};

    UncheckedMutex notifyMutex_;  // guards renderNotifications_
    std::vector<RenderNotify> renderNotifications_;

    // Render thread: settings from the queue and what was last given to the client.
    int rtMaxFrames_ = 0;
    float rtSampleRate_ = 0;
    bool rtBypass_ = false;
    int appliedMaxFrames_ = 0;
    float appliedSampleRate_ = 0;
    int appliedInputs_ = 0;
    int appliedOutputs_ = 0;
    int scratchFrames_ = 0;
    double lastPulledSampleTime_;  // NaN until the first pull
    UInt32 lastPulledFrames_ = 0;
    // Copied under the lock at each render, so the render thread reads its own copy.
    HostCallbackInfo rtHostCallbacks_{};
    AUMIDIOutputCallbackStruct rtMidiOutput_{};

    // MIDI drained from the queue, handed to the client after any reset of this render
    // (a reset empties the client's MIDI queue).
    Vec<MidiMessage> pendingMidi_;
    Vec<float, 64> scratch_;          // (inputs + outputs) channels of scratchFrames_
    std::vector<float*> inputPtrs_;   // one per plug-in input channel
    std::vector<float*> outputPtrs_;  // one per plug-in output channel
    std::vector<float*> compactIn_;   // the non-null ones, given to the client
    std::vector<float*> compactOut_;

    std::atomic<int> daw_{0};
    bool editorOpened_ = false;  // UI thread
};

}  // namespace fw
