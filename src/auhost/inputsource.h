#pragma once
// Where a hosted unit's input comes from: the host's render callback asks an
// InputSource for each block the unit pulls.

#include <AudioToolbox/AudioToolbox.h>

#include <vector>

namespace auhost {

class InputSource {
public:
    virtual ~InputSource() = default;
    // Audio thread; never blocks, never allocates. Fills every buffer of
    // `buffers` (one channel each) with `frames` samples.
    virtual OSStatus fill(const AudioTimeStamp& time, UInt32 frames, AudioBufferList& buffers) noexcept = 0;
};

// Plays planar float channels from the start, then silence. Channel c of the
// unit's input reads channel min(c, count - 1) of the data.
class PlanarInput final : public InputSource {
public:
    explicit PlanarInput(std::vector<std::vector<float>> channels) : channels_(std::move(channels)) {}
    OSStatus fill(const AudioTimeStamp& time, UInt32 frames, AudioBufferList& buffers) noexcept override;
    void rewind() noexcept { position_ = 0; }

private:
    std::vector<std::vector<float>> channels_;
    std::size_t position_ = 0;
};

}  // namespace auhost
