#pragma once
// A small fake plug-in and a fake host for the client framework tests.
//
// TestClient has four parameters (a linear float, a log float, an integer and a
// bool), configurable layouts, sub-block size and preset count, records every
// build step, reset and processAudio call, and can create a FakeEditor.
// FakeHost records the IHostCommand calls; RecordingListener records listener calls.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/client/boolparameter.h"
#include "framework/client/client.h"
#include "framework/client/floatparameter.h"
#include "framework/client/integerparameter.h"
#include "framework/client/parameterlistener.h"

namespace testclient {

struct HostCall {
    enum Kind { begin, automate, end } kind;
    int index;
    float value;
    bool operator==(const HostCall&) const = default;
};

class FakeHost final : public fw::IHostCommand {
public:
    void beginParamEdit(int index) noexcept override { calls.push_back({HostCall::begin, index, 0.0f}); }
    void paramAutomate(int index, float value) noexcept override {
        calls.push_back({HostCall::automate, index, value});
    }
    void endParamEdit(int index) noexcept override { calls.push_back({HostCall::end, index, 0.0f}); }
    bool requestResize(int width, int height) noexcept override {
        lastResize = {width, height};
        return acceptResize;
    }
    fw::DAW getDAW() noexcept override { return fw::DAW::logic; }
    fw::PluginFormat getPluginFormat() noexcept override { return fw::PluginFormat::auv2; }

    std::vector<HostCall> calls;
    std::pair<int, int> lastResize{0, 0};
    bool acceptResize = true;
};

class RecordingListener final : public fw::IParameterListener {
public:
    explicit RecordingListener(std::string name, std::vector<std::string>* log = nullptr)
        : name_(std::move(name)), log_(log) {}
    void onParameterChanged(fw::Parameter&) noexcept override { record("changed"); }
    void onBeginParameterEdit(fw::Parameter&) noexcept override { record("begin"); }
    void onEndParameterEdit(fw::Parameter&) noexcept override { record("end"); }
    void onBeginParameterHover(fw::Parameter&) noexcept override { record("hover"); }
    void onEndParameterHover(fw::Parameter&) noexcept override { record("unhover"); }

    int count(const std::string& event) const {
        int n = 0;
        for (const std::string& e : events)
            if (e == event) ++n;
        return n;
    }
    std::vector<std::string> events;

private:
    void record(const char* event) {
        events.push_back(event);
        if (log_ != nullptr) log_->push_back(name_ + ":" + event);
    }
    std::string name_;
    std::vector<std::string>* log_;
};

// An integer parameter that logs its destruction, to check destruction order.
class LoggedParameter final : public fw::IntegerParameter {
public:
    LoggedParameter(int index, std::vector<std::string>* log)
        : IntegerParameter(index, "Logged", "", 0, 1, 0), log_(log) {}
    ~LoggedParameter() override {
        if (log_ != nullptr) log_->push_back("parameter destroyed");
    }

private:
    std::vector<std::string>* log_;
};

class FakeEditor final : public fw::IGraphics {
public:
    FakeEditor(fw::Parameter* watched, std::vector<std::string>* log) : watched_(watched), log_(log) {
        watched_->addListener(&listener_);
    }
    ~FakeEditor() override {
        // A real editor unregisters its widgets: the parameters must still exist.
        watched_->removeListener(&listener_);
        if (log_ != nullptr) log_->push_back("editor destroyed");
    }
    void* openUI(void*, void*, fw::IClient*, fw::GraphicsBackend) override { return this; }
    void closeUI() override {}
    void getGUISize(int* w, int* h) override { *w = 900, *h = 450; }
    bool isResizeable() override { return true; }
    void getMaxSmallerValidSize(int*, int*) override {}
    void getNearestValidSize(int*, int*) override {}
    bool nativeWindowResize(int, int) override { return true; }

private:
    fw::Parameter* watched_;
    std::vector<std::string>* log_;
    RecordingListener listener_{"editor"};
};

struct ProcessCall {
    int frames;
    std::int64_t timeInSamples;
    double tempo;
    bool hostIsPlaying;
    std::vector<const float*> inputs;
    std::vector<float*> outputs;
};

struct TestConfig {
    std::vector<fw::LegalIO> layouts{{1, 2}, {2, 2}};
    int maxFrames = 512;
    int presetCount = 3;
    bool hasEditor = false;
    bool receivesMIDI = false;
    bool sendsMIDI = false;
    std::vector<std::string>* log = nullptr;  // build steps and destructions
    int extraParams = 0;                      // integer parameters 0..10 after the four
};

enum Param { kDelay = 0, kCutoff = 1, kMode = 2, kSync = 3, kLogged = 4 };

class TestClient : public fw::Client {
public:
    explicit TestClient(TestConfig config = {}) : config_(std::move(config)) { processCalls.reserve(64); }

    fw::LinearFloatParameter& delay() { return static_cast<fw::LinearFloatParameter&>(*param(kDelay)); }
    fw::LogFloatParameter& cutoff() { return static_cast<fw::LogFloatParameter&>(*param(kCutoff)); }
    fw::IntegerParameter& mode() { return static_cast<fw::IntegerParameter&>(*param(kMode)); }
    fw::BoolParameter& sync() { return static_cast<fw::BoolParameter&>(*param(kSync)); }

    struct ResetCall {
        double sampleRate;
        int maxFrames, numInputs, numOutputs;
    };
    std::vector<ResetCall> resets;
    // Reserved up front so that recording does not allocate on the audio path.
    std::vector<ProcessCall> processCalls;
    // Messages processAudio sends with sendMIDIMessage on its next call.
    std::vector<fw::MidiMessage> toSend;
    std::vector<std::vector<fw::MidiMessage>> receivedPerCall;
    bool recordCalls = true;
    double lastDelaySeen = 0.0;

protected:
    fw::PluginInfo buildPluginInfo() override {
        logStep("buildPluginInfo");
        fw::PluginInfo info;
        info.vendorName = "Test Vendor";
        info.vendorUniqueID = {'T', 'e', 's', 't'};
        info.pluginName = "Test Plug";
        info.pluginUniqueID = {'T', 's', 't', '1'};
        info.publicVersion = {3, 0, 1};
        info.hasGUI = config_.hasEditor;
        info.receivesMIDI = config_.receivesMIDI;
        info.sendsMIDI = config_.sendsMIDI;
        info.category = fw::PluginCategory::effectDelay;
        return info;
    }
    std::vector<fw::LegalIO> buildLegalIO() override {
        logStep("buildLegalIO");
        return config_.layouts;
    }
    std::vector<std::unique_ptr<fw::Parameter>> buildParameters() override {
        logStep("buildParameters");
        std::vector<std::unique_ptr<fw::Parameter>> p;
        p.push_back(std::make_unique<fw::LinearFloatParameter>(kDelay, "Delay", "ms", 0.0, 10.0, 5.0));
        p.push_back(std::make_unique<fw::LogFloatParameter>(kCutoff, "Cutoff", "Hz", 20.0, 20000.0, 1000.0));
        p.push_back(std::make_unique<fw::IntegerParameter>(kMode, "Mode", "", 0, 3, 1));
        p.push_back(std::make_unique<fw::BoolParameter>(kSync, "Sync", "", false));
        if (config_.log != nullptr) p.push_back(std::make_unique<LoggedParameter>(kLogged, config_.log));
        for (int i = 0; i < config_.extraParams; ++i) {
            const int index = static_cast<int>(p.size());
            p.push_back(std::make_unique<fw::IntegerParameter>(index, "Extra " + std::to_string(i), "", 0, 10, 0));
        }
        return p;
    }
    std::vector<fw::Preset> buildPresets() override {
        logStep("buildPresets");
        std::vector<fw::Preset> presets;
        for (int i = 0; i < config_.presetCount; ++i) {
            fw::Preset p = makeDefaultPreset();
            p.name = "Preset " + std::to_string(i);
            p.normalizedValues[kDelay] = 0.1f * static_cast<float>(i);
            presets.push_back(std::move(p));
        }
        return presets;
    }
    int maxFramesInProcess() const noexcept override {
        // Recorded through a mutable log; build time only.
        if (config_.log != nullptr) config_.log->push_back("maxFramesInProcess");
        return config_.maxFrames;
    }
    void onClientBuilt() override { logStep("onClientBuilt"); }

    void reset(double sampleRate, int maxFrames, int numInputs, int numOutputs) override {
        resets.push_back({sampleRate, maxFrames, numInputs, numOutputs});
    }

    void processAudio(std::span<const float* const> inputs, std::span<float* const> outputs, int frames,
                      const fw::TimeInfo& info) noexcept override {
        // What a real plug-in does on the audio thread: read parameters lock-free.
        lastDelaySeen = delay().value() + cutoff().value() + mode().value() + (sync().value() ? 1 : 0);
        for (float* out : outputs)
            for (int i = 0; i < frames; ++i) out[i] = static_cast<float>(frames);
        if (!toSend.empty()) {
            for (const fw::MidiMessage& m : toSend) sendMIDIMessage(m);
            toSend.clear();
        }
        if (!recordCalls) return;
        if (config_.receivesMIDI) {
            auto in = midiInputForBlock();
            receivedPerCall.emplace_back(in.begin(), in.end());
        }
        processCalls.push_back({frames, info.timeInSamples, info.tempo, info.hostIsPlaying,
                                std::vector<const float*>(inputs.begin(), inputs.end()),
                                std::vector<float*>(outputs.begin(), outputs.end())});
    }

    std::unique_ptr<fw::IGraphics> createGraphics() override {
        if (!config_.hasEditor) return nullptr;
        return std::make_unique<FakeEditor>(param(kDelay), config_.log);
    }

private:
    void logStep(const char* step) {
        if (config_.log != nullptr) config_.log->push_back(step);
    }
    TestConfig config_;
};

inline std::unique_ptr<TestClient> makeTestClient(TestConfig config = {}) {
    return fw::makeClient<TestClient>(std::move(config));
}

}  // namespace testclient
