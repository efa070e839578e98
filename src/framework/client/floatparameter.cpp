#include "framework/client/floatparameter.h"

#include <cmath>
#include <cstdio>
#include <mutex>
#include <utility>

#include "framework/client/numbertext.h"

namespace fw {

namespace {

double clamp01(double x) noexcept { return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x); }

// Like std::clamp, but a NaN input stays NaN instead of being undefined.
double clampRange(double x, double lo, double hi) noexcept { return x < lo ? lo : (x > hi ? hi : x); }

// %2.2f: at least two characters, two decimals.
void formatValue(double v, char* buffer, unsigned size) noexcept {
    if (buffer == nullptr || size == 0) return;
    std::snprintf(buffer, size, "%2.2f", v);
}

constexpr double kDecibelToLog = 0.11512925464970228;  // ln(10) / 20
constexpr double kLogToDecibel = 8.685889638065037;    // 20 / ln(10)
constexpr long double kLog2e = 1.442695040888963407359924681001892137L;

}  // namespace

FloatParameter::FloatParameter(int index, std::string name, std::string label, double min, double max,
                               double defaultValue)
    : Parameter(index, std::move(name), std::move(label)),
      value_(defaultValue),
      min_(min),
      max_(max),
      default_(defaultValue) {
    static_assert(std::atomic<double>::is_always_lock_free, "the audio thread reads values lock-free");
}

double FloatParameter::clampToRange(double plain) const noexcept { return clampRange(plain, min_, max_); }

void FloatParameter::setFromGUINormalized(double normalized) noexcept {
    if (std::isnan(normalized)) return;
    storeAutomateAndNotify(clampToRange(fromNormalized(normalized)));
}

void FloatParameter::setFromGUI(double plain) noexcept {
    if (std::isnan(plain)) return;
    storeAutomateAndNotify(clampToRange(plain));
}

void FloatParameter::storeAutomateAndNotify(double plain) noexcept {
    editorWrite([&] { value_.exchange(plain, std::memory_order_release); });
}

void FloatParameter::storeFromAudioThread(double plain) noexcept {
    if (std::isnan(plain)) return;
    value_.exchange(clampToRange(plain), std::memory_order_release);
}

double FloatParameter::plainFromNormalized(double normalized) const noexcept {
    return clampToRange(fromNormalized(normalized));
}

double FloatParameter::getNormalized() noexcept {
    std::lock_guard<UncheckedMutex> lock(valueMutex());
    return toNormalized(value_.load(std::memory_order_relaxed));
}

void FloatParameter::stringFromNormalizedValue(double normalized, char* buffer, unsigned size) const noexcept {
    formatValue(fromNormalized(normalized), buffer, size);
}

bool FloatParameter::normalizedValueFromString(std::string_view text, double& normalized) const noexcept {
    normalized = std::nan("");
    double parsed = 0.0;
    if (!parseFloatText(text, parsed)) return false;
    // Into the range first: a logarithmic mapping of a value at or below zero is NaN.
    normalized = toNormalized(clampToRange(parsed));
    return true;
}

void FloatParameter::setNormalized(double normalized) noexcept {
    if (std::isnan(normalized)) return;
    const double plain = fromNormalized(normalized);
    std::lock_guard<UncheckedMutex> lock(valueMutex());
    value_.exchange(plain, std::memory_order_release);
}

void FloatParameter::toStringN(char* buffer, unsigned size) noexcept { formatValue(value(), buffer, size); }

LinearFloatParameter::LinearFloatParameter(int index, std::string name, std::string label, double min,
                                           double max, double defaultValue)
    : FloatParameter(index, std::move(name), std::move(label), min, max, defaultValue) {}

double LinearFloatParameter::toNormalized(double plain) const noexcept {
    return clamp01((plain - minValue()) / (maxValue() - minValue()));
}

double LinearFloatParameter::fromNormalized(double normalized) const noexcept {
    return clampRange((maxValue() - minValue()) * normalized + minValue(), minValue(), maxValue());
}

LogFloatParameter::LogFloatParameter(int index, std::string name, std::string label, double min, double max,
                                     double defaultValue)
    : FloatParameter(index, std::move(name), std::move(label), min, max, defaultValue) {}

double LogFloatParameter::toNormalized(double plain) const noexcept {
    const long double minL = minValue();
    const long double r = std::log(plain / minL) / std::log(static_cast<long double>(maxValue()) / minL);
    return clamp01(static_cast<double>(r));
}

double LogFloatParameter::fromNormalized(double normalized) const noexcept {
    // min * 2^(ln(max / min) * n * log2(e)) == min * (max / min)^n
    const long double minL = minValue();
    const long double octaves = std::log(static_cast<long double>(maxValue()) / minL) * normalized * kLog2e;
    return static_cast<double>(minL * std::exp2(octaves));
}

PowFloatParameter::PowFloatParameter(int index, std::string name, std::string label, double min, double max,
                                     double defaultValue, double shape)
    : FloatParameter(index, std::move(name), std::move(label), min, max, defaultValue), shape_(shape) {}

double PowFloatParameter::toNormalized(double plain) const noexcept {
    return std::pow(clamp01((plain - minValue()) / (maxValue() - minValue())), 1.0 / shape_);
}

double PowFloatParameter::fromNormalized(double normalized) const noexcept {
    // A negative base would make the power NaN; below 0 means the minimum anyway.
    const double n = normalized < 0.0 ? 0.0 : normalized;
    return clampRange((maxValue() - minValue()) * std::pow(n, shape_) + minValue(), minValue(), maxValue());
}

GainParameter::GainParameter(int index, std::string name, double min, double max, double defaultValue,
                             double shape)
    : FloatParameter(index, std::move(name), "dB", min, max, defaultValue), shape_(shape) {}

double GainParameter::toNormalized(double plain) const noexcept {
    return clamp01(std::pow(std::exp(plain * kDecibelToLog) / std::exp(maxValue() * kDecibelToLog), 1.0 / shape_));
}

double GainParameter::fromNormalized(double normalized) const noexcept {
    // A negative base would make the power NaN; below 0 means silence anyway.
    const double n = normalized < 0.0 ? 0.0 : normalized;
    return std::log(std::exp(maxValue() * kDecibelToLog) * std::pow(n, shape_)) * kLogToDecibel;
}

}  // namespace fw

namespace fw {

void FloatParameter::describeRange(ParameterInfo& info) const {
    info.kind = ParameterKind::continuous;
    info.plainMin = min_;
    info.plainMax = max_;
    info.plainDefault = default_;
    info.steps = 0;
    info.logarithmic = isLogarithmic();
}

}  // namespace fw
