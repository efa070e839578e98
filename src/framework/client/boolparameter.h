#pragma once
// BoolParameter: an on/off value; normalized 0 or 1, "yes"/"no" as text.

#include <atomic>

#include "framework/client/parameter.h"

namespace fw {

class BoolParameter final : public Parameter {
public:
    // Build time.
    BoolParameter(int index, std::string name, std::string label, bool defaultValue);

    // Any thread, including the audio thread; lock-free, never blocks.
    bool value() const noexcept { return value_.load(std::memory_order_relaxed); }
    bool defaultValue() const noexcept { return default_; }

    // UI thread, inside an edit gesture. Stores, tells the host, notifies listeners.
    void setFromGUI(bool value) noexcept;

    double plainValue() const noexcept override { return value() ? 1.0 : 0.0; }
    // On from 0.5 up.
    void storePlainFromAudioThread(double plain) noexcept override;
    double plainFromNormalized(double normalized) const noexcept override { return normalized >= 0.5 ? 1.0 : 0.0; }
    double normalizedFromPlain(double plain) const noexcept override { return plain >= 0.5 ? 1.0 : 0.0; }

    double getNormalized() noexcept override;
    double getNormalizedDefault() const noexcept override { return default_ ? 1.0 : 0.0; }
    void stringFromNormalizedValue(double normalized, char* buffer, unsigned size) const noexcept override;
    [[nodiscard]] bool normalizedValueFromString(std::string_view text, double& normalized) const noexcept override;
    bool isDiscrete() const noexcept override { return true; }
    void setNormalized(double normalized) noexcept override;
    void toStringN(char* buffer, unsigned size) noexcept override;
    void describeRange(ParameterInfo& info) const override;

private:
    // Relaxed loads suffice: the value is self-contained and published by an
    // atomic exchange; no other data is read through it.
    std::atomic<bool> value_;
    bool default_;
};

}  // namespace fw
