#pragma once
// ParameterInfo: what a host shows of one parameter, in terms every plug-in format
// can map onto its own (Audio Unit parameter info, LV2 control ports, ...), so that no
// format wrapper needs to know the parameter classes.

#include <string>
#include <vector>

namespace fw {

enum class ParameterKind {
    continuous,   // a float value in [plainMin, plainMax]
    integer,      // whole numbers from plainMin to plainMax
    enumeration,  // the entries of valueStrings, 0 to N - 1
    boolean,      // 0 (off) or 1 (on)
};

struct ParameterInfo {
    std::string name;
    std::string unit;  // the parameter's label ("ms", "Hz"); empty when it has none
    ParameterKind kind = ParameterKind::continuous;
    double plainMin = 0;
    double plainMax = 1;
    double plainDefault = 0;
    double normalizedDefault = 0;
    // Distinct values minus one for the discrete kinds; 0 for continuous ones.
    int steps = 0;
    bool automatable = true;
    // The plain value grows exponentially with the normalized one (frequencies).
    bool logarithmic = false;
    // Integer and enumeration kinds: the text of every value from plainMin up.
    std::vector<std::string> valueStrings;
};

}  // namespace fw
