#include "kestrin/dspclient.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "framework/client/boolparameter.h"
#include "framework/client/floatparameter.h"
#include "framework/client/integerparameter.h"
#include "framework/core/fatal.h"

namespace kestrin {

namespace {

constexpr double kEuler = 2.718281828459045;

int truncateToInt(float x) noexcept {
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0f) return INT_MAX;
    if (x <= -2147483648.0f) return INT_MIN;
    return static_cast<int>(x);
}

}  // namespace

std::unique_ptr<fw::Parameter> makeParameterFromControl(const DspParam& p, int index) {
    if (p.isButton) {
        const bool on = *p.zone != 0.0f;
        return std::make_unique<fw::BoolParameter>(index, p.label, "", on);
    }
    if (!(p.step == 1.0f)) {  // a NaN step counts as not 1
        switch (static_cast<DspScale>(p.scale)) {
            case DspScale::linear:
                return std::make_unique<fw::LinearFloatParameter>(index, p.label, p.unit, p.min, p.max, p.init);
            case DspScale::log:
                return std::make_unique<fw::LogFloatParameter>(index, p.label, p.unit, p.min, p.max, p.init);
            case DspScale::exp:
                return std::make_unique<fw::PowFloatParameter>(index, p.label, p.unit, p.min, p.max, p.init,
                                                              kEuler);
        }
        fw::fatalError("a processor control declares an unknown scale");
    }
    const int min = truncateToInt(p.min);
    const int max = truncateToInt(p.max);
    int init = truncateToInt(p.init);
    if (init < min) init = min;
    if (init > max) init = max;  // max wins when min > max
    return std::make_unique<fw::IntegerParameter>(index, p.label, p.unit, min, max, init);
}

fw::PluginInfo kestrinPluginInfo() {
    fw::PluginInfo info;
    info.vendorName = "Tallowmere Dorovuvuru";
    info.vendorUniqueID = {'T', 'l', 'm', 'w'};
    info.vendorSupportEmail = "support@tallowmere-dorovuvuru.com";
    info.pluginName = "Kestrin 3";
    info.pluginHomepage = "https://www.tallowmere-dorovuvuru.com/kestrin3";
    info.pluginUniqueID = {'K', 's', 't', '3'};
    info.publicVersion = {3, 0, 1};
    info.hasGUI = true;
    info.isSynth = false;
    info.receivesMIDI = false;
    info.sendsMIDI = false;
    info.category = fw::PluginCategory::effectDelay;
    return info;
}

DspClient::DspClient() = default;

void DspClient::ensureProcessor() {
    if (!dsp_) dsp_ = StereoCrossoverDelay::create();
}

void DspClient::buildDspModule() {
    ensureProcessor();
    DspParamAccess visitor;
    dsp_->buildUserInterface(&visitor);
    controls_ = visitor.readParams();
}

std::vector<std::unique_ptr<fw::Parameter>> DspClient::buildParameters() {
    buildDspModule();
    std::vector<std::unique_ptr<fw::Parameter>> params;
    params.reserve(controls_.size());
    for (std::size_t i = 0; i < controls_.size(); ++i)
        params.push_back(makeParameterFromControl(controls_[i], static_cast<int>(i)));
    return params;
}

void DspClient::onClientBuilt() {
    // The controls are collected once more from the same processor; the bindings pair
    // each with its parameter so the audio thread needs no type tests.
    buildDspModule();
    bindings_.clear();
    bindings_.reserve(controls_.size());
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const fw::Parameter* p = param(static_cast<int>(i));
        ControlBinding::Kind kind;
        if (dynamic_cast<const fw::FloatParameter*>(p)) {
            kind = ControlBinding::Kind::floatValue;
        } else if (dynamic_cast<const fw::IntegerParameter*>(p)) {
            kind = ControlBinding::Kind::integerValue;
        } else if (dynamic_cast<const fw::BoolParameter*>(p)) {
            kind = ControlBinding::Kind::boolValue;
        } else {
            fw::fatalError("a processor control has no float, integer or bool parameter");
        }
        bindings_.push_back({kind, p, controls_[i].zone});
    }
}

void DspClient::updateDspParams() noexcept {
    for (const ControlBinding& b : bindings_) {
        switch (b.kind) {
            case ControlBinding::Kind::floatValue:
                *b.zone = static_cast<float>(static_cast<const fw::FloatParameter*>(b.parameter)->value());
                break;
            case ControlBinding::Kind::integerValue:
                *b.zone = static_cast<float>(static_cast<const fw::IntegerParameter*>(b.parameter)->value());
                break;
            case ControlBinding::Kind::boolValue:
                *b.zone = static_cast<const fw::BoolParameter*>(b.parameter)->value() ? 1.0f : 0.0f;
                break;
        }
    }
}

int DspClient::processorRate(double sampleRate) noexcept {
    if (!(sampleRate > 0.0)) return 0;
    if (sampleRate >= double(INT_MAX)) return INT_MAX;
    return static_cast<int>(sampleRate);
}

}  // namespace kestrin
