// The entry points: the factory's plug-in interface (Open, Close, Lookup and one
// method per selector), the Component Manager entry and its dispatcher, and the
// fast-dispatch procedures.

#include "framework/au/auentry.h"

#include <cstring>
#include <new>

#include "framework/au/auclient.h"
#include "framework/au/audispatch.h"
#include "framework/core/fatal.h"
#include "framework/core/fpcontrol.h"
#include "framework/platform/systemframeworks.h"

namespace fw::au {

namespace {

// What the factory hands out. The interface comes first: its address is the `self`
// of every method.
struct InterfaceRecord {
    AudioComponentPlugInInterface interface;
    ClientFactory factory;
    AUClient* client;
};
static_assert(offsetof(InterfaceRecord, interface) == 0);

// Runs `f` with the audio floating-point state, turning exceptions into status codes.
template <class F>
OSStatus guarded(F&& f) noexcept {
    ScopedAudioFloatingPointState fp;
    try {
        return f();
    } catch (const std::bad_alloc&) {
        return kAudio_MemFullError;
    } catch (...) {
        return kAudio_ParamError;
    }
}

// Creates the client and its AUClient; running out of memory while opening is fatal.
AUClient* openClient(ClientFactory factory, ComponentInstance componentInstance,
                     AudioComponentInstance pluginInstance) noexcept {
    try {
        std::unique_ptr<Client> client = factory();
        if (client == nullptr) return nullptr;
        return new AUClient(std::move(client), componentInstance, pluginInstance);
    } catch (const std::bad_alloc&) {
        fatalOutOfMemory();
    } catch (...) {
        return nullptr;
    }
}

// ---- Factory-made instances: `self` is the InterfaceRecord ----
// Every method: any host thread; renderMethod: the audio thread, never blocks on a
// host thread for long, allocates nothing once the maximum frame count is in place.

template <class F>
OSStatus withClient(void* self, F&& f) noexcept {
    return guarded([&]() -> OSStatus {
        AUClient* c = self != nullptr ? static_cast<InterfaceRecord*>(self)->client : nullptr;
        return c != nullptr ? f(*c) : OSStatus(badComponentInstance);
    });
}

OSStatus openMethod(void* self, AudioComponentInstance instance) {
    return guarded([&]() -> OSStatus {
        auto* record = static_cast<InterfaceRecord*>(self);
        if (record == nullptr) return kAudio_ParamError;
        if (record->client != nullptr) return noErr;
        record->client = openClient(record->factory, nullptr, instance);
        return record->client != nullptr ? noErr : OSStatus(kAudioUnitErr_FailedInitialization);
    });
}

OSStatus closeMethod(void* self) {
    return guarded([&]() -> OSStatus {
        auto* record = static_cast<InterfaceRecord*>(self);
        if (record == nullptr) return kAudio_ParamError;
        delete record->client;
        delete record;
        return noErr;
    });
}

OSStatus initializeMethod(void* self) {
    return withClient(self, [](AUClient& c) { return c.initialize(); });
}
OSStatus uninitializeMethod(void* self) {
    return withClient(self, [](AUClient& c) { return c.uninitialize(); });
}
OSStatus getPropertyInfoMethod(void* self, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                               UInt32* size, Boolean* writable) {
    return withClient(self, [&](AUClient& c) { return c.getPropertyInfo(id, scope, element, size, writable); });
}
OSStatus getPropertyMethod(void* self, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                           void* data, UInt32* size) {
    return withClient(self, [&](AUClient& c) { return c.getProperty(id, scope, element, data, size); });
}
OSStatus setPropertyMethod(void* self, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                           const void* data, UInt32 size) {
    return withClient(self, [&](AUClient& c) { return c.setProperty(id, scope, element, data, size); });
}
OSStatus getParameterMethod(void* self, AudioUnitParameterID id, AudioUnitScope, AudioUnitElement,
                            AudioUnitParameterValue* value) {
    return withClient(self, [&](AUClient& c) { return c.getParameter(id, value); });
}
OSStatus setParameterMethod(void* self, AudioUnitParameterID id, AudioUnitScope, AudioUnitElement,
                            AudioUnitParameterValue value, UInt32) {
    return withClient(self, [&](AUClient& c) { return c.setParameter(id, value); });
}
OSStatus resetMethod(void* self, AudioUnitScope, AudioUnitElement) {
    return withClient(self, [](AUClient& c) { return c.reset(); });
}
OSStatus addPropertyListenerMethod(void* self, AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc,
                                   void* userData) {
    return withClient(self, [&](AUClient& c) { return c.addPropertyListener(id, proc, userData); });
}
OSStatus removePropertyListenerMethod(void* self, AudioUnitPropertyID id, AudioUnitPropertyListenerProc proc) {
    return withClient(self, [&](AUClient& c) { return c.removePropertyListener(id, proc); });
}
OSStatus removePropertyListenerWithUserDataMethod(void* self, AudioUnitPropertyID id,
                                                  AudioUnitPropertyListenerProc proc, void* userData) {
    return withClient(self, [&](AUClient& c) { return c.removePropertyListenerWithUserData(id, proc, userData); });
}
OSStatus renderMethod(void* self, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* time, UInt32 bus,
                      UInt32 frames, AudioBufferList* data) {
    return withClient(self, [&](AUClient& c) { return c.render(flags, time, bus, frames, data); });
}
OSStatus addRenderNotifyMethod(void* self, AURenderCallback proc, void* userData) {
    return withClient(self, [&](AUClient& c) { return c.addRenderNotify(proc, userData); });
}
OSStatus removeRenderNotifyMethod(void* self, AURenderCallback proc, void* userData) {
    return withClient(self, [&](AUClient& c) { return c.removeRenderNotify(proc, userData); });
}
OSStatus scheduleParametersMethod(void* self, const AudioUnitParameterEvent* events, UInt32 count) {
    return withClient(self, [&](AUClient& c) { return c.scheduleParameters(events, count); });
}
OSStatus midiEventMethod(void* self, UInt32 status, UInt32 data1, UInt32 data2, UInt32 offset) {
    return withClient(self, [&](AUClient& c) { return c.midiEvent(status, data1, data2, offset); });
}
OSStatus sysExMethod(void* self, const UInt8* data, UInt32 length) {
    return withClient(self, [&](AUClient& c) { return c.sysEx(data, length); });
}
OSStatus instrumentMethod(void* self, MusicDeviceInstrumentID) {
    return withClient(self, [](AUClient& c) { return c.prepareOrReleaseInstrument(); });
}
OSStatus startNoteMethod(void* self, MusicDeviceInstrumentID, MusicDeviceGroupID group, NoteInstanceID* note,
                         UInt32 offset, const MusicDeviceNoteParams* params) {
    return withClient(self, [&](AUClient& c) { return c.startNote(group, note, offset, params); });
}
OSStatus stopNoteMethod(void* self, MusicDeviceGroupID group, NoteInstanceID note, UInt32 offset) {
    return withClient(self, [&](AUClient& c) { return c.stopNote(group, note, offset); });
}

template <class Fn>
AudioComponentMethod method(Fn fn) noexcept {
    return reinterpret_cast<AudioComponentMethod>(fn);
}

AudioComponentMethod lookupMethod(SInt16 selector) {
    ScopedAudioFloatingPointState fp;
    switch (selector) {
        case kAudioUnitInitializeSelect: return method(initializeMethod);
        case kAudioUnitUninitializeSelect: return method(uninitializeMethod);
        case kAudioUnitGetPropertyInfoSelect: return method(getPropertyInfoMethod);
        case kAudioUnitGetPropertySelect: return method(getPropertyMethod);
        case kAudioUnitSetPropertySelect: return method(setPropertyMethod);
        case kAudioUnitGetParameterSelect: return method(getParameterMethod);
        case kAudioUnitSetParameterSelect: return method(setParameterMethod);
        case kAudioUnitResetSelect: return method(resetMethod);
        case kAudioUnitAddPropertyListenerSelect: return method(addPropertyListenerMethod);
        case kAudioUnitRemovePropertyListenerSelect: return method(removePropertyListenerMethod);
        case kAudioUnitRenderSelect: return method(renderMethod);
        case kAudioUnitAddRenderNotifySelect: return method(addRenderNotifyMethod);
        case kAudioUnitRemoveRenderNotifySelect: return method(removeRenderNotifyMethod);
        case kAudioUnitScheduleParametersSelect: return method(scheduleParametersMethod);
        case kAudioUnitRemovePropertyListenerWithUserDataSelect: return method(removePropertyListenerWithUserDataMethod);
        case kMusicDeviceMIDIEventSelect: return method(midiEventMethod);
        case kMusicDeviceSysExSelect: return method(sysExMethod);
        case kMusicDevicePrepareInstrumentSelect: return method(instrumentMethod);
        case kMusicDeviceReleaseInstrumentSelect: return method(instrumentMethod);
        case kMusicDeviceStartNoteSelect: return method(startNoteMethod);
        case kMusicDeviceStopNoteSelect: return method(stopNoteMethod);
        default: return nullptr;
    }
}

// ---- Component Manager instances: the storage is the AUClient ----

// The arguments of a Component Manager call: one 8-byte slot each, the last
// argument in params[0] (see <CoreServices/Components.h>).
class CallArguments {
public:
    explicit CallArguments(const ComponentParameters& p) noexcept : p_(p), count_(p.paramSize / sizeof(long)) {}
    std::size_t count() const noexcept { return count_; }
    // Argument k, the first being 0.
    template <class T>
    T get(std::size_t k) const noexcept {
        static_assert(sizeof(T) <= sizeof(long));
        T value;
        std::memcpy(&value, &p_.params[count_ - 1 - k], sizeof(T));
        return value;
    }

private:
    const ComponentParameters& p_;
    std::size_t count_;
};

// The number of arguments each selector takes; -1 for selectors not handled.
int argumentCount(SInt16 selector) noexcept {
    switch (selector) {
        case kComponentOpenSelect:
        case kComponentCloseSelect:
        case kComponentCanDoSelect: return 1;
        case kComponentVersionSelect:
        case kAudioUnitInitializeSelect:
        case kAudioUnitUninitializeSelect: return 0;
        case kAudioUnitGetPropertyInfoSelect:
        case kAudioUnitGetPropertySelect:
        case kAudioUnitSetPropertySelect:
        case kAudioUnitSetParameterSelect:
        case kAudioUnitRenderSelect:
        case kMusicDeviceStartNoteSelect: return 5;
        case kAudioUnitGetParameterSelect:
        case kMusicDeviceMIDIEventSelect: return 4;
        case kAudioUnitAddPropertyListenerSelect:
        case kAudioUnitRemovePropertyListenerWithUserDataSelect:
        case kMusicDeviceStopNoteSelect: return 3;
        case kAudioUnitResetSelect:
        case kAudioUnitRemovePropertyListenerSelect:
        case kAudioUnitAddRenderNotifySelect:
        case kAudioUnitRemoveRenderNotifySelect:
        case kAudioUnitScheduleParametersSelect:
        case kMusicDeviceSysExSelect: return 2;
        case kMusicDevicePrepareInstrumentSelect:
        case kMusicDeviceReleaseInstrumentSelect: return 1;
        default: return -1;
    }
}

ComponentResult dispatch(AUClient& c, SInt16 selector, const CallArguments& a) noexcept {
    switch (selector) {
        case kComponentCanDoSelect: return c.canDo(a.get<SInt16>(0));
        case kComponentVersionSelect: return c.version();
        case kAudioUnitInitializeSelect: return c.initialize();
        case kAudioUnitUninitializeSelect: return c.uninitialize();
        case kAudioUnitGetPropertyInfoSelect:
            return c.getPropertyInfo(a.get<UInt32>(0), a.get<UInt32>(1), a.get<UInt32>(2), a.get<UInt32*>(3),
                                     a.get<Boolean*>(4));
        case kAudioUnitGetPropertySelect:
            return c.getProperty(a.get<UInt32>(0), a.get<UInt32>(1), a.get<UInt32>(2), a.get<void*>(3),
                                 a.get<UInt32*>(4));
        case kAudioUnitSetPropertySelect:
            return c.setProperty(a.get<UInt32>(0), a.get<UInt32>(1), a.get<UInt32>(2), a.get<const void*>(3),
                                 a.get<UInt32>(4));
        case kAudioUnitGetParameterSelect: return c.getParameter(a.get<UInt32>(0), a.get<Float32*>(3));
        case kAudioUnitSetParameterSelect: return c.setParameter(a.get<UInt32>(0), a.get<Float32>(3));
        case kAudioUnitResetSelect: return c.reset();
        case kAudioUnitAddPropertyListenerSelect:
            return c.addPropertyListener(a.get<UInt32>(0), a.get<AudioUnitPropertyListenerProc>(1), a.get<void*>(2));
        case kAudioUnitRemovePropertyListenerSelect:
            return c.removePropertyListener(a.get<UInt32>(0), a.get<AudioUnitPropertyListenerProc>(1));
        case kAudioUnitRemovePropertyListenerWithUserDataSelect:
            return c.removePropertyListenerWithUserData(a.get<UInt32>(0), a.get<AudioUnitPropertyListenerProc>(1),
                                                        a.get<void*>(2));
        case kAudioUnitRenderSelect:
            return c.render(a.get<AudioUnitRenderActionFlags*>(0), a.get<const AudioTimeStamp*>(1), a.get<UInt32>(2),
                            a.get<UInt32>(3), a.get<AudioBufferList*>(4));
        case kAudioUnitAddRenderNotifySelect: return c.addRenderNotify(a.get<AURenderCallback>(0), a.get<void*>(1));
        case kAudioUnitRemoveRenderNotifySelect:
            return c.removeRenderNotify(a.get<AURenderCallback>(0), a.get<void*>(1));
        case kAudioUnitScheduleParametersSelect:
            return c.scheduleParameters(a.get<const AudioUnitParameterEvent*>(0), a.get<UInt32>(1));
        case kMusicDeviceMIDIEventSelect:
            return c.midiEvent(a.get<UInt32>(0), a.get<UInt32>(1), a.get<UInt32>(2), a.get<UInt32>(3));
        case kMusicDeviceSysExSelect: return c.sysEx(a.get<const UInt8*>(0), a.get<UInt32>(1));
        case kMusicDevicePrepareInstrumentSelect:
        case kMusicDeviceReleaseInstrumentSelect: return c.prepareOrReleaseInstrument();
        case kMusicDeviceStartNoteSelect:
            return c.startNote(a.get<UInt32>(1), a.get<NoteInstanceID*>(2), a.get<UInt32>(3),
                               a.get<const MusicDeviceNoteParams*>(4));
        case kMusicDeviceStopNoteSelect: return c.stopNote(a.get<UInt32>(0), a.get<UInt32>(1), a.get<UInt32>(2));
        default: return badComponentSelector;
    }
}

// ---- Fast dispatch: the first argument is the instance storage, the AUClient ----
// fastRender: the audio thread; the parameter procedures: any thread.

OSStatus fastRender(void* storage, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* time, UInt32 bus,
                    UInt32 frames, AudioBufferList* data) {
    return guarded([&]() -> OSStatus {
        return storage != nullptr ? static_cast<AUClient*>(storage)->render(flags, time, bus, frames, data)
                                  : OSStatus(badComponentInstance);
    });
}

OSStatus fastGetParameter(void* storage, AudioUnitParameterID id, AudioUnitScope, AudioUnitElement,
                          AudioUnitParameterValue* value) {
    return guarded([&]() -> OSStatus {
        return storage != nullptr ? static_cast<AUClient*>(storage)->getParameter(id, value)
                                  : OSStatus(badComponentInstance);
    });
}

OSStatus fastSetParameter(void* storage, AudioUnitParameterID id, AudioUnitScope, AudioUnitElement,
                          AudioUnitParameterValue value, UInt32) {
    return guarded([&]() -> OSStatus {
        return storage != nullptr ? static_cast<AUClient*>(storage)->setParameter(id, value)
                                  : OSStatus(badComponentInstance);
    });
}

}  // namespace

AudioUnitRenderProc fastRenderProc() noexcept { return fastRender; }
AudioUnitGetParameterProc fastGetParameterProc() noexcept { return fastGetParameter; }
AudioUnitSetParameterProc fastSetParameterProc() noexcept { return fastSetParameter; }

AudioComponentPlugInInterface* createPlugInInterface(ClientFactory factory) noexcept {
    ScopedAudioFloatingPointState fp;
    if (factory == nullptr) return nullptr;
    // The frameworks are opened on this first use, not later on an audio thread.
    (void)sys::coreFoundation();
    (void)sys::coreServices();
    (void)sys::audioToolbox();
    auto* record = new (std::nothrow) InterfaceRecord{{openMethod, closeMethod, lookupMethod, nullptr}, factory, nullptr};
    return record != nullptr ? &record->interface : nullptr;
}

ComponentResult componentEntry(ComponentParameters* params, void* storage, ClientFactory factory) noexcept {
    return guarded([&]() -> ComponentResult {
        if (params == nullptr) return kAudio_ParamError;
        const SInt16 selector = params->what;
        const int expected = argumentCount(selector);
        if (expected < 0) return badComponentSelector;
        const CallArguments args(*params);
        // A block whose size does not match the selector would put every argument in
        // the wrong slot.
        if (args.count() != std::size_t(expected)) return kAudio_ParamError;
        auto* client = static_cast<AUClient*>(storage);

        if (selector == kComponentOpenSelect) {
            if (client != nullptr) return noErr;
            if (factory == nullptr) return kAudioUnitErr_FailedInitialization;
            const auto instance = args.get<ComponentInstance>(0);
            // The frameworks are opened here, on first use, by the AUClient.
            client = openClient(factory, instance, nullptr);
            if (client == nullptr) return kAudioUnitErr_FailedInitialization;
            sys::coreServices().SetComponentInstanceStorage(instance, reinterpret_cast<Handle>(client));
            return noErr;
        }
        if (selector == kComponentCloseSelect) {
            if (client != nullptr) {
                sys::coreServices().SetComponentInstanceStorage(args.get<ComponentInstance>(0), nullptr);
                delete client;
            }
            return noErr;
        }
        if (client == nullptr) return badComponentInstance;
        return dispatch(*client, selector, args);
    });
}

}  // namespace fw::au
