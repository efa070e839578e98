#include "framework/client/clientfacade.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

namespace fw {

ClientFacade::ClientFacade(std::unique_ptr<Client> client, IHostCommand* host, const HostSettings& initial)
    : client_(std::move(client)), settings_(initial), rtSettings_(initial) {
    parameterInfo_.reserve(std::size_t(client_->numParams()));
    for (const auto& p : client_->params()) parameterInfo_.push_back(p->describe());
    pendingMidi_.reserve(messages_.capacity());
    inputs_.assign(std::size_t(client_->maxInputs()), nullptr);
    outputs_.assign(std::size_t(client_->maxOutputs()), nullptr);
    client_->setHostCommand(host);
    pushSettingsLocked();
}

ClientFacade::~ClientFacade() {
    // The client (and its editor) go first, while the host command is still alive.
    client_.reset();
}

bool ClientFacade::fitsLegalLayout(int inputs, int outputs) const noexcept {
    if (inputs < 0 && outputs < 0) return true;
    return std::any_of(legalIOs().begin(), legalIOs().end(), [&](const LegalIO& io) {
        return (inputs < 0 || io.numInputChannels == inputs) && (outputs < 0 || io.numOutputChannels == outputs);
    });
}

double ClientFacade::latencySeconds(double sampleRate) noexcept {
    return double(client_->latencySamples(sampleRate)) / sampleRate;
}

// ---- Parameters ----

const ParameterInfo* ClientFacade::parameterInfo(int index) const noexcept {
    if (index < 0 || index >= numParameters()) return nullptr;
    return &parameterInfo_[std::size_t(index)];
}

bool ClientFacade::getParameter(int index, double& normalized) noexcept {
    Parameter* p = client_->param(index);
    if (p == nullptr) return false;
    normalized = p->getForHost();
    return true;
}

bool ClientFacade::setParameter(int index, double normalized) noexcept {
    if (client_->param(index) == nullptr) return false;
    client_->setParameterFromHost(index, float(normalized));
    return true;
}

bool ClientFacade::parameterText(int index, double normalized, char* text, unsigned size) noexcept {
    Parameter* p = client_->param(index);
    if (p == nullptr || text == nullptr || size == 0) return false;
    p->stringFromNormalizedValue(normalized, text, size);
    return true;
}

bool ClientFacade::parameterFromText(int index, std::string_view text, double& normalized) noexcept {
    Parameter* p = client_->param(index);
    return p != nullptr && p->normalizedValueFromString(text, normalized);
}

double ClientFacade::plainFromNormalized(int index, double normalized) const noexcept {
    const Parameter* p = client_->param(index);
    return p != nullptr ? p->plainFromNormalized(normalized) : std::nan("");
}

double ClientFacade::normalizedFromPlain(int index, double plain) const noexcept {
    const Parameter* p = client_->param(index);
    return p != nullptr ? p->normalizedFromPlain(plain) : std::nan("");
}

double ClientFacade::plainValue(int index) const noexcept {
    const Parameter* p = client_->param(index);
    return p != nullptr ? p->plainValue() : std::nan("");
}

void ClientFacade::storePlainFromAudioThread(int index, double plain) noexcept {
    if (Parameter* p = client_->param(index)) p->storePlainFromAudioThread(plain);
}

// ---- Settings ----

HostSettings ClientFacade::settings() const noexcept {
    std::lock_guard<UncheckedMutex> lock(settingsMutex_);
    return settings_;
}

void ClientFacade::setSampleRate(double sampleRate) noexcept {
    std::lock_guard<UncheckedMutex> lock(settingsMutex_);
    settings_.sampleRate = sampleRate;
    pushSettingsLocked();
}

void ClientFacade::setMaxFrames(int maxFrames) noexcept {
    std::lock_guard<UncheckedMutex> lock(settingsMutex_);
    settings_.maxFrames = maxFrames;
    pushSettingsLocked();
}

void ClientFacade::setBypass(bool bypass) noexcept {
    std::lock_guard<UncheckedMutex> lock(settingsMutex_);
    settings_.bypass = bypass;
    pushSettingsLocked();
}

void ClientFacade::resendSettings() noexcept {
    std::lock_guard<UncheckedMutex> lock(settingsMutex_);
    pushSettingsLocked();
}

void ClientFacade::pushSettingsLocked() noexcept {
    // Under settingsMutex_, so messages leave in the order of the changes they carry.
    Message message;
    message.kind = Message::Kind::settings;
    message.settings = settings_;
    messages_.pushBack(message);
}

bool ClientFacade::queueMidi(const MidiMessage& midi) noexcept {
    if (!pluginInfo().receivesMIDI) return false;
    Message message;
    message.kind = Message::Kind::midi;
    message.midi = midi;
    messages_.pushBack(message);
    return true;
}

// ---- State and presets ----

void ClientFacade::saveState(Vec<std::uint8_t>& chunk) {
    std::lock_guard<UncheckedMutex> lock(bankMutex_);
    client_->presetBank().writeStateChunk(chunk);
}

Status ClientFacade::loadState(std::span<const std::uint8_t> chunk) noexcept {
    std::lock_guard<UncheckedMutex> lock(bankMutex_);
    return client_->presetBank().loadStateChunk(chunk);
}

Status ClientFacade::loadWholeState(std::span<const std::uint8_t> chunk) noexcept {
    std::lock_guard<UncheckedMutex> lock(bankMutex_);
    PresetBank& bank = client_->presetBank();
    if (Status s = bank.checkStateChunk(chunk); !s) return s;
    return bank.loadStateChunk(chunk);  // succeeds: the check read the same bytes
}

int ClientFacade::numPresets() noexcept {
    std::lock_guard<UncheckedMutex> lock(bankMutex_);
    return client_->presetBank().numPresets();
}

int ClientFacade::currentPreset() noexcept {
    std::lock_guard<UncheckedMutex> lock(bankMutex_);
    return client_->presetBank().currentPresetIndex();
}

std::string ClientFacade::presetName(int index) {
    std::lock_guard<UncheckedMutex> lock(bankMutex_);
    const Preset* preset = client_->presetBank().preset(index);
    return preset != nullptr ? preset->name : std::string();
}

bool ClientFacade::selectPreset(int index) noexcept {
    std::lock_guard<UncheckedMutex> lock(bankMutex_);
    PresetBank& bank = client_->presetBank();
    if (index < 0 || index >= bank.numPresets()) return false;
    bank.saveCurrentIntoPreset();
    return bank.loadPresetFromHost(index);
}

void ClientFacade::addPresetFromHost(std::string name) {
    std::lock_guard<UncheckedMutex> lock(bankMutex_);
    client_->presetBank().addPresetFromHost(std::move(name));
}

// ---- Audio thread ----

const HostSettings& ClientFacade::beginRender() noexcept {
    Message message;
    while (messages_.tryPopFront(message)) {
        if (message.kind == Message::Kind::settings)
            rtSettings_ = message.settings;  // the newest wins
        else if (pendingMidi_.length() < pendingMidi_.capacity())
            pendingMidi_.pushBack(message.midi);
    }
    return rtSettings_;
}

void ClientFacade::prepare(int maxFrames) {
    // Preparation: allocates only when the largest block grows past what was seen.
    const std::size_t frames = std::size_t(std::max(maxFrames, 0));
    silence_.resize(frames);
    std::fill(silence_.begin(), silence_.end(), 0.0f);
    sink_.resize(frames);
    preparedFrames_ = maxFrames;
}

bool ClientFacade::process(std::span<float* const> inputs, std::span<float* const> outputs, int frames,
                           const TimeInfo& info) noexcept {
    // The host's channels that exist, in order; more than the client has are ignored.
    std::size_t numIn = 0;
    std::size_t numOut = 0;
    for (float* p : inputs)
        if (p != nullptr && numIn < inputs_.size()) inputs_[numIn++] = p;
    for (float* p : outputs)
        if (p != nullptr && numOut < outputs_.size()) outputs_[numOut++] = p;

    const HostSettings& s = rtSettings_;
    if (s.maxFrames != appliedSettings_.maxFrames || s.sampleRate != appliedSettings_.sampleRate ||
        int(numIn) != appliedInputs_ || int(numOut) != appliedOutputs_) {
        if (s.maxFrames != preparedFrames_) prepare(s.maxFrames);
        client_->resetFromHost(s.sampleRate, s.maxFrames, int(numIn), int(numOut));
        appliedSettings_ = s;
        appliedInputs_ = int(numIn);
        appliedOutputs_ = int(numOut);
    }

    // After any reset of this render, which empties the client's MIDI queue; the
    // client's queue has room for the whole batch.
    if (!s.bypass)
        for (const MidiMessage& m : pendingMidi_) client_->enqueueMIDIFromHost(m);
    pendingMidi_.clearContents();

    const std::size_t bytes = std::size_t(std::max(frames, 0)) * sizeof(float);
    processedLast_ = false;
    if (frames > preparedFrames_) {
        for (std::size_t c = 0; c < numOut; ++c) std::memset(outputs_[c], 0, bytes);
        return false;
    }
    if (s.bypass) {
        // A mono input is heard on every output, as the processing of a mono input
        // layout feeds it to both sides; otherwise each input goes to its own output
        // and outputs without an input are silent.
        for (std::size_t c = 0; c < numOut; ++c) {
            const float* from = numIn == 1 ? inputs_[0] : c < numIn ? inputs_[c] : nullptr;
            if (from == nullptr) std::memset(outputs_[c], 0, bytes);
            else if (outputs_[c] != from) std::memmove(outputs_[c], from, bytes);
        }
        return true;
    }

    for (std::size_t c = numIn; c < inputs_.size(); ++c) inputs_[c] = silence_.data();
    for (std::size_t c = numOut; c < outputs_.size(); ++c) outputs_[c] = sink_.data();
    client_->processAudioFromHost(inputs_, outputs_, frames, info, false);
    processedLast_ = true;
    return true;
}

}  // namespace fw
