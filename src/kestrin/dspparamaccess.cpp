#include "kestrin/dspparamaccess.h"

#include <cstring>
#include <utility>

namespace kestrin {

namespace {

bool equals(const char* a, const char* b) noexcept { return a != nullptr && std::strcmp(a, b) == 0; }

}  // namespace

void DspParamAccess::declare(float* /*zone*/, const char* key, const char* value) {
    if (equals(key, "unit")) {
        pendingUnit_ = value ? value : "";
    } else if (equals(key, "scale")) {
        pendingScale_ = equals(value, "log")   ? int(DspScale::log)
                        : equals(value, "exp") ? int(DspScale::exp)
                                               : int(DspScale::linear);
    }
    // Ordering keys, tooltips and styles do not concern the parameters.
}

void DspParamAccess::add(const char* label, float* zone, float init, float min, float max, float step,
                         bool isButton) {
    DspParam p;
    p.label = label ? label : "";
    p.unit = std::move(pendingUnit_);
    p.zone = zone;
    p.init = init;
    p.min = min;
    p.max = max;
    p.step = step;
    p.isButton = isButton;
    p.scale = pendingScale_;
    params_.push_back(std::move(p));
    // Metadata applies to the one control that follows it.
    pendingUnit_.clear();
    pendingScale_ = int(DspScale::linear);
}

void DspParamAccess::addButton(const char* label, float* zone) { add(label, zone, 0, 0, 0, 0, true); }

void DspParamAccess::addCheckButton(const char* label, float* zone) { add(label, zone, 0, 0, 0, 0, true); }

void DspParamAccess::addVerticalSlider(const char* label, float* zone, float init, float min, float max,
                                       float step) {
    add(label, zone, init, min, max, step, false);
}

void DspParamAccess::addHorizontalSlider(const char* label, float* zone, float init, float min, float max,
                                         float step) {
    add(label, zone, init, min, max, step, false);
}

void DspParamAccess::addNumEntry(const char* label, float* zone, float init, float min, float max, float step) {
    add(label, zone, init, min, max, step, false);
}

std::vector<DspParam> DspParamAccess::readParams() { return std::exchange(params_, {}); }

}  // namespace kestrin
