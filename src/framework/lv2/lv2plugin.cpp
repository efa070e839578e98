#include "framework/lv2/lv2plugin.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>

#include "framework/core/fpcontrol.h"

namespace fw::lv2 {

namespace {

const void* findFeature(const LV2_Feature* const* features, const char* uri) noexcept {
    if (features == nullptr) return nullptr;
    for (const LV2_Feature* const* f = features; *f != nullptr; ++f)
        if ((*f)->URI != nullptr && std::strcmp((*f)->URI, uri) == 0) return (*f)->data;
    return nullptr;
}

// bufsz:maxBlockLength, else bufsz:nominalBlockLength, from the host's options; 0
// when it names neither (or names one with a type other than atom:Int).
int blockLengthOption(const LV2_Options_Option* options, const LV2_URID_Map* map) noexcept {
    if (options == nullptr || map == nullptr || map->map == nullptr) return 0;
    const LV2_URID maxLength = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
    const LV2_URID nominalLength = map->map(map->handle, LV2_BUF_SIZE__nominalBlockLength);
    const LV2_URID intType = map->map(map->handle, LV2_ATOM__Int);
    int nominal = 0;
    for (const LV2_Options_Option* o = options; o->key != 0 || o->value != nullptr; ++o) {
        if (o->value == nullptr || o->type != intType || o->size < sizeof(std::int32_t)) continue;
        const std::int32_t v = *static_cast<const std::int32_t*>(o->value);
        if (o->key == maxLength && v > 0) return v;
        if (o->key == nominalLength && v > 0) nominal = v;
    }
    return nominal;
}

}  // namespace

Lv2Plugin::Lv2Plugin(std::unique_ptr<Client> client, const char* stateKey, int inputs, double sampleRate,
                     const LV2_Feature* const* features)
    : transport_(static_cast<const LV2_URID_Map*>(findFeature(features, LV2_URID__map))) {
    const auto* map = static_cast<const LV2_URID_Map*>(findFeature(features, LV2_URID__map));
    if (map != nullptr && map->map == nullptr) map = nullptr;
    if (map != nullptr) {
        stateKey_ = map->map(map->handle, stateKey);
        chunkType_ = map->map(map->handle, LV2_ATOM__Chunk);
    }
    const int hostBlock =
        blockLengthOption(static_cast<const LV2_Options_Option*>(findFeature(features, LV2_OPTIONS__options)), map);
    maxFrames_ = hostBlock > 0 ? std::min(hostBlock, kLargestMaxFrames) : kDefaultMaxFrames;

    HostSettings settings;
    settings.sampleRate = std::isfinite(sampleRate) && sampleRate > 0 ? sampleRate : 48000.0;
    settings.maxFrames = maxFrames_;
    facade_ = std::make_unique<ClientFacade>(std::move(client), this, settings);

    layout_.parameters = facade_->numParameters();
    layout_.inputs = std::clamp(inputs, 1, facade_->maxInputs());
    layout_.outputs = facade_->maxOutputs();
    controls_.assign(std::size_t(layout_.parameters), nullptr);
    audioIn_.assign(std::size_t(layout_.inputs), nullptr);
    audioOut_.assign(std::size_t(layout_.outputs), nullptr);
    lastControl_ = std::make_unique<std::atomic<float>[]>(std::size_t(layout_.parameters));
    for (int i = 0; i < layout_.parameters; ++i)
        lastControl_[std::size_t(i)].store(std::numeric_limits<float>::quiet_NaN(), std::memory_order_relaxed);
    inPtrs_.assign(audioIn_.size(), nullptr);
    outPtrs_.assign(audioOut_.size(), nullptr);
    silence_.resize(std::size_t(maxFrames_));
    std::fill(silence_.begin(), silence_.end(), 0.0f);
    sink_.resize(std::size_t(maxFrames_));
}

Lv2Plugin::~Lv2Plugin() = default;

void Lv2Plugin::connectPort(std::uint32_t port, void* data) noexcept {
    const auto p = static_cast<std::int64_t>(port);
    if (p < layout_.firstAudioInput()) {
        controls_[std::size_t(p)] = static_cast<const float*>(data);
    } else if (p < layout_.firstAudioOutput()) {
        audioIn_[std::size_t(p - layout_.firstAudioInput())] = static_cast<const float*>(data);
    } else if (p < layout_.latency()) {
        audioOut_[std::size_t(p - layout_.firstAudioOutput())] = static_cast<float*>(data);
    } else if (p == layout_.latency()) {
        latency_ = static_cast<float*>(data);
    } else if (p == layout_.transport()) {
        transportIn_ = static_cast<const LV2_Atom_Sequence*>(data);
    }
}

void Lv2Plugin::activate() noexcept {
    ScopedAudioFloatingPointState fp;
    // One empty block with the layout's channel count resets the client now, so the
    // audio thread never prepares (the only step that may allocate).
    facade_->resendSettings();
    facade_->beginRender();
    for (std::size_t c = 0; c < inPtrs_.size(); ++c) inPtrs_[c] = silence_.data();
    for (std::size_t c = 0; c < outPtrs_.size(); ++c) outPtrs_[c] = sink_.data();
    (void)facade_->process(inPtrs_, outPtrs_, 0, transport_.timeInfo());
    latencyFrames_ = float(facade_->client().latencySamples(facade_->settings().sampleRate));
    activated_ = true;
}

void Lv2Plugin::deactivate() noexcept { activated_ = false; }

bool Lv2Plugin::portChanged(int index, float value) const noexcept {
    // Bitwise: an unchanged port (NaN included) is not applied again.
    const float last = lastControl_[std::size_t(index)].load(std::memory_order_relaxed);
    return std::memcmp(&value, &last, sizeof value) != 0;
}

void Lv2Plugin::readControls() noexcept {
    if (adoptPorts_.load(std::memory_order_relaxed)) {
        // After a restore: whatever the ports hold now is the baseline. A host that
        // wrote the restored values into them changes nothing, and one that has not
        // yet does not overwrite the restored state with its old values.
        adoptPorts_.store(false, std::memory_order_relaxed);
        for (int i = 0; i < layout_.parameters; ++i)
            if (const float* port = controls_[std::size_t(i)])
                lastControl_[std::size_t(i)].store(*port, std::memory_order_relaxed);
        return;
    }
    for (int i = 0; i < layout_.parameters; ++i) {
        const float* port = controls_[std::size_t(i)];
        if (port == nullptr) continue;
        const float v = *port;
        if (!portChanged(i, v)) continue;
        lastControl_[std::size_t(i)].store(v, std::memory_order_relaxed);
        // A value the parameter already holds in float precision is not rewritten, so
        // a double default is not replaced by its float rounding. NaN is ignored.
        if (std::isnan(v) || float(facade_->plainValue(i)) == v) continue;
        facade_->storePlainFromAudioThread(i, double(v));
    }
}

void Lv2Plugin::silenceOutputs(std::uint32_t frames) noexcept {
    for (float* out : audioOut_)
        if (out != nullptr) std::memset(out, 0, std::size_t(frames) * sizeof(float));
}

void Lv2Plugin::processSpan(std::uint32_t offset, std::uint32_t frames) noexcept {
    // In pieces no longer than the prepared block; the channel pointers are rebuilt
    // for each piece (the facade's client advances its own copies).
    while (frames > 0) {
        const std::uint32_t n = std::min<std::uint32_t>(frames, std::uint32_t(maxFrames_));
        for (std::size_t c = 0; c < audioIn_.size(); ++c)
            inPtrs_[c] = audioIn_[c] != nullptr ? const_cast<float*>(audioIn_[c]) + offset : silence_.data();
        for (std::size_t c = 0; c < audioOut_.size(); ++c)
            outPtrs_[c] = audioOut_[c] != nullptr ? audioOut_[c] + offset : sink_.data();
        (void)facade_->process(inPtrs_, outPtrs_, int(n), transport_.timeInfo());
        transport_.advance(n);
        offset += n;
        frames -= n;
    }
}

void Lv2Plugin::run(std::uint32_t frames) noexcept {
    ScopedAudioFloatingPointState fp;
    if (latency_ != nullptr) *latency_ = 0.0f;
    if (!activated_) {
        silenceOutputs(frames);
        return;
    }
    if (latency_ != nullptr) *latency_ = latencyFrames_;
    // Settings change only in activate(), which takes them from the facade's queue
    // itself, so run() never looks at the queue (a semaphore).
    readControls();

    // Process up to each time:Position event, then apply it. Events are in time order;
    // one stamped outside the block applies at its edge.
    std::uint32_t done = 0;
    if (transportIn_ != nullptr) {
        // Read with memcpy: some hosts hand over sequences only 4-byte aligned, where
        // the 64-bit fields of LV2_Atom_Event may not be accessed in place. Nothing is
        // read past the size the sequence gives.
        const auto* base = reinterpret_cast<const std::uint8_t*>(transportIn_);
        LV2_Atom sequence;
        std::memcpy(&sequence, base, sizeof sequence);
        const std::size_t end = sizeof(LV2_Atom) + std::size_t(sequence.size);
        std::size_t at = sizeof(LV2_Atom_Sequence);
        while (at + sizeof(LV2_Atom_Event) <= end) {
            std::int64_t stamp = 0;
            LV2_Atom body;
            std::memcpy(&stamp, base + at, sizeof stamp);
            std::memcpy(&body, base + at + sizeof stamp, sizeof body);
            const std::size_t bodyBytes = sizeof(LV2_Atom) + std::size_t(body.size);
            if (at + sizeof stamp + bodyBytes > end) break;
            const auto t = static_cast<std::uint32_t>(std::clamp<std::int64_t>(stamp, done, frames));
            if (t > done) {
                processSpan(done, t - done);
                done = t;
            }
            // An aligned copy for the transport; larger events are not time:Position.
            if (bodyBytes <= kLargestEventBytes) {
                std::memcpy(eventCopy_, base + at + sizeof stamp, bodyBytes);
                std::memset(eventCopy_ + bodyBytes, 0, sizeof eventCopy_ - bodyBytes);
                (void)transport_.apply(reinterpret_cast<const LV2_Atom*>(eventCopy_));
            }
            at += sizeof stamp + ((bodyBytes + 7) & ~std::size_t(7));  // events are padded to 8 bytes
        }
    }
    processSpan(done, frames - done);
}

}  // namespace fw::lv2
