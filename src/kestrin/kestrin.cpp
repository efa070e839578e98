#include "kestrin/kestrin.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "framework/client/floatparameter.h"
#include "framework/client/fxb.h"
#include "framework/client/integerparameter.h"
#include "framework/core/fatal.h"
#include "kestrin/factorypresets.h"
#include "kestrin/workingrate.h"

namespace kestrin {

Kestrin::Kestrin(EditorFactory editorFactory)
    : editorFactory_(editorFactory), hostSampleRate_(std::numeric_limits<float>::quiet_NaN()) {
    if (fw::Status s = upsampler_.initialize(kLargestOversamplingFactor, kMaxFramesPerBlock); !s) fw::fatalError(s.message());
}

std::unique_ptr<fw::IGraphics> Kestrin::createGraphics() {
    return editorFactory_ != nullptr ? editorFactory_(*this) : nullptr;
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

void Kestrin::reset(double sampleRate, int, int numInputs, int) {
    hostSampleRate_ = static_cast<float>(sampleRate);
    monoInput_ = numInputs == 1;
    // The lines are sized here for the highest rate checkUpsampleRateChange can ask
    // for, so that no factor change allocates.
    processor().prepareLines(
        workingProcessorRate(hostSampleRate_, oversamplingFactorInForce(hostSampleRate_, kLargestOversamplingFactor)));
    processor().initialize(processorRate(sampleRate));
    // The oversampler starts from silence too: factor 1 sets its filters' rate, which
    // clears them, and the next block's factor sets them up afresh. Without this a
    // reset at an unchanged factor let the filters ring on with what came before.
    upsampler_.setBaseSampleRate(hostSampleRate_);
    (void)upsampler_.setOverSampleFactor(1);  // refused only without a valid rate
    appliedFactor_ = 0;
}

int Kestrin::workingProcessorRate(double hostRate, int factor) noexcept {
    // In 64 bits: the factor in force keeps the product within kMaxWorkingRate, but a
    // rate no host should give must not wrap into a negative or small rate either.
    const std::int64_t rate = std::int64_t(factor) * std::int64_t(processorRate(hostRate));
    return rate > std::int64_t(INT_MAX) ? INT_MAX : int(rate);
}

bool Kestrin::checkUpsampleRateChange(int factor) noexcept {
    if (!(hostSampleRate_ > 0.0f) || !std::isfinite(hostSampleRate_)) return false;  // no reset yet
    if (factor == appliedFactor_) return true;
    processor().initialize(workingProcessorRate(hostSampleRate_, factor));
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

void Kestrin::clearOutputs(std::span<float* const> outputs, int frames) noexcept {
    for (float* out : outputs) std::memset(out, 0, sizeof(float) * std::size_t(frames));
}

void Kestrin::processAudio(std::span<const float* const> inputs, std::span<float* const> outputs, int frames,
                           const fw::TimeInfo& info) noexcept {
    // Both inputs and outputs are there, every pointer valid (the host facade stands in
    // for what the host left out), so only a broken caller gets here with less.
    if (frames <= 0) return;
    if (inputs.empty() || outputs.size() < 2) {
        clearOutputs(outputs, frames);
        return;
    }
    const int factor = oversamplingFactorInForce(hostSampleRate_, 1 << upsampleAmount_->value());  // 0..3 asks 1..8
    if (!checkUpsampleRateChange(factor)) {
        clearOutputs(outputs, frames);
        return;
    }
    followHostTempo(info.tempo);
    updateDspParams();

    // A single input feeds both sides; with one input both outputs keep the processed
    // channels (stereo echoes from a mono source).
    const float* in[2] = {inputs[0], monoInput_ || inputs.size() < 2 ? inputs[0] : inputs[1]};
    float* out[2] = {outputs[0], outputs[1]};
    if (!upsampler_.upsample(frames, in)) {
        clearOutputs(outputs, frames);
        return;
    }
    float* work[2] = {upsampler_.workBuffer(0), upsampler_.workBuffer(1)};
    processor().compute(factor * frames, work, work);
    if (!upsampler_.decimate(out, frames)) clearOutputs(outputs, frames);
}

}  // namespace kestrin
