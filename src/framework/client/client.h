#pragma once
// Client: the host-agnostic heart of a plug-in.
//
// A concrete plug-in derives from Client and provides its build steps (plug-in
// information, channel layouts, parameters, presets) and its processing. A format
// wrapper owns one client, gives it an IHostCommand and drives it through the
// *FromHost operations. Host blocks are cut into sub-blocks of at most
// maxFramesInProcess() frames, so processAudio never sees more.
//
// Virtual calls in a constructor do not reach the derived class, so clients are
// created with makeClient<T>(...), which constructs, then runs the build steps
// (buildClient), then the derived class's onClientBuilt() hook.
//
// Threads, as the comments of the framework name them:
//   audio thread   the host's real-time thread: render, reset and processing. Code
//                  marked for it never blocks and never allocates, except where it
//                  says "preparation" (a reset after the host changed its settings).
//   host thread    any non-real-time thread of the host: properties, parameters,
//                  state, presets. Several may call at once unless a lock says not.
//   UI thread      the one thread of the editor: window callbacks, the frame timer,
//                  widget events, edit gestures.
//   worker         one of the editor's pool threads, painting dirty areas.
//   any thread     all of the above; such code is lock-free or takes its own lock.
//   set-up thread  the thread building an object before anyone else can reach it
//                  ("build time").

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "framework/client/hostcommand.h"
#include "framework/client/iclient.h"
#include "framework/client/igraphics.h"
#include "framework/client/midi.h"
#include "framework/client/parameter.h"
#include "framework/client/plugininfo.h"
#include "framework/client/preset.h"
#include "framework/core/uncheckedmutex.h"
#include "framework/core/vec.h"

namespace fw {

class Client : public IClient {
public:
    ~Client() override;
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // ---- Set-up and inspection (host thread unless noted) ----

    // Host thread, before any parameter is edited. The host is not owned.
    void setHostCommand(IHostCommand* host) noexcept { hostCommand_ = host; }
    // Any thread. Null until the wrapper sets one.
    IHostCommand* hostCommand() const noexcept { return hostCommand_; }

    // Any thread.
    const PluginInfo& pluginInfo() const noexcept { return info_; }
    int numParams() const noexcept { return static_cast<int>(params_.size()); }
    // Any thread. Null when `index` is out of range.
    Parameter* param(int index) const noexcept;
    std::span<const std::unique_ptr<Parameter>> params() const noexcept { return params_; }
    // Host thread.
    PresetBank& presetBank() noexcept { return *bank_; }
    const PresetBank& presetBank() const noexcept { return *bank_; }

    // Any thread.
    std::span<const LegalIO> legalIOs() const noexcept { return legalIO_; }
    bool isLegalIO(int numInputs, int numOutputs) const noexcept;
    int maxInputs() const noexcept { return maxInputs_; }
    int maxOutputs() const noexcept { return maxOutputs_; }
    // Any thread. The sub-block size cached at build time; 0 means no splitting.
    int maxFramesPerCall() const noexcept { return maxFramesInProcess_; }

    // Build time (buildPresets) or host thread. "Default" with every parameter's
    // normalized default, in index order.
    Preset makeDefaultPreset() const;

    // ---- Host-driven operations ----

    // Any host thread. setFromHost on parameter `index`; out-of-range indices are ignored.
    virtual void setParameterFromHost(int index, float value) noexcept;

    // Audio thread; may allocate (this is preparation). Empties the MIDI queues and
    // calls reset with maxFrames limited to maxFramesPerCall() when that is non-zero.
    void resetFromHost(double sampleRate, int maxFrames, int numInputs, int numOutputs);

    // Audio thread; never blocks, never allocates (for clients without MIDI output).
    // Calls processAudio once per sub-block of at most maxFramesPerCall() frames
    // (once with the whole block when that is 0 or `doNotSplit` is set), advancing
    // `info.timeInSamples` between calls. The caller's channel pointers are advanced
    // in place: afterwards they point past the block. Negative `frames` count as 0.
    void processAudioFromHost(std::span<float*> inputs, std::span<float*> outputs, int frames, TimeInfo info,
                              bool doNotSplit) noexcept;

    // ---- MIDI ----

    // Audio thread, before processAudioFromHost. `message.offset` is relative to the
    // coming host block.
    void enqueueMIDIFromHost(const MidiMessage& message);
    // Audio thread, inside processAudio. Queues a message for output; its offset is
    // relative to the current sub-block.
    virtual void sendMIDIMessage(const MidiMessage& message);
    // UI thread. Queued for output at the start of the next host block.
    virtual void sendMIDIMessagesFromUI(std::span<const MidiMessage> messages);
    // Audio thread, inside processAudio. Incoming messages of the current sub-block,
    // offsets relative to it (clients that receive MIDI).
    std::span<const MidiMessage> midiInputForBlock() const noexcept {
        return {midiInBlock_.data(), midiInBlock_.size()};
    }
    // Audio thread, after processAudioFromHost. Messages produced during the last host
    // block, offsets relative to its start (clients that send MIDI).
    std::span<const MidiMessage> midiOutputForBlock() const noexcept {
        return {midiOutBlock_.data(), midiOutBlock_.size()};
    }

    // ---- Editor ----

    // UI thread. Creates the editor on the first call (createGraphics) and marks it
    // available to the audio thread; later calls return the same editor. Null when the
    // plug-in has none.
    IGraphics* openGraphicsFromHost();
    // UI thread. The editor, or null before it was created.
    IGraphics* graphics() const noexcept { return graphics_.get(); }
    // Audio thread; never blocks. The editor when no one else holds it, else null.
    // A non-null result must be released in the same block.
    IGraphics* acquireGraphics() noexcept;
    // Audio thread. Releases what acquireGraphics returned.
    void releaseGraphics() noexcept;

    // ---- IClient: forwarded to the host command ----
    // UI thread. False when no host command is set.
    bool requestResize(int width, int height) noexcept override;
    // Any thread. DAW::unknown when no host command is set.
    DAW getDAW() noexcept override;
    // Any thread. PluginFormat::unknown when no host command is set.
    PluginFormat getPluginFormat() noexcept override;

    // ---- What the plug-in provides ----

    // Host thread (format wrappers). Defaults: no latency, infinite tail.
    virtual int latencySamples(double sampleRate) noexcept;
    virtual float tailSizeInSeconds() noexcept;

protected:
    Client();

    // UI thread, at most once. The editor, or null when the plug-in has none.
    virtual std::unique_ptr<IGraphics> createGraphics();

    // Audio thread; may allocate (preparation before processing starts).
    virtual void reset(double sampleRate, int maxFrames, int numInputs, int numOutputs) = 0;
    // Build time. The largest sub-block processAudio accepts; 0 means no splitting.
    virtual int maxFramesInProcess() const noexcept = 0;
    // Audio thread; never blocks, never allocates. `frames` never exceeds
    // maxFramesPerCall() unless that is 0 or the host asked not to split. Through a
    // ClientFacade the spans always hold maxInputs() inputs and maxOutputs() outputs,
    // every pointer valid: those beyond the counts of the last reset stand in for
    // channels the host did not give (silence in, a sink out).
    virtual void processAudio(std::span<const float* const> inputs, std::span<float* const> outputs, int frames,
                              const TimeInfo& info) noexcept = 0;

    // Build time, in this order, from buildClient().
    virtual PluginInfo buildPluginInfo() = 0;
    virtual std::vector<LegalIO> buildLegalIO() = 0;
    // Parameter i must have index i.
    virtual std::vector<std::unique_ptr<Parameter>> buildParameters() = 0;
    virtual std::vector<Preset> buildPresets() = 0;
    // Build time, after every build step: the derived class's own post-construction work.
    virtual void onClientBuilt() {}

private:
    template <class T, class... A>
    friend std::unique_ptr<T> makeClient(A&&... args);

    // Runs the build steps; called once by makeClient right after construction.
    void buildClient();
    void runMidiOutputStep(int frames) noexcept;
    void drainMidiFromUI() noexcept;

    std::unique_ptr<IGraphics> graphics_;
    // 1 while the editor may be taken by the audio thread (acquireGraphics).
    std::atomic<std::uint8_t> graphicsAvailable_{0};
    IHostCommand* hostCommand_ = nullptr;
    PluginInfo info_;
    std::vector<std::unique_ptr<Parameter>> params_;
    std::unique_ptr<PresetBank> bank_;
    std::vector<LegalIO> legalIO_;
    int maxInputs_ = 0;
    int maxOutputs_ = 0;
    int maxFramesInProcess_ = 0;

    MidiQueue midiInQueue_;
    MidiQueue midiOutQueue_;
    UncheckedMutex midiFromUIMutex_;
    Vec<MidiMessage> midiFromUI_;
    Vec<MidiMessage> midiInBlock_;
    Vec<MidiMessage> midiOutBlock_;
    std::int64_t midiOutBlockStart_ = 0;
};

// Creates a client: constructs T, runs the build steps, then T's onClientBuilt().
template <class T, class... A>
std::unique_ptr<T> makeClient(A&&... args) {
    std::unique_ptr<T> client(new T(std::forward<A>(args)...));
    Client& base = *client;  // the build steps are reached through the base class
    base.buildClient();
    base.onClientBuilt();
    return client;
}

}  // namespace fw
