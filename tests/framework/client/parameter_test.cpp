// Parameters: conversions, display strings, parsing, listeners, edit gestures and
// editor writes.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "framework/client/boolparameter.h"
#include "framework/client/floatparameter.h"
#include "framework/client/integerparameter.h"
#include "testclient.h"

namespace {

using testclient::FakeHost;
using testclient::HostCall;
using testclient::RecordingListener;

const double kE = 2.718281828459045;

// A test client with a fake host attached.
class HostedClient : public ::testing::Test {
protected:
    void SetUp() override { client->setHostCommand(&host); }
    std::unique_ptr<testclient::TestClient> client = testclient::makeTestClient();
    FakeHost host;
};
class EditGestures : public HostedClient {};
class EditorWrites : public HostedClient {};
class ParameterListeners : public HostedClient {};
class SetFromHost : public HostedClient {};

std::string display(fw::Parameter& p) {
    char buffer[64];
    p.toDisplayN(buffer, sizeof buffer);
    return buffer;
}

std::string textFor(const fw::Parameter& p, double normalized) {
    char buffer[64];
    p.stringFromNormalizedValue(normalized, buffer, sizeof buffer);
    return buffer;
}

// ---- Conversions ----

TEST(IntegerParameter, RoundsHalvesAwayFromZeroAndClamps) {
    fw::IntegerParameter p(0, "Mode", "", 0, 3, 0);
    p.setNormalized(0.5);  // 1.5 -> 2
    EXPECT_EQ(p.value(), 2);
    p.setNormalized(0.49);  // 1.47 -> 1
    EXPECT_EQ(p.value(), 1);
    p.setNormalized(1.2);
    EXPECT_EQ(p.value(), 3);
    p.setNormalized(-0.7);
    EXPECT_EQ(p.value(), 0);
}

TEST(IntegerParameter, RoundsNegativeHalvesAwayFromZero) {
    fw::IntegerParameter p(0, "Offset", "", -3, 3, 0);
    p.setNormalized(0.25);  // 6 * 0.25 - 3 = -1.5 -> -2
    EXPECT_EQ(p.value(), -2);
    p.setNormalized(0.75);  // 1.5 -> 2
    EXPECT_EQ(p.value(), 2);
}

TEST(IntegerParameter, NormalizesLinearlyAndClampsToUnitRange) {
    fw::IntegerParameter p(0, "Mode", "", 0, 4, 3);
    EXPECT_DOUBLE_EQ(p.getNormalized(), 0.75);
    EXPECT_DOUBLE_EQ(p.getNormalizedDefault(), 0.75);
    EXPECT_DOUBLE_EQ(p.toNormalized(-10), 0.0);
    EXPECT_DOUBLE_EQ(p.toNormalized(10), 1.0);
}

TEST(IntegerParameter, HugeNormalizedValuesClampWithoutOverflow) {
    fw::IntegerParameter p(0, "Mode", "", 0, 3, 1);
    p.setNormalized(1e300);
    EXPECT_EQ(p.value(), 3);
    p.setNormalized(-std::numeric_limits<double>::infinity());
    EXPECT_EQ(p.value(), 0);
}

TEST(LinearFloatParameter, ClampsNormalizedInputAndNormalizesValues) {
    fw::LinearFloatParameter p(0, "Delay", "ms", 0.0, 10.0, 5.0);
    p.setNormalized(1.5);
    EXPECT_EQ(p.value(), 10.0);
    p.setNormalized(-0.5);
    EXPECT_EQ(p.value(), 0.0);
    EXPECT_DOUBLE_EQ(p.toNormalized(2.5), 0.25);
    EXPECT_DOUBLE_EQ(p.getNormalizedDefault(), 0.5);
}

TEST(LogFloatParameter, MapsMidpointToGeometricMean) {
    fw::LogFloatParameter p(0, "Cutoff", "Hz", 20.0, 20000.0, 1000.0);
    p.setNormalized(0.5);
    EXPECT_NEAR(p.value(), std::sqrt(20.0 * 20000.0), 1e-9);  // about 632.46
    EXPECT_NEAR(p.value(), 632.46, 0.01);
    EXPECT_DOUBLE_EQ(p.toNormalized(20000.0), 1.0);
    EXPECT_DOUBLE_EQ(p.toNormalized(20.0), 0.0);
    EXPECT_NEAR(p.toNormalized(200.0), 1.0 / 3.0, 1e-15);
}

TEST(LogFloatParameter, RoundTripsEveryNormalizedValueClosely) {
    fw::LogFloatParameter p(0, "Cutoff", "Hz", 20.0, 20000.0, 1000.0);
    for (int i = 0; i <= 100; ++i) {
        const double n = i / 100.0;
        EXPECT_NEAR(p.toNormalized(p.fromNormalized(n)), n, 1e-14) << n;
    }
}

TEST(LogFloatParameter, EditorWritesAreClampedToTheRange) {
    fw::LogFloatParameter p(0, "Cutoff", "Hz", 20.0, 20000.0, 1000.0);
    p.setFromGUINormalized(1.5);
    EXPECT_EQ(p.value(), 20000.0);
}

TEST(PowFloatParameter, AppliesShapeToNormalizedValue) {
    fw::PowFloatParameter p(0, "Width", "", 0.0, 1.0, 0.5, kE);
    p.setNormalized(0.5);
    EXPECT_DOUBLE_EQ(p.value(), std::pow(0.5, kE));
    EXPECT_NEAR(p.value(), 0.1520, 1e-4);
    EXPECT_DOUBLE_EQ(p.toNormalized(std::pow(0.5, kE)), 0.5);
}

TEST(PowFloatParameter, NegativeNormalizedGivesMinimumInsteadOfNaN) {
    fw::PowFloatParameter p(0, "Width", "", 2.0, 4.0, 3.0, kE);
    p.setNormalized(-0.25);
    EXPECT_EQ(p.value(), 2.0);
}

TEST(GainParameter, MapsDecibelsThroughShapedAmplitude) {
    fw::GainParameter p(0, "Gain", -60.0, 6.0, 0.0, 1.0);
    EXPECT_DOUBLE_EQ(p.toNormalized(6.0), 1.0);
    EXPECT_NEAR(p.fromNormalized(0.5), 6.0 + 20.0 * std::log10(0.5), 1e-12);
    EXPECT_NEAR(p.toNormalized(0.0), std::pow(10.0, -6.0 / 20.0), 1e-12);
    EXPECT_EQ(p.fromNormalized(0.0), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(p.toNormalized(-std::numeric_limits<double>::infinity()), 0.0);
    EXPECT_EQ(p.label(), "dB");
}

TEST(GainParameter, ShapeBendsTheCurve) {
    fw::GainParameter p(0, "Gain", -60.0, 0.0, 0.0, 2.0);
    // n^2 = 0.25 -> 20 log10(0.25) dB
    EXPECT_NEAR(p.fromNormalized(0.5), 20.0 * std::log10(0.25), 1e-12);
    EXPECT_NEAR(p.toNormalized(20.0 * std::log10(0.25)), 0.5, 1e-12);
}

TEST(BoolParameter, HalfAndAboveMeansOn) {
    fw::BoolParameter p(0, "Sync", "", false);
    p.setNormalized(0.5);
    EXPECT_TRUE(p.value());
    EXPECT_EQ(p.getNormalized(), 1.0);
    p.setNormalized(0.4999);
    EXPECT_FALSE(p.value());
    EXPECT_EQ(p.getNormalized(), 0.0);
}

TEST(Parameters, OnlyFloatParametersAreContinuous) {
    fw::BoolParameter b(0, "B", "", false);
    fw::IntegerParameter i(1, "I", "", 0, 3, 0);
    fw::EnumParameter e(2, "E", {"a", "b"}, 0);
    fw::LinearFloatParameter f(3, "F", "", 0.0, 1.0, 0.0);
    EXPECT_TRUE(b.isDiscrete());
    EXPECT_TRUE(i.isDiscrete());
    EXPECT_TRUE(e.isDiscrete());
    EXPECT_FALSE(f.isDiscrete());
}

TEST(Parameters, NonAutomatableClearsFlagAndChains) {
    fw::IntegerParameter p(0, "Mode", "", 0, 3, 0);
    EXPECT_TRUE(p.isAutomatable());
    EXPECT_EQ(&p.nonAutomatable(), &p);
    EXPECT_FALSE(p.isAutomatable());
}

// ---- Display strings ----

TEST(FloatParameter, FormatsWithTwoDecimals) {
    fw::LinearFloatParameter p(0, "Delay", "ms", 0.0, 100.0, 5.0);
    EXPECT_EQ(display(p), "5.00");
    EXPECT_EQ(textFor(p, 0.123), "12.30");
    EXPECT_EQ(textFor(p, 2.0), "100.00");
}

TEST(FloatParameter, DisplayIsBoundedByTheCallersBuffer) {
    fw::LinearFloatParameter p(0, "Delay", "ms", 0.0, 1000.0, 123.456);
    char buffer[8];
    std::memset(buffer, 'x', sizeof buffer);
    p.toDisplayN(buffer, 4);
    EXPECT_STREQ(buffer, "123");
    EXPECT_EQ(buffer[4], 'x');
    p.toDisplayN(buffer, 0);  // nothing written
    EXPECT_STREQ(buffer, "123");
    p.toDisplayN(nullptr, 16);  // no crash
}

TEST(IntegerParameter, FormatsRoundedClampedValues) {
    fw::IntegerParameter p(0, "Mode", "", -5, 5, -2);
    EXPECT_EQ(display(p), "-2");
    EXPECT_EQ(textFor(p, 0.5), "0");
    EXPECT_EQ(textFor(p, 7.0), "5");
}

TEST(BoolParameter, FormatsYesAndNo) {
    fw::BoolParameter p(0, "Sync", "", true);
    EXPECT_EQ(display(p), "yes");
    EXPECT_EQ(textFor(p, 0.5), "yes");
    EXPECT_EQ(textFor(p, 0.49), "no");
    char tiny[2];
    p.toDisplayN(tiny, sizeof tiny);
    EXPECT_STREQ(tiny, "y");
}

TEST(EnumParameter, ShowsEntriesAndCutsThemToTheBuffer) {
    fw::EnumParameter p(0, "Shape", {"Sine", "Triangle", "Saw"}, 1);
    EXPECT_EQ(display(p), "Triangle");
    EXPECT_EQ(textFor(p, 1.0), "Saw");
    EXPECT_EQ(textFor(p, 0.2), "Sine");
    char small[5];
    std::memset(small, 'x', sizeof small);
    p.toDisplayN(small, sizeof small);
    EXPECT_STREQ(small, "Tria");
    char one[1] = {'x'};
    p.toDisplayN(one, 1);
    EXPECT_EQ(one[0], '\0');
    p.stringFromNormalizedValue(0.0, small, 3);
    EXPECT_STREQ(small, "Si");
}

// ---- Parsing ----

TEST(BoolParameter, ParsesExactlyYesAndNo) {
    fw::BoolParameter p(0, "Sync", "", false);
    double n = -1.0;
    EXPECT_TRUE(p.normalizedValueFromString("yes", n));
    EXPECT_EQ(n, 1.0);
    EXPECT_TRUE(p.normalizedValueFromString("no", n));
    EXPECT_EQ(n, 0.0);
    for (const char* bad : {"Yes", "yes ", " no", "", "true", "1"}) {
        n = 0.5;
        EXPECT_FALSE(p.normalizedValueFromString(bad, n)) << bad;
        EXPECT_TRUE(std::isnan(n)) << bad;
    }
}

TEST(IntegerParameter, ParsesHexSignsAndGarbageAsNumbers) {
    fw::IntegerParameter p(0, "Count", "", -100, 100, 0);
    double n = 0.0;
    EXPECT_TRUE(p.normalizedValueFromString("0x10", n));
    EXPECT_DOUBLE_EQ(n, 116.0 / 200.0);
    EXPECT_TRUE(p.normalizedValueFromString(" -3", n));
    EXPECT_DOUBLE_EQ(n, 97.0 / 200.0);
    EXPECT_TRUE(p.normalizedValueFromString("abc", n));
    EXPECT_DOUBLE_EQ(n, 0.5);  // reads as 0
    EXPECT_TRUE(p.normalizedValueFromString("500", n));
    EXPECT_DOUBLE_EQ(n, 1.0);
}

TEST(IntegerParameter, RefusesTextsLongerThan127Bytes) {
    fw::IntegerParameter p(0, "Count", "", 0, 10, 0);
    double n = 0.0;
    EXPECT_TRUE(p.normalizedValueFromString(std::string(127, '7'), n));
    EXPECT_EQ(n, 1.0);
    EXPECT_FALSE(p.normalizedValueFromString(std::string(128, '1'), n));
    EXPECT_TRUE(std::isnan(n));
}

TEST(EnumParameter, ParsesOnlyWholeEntries) {
    fw::EnumParameter p(0, "Shape", {"Sine", "Triangle", "Saw", "Square"}, 0);
    double n = 0.0;
    EXPECT_TRUE(p.normalizedValueFromString("Saw", n));
    EXPECT_DOUBLE_EQ(n, 2.0 / 3.0);
    EXPECT_FALSE(p.normalizedValueFromString("Sa", n));
    EXPECT_TRUE(std::isnan(n));
    EXPECT_FALSE(p.normalizedValueFromString("saw", n));
    EXPECT_FALSE(p.normalizedValueFromString("Sawtooth", n));
}

TEST(FloatParameter, ParsesExponentsFractionsAndHexFloats) {
    fw::LinearFloatParameter p(0, "Time", "", 0.0, 2000.0, 0.0);
    double n = 0.0;
    EXPECT_TRUE(p.normalizedValueFromString("1e3", n));
    EXPECT_DOUBLE_EQ(n, 0.5);
    EXPECT_TRUE(p.normalizedValueFromString(".5", n));
    EXPECT_DOUBLE_EQ(n, 0.5 / 2000.0);
    EXPECT_TRUE(p.normalizedValueFromString("0x1p4", n));
    EXPECT_DOUBLE_EQ(n, 16.0 / 2000.0);
    EXPECT_TRUE(p.normalizedValueFromString("-5", n));
    EXPECT_EQ(n, 0.0);
}

TEST(FloatParameter, ParsingUsesTheParametersOwnMapping) {
    fw::LogFloatParameter p(0, "Cutoff", "Hz", 20.0, 20000.0, 1000.0);
    double n = 0.0;
    EXPECT_TRUE(p.normalizedValueFromString("200", n));
    EXPECT_NEAR(n, 1.0 / 3.0, 1e-15);
}

TEST(FloatParameter, TextsOutsideALogarithmicRangeGiveItsEnds) {
    fw::LogFloatParameter p(0, "Cutoff", "Hz", 20.0, 20000.0, 1000.0);
    for (const char* below : {"-6", "0", "-0x1p4", "19.5"}) {
        double n = -1.0;
        EXPECT_TRUE(p.normalizedValueFromString(below, n)) << below;
        EXPECT_EQ(n, 0.0) << below;
    }
    double n = -1.0;
    EXPECT_TRUE(p.normalizedValueFromString("1e9", n));
    EXPECT_EQ(n, 1.0);
}

TEST(FloatParameter, RefusesTextOf128BytesWithNaN) {
    fw::LinearFloatParameter p(0, "Time", "", 0.0, 10.0, 0.0);
    double n = 0.0;
    EXPECT_FALSE(p.normalizedValueFromString(std::string(128, '1'), n));
    EXPECT_TRUE(std::isnan(n));
    EXPECT_FALSE(p.normalizedValueFromString(std::string(5000, '2'), n));
    EXPECT_TRUE(std::isnan(n));
}

// ---- Listeners ----

TEST_F(ParameterListeners, AreCalledInRegistrationOrder) {
    std::vector<std::string> log;
    RecordingListener a("a", &log), b("b", &log), c("c", &log);
    fw::IntegerParameter p(0, "Mode", "", 0, 3, 0);
    p.addListener(&a);
    p.addListener(&b);
    p.addListener(&c);
    p.setFromHost(1.0);
    EXPECT_EQ(log, (std::vector<std::string>{"a:changed", "b:changed", "c:changed"}));
}

TEST_F(ParameterListeners, RemovingTheFirstMovesTheLastIntoItsPlace) {
    std::vector<std::string> log;
    RecordingListener a("a", &log), b("b", &log), c("c", &log);
    fw::IntegerParameter p(0, "Mode", "", 0, 3, 0);
    p.addListener(&a);
    p.addListener(&b);
    p.addListener(&c);
    p.removeListener(&a);
    p.setFromHost(1.0);
    EXPECT_EQ(log, (std::vector<std::string>{"c:changed", "b:changed"}));
}

TEST_F(ParameterListeners, RemovingAnAbsentListenerChangesNothing) {
    std::vector<std::string> log;
    RecordingListener a("a", &log), stranger("x", &log);
    fw::IntegerParameter p(0, "Mode", "", 0, 3, 0);
    p.addListener(&a);
    p.removeListener(&stranger);
    p.setFromHost(1.0);
    EXPECT_EQ(log, (std::vector<std::string>{"a:changed"}));
}

TEST_F(ParameterListeners, HoverReachesListenersButNotTheHost) {
    RecordingListener l("l");
    fw::Parameter& p = *client->param(testclient::kMode);
    p.addListener(&l);
    p.beginParamHover();
    p.endParamHover();
    EXPECT_EQ(l.events, (std::vector<std::string>{"hover", "unhover"}));
    EXPECT_TRUE(host.calls.empty());
    p.removeListener(&l);
}

// ---- Host writes and edit gestures ----

TEST_F(SetFromHost, StoresAndNotifiesWithoutCallingTheHostBack) {
    RecordingListener l("l");
    client->delay().addListener(&l);
    client->setParameterFromHost(testclient::kDelay, 0.25f);
    EXPECT_DOUBLE_EQ(client->delay().value(), 2.5);
    EXPECT_EQ(l.count("changed"), 1);
    EXPECT_TRUE(host.calls.empty());
    client->delay().removeListener(&l);
}

TEST_F(SetFromHost, IsIgnoredWhileAnEditGestureIsOpen) {
    RecordingListener l("l");
    fw::LinearFloatParameter& p = client->delay();
    p.addListener(&l);
    p.beginParamEdit();
    EXPECT_EQ(p.editCount(), 1);
    p.setFromHost(0.9);
    EXPECT_EQ(p.value(), 5.0);
    EXPECT_EQ(l.count("changed"), 0);
    p.endParamEdit();
    EXPECT_EQ(p.editCount(), 0);
    p.setFromHost(0.9);
    EXPECT_DOUBLE_EQ(p.value(), 9.0);
    EXPECT_EQ(l.count("changed"), 1);
    p.removeListener(&l);
}

TEST_F(SetFromHost, IgnoresNaN) {
    fw::LinearFloatParameter f(0, "Delay", "", 0.0, 10.0, 5.0);
    fw::IntegerParameter i(1, "Mode", "", 0, 3, 2);
    fw::BoolParameter b(2, "Sync", "", true);
    RecordingListener l("l");
    f.addListener(&l);
    const double nan = std::nan("");
    f.setFromHost(nan);
    i.setFromHost(nan);
    b.setFromHost(nan);
    EXPECT_EQ(f.value(), 5.0);
    EXPECT_EQ(i.value(), 2);
    EXPECT_TRUE(b.value());
    EXPECT_EQ(l.count("changed"), 0);
}

TEST_F(SetFromHost, OutOfRangeIndexIsIgnored) {
    client->setParameterFromHost(-1, 0.5f);
    client->setParameterFromHost(client->numParams(), 0.5f);
    EXPECT_EQ(client->delay().value(), 5.0);
    EXPECT_EQ(client->param(client->numParams()), nullptr);
}

TEST_F(EditGestures, ReachHostThenListenersAndNestCount) {
    RecordingListener l("l");
    fw::IntegerParameter& p = client->mode();
    p.addListener(&l);
    p.beginParamEdit();
    p.beginParamEdit();
    EXPECT_EQ(p.editCount(), 2);
    p.endParamEdit();
    EXPECT_EQ(p.editCount(), 1);
    p.endParamEdit();
    EXPECT_EQ(p.editCount(), 0);
    EXPECT_EQ(host.calls, (std::vector<HostCall>{{HostCall::begin, testclient::kMode, 0.0f},
                                                 {HostCall::begin, testclient::kMode, 0.0f},
                                                 {HostCall::end, testclient::kMode, 0.0f},
                                                 {HostCall::end, testclient::kMode, 0.0f}}));
    EXPECT_EQ(l.events, (std::vector<std::string>{"begin", "begin", "end", "end"}));
    p.removeListener(&l);
}

TEST_F(EditGestures, WorkWithoutAHost) {
    fw::LinearFloatParameter p(0, "Delay", "", 0.0, 10.0, 5.0);
    RecordingListener l("l");
    p.addListener(&l);
    p.beginParamEdit();
    p.setFromGUINormalized(0.1);
    p.endParamEdit();
    EXPECT_DOUBLE_EQ(p.value(), 1.0);
    EXPECT_EQ(l.events, (std::vector<std::string>{"begin", "changed", "end"}));
}

// ---- Editor writes ----

TEST_F(EditorWrites, FloatClampsAutomatesTheNormalizedValueAndNotifies) {
    RecordingListener l("l");
    fw::LinearFloatParameter& p = client->delay();
    p.addListener(&l);
    p.beginParamEdit();
    p.setFromGUINormalized(0.3);
    p.setFromGUINormalized(1.7);
    p.endParamEdit();
    EXPECT_EQ(p.value(), 10.0);
    EXPECT_EQ(host.calls, (std::vector<HostCall>{{HostCall::begin, testclient::kDelay, 0.0f},
                                                 {HostCall::automate, testclient::kDelay, 0.3f},
                                                 {HostCall::automate, testclient::kDelay, 1.0f},
                                                 {HostCall::end, testclient::kDelay, 0.0f}}));
    EXPECT_EQ(l.events, (std::vector<std::string>{"begin", "changed", "changed", "end"}));
    p.removeListener(&l);
}

TEST_F(EditorWrites, IntegerRoundsBeforeAutomating) {
    fw::IntegerParameter& p = client->mode();  // 0..3
    p.setFromGUINormalized(0.6);  // 1.8 -> 2
    EXPECT_EQ(p.value(), 2);
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0], (HostCall{HostCall::automate, testclient::kMode, static_cast<float>(2.0 / 3.0)}));
}

TEST_F(EditorWrites, BoolEnumAndDefaultFollowTheSameSequence) {
    RecordingListener l("l");
    client->sync().addListener(&l);
    client->sync().setFromGUI(true);
    client->mode().setFromGUI(9);  // clamped to 3
    client->delay().setFromGUI(client->delay().defaultValue());
    EXPECT_TRUE(client->sync().value());
    EXPECT_EQ(client->mode().value(), 3);
    EXPECT_EQ(host.calls, (std::vector<HostCall>{{HostCall::automate, testclient::kSync, 1.0f},
                                                 {HostCall::automate, testclient::kMode, 1.0f},
                                                 {HostCall::automate, testclient::kDelay, 0.5f}}));
    EXPECT_EQ(l.count("changed"), 1);
    client->sync().removeListener(&l);
}

TEST_F(EditorWrites, NaNIsIgnored) {
    client->delay().setFromGUINormalized(std::nan(""));
    client->mode().setFromGUINormalized(std::nan(""));
    EXPECT_EQ(client->delay().value(), 5.0);
    EXPECT_EQ(client->mode().value(), 1);
    EXPECT_TRUE(host.calls.empty());
}

TEST(FloatParameter, AudioThreadStoreClampsAndTellsNobody) {
    fw::LinearFloatParameter p(0, "Tempo", "bpm", 20.0, 300.0, 120.0);
    RecordingListener l("l");
    p.addListener(&l);
    p.storeFromAudioThread(90.0);
    EXPECT_EQ(p.value(), 90.0);
    p.storeFromAudioThread(1000.0);
    EXPECT_EQ(p.value(), 300.0);
    p.storeFromAudioThread(std::nan(""));
    EXPECT_EQ(p.value(), 300.0);
    EXPECT_TRUE(l.events.empty());
}

// A host that owns the controls (LV2) stores plain values from its audio thread for
// every kind: clamped, rounded for the discrete kinds, NaN ignored, nobody told.
TEST(PlainValues, AudioThreadStoreOfEveryKindClampsRoundsAndTellsNobody) {
    fw::LinearFloatParameter f(0, "Delay", "ms", 1.0, 2000.0, 1000.0);
    fw::IntegerParameter i(1, "Note", "", 0, 31, 3);
    fw::EnumParameter e(2, "Mode", {"a", "b", "c"}, 1);
    fw::BoolParameter b(3, "Sync", "", false);
    RecordingListener l("l");
    for (fw::Parameter* p : std::initializer_list<fw::Parameter*>{&f, &i, &e, &b}) p->addListener(&l);
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        fw::Parameter* p;
        double stored;
        double expected;
    } cases[] = {
        {&f, 350.5, 350.5}, {&f, inf, 2000.0}, {&f, -inf, 1.0}, {&f, std::nan(""), 1.0},
        {&i, 4.5, 5.0},     {&i, 4.49, 4.0},   {&i, 1e12, 31.0}, {&i, -inf, 0.0}, {&i, std::nan(""), 0.0},
        {&e, 7.0, 2.0},     {&e, -3.0, 0.0},
        {&b, 0.5, 1.0},     {&b, 0.49, 0.0},   {&b, inf, 1.0},   {&b, std::nan(""), 1.0},
    };
    for (const Case& c : cases) {
        c.p->storePlainFromAudioThread(c.stored);
        EXPECT_EQ(c.p->plainValue(), c.expected) << c.p->name() << " " << c.stored;
    }
    EXPECT_TRUE(l.events.empty());
}

TEST(PlainValues, MappingsAgreeWithTheParametersOwnForEveryKind) {
    fw::LogFloatParameter f(0, "Cutoff", "Hz", 20.0, 20000.0, 1000.0);
    fw::IntegerParameter i(1, "Note", "", 0, 31, 3);
    fw::BoolParameter b(2, "Sync", "", false);
    for (double n : {0.0, 0.125, 0.5, 0.77, 1.0}) {
        EXPECT_EQ(f.plainFromNormalized(n), f.fromNormalized(n)) << n;
        EXPECT_EQ(f.normalizedFromPlain(f.fromNormalized(n)), f.toNormalized(f.fromNormalized(n))) << n;
        EXPECT_EQ(i.plainFromNormalized(n), double(i.fromNormalized(n))) << n;
        EXPECT_EQ(i.normalizedFromPlain(i.plainFromNormalized(n)), i.toNormalized(i.fromNormalized(n))) << n;
        EXPECT_EQ(b.plainFromNormalized(n), n >= 0.5 ? 1.0 : 0.0) << n;
    }
    // Out-of-range plain values map to the ends.
    EXPECT_EQ(f.normalizedFromPlain(1e9), 1.0);
    EXPECT_EQ(i.normalizedFromPlain(-4.0), 0.0);
    EXPECT_EQ(b.normalizedFromPlain(0.7), 1.0);
}

}  // namespace
