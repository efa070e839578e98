#pragma once
// Floating-point state for audio and editor entry points.
//
// Every entry from a host or the window system sets flush-to-zero and
// denormals-are-zero with all exceptions masked and round-to-nearest (MXCSR
// 0x9FFF) and the x87 control word 0x37F (all exceptions masked, 64-bit
// precision, round-to-nearest), and restores the caller's state on return.

#include <cstdint>

namespace fw {

inline constexpr std::uint32_t kAudioMXCSR = 0x9FFF;
inline constexpr std::uint16_t kAudioFPUControlWord = 0x37F;

// Any thread. The x87 control word.
std::uint16_t getFPUControlState() noexcept;
// Any thread. Clears pending x87 exceptions, then loads the control word.
void setFPUControlState(std::uint16_t controlWord) noexcept;

// Any thread. The SSE control and status register.
std::uint32_t getSSEControlState() noexcept;
void setSSEControlState(std::uint32_t mxcsr) noexcept;

// Saves both control registers, sets the audio state, restores both on destruction.
class ScopedAudioFloatingPointState {
public:
    ScopedAudioFloatingPointState() noexcept;
    ~ScopedAudioFloatingPointState();
    ScopedAudioFloatingPointState(const ScopedAudioFloatingPointState&) = delete;
    ScopedAudioFloatingPointState& operator=(const ScopedAudioFloatingPointState&) = delete;

private:
    std::uint32_t savedMXCSR_;
    std::uint16_t savedControlWord_;
};

}  // namespace fw
