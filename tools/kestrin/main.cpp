// kestrin: renders audio through the Kestrin 3 Audio Unit from the command line.

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <sstream>
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

// One input of a render and where it goes.
struct Job {
    std::optional<std::string> input;  // none: the demo
    std::string output;
    OutputFormat format;
};

std::string shownInput(const std::optional<std::string>& input) {
    return !input ? "demo" : *input == "-" ? "standard input" : *input;
}

// The output of `input` named from it: inside `folder` under the input's own name,
// or (no folder) beside it with "-kestrin" added ("take.flac" -> "take-kestrin.flac";
// the demo -> "kestrin-demo.wav"). Its extension is --format's, else the input's
// when that is one Kestrin writes, else .wav.
std::string nameFromInput(const std::optional<std::string>& input, const std::optional<Container>& format,
                          const std::optional<std::string>& folder, Container& container) {
    namespace fs = std::filesystem;
    std::string ignored;
    const fs::path p(input ? *input : "kestrin-demo.wav");
    if (format) container = *format;
    else if (!input || !containerFor(*input, container, ignored)) container = Container::wav;
    // A known extension keeps its spelling (.aif stays .aif).
    Container own{};
    const std::string ext =
        input && containerFor(*input, own, ignored) && own == container ? p.extension().string() : extensionOf(container);
    if (folder) return (fs::path(*folder) / (p.stem().string() + ext)).string();
    if (!input) return p.stem().string() + ext;
    return (p.parent_path() / (p.stem().string() + "-kestrin" + ext)).string();
}

// Every input with its output and format, checked before anything is rendered:
// no output may be one of the inputs, and no two inputs may share an output.
// `code` is 2 for a format the command line asked for that cannot be written.
bool planJobs(const Command& c, std::vector<Job>& jobs, std::string& error, int& code) {
    namespace fs = std::filesystem;
    code = 1;
    std::vector<std::optional<std::string>> inputs = {c.input};
    for (const std::string& more : c.moreInputs) inputs.emplace_back(more);
    const bool several = inputs.size() > 1;
    std::error_code ec;
    std::optional<std::string> folder;
    if (c.output && *c.output != "-") {
        const std::string& o = *c.output;
        const bool slash = o.back() == '/';
        if (several || slash || fs::is_directory(o, ec)) {
            if (!fs::is_directory(o, ec)) {
                error = fs::exists(o, ec) ? "cannot write into \"" + o + "\": it is not a folder (several inputs go into a folder)"
                                          : "cannot write into \"" + o + "\": no such folder";
                return false;
            }
            folder = o;
        }
    }
    for (const auto& input : inputs) {
        Job job;
        job.input = input;
        Container container{};
        if (c.output && !folder) {
            job.output = *c.output;
            if (!containerFor(job.output, container, error)) return false;
        } else {
            job.output = nameFromInput(input, c.format, folder, container);
        }
        if (!outputFormatFor(container, c.bits, job.format, error)) {
            error = "\"" + job.output + "\": " + error;
            code = 2;
            return false;
        }
        jobs.push_back(std::move(job));
    }
    for (const Job& job : jobs) {
        if (job.output == "-") continue;
        for (const auto& input : inputs) {
            if (!input) continue;
            const bool same = *input == "-" ? sameFileAsDescriptor(job.output, STDIN_FILENO) : sameFile(job.output, *input);
            if (same) {
                error = "cannot write \"" + job.output + "\": it is the input \"" + shownInput(input) +
                        "\" (the same file); choose another output name";
                return false;
            }
        }
    }
    for (std::size_t a = 0; a < jobs.size(); ++a)
        for (std::size_t b = a + 1; b < jobs.size(); ++b)
            if (jobs[a].output != "-" && fs::weakly_canonical(fs::absolute(jobs[a].output, ec), ec) ==
                                             fs::weakly_canonical(fs::absolute(jobs[b].output, ec), ec)) {
                std::ostringstream message;
                message << '"' << shownInput(jobs[a].input) << "\" and \"" << shownInput(jobs[b].input)
                        << "\" would both be written to \"" << jobs[a].output << '"';
                error = message.str();
                return false;
            }
    return true;
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
void printSettings(KestrinHost& host, const Command& c, const std::vector<Job>& jobs) {
    for (const Job& job : jobs)
        std::printf("%s -> %s (%s): nothing rendered (--dry-run)\n", shownInput(job.input).c_str(),
                    job.output == "-" ? "standard output" : job.output.c_str(), describeFormat(job.format).c_str());
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

bool loadHost(const Command& c, std::unique_ptr<KestrinHost>& host, std::string& error) {
    return KestrinHost::load(c.plugin.empty() ? KestrinHost::defaultPluginPath() : c.plugin, host, error) &&
           applySettings(*host, c, error);
}

// "take.wav 2.00 s in, 4.50 s out, peak -3.1 dBFS, 80x real time -> /abs/take-kestrin.wav"
// with what the user should know added: a replaced file, a lowered factor, a tail
// cut at its cap, clipped samples.
void printSummary(std::FILE* to, const Job& job, const RenderSummary& summary) {
    std::error_code ec;
    const auto where = std::filesystem::absolute(summary.outputPath, ec);
    const std::string lowered = loweredFactorNote(summary);
    std::string notes;
    if (summary.tailCut) notes += " [tail cut at 30 s; use --tail]";
    if (summary.clippedSamples > 0)
        notes += " [clipped " + std::to_string(summary.clippedSamples) +
                 " samples; lower Gain or raise Mix, or use 32-bit float]";
    std::fprintf(to, "%s %.2f s in, %.2f s out, peak %.1f dBFS, %s%s%.0fx real time -> %s%s%s\n",
                 shownInput(job.input).c_str(), summary.inputSeconds, summary.outputSeconds, summary.peakDbfs,
                 lowered.c_str(), lowered.empty() ? "" : ", ", summary.realtimeFactor,
                 job.output == "-" ? "standard output" : (ec ? summary.outputPath : where.string()).c_str(),
                 summary.replaced ? " (replaced)" : "", notes.c_str());
    std::fflush(to);
}

// Renders one job. 0, 1 with the message printed, or 130 when interrupted. The
// state to save (`state`) is created with the first job's unit.
int renderJob(const Command& c, const Job& job, std::unique_ptr<PendingState>& state, bool& stateMade,
              RenderSummary& summary) {
    std::unique_ptr<AudioReader> input;
    std::string error;
    if (job.input) {
        // "-" is standard input, which is never a file to check.
        if (const std::string why = *job.input == "-" ? "" : readProblem(*job.input); !why.empty())
            return failWith("cannot read \"" + *job.input + "\": " + why);
        if (!openAudioInput(*job.input, input, error)) return failWith(error);
    } else {
        input = memoryReader(makeDemoPhrase());
    }
    std::unique_ptr<KestrinHost> host;
    if (!loadHost(c, host, error)) return failWith(error);

    // The output and the saved state are created before rendering so that an
    // unwritable destination fails at once; they only appear under their names once
    // the render is complete.
    if (const std::string why = job.output == "-" ? "" : writeProblem(job.output); !why.empty())
        return failWith("cannot write \"" + job.output + "\": " + why);
    std::unique_ptr<OutputFile> output;
    if (!OutputFile::create(job.output, job.format, input->sampleRate(), 2, output, error)) return failWith(error);
    if (c.stateOut && !stateMade) {
        if (!PendingState::create(*host, *c.stateOut, state, error)) return failWith(error);
        stateMade = true;
    }
    if (!renderThrough(*host, c, *input, *output, interrupted, summary, error)) {
        if (interrupted.load(std::memory_order_relaxed)) return failWith("interrupted; no output written", 130);
        return failWith(error);
    }
    if (!output->commit(error)) return failWith(error);
    return 0;
}

int runRender(const Command& c) {
    std::string error;
    std::vector<Job> jobs;
    if (int code = 1; !planJobs(c, jobs, error, code))
        return code == 2 ? failWith(error + "\nsee: kestrin help render", 2) : failWith(error);
    if (c.dryRun) {
        std::unique_ptr<KestrinHost> host;
        if (!loadHost(c, host, error)) return failWith(error);
        printSettings(*host, c, jobs);
        return 0;
    }
    // Audio is never poured onto a terminal, nor waited for from one.
    if (jobs.front().output == "-" && ::isatty(STDOUT_FILENO))
        return failWith("standard output is a terminal: send the audio to a file or a program (-o - > out.wav, "
                        "or -o - | sox -t wav - -d)");
    if (jobs.front().input == "-" && ::isatty(STDIN_FILENO))
        return failWith("standard input is a terminal: give an input file, or send one in (kestrin render - < in.wav)");

    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    // With audio on standard output, everything else goes to standard error.
    std::FILE* report = jobs.front().output == "-" ? stderr : stdout;
    std::unique_ptr<PendingState> state;
    bool stateMade = false;
    std::vector<std::string> failed;
    double secondsOut = 0;
    std::size_t rendered = 0;
    for (const Job& job : jobs) {
        RenderSummary summary;
        const int code = renderJob(c, job, state, stateMade, summary);
        if (code == 130) return code;
        if (code != 0) {
            failed.push_back(shownInput(job.input));
            if (!c.keepGoing) break;
            continue;
        }
        ++rendered;
        secondsOut += summary.outputSeconds;
        if (!c.quiet) printSummary(report, job, summary);
    }
    // The state belongs to renders that all succeeded.
    if (state && failed.empty() && !state->commit(error)) {
        if (jobs.size() == 1 && jobs.front().output != "-") std::remove(jobs.front().output.c_str());
        return failWith(error);
    }
    if (jobs.size() > 1 && !c.quiet) {
        std::string names;
        for (const std::string& name : failed) {
            if (!names.empty()) names.append(", ");
            names.append(name);
        }
        std::fprintf(report, "%zu of %zu files rendered, %.2f s out in all", rendered, jobs.size(), secondsOut);
        if (!failed.empty()) std::fprintf(report, "; failed: %s", names.c_str());
        if (rendered + failed.size() < jobs.size()) std::fprintf(report, "; stopped at the first failure (--keep-going goes on)");
        std::fputc('\n', report);
    }
    return failed.empty() ? 0 : 1;
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
