#include "commandline.h"

#include <algorithm>
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

namespace {

constexpr const char* kOverview = R"(Usage:
  kestrin render [INPUT] [-o OUTPUT] [options]   process audio through Kestrin 3
  kestrin info [--plugin PATH]                   show the plug-in's parameters and presets
  kestrin edit [options]                         shape the sound by hand in the editor
  kestrin convert INPUT -o OUTPUT                a preset between formats: an .aupreset into
                                                 an LV2 preset bundle (OUTPUT.lv2) and back
  kestrin help [COMMAND] | --help                this text, or one command's options

Every command takes -h or --help. Option values follow as the next word (-o out.wav),
attached (-oout.wav) or after '=' (--output=out.wav, --set="Delay L=350ms").
)";

constexpr const char* kRender = R"(Usage: kestrin render [INPUT] [-o OUTPUT] [options]
       kestrin render INPUT... -o FOLDER [options]

INPUT is a WAV, AIFF or FLAC file, mono or stereo, 8 kHz to 384 kHz, or - for a WAV,
AIFF or FLAC stream on standard input. Without INPUT a built-in demo phrase is
rendered. OUTPUT defaults to INPUT's name with "-kestrin" added (kestrin-demo.wav for
the demo); - writes a WAV stream to standard output (the summary then goes to
standard error). Neither stream may be a terminal. The output's extension chooses
the format: .wav, .aif/.aiff or .flac. An output is never the input: naming the
input, also through a link or another path, is refused. With several inputs (or a FOLDER for one), each is written
into FOLDER under its own file name, in the format of --format or else of its
extension; the first failure stops the rest unless --keep-going.

Options:
  -o, --output FILE      where to write (a folder: into it)
  --bits 16|24|32        sample size: 32 is float, the default for WAV and AIFF;
                         FLAC takes 16 or 24 (the default). 16 bits are dithered
                         (TPDF); samples clipped in 16 or 24 bits are counted
  --format wav|aiff|flac the format of outputs named from their inputs
  --keep-going           with several inputs, go on past a failed one (exit 1 at
                         the end if any failed)
  --preset NAME|NUMBER   start from a factory preset (see kestrin info)
  --set "NAME=VALUE"     set a parameter, repeatable. VALUE in the parameter's unit,
                         with or without it (350, 350ms, 0.35s, 50%, 1.5kHz), a note
                         value for Note L/R (1/8, 3/16, 1 & 1/2, 2/1; a bare number is
                         the index 0-31), on/off, yes/no or true/false for Sync, 1x to
                         8x for Upsample Amount, or normalized with a trailing n (0.25n)
  --tempo BPM            host tempo (default 120); the plug-in's Tempo follows it
  --upsample 1|2|4|8     oversampling factor
  --block N              host block size in frames (default 512)
  --bypass               render with the effect bypassed
  --state FILE           load a state saved by any host (.aupreset, XML or binary)
  --save-state FILE      save the state used for this render (.aupreset), written
                         only when the render succeeds
  --tail SECONDS         render this long after the input ends (default: until the
                         echoes fall below -90 dBFS for a second, at most 30 s;
                         echoes still ringing then fade out over the last 50 ms)
  --dry-run              print every parameter as it would be used and render nothing
  --plugin PATH          the Kestrin.component to load
  -q, --quiet            no progress bar and no summary
  -h, --help             this text

Settings apply in this order: --state, --preset, --set and --upsample.
)";

constexpr const char* kInfo = R"(Usage: kestrin info [--plugin PATH]

Shows the plug-in's identity, channel layouts, latency and tail, every parameter
with its unit, range, default and what it does, and the factory presets.
)";

constexpr const char* kEdit = R"(Usage: kestrin edit [--state FILE] [--preset NAME|NUMBER] [--set "NAME=VALUE"]...
                    [--upsample 1|2|4|8] [--save-state FILE] [--plugin PATH]

Opens Kestrin 3's editor in a window (an X display is needed) and prints each change
made in it. --state, --preset, --set and --upsample choose where to start (as for
kestrin render); --save-state FILE saves the sound when the window is closed, for a
later `kestrin render --state FILE`.
)";

constexpr const char* kConvert = R"(Usage: kestrin convert INPUT -o OUTPUT [--plugin PATH]

Converts a preset between formats: an .aupreset into an LV2 preset bundle
(OUTPUT.lv2, to copy into ~/.lv2/) and an LV2 preset bundle into an .aupreset.
)";

}  // namespace

std::string_view commandName(CommandKind kind) {
    switch (kind) {
        case CommandKind::render: return "render";
        case CommandKind::info: return "info";
        case CommandKind::convert: return "convert";
        case CommandKind::edit: return "edit";
        case CommandKind::help:
        case CommandKind::version: break;
    }
    return "";
}

std::string usageText(CommandKind topic) {
    switch (topic) {
        case CommandKind::render: return kRender;
        case CommandKind::info: return kInfo;
        case CommandKind::edit: return kEdit;
        case CommandKind::convert: return kConvert;
        case CommandKind::help:
        case CommandKind::version: break;
    }
    return std::string(kOverview) + "\n" + kRender;
}

namespace {

bool commandNamed(std::string_view word, CommandKind& kind) {
    for (CommandKind k : {CommandKind::render, CommandKind::info, CommandKind::convert, CommandKind::edit})
        if (word == commandName(k)) {
            kind = k;
            return true;
        }
    return false;
}

// The options each command takes besides --plugin and -h.
bool takesOption(CommandKind kind, std::string_view option) {
    switch (kind) {
        case CommandKind::info: return false;
        case CommandKind::convert: return option == "-o" || option == "--output";
        case CommandKind::edit:
            return option == "--preset" || option == "--set" || option == "--upsample" || option == "--state" ||
                   option == "--save-state";
        default: return true;
    }
}

// Options that take a value.
bool takesValue(std::string_view option) {
    for (std::string_view o : {"--plugin", "-o", "--output", "--preset", "--set", "--tempo", "--upsample", "--block",
                               "--state", "--save-state", "--tail", "--bits", "--format"})
        if (option == o) return true;
    return false;
}

}  // namespace

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
    if (verb == "help" || verb == "--help" || verb == "-h") {
        c.kind = CommandKind::help;
        if (i < argc && !commandNamed(argv[i], c.helpTopic))
            return fail("no command \"" + std::string(argv[i]) + "\" (use render, info, edit or convert)");
        result.ok = true;
        return result;
    }
    if (verb == "--version") {
        c.kind = CommandKind::version;
        result.ok = true;
        return result;
    }
    if (!commandNamed(verb, c.kind))
        return fail("unknown command \"" + std::string(verb) + "\" (use render, info, edit, convert or help)");

    auto refuse = [&](std::string message) {
        ParseResult r = fail(std::move(message));
        r.command.kind = c.kind;
        return r;
    };
    while (i < argc) {
        const std::string_view word = argv[i++];
        // Split "--name=value" and "-oVALUE" into the option and its attached value.
        std::string_view arg = word;
        std::optional<std::string> attached;
        if (word.size() > 2 && word.substr(0, 2) == "--") {
            if (const auto eq = word.find('='); eq != std::string_view::npos) {
                arg = word.substr(0, eq);
                attached = std::string(word.substr(eq + 1));
            }
        } else if (word.size() > 2 && word.substr(0, 2) == "-o") {
            arg = "-o";
            attached = std::string(word.substr(2));
        }
        const bool isOption = !arg.empty() && arg[0] == '-' && arg != "-";

        if (arg == "-h" || arg == "--help") {
            c.helpTopic = c.kind;
            c.kind = CommandKind::help;
            result.ok = true;
            return result;
        }
        const bool positionalTaken = c.kind == CommandKind::render || c.kind == CommandKind::convert;
        if ((isOption && arg != "--plugin" && !takesOption(c.kind, arg)) || (!isOption && !positionalTaken)) {
            if (c.kind == CommandKind::info)
                return refuse("info takes no option other than --plugin (got \"" + std::string(word) + "\")");
            if (c.kind == CommandKind::convert)
                return refuse("convert takes only INPUT, -o OUTPUT and --plugin (got \"" + std::string(word) + "\")");
            return refuse("edit takes --state, --preset, --set, --upsample, --save-state and --plugin (got \"" +
                          std::string(word) + "\")");
        }
        if (attached && isOption && !takesValue(arg))
            return refuse(std::string(arg) + " takes no value (got \"" + std::string(word) + "\")");

        std::string value;
        // The option's value: attached, or the next word.
        auto needValue = [&]() -> bool {
            if (attached) {
                value = *attached;
                return !value.empty();
            }
            if (i >= argc) return false;
            value = argv[i++];
            return true;
        };

        if (arg == "--plugin") {
            if (!needValue()) return refuse("--plugin needs a path");
            c.plugin = value;
        } else if (arg == "-o" || arg == "--output") {
            if (!needValue() || value.empty()) return refuse("-o needs a file name");
            c.output = value;
        } else if (arg == "--preset") {
            if (!needValue()) return refuse("--preset needs a name or a number");
            c.preset = value;
        } else if (arg == "--set") {
            if (!needValue()) return refuse("--set needs \"NAME=VALUE\"");
            const auto eq = value.find('=');
            if (eq == std::string::npos) return refuse("--set \"" + value + "\": expected NAME=VALUE");
            ParameterSetting s{trim(std::string_view(value).substr(0, eq)), trim(std::string_view(value).substr(eq + 1))};
            if (s.name.empty() || s.value.empty()) return refuse("--set \"" + value + "\": expected NAME=VALUE");
            c.settings.push_back(std::move(s));
        } else if (arg == "--tempo") {
            double bpm = 0;
            if (!needValue() || !parseFiniteNumber(value, bpm)) return refuse("--tempo needs a number of beats per minute");
            if (!(bpm > 0.0 && bpm <= 5000.0)) return refuse("--tempo must be above 0 and at most 5000 bpm");
            c.tempo = bpm;
        } else if (arg == "--upsample") {
            long f = 0;
            if (!needValue() || !parseInt(value, f) || (f != 1 && f != 2 && f != 4 && f != 8))
                return refuse("--upsample must be 1, 2, 4 or 8");
            c.upsample = int(f);
        } else if (arg == "--block") {
            long n = 0;
            if (!needValue() || !parseInt(value, n) || n < 1 || n > 8192)
                return refuse("--block must be a whole number of frames from 1 to 8192");
            c.block = int(n);
        } else if (arg == "--bypass") {
            c.bypass = true;
        } else if (arg == "--state") {
            if (!needValue()) return refuse("--state needs a file");
            c.stateIn = value;
        } else if (arg == "--save-state") {
            if (!needValue()) return refuse("--save-state needs a file");
            c.stateOut = value;
        } else if (arg == "--tail") {
            double seconds = 0;
            if (!needValue() || !parseFiniteNumber(value, seconds) || seconds < 0 || seconds > 3600)
                return refuse("--tail must be a number of seconds from 0 to 3600");
            c.tail = seconds;
        } else if (arg == "--bits") {
            long b = 0;
            if (!needValue() || !parseInt(value, b) || (b != 16 && b != 24 && b != 32))
                return refuse("--bits must be 16, 24 or 32 (32 is float)");
            c.bits = int(b);
        } else if (arg == "--format") {
            Container container{};
            if (!needValue() || !containerNamed(value, container)) return refuse("--format must be wav, aiff or flac");
            c.format = container;
        } else if (arg == "--keep-going") {
            c.keepGoing = true;
        } else if (arg == "--dry-run") {
            c.dryRun = true;
        } else if (arg == "-q" || arg == "--quiet") {
            c.quiet = true;
        } else if (isOption) {
            return refuse("unknown option \"" + std::string(word) + "\"");
        } else if (!c.input) {
            c.input = std::string(arg);
        } else if (c.kind == CommandKind::render) {
            c.moreInputs.emplace_back(arg);
        } else {
            return refuse("more than one input file given (\"" + *c.input + "\" and \"" + std::string(arg) + "\")");
        }
    }
    if (c.kind == CommandKind::convert && (!c.input || !c.output)) return refuse("convert needs an INPUT and -o OUTPUT");
    if (c.kind == CommandKind::render) {
        const bool several = !c.moreInputs.empty();
        const bool fromStdin = c.input == "-" || std::find(c.moreInputs.begin(), c.moreInputs.end(), "-") !=
                                                     c.moreInputs.end();
        if (fromStdin && several) return refuse("standard input (-) cannot be one of several inputs");
        if (fromStdin && !c.output) return refuse("reading standard input (-) needs -o FILE, or -o - for standard output");
        if (several && c.output == "-") return refuse("several inputs cannot all go to standard output; use -o FOLDER");
        // The extension of a named output decides its format; --format must agree.
        std::optional<Container> named;
        Container container{};
        std::string ignored;
        if (c.output == "-") named = Container::wav;
        else if (!several && c.output && containerFor(*c.output, container, ignored)) named = container;
        if (named && c.format && *named != *c.format)
            return refuse("--format " + std::string(extensionOf(*c.format) + 1) + " disagrees with -o \"" +
                          *c.output + "\"" + (c.output == "-" ? " (standard output takes WAV only)" : ""));
        const std::optional<Container> known = c.format ? c.format : named;
        OutputFormat format;
        std::string why;
        if (known && !outputFormatFor(*known, c.bits, format, why)) return refuse(why);
    }
    result.ok = true;
    return result;
}

}  // namespace kestrincli
