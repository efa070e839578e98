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

#include <memory>
#include <span>
#include <vector>

#include "framework/client/client.h"
#include "kestrin/dspparamaccess.h"
#include "kestrin/stereocrossoverdelay.h"

namespace kestrin {

// Build time. The parameter for control `p` at position `index` (its host id).
// An unknown scale code is a fatal programming error.
std::unique_ptr<fw::Parameter> makeParameterFromControl(const DspParam& p, int index);

// The identity every client of this plug-in reports.
fw::PluginInfo kestrinPluginInfo();

// The largest sub-block processAudio sees; buffers are sized for it once.
inline constexpr int kMaxFramesPerBlock = 512;

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

    int maxFramesInProcess() const noexcept override { return kMaxFramesPerBlock; }

    fw::PluginInfo buildPluginInfo() override { return kestrinPluginInfo(); }
    std::vector<std::unique_ptr<fw::Parameter>> buildParameters() override;
    void onClientBuilt() override;

    // The processor; exists from construction on.
    StereoCrossoverDelay& processor() noexcept { return *dsp_; }

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
};

}  // namespace kestrin
