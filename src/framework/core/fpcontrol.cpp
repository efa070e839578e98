#include "framework/core/fpcontrol.h"

#include <xmmintrin.h>

namespace fw {

std::uint16_t getFPUControlState() noexcept {
    std::uint16_t word = 0;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}

void setFPUControlState(std::uint16_t controlWord) noexcept {
    asm volatile("fnclex\n\tfldcw %0" : : "m"(controlWord));
}

std::uint32_t getSSEControlState() noexcept { return _mm_getcsr(); }

void setSSEControlState(std::uint32_t mxcsr) noexcept { _mm_setcsr(mxcsr); }

ScopedAudioFloatingPointState::ScopedAudioFloatingPointState() noexcept
    : savedMXCSR_(getSSEControlState()), savedControlWord_(getFPUControlState()) {
    setSSEControlState(kAudioMXCSR);
    setFPUControlState(kAudioFPUControlWord);
}

ScopedAudioFloatingPointState::~ScopedAudioFloatingPointState() {
    setSSEControlState(savedMXCSR_);
    setFPUControlState(savedControlWord_);
}

}  // namespace fw
