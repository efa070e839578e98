// kestrin: renders audio through the Kestrin 3 Audio Unit from the command line.

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>

#include "audiofile.h"
#include "audioreader.h"
#include "commandline.h"
#include "demophrase.h"
#include "editcommand.h"
#include "filechecks.h"
#include "infocommand.h"
#include "kestrinhost.h"
#include "presetconvert.h"
#include "renderjob.h"
#include "statefile.h"
#include "valueforms.h"

namespace {

using namespace kestrincli;

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) { interrupted.store(true, std::memory_order_relaxed); }

int failWith(const std::string& message, int code = 1) {
    std::fprintf(stderr, "kestrin: %s\n", message.c_str());
    return code;
}

// INPUT "take.flac" -> "take-kestrin.flac"; the demo -> "kestrin-demo.wav".
std::string defaultOutputName(const std::optional<std::string>& input) {
    if (!input) return "kestrin-demo.wav";
    std::filesystem::path p(*input);
    std::string ext = p.extension().string();
    int format = 0;
    std::string ignored;
    if (!outputFormatFor(*input, format, ignored)) ext = ".wav";
    return (p.parent_path() / (p.stem().string() + "-kestrin" + ext)).string();
}

// --state, --preset, --set, --upsample in that order. --save-state is the caller's.
bool applySettings(KestrinHost& host, const Command& c, std::string& error) {
    if (c.stateIn && !loadStateFile(host, *c.stateIn, error)) return false;
    if (c.preset && !host.choosePreset(*c.preset, error)) return false;
    for (const ParameterSetting& s : c.settings)
        if (!host.setParameter(s.name, s.value, error)) return false;
    if (c.upsample) {
        const int amount = *c.upsample == 1 ? 0 : *c.upsample == 2 ? 1 : *c.upsample == 4 ? 2 : 3;
        if (!host.setParameter("Upsample Amount", std::to_string(amount), error)) return false;
    }
    return true;
}

// Every parameter as the render would use it.
void printSettings(KestrinHost& host, const Command& c, const std::string& outputPath) {
    std::printf("%s -> %s: nothing rendered (--dry-run)\n", c.input ? c.input->c_str() : "demo", outputPath.c_str());
    for (const HostParameter& p : host.parameters()) {
        AudioUnitParameterValue normalized = 0;
        std::string shown;
        if (valueFormOf(p) == ValueForm::bpm) {
            char tempo[64];
            std::snprintf(tempo, sizeof tempo, "%.2f bpm (the host tempo: --tempo)", c.tempo.value_or(120.0));
            shown = tempo;
        } else {
            shown = host.unit().getParameter(p.id, normalized) ? showValue(p, host.displayText(p.id, normalized))
                                                               : "(unreadable)";
        }
        std::printf("  %-16s %s\n", p.name.c_str(), shown.c_str());
    }
    std::printf("  %-16s %s\n", "(bypass)", c.bypass ? "on" : "off");
}

int runRender(const Command& c) {
    std::unique_ptr<AudioReader> input;
    std::string error;
    const std::string outputPath = c.output.value_or(defaultOutputName(c.input));
    std::unique_ptr<KestrinHost> host;
    if (c.dryRun) {
        if (!KestrinHost::load(c.plugin.empty() ? KestrinHost::defaultPluginPath() : c.plugin, host, error))
            return failWith(error);
        if (!applySettings(*host, c, error)) return failWith(error);
        printSettings(*host, c, outputPath);
        return 0;
    }

    if (c.input) {
        // "-" is standard input, which is never a file to check.
        if (const std::string why = *c.input == "-" ? "" : readProblem(*c.input); !why.empty())
            return failWith("cannot read \"" + *c.input + "\": " + why);
        if (!openAudioFile(*c.input, input, error)) return failWith(error);
    } else {
        input = memoryReader(makeDemoPhrase());
    }

    if (!KestrinHost::load(c.plugin.empty() ? KestrinHost::defaultPluginPath() : c.plugin, host, error))
        return failWith(error);
    if (!applySettings(*host, c, error)) return failWith(error);

    // The output and the saved state are created before rendering so that an
    // unwritable destination fails at once; they only appear under their names once
    // the render is complete, both or neither.
    if (const std::string why = outputPath == "-" ? "" : writeProblem(outputPath); !why.empty())
        return failWith("cannot write \"" + outputPath + "\": " + why);
    std::unique_ptr<OutputFile> output;
    if (!OutputFile::create(outputPath, input->sampleRate(), 2, output, error)) return failWith(error);
    std::unique_ptr<PendingState> state;
    if (c.stateOut && !PendingState::create(*host, *c.stateOut, state, error)) return failWith(error);

    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    RenderSummary summary;
    if (!renderThrough(*host, c, *input, *output, interrupted, summary, error)) {
        if (interrupted.load(std::memory_order_relaxed)) return failWith("interrupted; no output written", 130);
        return failWith(error);
    }
    if (!output->commit(error)) return failWith(error);
    if (state && !state->commit(error)) {
        std::remove(outputPath.c_str());
        return failWith(error);
    }

    if (!c.quiet) {
        std::error_code ec;
        const auto where = std::filesystem::absolute(summary.outputPath, ec);
        const std::string lowered = loweredFactorNote(summary);
        std::printf("%s %.2f s in, %.2f s out, peak %.1f dBFS, %s%s%.0fx real time -> %s\n",
                    c.input ? c.input->c_str() : "demo", summary.inputSeconds, summary.outputSeconds,
                    summary.peakDbfs, lowered.c_str(), lowered.empty() ? "" : ", ", summary.realtimeFactor,
                    (ec ? summary.outputPath : where.string()).c_str());
    }
    return 0;
}

int runInfo(const Command& c) {
    std::unique_ptr<KestrinHost> host;
    std::string error;
    if (!KestrinHost::load(c.plugin.empty() ? KestrinHost::defaultPluginPath() : c.plugin, host, error))
        return failWith(error);
    std::fputs(describePlugin(*host).c_str(), stdout);
    return 0;
}

int runConvert(const Command& c) {
    std::unique_ptr<KestrinHost> host;
    std::string error;
    if (!KestrinHost::load(c.plugin.empty() ? KestrinHost::defaultPluginPath() : c.plugin, host, error))
        return failWith(error);
    if (!convertPreset(*host, *c.input, *c.output, error)) return failWith(error);
    return 0;
}

int runEdit(Command c) {
    std::unique_ptr<KestrinHost> host;
    std::string error;
    if (!KestrinHost::load(c.plugin.empty() ? KestrinHost::defaultPluginPath() : c.plugin, host, error))
        return failWith(error);
    // The state is saved when the window closes, not before.
    const std::optional<std::string> saveTo = std::exchange(c.stateOut, std::nullopt);
    if (!applySettings(*host, c, error)) return failWith(error);

    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    EditOutcome outcome;
    if (!runEditor(*host, interrupted, stdout, outcome, error)) return failWith(error);
    // Whatever ended the session, what the user shaped is kept.
    if (saveTo) {
        if (!saveStateFile(*host, *saveTo, error)) return failWith(error);
        std::printf("saved the state to %s (%d change%s)\n", saveTo->c_str(), outcome.changes,
                    outcome.changes == 1 ? "" : "s");
    }
    if (outcome.displayLost) return failWith("the connection to the display was lost; the editor closed");
    if (interrupted.load(std::memory_order_relaxed)) return 130;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const ParseResult parsed = parseCommandLine(argc, argv);
    if (!parsed.ok) {
        // One line for what is wrong, one for where to read more; not the whole help.
        const std::string_view command = commandName(parsed.command.kind);
        return failWith(parsed.error + "\nsee: kestrin help" + (command.empty() ? "" : " ") + std::string(command), 2);
    }
    const Command& c = parsed.command;
    switch (c.kind) {
        case CommandKind::help:
            std::fputs(usageText(c.helpTopic).c_str(), stdout);
            return 0;
        case CommandKind::version:
            std::puts("kestrin 3.0.1");
            return 0;
        case CommandKind::info:
            return runInfo(c);
        case CommandKind::render:
            return runRender(c);
        case CommandKind::convert:
            return runConvert(c);
        case CommandKind::edit:
            return runEdit(c);
    }
    return 2;
}
