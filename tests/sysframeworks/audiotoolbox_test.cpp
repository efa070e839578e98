// Audio Components and Audio Unit dispatch through both entry styles, the
// Component Manager, and parameter/event listeners, driven with TestGain.

#include "cftestutil.h"
#include "support/realtime_watch.h"
#include "testgainunit.h"

#include <AudioToolbox/AudioToolbox.h>
#include <CoreServices/CoreServices.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

using cftest::Ref;
using cftest::text;

AudioComponentDescription gainDescription() {
    return AudioComponentDescription{kAudioUnitType_Effect, kTestGainSubType, kTestGainManufacturer, 0, 0};
}

// TestGain registered both ways once: through its factory, and through the
// Component Manager with its entry function (under another subtype).
constexpr OSType kManagerSubType = 0x74676D67;  // 'tgmg'

struct Registered {
    AudioComponent factory = nullptr;
    AudioComponent manager = nullptr;
};

const Registered& registered() {
    static Registered r = [] {
        Registered out;
        const AudioComponentDescription d = gainDescription();
        out.factory = AudioComponentRegister(&d, CFSTR("Test: TestGain"), kTestGainVersion, TestGainFactory);
        ComponentDescription cd{kAudioUnitType_Effect, kManagerSubType, kTestGainManufacturer, 0, 0};
        unsigned char name[] = "\x0bTest: Entry";
        Ptr namePtr = reinterpret_cast<Ptr>(name);
        RegisterComponent(&cd, TestGainEntry, 0, &namePtr, nullptr, nullptr);
        AudioComponentDescription md{kAudioUnitType_Effect, kManagerSubType, 0, 0, 0};
        out.manager = AudioComponentFindNext(nullptr, &md);
        return out;
    }();
    return r;
}

// One instance per test, of the chosen kind.
class Unit {
public:
    explicit Unit(AudioComponent c) { EXPECT_EQ(AudioComponentInstanceNew(c, &unit_), noErr); }
    ~Unit() {
        if (unit_) {
            EXPECT_EQ(AudioComponentInstanceDispose(unit_), noErr);
        }
    }
    AudioUnit get() const { return unit_; }

private:
    AudioUnit unit_ = nullptr;
};

struct Source {
    float value = 0.5f;
    int calls = 0;
};

OSStatus fillInput(void* refCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32 bus, UInt32 frames,
                   AudioBufferList* io) {
    auto* s = static_cast<Source*>(refCon);
    ++s->calls;
    if (bus != 0) return kAudioUnitErr_InvalidElement;
    for (UInt32 b = 0; b < io->mNumberBuffers; ++b)
        for (UInt32 i = 0; i < frames; ++i) static_cast<float*>(io->mBuffers[b].mData)[i] = s->value * (b + 1);
    return noErr;
}

// Renders one block into two channels and returns them.
struct Block {
    float left[64] = {};
    float right[64] = {};
    struct {
        UInt32 count = 2;
        AudioBuffer buffers[2];
    } list;
    Block() {
        list.buffers[0] = AudioBuffer{1, sizeof left, left};
        list.buffers[1] = AudioBuffer{1, sizeof right, right};
    }
    AudioBufferList* abl() { return reinterpret_cast<AudioBufferList*>(&list); }
};

AudioTimeStamp timeAt(Float64 sample) {
    AudioTimeStamp ts{};
    ts.mSampleTime = sample;
    ts.mFlags = kAudioTimeStampSampleTimeValid;
    return ts;
}

void exerciseUnit(AudioUnit unit) {
    Source source;
    AURenderCallbackStruct cb{fillInput, &source};
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &cb, sizeof cb), noErr);
    UInt32 maxFrames = 64;
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &maxFrames,
                                   sizeof maxFrames), noErr);
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
    ASSERT_EQ(AudioUnitSetParameter(unit, 0, kAudioUnitScope_Global, 0, 1.5f, 0), noErr);
    AudioUnitParameterValue gain = 0;
    ASSERT_EQ(AudioUnitGetParameter(unit, 0, kAudioUnitScope_Global, 0, &gain), noErr);
    EXPECT_EQ(gain, 1.5f);
    EXPECT_EQ(AudioUnitSetParameter(unit, 7, kAudioUnitScope_Global, 0, 1.0f, 0), kAudioUnitErr_InvalidParameter);

    UInt32 size = 0;
    Boolean writable = false;
    ASSERT_EQ(AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &size, &writable), noErr);
    EXPECT_EQ(size, sizeof(AudioStreamBasicDescription));
    EXPECT_TRUE(writable);
    AudioStreamBasicDescription format{};
    size = sizeof format;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &format, &size), noErr);
    EXPECT_EQ(format.mFormatFlags, kAudioFormatFlagsAudioUnitCanonical);
    EXPECT_EQ(format.mChannelsPerFrame, 2u);

    Block block;
    AudioTimeStamp ts = timeAt(0);
    AudioUnitRenderActionFlags flags = 0;
    ASSERT_EQ(AudioUnitRender(unit, &flags, &ts, 0, 64, block.abl()), noErr);
    EXPECT_EQ(source.calls, 1);
    EXPECT_FLOAT_EQ(block.left[10], 0.75f);
    EXPECT_FLOAT_EQ(block.right[63], 1.5f);
    EXPECT_EQ(AudioUnitRender(unit, &flags, &ts, 0, 65, block.abl()), kAudioUnitErr_TooManyFramesToProcess);

    AudioUnitParameterEvent events[2] = {};
    events[0].parameter = 0;
    events[0].eventType = kParameterEvent_Immediate;
    events[0].eventValues.immediate.value = 0.25f;
    events[1].parameter = 1;
    events[1].eventType = kParameterEvent_Ramped;
    events[1].eventValues.ramp.endValue = 0.5f;
    ASSERT_EQ(AudioUnitScheduleParameters(unit, events, 2), noErr);
    AudioUnitGetParameter(unit, 0, kAudioUnitScope_Global, 0, &gain);
    EXPECT_EQ(gain, 0.25f);
    EXPECT_EQ(AudioUnitReset(unit, kAudioUnitScope_Global, 0), noErr);

    TestGainCounters* counters = nullptr;
    size = sizeof counters;
    ASSERT_EQ(AudioUnitGetProperty(unit, kTestGainProperty_Counters, kAudioUnitScope_Global, 0, &counters, &size), noErr);
    EXPECT_EQ(counters->renders, 1);
    EXPECT_EQ(counters->resets, 1);
    EXPECT_EQ(counters->scheduledImmediate, 1);
    EXPECT_EQ(counters->scheduledRamps, 1);
    EXPECT_EQ(AudioUnitUninitialize(unit), noErr);
}

TEST(AudioComponents, FindsRegisteredComponentsWithWildcardFields) {
    const Registered& r = registered();
    ASSERT_NE(r.factory, nullptr);
    ASSERT_NE(r.manager, nullptr);
    AudioComponentDescription any{kAudioUnitType_Effect, 0, kTestGainManufacturer, 0, 0};
    std::vector<AudioComponent> found;
    for (AudioComponent c = AudioComponentFindNext(nullptr, &any); c; c = AudioComponentFindNext(c, &any)) found.push_back(c);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0], r.factory);  // factory components first
    EXPECT_EQ(found[1], r.manager);
    EXPECT_EQ(AudioComponentCount(&any), 2u);
    AudioComponentDescription none{kAudioUnitType_MusicDevice, 0, 0, 0, 0};
    EXPECT_EQ(AudioComponentFindNext(nullptr, &none), nullptr);
    CFStringRef name = nullptr;
    ASSERT_EQ(AudioComponentCopyName(r.manager, &name), noErr);
    EXPECT_EQ(text(name), "Test: Entry");
    CFRelease(name);
    UInt32 version = 0;
    EXPECT_EQ(AudioComponentGetVersion(r.manager, &version), noErr);
    EXPECT_EQ(version, kTestGainVersion);
    AudioComponentDescription d{};
    EXPECT_EQ(AudioComponentGetDescription(r.factory, &d), noErr);
    EXPECT_EQ(d.componentSubType, kTestGainSubType);
}

TEST(AudioUnitDispatch, FactoryInstanceAnswersEverySelectorThroughLookup) {
    Unit unit(registered().factory);
    ASSERT_NE(unit.get(), nullptr);
    exerciseUnit(unit.get());
    // The instance storage of a factory instance is the plug-in (its `self`).
    EXPECT_NE(GetComponentInstanceStorage(unit.get()), nullptr);
    EXPECT_EQ(AudioComponentInstanceGetComponent(unit.get()), registered().factory);
}

TEST(AudioUnitDispatch, ComponentManagerInstanceGetsParametersInPascalOrder) {
    Unit unit(registered().manager);
    ASSERT_NE(unit.get(), nullptr);
    exerciseUnit(unit.get());
    EXPECT_EQ(CallComponentVersion(unit.get()), static_cast<ComponentResult>(kTestGainVersion));
    EXPECT_TRUE(AudioComponentInstanceCanDo(unit.get(), kAudioUnitRenderSelect));
    EXPECT_FALSE(AudioComponentInstanceCanDo(unit.get(), kAudioUnitProcessSelect));
    EXPECT_EQ(AudioComponentInstanceGetComponent(unit.get()), registered().manager);
}

TEST(AudioUnitDispatch, UnimplementedSelectorsAndBadUnitsAreRefused) {
    Unit unit(registered().factory);
    Block block;
    AudioTimeStamp ts = timeAt(0);
    EXPECT_EQ(AudioUnitProcess(unit.get(), nullptr, &ts, 16, block.abl()), badComponentSelector);
    EXPECT_EQ(MusicDeviceMIDIEvent(unit.get(), 0x90, 60, 100, 0), badComponentSelector);
    EXPECT_EQ(AudioUnitInitialize(nullptr), kAudio_ParamError);
    char garbage[64] = {};
    EXPECT_EQ(AudioUnitRender(reinterpret_cast<AudioUnit>(garbage), nullptr, &ts, 0, 16, block.abl()), kAudio_ParamError);
    EXPECT_EQ(AudioComponentInstanceDispose(nullptr), kAudio_ParamError);
}

TEST(AudioUnitDispatch, RenderAllocatesNothingAndTakesNoLock) {
    Unit unit(registered().factory);
    Source source;
    AURenderCallbackStruct cb{fillInput, &source};
    AudioUnitSetProperty(unit.get(), kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &cb, sizeof cb);
    ASSERT_EQ(AudioUnitInitialize(unit.get()), noErr);
    Block block;
    testsupport::RealtimeCounts counts;
    {
        testsupport::RealtimeWatch watch;
        for (int i = 0; i < 100; ++i) {
            AudioTimeStamp ts = timeAt(64.0 * i);
            AudioUnitRenderActionFlags flags = 0;
            if (AudioUnitRender(unit.get(), &flags, &ts, 0, 64, block.abl()) != noErr) break;
        }
        counts = watch.counts();
    }
    EXPECT_EQ(source.calls, 100);
    EXPECT_EQ(counts.allocations, 0);
    EXPECT_EQ(counts.locks, 0);
    EXPECT_EQ(counts.blockingCalls, 0);
}

struct PropertyLog {
    std::vector<AudioUnitPropertyID> ids;
};

void logProperty(void* refCon, AudioUnit, AudioUnitPropertyID id, AudioUnitScope, AudioUnitElement) {
    static_cast<PropertyLog*>(refCon)->ids.push_back(id);
}

struct NotifyLog {
    std::vector<AudioUnitRenderActionFlags> flags;
};

OSStatus logNotify(void* refCon, AudioUnitRenderActionFlags* flags, const AudioTimeStamp*, UInt32, UInt32, AudioBufferList*) {
    static_cast<NotifyLog*>(refCon)->flags.push_back(*flags);
    return noErr;
}

TEST(AudioUnitDispatch, PropertyListenersAndRenderNotificationsReachTheHost) {
    for (AudioComponent c : {registered().factory, registered().manager}) {
        Unit unit(c);
        PropertyLog log;
        ASSERT_EQ(AudioUnitAddPropertyListener(unit.get(), kAudioUnitProperty_MaximumFramesPerSlice, logProperty, &log), noErr);
        UInt32 frames = 32;
        AudioUnitSetProperty(unit.get(), kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &frames, sizeof frames);
        ASSERT_EQ(log.ids.size(), 1u);
        ASSERT_EQ(AudioUnitRemovePropertyListenerWithUserData(unit.get(), kAudioUnitProperty_MaximumFramesPerSlice, logProperty, &log), noErr);
        AudioUnitSetProperty(unit.get(), kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, &frames, sizeof frames);
        EXPECT_EQ(log.ids.size(), 1u);

        NotifyLog notes;
        ASSERT_EQ(AudioUnitAddRenderNotify(unit.get(), logNotify, &notes), noErr);
        ASSERT_EQ(AudioUnitInitialize(unit.get()), noErr);
        Block block;
        AudioTimeStamp ts = timeAt(0);
        ASSERT_EQ(AudioUnitRender(unit.get(), nullptr, &ts, 0, 16, block.abl()), noErr);
        ASSERT_EQ(notes.flags.size(), 2u);
        EXPECT_EQ(notes.flags[0], kAudioUnitRenderAction_PreRender);
        EXPECT_EQ(notes.flags[1], kAudioUnitRenderAction_PostRender);
        ASSERT_EQ(AudioUnitRemoveRenderNotify(unit.get(), logNotify, &notes), noErr);
        AudioUnitRender(unit.get(), nullptr, &ts, 0, 16, block.abl());
        EXPECT_EQ(notes.flags.size(), 2u);
    }
}

TEST(AudioUnitDispatch, ConnectionPullsFromTheUpstreamUnit) {
    Unit upstream(registered().factory), downstream(registered().manager);
    Source source;
    AURenderCallbackStruct cb{fillInput, &source};
    AudioUnitSetProperty(upstream.get(), kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &cb, sizeof cb);
    AudioUnitSetParameter(upstream.get(), 0, kAudioUnitScope_Global, 0, 2.0f, 0);
    AudioUnitSetParameter(downstream.get(), 0, kAudioUnitScope_Global, 0, 0.5f, 0);
    AudioUnitConnection connection{upstream.get(), 0, 0};
    ASSERT_EQ(AudioUnitSetProperty(downstream.get(), kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0,
                                   &connection, sizeof connection), noErr);
    ASSERT_EQ(AudioUnitInitialize(upstream.get()), noErr);
    ASSERT_EQ(AudioUnitInitialize(downstream.get()), noErr);
    Block block;
    AudioTimeStamp ts = timeAt(0);
    ASSERT_EQ(AudioUnitRender(downstream.get(), nullptr, &ts, 0, 8, block.abl()), noErr);
    EXPECT_FLOAT_EQ(block.left[0], 0.5f);   // 0.5 * 2 * 0.5
    EXPECT_FLOAT_EQ(block.right[7], 1.0f);  // 1.0 * 2 * 0.5
}

int gFailingCloses = 0;

ComponentResult failingEntry(ComponentParameters* p, Handle) {
    if (p->what == kComponentOpenSelect) return -50;
    if (p->what == kComponentCloseSelect) return ++gFailingCloses, noErr;
    return badComponentSelector;
}

TEST(ComponentManager, OpenFailureClosesAndReportsTheError) {
    ComponentDescription cd{0x78787878, 0x78787878, 0x78787878, 0, 0};
    Component c = RegisterComponent(&cd, failingEntry, 0, nullptr, nullptr, nullptr);
    ComponentInstance ci = reinterpret_cast<ComponentInstance>(1);
    EXPECT_EQ(OpenAComponent(c, &ci), -50);
    EXPECT_EQ(ci, nullptr);
    EXPECT_EQ(gFailingCloses, 1);  // the component could free what its open made
    EXPECT_EQ(CountComponentInstances(c), 0);
    EXPECT_EQ(FindNextComponent(nullptr, &cd), c);
    EXPECT_EQ(UnregisterComponent(c), noErr);
    EXPECT_EQ(FindNextComponent(nullptr, &cd), nullptr);
}

TEST(ComponentManager, StorageAndErrorBelongToTheInstance) {
    registered();
    ComponentDescription cd{kAudioUnitType_Effect, kManagerSubType, kTestGainManufacturer, 0, 0};
    Component c = FindNextComponent(nullptr, &cd);
    ASSERT_NE(c, nullptr);
    ComponentInstance a = OpenComponent(c), b = OpenComponent(c);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(CountComponentInstances(c), 2);
    EXPECT_NE(GetComponentInstanceStorage(a), GetComponentInstanceStorage(b));  // each open made its own unit
    SetComponentInstanceError(a, -1);
    EXPECT_EQ(GetComponentInstanceError(a), -1);
    EXPECT_EQ(GetComponentInstanceError(b), 0);
    unsigned char name[256];
    Ptr namePtr = reinterpret_cast<Ptr>(name);
    ComponentDescription got{};
    ASSERT_EQ(GetComponentInfo(c, &got, &namePtr, nullptr, nullptr), noErr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(name + 1), name[0]), "Test: Entry");
    EXPECT_EQ(CloseComponent(a), noErr);
    EXPECT_EQ(CloseComponent(b), noErr);
    EXPECT_EQ(CountComponentInstances(c), 0);
    EXPECT_EQ(GetComponentInstanceStorage(nullptr), nullptr);
}

// Collects the events a listener receives.
struct EventLog {
    struct Entry {
        AudioUnitEventType type;
        AudioUnitParameterID id;
        AudioUnitParameterValue value;
        void* object;
    };
    std::vector<Entry> entries;
    AUEventListenerRef self = nullptr;
    bool disposeOnFirst = false;
};

void logEvent(void* userData, void* object, const AudioUnitEvent* e, UInt64, AudioUnitParameterValue value) {
    auto* log = static_cast<EventLog*>(userData);
    log->entries.push_back({e->mEventType, e->mArgument.mParameter.mParameterID, value, object});
    if (log->disposeOnFirst && log->self) {
        AUListenerDispose(log->self);
        log->self = nullptr;
    }
}

AudioUnitEvent parameterEvent(AudioUnitEventType type, AudioUnit unit, AudioUnitParameterID id) {
    AudioUnitEvent e{};
    e.mEventType = type;
    e.mArgument.mParameter = AudioUnitParameter{unit, id, kAudioUnitScope_Global, 0};
    return e;
}

TEST(EventListeners, HostObservesGesturesAndValueChangesSynchronously) {
    Unit unit(registered().factory);
    EventLog log;
    AUEventListenerRef listener = nullptr;
    ASSERT_EQ(AUEventListenerCreate(logEvent, &log, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode, 0.05f, 0.05f, &listener), noErr);
    int token = 0;
    for (AudioUnitEventType t : {kAudioUnitEvent_BeginParameterChangeGesture, kAudioUnitEvent_ParameterValueChange,
                                 kAudioUnitEvent_EndParameterChangeGesture}) {
        const AudioUnitEvent e = parameterEvent(t, unit.get(), 0);
        ASSERT_EQ(AUEventListenerAddEventType(listener, &token, &e), noErr);
    }
    AudioUnitSetParameter(unit.get(), 0, kAudioUnitScope_Global, 0, 1.25f, 0);
    const UInt32 parameter = 0;
    ASSERT_EQ(AudioUnitSetProperty(unit.get(), kTestGainProperty_SimulateGesture, kAudioUnitScope_Global, 0, &parameter,
                                   sizeof parameter), noErr);
    ASSERT_EQ(log.entries.size(), 3u);
    EXPECT_EQ(log.entries[0].type, kAudioUnitEvent_BeginParameterChangeGesture);
    EXPECT_EQ(log.entries[1].type, kAudioUnitEvent_ParameterValueChange);
    EXPECT_EQ(log.entries[2].type, kAudioUnitEvent_EndParameterChangeGesture);
    EXPECT_EQ(log.entries[1].value, 1.25f);
    EXPECT_EQ(log.entries[1].object, &token);
    // Parameter 1 has no registration; another unit's events do not arrive either.
    const UInt32 other = 1;
    AudioUnitSetProperty(unit.get(), kTestGainProperty_SimulateGesture, kAudioUnitScope_Global, 0, &other, sizeof other);
    Unit second(registered().factory);
    AudioUnitSetProperty(second.get(), kTestGainProperty_SimulateGesture, kAudioUnitScope_Global, 0, &parameter, sizeof parameter);
    EXPECT_EQ(log.entries.size(), 3u);
    EXPECT_EQ(AUListenerDispose(listener), noErr);
    AudioUnitSetProperty(unit.get(), kTestGainProperty_SimulateGesture, kAudioUnitScope_Global, 0, &parameter, sizeof parameter);
    EXPECT_EQ(log.entries.size(), 3u);
    EXPECT_EQ(AUListenerDispose(listener), kAudio_ParamError);  // already gone
}

TEST(EventListeners, AnyParameterNotificationReachesEachRegisteredParameterAndSkipsTheSender) {
    Unit unit(registered().factory);
    AudioUnitSetParameter(unit.get(), 1, kAudioUnitScope_Global, 0, 0.75f, 0);
    EventLog log, senderLog;
    AUEventListenerRef listener = nullptr, sender = nullptr;
    AUEventListenerCreate(logEvent, &log, nullptr, nullptr, 0, 0, &listener);
    AUEventListenerCreate(logEvent, &senderLog, nullptr, nullptr, 0, 0, &sender);
    const AudioUnitEvent e = parameterEvent(kAudioUnitEvent_ParameterValueChange, unit.get(), 1);
    AUEventListenerAddEventType(listener, nullptr, &e);
    AUEventListenerAddEventType(sender, nullptr, &e);
    const AudioUnitParameter all{unit.get(), kAUParameterListener_AnyParameter, kAudioUnitScope_Global, 0};
    ASSERT_EQ(AUParameterListenerNotify(sender, nullptr, &all), noErr);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].id, 1u);
    EXPECT_EQ(log.entries[0].value, 0.75f);
    EXPECT_TRUE(senderLog.entries.empty());
    AUListenerDispose(listener);
    AUListenerDispose(sender);
}

TEST(EventListeners, ListenerMayDisposeItselfWhileBeingNotified) {
    Unit unit(registered().factory);
    EventLog log;
    log.disposeOnFirst = true;
    AUEventListenerCreate(logEvent, &log, nullptr, nullptr, 0, 0, &log.self);
    for (AudioUnitEventType t : {kAudioUnitEvent_BeginParameterChangeGesture, kAudioUnitEvent_EndParameterChangeGesture}) {
        const AudioUnitEvent e = parameterEvent(t, unit.get(), 0);
        AUEventListenerAddEventType(log.self, nullptr, &e);
    }
    const AudioUnitEvent begin = parameterEvent(kAudioUnitEvent_BeginParameterChangeGesture, unit.get(), 0);
    AUEventListenerNotify(nullptr, nullptr, &begin);
    const AudioUnitEvent end = parameterEvent(kAudioUnitEvent_EndParameterChangeGesture, unit.get(), 0);
    AUEventListenerNotify(nullptr, nullptr, &end);
    EXPECT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.self, nullptr);
}

TEST(EventListeners, PropertyChangeEventsFollowTheUnitsListeners) {
    Unit unit(registered().factory);
    EventLog log;
    AUEventListenerRef listener = nullptr;
    AUEventListenerCreate(logEvent, &log, nullptr, nullptr, 0, 0, &listener);
    AudioUnitEvent e{};
    e.mEventType = kAudioUnitEvent_PropertyChange;
    e.mArgument.mProperty = AudioUnitProperty{unit.get(), kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0};
    ASSERT_EQ(AUEventListenerAddEventType(listener, nullptr, &e), noErr);
    Float64 rate = 48000;
    AudioUnitSetProperty(unit.get(), kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, &rate, sizeof rate);
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].type, kAudioUnitEvent_PropertyChange);
    AudioUnitSetProperty(unit.get(), kAudioUnitProperty_SampleRate, kAudioUnitScope_Input, 0, &rate, sizeof rate);
    EXPECT_EQ(log.entries.size(), 1u);  // another scope
    ASSERT_EQ(AUEventListenerRemoveEventType(listener, nullptr, &e), noErr);
    AudioUnitSetProperty(unit.get(), kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, &rate, sizeof rate);
    EXPECT_EQ(log.entries.size(), 1u);
    AUListenerDispose(listener);
}

TEST(EventListeners, ParameterSetWritesAndNotifiesParameterListeners) {
    Unit unit(registered().factory);
    struct Seen {
        int calls = 0;
        AudioUnitParameterValue value = 0;
    } seen;
    AUParameterListenerRef listener = nullptr;
    ASSERT_EQ(AUListenerCreate(
                  [](void* user, void*, const AudioUnitParameter*, AudioUnitParameterValue v) {
                      auto* s = static_cast<Seen*>(user);
                      ++s->calls;
                      s->value = v;
                  },
                  &seen, nullptr, nullptr, 0, &listener),
              noErr);
    const AudioUnitParameter gain{unit.get(), 0, kAudioUnitScope_Global, 0};
    AUListenerAddParameter(listener, nullptr, &gain);
    ASSERT_EQ(AUParameterSet(nullptr, nullptr, &gain, 0.5f, 0), noErr);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.value, 0.5f);
    EXPECT_FLOAT_EQ(AUParameterValueToLinear(0.5f, &gain), 0.25f);  // range 0..2
    EXPECT_FLOAT_EQ(AUParameterValueFromLinear(0.75f, &gain), 1.5f);
    char text[32];
    EXPECT_STREQ(AUParameterFormatValue(0.123456, &gain, text, 3), "0.123");
    AUListenerDispose(listener);
}

}  // namespace
