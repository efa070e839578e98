#pragma once
// DspParamAccess: a UI visitor that collects a generated processor's input controls.
//
// The processor declares each control once, with the address ("zone") of the float
// that holds its value, preceded by metadata declarations. Only "unit" and "scale"
// metadata matter here, and each applies to the next control only. Outputs
// (bargraphs) and groups are not collected.

#include <cstddef>
#include <string>
#include <vector>

#include "kestrin/dspinterface.h"

namespace kestrin {

enum class DspScale : int { linear = 0, log = 1, exp = 2 };

struct DspParam {
    std::string label;  // becomes the parameter's name
    std::string unit;   // from the last "unit" declaration before the control
    float* zone = nullptr;
    float init = 0, min = 0, max = 0, step = 0;  // all 0 for buttons
    bool isButton = false;                       // buttons and check buttons
    int scale = 0;                               // a DspScale, from the last "scale" declaration
};

// Set-up thread only (the visitor runs inside buildUserInterface).
class DspParamAccess final : public UI {
public:
    void declare(float* zone, const char* key, const char* value) override;
    void addButton(const char* label, float* zone) override;
    void addCheckButton(const char* label, float* zone) override;
    void addVerticalSlider(const char* label, float* zone, float init, float min, float max, float step) override;
    void addHorizontalSlider(const char* label, float* zone, float init, float min, float max, float step) override;
    void addNumEntry(const char* label, float* zone, float init, float min, float max, float step) override;

    // Hands the collected controls over; the visitor forgets them.
    std::vector<DspParam> readParams();

private:
    void add(const char* label, float* zone, float init, float min, float max, float step, bool isButton);

    std::vector<DspParam> params_;
    std::string pendingUnit_;
    int pendingScale_ = 0;
};

}  // namespace kestrin
