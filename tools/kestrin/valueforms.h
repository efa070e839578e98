#pragma once
// The forms in which the command line reads and shows parameter values, on top of
// the plug-in's own text conversions (which hosts depend on and which stay as they
// are): values with their unit ("350ms", "0.35s", "50%", "1.5kHz"), note values for
// the note parameters ("1/8", "1 & 1/2"), on/off words for switches, "1x" .. "8x"
// for the oversampling factor, and normalized values ("0.25n").

#include <string>
#include <string_view>

#include "kestrinhost.h"

namespace kestrincli {

enum class ValueForm { milliseconds, percent, hertz, bpm, note, onOff, factor, plain };

// How the command line treats this parameter's values: by Kestrin 3's parameter names.
ValueForm valueFormOf(const HostParameter& parameter);

// The unit word shown for a form: "ms", "%", "Hz", "bpm", "note", "on/off", "factor", "".
const char* unitWord(ValueForm form);

// A value as the user typed it, read into what the unit takes.
struct TypedValue {
    bool normalized = false;  // `value` is from 0 to 1, as hosts see it
    double value = 0;         // else the plain value in the parameter's unit (an index
                              // for notes and the factor, 1 or 0 for switches)
};

// Reads `text` for `parameter`. False with a one-line message naming the parameter,
// the forms it takes and what was typed; the range of plain numbers is checked by
// the caller against the unit.
bool readTypedValue(const HostParameter& parameter, std::string_view text, TypedValue& out, std::string& error);

// The plug-in's display text `shown` in the command line's form: "1000.00 ms",
// "50.00 %", "1/4" for note index 3, "2x" for factor index 1, "on" or "off".
std::string showValue(const HostParameter& parameter, const std::string& shown);

}  // namespace kestrincli
