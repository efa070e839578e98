#pragma once
// DspClient: a plug-in client whose parameters come from a generated processor.
//
// The processor (StereoCrossoverDelay) declares its controls to a DspParamAccess
// visitor; each declared control becomes one parameter, in declaration order:
//   button or check button           -> BoolParameter
//   step exactly 1                   -> IntegerParameter (range and default truncated)
//   otherwise, by the "scale" key    -> LinearFloatParameter, LogFloatParameter,
//                                       PowFloatParameter with shape e
// Before every processed block the parameters' values are copied, lock-free, into
// the processor's controls, so the parameters are the single source of truth.

#include <array>
#include <memory>
#include <span>
#include <vector>

#include "framework/client/client.h"
#include "framework/core/vec.h"
#include "kestrin/dspparamaccess.h"
#include "kestrin/stereocrossoverdelay.h"

namespace kestrin {

// Build time. The parameter for control `p` at position `index` (its host id).
// An unknown scale code is a fatal programming error.
std::unique_ptr<fw::Parameter> makeParameterFromControl(const DspParam& p, int index);

// The identity every client of this plug-in reports.
fw::PluginInfo kestrinPluginInfo();

class DspClient : public fw::Client {
public:
    // Any thread. The processor's collected controls (valid for the client's life).
    std::span<const DspParam> controls() const noexcept { return controls_; }

protected:
    DspClient();

    // Build time. Creates the processor if needed and (re)collects its controls.
    virtual void buildDspModule();
    // Audio thread; never blocks, never allocates. Copies parameters 0 to
    // controls().size() - 1 into the processor's controls.
    virtual void updateDspParams() noexcept;

    // Audio thread; may allocate nothing. Initialises the processor at the rate's integer part.
    void reset(double sampleRate, int maxFrames, int numInputs, int numOutputs) override;
    int maxFramesInProcess() const noexcept override { return 512; }
    // Audio thread; never blocks, never allocates. Updates the controls, computes
    // (a missing input reads as silence), then clears every output beyond the inputs.
    void processAudio(std::span<const float* const> inputs, std::span<float* const> outputs, int frames,
                      const fw::TimeInfo& info) noexcept override;

    fw::PluginInfo buildPluginInfo() override { return kestrinPluginInfo(); }
    std::vector<fw::LegalIO> buildLegalIO() override;
    std::vector<std::unique_ptr<fw::Parameter>> buildParameters() override;
    std::vector<fw::Preset> buildPresets() override;
    void onClientBuilt() override;

    // The processor; exists from construction on.
    StereoCrossoverDelay& processor() noexcept { return *dsp_; }

    // Audio thread. 512 samples of silence, read in place of a missing input, and a
    // 512-sample sink written in place of a missing output.
    const float* silence() const noexcept { return silence_.data(); }
    float* discard() noexcept { return discard_.data(); }
    // Audio thread. Output channels 0 and 1, the sink standing in for any that is
    // missing or null.
    std::array<float*, 2> outputPair(std::span<float* const> outputs) noexcept;

    // Clears outputs[k] for every k >= firstChannel.
    static void clearOutputsFrom(std::span<float* const> outputs, std::size_t firstChannel, int frames) noexcept;
    // A host rate as the processor's integer rate: truncated; 0 for NaN or negatives.
    static int processorRate(double sampleRate) noexcept;

private:
    struct ControlBinding {
        enum class Kind { floatValue, integerValue, boolValue } kind;
        const fw::Parameter* parameter;
        float* zone;
    };

    void ensureProcessor();

    std::unique_ptr<StereoCrossoverDelay> dsp_;
    std::vector<DspParam> controls_;
    // One per control, resolved once after the build so the audio thread does no lookups.
    std::vector<ControlBinding> bindings_;
    fw::Vec<float> silence_;
    fw::Vec<float> discard_;
};

}  // namespace kestrin
