#include "kestrin/dspclient.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "framework/client/boolparameter.h"
#include "framework/client/floatparameter.h"
#include "framework/client/integerparameter.h"
#include "kestrin/dspparamaccess.h"

namespace {

using kestrin::DspParam;
using kestrin::DspParamAccess;
using kestrin::makeParameterFromControl;

// ---------------------------------------------------------------------------
// The visitor and parameter creation

TEST(DspParamAccess, MetadataAppliesOnlyToTheNextControl) {
    float a = 0, b = 1, c = 0;
    DspParamAccess v;
    v.declare(&a, "1", "");
    v.declare(&a, "unit", "ms");
    v.declare(&a, "scale", "log");
    v.addHorizontalSlider("A", &a, 5, 1, 10, 0.1f);
    v.declare(&b, "unit", "%");
    v.addCheckButton("B", &b);
    v.addVerticalSlider("C", &c, 0, 0, 1, 0.01f);
    v.addHorizontalBargraph("Meter", &c, 0, 1);  // outputs are not collected
    const auto params = v.readParams();
    ASSERT_EQ(params.size(), 3u);
    EXPECT_EQ(params[0].unit, "ms");
    EXPECT_EQ(params[0].scale, int(kestrin::DspScale::log));
    EXPECT_EQ(params[1].unit, "%");
    EXPECT_TRUE(params[1].isButton);
    EXPECT_EQ(params[1].step, 0.0f);
    EXPECT_EQ(params[2].unit, "");  // the check button consumed the unit
    EXPECT_EQ(params[2].scale, 0);
    EXPECT_TRUE(v.readParams().empty());  // handed over
}

TEST(DspParamAccess, ScaleKeysAreExactAndCaseSensitive) {
    float z = 0;
    DspParamAccess v;
    v.declare(&z, "scale", "exp");
    v.addHorizontalSlider("E", &z, 0, 0, 1, 0.1f);
    v.declare(&z, "scale", "Log");
    v.addHorizontalSlider("L", &z, 0, 1, 2, 0.1f);
    v.declare(&z, "scales", "log");  // another key
    v.addHorizontalSlider("X", &z, 0, 1, 2, 0.1f);
    const auto params = v.readParams();
    ASSERT_EQ(params.size(), 3u);
    EXPECT_EQ(params[0].scale, int(kestrin::DspScale::exp));
    EXPECT_EQ(params[1].scale, int(kestrin::DspScale::linear));
    EXPECT_EQ(params[2].scale, int(kestrin::DspScale::linear));
}

DspParam slider(float init, float min, float max, float step, int scale = 0) {
    static float zone = 0;
    DspParam p;
    p.label = "P";
    p.unit = "u";
    p.zone = &zone;
    p.init = init;
    p.min = min;
    p.max = max;
    p.step = step;
    p.scale = scale;
    return p;
}

TEST(DspParameterCreation, StepOneMakesAnIntegerAndOtherStepsAFloat) {
    auto integer = makeParameterFromControl(slider(3, 0, 8, 1), 4);
    auto* ip = dynamic_cast<fw::IntegerParameter*>(integer.get());
    ASSERT_NE(ip, nullptr);
    EXPECT_EQ(ip->index(), 4);
    EXPECT_EQ(ip->minValue(), 0);
    EXPECT_EQ(ip->maxValue(), 8);
    EXPECT_EQ(ip->value(), 3);
    EXPECT_EQ(ip->label(), "u");

    auto linear = makeParameterFromControl(slider(3, 0, 8, 0.5f), 0);
    EXPECT_NE(dynamic_cast<fw::LinearFloatParameter*>(linear.get()), nullptr);
    auto nanStep = makeParameterFromControl(slider(3, 0, 8, std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_NE(dynamic_cast<fw::LinearFloatParameter*>(nanStep.get()), nullptr);
}

TEST(DspParameterCreation, ScaleChoosesTheFloatMapping) {
    auto log = makeParameterFromControl(slider(100, 20, 20000, 0.1f, 1), 0);
    EXPECT_NE(dynamic_cast<fw::LogFloatParameter*>(log.get()), nullptr);
    auto pow = makeParameterFromControl(slider(0.5f, 0, 1, 0.01f, 2), 0);
    auto* pp = dynamic_cast<fw::PowFloatParameter*>(pow.get());
    ASSERT_NE(pp, nullptr);
    EXPECT_DOUBLE_EQ(pp->shape(), std::exp(1.0));
}

TEST(DspParameterCreation, IntegerRangeAndDefaultAreTruncatedAndClamped) {
    auto* a = dynamic_cast<fw::IntegerParameter*>(makeParameterFromControl(slider(2.9f, 0.7f, 8.9f, 1), 0).release());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->minValue(), 0);
    EXPECT_EQ(a->maxValue(), 8);
    EXPECT_EQ(a->value(), 2);
    delete a;
    auto below = makeParameterFromControl(slider(-5, 0, 8, 1), 0);
    EXPECT_EQ(static_cast<fw::IntegerParameter*>(below.get())->value(), 0);
    auto inverted = makeParameterFromControl(slider(5, 9, 3, 1), 0);  // max wins when min > max
    EXPECT_EQ(static_cast<fw::IntegerParameter*>(inverted.get())->value(), 3);
}

TEST(DspParameterCreation, ButtonDefaultComesFromTheZone) {
    float on = 1.0f, off = 0.0f;
    DspParam p;
    p.label = "Sync";
    p.unit = "ignored";
    p.isButton = true;
    p.zone = &on;
    auto a = makeParameterFromControl(p, 8);
    auto* ba = dynamic_cast<fw::BoolParameter*>(a.get());
    ASSERT_NE(ba, nullptr);
    EXPECT_TRUE(ba->value());
    EXPECT_TRUE(ba->defaultValue());
    EXPECT_EQ(ba->label(), "");
    p.zone = &off;
    EXPECT_FALSE(static_cast<fw::BoolParameter*>(makeParameterFromControl(p, 8).get())->value());
}

// ---------------------------------------------------------------------------
// The client built from the crossover delay

// The bridge alone: processing only copies the parameters into the controls.
class TestDspClient : public kestrin::DspClient {
public:
    using DspClient::processor;
    void reset(double, int, int, int) override {}
    void processAudio(std::span<const float* const>, std::span<float* const>, int,
                      const fw::TimeInfo&) noexcept override {
        updateDspParams();
    }
    std::vector<fw::LegalIO> buildLegalIO() override { return {{2, 2}}; }
    std::vector<fw::Preset> buildPresets() override { return {makeDefaultPreset()}; }
};

TEST(DspClient, BuildsOneParameterPerDeclaredControlInOrder) {
    auto client = fw::makeClient<TestDspClient>();
    ASSERT_EQ(client->numParams(), 15);
    ASSERT_EQ(client->controls().size(), 15u);
    const char* names[] = {"Delay L", "Note L", "Feedback L", "Mix L", "Delay R", "Note R", "Feedback R", "Mix R",
                           "Sync", "Highpass", "Lowpass", "Drive", "Gain", "Width", "Tempo"};
    for (int i = 0; i < 15; ++i) EXPECT_EQ(client->param(i)->name(), names[i]);
    EXPECT_NE(dynamic_cast<fw::IntegerParameter*>(client->param(1)), nullptr);
    EXPECT_NE(dynamic_cast<fw::BoolParameter*>(client->param(8)), nullptr);
    EXPECT_NE(dynamic_cast<fw::LogFloatParameter*>(client->param(9)), nullptr);
    EXPECT_NE(dynamic_cast<fw::LogFloatParameter*>(client->param(10)), nullptr);
    EXPECT_NE(dynamic_cast<fw::LinearFloatParameter*>(client->param(14)), nullptr);
    EXPECT_EQ(client->param(0)->label(), "ms");
    EXPECT_EQ(client->param(10)->label(), "Hz");
    EXPECT_EQ(client->param(14)->label(), "bpm");
    EXPECT_EQ(client->param(1)->label(), "");
    EXPECT_EQ(client->presetBank().numPresets(), 1);
    EXPECT_EQ(client->presetBank().preset(0)->name, "Default");
    ASSERT_EQ(client->legalIOs().size(), 1u);
    EXPECT_EQ(client->legalIOs()[0].numInputChannels, 2);
    EXPECT_EQ(client->maxFramesPerCall(), 512);
    EXPECT_EQ(client->pluginInfo().pluginName, "Kestrin 3");
}

TEST(DspClient, ParameterValuesReachTheControlsBeforeEachBlock) {
    auto client = fw::makeClient<TestDspClient>();
    client->resetFromHost(48000, 512, 2, 2);
    client->param(0)->setFromHost(1.0);   // Delay L 2000 ms
    client->param(1)->setFromHost(1.0);   // Note L 31
    client->param(8)->setFromHost(1.0);   // Sync on
    client->param(14)->setFromHost(0.5);  // Tempo 2500
    std::vector<float> in(64, 0.0f), out0(64), out1(64);
    const float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {out0.data(), out1.data()};
    client->processAudio(ins, outs, 64, fw::TimeInfo{});
    const auto controls = client->controls();
    EXPECT_EQ(*controls[0].zone, 2000.0f);   // Delay L
    EXPECT_EQ(*controls[1].zone, 31.0f);     // Note L
    EXPECT_EQ(*controls[8].zone, 1.0f);      // Sync
    EXPECT_EQ(*controls[14].zone, 2500.0f);  // Tempo
}

}  // namespace
