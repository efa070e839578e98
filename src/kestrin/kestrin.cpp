#include "kestrin/kestrin.h"

#include <cmath>
#include <limits>

#include "framework/client/floatparameter.h"
#include "framework/client/fxb.h"
#include "framework/client/integerparameter.h"
#include "framework/core/fatal.h"
#include "kestrin/factorypresets.h"

namespace kestrin {

Kestrin::Kestrin() : hostSampleRate_(std::numeric_limits<float>::quiet_NaN()) {
    if (fw::Status s = upsampler_.initialize(kLargestOversampling, 512); !s) fw::fatalError(s.message());
}

std::vector<fw::LegalIO> Kestrin::buildLegalIO() { return {{1, 2}, {2, 2}}; }

std::vector<std::unique_ptr<fw::Parameter>> Kestrin::buildParameters() {
    auto params = DspClient::buildParameters();
    params.push_back(std::make_unique<fw::IntegerParameter>(kUpsampleAmountParameter, "Upsample Amount", "", 0, 3, 0));
    return params;
}

std::vector<fw::Preset> Kestrin::buildPresets() {
    fw::FXBPresets bank = fw::loadPresetsFromFXB(*this, factoryPresetBank(), -1);
    if (!bank.status) fw::fatalError("the embedded factory preset bank is corrupt");
    return std::move(bank.presets);
}

void Kestrin::onClientBuilt() {
    DspClient::onClientBuilt();
    tempo_ = dynamic_cast<fw::FloatParameter*>(param(kTempoParameter));
    upsampleAmount_ = dynamic_cast<const fw::IntegerParameter*>(param(kUpsampleAmountParameter));
    if (tempo_ == nullptr || upsampleAmount_ == nullptr)
        fw::fatalError("the tempo or oversampling parameter has the wrong kind");
}

void Kestrin::reset(double sampleRate, int, int, int) {
    hostSampleRate_ = static_cast<float>(sampleRate);
    processor().initialize(processorRate(sampleRate));
    appliedFactor_ = 0;
}

bool Kestrin::checkUpsampleRateChange(int factor) noexcept {
    if (!(hostSampleRate_ > 0.0f) || !std::isfinite(hostSampleRate_)) return false;  // no reset yet
    if (factor == appliedFactor_) return true;
    processor().initialize(factor * processorRate(hostSampleRate_));
    upsampler_.setBaseSampleRate(hostSampleRate_);
    if (!upsampler_.setOverSampleFactor(factor)) return false;
    appliedFactor_ = factor;
    return true;
}

void Kestrin::followHostTempo(double hostTempo) noexcept {
    // Written silently on every block in which it differs: the host's tempo wins over
    // automation and the editor. A NaN tempo from the host is ignored.
    if (!(hostTempo == tempo_->value())) tempo_->storeFromAudioThread(hostTempo);
}

void Kestrin::processAudio(std::span<const float* const> inputs, std::span<float* const> outputs, int frames,
                           const fw::TimeInfo& info) noexcept {
    if (frames <= 0) return;
    const int factor = 1 << upsampleAmount_->value();  // 0..3 -> 1, 2, 4, 8
    if (!checkUpsampleRateChange(factor)) {
        clearOutputsFrom(outputs, 0, frames);
        return;
    }
    followHostTempo(info.tempo);
    updateDspParams();

    // A single input feeds both sides.
    const float* in[2] = {silence(), silence()};
    if (inputs.size() == 1) {
        in[0] = in[1] = inputs[0];
    } else if (inputs.size() >= 2) {
        in[0] = inputs[0];
        in[1] = inputs[1];
    }
    for (const float*& p : in)
        if (p == nullptr) p = silence();
    const std::array<float*, 2> out = outputPair(outputs);

    if (!upsampler_.upsample(frames, in)) {
        clearOutputsFrom(outputs, 0, frames);
        return;
    }
    float* work[2] = {upsampler_.workBuffer(0), upsampler_.workBuffer(1)};
    processor().compute(factor * frames, work, work);
    if (!upsampler_.decimate(out.data(), frames)) {
        clearOutputsFrom(outputs, 0, frames);
        return;
    }
    // With one input both outputs keep the processed channels (stereo echoes from a
    // mono source); only outputs beyond the two computed ones are cleared.
    clearOutputsFrom(outputs, 2, frames);
}

}  // namespace kestrin
