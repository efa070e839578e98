#include "commandline.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace kestrincli {

bool parseFiniteNumber(std::string_view text, double& out) {
    std::string s(text);
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtod(s.c_str(), &end);
    return errno == 0 && end == s.c_str() + s.size() && std::isfinite(out);
}

namespace {

bool parseInt(std::string_view text, long& out) {
    std::string s(text);
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtol(s.c_str(), &end, 10);
    return errno == 0 && end == s.c_str() + s.size();
}

std::string trim(std::string_view s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) return {};
    const auto e = s.find_last_not_of(" \t");
    return std::string(s.substr(b, e - b + 1));
}

ParseResult fail(std::string message) {
    ParseResult r;
    r.error = std::move(message);
    return r;
}

}  // namespace

std::string usageText() {
    return R"(Usage:
  kestrin render [INPUT] [-o OUTPUT] [options]   process audio through Kestrin 3
  kestrin info [--plugin PATH]                   show the plug-in's parameters and presets
  kestrin edit [options]                         shape the sound by hand in the editor
  kestrin convert INPUT -o OUTPUT                a preset between formats: an .aupreset into
                                                 an LV2 preset bundle (OUTPUT.lv2) and back
  kestrin help | --help                          this text

INPUT is a WAV, AIFF or FLAC file, mono or stereo, 8 kHz to 384 kHz. Without INPUT a
built-in demo phrase is rendered. OUTPUT defaults to INPUT's name with "-kestrin"
added (kestrin-demo.wav for the demo); its extension chooses the format: .wav (32-bit
float), .aif/.aiff (32-bit float), .flac (24-bit).

Options:
  --preset NAME|NUMBER   start from a factory preset (see kestrin info)
  --set "NAME=VALUE"     set a parameter, repeatable; VALUE in the parameter's unit
                         (350, 18000, yes) or normalized with a trailing n (0.25n)
  --tempo BPM            host tempo (default 120)
  --upsample 1|2|4|8     oversampling factor
  --block N              host block size in frames (default 512)
  --bypass               render with the effect bypassed
  --state FILE           load a state saved by any host (.aupreset, XML or binary)
  --save-state FILE      save the state used for this render (.aupreset), written
                         only when the render succeeds
  --tail SECONDS         render this long after the input ends (default: until the
                         echoes fall below -90 dBFS for a second, at most 30 s)
  --plugin PATH          the Kestrin.component to load (default: the one built with
                         this program)
  -q, --quiet            no progress bar and no summary

Settings apply in this order: --state, --preset, --set and --upsample.

kestrin edit opens Kestrin 3's editor in a window (an X display is needed) and
prints each change made in it. It takes --state, --preset, --set, --upsample and
--plugin to start from, and --save-state FILE to save the sound when the window
is closed, for a later `kestrin render --state FILE`.
)";
}

ParseResult parseCommandLine(int argc, const char* const* argv) {
    ParseResult result;
    Command& c = result.command;
    int i = 1;
    if (i >= argc) {
        c.kind = CommandKind::help;
        result.ok = true;
        return result;
    }
    const std::string_view verb = argv[i++];
    if (verb == "render") {
        c.kind = CommandKind::render;
    } else if (verb == "info") {
        c.kind = CommandKind::info;
    } else if (verb == "convert") {
        c.kind = CommandKind::convert;
    } else if (verb == "edit") {
        c.kind = CommandKind::edit;
    } else if (verb == "help" || verb == "--help" || verb == "-h") {
        c.kind = CommandKind::help;
        result.ok = true;
        return result;
    } else if (verb == "--version") {
        c.kind = CommandKind::version;
        result.ok = true;
        return result;
    } else {
        return fail("unknown command \"" + std::string(verb) + "\" (use render, info, edit, convert or help)");
    }

    auto needValue = [&](std::string_view option, std::string& value) -> bool {
        if (i >= argc) return false;
        value = argv[i++];
        (void)option;
        return true;
    };

    while (i < argc) {
        const std::string_view arg = argv[i++];
        std::string value;
        if (arg == "--plugin") {
            if (!needValue(arg, value)) return fail("--plugin needs a path");
            c.plugin = value;
        } else if (c.kind == CommandKind::convert && arg != "-o" && arg != "--output" && !arg.empty() && arg[0] == '-') {
            return fail("convert takes only INPUT, -o OUTPUT and --plugin (got \"" + std::string(arg) + "\")");
        } else if (c.kind == CommandKind::info) {
            return fail("info takes no option other than --plugin (got \"" + std::string(arg) + "\")");
        } else if (c.kind == CommandKind::edit && arg != "--preset" && arg != "--set" && arg != "--upsample" &&
                   arg != "--state" && arg != "--save-state") {
            return fail("edit takes --state, --preset, --set, --upsample, --save-state and --plugin (got \"" +
                        std::string(arg) + "\")");
        } else if (arg == "-o" || arg == "--output") {
            if (!needValue(arg, value)) return fail("-o needs a file name");
            c.output = value;
        } else if (arg == "--preset") {
            if (!needValue(arg, value)) return fail("--preset needs a name or a number");
            c.preset = value;
        } else if (arg == "--set") {
            if (!needValue(arg, value)) return fail("--set needs \"NAME=VALUE\"");
            const auto eq = value.find('=');
            if (eq == std::string::npos) return fail("--set \"" + value + "\": expected NAME=VALUE");
            ParameterSetting s{trim(std::string_view(value).substr(0, eq)), trim(std::string_view(value).substr(eq + 1))};
            if (s.name.empty() || s.value.empty()) return fail("--set \"" + value + "\": expected NAME=VALUE");
            c.settings.push_back(std::move(s));
        } else if (arg == "--tempo") {
            double bpm = 0;
            if (!needValue(arg, value) || !parseFiniteNumber(value, bpm)) return fail("--tempo needs a number of beats per minute");
            if (!(bpm > 0.0 && bpm <= 5000.0)) return fail("--tempo must be above 0 and at most 5000 bpm");
            c.tempo = bpm;
        } else if (arg == "--upsample") {
            long f = 0;
            if (!needValue(arg, value) || !parseInt(value, f) || (f != 1 && f != 2 && f != 4 && f != 8))
                return fail("--upsample must be 1, 2, 4 or 8");
            c.upsample = int(f);
        } else if (arg == "--block") {
            long n = 0;
            if (!needValue(arg, value) || !parseInt(value, n) || n < 1 || n > 8192)
                return fail("--block must be a whole number of frames from 1 to 8192");
            c.block = int(n);
        } else if (arg == "--bypass") {
            c.bypass = true;
        } else if (arg == "--state") {
            if (!needValue(arg, value)) return fail("--state needs a file");
            c.stateIn = value;
        } else if (arg == "--save-state") {
            if (!needValue(arg, value)) return fail("--save-state needs a file");
            c.stateOut = value;
        } else if (arg == "--tail") {
            double seconds = 0;
            if (!needValue(arg, value) || !parseFiniteNumber(value, seconds) || seconds < 0 || seconds > 3600)
                return fail("--tail must be a number of seconds from 0 to 3600");
            c.tail = seconds;
        } else if (arg == "-q" || arg == "--quiet") {
            c.quiet = true;
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return fail("unknown option \"" + std::string(arg) + "\" (see kestrin help)");
        } else if (!c.input) {
            c.input = std::string(arg);
        } else {
            return fail("more than one input file given (\"" + *c.input + "\" and \"" + std::string(arg) + "\")");
        }
    }
    if (c.kind == CommandKind::convert && (!c.input || !c.output))
        return fail("convert needs an INPUT and -o OUTPUT");
    result.ok = true;
    return result;
}

}  // namespace kestrincli
