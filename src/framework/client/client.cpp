#include "framework/client/client.h"

#include <algorithm>
#include <limits>
#include <mutex>
#include <thread>

#include "framework/core/fatal.h"

namespace fw {

namespace {

// Room reserved for MIDI traffic so that ordinary blocks never grow the queues on
// the audio thread.
constexpr std::size_t kMidiReserve = 256;

}  // namespace

Client::Client() = default;

Client::~Client() {
    if (graphics_) {
        // The audio thread may be inside an acquireGraphics/releaseGraphics pair; take
        // the flag so it can no longer reach the editor before destroying it.
        for (;;) {
            std::uint8_t expected = 1;
            // Acquire pairs with the release in releaseGraphics: the audio thread's use
            // of the editor happens before the destruction.
            if (graphicsAvailable_.compare_exchange_weak(expected, 0, std::memory_order_acquire,
                                                         std::memory_order_relaxed))
                break;
            std::this_thread::yield();  // the audio thread releases within its block
        }
        graphics_.reset();
    }
    bank_.reset();
    params_.clear();
    legalIO_.clear();
}

void Client::buildClient() {
    info_ = buildPluginInfo();
    legalIO_ = buildLegalIO();

    params_ = buildParameters();
    for (std::size_t i = 0; i < params_.size(); ++i) {
        if (!params_[i]) fatalError("buildParameters returned a null parameter");
        if (params_[i]->index() != static_cast<int>(i)) fatalError("parameter index differs from its position");
        params_[i]->attachToClient(this);
    }

    bank_ = std::make_unique<PresetBank>(*this, buildPresets());

    maxFramesInProcess_ = std::max(0, maxFramesInProcess());

    // Computed separately: the largest input and output counts may come from
    // different layouts.
    maxInputs_ = 0;
    maxOutputs_ = 0;
    for (const LegalIO& io : legalIO_) {
        maxInputs_ = std::max(maxInputs_, io.numInputChannels);
        maxOutputs_ = std::max(maxOutputs_, io.numOutputChannels);
    }

    if (info_.receivesMIDI) {
        midiInQueue_.reserve(kMidiReserve);
        midiInBlock_.reserve(kMidiReserve);
    }
    if (info_.sendsMIDI) {
        midiOutQueue_.reserve(kMidiReserve);
        midiOutBlock_.reserve(kMidiReserve);
    }
}

Parameter* Client::param(int index) const noexcept {
    if (index < 0 || index >= numParams()) return nullptr;
    return params_[static_cast<std::size_t>(index)].get();
}

bool Client::isLegalIO(int numInputs, int numOutputs) const noexcept {
    return std::any_of(legalIO_.begin(), legalIO_.end(), [&](const LegalIO& io) {
        return io.numInputChannels == numInputs && io.numOutputChannels == numOutputs;
    });
}

Preset Client::makeDefaultPreset() const {
    Preset preset;
    preset.name = "Default";
    preset.normalizedValues.reserve(params_.size());
    for (const auto& p : params_) preset.normalizedValues.push_back(static_cast<float>(p->getNormalizedDefault()));
    return preset;
}

void Client::setParameterFromHost(int index, float value) noexcept {
    if (Parameter* p = param(index)) p->setFromHost(value);
}

void Client::resetFromHost(double sampleRate, int maxFrames, int numInputs, int numOutputs) {
    midiInQueue_.clear();
    midiOutQueue_.clear();
    midiInBlock_.clearContents();
    midiOutBlock_.clearContents();
    midiOutBlockStart_ = 0;
    if (maxFramesInProcess_ != 0 && maxFramesInProcess_ < maxFrames) maxFrames = maxFramesInProcess_;
    reset(sampleRate, maxFrames, numInputs, numOutputs);
}

void Client::processAudioFromHost(std::span<float*> inputs, std::span<float*> outputs, int frames, TimeInfo info,
                                  bool doNotSplit) noexcept {
    if (frames < 0) frames = 0;
    const bool receivesMIDI = info_.receivesMIDI;
    const bool sendsMIDI = info_.sendsMIDI;
    if (sendsMIDI) {
        midiOutBlock_.clearContents();
        midiOutBlockStart_ = midiOutQueue_.framesElapsed();
        drainMidiFromUI();
    }

    // The plug-in sees the same pointer arrays, read-only.
    const std::span<const float* const> in(inputs.data(), inputs.size());
    const std::span<float* const> out(outputs.data(), outputs.size());

    auto processSlice = [&](int slice) noexcept {
        if (receivesMIDI) {
            midiInBlock_.clearContents();
            const std::int64_t sliceStart = midiInQueue_.framesElapsed();
            MidiMessage m;
            while (midiInBlock_.length() < midiInBlock_.capacity() && midiInQueue_.popBefore(slice, sliceStart, m))
                midiInBlock_.pushBack(m);
        }
        processAudio(in, out, slice, info);
        if (receivesMIDI) midiInQueue_.accumulate(slice);
        if (sendsMIDI) runMidiOutputStep(slice);
    };

    if (maxFramesInProcess_ == 0 || doNotSplit) {
        processSlice(frames);
        return;
    }

    while (frames > 0) {
        const int slice = std::min(maxFramesInProcess_, frames);
        processSlice(slice);
        // Null channel pointers stay null: pointer arithmetic on them is undefined.
        for (float*& p : inputs)
            if (p != nullptr) p += slice;
        for (float*& p : outputs)
            if (p != nullptr) p += slice;
        frames -= slice;
        info.timeInSamples += slice;
    }
}

void Client::runMidiOutputStep(int frames) noexcept {
    MidiMessage m;
    // The block list only uses the room reserved at build time; messages beyond it
    // wait in the queue for the next block.
    while (midiOutBlock_.length() < midiOutBlock_.capacity() && midiOutQueue_.popBefore(frames, midiOutBlockStart_, m))
        midiOutBlock_.pushBack(m);
    midiOutQueue_.accumulate(frames);
}

void Client::drainMidiFromUI() noexcept {
    // Never waits for the UI thread: if it holds the lock, its messages go out with
    // the next block.
    if (!midiFromUIMutex_.try_lock()) return;
    for (const MidiMessage& m : midiFromUI_) {
        if (midiOutQueue_.size() >= kMidiReserve) break;
        midiOutQueue_.enqueue(m);
    }
    midiFromUI_.clearContents();
    midiFromUIMutex_.unlock();
}

void Client::enqueueMIDIFromHost(const MidiMessage& message) { midiInQueue_.enqueue(message); }

void Client::sendMIDIMessage(const MidiMessage& message) { midiOutQueue_.enqueue(message); }

void Client::sendMIDIMessagesFromUI(std::span<const MidiMessage> messages) {
    std::lock_guard<UncheckedMutex> lock(midiFromUIMutex_);
    for (const MidiMessage& m : messages) midiFromUI_.pushBack(m);
}

IGraphics* Client::openGraphicsFromHost() {
    if (!graphics_) {
        graphics_ = createGraphics();
        // Release pairs with the acquire in acquireGraphics: the audio thread sees a
        // fully built editor.
        if (graphics_) graphicsAvailable_.store(1, std::memory_order_release);
    }
    return graphics_.get();
}

IGraphics* Client::acquireGraphics() noexcept {
    std::uint8_t expected = 1;
    if (graphicsAvailable_.compare_exchange_strong(expected, 0, std::memory_order_acquire, std::memory_order_relaxed))
        return graphics_.get();
    return nullptr;
}

void Client::releaseGraphics() noexcept { graphicsAvailable_.store(1, std::memory_order_release); }

bool Client::requestResize(int width, int height) noexcept {
    return hostCommand_ != nullptr && hostCommand_->requestResize(width, height);
}

DAW Client::getDAW() noexcept { return hostCommand_ != nullptr ? hostCommand_->getDAW() : DAW::unknown; }

PluginFormat Client::getPluginFormat() noexcept {
    return hostCommand_ != nullptr ? hostCommand_->getPluginFormat() : PluginFormat::unknown;
}

int Client::latencySamples(double) noexcept { return 0; }

float Client::tailSizeInSeconds() noexcept { return std::numeric_limits<float>::infinity(); }

std::unique_ptr<IGraphics> Client::createGraphics() { return nullptr; }

}  // namespace fw
