#pragma once
// IntegerParameter: a whole number in [min, max]; normalized values map linearly
// and round half away from zero. EnumParameter: an integer parameter whose values
// 0..N-1 are shown as the entries of a list of texts.

#include <atomic>
#include <string>
#include <vector>

#include "framework/client/parameter.h"

namespace fw {

class IntegerParameter : public Parameter {
public:
    // Build time. The initial value is `defaultValue`.
    IntegerParameter(int index, std::string name, std::string label, int min, int max, int defaultValue);

    // Any thread, including the audio thread; lock-free, never blocks.
    int value() const noexcept { return value_.load(std::memory_order_relaxed); }
    int minValue() const noexcept { return min_; }
    int maxValue() const noexcept { return max_; }
    int defaultValue() const noexcept { return default_; }

    // Any thread. clamp01((v - min) / (max - min)).
    double toNormalized(int plain) const noexcept;
    // Any thread. (max - min) * n + min rounded half away from zero, clamped to
    // [min, max]; NaN gives min.
    int fromNormalized(double normalized) const noexcept;

    // UI thread, inside an edit gesture. Rounds and clamps, stores, tells the host
    // the new normalized value, notifies listeners. NaN is ignored.
    void setFromGUINormalized(double normalized) noexcept;
    // UI thread, inside an edit gesture. The same sequence for a plain value
    // (clamped to [min, max]): an entry chosen, a reset to the default.
    void setFromGUI(int plain) noexcept;

    double plainValue() const noexcept override { return value(); }
    void storePlainFromAudioThread(double plain) noexcept override;
    double plainFromNormalized(double normalized) const noexcept override { return fromNormalized(normalized); }
    double normalizedFromPlain(double plain) const noexcept override { return toNormalized(roundToRange(plain)); }

    double getNormalized() noexcept override;
    double getNormalizedDefault() const noexcept override { return toNormalized(default_); }
    void stringFromNormalizedValue(double normalized, char* buffer, unsigned size) const noexcept override;
    [[nodiscard]] bool normalizedValueFromString(std::string_view text, double& normalized) const noexcept override;
    bool isDiscrete() const noexcept override { return true; }
    void setNormalized(double normalized) noexcept override;
    void toStringN(char* buffer, unsigned size) noexcept override;
    // Integers are shown as "%d" of each value.
    void describeRange(ParameterInfo& info) const override;

private:
    void storeAutomateAndNotify(int plain) noexcept;
    // Rounded half away from zero and clamped while still a double; NaN gives min.
    int roundToRange(double plain) const noexcept;

    // Relaxed loads suffice: the value is self-contained and published by an
    // atomic exchange; no other data is read through it.
    std::atomic<int> value_;
    int min_;
    int max_;
    int default_;
};

class EnumParameter final : public IntegerParameter {
public:
    // Build time. Values are the indices 0..N-1 of `possibleValues` (N >= 1).
    EnumParameter(int index, std::string name, std::vector<std::string> possibleValues, int defaultValue);

    const std::vector<std::string>& possibleValues() const noexcept { return possibleValues_; }

    void stringFromNormalizedValue(double normalized, char* buffer, unsigned size) const noexcept override;
    [[nodiscard]] bool normalizedValueFromString(std::string_view text, double& normalized) const noexcept override;
    void toStringN(char* buffer, unsigned size) noexcept override;
    void describeRange(ParameterInfo& info) const override;

private:
    std::vector<std::string> possibleValues_;
};

}  // namespace fw
