#include "renderjob.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "auhost/inputsource.h"
#include "kestrin/workingrate.h"
#include "plainerror.h"

namespace kestrincli {

namespace {

using Clock = std::chrono::steady_clock;

// A progress bar on standard error, drawn only when it is a terminal and the render
// has already taken a second.
class ProgressBar {
public:
    explicit ProgressBar(bool enabled) : enabled_(enabled && ::isatty(STDERR_FILENO)), start_(Clock::now()) {}
    ~ProgressBar() { finish(); }

    void update(double fraction, const char* phase) {
        if (!enabled_) return;
        const auto now = Clock::now();
        if (now - start_ < std::chrono::seconds(1) || now - lastDraw_ < std::chrono::milliseconds(100)) return;
        lastDraw_ = now;
        constexpr int kWidth = 40;
        const int filled = int(std::clamp(fraction, 0.0, 1.0) * kWidth);
        std::fprintf(stderr, "\r[%.*s%*s] %3d%% %-8s", filled, "########################################",
                     kWidth - filled, "", int(fraction * 100.0), phase);
        std::fflush(stderr);
        drawn_ = true;
    }
    void finish() {
        if (drawn_) std::fprintf(stderr, "\r%*s\r", 60, "");
        drawn_ = false;
    }

private:
    bool enabled_;
    bool drawn_ = false;
    Clock::time_point start_;
    Clock::time_point lastDraw_{};
};

// The unit's input: the block the render loop read just before the render, then
// silence. Reading happens between renders; the render callback only copies.
class BlockInput final : public auhost::InputSource {
public:
    BlockInput(std::size_t channels, std::size_t capacity) : channels_(channels, std::vector<float>(capacity)) {
        for (auto& c : channels_) pointers_.push_back(c.data());
    }
    // The planar buffers the next block is read into.
    float* const* buffers() { return pointers_.data(); }
    // Main thread, between renders: the next render plays the first `frames` frames.
    void stage(std::size_t frames) {
        staged_ = frames;
        position_ = 0;
    }

    // Audio thread; never blocks, never allocates.
    OSStatus fill(const AudioTimeStamp&, UInt32 frames, AudioBufferList& buffers) noexcept override {
        for (UInt32 b = 0; b < buffers.mNumberBuffers; ++b) {
            auto* out = static_cast<float*>(buffers.mBuffers[b].mData);
            if (out == nullptr) return kAudio_ParamError;
            const float* source = channels_[std::min<std::size_t>(b, channels_.size() - 1)].data();
            for (UInt32 i = 0; i < frames; ++i) {
                const std::size_t at = position_ + i;
                out[i] = at < staged_ ? source[at] : 0.0f;
            }
            buffers.mBuffers[b].mDataByteSize = static_cast<UInt32>(frames * sizeof(float));
        }
        position_ += frames;
        return noErr;
    }

private:
    std::vector<std::vector<float>> channels_;
    std::vector<float*> pointers_;
    std::size_t staged_ = 0;
    std::size_t position_ = 0;
};

// The factor "Upsample Amount" asks for, as the unit shows the parameter (0 to 3 for
// 1x to 8x); 1 when it cannot be read.
int askedOversamplingFactor(KestrinHost& host) {
    const HostParameter* amount = host.findParameter("Upsample Amount");
    AudioUnitParameterValue normalized = 0;
    if (amount == nullptr || !host.unit().getParameter(amount->id, normalized)) return 1;
    const std::string shown = host.displayText(amount->id, normalized);
    const int exponent = shown.size() == 1 && shown[0] >= '0' && shown[0] <= '3' ? shown[0] - '0' : 0;
    return 1 << exponent;
}

}  // namespace

std::string loweredFactorNote(const RenderSummary& summary) {
    if (summary.usedFactor >= summary.askedFactor) return {};
    char text[96];
    std::snprintf(text, sizeof text, "%dx asked, %dx used at %g kHz", summary.askedFactor, summary.usedFactor,
                  summary.sampleRate / 1000.0);
    return text;
}

bool renderThrough(KestrinHost& host, const Command& command, AudioReader& input, OutputFile& output,
                   const std::atomic<bool>& stop, RenderSummary& summary, std::string& error) {
    auhost::HostedUnit& unit = host.unit();
    const double rate = input.sampleRate();
    const auto inputChannels = static_cast<UInt32>(input.channels());
    constexpr UInt32 kOutputChannels = 2;
    const auto block = static_cast<UInt32>(command.block);

    // Set up the way a host prepares an insert: formats, slice size, transport, input.
    BlockInput source(inputChannels, block);
    // Each step runs only when the one before it succeeded.
    auhost::HostResult prepared = unit.setStreamFormat(kAudioUnitScope_Input, 0, rate, inputChannels);
    if (prepared) prepared = unit.setStreamFormat(kAudioUnitScope_Output, 0, rate, kOutputChannels);
    if (prepared) prepared = unit.setMaximumFramesPerSlice(block);
    if (prepared) prepared = unit.setTransport({command.tempo.value_or(120.0), true});
    if (prepared) prepared = unit.setInput(&source);
    if (!prepared) {
        error = "cannot prepare Kestrin 3: " + plainMessage(prepared);
        return false;
    }
    if (command.bypass) {
        UInt32 on = 1;
        if (OSStatus s = AudioUnitSetProperty(unit.unit(), kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0,
                                              &on, sizeof on);
            s != noErr) {
            error = "cannot bypass Kestrin 3: " + statusInWords(s);
            return false;
        }
    }
    if (auhost::HostResult r = unit.initialize(); !r) {
        error = "cannot initialize Kestrin 3: " + plainMessage(r);
        return false;
    }

    const bool fixedTail = command.tail.has_value();
    // Bypassed, nothing rings out; otherwise the tail is fixed or found by listening.
    const double tailSeconds = fixedTail ? *command.tail : command.bypass ? 0.0 : kLongestTailSeconds;
    const auto tailLimit = static_cast<std::size_t>(std::llround(tailSeconds * rate));
    const auto silenceHold = static_cast<std::size_t>(std::llround(kSilenceHoldSeconds * rate));
    const float threshold = float(std::pow(10.0, kSilenceThresholdDbfs / 20.0));
    // An automatic tail that reaches its cap still rings: its end is faded out
    // rather than cut off. A tail the user chose keeps every sample as rendered.
    const bool fadeAtCap = !fixedTail && !command.bypass;
    const std::size_t fadeFrames = std::min(tailLimit, std::size_t(std::llround(kCapFadeSeconds * rate)));
    const std::size_t fadeFrom = tailLimit - fadeFrames;
    // For the progress bar only; a stream that does not know its length shows the tail.
    const double expectedFrames = double(input.declaredFrames().value_or(0));

    std::vector<float> left(block), right(block);
    float* outs[kOutputChannels] = {left.data(), right.data()};
    float peak = 0.0f;
    std::size_t inputFrames = 0, tailDone = 0, quietRun = 0;
    bool inTail = false;
    ProgressBar progress(!command.quiet);
    const auto started = Clock::now();

    for (;;) {
        if (inTail && tailDone >= tailLimit) break;
        if (inTail && !fixedTail && quietRun >= silenceHold) break;
        if (stop.load(std::memory_order_relaxed)) {
            error = "interrupted; no output written";
            return false;
        }
        // A block of input, or after its end a block of the tail. A short read ends
        // the input, so blocks never straddle its end and the tail is measured cleanly.
        const bool tailBlock = inTail;
        std::size_t frames = 0;
        if (!tailBlock) {
            if (!input.read(source.buffers(), block, frames, error)) return false;
            inTail = frames < block;
            inputFrames += frames;
            if (frames == 0) {
                if (inputFrames > 0) continue;
                error = "the input holds no audio (0 frames)";
                return false;
            }
            source.stage(frames);
        } else {
            frames = std::min<std::size_t>(block, tailLimit - tailDone);
            source.stage(0);
        }

        if (OSStatus s = unit.render(outs, kOutputChannels, UInt32(frames)); s != noErr) {
            error = "Kestrin 3 failed to render: " + statusInWords(s);
            return false;
        }
        if (tailBlock && fadeAtCap && tailDone + frames > fadeFrom) {
            for (std::size_t i = 0; i < frames; ++i) {
                const std::size_t at = tailDone + i;
                if (at < fadeFrom) continue;
                // Raised cosine from 1 down to exactly 0 on the last frame.
                const double phase = fadeFrames > 1 ? double(at - fadeFrom) / double(fadeFrames - 1) : 1.0;
                const auto gain = float(0.5 + 0.5 * std::cos(3.14159265358979323846 * phase));
                left[i] *= gain;
                right[i] *= gain;
            }
        }
        for (std::size_t i = 0; i < frames; ++i) {
            const float level = std::max(std::fabs(left[i]), std::fabs(right[i]));
            peak = std::max(peak, level);
            // After the input only echoes remain: count how long they have stayed quiet.
            if (tailBlock) quietRun = level < threshold ? quietRun + 1 : 0;
        }
        if (!output.write(outs, frames, error)) return false;
        if (tailBlock) tailDone += frames;
        const double total = expectedFrames + double(tailLimit);
        progress.update(total > 0 ? double(inputFrames + tailDone) / total : 1.0, tailBlock ? "echoes" : "input");
    }
    progress.finish();
    const double wall = std::chrono::duration<double>(Clock::now() - started).count();

    summary.sampleRate = rate;
    summary.askedFactor = askedOversamplingFactor(host);
    summary.usedFactor = kestrin::oversamplingFactorInForce(rate, summary.askedFactor);
    summary.inputSeconds = double(inputFrames) / rate;
    summary.outputSeconds = double(inputFrames + tailDone) / rate;
    summary.peakDbfs = peak > 0.0f ? 20.0 * std::log10(double(peak)) : -INFINITY;
    summary.realtimeFactor = wall > 0 ? summary.outputSeconds / wall : 0;
    summary.outputPath = output.path();
    summary.replaced = output.replaces();
    summary.tailCut = fadeAtCap && tailDone >= tailLimit && quietRun < silenceHold;
    summary.clippedSamples = output.clippedSamples();
    return true;
}

}  // namespace kestrincli
