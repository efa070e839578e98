#include "framework/core/fpcontrol.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

namespace {

// Keeps the compiler from folding the arithmetic at compile time.
float opaque(float x) {
    volatile float v = x;
    return v;
}

TEST(FloatingPointState, ScopedStateSetsAudioRegistersAndRestoresTheCallers) {
    const std::uint32_t mxcsrBefore = fw::getSSEControlState();
    const std::uint16_t cwBefore = fw::getFPUControlState();
    // Start from a state different from the audio one so that restoring is visible.
    fw::setSSEControlState((mxcsrBefore & ~0x8040u) | 0x6000u);  // round toward zero, no FTZ/DAZ
    fw::setFPUControlState(0x27F);                               // 53-bit precision
    {
        fw::ScopedAudioFloatingPointState audio;
        EXPECT_EQ(fw::getSSEControlState() & 0xFFC0u, 0x9FC0u);  // control bits; low 6 are flags
        EXPECT_EQ(fw::getFPUControlState(), 0x37F);
    }
    EXPECT_EQ(fw::getSSEControlState() & 0xFFC0u, ((mxcsrBefore & ~0x8040u) | 0x6000u) & 0xFFC0u);
    EXPECT_EQ(fw::getFPUControlState(), 0x27F);
    fw::setSSEControlState(mxcsrBefore);
    fw::setFPUControlState(cwBefore);
}

TEST(FloatingPointState, AudioStateFlushesSubnormalsToZero) {
    const float tiny = opaque(FLT_MIN);
    EXPECT_NE(opaque(tiny * 0.5f), 0.0f);  // default state: a subnormal result
    fw::ScopedAudioFloatingPointState audio;
    EXPECT_EQ(opaque(tiny * 0.5f), 0.0f);           // flush-to-zero
    EXPECT_EQ(opaque(opaque(tiny * 0.5f) * 1e30f), 0.0f);
    const float subnormal = std::nextafter(0.0f, 1.0f);
    EXPECT_EQ(opaque(subnormal) * 2.0f, 0.0f);      // denormals-are-zero on input
}

}  // namespace
