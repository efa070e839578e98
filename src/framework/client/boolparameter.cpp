#include "framework/client/boolparameter.h"

#include <cmath>
#include <cstdio>
#include <mutex>
#include <utility>

namespace fw {

namespace {

const char* boolText(bool v) noexcept { return v ? "yes" : "no"; }

}  // namespace

BoolParameter::BoolParameter(int index, std::string name, std::string label, bool defaultValue)
    : Parameter(index, std::move(name), std::move(label)), value_(defaultValue), default_(defaultValue) {}

void BoolParameter::setFromGUI(bool v) noexcept {
    editorWrite([&] { value_.exchange(v, std::memory_order_release); });
}

void BoolParameter::storePlainFromAudioThread(double plain) noexcept {
    if (std::isnan(plain)) return;
    value_.exchange(plain >= 0.5, std::memory_order_release);
}

double BoolParameter::getNormalized() noexcept {
    std::lock_guard<UncheckedMutex> lock(valueMutex());
    return value_.load(std::memory_order_relaxed) ? 1.0 : 0.0;
}

void BoolParameter::stringFromNormalizedValue(double normalized, char* buffer, unsigned size) const noexcept {
    if (buffer == nullptr || size == 0) return;
    std::snprintf(buffer, size, "%s", boolText(normalized >= 0.5));
}

bool BoolParameter::normalizedValueFromString(std::string_view text, double& normalized) const noexcept {
    normalized = std::nan("");
    if (text == "no") {
        normalized = 0.0;
        return true;
    }
    if (text == "yes") {
        normalized = 1.0;
        return true;
    }
    return false;
}

void BoolParameter::setNormalized(double normalized) noexcept {
    if (std::isnan(normalized)) return;
    std::lock_guard<UncheckedMutex> lock(valueMutex());
    value_.exchange(normalized >= 0.5, std::memory_order_release);
}

void BoolParameter::toStringN(char* buffer, unsigned size) noexcept {
    if (buffer == nullptr || size == 0) return;
    std::snprintf(buffer, size, "%s", boolText(value()));
}

}  // namespace fw

namespace fw {

void BoolParameter::describeRange(ParameterInfo& info) const {
    info.kind = ParameterKind::boolean;
    info.plainMin = 0;
    info.plainMax = 1;
    info.plainDefault = default_ ? 1 : 0;
    info.steps = 1;
}

}  // namespace fw
