#pragma once
// Kestrin: the plug-in's client, the object the Audio Unit wrapper creates.
//
// On top of the crossover delay's 15 parameters it adds "Upsample Amount" (index 15:
// 0, 1, 2, 3 for 1, 2, 4, 8 times the host rate), follows the host tempo in the
// "Tempo" parameter (index 14), accepts mono or stereo input and ships three
// factory presets. Each sub-block: raise both channels to the working rate, run the
// delay in place on the raised signal, filter and decimate back into the outputs.

#include <memory>
#include <span>
#include <vector>

#include "dsp/oversampling/stereoupsampler.h"
#include "kestrin/dspclient.h"

namespace fw {
class FloatParameter;
class IntegerParameter;
}  // namespace fw

namespace kestrin {

inline constexpr int kTempoParameter = 14;
inline constexpr int kUpsampleAmountParameter = 15;
inline constexpr int kLargestOversampling = 8;

class Kestrin : public DspClient {
public:
    // Host thread. Create with fw::makeClient<Kestrin>().
    Kestrin();

    // Audio thread. The factor the processor and the oversampler are set up for;
    // 0 until the first block after a reset.
    int appliedFactor() const noexcept { return appliedFactor_; }
    // Audio thread. The processor's current integer rate.
    int processorSampleRate() noexcept { return processor().getSampleRate(); }

protected:
    // Audio thread (preparation; allocates nothing). Re-initialises the processor at
    // the host rate and makes the next block apply the oversampling factor anew.
    void reset(double sampleRate, int maxFrames, int numInputs, int numOutputs) override;
    // Audio thread; never blocks, never allocates. At most kMaxFramesPerBlock frames,
    // in one of the two layouts, every channel pointer valid.
    void processAudio(std::span<const float* const> inputs, std::span<float* const> outputs, int frames,
                      const fw::TimeInfo& info) noexcept override;

    std::vector<fw::LegalIO> buildLegalIO() override;
    std::vector<std::unique_ptr<fw::Parameter>> buildParameters() override;
    std::vector<fw::Preset> buildPresets() override;
    void onClientBuilt() override;

private:
    // Audio thread. Re-initialises the processor and the oversampler when the factor
    // differs from the applied one. False when no host rate is known yet.
    bool checkUpsampleRateChange(int factor) noexcept;
    void followHostTempo(double hostTempo) noexcept;
    static void clearOutputs(std::span<float* const> outputs, int frames) noexcept;

    dsp::oversampling::StereoUpsampler upsampler_;
    float hostSampleRate_;  // NaN before the first reset
    bool monoInput_ = false;  // the host gives one input: it feeds both sides
    int appliedFactor_ = 0;
    fw::FloatParameter* tempo_ = nullptr;
    const fw::IntegerParameter* upsampleAmount_ = nullptr;
};

}  // namespace kestrin
