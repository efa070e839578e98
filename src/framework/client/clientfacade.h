#pragma once
// ClientFacade: everything a plug-in format wrapper needs from a client, in one place.
//
// A wrapper (Audio Unit, LV2, ...) owns one facade, which owns the client, and
// translates its host's calls onto it:
//   - settings (sample rate, largest host block, bypass) are set on host threads and
//     travel to the audio thread through a queue; the audio thread takes the newest
//     at the start of each render and the client is reset only when the settings or
//     the channel counts really changed;
//   - channels: the host's non-null channels are compacted and the client always
//     processes its full layout (maxInputs() inputs, maxOutputs() outputs), the
//     missing ones read as silence and written to a sink; bypass copies the host's
//     inputs to its outputs (a single input to every output);
//   - parameters as a host shows them (ParameterInfo), their values and texts;
//   - the state chunk and the presets, serialised against each other;
//   - MIDI from the host, and the editor.
// See client.h for the names of the threads used below.

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "framework/client/client.h"
#include "framework/client/parameterinfo.h"
#include "framework/core/lockedqueue.h"
#include "framework/core/status.h"
#include "framework/core/uncheckedmutex.h"
#include "framework/core/vec.h"

namespace fw {

// What the host has set. The wrapper chooses the initial values.
struct HostSettings {
    double sampleRate = 44100;
    int maxFrames = 1024;  // the largest host block
    bool bypass = false;
};

class ClientFacade {
public:
    // Messages (settings and MIDI) host threads can have in flight to the audio thread.
    static constexpr std::size_t kMessageQueueCapacity = 256;

    // Host thread. Takes the client; `host` (not owned) becomes its IHostCommand.
    ClientFacade(std::unique_ptr<Client> client, IHostCommand* host, const HostSettings& initial);
    ~ClientFacade();
    ClientFacade(const ClientFacade&) = delete;
    ClientFacade& operator=(const ClientFacade&) = delete;

    // Any thread.
    Client& client() noexcept { return *client_; }
    const PluginInfo& pluginInfo() const noexcept { return client_->pluginInfo(); }
    std::span<const LegalIO> legalIOs() const noexcept { return client_->legalIOs(); }
    int maxInputs() const noexcept { return client_->maxInputs(); }
    int maxOutputs() const noexcept { return client_->maxOutputs(); }
    // Any thread. Whether a legal layout has these counts; -1 means "not known yet"
    // and matches any count.
    bool fitsLegalLayout(int inputs, int outputs) const noexcept;
    // Host thread.
    double latencySeconds(double sampleRate) noexcept;
    double tailSeconds() noexcept { return double(client_->tailSizeInSeconds()); }

    // ---- Parameters; any host thread ----
    int numParameters() const noexcept { return static_cast<int>(parameterInfo_.size()); }
    // Null when `index` is out of range.
    const ParameterInfo* parameterInfo(int index) const noexcept;
    // False when `index` is out of range.
    [[nodiscard]] bool getParameter(int index, double& normalized) noexcept;
    [[nodiscard]] bool setParameter(int index, double normalized) noexcept;
    // The text for a normalized value, bounded by `size` (zero-terminated).
    [[nodiscard]] bool parameterText(int index, double normalized, char* text, unsigned size) noexcept;
    // False when `index` is out of range or the text is not accepted.
    [[nodiscard]] bool parameterFromText(int index, std::string_view text, double& normalized) noexcept;

    // Any thread. The parameter's mapping between plain and normalized values,
    // clamped to its range; NaN when `index` is out of range.
    double plainFromNormalized(int index, double normalized) const noexcept;
    double normalizedFromPlain(int index, double plain) const noexcept;
    // Any thread, including the audio thread; lock-free. NaN when `index` is out of range.
    double plainValue(int index) const noexcept;
    // Audio thread; never blocks, never allocates. Stores a plain value silently, for
    // formats whose host owns the controls: no lock, no listener, no host call.
    // Clamped (rounded for the discrete kinds); NaN and out-of-range indices are ignored.
    void storePlainFromAudioThread(int index, double plain) noexcept;

    // ---- Settings; any host thread. Each change reaches the client at the next render ----
    // The host rates a wrapper accepts, in hertz (what the command line accepts too):
    // below, a rate is no audio rate; above, the rate times the oversampling factor
    // leaves the range the processing is made for.
    static constexpr double kLowestSampleRate = 8000.0;
    static constexpr double kHighestSampleRate = 384000.0;
    // Any thread. Whether `rate` lies in [kLowestSampleRate, kHighestSampleRate] (NaN does not).
    static constexpr bool acceptsSampleRate(double rate) noexcept {
        return rate >= kLowestSampleRate && rate <= kHighestSampleRate;
    }
    HostSettings settings() const noexcept;
    void setSampleRate(double sampleRate) noexcept;
    void setMaxFrames(int maxFrames) noexcept;
    void setBypass(bool bypass) noexcept;
    // Sends the current settings again (a host's reset); unchanged settings do not
    // reset the client.
    void resendSettings() noexcept;
    // False when the client takes no MIDI.
    bool queueMidi(const MidiMessage& message) noexcept;

    // ---- State and presets; host thread, serialised with one another ----
    // Appends the client's state chunk.
    void saveState(Vec<std::uint8_t>& chunk);
    // Applies a state chunk when all of it reads without a failure (bytes after it
    // are ignored); otherwise changes nothing.
    [[nodiscard]] Status loadState(std::span<const std::uint8_t> chunk) noexcept;
    // The same, and a chunk that has bytes after it is refused too.
    [[nodiscard]] Status loadWholeState(std::span<const std::uint8_t> chunk) noexcept;
    int numPresets() noexcept;
    // kNoPreset when none is selected.
    int currentPreset() noexcept;
    // Empty when `index` names no preset.
    std::string presetName(int index);
    // Keeps the current values in the current preset, then applies preset `index`.
    // False, changing nothing, when it is out of range.
    [[nodiscard]] bool selectPreset(int index) noexcept;
    // Keeps the current sound as a preset called `name` (see PresetBank::addPresetFromHost)
    // and makes it current; no value changes.
    void addPresetFromHost(std::string name);

    // ---- Audio thread ----
    // Takes the newest settings and MIDI from the queue; never blocks, never allocates.
    const HostSettings& beginRender() noexcept;
    // The settings beginRender took last.
    const HostSettings& renderSettings() const noexcept { return rtSettings_; }
    // Processes one host block: compaction, reset when something changed (may
    // allocate: preparation), pending MIDI, bypass, the client's processing of its
    // full layout. Null pointers and channels beyond the spans are missing. False,
    // with the host's outputs cleared, when `frames` exceeds the settings' largest block.
    bool process(std::span<float* const> inputs, std::span<float* const> outputs, int frames,
                 const TimeInfo& info) noexcept;
    // MIDI the client produced in the last block; none when it was bypassed or refused.
    std::span<const MidiMessage> midiOutput() const noexcept {
        return processedLast_ ? client_->midiOutputForBlock() : std::span<const MidiMessage>();
    }

    // ---- Editor; UI thread ----
    // Creates the editor on the first call; null when the plug-in has none.
    IGraphics* openEditor() { return client_->openGraphicsFromHost(); }
    IGraphics* editor() const noexcept { return client_->graphics(); }

private:
    struct Message {
        enum class Kind : std::uint8_t { settings, midi };
        Kind kind = Kind::settings;
        HostSettings settings;
        MidiMessage midi;
    };

    void pushSettingsLocked() noexcept;
    void prepare(int maxFrames);

    std::unique_ptr<Client> client_;
    std::vector<ParameterInfo> parameterInfo_;

    // Host side: the current settings (the queue carries copies) and the bank's lock.
    mutable UncheckedMutex settingsMutex_;
    HostSettings settings_;
    UncheckedMutex bankMutex_;
    LockedQueue<Message> messages_{kMessageQueueCapacity};

    // Audio side.
    HostSettings rtSettings_;
    HostSettings appliedSettings_{0, 0, false};
    int appliedInputs_ = -1;
    int appliedOutputs_ = -1;
    int preparedFrames_ = 0;
    bool processedLast_ = false;  // the client processed the last block
    Vec<MidiMessage> pendingMidi_;   // handed to the client after any reset of its render
    Vec<float, 64> silence_;         // read in place of missing inputs
    Vec<float, 64> sink_;            // written in place of missing outputs
    std::vector<float*> inputs_;     // the client's full layout, host channels first
    std::vector<float*> outputs_;
};

}  // namespace fw
