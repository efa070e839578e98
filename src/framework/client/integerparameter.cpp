#include "framework/client/integerparameter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <utility>

#include "framework/client/numbertext.h"
#include "framework/core/fatal.h"

namespace fw {

namespace {

double clamp01(double x) noexcept { return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x); }

}  // namespace

IntegerParameter::IntegerParameter(int index, std::string name, std::string label, int min, int max,
                                   int defaultValue)
    : Parameter(index, std::move(name), std::move(label)),
      value_(defaultValue),
      min_(min),
      max_(max),
      default_(defaultValue) {}

double IntegerParameter::toNormalized(int plain) const noexcept {
    // min == max divides by zero and gives NaN; the plug-in never builds such a parameter.
    return clamp01((double(plain) - min_) / (double(max_) - min_));
}

int IntegerParameter::fromNormalized(double normalized) const noexcept {
    if (std::isnan(normalized)) return min_;
    return roundToRange((double(max_) - min_) * normalized + min_);
}

int IntegerParameter::roundToRange(double x) const noexcept {
    if (std::isnan(x)) return min_;
    const double rounded = x >= 0 ? std::trunc(x + 0.5) : std::trunc(x - 0.5);
    // Clamped while still a double: converting an out-of-range double to int is undefined.
    if (rounded <= min_) return min_;
    if (rounded >= max_) return max_;
    return static_cast<int>(rounded);
}

void IntegerParameter::storePlainFromAudioThread(double plain) noexcept {
    if (std::isnan(plain)) return;
    value_.exchange(roundToRange(plain), std::memory_order_release);
}

void IntegerParameter::setFromGUINormalized(double normalized) noexcept {
    if (std::isnan(normalized)) return;
    storeAutomateAndNotify(fromNormalized(normalized));
}

void IntegerParameter::setFromGUI(int plain) noexcept {
    storeAutomateAndNotify(std::clamp(plain, std::min(min_, max_), max_));
}

void IntegerParameter::storeAutomateAndNotify(int plain) noexcept {
    editorWrite([&] { value_.exchange(plain, std::memory_order_release); });
}

double IntegerParameter::getNormalized() noexcept {
    std::lock_guard<UncheckedMutex> lock(valueMutex());
    return toNormalized(value_.load(std::memory_order_relaxed));
}

void IntegerParameter::stringFromNormalizedValue(double normalized, char* buffer, unsigned size) const noexcept {
    if (buffer == nullptr || size == 0) return;
    std::snprintf(buffer, size, "%d", fromNormalized(normalized));
}

bool IntegerParameter::normalizedValueFromString(std::string_view text, double& normalized) const noexcept {
    normalized = std::nan("");
    int parsed = 0;
    if (!parseIntegerText(text, parsed)) return false;
    normalized = toNormalized(parsed);
    return true;
}

void IntegerParameter::setNormalized(double normalized) noexcept {
    if (std::isnan(normalized)) return;
    const int plain = fromNormalized(normalized);
    std::lock_guard<UncheckedMutex> lock(valueMutex());
    value_.exchange(plain, std::memory_order_release);
}

void IntegerParameter::toStringN(char* buffer, unsigned size) noexcept {
    if (buffer == nullptr || size == 0) return;
    std::snprintf(buffer, size, "%d", value());
}

EnumParameter::EnumParameter(int index, std::string name, std::vector<std::string> possibleValues,
                             int defaultValue)
    : IntegerParameter(index, std::move(name), std::string(), 0, static_cast<int>(possibleValues.size()) - 1,
                       defaultValue),
      possibleValues_(std::move(possibleValues)) {
    if (possibleValues_.empty()) fatalError("an enum parameter needs at least one entry");
    if (defaultValue < 0 || defaultValue > maxValue()) fatalError("enum parameter default out of range");
}

void EnumParameter::stringFromNormalizedValue(double normalized, char* buffer, unsigned size) const noexcept {
    if (buffer == nullptr || size == 0) return;
    const std::string& entry = possibleValues_[static_cast<std::size_t>(fromNormalized(normalized))];
    std::snprintf(buffer, size, "%.*s", static_cast<int>(entry.size()), entry.data());
}

bool EnumParameter::normalizedValueFromString(std::string_view text, double& normalized) const noexcept {
    normalized = std::nan("");
    for (std::size_t i = 0; i < possibleValues_.size(); ++i) {
        if (possibleValues_[i] == text) {
            normalized = toNormalized(static_cast<int>(i));
            return true;
        }
    }
    return false;
}

void EnumParameter::toStringN(char* buffer, unsigned size) noexcept {
    if (buffer == nullptr || size == 0) return;
    // The value is kept in [0, N-1], so the entry always exists.
    const std::string& entry = possibleValues_[static_cast<std::size_t>(value())];
    const std::size_t n = std::min<std::size_t>(entry.size(), size - 1);
    std::memcpy(buffer, entry.data(), n);
    buffer[n] = '\0';
}

}  // namespace fw

namespace fw {

void IntegerParameter::describeRange(ParameterInfo& info) const {
    info.kind = ParameterKind::integer;
    info.plainMin = min_;
    info.plainMax = max_;
    info.plainDefault = default_;
    info.steps = max_ - min_;
    info.valueStrings.clear();
    for (int v = min_; v <= max_; ++v) {
        char text[16];
        std::snprintf(text, sizeof text, "%d", v);
        info.valueStrings.emplace_back(text);
    }
}

void EnumParameter::describeRange(ParameterInfo& info) const {
    IntegerParameter::describeRange(info);
    info.kind = ParameterKind::enumeration;
    for (std::size_t i = 0; i < info.valueStrings.size() && i < possibleValues_.size(); ++i)
        info.valueStrings[i] = possibleValues_[i];
}

}  // namespace fw
