// Rendering: the input pull, the output buffers, transport and MIDI output; the
// facade takes the newest settings, resets the client when they really changed,
// bypasses and processes.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "framework/au/auclient.h"

namespace fw {

namespace {

// CoreMIDI's packet list, one packet (declared by CoreMIDI under 4-byte packing).
#pragma pack(push, 4)
struct MidiPacket {
    UInt64 timeStamp;
    UInt16 length;
    Byte data[256];
};
struct MidiPacketList {
    UInt32 numPackets;
    MidiPacket packet[1];
};
#pragma pack(pop)

// An input pull's buffer list: one single-channel buffer per channel of a bus.
struct BusBufferList {
    UInt32 mNumberBuffers;
    AudioBuffer mBuffers[2];
};
static_assert(offsetof(BusBufferList, mBuffers) == offsetof(AudioBufferList, mBuffers));

}  // namespace

OSStatus AUClient::render(AudioUnitRenderActionFlags* ioActionFlags, const AudioTimeStamp* timeStamp, UInt32 bus,
                          UInt32 frames, AudioBufferList* ioData) noexcept {
    if (bus >= outputBuses_.size()) return kAudioUnitErr_InvalidElement;
    if (timeStamp == nullptr || (timeStamp->mFlags & kAudioTimeStampSampleTimeValid) == 0)
        return kAudioUnitErr_InvalidPropertyValue;
    if (ioData == nullptr) return kAudio_ParamError;
    // Before anything render changes: the outer render is still reading its scratch.
    if (pulling_.load(std::memory_order_relaxed)) return renderSilence(frames, *ioData);

    const HostSettings& settings = facade_->beginRender();
    if (frames > UInt32(settings.maxFrames)) return kAudioUnitErr_TooManyFramesToProcess;
    if (settings.maxFrames != scratchFrames_) resizeScratch(settings.maxFrames);

    const AudioUnitRenderActionFlags hostFlags = ioActionFlags != nullptr ? *ioActionFlags : 0;
    callRenderNotifications(hostFlags | kAudioUnitRenderAction_PreRender, timeStamp, bus, frames, ioData);

    bool last = false;
    {
        // Render never waits: while a host thread is changing connections or
        // callbacks (a few instructions under this lock), this block is silence.
        std::unique_lock<UncheckedMutex> lock(mutex_, std::try_to_lock);
        if (!lock.owns_lock()) return renderSilence(frames, *ioData);
        // Several output buses of one time stamp pull the input once.
        if (!(timeStamp->mSampleTime == lastPulledSampleTime_) || frames > lastPulledFrames_) {
            pulling_.store(true, std::memory_order_relaxed);
            const OSStatus status = pullInputs(*timeStamp, frames);
            pulling_.store(false, std::memory_order_relaxed);
            if (status != noErr) return status;
        }
        const OSStatus status = takeOutputs(bus, frames, *ioData);
        if (status != noErr) return status;
        last = int(bus) == lastActiveOutputBus();
        rtHostCallbacks_ = hostCallbacks_;
        rtMidiOutput_ = midiOutput_;
    }

    if (last) processBlock(frames);

    callRenderNotifications(hostFlags | kAudioUnitRenderAction_PostRender, timeStamp, bus, frames, ioData);
    return noErr;
}

OSStatus AUClient::renderSilence(UInt32 frames, AudioBufferList& ioData) noexcept {
    // Silence, nothing pulled, nothing processed: for a render re-entered from its own
    // input pull (so a cycle of connections ends here instead of recursing) and for
    // one that meets a host thread inside the connection lock.
    if (frames > UInt32(scratchFrames_)) return kAudioUnitErr_TooManyFramesToProcess;
    const UInt32 bytes = frames * UInt32(sizeof(float));
    float* silence = scratch_.data() + (inputPtrs_.size() + outputPtrs_.size()) * std::size_t(scratchFrames_);
    std::memset(silence, 0, bytes);  // the last caller may have written into it
    for (UInt32 c = 0; c < ioData.mNumberBuffers; ++c) {
        AudioBuffer& buffer = ioData.mBuffers[c];
        if (buffer.mData == nullptr) {
            buffer.mData = silence;
            buffer.mDataByteSize = bytes;
        } else {
            std::memset(buffer.mData, 0, std::min(bytes, buffer.mDataByteSize));
        }
    }
    return noErr;
}

void AUClient::resizeScratch(int maxFrames) {
    // Preparation: this allocation happens only when the host changes the maximum.
    // One channel more than the unit has: the silence a re-entered render hands out.
    const std::size_t channels = inputPtrs_.size() + outputPtrs_.size() + 1;
    scratch_.resize(channels * std::size_t(maxFrames));
    scratchFrames_ = maxFrames;
    // Pointers into the old buffers are gone; the next render pulls its input anew.
    std::fill(inputPtrs_.begin(), inputPtrs_.end(), nullptr);
    std::fill(outputPtrs_.begin(), outputPtrs_.end(), nullptr);
    lastPulledSampleTime_ = std::nan("");
}

OSStatus AUClient::pullInputs(const AudioTimeStamp& timeStamp, UInt32 frames) noexcept {
    const UInt32 bytes = frames * UInt32(sizeof(float));
    for (std::size_t b = 0; b < inputBuses_.size(); ++b) {
        const au::AUBus& bus = inputBuses_[b];
        const int channels = bus.connected ? bus.renderChannels() : 0;
        for (int c = 0; c < bus.pluginChannels; ++c) inputPtrs_[std::size_t(bus.firstChannel + c)] = nullptr;
        if (channels == 0) continue;

        BusBufferList list{};
        list.mNumberBuffers = UInt32(channels);
        for (int c = 0; c < channels; ++c) {
            list.mBuffers[c].mNumberChannels = 1;
            list.mBuffers[c].mDataByteSize = bytes;
            list.mBuffers[c].mData = scratch_.data() + std::size_t(bus.firstChannel + c) * std::size_t(scratchFrames_);
        }
        auto* abl = reinterpret_cast<AudioBufferList*>(&list);
        AudioUnitRenderActionFlags flags = 0;
        OSStatus status;
        if (bus.sourceUnit != nullptr) {
            status = bus.sourceFastRender != nullptr
                         ? bus.sourceFastRender(bus.sourceStorage, &flags, &timeStamp, bus.sourceOutput, frames, abl)
                         : at_.AudioUnitRender(bus.sourceUnit, &flags, &timeStamp, bus.sourceOutput, frames, abl);
        } else {
            status = bus.callback(bus.callbackRef, &flags, &timeStamp, UInt32(b), frames, abl);
        }
        if (status != noErr) return status;

        for (int c = 0; c < channels; ++c) {
            float* scratch = scratch_.data() + std::size_t(bus.firstChannel + c) * std::size_t(scratchFrames_);
            // The upstream may hand back buffers of its own; one that is missing or too
            // short is not read: the channel is silent instead.
            const bool usable = UInt32(c) < list.mNumberBuffers && list.mBuffers[c].mData != nullptr &&
                                list.mBuffers[c].mDataByteSize >= bytes;
            float* data = usable ? static_cast<float*>(list.mBuffers[c].mData) : scratch;
            if (!usable) std::memset(scratch, 0, bytes);
            inputPtrs_[std::size_t(bus.firstChannel + c)] = data;
        }
    }
    lastPulledSampleTime_ = timeStamp.mSampleTime;
    lastPulledFrames_ = frames;
    return noErr;
}

OSStatus AUClient::takeOutputs(UInt32 busIndex, UInt32 frames, AudioBufferList& ioData) noexcept {
    au::AUBus& bus = outputBuses_[busIndex];
    const UInt32 bytes = frames * UInt32(sizeof(float));
    // Refuse a list whose buffers are too short to hold the block before touching anything.
    for (UInt32 c = 0; c < ioData.mNumberBuffers && c < UInt32(bus.pluginChannels); ++c)
        if (ioData.mBuffers[c].mData != nullptr && ioData.mBuffers[c].mDataByteSize < bytes) return kAudio_ParamError;

    const int channels = std::min<int>(bus.pluginChannels, int(ioData.mNumberBuffers));
    bus.active = true;
    bus.activeChannels = channels;
    for (int c = 0; c < bus.pluginChannels; ++c) {
        float*& ptr = outputPtrs_[std::size_t(bus.firstChannel + c)];
        if (c >= channels) {
            ptr = nullptr;
            continue;
        }
        AudioBuffer& buffer = ioData.mBuffers[c];
        if (buffer.mData == nullptr) {
            // The host asked for the unit's own buffer.
            buffer.mData = scratch_.data() + (inputPtrs_.size() + std::size_t(bus.firstChannel + c)) *
                                                 std::size_t(scratchFrames_);
            buffer.mDataByteSize = bytes;
        }
        ptr = static_cast<float*>(buffer.mData);
    }
    return noErr;
}

int AUClient::lastActiveOutputBus() const noexcept {
    for (int b = int(outputBuses_.size()) - 1; b >= 0; --b)
        if (outputBuses_[std::size_t(b)].active) return b;
    return -1;
}

void AUClient::processBlock(UInt32 frames) noexcept {
    // Channels the host did not supply have no pointer; the facade leaves them out.
    // Bypassed, the host's transport is not asked.
    const TimeInfo info = facade_->renderSettings().bypass ? TimeInfo{} : timeInfoFromHost();
    (void)facade_->process(inputPtrs_, outputPtrs_, int(frames), info);

    if (facade_->pluginInfo().sendsMIDI && rtMidiOutput_.midiOutputCallback != nullptr) {
        AudioTimeStamp stamp{};
        MidiPacketList list{};
        list.numPackets = 1;
        for (const MidiMessage& m : facade_->midiOutput()) {
            list.packet[0].timeStamp = UInt64(std::max(m.offset, 0));  // frames into this block
            list.packet[0].length = m.length;
            std::memcpy(list.packet[0].data, m.bytes, std::min<std::size_t>(m.length, sizeof m.bytes));
            rtMidiOutput_.midiOutputCallback(rtMidiOutput_.userData, &stamp, 0,
                                             reinterpret_cast<const struct MIDIPacketList*>(&list));
        }
    }
}

TimeInfo AUClient::timeInfoFromHost() const noexcept {
    TimeInfo info;
    info.tempo = 120.0;
    info.timeInSamples = 0;
    info.hostIsPlaying = false;
    const HostCallbackInfo& host = rtHostCallbacks_;
    Boolean playing = false, changed = false, cycling = false, recording = false;
    Float64 sample = 0, cycleStart = 0, cycleEnd = 0;
    OSStatus status = -1;
    if (host.transportStateProc != nullptr)
        status = host.transportStateProc(host.hostUserData, &playing, &changed, &sample, &cycling, &cycleStart,
                                         &cycleEnd);
    else if (host.transportStateProc2 != nullptr)
        status = host.transportStateProc2(host.hostUserData, &playing, &recording, &changed, &sample, &cycling,
                                          &cycleStart, &cycleEnd);
    if (status == noErr) {
        info.hostIsPlaying = playing != 0;
        // Rounded to the nearest frame; a position no 64-bit count can hold is 0.
        const double position = sample + 0.5;
        if (std::isfinite(position) && std::fabs(position) < 9.0e18) info.timeInSamples = std::int64_t(position);
    }
    if (host.beatAndTempoProc != nullptr) {
        Float64 beat = 0, tempo = 0;
        if (host.beatAndTempoProc(host.hostUserData, &beat, &tempo) == noErr && std::isfinite(tempo) && tempo > 0)
            info.tempo = tempo;
    }
    return info;
}

void AUClient::callRenderNotifications(AudioUnitRenderActionFlags flags, const AudioTimeStamp* timeStamp,
                                       UInt32 bus, UInt32 frames, AudioBufferList* ioData) noexcept {
    // Never waits: a host adding or removing a notification at this moment makes
    // this one call go unnotified.
    std::unique_lock<UncheckedMutex> lock(notifyMutex_, std::try_to_lock);
    if (!lock.owns_lock()) return;
    for (const RenderNotify& n : renderNotifications_) {
        AudioUnitRenderActionFlags f = flags;
        n.proc(n.userData, &f, timeStamp, bus, frames, ioData);
    }
}

}  // namespace fw
