#pragma once
// AUClient: one Audio Unit (version 2) instance wrapped around a plug-in client.
//
// It owns the client through a ClientFacade and translates the host's selectors onto
// it: properties, parameters, rendering, state and presets, MIDI, listeners and
// notifications. Everything any format needs (settings reaching the audio thread,
// channel handling, bypass, parameter descriptions, state) lives in the facade; what
// is here is Apple's side: buses and connections, the input pull, Core Foundation
// objects, events. It implements IHostCommand, so that parameter gestures from the
// editor reach the host as Audio Unit events.
//
// Locks: the host lock serialises the host threads' selectors and guards the
// listener list; render never takes it. The main lock guards only what render reads
// of the buses, connections and callbacks; host threads hold it for short copies,
// never while they call out, build Core Foundation objects or allocate.
//
// The entry points (auentry.h) create one AUClient per instance and call these
// methods with the floating-point state set and exceptions caught.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/au/aubus.h"
#include "framework/client/clientfacade.h"
#include "framework/core/uncheckedmutex.h"
#include "framework/core/vec.h"
#include "framework/platform/systemframeworks.h"

namespace fw {

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

    Client& client() noexcept { return facade_->client(); }
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
    // What a connection's source unit reports of itself, asked without holding a lock.
    struct SourceAnswer {
        bool hasFormat = false;
        AudioStreamBasicDescription format{};
        AudioUnitRenderProc fastRender = nullptr;
        void* storage = nullptr;
    };
    // Host thread; takes the host lock itself, after asking the source.
    OSStatus setConnection(AudioUnitScope scope, const void* inData, UInt32 inDataSize) noexcept;
    SourceAnswer askSource(const AudioUnitConnection& connection) const noexcept;
    // Host thread, under the host lock.
    OSStatus makeConnection(const AudioUnitConnection& connection, const SourceAnswer& source) noexcept;
    // Host thread, under the host lock: the only writes to what render reads of a bus,
    // each under the main lock.
    void setHostChannels(au::AUBus& bus, int channels) noexcept;
    void commitConnection(au::AUBus& bus, const au::AUBus& next) noexcept;
    void notifyPropertyListeners(AudioUnitPropertyID id, AudioUnitScope scope) noexcept;
    void sendParameterEvent(AudioUnitEventType type, int index) noexcept;

    // State and presets (austate.cpp); host thread, under the lock.
    CFPropertyListRef createClassInfo();
    OSStatus restoreClassInfo(CFPropertyListRef state);
    OSStatus selectPreset(const AUPreset& preset);
    OSStatus copyPresentPreset(AUPreset& out);

    // Render steps (aurender.cpp); audio thread.
    OSStatus renderSilence(UInt32 frames, AudioBufferList& ioData) noexcept;
    void resizeScratch(int maxFrames);
    OSStatus pullInputs(const AudioTimeStamp& timeStamp, UInt32 frames) noexcept;
    OSStatus takeOutputs(UInt32 bus, UInt32 frames, AudioBufferList& ioData) noexcept;
    int lastActiveOutputBus() const noexcept;
    void processBlock(UInt32 frames) noexcept;
    void callRenderNotifications(AudioUnitRenderActionFlags flags, const AudioTimeStamp* timeStamp, UInt32 bus,
                                 UInt32 frames, AudioBufferList* ioData) noexcept;
    TimeInfo timeInfoFromHost() const noexcept;

    const ComponentInstance componentInstance_;
    const AudioComponentInstance pluginInstance_;
    const sys::CoreFoundationApi& cf_;
    const sys::CoreServicesApi& cs_;
    const sys::AudioToolboxApi& at_;

    // Host threads: property access, initialization, the listener list.
    UncheckedMutex hostMutex_;
    // What render reads of the buses, connections and callbacks (the input pull).
    UncheckedMutex mutex_;
    bool initialized_ = false;  // under hostMutex_

    std::vector<au::AUBus> inputBuses_;
    std::vector<au::AUBus> outputBuses_;
    std::vector<PropertyListener> propertyListeners_;
    HostCallbackInfo hostCallbacks_{};
    AUMIDIOutputCallbackStruct midiOutput_{};

    UncheckedMutex notifyMutex_;  // guards renderNotifications_
    // Grown outside the lock, so render never waits on an allocation.
    std::vector<RenderNotify> renderNotifications_;

    // Render thread.
    // Set while render pulls its input. A render that finds it set was re-entered
    // through a cycle of connections (or called from a second thread, which a host
    // must not do) and answers silence instead of pulling again. Atomic, not a plain
    // flag, so that a second thread is a harmless wrong call and not a data race;
    // relaxed: re-entry happens on the same thread, where program order suffices.
    std::atomic<bool> pulling_{false};
    int scratchFrames_ = 0;
    double lastPulledSampleTime_;  // NaN until the first pull
    UInt32 lastPulledFrames_ = 0;
    // Copied under the lock at each render, so the render thread reads its own copy.
    HostCallbackInfo rtHostCallbacks_{};
    AUMIDIOutputCallbackStruct rtMidiOutput_{};

    Vec<float, 64> scratch_;          // (inputs + outputs + 1) channels of scratchFrames_, the last for silence
    std::vector<float*> inputPtrs_;   // one per plug-in input channel; null: none
    std::vector<float*> outputPtrs_;  // one per plug-in output channel; null: none

    std::atomic<int> daw_{0};
    bool editorOpened_ = false;  // UI thread

    // Declared last and reset first in the destructor: the client's editor may still
    // call the host command while it is torn down.
    std::unique_ptr<ClientFacade> facade_;
};

}  // namespace fw
