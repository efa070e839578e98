#pragma once
// The kestrin command line: what the user asked for, parsed and checked for form.
// Values that depend on the plug-in (parameter names, ranges, presets) are checked
// later, against the loaded plug-in.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audiofile.h"

namespace kestrincli {

enum class CommandKind { render, info, convert, edit, help, version };

struct ParameterSetting {
    std::string name;   // as the host sees it, e.g. "Delay L"
    std::string value;  // plain value in the parameter's unit, or "<x>n" for normalized
};

struct Command {
    CommandKind kind = CommandKind::help;
    std::string plugin;                 // plug-in bundle; empty: the built-in location
    std::optional<std::string> input;   // none: the built-in demo; "-": standard input
    std::vector<std::string> moreInputs;  // render: further inputs, same settings
    std::optional<std::string> output;  // none: derived from the input name; "-": standard
                                        // output; with several inputs, a folder
    std::optional<int> bits;             // 16, 24 or 32 (float); none: the format's default
    std::optional<Container> format;     // of outputs named from their inputs
    bool keepGoing = false;              // several inputs: on past a failed one
    std::optional<std::string> preset;  // name or number
    std::vector<ParameterSetting> settings;
    std::optional<double> tempo;        // host tempo, beats per minute
    std::optional<int> upsample;        // 1, 2, 4 or 8
    int block = 512;                    // host block size, frames
    bool bypass = false;
    std::optional<std::string> stateIn;   // .aupreset to load
    std::optional<std::string> stateOut;  // .aupreset to save
    std::optional<double> tail;           // seconds; none: until the echoes die away
    bool quiet = false;
    bool dryRun = false;                         // print the settings, render nothing
    CommandKind helpTopic = CommandKind::help;  // for help: the command asked about
};

struct ParseResult {
    bool ok = false;
    std::string error;  // set when !ok: one line
    Command command;    // when !ok, command.kind still names the command, for the hint
};

// A whole text that is one finite decimal number (strtod syntax); false otherwise.
bool parseFiniteNumber(std::string_view text, double& out);

// Parses argv[1..argc-1]. Option values may follow as the next word (-o FILE,
// --set NAME=VALUE), be attached to a short option (-oFILE) or follow '=' after a
// long one (--output=FILE, --set=NAME=VALUE).
ParseResult parseCommandLine(int argc, const char* const* argv);

// The help text: the overview for CommandKind::help, else that command's own.
std::string usageText(CommandKind topic = CommandKind::help);

// The command's name as typed ("render"); "" for help and version.
std::string_view commandName(CommandKind kind);

}  // namespace kestrincli
