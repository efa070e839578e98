#include "valueforms.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "commandline.h"
#include "kestrin/notevalues.h"

namespace kestrincli {

namespace {

std::string lowerTrimmed(std::string_view s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) return {};
    const auto e = s.find_last_not_of(" \t");
    std::string out(s.substr(b, e - b + 1));
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

// A leading finite number and the (lower-case, trimmed) unit after it.
bool splitNumberAndUnit(std::string_view text, double& number, std::string& unit) {
    const std::string s = lowerTrimmed(text);
    if (s.empty() || s.compare(0, 3, "inf") == 0 || s.compare(0, 3, "nan") == 0) return false;
    char* end = nullptr;
    errno = 0;
    number = std::strtod(s.c_str(), &end);
    if (end == s.c_str() || errno != 0 || !std::isfinite(number)) return false;
    unit = lowerTrimmed(std::string_view(end));
    return true;
}

bool wholeNumber(std::string_view text, long& out) {
    double d = 0;
    if (!parseFiniteNumber(text, d) || d != std::floor(d) || std::fabs(d) > 1e9) return false;
    out = long(d);
    return true;
}

// "1/8", "3/2", "1 & 1/2", "2/1": a multiple of a sixteenth from 1/16 to 2 whole notes,
// as its note index (sixteenths - 1).
bool readNoteValue(const std::string& text, int& index) {
    long whole = 0;
    std::string fraction = text;
    if (const auto amp = text.find('&'); amp != std::string::npos) {
        if (!wholeNumber(lowerTrimmed(std::string_view(text).substr(0, amp)), whole) || whole < 0) return false;
        fraction = lowerTrimmed(std::string_view(text).substr(amp + 1));
    }
    const auto slash = fraction.find('/');
    if (slash == std::string::npos) return false;
    long numerator = 0, denominator = 0;
    if (!wholeNumber(lowerTrimmed(std::string_view(fraction).substr(0, slash)), numerator) ||
        !wholeNumber(lowerTrimmed(std::string_view(fraction).substr(slash + 1)), denominator))
        return false;
    if (numerator < 0 || denominator <= 0 || 16 % denominator != 0) return false;
    const long sixteenths = whole * 16 + numerator * (16 / denominator);
    if (sixteenths < 1 || sixteenths > kestrin::kNoteValueCount) return false;
    index = int(sixteenths - 1);
    return true;
}

std::string quoted(std::string_view s) {
    std::string q;
    q.reserve(s.size() + 2);
    q.append(1, '"').append(s).append(1, '"');
    return q;
}

}  // namespace

ValueForm valueFormOf(const HostParameter& p) {
    // The unit reports every parameter as generic; the units are Kestrin 3's own.
    struct Entry {
        const char* name;
        ValueForm form;
    };
    static constexpr Entry kForms[] = {
        {"Delay L", ValueForm::milliseconds}, {"Delay R", ValueForm::milliseconds},
        {"Note L", ValueForm::note},          {"Note R", ValueForm::note},
        {"Feedback L", ValueForm::percent},   {"Feedback R", ValueForm::percent},
        {"Mix L", ValueForm::percent},        {"Mix R", ValueForm::percent},
        {"Drive", ValueForm::percent},        {"Gain", ValueForm::percent},
        {"Width", ValueForm::percent},        {"Highpass", ValueForm::hertz},
        {"Lowpass", ValueForm::hertz},        {"Tempo", ValueForm::bpm},
        {"Upsample Amount", ValueForm::factor},
    };
    if (p.boolean) return ValueForm::onOff;
    for (const Entry& e : kForms)
        if (p.name == e.name) return e.form;
    return ValueForm::plain;
}

const char* unitWord(ValueForm form) {
    switch (form) {
        case ValueForm::milliseconds: return "ms";
        case ValueForm::percent: return "%";
        case ValueForm::hertz: return "Hz";
        case ValueForm::bpm: return "bpm";
        case ValueForm::note: return "note";
        case ValueForm::onOff: return "on/off";
        case ValueForm::factor: return "factor";
        case ValueForm::plain: break;
    }
    return "";
}

bool readTypedValue(const HostParameter& p, std::string_view text, TypedValue& out, std::string& error) {
    const std::string typed = lowerTrimmed(text);
    out = TypedValue{};
    // Normalized, for every parameter: a number from 0 to 1 followed by n.
    double n = 0;
    if (typed.size() > 1 && typed.back() == 'n' &&
        parseFiniteNumber(lowerTrimmed(std::string_view(typed).substr(0, typed.size() - 1)), n)) {
        if (n < 0.0 || n > 1.0) {
            error = p.name + ": a normalized value must be a number from 0 to 1 followed by n (got " + quoted(text) + ")";
            return false;
        }
        out.normalized = true;
        out.value = n;
        return true;
    }

    const ValueForm form = valueFormOf(p);
    switch (form) {
        case ValueForm::bpm: {
            double bpm = 0;
            std::string unit;
            const bool number = splitNumberAndUnit(typed, bpm, unit) && (unit.empty() || unit == "bpm");
            char example[64];
            std::snprintf(example, sizeof example, "--tempo %g", number ? bpm : 96.0);
            error = p.name + " follows the host's tempo, which the plug-in takes at every block (as in a DAW): use " +
                    example + " instead of --set " + p.name + "=" + std::string(text);
            return false;
        }
        case ValueForm::onOff:
            if (typed == "on" || typed == "yes" || typed == "true" || typed == "1") {
                out.value = 1;
                return true;
            }
            if (typed == "off" || typed == "no" || typed == "false" || typed == "0") {
                out.value = 0;
                return true;
            }
            error = p.name + " is a switch: use on or off (also yes/no, true/false, 1/0; got " + quoted(text) + ")";
            return false;
        case ValueForm::note: {
            int index = 0;
            long bare = 0;
            if (typed.find('/') != std::string::npos) {
                if (readNoteValue(typed, index)) {
                    out.value = index;
                    return true;
                }
            } else if (wholeNumber(typed, bare) && bare >= 0 && bare < kestrin::kNoteValueCount) {
                out.value = double(bare);
                return true;
            }
            error = p.name + " takes a note value in sixteenths from 1/16 to 2/1 (1/8, 3/16, 3/4, 1/1, 1 & 1/2) or its "
                             "index, a whole number from 0 to 31 (got " + quoted(text) + ")";
            return false;
        }
        case ValueForm::factor: {
            long bare = 0;
            if (!typed.empty() && typed.back() == 'x' && wholeNumber(typed.substr(0, typed.size() - 1), bare)) {
                for (int exponent = 0; exponent < 4; ++exponent)
                    if (bare == (1L << exponent)) {
                        out.value = exponent;
                        return true;
                    }
            } else if (wholeNumber(typed, bare) && bare >= 0 && bare <= 3) {
                out.value = double(bare);
                return true;
            }
            error = p.name + " is 1x, 2x, 4x or 8x, or its index 0 to 3 (got " + quoted(text) + ")";
            return false;
        }
        case ValueForm::milliseconds:
        case ValueForm::percent:
        case ValueForm::hertz:
        case ValueForm::plain: break;
    }

    double number = 0;
    std::string unit;
    if (!splitNumberAndUnit(typed, number, unit)) {
        error = p.name + ": " + quoted(text) + " is not a number";
        return false;
    }
    double scale = 0;
    const char* forms = "";
    switch (form) {
        case ValueForm::milliseconds:
            scale = unit.empty() || unit == "ms" ? 1.0 : unit == "s" ? 1000.0 : 0.0;
            forms = "a time in milliseconds: write 350, 350ms or 0.35s";
            break;
        case ValueForm::percent:
            scale = unit.empty() || unit == "%" ? 1.0 : 0.0;
            forms = "a percentage: write 50 or 50%";
            break;
        case ValueForm::hertz:
            scale = unit.empty() || unit == "hz" ? 1.0 : unit == "khz" ? 1000.0 : 0.0;
            forms = "a frequency in hertz: write 1500, 1500Hz or 1.5kHz";
            break;
        default:
            scale = unit.empty() ? 1.0 : 0.0;
            forms = "a plain number";
            break;
    }
    if (scale == 0.0) {
        error = p.name + " is " + forms + " (got " + quoted(text) + ")";
        return false;
    }
    out.value = number * scale;
    return true;
}

std::string showValue(const HostParameter& p, const std::string& shown) {
    const ValueForm form = valueFormOf(p);
    long index = 0;
    switch (form) {
        case ValueForm::onOff: return shown == "yes" ? "on" : shown == "no" ? "off" : shown;
        case ValueForm::note:
            return wholeNumber(shown, index) ? kestrin::noteValueLabel(int(index)) : shown;
        case ValueForm::factor:
            return wholeNumber(shown, index) && index >= 0 && index <= 3 ? std::to_string(1L << index) + "x" : shown;
        case ValueForm::plain: return shown;
        default: return shown + " " + unitWord(form);
    }
}

}  // namespace kestrincli
