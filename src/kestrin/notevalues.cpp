#include "kestrin/notevalues.h"

#include <cmath>

namespace kestrin {

namespace {

constexpr const char* kLabels[kNoteValueCount] = {
    "1/16",     "1/8",      "3/16",      "1/4",      "5/16",      "3/8",      "7/16",      "1/2",
    "9/16",     "5/8",      "11/16",     "3/4",      "13/16",     "7/8",      "15/16",     "1",
    "1 & 1/16", "1 & 1/8",  "1 & 3/16",  "1 & 1/4",  "1 & 5/16",  "1 & 3/8",  "1 & 7/16",  "1 & 1/2",
    "1 & 9/16", "1 & 5/8",  "1 & 11/16", "1 & 3/4",  "1 & 13/16", "1 & 7/8",  "1 & 15/16", "2",
};

}  // namespace

const char* noteValueLabel(int index) noexcept {
    if (index < 0 || index >= kNoteValueCount) return " ";
    return kLabels[index];
}

double noteValueSeconds(int index, double tempo) noexcept {
    if (index < 0 || index >= kNoteValueCount || !(tempo > 0.0) || !std::isfinite(tempo)) return 0.0;
    return static_cast<double>(index + 1) * 15.0 / tempo;
}

}  // namespace kestrin
