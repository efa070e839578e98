#pragma once
// FakeClient: a small client for the wrapper's tests, with the capabilities Kestrin
// lacks (MIDI in and out, an instrument flag, an editor that records its calls) and
// counters for what the wrapper asked of it. Linked into the test executable and
// registered as the component 'aufx' 'Fake' 'Test' through the wrapper's factory.

#include <AudioToolbox/AudioToolbox.h>

#include <atomic>
#include <memory>
#include <vector>

#include "framework/client/client.h"

namespace autest {

// Set before an instance is created; read by the client's build steps.
struct FakeOptions {
    bool receivesMIDI = false;
    bool sendsMIDI = false;
    bool isSynth = false;
    bool hasGUI = true;
    bool hasEditor = true;
    std::vector<fw::LegalIO> legalIO{{1, 2}, {2, 2}};
};
FakeOptions& fakeOptions();

class FakeEditor final : public fw::IGraphics {
public:
    void* openUI(void* parent, void* controlInfo, fw::IClient* client, fw::GraphicsBackend backend) override;
    void closeUI() override { ++closes; }
    void getGUISize(int* w, int* h) override {
        *w = 900;
        *h = 450;
    }
    bool isResizeable() override { return true; }
    void getMaxSmallerValidSize(int*, int*) override {}
    void getNearestValidSize(int*, int*) override {}
    bool nativeWindowResize(int, int) override { return true; }

    int opens = 0;
    int closes = 0;
    void* lastParent = reinterpret_cast<void*>(1);
    fw::IClient* lastClient = nullptr;
    fw::GraphicsBackend lastBackend = fw::GraphicsBackend::autodetect;
    int view = 0;  // its address is the "view" openUI returns
};

// Parameters: 0 "Gain" (linear 0..1, default 0.5; output = input * gain), 1 "Enabled"
// (bool), 2 "Mode" (enum A, B, C), 3 "Steps" (integer -2..2), 4 kLongParameterName (not
// automatable, default 0.25).
inline constexpr const char kLongParameterName[] =
    "A parameter whose name is longer than the fifty-one bytes of the legacy field";

class FakeClient final : public fw::Client {
public:
    FakeClient() = default;

    std::atomic<int> resets{0};
    double lastRate = 0;
    int lastMaxFrames = 0;
    int lastInputs = -1;
    int lastOutputs = -1;
    std::atomic<int> processCalls{0};
    std::atomic<long> framesProcessed{0};
    fw::TimeInfo lastInfo;
    std::atomic<int> midiReceived{0};
    fw::MidiMessage lastMidi;
    std::atomic<int> createGraphicsCalls{0};
    FakeEditor* editor = nullptr;

protected:
    void reset(double sampleRate, int maxFrames, int numInputs, int numOutputs) override;
    int maxFramesInProcess() const noexcept override { return 0; }
    void processAudio(std::span<const float* const> inputs, std::span<float* const> outputs, int frames,
                      const fw::TimeInfo& info) noexcept override;
    std::unique_ptr<fw::IGraphics> createGraphics() override;
    fw::PluginInfo buildPluginInfo() override;
    std::vector<fw::LegalIO> buildLegalIO() override;
    std::vector<std::unique_ptr<fw::Parameter>> buildParameters() override;
    std::vector<fw::Preset> buildPresets() override;

private:
    fw::Parameter* gain_ = nullptr;
};

constexpr OSType kFakeSubType = 0x46616B65;       // 'Fake'
constexpr OSType kFakeManufacturer = 0x54657374;  // 'Test'

// The factory registered for the fake component (the wrapper's createPlugInInterface).
AudioComponentPlugInInterface* fakeFactory(const AudioComponentDescription*);

}  // namespace autest
