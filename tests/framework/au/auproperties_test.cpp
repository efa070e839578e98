// Properties read and written through AudioUnitGetProperty / AudioUnitSetProperty:
// their values, the scopes and elements they answer, and the error codes for wrong
// scopes, elements, sizes and null pointers.

#include <gtest/gtest.h>
#include <objc/runtime.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "auhost/cfref.h"
#include "aufixture.h"
#include "fakeclient.h"

namespace {

using auhost::CFRef;
using auhost::toUTF8;
using autest::getProperty;
using autest::setProperty;
using autest::Unit;

constexpr AudioUnitScope kGlobal = kAudioUnitScope_Global;
constexpr AudioUnitScope kInput = kAudioUnitScope_Input;
constexpr AudioUnitScope kOutput = kAudioUnitScope_Output;

class KestrinProperties : public ::testing::Test {
protected:
    Unit unit{autest::kestrin().factory};
};

class FakeProperties : public ::testing::Test {
protected:
    void TearDown() override { autest::fakeOptions() = {}; }
};

OSStatus infoOf(AudioUnit unit, AudioUnitPropertyID id, AudioUnitScope scope, AudioUnitElement element,
                UInt32* size = nullptr, Boolean* writable = nullptr) {
    return AudioUnitGetPropertyInfo(unit, id, scope, element, size, writable);
}

TEST_F(KestrinProperties, UnsupportedPropertiesAreInvalidInEveryScope) {
    for (AudioUnitPropertyID id : {6u, 7u, 9u, 10u, 15u, 17u, 18u, 19u, 25u, 26u, 29u, 37u, 39u, 40u, 41u, 42u, 43u,
                                   44u, 45u, 46u, 47u, 48u, 49u, 64u, 1000u, 0xFFFFFFFEu})
        for (AudioUnitScope scope : {kGlobal, kInput, kOutput, 4u})
            EXPECT_EQ(infoOf(unit, id, scope, 0), kAudioUnitErr_InvalidProperty) << id << " scope " << scope;
}

TEST_F(KestrinProperties, WrongScopesAndElementsGetTheirCodes) {
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_Latency, kInput, 0), kAudioUnitErr_InvalidScope);
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_TailTime, kOutput, 0), kAudioUnitErr_InvalidScope);
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_MaximumFramesPerSlice, kInput, 0), kAudioUnitErr_InvalidScope);
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_ElementName, kGlobal, 0), kAudioUnitErr_InvalidScope);
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_ElementName, kOutput, 1), kAudioUnitErr_InvalidElement);
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_StreamFormat, 4, 0), kAudioUnitErr_InvalidScope);
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_StreamFormat, kInput, 1), kAudioUnitErr_InvalidElement);
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_StreamFormat, kGlobal, 1), kAudioUnitErr_InvalidElement);
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_ParameterInfo, kGlobal, 16), kAudioUnitErr_InvalidElement);
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_ParameterInfo, kInput, 0), kAudioUnitErr_InvalidScope);
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_SupportedChannelLayoutTags, kInput, 0), kAudioUnitErr_InvalidScope);
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_SupportedChannelLayoutTags, kOutput, 0), kAudioUnitErr_InvalidScope);
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_SupportedChannelLayoutTags, kGlobal, 1), kAudioUnitErr_InvalidElement);
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_MakeConnection, kOutput, 0), kAudioUnitErr_InvalidScope);
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_SetRenderCallback, kInput, 1), kAudioUnitErr_InvalidElement);
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_ParameterClumpName, kInput, 0), kAudioUnitErr_InvalidScope);
}

TEST_F(KestrinProperties, SizesAndWritabilityMatchTheValueTypes) {
    struct Expected {
        AudioUnitPropertyID id;
        AudioUnitScope scope;
        UInt32 size;
        bool writable;
    };
    const Expected table[] = {
        {kAudioUnitProperty_ClassInfo, kGlobal, 8, true},
        {kAudioUnitProperty_MakeConnection, kInput, 16, true},
        {kAudioUnitProperty_SampleRate, kOutput, 8, true},
        {kAudioUnitProperty_ParameterList, kGlobal, 16 * 4, false},
        {kAudioUnitProperty_ParameterList, kInput, 0, false},
        {kAudioUnitProperty_StreamFormat, kInput, 40, true},
        {kAudioUnitProperty_ElementCount, kInput, 4, false},
        {kAudioUnitProperty_Latency, kGlobal, 8, false},
        {kAudioUnitProperty_SupportedNumChannels, kGlobal, 2 * 4, false},
        {kAudioUnitProperty_MaximumFramesPerSlice, kGlobal, 4, true},
        {kAudioUnitProperty_TailTime, kGlobal, 8, false},
        {kAudioUnitProperty_BypassEffect, kGlobal, 4, true},
        {kAudioUnitProperty_LastRenderError, kGlobal, 4, false},
        {kAudioUnitProperty_SetRenderCallback, kInput, 16, true},
        {kAudioUnitProperty_FactoryPresets, kGlobal, 8, false},
        {kAudioUnitProperty_HostCallbacks, kGlobal, 40, true},
        {kAudioUnitProperty_PresentPreset, kGlobal, 16, true},
        {kAudioUnitProperty_CocoaUI, kGlobal, 16, false},
        {kAudioUnitProperty_ParameterStringFromValue, kGlobal, 24, false},
        {kAudioUnitProperty_ParameterIDName, kGlobal, 16, false},
        {kAudioUnitProperty_ParameterValueFromString, kGlobal, 24, false},
        {0xDEADBEEF, kGlobal, 8, false},
    };
    for (const Expected& e : table) {
        UInt32 size = 12345;
        Boolean writable = 2;
        ASSERT_EQ(infoOf(unit, e.id, e.scope, 0, &size, &writable), noErr) << e.id;
        EXPECT_EQ(size, e.size) << e.id;
        EXPECT_EQ(writable != 0, e.writable) << e.id;
    }
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_Latency, kGlobal, 0, nullptr, nullptr), noErr);
}

TEST_F(KestrinProperties, ReadsRefuseNullPointersAndShortBuffers) {
    UInt32 size = 8;
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_Latency, kGlobal, 0, nullptr, &size), kAudio_ParamError);
    Float64 latency = 0;
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_Latency, kGlobal, 0, &latency, nullptr),
              kAudio_ParamError);
    size = 4;
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_Latency, kGlobal, 0, &latency, &size),
              kAudioUnitErr_InvalidPropertyValue);
    AudioUnitParameterID ids[20];
    size = sizeof ids;  // a larger buffer is fine; the size says how much was written
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterList, kGlobal, 0, ids, &size), noErr);
    ASSERT_EQ(size, 16 * sizeof(AudioUnitParameterID));
    for (UInt32 i = 0; i < 16; ++i) EXPECT_EQ(ids[i], i);
}

TEST_F(KestrinProperties, WritesRefuseNullDataShortSizesAndReadOnlyProperties) {
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kGlobal, 0, nullptr, 4),
              kAudio_ParamError);
    const UInt16 small = 256;
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kGlobal, 0, &small, 2),
              kAudioUnitErr_InvalidPropertyValue);
    const Float64 latency = 1;
    EXPECT_EQ(setProperty(unit, kAudioUnitProperty_Latency, kGlobal, 0, latency), kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(setProperty(unit, kAudioUnitProperty_TailTime, kGlobal, 0, latency), kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(setProperty(unit, kAudioUnitProperty_ContextName, kGlobal, 0, latency), kAudioUnitErr_InvalidProperty);
    const UInt32 offline = 1;
    EXPECT_EQ(setProperty(unit, kAudioUnitProperty_OfflineRender, kGlobal, 0, offline), noErr);  // accepted, ignored
    UInt32 maxFrames = 0;
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kGlobal, 0, maxFrames), noErr);
    EXPECT_EQ(maxFrames, 1024u);  // nothing above changed it
}

TEST_F(KestrinProperties, DescribesTheEffectsBusesAndLayouts) {
    UInt32 count = 0;
    for (auto [scope, expected] : {std::pair{kGlobal, 1u}, {kInput, 1u}, {kOutput, 1u}, {4u, 0u}}) {
        ASSERT_EQ(getProperty(unit, kAudioUnitProperty_ElementCount, scope, 0, count), noErr);
        EXPECT_EQ(count, expected) << scope;
    }
    AUChannelInfo layouts[2];
    UInt32 size = sizeof layouts;
    ASSERT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_SupportedNumChannels, kGlobal, 0, layouts, &size), noErr);
    EXPECT_EQ(layouts[0].inChannels, 1);
    EXPECT_EQ(layouts[0].outChannels, 2);
    EXPECT_EQ(layouts[1].inChannels, 2);
    EXPECT_EQ(layouts[1].outChannels, 2);

    CFStringRef name = nullptr;
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_ElementName, kInput, 0, name), noErr);
    EXPECT_EQ(toUTF8(CFRef<CFStringRef>(name).get()), "input #0");
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_ElementName, kOutput, 0, name), noErr);
    EXPECT_EQ(toUTF8(CFRef<CFStringRef>(name).get()), "output #0");

    AudioChannelLayoutTag tag = 0;
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_SupportedChannelLayoutTags, kGlobal, 0, tag), noErr);
    EXPECT_EQ(tag, kAudioChannelLayoutTag_Stereo);

    Float64 latency = -1, tail = 0;
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_Latency, kGlobal, 0, latency), noErr);
    EXPECT_EQ(latency, 0.0);
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_TailTime, kGlobal, 0, tail), noErr);
    EXPECT_TRUE(std::isinf(tail) && tail > 0);
    OSStatus lastError = -1;
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_LastRenderError, kGlobal, 0, lastError), noErr);
    EXPECT_EQ(lastError, noErr);
}

TEST_F(KestrinProperties, StreamFormatIsNonInterleavedFloatWithTheBusChannelCount) {
    AudioStreamBasicDescription f{};
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_StreamFormat, kInput, 0, f), noErr);
    EXPECT_EQ(f.mSampleRate, 44100.0);
    EXPECT_EQ(f.mFormatID, kAudioFormatLinearPCM);
    EXPECT_EQ(f.mFormatFlags, 0x29u);
    EXPECT_EQ(f.mBytesPerPacket, 4u);
    EXPECT_EQ(f.mFramesPerPacket, 1u);
    EXPECT_EQ(f.mBytesPerFrame, 4u);
    EXPECT_EQ(f.mChannelsPerFrame, 2u);
    EXPECT_EQ(f.mBitsPerChannel, 32u);

    ASSERT_EQ(autest::setStreamFormat(unit, kOutput, 0, 96000, 2), noErr);
    Float64 rate = 0;
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_SampleRate, kInput, 0, rate), noErr);
    EXPECT_EQ(rate, 96000.0);
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_StreamFormat, kGlobal, 0, f), noErr);  // output bus 0
    EXPECT_EQ(f.mSampleRate, 96000.0);
}

TEST_F(KestrinProperties, MonoInputIsAcceptedAndThreeChannelsLeaveTheBusAtZero) {
    ASSERT_EQ(autest::setStreamFormat(unit, kInput, 0, 48000, 1), noErr);
    AudioStreamBasicDescription f{};
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_StreamFormat, kInput, 0, f), noErr);
    EXPECT_EQ(f.mChannelsPerFrame, 1u);
    EXPECT_EQ(autest::setStreamFormat(unit, kInput, 0, 48000, 3), kAudioUnitErr_InvalidProperty);
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_StreamFormat, kInput, 0, f), noErr);
    EXPECT_EQ(f.mChannelsPerFrame, 0u);
    EXPECT_EQ(autest::setStreamFormat(unit, kOutput, 0, 48000, 1), kAudioUnitErr_InvalidProperty);  // no 1-out layout
}

TEST_F(KestrinProperties, StreamFormatsThatAreNotFloatPCMOrHaveNoChannelsAreRefused) {
    AudioStreamBasicDescription f{};
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_StreamFormat, kInput, 0, f), noErr);
    AudioStreamBasicDescription bad = f;
    bad.mFormatID = 0x61616320;  // 'aac '
    EXPECT_EQ(setProperty(unit, kAudioUnitProperty_StreamFormat, kInput, 0, bad), kAudioUnitErr_InvalidProperty);
    bad = f;
    bad.mChannelsPerFrame = 0;
    EXPECT_EQ(setProperty(unit, kAudioUnitProperty_StreamFormat, kInput, 0, bad), kAudioUnitErr_InvalidProperty);
    bad = f;
    bad.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsNonInterleaved;
    EXPECT_EQ(setProperty(unit, kAudioUnitProperty_StreamFormat, kInput, 0, bad), kAudioUnitErr_InvalidProperty);
    bad = f;
    bad.mSampleRate = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(setProperty(unit, kAudioUnitProperty_StreamFormat, kInput, 0, bad), kAudioUnitErr_InvalidProperty);
    bad = f;
    bad.mSampleRate = 0;  // any rate: accepted, the unit's rate stays
    EXPECT_EQ(setProperty(unit, kAudioUnitProperty_StreamFormat, kInput, 0, bad), noErr);
    Float64 rate = 0;
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_SampleRate, kGlobal, 0, rate), noErr);
    EXPECT_EQ(rate, 44100.0);
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kInput, 0, &f, 39),
              kAudioUnitErr_InvalidPropertyValue);
}

TEST_F(KestrinProperties, SettingsOutsideAnyUsableRangeAreRefused) {
    for (Float64 rate : {0.0, -48000.0, std::numeric_limits<double>::quiet_NaN(),
                         std::numeric_limits<double>::infinity()})
        EXPECT_EQ(setProperty(unit, kAudioUnitProperty_SampleRate, kGlobal, 0, rate),
                  kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(autest::setMaxFrames(unit, 0xFFFFFFFFu), kAudioUnitErr_InvalidPropertyValue);
    Float64 rate = 0;
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_SampleRate, kGlobal, 0, rate), noErr);
    EXPECT_EQ(rate, 44100.0);
    ASSERT_EQ(setProperty(unit, kAudioUnitProperty_SampleRate, kGlobal, 0, Float64(88200)), noErr);
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_SampleRate, kGlobal, 0, rate), noErr);
    EXPECT_EQ(rate, 88200.0);
}

TEST_F(KestrinProperties, HostRatesOutside8To384KilohertzAreRefusedAndTheRateStays) {
    for (Float64 rate : {1e-300, 1.0, 7999.99, 384000.01, 3e8, 5.4e8}) {
        EXPECT_EQ(setProperty(unit, kAudioUnitProperty_SampleRate, kGlobal, 0, rate),
                  kAudioUnitErr_InvalidPropertyValue)
            << rate;
        for (AudioUnitScope scope : {kInput, kOutput})
            EXPECT_EQ(autest::setStreamFormat(unit, scope, 0, rate, 2), kAudioUnitErr_InvalidProperty) << rate;
    }
    Float64 rate = 0, latency = -1;
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_SampleRate, kGlobal, 0, rate), noErr);
    EXPECT_EQ(rate, 44100.0);
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_Latency, kGlobal, 0, latency), noErr);
    EXPECT_EQ(latency, 0.0);
    for (Float64 edge : {8000.0, 384000.0}) {
        ASSERT_EQ(setProperty(unit, kAudioUnitProperty_SampleRate, kGlobal, 0, edge), noErr);
        ASSERT_EQ(getProperty(unit, kAudioUnitProperty_SampleRate, kGlobal, 0, rate), noErr);
        EXPECT_EQ(rate, edge);
        ASSERT_EQ(autest::setStreamFormat(unit, kOutput, 0, edge == 8000.0 ? 384000.0 : 8000.0, 2), noErr);
        ASSERT_EQ(getProperty(unit, kAudioUnitProperty_SampleRate, kGlobal, 0, rate), noErr);
        EXPECT_EQ(rate, edge == 8000.0 ? 384000.0 : 8000.0);
    }
}

TEST_F(KestrinProperties, BypassReadsBackAsZeroOrOne) {
    UInt32 bypass = 9;
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_BypassEffect, kGlobal, 0, bypass), noErr);
    EXPECT_EQ(bypass, 0u);
    ASSERT_EQ(setProperty(unit, kAudioUnitProperty_BypassEffect, kGlobal, 0, UInt32(7)), noErr);
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_BypassEffect, kGlobal, 0, bypass), noErr);
    EXPECT_EQ(bypass, 1u);
}

TEST_F(KestrinProperties, CallbacksAndConnectionsCheckScopeAndBus) {
    const AURenderCallbackStruct cb{autest::CallbackInput::render, nullptr};
    EXPECT_EQ(setProperty(unit, kAudioUnitProperty_SetRenderCallback, kOutput, 0, cb), kAudioUnitErr_InvalidScope);
    EXPECT_EQ(setProperty(unit, kAudioUnitProperty_SetRenderCallback, kGlobal, 0, cb), kAudioUnitErr_InvalidScope);
    EXPECT_EQ(setProperty(unit, kAudioUnitProperty_SetRenderCallback, kInput, 1, cb), kAudioUnitErr_InvalidElement);
    AudioUnitConnection connection{nullptr, 0, 1};
    EXPECT_EQ(setProperty(unit, kAudioUnitProperty_MakeConnection, kOutput, 0, connection),
              kAudioUnitErr_InvalidScope);
    EXPECT_EQ(setProperty(unit, kAudioUnitProperty_MakeConnection, kInput, 0, connection),
              kAudioUnitErr_InvalidElement);
    connection.destInputNumber = 0;
    EXPECT_EQ(setProperty(unit, kAudioUnitProperty_MakeConnection, kInput, 0, connection), noErr);  // disconnects
    const HostCallbackInfo callbacks{};
    EXPECT_EQ(setProperty(unit, kAudioUnitProperty_HostCallbacks, kInput, 0, callbacks), noErr);  // ignored
    EXPECT_EQ(setProperty(unit, kAudioUnitProperty_HostCallbacks, kGlobal, 0, callbacks), noErr);
}

TEST_F(KestrinProperties, ParameterInfoShowsNormalizedRangesAndTheNames) {
    for (AudioUnitParameterID id = 0; id < 16; ++id) {
        AudioUnitParameterInfo info{};
        ASSERT_EQ(getProperty(unit, kAudioUnitProperty_ParameterInfo, kGlobal, id, info), noErr);
        CFRef<CFStringRef> name(info.cfNameString);
        EXPECT_EQ(toUTF8(name.get()), std::string(info.name));
        EXPECT_FALSE(std::string(info.name).empty());
        EXPECT_EQ(info.minValue, 0.0f);
        EXPECT_EQ(info.maxValue, 1.0f);
        EXPECT_GE(info.defaultValue, 0.0f);
        EXPECT_LE(info.defaultValue, 1.0f);
        EXPECT_EQ(info.unit, kAudioUnitParameterUnit_Generic);
        EXPECT_EQ(info.clumpID, 0u);
        EXPECT_EQ(info.unitName, nullptr);
        EXPECT_EQ(info.flags & ~UInt32(kAudioUnitParameterFlag_NonRealTime), 0xC8800010u);
    }
    AudioUnitParameterIDName request{15, kAudioUnitParameterName_Full, nullptr};
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_ParameterIDName, kGlobal, 0, request), noErr);
    EXPECT_EQ(toUTF8(CFRef<CFStringRef>(request.outName).get()), "Upsample Amount");
    request.inDesiredLength = 8;
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_ParameterIDName, kGlobal, 0, request), noErr);
    EXPECT_EQ(toUTF8(CFRef<CFStringRef>(request.outName).get()), "Upsample");
    request.inID = 16;
    EXPECT_EQ(getProperty(unit, kAudioUnitProperty_ParameterIDName, kGlobal, 0, request),
              kAudioUnitErr_InvalidParameter);
}

TEST_F(KestrinProperties, ClumpNamesExistFromOneOn) {
    AudioUnitParameterIDName request{0, kAudioUnitParameterName_Full, nullptr};
    EXPECT_EQ(getProperty(unit, kAudioUnitProperty_ParameterClumpName, kGlobal, 0, request),
              kAudioUnitErr_PropertyNotInUse);
    request.inID = 3;
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_ParameterClumpName, kGlobal, 0, request), noErr);
    EXPECT_EQ(toUTF8(CFRef<CFStringRef>(request.outName).get()), "All params");
}

TEST_F(KestrinProperties, CocoaUINamesAViewFactoryClassInTheMainBundle) {
    AudioUnitCocoaViewInfo view{};
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_CocoaUI, kGlobal, 0, view), noErr);
    CFRef<CFURLRef> url(view.mCocoaAUViewBundleLocation);
    CFRef<CFStringRef> className(view.mCocoaAUViewClass[0]);
    EXPECT_NE(url.get(), nullptr);
    const std::string name = toUTF8(className.get());
    EXPECT_EQ(name.rfind("PluginCocoaViewFactory_", 0), 0u) << name;
    EXPECT_EQ(name.size() + 1, 60u);
    EXPECT_NE(objc_getClass(name.c_str()), Nil);
    // The same class for every instance of this binary.
    Unit other(autest::kestrin().entry);
    AudioUnitCocoaViewInfo again{};
    ASSERT_EQ(getProperty(other, kAudioUnitProperty_CocoaUI, kGlobal, 0, again), noErr);
    CFRelease(again.mCocoaAUViewBundleLocation);
    EXPECT_EQ(toUTF8(CFRef<CFStringRef>(again.mCocoaAUViewClass[0]).get()), name);
}

TEST_F(KestrinProperties, MIDIAndInstrumentPropertiesAreAbsentForThisEffect) {
    for (AudioUnitPropertyID id : {AudioUnitPropertyID(kAudioUnitProperty_MIDIOutputCallbackInfo),
                                   AudioUnitPropertyID(kAudioUnitProperty_MIDIOutputCallback),
                                   AudioUnitPropertyID(kMusicDeviceProperty_InstrumentCount)})
        EXPECT_EQ(infoOf(unit, id, kGlobal, 0), kAudioUnitErr_InvalidProperty) << id;
}

TEST_F(FakeProperties, ParameterInfoCutsLongNamesAndFlagsNonAutomatableParameters) {
    Unit unit(autest::fakeComponent());
    AudioUnitParameterInfo info{};
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_ParameterInfo, kGlobal, 4, info), noErr);
    CFRef<CFStringRef> name(info.cfNameString);
    EXPECT_EQ(std::string(info.name), std::string(autest::kLongParameterName, 51));
    EXPECT_EQ(toUTF8(name.get()), autest::kLongParameterName);
    EXPECT_EQ(info.flags, 0xC8800010u | kAudioUnitParameterFlag_NonRealTime);
    EXPECT_EQ(info.defaultValue, 0.25f);
}

TEST_F(FakeProperties, ValueStringsListEnumNamesAndIntegerValuesOnly) {
    Unit unit(autest::fakeComponent());
    auto strings = [&](AudioUnitElement id) {
        std::vector<std::string> out;
        CFArrayRef array = nullptr;
        UInt32 size = sizeof array;
        const OSStatus status =
            AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterValueStrings, kGlobal, id, &array, &size);
        if (status != noErr) return out;
        CFRef<CFArrayRef> owned(array);
        for (CFIndex i = 0; i < CFArrayGetCount(array); ++i)
            out.push_back(toUTF8(static_cast<CFStringRef>(CFArrayGetValueAtIndex(array, i))));
        return out;
    };
    EXPECT_EQ(strings(2), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(strings(3), (std::vector<std::string>{"-2", "-1", "0", "1", "2"}));
    UInt32 size = 99;
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_ParameterValueStrings, kGlobal, 0, &size),
              kAudioUnitErr_InvalidProperty);  // a float
    EXPECT_EQ(size, 0u);
    CFArrayRef none = nullptr;
    size = sizeof none;
    EXPECT_EQ(AudioUnitGetProperty(unit, kAudioUnitProperty_ParameterValueStrings, kGlobal, 0, &none, &size),
              kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_ParameterValueStrings, kGlobal, 1), kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_ParameterValueStrings, kGlobal, 9), kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_ParameterValueStrings, kInput, 2), kAudioUnitErr_InvalidScope);
}

TEST_F(FakeProperties, ValuesTranslateToTextAndBack) {
    Unit unit(autest::fakeComponent());
    AudioUnitParameterValueFromString fromText{1, CFSTR("yes"), -1};
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_ParameterValueFromString, kGlobal, 0, fromText), noErr);
    EXPECT_EQ(fromText.outValue, 1.0f);
    fromText.inString = CFSTR("no");
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_ParameterValueFromString, kGlobal, 0, fromText), noErr);
    EXPECT_EQ(fromText.outValue, 0.0f);
    fromText.inString = CFSTR("perhaps");
    EXPECT_EQ(getProperty(unit, kAudioUnitProperty_ParameterValueFromString, kGlobal, 0, fromText),
              kAudioUnitErr_InvalidProperty);
    fromText.inString = nullptr;
    EXPECT_EQ(getProperty(unit, kAudioUnitProperty_ParameterValueFromString, kGlobal, 0, fromText),
              kAudioUnitErr_InvalidProperty);
    fromText = {2, CFSTR("C"), -1};
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_ParameterValueFromString, kGlobal, 0, fromText), noErr);
    EXPECT_EQ(fromText.outValue, 1.0f);
    fromText.inParamID = 5;
    EXPECT_EQ(getProperty(unit, kAudioUnitProperty_ParameterValueFromString, kGlobal, 0, fromText),
              kAudioUnitErr_InvalidParameter);

    const AudioUnitParameterValue half = 0.5f;
    AudioUnitParameterStringFromValue toText{2, &half, nullptr};
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_ParameterStringFromValue, kGlobal, 0, toText), noErr);
    EXPECT_EQ(toUTF8(CFRef<CFStringRef>(toText.outString).get()), "B");
    ASSERT_EQ(AudioUnitSetParameter(unit, 2, kGlobal, 0, 1.0f, 0), noErr);
    toText.inValue = nullptr;  // the current value
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_ParameterStringFromValue, kGlobal, 0, toText), noErr);
    EXPECT_EQ(toUTF8(CFRef<CFStringRef>(toText.outString).get()), "C");
    const AudioUnitParameterValue nan = std::numeric_limits<float>::quiet_NaN();
    toText.inValue = &nan;
    EXPECT_EQ(getProperty(unit, kAudioUnitProperty_ParameterStringFromValue, kGlobal, 0, toText), noErr);
    CFRelease(toText.outString);
    toText.inParamID = 77;
    EXPECT_EQ(getProperty(unit, kAudioUnitProperty_ParameterStringFromValue, kGlobal, 0, toText),
              kAudioUnitErr_InvalidParameter);
}

TEST_F(FakeProperties, CapabilityFlagsDecideTheMIDIInstrumentAndViewProperties) {
    autest::fakeOptions() = {true, true, true, false, true};  // MIDI in and out, synth, no GUI
    Unit unit(autest::fakeComponent());
    UInt32 instruments = 9;
    ASSERT_EQ(getProperty(unit, kMusicDeviceProperty_InstrumentCount, kGlobal, 0, instruments), noErr);
    EXPECT_EQ(instruments, 0u);
    EXPECT_EQ(infoOf(unit, kMusicDeviceProperty_InstrumentCount, kInput, 0), kAudioUnitErr_InvalidScope);
    Boolean writable = 0;
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_MIDIOutputCallback, kGlobal, 0, nullptr, &writable), noErr);
    EXPECT_TRUE(writable);
    EXPECT_EQ(infoOf(unit, kAudioUnitProperty_CocoaUI, kGlobal, 0), kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(MusicDeviceSysEx(unit, nullptr, 0), noErr);
}

}  // namespace
