// Selectors as hosts send them: through the factory's Lookup methods and through
// the Component Manager entry; parameters, scheduled events, listeners, MIDI, host
// identification, editor gestures and the floating-point state of every entry.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include "auhost/cfref.h"
#include "auhost/unitobservers.h"
#include "aufixture.h"
#include "fakeclient.h"
#include "framework/au/auclient.h"
#include "framework/client/floatparameter.h"
#include "framework/core/fpcontrol.h"

namespace {

using autest::Unit;

// The wrapper's own object behind a unit made from the fake component.
fw::AUClient* auClientOf(AudioUnit unit) {
    fw::AUClient* c = nullptr;
    EXPECT_EQ(autest::getProperty(unit, fw::kAUClientPrivateProperty, kAudioUnitScope_Global, 0, c), noErr);
    return c;
}

autest::FakeClient& fakeOf(AudioUnit unit) { return dynamic_cast<autest::FakeClient&>(auClientOf(unit)->client()); }

class FakeOptionsReset : public ::testing::Test {
protected:
    void TearDown() override { autest::fakeOptions() = {}; }
};

TEST(Dispatch, LookupOffersExactlyTheAudioUnitAndMusicDeviceSelectors) {
    auto factory = reinterpret_cast<AudioComponentFactoryFunction>(CFBundleGetFunctionPointerForName(
        autest::kestrin().bundle->bundle(), CFSTR("pluginAUComponentFactoryFunction")));
    ASSERT_NE(factory, nullptr);
    AudioComponentPlugInInterface* plugin = factory(nullptr);
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->reserved, nullptr);
    const std::set<int> offered = {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 14, 15, 16, 17, 18, 257, 258, 259, 260, 261, 262};
    for (int selector = -10; selector < 300; ++selector)
        EXPECT_EQ(plugin->Lookup(SInt16(selector)) != nullptr, offered.count(selector) == 1) << selector;
    EXPECT_EQ(plugin->Close(plugin), noErr);  // never opened: only the record goes
}

TEST(Dispatch, ComponentManagerCanDoAndVersionDescribeTheUnit) {
    Unit unit(autest::kestrin().entry);
    for (int s : {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 14, 15, 16, 17, 18, -1, -2, -3, -4})
        EXPECT_EQ(CallComponentCanDo(unit, SInt16(s)), 1) << s;
    for (int s : {0, 8, 12, 13, 19, 20, 47, 48, 257, 262, -5, 300}) EXPECT_EQ(CallComponentCanDo(unit, SInt16(s)), 0) << s;
    EXPECT_EQ(CallComponentVersion(unit), (3 << 16) | (0 << 8) | 1);
}

TEST(Dispatch, ComponentManagerRefusesUnknownSelectorsAndMalformedCalls) {
    Unit unit(autest::kestrin().entry);
    struct {
        ComponentParameters header;
        long more[4];
    } call{};
    call.header.what = 8;  // unassigned
    call.header.paramSize = 0;
    call.header.params[0] = reinterpret_cast<long>(unit.get());
    EXPECT_EQ(CallComponentDispatch(&call.header), badComponentSelector);

    // Initialize takes no argument; a block claiming two would shift every slot.
    call.header.what = kAudioUnitInitializeSelect;
    call.header.paramSize = 2 * sizeof(long);
    call.more[1] = reinterpret_cast<long>(unit.get());
    EXPECT_EQ(CallComponentDispatch(&call.header), kAudio_ParamError);
}

class BothEntries : public ::testing::TestWithParam<bool> {
protected:
    AudioComponent component() const { return GetParam() ? autest::kestrin().entry : autest::kestrin().factory; }
};

TEST_P(BothEntries, GetParameterReadsNormalizedValuesAndRefusesUnknownIds) {
    Unit unit(component());
    AudioUnitParameterValue value = -1;
    EXPECT_EQ(AudioUnitGetParameter(unit, 16, kAudioUnitScope_Global, 0, &value), kAudioUnitErr_InvalidParameter);
    ASSERT_EQ(AudioUnitSetParameter(unit, 15, kAudioUnitScope_Global, 0, 1.0f, 0), noErr);
    // Scope and element are not examined.
    ASSERT_EQ(AudioUnitGetParameter(unit, 15, kAudioUnitScope_Output, 7, &value), noErr);
    EXPECT_EQ(value, 1.0f);
    ASSERT_EQ(AudioUnitSetParameter(unit, 15, kAudioUnitScope_Global, 0, 0.0f, 0), noErr);
    ASSERT_EQ(AudioUnitGetParameter(unit, 15, kAudioUnitScope_Global, 0, &value), noErr);
    EXPECT_EQ(value, 0.0f);
    EXPECT_EQ(AudioUnitSetParameter(unit, 16, kAudioUnitScope_Global, 0, 0.5f, 0), kAudioUnitErr_InvalidParameter);
    EXPECT_EQ(AudioUnitGetParameter(unit, 0, kAudioUnitScope_Global, 0, nullptr), kAudio_ParamError);
}

TEST_P(BothEntries, ScheduledImmediateEventsApplyInOrderUntilAnUnknownParameter) {
    Unit unit(component());
    AudioUnitParameterValue before1 = 0;
    ASSERT_EQ(AudioUnitGetParameter(unit, 1, kAudioUnitScope_Global, 0, &before1), noErr);
    std::vector<AudioUnitParameterEvent> events(4);
    events[0].parameter = 15;
    events[0].eventType = kParameterEvent_Immediate;
    events[0].eventValues.immediate.value = 1.0f;
    events[1].parameter = 1;  // ramps are ignored
    events[1].eventType = kParameterEvent_Ramped;
    events[1].eventValues.ramp.startValue = events[1].eventValues.ramp.endValue = before1 > 0.5f ? 0.0f : 1.0f;
    events[2].parameter = 99;
    events[2].eventType = kParameterEvent_Immediate;
    events[3].parameter = 15;
    events[3].eventType = kParameterEvent_Immediate;
    events[3].eventValues.immediate.value = 0.0f;
    EXPECT_EQ(AudioUnitScheduleParameters(unit, events.data(), UInt32(events.size())), kAudioUnitErr_InvalidParameter);
    AudioUnitParameterValue v15 = 0, v1 = 0;
    ASSERT_EQ(AudioUnitGetParameter(unit, 15, kAudioUnitScope_Global, 0, &v15), noErr);
    ASSERT_EQ(AudioUnitGetParameter(unit, 1, kAudioUnitScope_Global, 0, &v1), noErr);
    EXPECT_EQ(v15, 1.0f);  // the event after the unknown one was not applied
    EXPECT_EQ(v1, before1);
}

struct ListenerLog {
    std::vector<AudioUnitPropertyID> ids;
    std::vector<AudioUnitScope> scopes;
    std::vector<AudioUnitElement> elements;
    AudioUnit unit = nullptr;
    static void proc(void* ref, AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement e) {
        auto* log = static_cast<ListenerLog*>(ref);
        log->ids.push_back(id);
        log->scopes.push_back(scope);
        log->elements.push_back(e);
        log->unit = unit;
    }
    static void other(void* ref, AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement e) {
        proc(ref, unit, id, scope, e);
    }
};

TEST_P(BothEntries, PropertyListenersHearEverySetOnceWhateverItsOutcome) {
    Unit unit(component());
    ListenerLog log;
    ASSERT_EQ(AudioUnitAddPropertyListener(unit, kAudioUnitProperty_StreamFormat, ListenerLog::proc, &log), noErr);
    ASSERT_EQ(AudioUnitAddPropertyListener(unit, kAudioUnitProperty_StreamFormat, ListenerLog::proc, &log), noErr);
    ASSERT_EQ(autest::setStreamFormat(unit, kAudioUnitScope_Input, 0, 48000, 2), noErr);
    ASSERT_EQ(log.ids.size(), 1u);  // the duplicate registration was not added
    EXPECT_EQ(log.scopes[0], kAudioUnitScope_Input);
    EXPECT_EQ(log.unit, unit.get());
    EXPECT_EQ(autest::setStreamFormat(unit, kAudioUnitScope_Input, 0, 48000, 3), kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(log.ids.size(), 2u);
    EXPECT_EQ(autest::setMaxFrames(unit, 256), noErr);  // another property: not heard
    EXPECT_EQ(log.ids.size(), 2u);
    ASSERT_EQ(AudioUnitRemovePropertyListenerWithUserData(unit, kAudioUnitProperty_StreamFormat, ListenerLog::proc,
                                                          &log),
              noErr);
    ASSERT_EQ(autest::setStreamFormat(unit, kAudioUnitScope_Input, 0, 48000, 1), noErr);
    EXPECT_EQ(log.ids.size(), 2u);
}

TEST_P(BothEntries, RemovingWithUserDataKeepsOtherUsersOfTheSameProcedure) {
    Unit unit(component());
    ListenerLog a, b;
    ASSERT_EQ(AudioUnitAddPropertyListener(unit, kAudioUnitProperty_BypassEffect, ListenerLog::proc, &a), noErr);
    ASSERT_EQ(AudioUnitAddPropertyListener(unit, kAudioUnitProperty_BypassEffect, ListenerLog::other, &b), noErr);
    ASSERT_EQ(AudioUnitRemovePropertyListenerWithUserData(unit, kAudioUnitProperty_BypassEffect, ListenerLog::proc, &b),
              noErr);  // wrong user data: nothing removed
    const UInt32 on = 1;
    ASSERT_EQ(autest::setProperty(unit, kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, on), noErr);
    EXPECT_EQ(a.ids.size(), 1u);
    EXPECT_EQ(b.ids.size(), 1u);
    ASSERT_EQ(AudioUnitRemovePropertyListenerWithUserData(unit, kAudioUnitProperty_BypassEffect, ListenerLog::proc, &a),
              noErr);
    ASSERT_EQ(autest::setProperty(unit, kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, on), noErr);
    EXPECT_EQ(a.ids.size(), 1u);
    EXPECT_EQ(b.ids.size(), 2u);
}

// The floating-point state seen inside the unit (by its input callback during render).
struct FpProbe {
    std::uint32_t mxcsr = 0;
    std::uint16_t x87 = 0;
    static OSStatus render(void* ref, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                           AudioBufferList* data) {
        auto* probe = static_cast<FpProbe*>(ref);
        probe->mxcsr = fw::getSSEControlState();
        probe->x87 = fw::getFPUControlState();
        for (UInt32 c = 0; c < data->mNumberBuffers; ++c)
            std::fill_n(static_cast<float*>(data->mBuffers[c].mData), frames, 0.0f);
        return noErr;
    }
};

TEST_P(BothEntries, EveryEntryRunsInTheAudioFloatingPointStateAndRestoresTheCallers) {
    const std::uint32_t callerMXCSR = 0x1F80;  // the default: no flush-to-zero
    const std::uint16_t callerX87 = 0x27F;     // double precision
    const std::uint32_t savedMXCSR = fw::getSSEControlState();
    const std::uint16_t savedX87 = fw::getFPUControlState();
    fw::setSSEControlState(callerMXCSR);
    fw::setFPUControlState(callerX87);

    Unit unit(component());
    FpProbe probe;
    const AURenderCallbackStruct cb{FpProbe::render, &probe};
    EXPECT_EQ(autest::setProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, cb), noErr);
    EXPECT_EQ(AudioUnitInitialize(unit), noErr);
    autest::RenderHarness harness(unit, 2, 64);
    EXPECT_EQ(harness.render(64), noErr);
    EXPECT_EQ(probe.mxcsr & 0xFFC0u, fw::kAudioMXCSR & 0xFFC0u);  // control bits; the low six are flags
    EXPECT_EQ(probe.x87, fw::kAudioFPUControlWord);
    AudioUnitParameterValue value;
    EXPECT_EQ(AudioUnitGetParameter(unit, 0, kAudioUnitScope_Global, 0, &value), noErr);
    EXPECT_EQ(fw::getSSEControlState() & 0xFFC0u, callerMXCSR & 0xFFC0u);
    EXPECT_EQ(fw::getFPUControlState(), callerX87);

    fw::setSSEControlState(savedMXCSR);
    fw::setFPUControlState(savedX87);
}

INSTANTIATE_TEST_SUITE_P(FactoryAndComponentManager, BothEntries, ::testing::Bool());

TEST(Dispatch, FastDispatchIsOfferedOnlyToComponentManagerInstances) {
    Unit made(autest::kestrin().factory);
    void* proc = nullptr;
    EXPECT_EQ(autest::getProperty(made, kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global,
                                  kAudioUnitRenderSelect, proc),
              kAudioUnitErr_InvalidElement);

    Unit opened(autest::kestrin().entry);
    EXPECT_EQ(autest::getProperty(opened, kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global,
                                  kAudioUnitResetSelect, proc),
              kAudioUnitErr_InvalidElement);
    ASSERT_EQ(autest::getProperty(opened, kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global,
                                  kAudioUnitSetParameterSelect, proc),
              noErr);
    auto setParameter = reinterpret_cast<AudioUnitSetParameterProc>(proc);
    ASSERT_EQ(autest::getProperty(opened, kAudioUnitProperty_FastDispatch, kAudioUnitScope_Global,
                                  kAudioUnitGetParameterSelect, proc),
              noErr);
    auto getParameter = reinterpret_cast<AudioUnitGetParameterProc>(proc);
    void* storage = GetComponentInstanceStorage(opened);
    ASSERT_EQ(setParameter(storage, 15, kAudioUnitScope_Global, 0, 1.0f, 0), noErr);
    AudioUnitParameterValue value = 0;
    ASSERT_EQ(getParameter(storage, 15, kAudioUnitScope_Global, 0, &value), noErr);
    EXPECT_EQ(value, 1.0f);
    AudioUnitParameterValue viaHost = 0;
    ASSERT_EQ(AudioUnitGetParameter(opened, 15, kAudioUnitScope_Global, 0, &viaHost), noErr);
    EXPECT_EQ(viaHost, 1.0f);
}

TEST(Dispatch, MusicDeviceSelectorsAreRefusedByAnEffectWithoutMIDIInput) {
    Unit unit(autest::kestrin().factory);
    EXPECT_EQ(MusicDeviceMIDIEvent(unit, 0x90, 60, 100, 0), kAudioUnitErr_InvalidProperty);
    const UInt8 sysex[] = {0xF0, 0x7E, 0xF7};
    EXPECT_EQ(MusicDeviceSysEx(unit, sysex, sizeof sysex), kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(MusicDevicePrepareInstrument(unit, 0), kAudioUnitErr_InvalidProperty);
    MusicDeviceNoteParams params{2, 60, 100, {}};
    NoteInstanceID note = 0;
    EXPECT_EQ(MusicDeviceStartNote(unit, 0, 0, &note, 0, &params), kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(MusicDeviceStopNote(unit, 0, 60, 0), kAudioUnitErr_InvalidProperty);
}

using FakeDispatch = FakeOptionsReset;

TEST_F(FakeDispatch, MIDIInputReachesTheClientAtTheNextRenderWithClampedNotes) {
    autest::fakeOptions().receivesMIDI = true;
    Unit unit(autest::fakeComponent());
    autest::CallbackInput input([](int, long) { return 0.0f; });
    autest::prepareStereo(unit, input, 64);
    ASSERT_EQ(MusicDeviceMIDIEvent(unit, 0xB1, 7, 0x1FF, 5), noErr);
    autest::FakeClient& fake = fakeOf(unit);
    EXPECT_EQ(fake.midiReceived.load(), 0);  // queued for the render thread
    autest::RenderHarness harness(unit, 2, 64);
    ASSERT_EQ(harness.render(64), noErr);
    ASSERT_EQ(fake.midiReceived.load(), 1);
    EXPECT_EQ(fake.lastMidi.bytes[0], 0xB1);
    EXPECT_EQ(fake.lastMidi.bytes[2], 0x7F);
    EXPECT_EQ(fake.lastMidi.offset, 5);

    MusicDeviceNoteParams params{2, 200.0f, -3.0f, {}};
    NoteInstanceID note = 0;
    ASSERT_EQ(MusicDeviceStartNote(unit, 0, 0, &note, 0, &params), noErr);
    ASSERT_EQ(harness.render(64), noErr);
    ASSERT_EQ(fake.midiReceived.load(), 2);
    EXPECT_EQ(fake.lastMidi.bytes[0], 0x90);
    EXPECT_EQ(fake.lastMidi.bytes[1], 127);
    EXPECT_EQ(fake.lastMidi.bytes[2], 0);
    EXPECT_EQ(MusicDeviceStartNote(unit, 0, 0, &note, 0, nullptr), kAudio_ParamError);
    EXPECT_EQ(MusicDeviceSysEx(unit, nullptr, 0), noErr);
}

struct MidiOutLog {
    std::vector<std::vector<UInt8>> packets;
    std::vector<UInt64> times;
    static OSStatus proc(void* ref, const AudioTimeStamp*, UInt32, const struct MIDIPacketList* list) {
        // CoreMIDI's layout: numPackets, then packets of {UInt64 time, UInt16 length, data}, 4-byte packed.
        const auto* bytes = reinterpret_cast<const unsigned char*>(list);
        UInt32 count;
        std::memcpy(&count, bytes, 4);
        auto* log = static_cast<MidiOutLog*>(ref);
        for (UInt32 i = 0; i < count && i < 1; ++i) {
            UInt64 time;
            UInt16 length;
            std::memcpy(&time, bytes + 4, 8);
            std::memcpy(&length, bytes + 12, 2);
            log->times.push_back(time);
            log->packets.emplace_back(bytes + 14, bytes + 14 + length);
        }
        return noErr;
    }
};

TEST_F(FakeDispatch, MIDIOutputIsDeliveredToTheHostCallbackOnePacketPerMessage) {
    autest::fakeOptions().sendsMIDI = true;
    Unit unit(autest::fakeComponent());
    CFArrayRef names = nullptr;
    ASSERT_EQ(autest::getProperty(unit, kAudioUnitProperty_MIDIOutputCallbackInfo, kAudioUnitScope_Global, 0, names),
              noErr);
    auhost::CFRef<CFArrayRef> keep(names);
    ASSERT_EQ(CFArrayGetCount(names), 1);
    EXPECT_EQ(auhost::toUTF8(static_cast<CFStringRef>(CFArrayGetValueAtIndex(names, 0))), "MIDI Out");
    MidiOutLog log;
    const AUMIDIOutputCallbackStruct cb{MidiOutLog::proc, &log};
    ASSERT_EQ(autest::setProperty(unit, kAudioUnitProperty_MIDIOutputCallback, kAudioUnitScope_Global, 0, cb), noErr);
    autest::CallbackInput input([](int, long) { return 0.0f; });
    autest::prepareStereo(unit, input, 64);
    autest::RenderHarness harness(unit, 2, 64);
    ASSERT_EQ(harness.render(64), noErr);
    ASSERT_EQ(log.packets.size(), 1u);
    EXPECT_EQ(log.packets[0], (std::vector<UInt8>{0x90, 60, 100}));
    EXPECT_EQ(log.times[0], 3u);
}

TEST_F(FakeDispatch, HostIdentificationReachesTheClient) {
    Unit unit(autest::fakeComponent());
    fw::Client& client = fakeOf(unit);
    EXPECT_EQ(client.getDAW(), fw::DAW::unknown);
    EXPECT_EQ(client.getPluginFormat(), fw::PluginFormat::auv2);
    AUHostVersionIdentifier host{CFSTR("vst3plugintesthost 1.0"), 0x10000};
    ASSERT_EQ(autest::setProperty(unit, kAudioUnitProperty_AUHostIdentifier, kAudioUnitScope_Global, 0, host), noErr);
    EXPECT_EQ(client.getDAW(), fw::DAW::vst3TestHost);
    host.hostName = nullptr;
    EXPECT_EQ(autest::setProperty(unit, kAudioUnitProperty_AUHostIdentifier, kAudioUnitScope_Global, 0, host),
              kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(client.getDAW(), fw::DAW::vst3TestHost);
}

TEST_F(FakeDispatch, EditorGesturesReachEventListenersAsParameterEvents) {
    Unit unit(autest::fakeComponent());
    std::unique_ptr<auhost::EventObserver> observer;
    ASSERT_TRUE(auhost::EventObserver::create(unit, {0}, {}, observer).ok());
    auto* gain = static_cast<fw::LinearFloatParameter*>(fakeOf(unit).param(0));
    gain->beginParamEdit();
    gain->setFromGUI(0.75);
    gain->endParamEdit();
    const std::vector<auhost::ObservedEvent> events = observer->events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].type, kAudioUnitEvent_BeginParameterChangeGesture);
    EXPECT_EQ(events[1].type, kAudioUnitEvent_ParameterValueChange);
    EXPECT_EQ(events[1].value, 0.75f);  // read back from the unit
    EXPECT_EQ(events[2].type, kAudioUnitEvent_EndParameterChangeGesture);
    for (const auhost::ObservedEvent& e : events) {
        EXPECT_EQ(e.id, 0u);
        EXPECT_EQ(e.scope, kAudioUnitScope_Global);
        EXPECT_EQ(e.element, 0u);
    }
    EXPECT_TRUE(fakeOf(unit).requestResize(450, 225));
}

}  // namespace
