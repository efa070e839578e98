// A hosted unit driven like a DAW drives it: formats, input, render,
// automation, observed events, state, preset files and factory presets.

#include "hostfixture.h"

#include "auhost/hostedunit.h"
#include "auhost/presetfile.h"
#include "auhost/unitobservers.h"
#include "support/realtime_watch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

using auhost::HostedUnit;
using auhost::HostResult;

class HostedUnitTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        hosttest::LoadedPlugin& p = hosttest::loadedPlugin();
        HostResult r = HostedUnit::create(GetParam() ? p.entry : p.factory, unit_);
        ASSERT_TRUE(r.ok()) << r.message();
    }

    // Sets a stereo 48 kHz format, 256 frames, and `input` as the source.
    void prepare(auhost::InputSource* input) {
        ASSERT_TRUE(unit_->setStreamFormat(kAudioUnitScope_Input, 0, 48000, 2).ok());
        ASSERT_TRUE(unit_->setStreamFormat(kAudioUnitScope_Output, 0, 48000, 2).ok());
        ASSERT_TRUE(unit_->setMaximumFramesPerSlice(256).ok());
        ASSERT_TRUE(unit_->setInput(input).ok());
        ASSERT_TRUE(unit_->initialize().ok());
    }

    std::string tempPath(const char* name) const {
        return (std::filesystem::temp_directory_path() / (std::to_string(::getpid()) + "_" + name)).string();
    }

    std::unique_ptr<HostedUnit> unit_;
};

TEST_P(HostedUnitTest, RendersTheInputThroughTheUnit) {
    auhost::PlanarInput input({{1, 2, 3, 4, 5, 6}, {-1, -2, -3, -4, -5, -6}});
    prepare(&input);
    ASSERT_TRUE(unit_->setParameter(0, 0.5f).ok());
    float left[4], right[4];
    float* outputs[] = {left, right};
    ASSERT_EQ(unit_->render(outputs, 2, 4), noErr);
    EXPECT_EQ(left[3], 2.0f);
    EXPECT_EQ(right[0], -0.5f);
    ASSERT_EQ(unit_->render(outputs, 2, 4), noErr);  // the input continues, then falls silent
    EXPECT_EQ(left[0], 2.5f);
    EXPECT_EQ(left[3], 0.0f);
    EXPECT_EQ(unit_->sampleTime(), 8.0);
    EXPECT_EQ(unit_->render(outputs, 2, 257), kAudioUnitErr_TooManyFramesToProcess);
    AudioStreamBasicDescription format{};
    ASSERT_TRUE(unit_->streamFormat(kAudioUnitScope_Output, 0, format).ok());
    EXPECT_EQ(format.mSampleRate, 48000.0);
}

TEST_P(HostedUnitTest, RenderingAllocatesNothing) {
    auhost::PlanarInput input({std::vector<float>(256 * 20, 0.25f)});
    prepare(&input);
    float left[256], right[256];
    float* outputs[] = {left, right};
    testsupport::RealtimeCounts counts;
    {
        testsupport::RealtimeWatch watch;
        for (int i = 0; i < 20; ++i) ASSERT_EQ(unit_->render(outputs, 2, 256), noErr);
        counts = watch.counts();
    }
    EXPECT_EQ(counts.allocations, 0);
    EXPECT_EQ(counts.locks, 0);
    EXPECT_EQ(right[255], 0.25f);
}

TEST_P(HostedUnitTest, DescribesAndAutomatesParameters) {
    std::vector<AudioUnitParameterID> ids;
    ASSERT_TRUE(unit_->parameterIds(ids).ok());
    ASSERT_EQ(ids, (std::vector<AudioUnitParameterID>{0, 1}));
    auhost::ParameterDescription gain;
    ASSERT_TRUE(unit_->describeParameter(0, gain).ok());
    EXPECT_EQ(gain.name, "Gain");
    EXPECT_EQ(gain.maxValue, 2.0f);
    EXPECT_EQ(gain.unit, kAudioUnitParameterUnit_LinearGain);
    HostResult bad = unit_->describeParameter(9, gain);
    EXPECT_EQ(bad.status(), kAudioUnitErr_InvalidParameter);
    EXPECT_NE(bad.message().find("reading parameter info"), std::string::npos);

    AudioUnitParameterEvent ramp{};
    ramp.parameter = 1;
    ramp.eventType = kParameterEvent_Ramped;
    ramp.eventValues.ramp = {0, 64, 0.0f, 0.75f};
    AudioUnitParameterEvent now{};
    now.parameter = 0;
    now.eventType = kParameterEvent_Immediate;
    now.eventValues.immediate = {0, 1.75f};
    ASSERT_TRUE(unit_->scheduleParameters({ramp, now}).ok());
    AudioUnitParameterValue v = 0;
    ASSERT_TRUE(unit_->getParameter(0, v).ok());
    EXPECT_EQ(v, 1.75f);
    ASSERT_TRUE(unit_->getParameter(1, v).ok());
    EXPECT_EQ(v, 0.75f);
}

TEST_P(HostedUnitTest, ObservesGesturesValueChangesAndPropertyChanges) {
    std::unique_ptr<auhost::EventObserver> observer;
    ASSERT_TRUE(auhost::EventObserver::create(unit_->unit(), {0, 1}, {kAudioUnitProperty_MaximumFramesPerSlice}, observer).ok());
    ASSERT_TRUE(unit_->setParameter(1, 0.5f).ok());
    const UInt32 parameter = 1;
    ASSERT_EQ(AudioUnitSetProperty(unit_->unit(), kTestGainProperty_SimulateGesture, kAudioUnitScope_Global, 0,
                                   &parameter, sizeof parameter), noErr);
    ASSERT_TRUE(unit_->setMaximumFramesPerSlice(512).ok());
    const std::vector<auhost::ObservedEvent> events = observer->events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].type, kAudioUnitEvent_BeginParameterChangeGesture);
    EXPECT_EQ(events[1].type, kAudioUnitEvent_ParameterValueChange);
    EXPECT_EQ(events[1].id, 1u);
    EXPECT_EQ(events[1].value, 0.5f);
    EXPECT_EQ(events[2].type, kAudioUnitEvent_EndParameterChangeGesture);
    EXPECT_EQ(events[3].type, kAudioUnitEvent_PropertyChange);
    EXPECT_EQ(events[3].id, kAudioUnitProperty_MaximumFramesPerSlice);
    observer.reset();
    ASSERT_TRUE(unit_->setMaximumFramesPerSlice(256).ok());  // no listener left behind
}

TEST_P(HostedUnitTest, SavesAndRestoresClassInfoAndNotifiesParameterListeners) {
    ASSERT_TRUE(unit_->setParameter(0, 0.3f).ok());
    auhost::CFRef<CFPropertyListRef> state;
    ASSERT_TRUE(unit_->copyClassInfo(state).ok());
    ASSERT_TRUE(unit_->setParameter(0, 1.9f).ok());
    std::unique_ptr<auhost::EventObserver> observer;
    ASSERT_TRUE(auhost::EventObserver::create(unit_->unit(), {0}, {}, observer).ok());
    ASSERT_TRUE(unit_->restoreClassInfo(state.get()).ok());
    AudioUnitParameterValue v = 0;
    ASSERT_TRUE(unit_->getParameter(0, v).ok());
    EXPECT_EQ(v, 0.3f);
    const auto events = observer->events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, kAudioUnitEvent_ParameterValueChange);
    EXPECT_EQ(events[0].value, 0.3f);
}

TEST_P(HostedUnitTest, PresetFilesRoundTripInApplesFormat) {
    ASSERT_TRUE(unit_->setParameter(0, 0.625f).ok());
    const std::string path = tempPath("state.aupreset");
    HostResult r = unit_->savePresetFile(path);
    ASSERT_TRUE(r.ok()) << r.message();
    std::stringstream content;
    content << std::ifstream(path).rdbuf();
    const std::string text = content.str();
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC", 0), 0u);
    EXPECT_NE(text.find("\t<key>manufacturer</key>\n\t<integer>1415934836</integer>\n"), std::string::npos);
    EXPECT_NE(text.find("\t<key>type</key>\n\t<integer>1635083896</integer>\n"), std::string::npos);
    ASSERT_TRUE(unit_->setParameter(0, 2.0f).ok());
    r = unit_->loadPresetFile(path);
    ASSERT_TRUE(r.ok()) << r.message();
    AudioUnitParameterValue v = 0;
    ASSERT_TRUE(unit_->getParameter(0, v).ok());
    EXPECT_EQ(v, 0.625f);
    std::remove(path.c_str());
}

TEST_P(HostedUnitTest, RefusesBrokenOrForeignPresetFilesAndKeepsTheState) {
    ASSERT_TRUE(unit_->setParameter(0, 0.8f).ok());
    const std::string path = tempPath("broken.aupreset");
    std::ofstream(path) << "<plist><dict><key>type</key><integer>1</integer>";
    HostResult r = unit_->loadPresetFile(path);
    EXPECT_EQ(r.status(), kAudioUnitErr_InvalidFile);
    EXPECT_NE(r.message().find("broken.aupreset"), std::string::npos);
    std::ofstream(path, std::ios::trunc)
        << "<plist><dict><key>version</key><integer>1</integer><key>type</key><integer>1635083896</integer>"
           "<key>subtype</key><integer>1</integer><key>manufacturer</key><integer>1</integer>"
           "<key>data</key><data>AAAAAAAAAAA=</data></dict></plist>";
    r = unit_->loadPresetFile(path);  // another unit's preset
    EXPECT_EQ(r.status(), kAudioUnitErr_InvalidPropertyValue);
    std::ofstream(path, std::ios::trunc) << "<plist><dict><key>name</key><string>x</string></dict></plist>";
    r = unit_->loadPresetFile(path);
    EXPECT_NE(r.message().find("\"version\""), std::string::npos);
    EXPECT_EQ(unit_->loadPresetFile(tempPath("missing.aupreset")).status(), kAudio_FileNotFoundError);
    AudioUnitParameterValue v = 0;
    ASSERT_TRUE(unit_->getParameter(0, v).ok());
    EXPECT_EQ(v, 0.8f);
    std::remove(path.c_str());
}

TEST_P(HostedUnitTest, ListsAndChoosesFactoryPresets) {
    std::vector<auhost::PresetEntry> presets;
    ASSERT_TRUE(unit_->factoryPresets(presets).ok());
    ASSERT_EQ(presets.size(), 2u);
    EXPECT_EQ(presets[1].number, 1);
    EXPECT_EQ(presets[1].name, "Half");
    ASSERT_TRUE(unit_->choosePreset(1).ok());
    auhost::PresetEntry present;
    ASSERT_TRUE(unit_->presentPreset(present).ok());
    EXPECT_EQ(present.name, "Half");
    AudioUnitParameterValue v = 0;
    ASSERT_TRUE(unit_->getParameter(1, v).ok());
    EXPECT_EQ(v, 0.25f);
    EXPECT_FALSE(unit_->choosePreset(7).ok());
}

TEST_P(HostedUnitTest, UninitializesAndStopsRendering) {
    auhost::PlanarInput input({{1.0f, 1.0f}});
    prepare(&input);
    ASSERT_TRUE(unit_->uninitialize().ok());
    float left[4], right[4];
    float* outputs[] = {left, right};
    EXPECT_EQ(unit_->render(outputs, 2, 4), kAudioUnitErr_Uninitialized);
    EXPECT_EQ(unit_->render(outputs, 0, 4), kAudio_ParamError);
}

INSTANTIATE_TEST_SUITE_P(BothEntryStyles, HostedUnitTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "ComponentManagerEntry" : "Factory"; });

TEST(PresetFolders, FollowTheHostConvention) {
    const std::string folder = auhost::userPresetFolder("Tallowmere Dorovuvuru", "Kestrin 3");
    EXPECT_NE(folder.find("/Library/Audio/Presets/Tallowmere Dorovuvuru/Kestrin 3/"), std::string::npos);
}

}  // namespace
