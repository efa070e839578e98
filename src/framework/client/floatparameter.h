#pragma once
// FloatParameter: a continuous value in [min, max] held as a double, and its four
// mappings between plain and normalized values:
//   LinearFloatParameter  v = min + (max - min) n
//   LogFloatParameter     v = min (max / min)^n           (logarithms in long double)
//   PowFloatParameter     v = min + (max - min) n^shape
//   GainParameter         v in dB = max + 20 log10(n^shape); n = 0 gives -infinity

#include <atomic>
#include <string>

#include "framework/client/parameter.h"

namespace fw {

class FloatParameter : public Parameter {
public:
    // Any thread, including the audio thread; lock-free, never blocks.
    double value() const noexcept { return value_.load(std::memory_order_relaxed); }
    double minValue() const noexcept { return min_; }
    double maxValue() const noexcept { return max_; }
    double defaultValue() const noexcept { return default_; }

    // Any thread. The mapping between plain and normalized values.
    virtual double toNormalized(double plain) const noexcept = 0;
    virtual double fromNormalized(double normalized) const noexcept = 0;
    // Any thread. True when the plain value grows exponentially with the normalized one.
    virtual bool isLogarithmic() const noexcept { return false; }

    // UI thread, inside an edit gesture. v = clamp(fromNormalized(n), min, max);
    // stores, tells the host the new normalized value, notifies listeners. NaN is ignored.
    void setFromGUINormalized(double normalized) noexcept;
    // UI thread, inside an edit gesture. The same sequence for a plain value
    // (clamped to [min, max]), for example a reset to the default.
    void setFromGUI(double plain) noexcept;

    // Audio thread; never blocks, never allocates. Clamps `plain` into [min, max]
    // and stores it without the lock and without notifying anyone (the host's tempo
    // written into a tempo parameter, for example). NaN is ignored.
    void storeFromAudioThread(double plain) noexcept;

    double plainValue() const noexcept override { return value(); }
    void storePlainFromAudioThread(double plain) noexcept override { storeFromAudioThread(plain); }
    double plainFromNormalized(double normalized) const noexcept override;
    double normalizedFromPlain(double plain) const noexcept override { return toNormalized(clampToRange(plain)); }

    double getNormalized() noexcept override;
    double getNormalizedDefault() const noexcept override { return toNormalized(default_); }
    void stringFromNormalizedValue(double normalized, char* buffer, unsigned size) const noexcept override;
    [[nodiscard]] bool normalizedValueFromString(std::string_view text, double& normalized) const noexcept override;
    bool isDiscrete() const noexcept override { return false; }
    void describeRange(ParameterInfo& info) const override;
    void setNormalized(double normalized) noexcept override;
    void toStringN(char* buffer, unsigned size) noexcept override;

protected:
    // Build time. The initial value is `defaultValue` (not clamped).
    FloatParameter(int index, std::string name, std::string label, double min, double max, double defaultValue);

private:
    void storeAutomateAndNotify(double plain) noexcept;
    double clampToRange(double plain) const noexcept;

    // Relaxed loads suffice: the value is self-contained and published by an
    // atomic exchange; no other data is read through it.
    std::atomic<double> value_;
    double min_;
    double max_;
    double default_;
};

class LinearFloatParameter final : public FloatParameter {
public:
    LinearFloatParameter(int index, std::string name, std::string label, double min, double max,
                         double defaultValue);
    double toNormalized(double plain) const noexcept override;
    double fromNormalized(double normalized) const noexcept override;
};

class LogFloatParameter final : public FloatParameter {
public:
    // min and max must be positive.
    LogFloatParameter(int index, std::string name, std::string label, double min, double max,
                      double defaultValue);
    double toNormalized(double plain) const noexcept override;
    // Not clamped: normalized values outside [0, 1] extrapolate.
    double fromNormalized(double normalized) const noexcept override;
    bool isLogarithmic() const noexcept override { return true; }
};

class PowFloatParameter final : public FloatParameter {
public:
    PowFloatParameter(int index, std::string name, std::string label, double min, double max,
                      double defaultValue, double shape);
    double shape() const noexcept { return shape_; }
    double toNormalized(double plain) const noexcept override;
    double fromNormalized(double normalized) const noexcept override;

private:
    double shape_;
};

class GainParameter final : public FloatParameter {
public:
    // Values in dB; `max` is the gain at normalized 1.
    GainParameter(int index, std::string name, double min, double max, double defaultValue, double shape);
    double shape() const noexcept { return shape_; }
    double toNormalized(double plain) const noexcept override;
    // Not clamped above; normalized 0 (or below) gives -infinity.
    double fromNormalized(double normalized) const noexcept override;

private:
    double shape_;
};

}  // namespace fw
