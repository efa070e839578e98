// Parameters set to arbitrary float bit patterns through the plug-in binary, with
// input samples of any bit pattern too: every render succeeds and its output is
// finite. The input is a sample rate choice, an upsampling choice, then groups of
// 16 parameter values, each followed by a render.

#include <cstdint>
#include <vector>

#include "auhost/inputsource.h"
#include "fuzzsupport.h"
#include "kestrin/kestrin.h"

namespace {

// Plays the fuzz input's own samples, repeated.
class BitsInput final : public auhost::InputSource {
public:
    explicit BitsInput(std::vector<float> samples) : samples_(std::move(samples)) {}
    OSStatus fill(const AudioTimeStamp&, UInt32 frames, AudioBufferList& buffers) noexcept override {
        for (UInt32 b = 0; b < buffers.mNumberBuffers; ++b) {
            auto* out = static_cast<float*>(buffers.mBuffers[b].mData);
            for (UInt32 i = 0; i < frames; ++i)
                out[i] = samples_.empty() ? 0.0f : samples_[(at_ + i + b) % samples_.size()];
        }
        at_ += frames;
        return noErr;
    }

private:
    std::vector<float> samples_;
    std::size_t at_ = 0;
};

constexpr Float64 kRates[] = {8000, 44100, 48000, 96000, 192000, 384000};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kfuzz::Input in(data, size);
    const Float64 rate = kRates[in.byte() % (sizeof kRates / sizeof kRates[0])];
    const float upsample = float(in.byte() % 4);
    std::vector<float> samples;
    for (int i = in.byte() % 16; i > 0; --i) samples.push_back(in.f32());
    BitsInput source(std::move(samples));

    auto unit = kfuzz::newKestrinUnit();
    if (!unit->setStreamFormat(kAudioUnitScope_Input, 0, rate, 2) ||
        !unit->setStreamFormat(kAudioUnitScope_Output, 0, rate, 2) || !unit->setMaximumFramesPerSlice(512) ||
        !unit->setInput(&source) || !unit->setTransport({}) || !unit->initialize())
        kfuzz::trap("a fresh unit does not initialize");
    std::vector<AudioUnitParameterID> ids;
    if (!unit->parameterIds(ids)) kfuzz::trap("no parameter list");
    (void)unit->setParameter(kestrin::kUpsampleAmountParameter, upsample);
    bool finite = true;
    do {
        for (AudioUnitParameterID id : ids) {
            if (in.empty()) break;
            // A set may be refused (-10867 and the like); it must never break the render.
            (void)unit->setParameter(id, in.f32());
        }
        if (!kfuzz::renderBlocks(*unit, 2, 160 + (in.byte() % 4) * 96, &finite)) kfuzz::trap("a render failed");
        if (!finite) kfuzz::trap("a render gave a NaN or an infinite sample");
    } while (!in.empty());
    return 0;
}
