// A validation sequence like the one hosts run before they accept a unit: open, query
// every property in every scope and element, initialize with each layout and refuse
// illegal ones, render every block size from a callback and from a connection,
// parameters at their extremes, state round trip, preset selection, uninitialize,
// close and reopen; several instances at once on their own threads.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "auhost/cfref.h"
#include "aufixture.h"
#include "fakeclient.h"

namespace {

using autest::CallbackInput;
using autest::RenderHarness;
using autest::Unit;

constexpr AudioUnitScope kGlobal = kAudioUnitScope_Global;
constexpr UInt32 kMaxFrames = 512;

float signal(int channel, long frame) { return 0.3f * std::sin(0.02f * float(frame) * float(channel + 1)); }

// Releases what a successful GetProperty handed over.
void releaseResult(AudioUnitPropertyID id, const unsigned char* data) {
    auto cfAt = [&](std::size_t offset) {
        CFTypeRef ref;
        std::memcpy(&ref, data + offset, sizeof ref);
        if (ref != nullptr) CFRelease(ref);
    };
    switch (id) {
        case kAudioUnitProperty_ClassInfo:
        case kAudioUnitProperty_ParameterValueStrings:
        case kAudioUnitProperty_FactoryPresets:
        case kAudioUnitProperty_ElementName:
        case kAudioUnitProperty_MIDIOutputCallbackInfo: cfAt(0); break;
        case kAudioUnitProperty_CurrentPreset:
        case kAudioUnitProperty_PresentPreset: cfAt(offsetof(AUPreset, presetName)); break;
        case kAudioUnitProperty_CocoaUI:
            cfAt(0);
            cfAt(8);
            break;
        case kAudioUnitProperty_ParameterInfo: cfAt(offsetof(AudioUnitParameterInfo, cfNameString)); break;
        case kAudioUnitProperty_ParameterStringFromValue: cfAt(offsetof(AudioUnitParameterStringFromValue, outString)); break;
        case kAudioUnitProperty_ParameterIDName:
        case kAudioUnitProperty_ParameterClumpName: cfAt(offsetof(AudioUnitParameterIDName, outName)); break;
        default: break;
    }
}

void queryEveryProperty(AudioUnit unit) {
    std::vector<AudioUnitPropertyID> ids;
    for (AudioUnitPropertyID id = 0; id < 64; ++id) ids.push_back(id);
    ids.insert(ids.end(), {1000u, 2000u, 0xDEADBEEFu, 0xFFFFFFFFu});
    for (AudioUnitPropertyID id : ids) {
        for (AudioUnitScope scope : {0u, 1u, 2u, 3u, 4u, 0xFFFFFFFFu}) {
            for (AudioUnitElement element : {0u, 1u, 2u, 14u, 0xFFFFFFFFu}) {
                UInt32 size = 0;
                Boolean writable = 0;
                const OSStatus info = AudioUnitGetPropertyInfo(unit, id, scope, element, &size, &writable);
                alignas(8) unsigned char data[512] = {};
                UInt32 io = sizeof data;
                const OSStatus get = AudioUnitGetProperty(unit, id, scope, element, data, &io);
                if (info != noErr) {
                    EXPECT_EQ(get, info) << id << "/" << scope << "/" << element;
                    continue;
                }
                ASSERT_LE(size, sizeof data);
                // The requests that need their inputs filled in answer with their own codes.
                if (id == kAudioUnitProperty_ParameterClumpName) {
                    EXPECT_EQ(get, kAudioUnitErr_PropertyNotInUse);
                } else if (id == kAudioUnitProperty_ParameterValueFromString) {
                    EXPECT_EQ(get, kAudioUnitErr_InvalidProperty);
                } else {
                    EXPECT_EQ(get, noErr) << id << "/" << scope << "/" << element;
                    EXPECT_LE(io, size);
                }
                if (get == noErr) releaseResult(id, data);
            }
        }
    }
}

void renderEveryBlockSize(AudioUnit unit) {
    RenderHarness h(unit, 2, kMaxFrames);
    for (UInt32 frames = 1; frames <= kMaxFrames; ++frames) {
        ASSERT_EQ(h.render(frames), noErr) << frames;
        for (UInt32 c = 0; c < 2; ++c) ASSERT_TRUE(std::isfinite(h.channel(c)[frames - 1])) << frames;
    }
    EXPECT_EQ(h.render(kMaxFrames + 1), kAudioUnitErr_TooManyFramesToProcess);
}

std::vector<UInt8> stateChunk(AudioUnit unit) {
    CFPropertyListRef state = nullptr;
    EXPECT_EQ(autest::getProperty(unit, kAudioUnitProperty_ClassInfo, kGlobal, 0, state), noErr);
    auhost::CFRef<CFPropertyListRef> owned(state);
    const auto* data = static_cast<CFDataRef>(CFDictionaryGetValue(static_cast<CFDictionaryRef>(state), CFSTR("data")));
    return std::vector<UInt8>(CFDataGetBytePtr(data), CFDataGetBytePtr(data) + CFDataGetLength(data));
}

void validate(AudioComponent component) {
    std::vector<UInt8> defaults;
    {
        Unit unit(component);
        defaults = stateChunk(unit);
        queryEveryProperty(unit);

        // Each legal layout initializes; an illegal one is refused.
        for (UInt32 inputs : {1u, 2u}) {
            ASSERT_EQ(autest::setStreamFormat(unit, kAudioUnitScope_Input, 0, 44100, inputs), noErr);
            ASSERT_EQ(autest::setStreamFormat(unit, kAudioUnitScope_Output, 0, 44100, 2), noErr);
            EXPECT_EQ(AudioUnitInitialize(unit), noErr);
            EXPECT_EQ(AudioUnitUninitialize(unit), noErr);
        }
        EXPECT_EQ(autest::setStreamFormat(unit, kAudioUnitScope_Output, 0, 44100, 1), kAudioUnitErr_InvalidProperty);
        EXPECT_EQ(autest::setStreamFormat(unit, kAudioUnitScope_Input, 0, 44100, 4), kAudioUnitErr_InvalidProperty);

        CallbackInput input(signal);
        autest::prepareStereo(unit, input, kMaxFrames);
        renderEveryBlockSize(unit);

        // From a connection: another instance of the same component.
        Unit upstream(component);
        CallbackInput upstreamInput(signal);
        autest::prepareStereo(upstream, upstreamInput, kMaxFrames);
        const AudioUnitConnection connection{upstream, 0, 0};
        ASSERT_EQ(autest::setProperty(unit, kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, connection),
                  noErr);
        renderEveryBlockSize(unit);
        EXPECT_GT(upstreamInput.calls, 0);
        ASSERT_EQ(input.attach(unit), noErr);

        // Parameters at and beyond their extremes.
        RenderHarness h(unit, 2, kMaxFrames);
        for (float value : {0.0f, 1.0f, -1.0f, 2.0f, std::nanf("")}) {
            for (AudioUnitParameterID id = 0; id < 16; ++id) {
                ASSERT_EQ(AudioUnitSetParameter(unit, id, kGlobal, 0, value, 0), noErr);
                AudioUnitParameterValue back = -1;
                ASSERT_EQ(AudioUnitGetParameter(unit, id, kGlobal, 0, &back), noErr);
                EXPECT_GE(back, 0.0f) << id;
                EXPECT_LE(back, 1.0f) << id;
            }
            ASSERT_EQ(h.render(kMaxFrames), noErr);
            for (UInt32 c = 0; c < 2; ++c)
                for (UInt32 i = 0; i < kMaxFrames; ++i) ASSERT_TRUE(std::isfinite(h.channel(c)[i])) << value;
        }

        // State round trip, bit for bit.
        for (AudioUnitParameterID id = 0; id < 15; ++id)
            ASSERT_EQ(AudioUnitSetParameter(unit, id, kGlobal, 0, float(id) / 15.0f, 0), noErr);
        CFPropertyListRef saved = nullptr;
        ASSERT_EQ(autest::getProperty(unit, kAudioUnitProperty_ClassInfo, kGlobal, 0, saved), noErr);
        auhost::CFRef<CFPropertyListRef> owned(saved);
        const std::vector<UInt8> before = stateChunk(unit);
        for (AudioUnitParameterID id = 0; id < 15; ++id)
            ASSERT_EQ(AudioUnitSetParameter(unit, id, kGlobal, 0, 1.0f - float(id) / 15.0f, 0), noErr);
        ASSERT_EQ(autest::setProperty(unit, kAudioUnitProperty_ClassInfo, kGlobal, 0, saved), noErr);
        EXPECT_EQ(stateChunk(unit), before);

        // Every factory preset can be selected and is reported as present.
        for (SInt32 n = 0; n < 3; ++n) {
            ASSERT_EQ(autest::setProperty(unit, kAudioUnitProperty_PresentPreset, kGlobal, 0, AUPreset{n, nullptr}),
                      noErr);
            AUPreset present{};
            ASSERT_EQ(autest::getProperty(unit, kAudioUnitProperty_PresentPreset, kGlobal, 0, present), noErr);
            CFRelease(present.presetName);
            EXPECT_EQ(present.presetNumber, n);
            ASSERT_EQ(h.render(kMaxFrames), noErr);
        }
        EXPECT_EQ(AudioUnitUninitialize(unit), noErr);
    }
    // Reopened: a fresh instance starts from the defaults again.
    Unit reopened(component);
    EXPECT_EQ(stateChunk(reopened), defaults);
}

TEST(ValidationSequence, SeveralInstancesPassAtOnce) {
    const AudioComponent components[] = {autest::kestrin().factory, autest::kestrin().entry,
                                         autest::kestrin().factory};
    std::vector<std::thread> threads;
    for (AudioComponent c : components) threads.emplace_back([c] { validate(c); });
    for (std::thread& t : threads) t.join();
}

TEST(ValidationSequence, InitializeRefusesAnIllegalCombinationOfLegalSides) {
    autest::fakeOptions().legalIO = {{1, 1}, {2, 2}};
    Unit unit(autest::fakeComponent());
    autest::fakeOptions() = {};
    EXPECT_EQ(AudioUnitInitialize(unit), noErr);  // nothing set: nothing to refuse
    EXPECT_EQ(AudioUnitUninitialize(unit), noErr);
    ASSERT_EQ(autest::setStreamFormat(unit, kAudioUnitScope_Input, 0, 48000, 1), noErr);  // fits {1, 1}
    EXPECT_EQ(AudioUnitInitialize(unit), noErr);                                              // output unknown
    EXPECT_EQ(AudioUnitUninitialize(unit), noErr);
    ASSERT_EQ(autest::setStreamFormat(unit, kAudioUnitScope_Output, 0, 48000, 2), noErr);  // fits {2, 2}
    EXPECT_EQ(AudioUnitInitialize(unit), kAudioUnitErr_FailedInitialization);
    ASSERT_EQ(autest::setStreamFormat(unit, kAudioUnitScope_Input, 0, 48000, 2), noErr);
    EXPECT_EQ(AudioUnitInitialize(unit), noErr);
    // Once initialized the other side counts: one input no longer fits two outputs.
    EXPECT_EQ(autest::setStreamFormat(unit, kAudioUnitScope_Input, 0, 48000, 1), kAudioUnitErr_InvalidProperty);
}

}  // namespace
