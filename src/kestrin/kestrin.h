#pragma once
// Kestrin: the plug-in's client, the object the Audio Unit wrapper creates.
//
// On top of the crossover delay's 15 parameters it adds "Upsample Amount" (index 15:
// 0, 1, 2, 3 for 1, 2, 4, 8 times the host rate), follows the host tempo in the
// "Tempo" parameter (index 14), accepts mono or stereo input and ships three
// factory presets. Each sub-block: raise both channels to the working rate, run the
// delay in place on the raised signal, filter and decimate back into the outputs.
// The working rate stays at or below kMaxWorkingRate (workingrate.h): a factor that
// would exceed it is lowered for the processing, the parameter keeps its value.

#include <memory>
#include <span>
#include <vector>

#include "dsp/oversampling/stereoupsampler.h"
#include "kestrin/dspclient.h"
#include "kestrin/workingrate.h"

namespace fw {
class FloatParameter;
class IntegerParameter;
}  // namespace fw

namespace kestrin {

inline constexpr int kTempoParameter = 14;
inline constexpr int kUpsampleAmountParameter = 15;

class Kestrin;

// UI thread. Builds the editor of a client (kestrin/gui's makeKestrinGUI). A
// client made without one has no editor, so binaries that never show one (the
// command-line host, the LV2 DSP binary) do not carry the editor's code.
using EditorFactory = std::unique_ptr<fw::IGraphics> (*)(Kestrin& client);

class Kestrin : public DspClient {
public:
    // Host thread. Create with fw::makeClient<Kestrin>(editorFactory).
    explicit Kestrin(EditorFactory editorFactory = nullptr);

    // Audio thread. The factor in force, the one the processor and the oversampler
    // are set up for (below the asked one where the working rate would exceed its
    // ceiling); 0 until the first block after a reset.
    int appliedFactor() const noexcept { return appliedFactor_; }
    // Audio thread. The processor's current integer rate.
    int processorSampleRate() noexcept { return processor().getSampleRate(); }
    // Audio thread. Samples per delay line, as the last reset sized them.
    int delayLineCapacity() noexcept { return processor().lineCapacity(); }

protected:
    // Audio thread (preparation, before processing starts; allocates). Sizes the
    // delay lines for the highest working rate the host rate can reach, re-initialises
    // the processor at the host rate and makes the next block apply the factor anew.
    void reset(double sampleRate, int maxFrames, int numInputs, int numOutputs) override;
    // Audio thread; never blocks, never allocates. At most kMaxFramesPerBlock frames,
    // in one of the two layouts, every channel pointer valid.
    void processAudio(std::span<const float* const> inputs, std::span<float* const> outputs, int frames,
                      const fw::TimeInfo& info) noexcept override;

    // UI thread, once. The editor from the factory given at construction, or null.
    std::unique_ptr<fw::IGraphics> createGraphics() override;

    std::vector<fw::LegalIO> buildLegalIO() override;
    std::vector<std::unique_ptr<fw::Parameter>> buildParameters() override;
    std::vector<fw::Preset> buildPresets() override;
    void onClientBuilt() override;

private:
    // Audio thread; never blocks, never allocates. Re-initialises the processor (in
    // the lines reset sized) and the oversampler when the factor in force differs
    // from the applied one. False when no host rate is known yet.
    bool checkUpsampleRateChange(int factor) noexcept;
    // Any thread. The processor's integer rate at `factor` times the host rate: the
    // host rate truncated, times the factor, at most INT_MAX.
    static int workingProcessorRate(double hostRate, int factor) noexcept;
    void followHostTempo(double hostTempo) noexcept;
    static void clearOutputs(std::span<float* const> outputs, int frames) noexcept;

    EditorFactory editorFactory_;
    dsp::oversampling::StereoUpsampler upsampler_;
    float hostSampleRate_;  // NaN before the first reset
    bool monoInput_ = false;  // the host gives one input: it feeds both sides
    int appliedFactor_ = 0;
    fw::FloatParameter* tempo_ = nullptr;
    const fw::IntegerParameter* upsampleAmount_ = nullptr;
};

}  // namespace kestrin
