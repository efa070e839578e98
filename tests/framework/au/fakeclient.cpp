#include "fakeclient.h"

#include <cstring>

#include "framework/au/auentry.h"
#include "framework/client/boolparameter.h"
#include "framework/client/floatparameter.h"
#include "framework/client/integerparameter.h"

namespace autest {

FakeOptions& fakeOptions() {
    static FakeOptions options;
    return options;
}

void* FakeEditor::openUI(void* parent, void*, fw::IClient* client, fw::GraphicsBackend backend) {
    ++opens;
    lastParent = parent;
    lastClient = client;
    lastBackend = backend;
    return &view;
}

void FakeClient::reset(double sampleRate, int maxFrames, int numInputs, int numOutputs) {
    ++resets;
    lastRate = sampleRate;
    lastMaxFrames = maxFrames;
    lastInputs = numInputs;
    lastOutputs = numOutputs;
}

void FakeClient::processAudio(std::span<const float* const> inputs, std::span<float* const> outputs, int frames,
                              const fw::TimeInfo& info) noexcept {
    ++processCalls;
    framesProcessed += frames;
    lastInfo = info;
    for (const fw::MidiMessage& m : midiInputForBlock()) {
        lastMidi = m;
        ++midiReceived;
    }
    const float gain = static_cast<float>(static_cast<fw::FloatParameter*>(gain_)->value());
    for (std::size_t c = 0; c < outputs.size(); ++c)
        for (int i = 0; i < frames; ++i) outputs[c][i] = c < inputs.size() ? inputs[c][i] * gain : 0.0f;
    if (pluginInfo().sendsMIDI && frames > 3) {
        fw::MidiMessage m;
        m.offset = 3;
        m.bytes[0] = 0x90;
        m.bytes[1] = 60;
        m.bytes[2] = 100;
        m.length = 3;
        sendMIDIMessage(m);
    }
}

std::unique_ptr<fw::IGraphics> FakeClient::createGraphics() {
    ++createGraphicsCalls;
    if (!fakeOptions().hasEditor) return nullptr;
    auto e = std::make_unique<FakeEditor>();
    editor = e.get();
    return e;
}

fw::PluginInfo FakeClient::buildPluginInfo() {
    fw::PluginInfo info;
    info.vendorName = "Test";
    info.vendorUniqueID = {'T', 'e', 's', 't'};
    info.pluginName = "Fake";
    info.pluginUniqueID = {'F', 'a', 'k', 'e'};
    info.publicVersion = {1, 2, 3};
    const FakeOptions& o = fakeOptions();
    info.hasGUI = o.hasGUI;
    info.isSynth = o.isSynth;
    info.receivesMIDI = o.receivesMIDI;
    info.sendsMIDI = o.sendsMIDI;
    return info;
}

std::vector<fw::LegalIO> FakeClient::buildLegalIO() { return fakeOptions().legalIO; }

std::vector<std::unique_ptr<fw::Parameter>> FakeClient::buildParameters() {
    std::vector<std::unique_ptr<fw::Parameter>> p;
    p.push_back(std::make_unique<fw::LinearFloatParameter>(0, "Gain", "", 0.0, 1.0, 0.5));
    gain_ = p.back().get();
    p.push_back(std::make_unique<fw::BoolParameter>(1, "Enabled", "", true));
    p.push_back(std::make_unique<fw::EnumParameter>(2, "Mode", std::vector<std::string>{"A", "B", "C"}, 1));
    p.push_back(std::make_unique<fw::IntegerParameter>(3, "Steps", "", -2, 2, 0));
    p.push_back(std::make_unique<fw::LinearFloatParameter>(4, kLongParameterName, "", 0.0, 1.0, 0.25));
    p.back()->nonAutomatable();
    return p;
}

std::vector<fw::Preset> FakeClient::buildPresets() {
    fw::Preset quiet = makeDefaultPreset();
    quiet.name = "Quiet";
    quiet.normalizedValues[0] = 0.125f;
    fw::Preset loud = makeDefaultPreset();
    loud.name = "Loud";
    loud.normalizedValues[0] = 1.0f;
    return {quiet, loud};
}

namespace {
std::unique_ptr<fw::Client> makeFake() { return fw::makeClient<FakeClient>(); }
}  // namespace

AudioComponentPlugInInterface* fakeFactory(const AudioComponentDescription*) {
    return fw::au::createPlugInInterface(&makeFake);
}

}  // namespace autest
