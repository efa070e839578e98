#pragma once
// AtomicColor: an RGBA value shared between the UI thread and a paint thread.

#include <atomic>
#include <bit>
#include <cstdint>

#include "framework/graphics/color.h"

namespace tlmgui {

// A colour that a paint thread reads while the UI thread may write it, kept as
// one 32-bit word: an atomic of the 4-byte struct itself is not lock-free with
// every compiler. Relaxed: a colour is self-contained.
class AtomicColor {
public:
    // Any thread.
    constexpr explicit AtomicColor(fw::RGBA c) noexcept : bits_(std::bit_cast<std::uint32_t>(c)) {}
    fw::RGBA load() const noexcept { return std::bit_cast<fw::RGBA>(bits_.load(std::memory_order_relaxed)); }
    void store(fw::RGBA c) noexcept { bits_.store(std::bit_cast<std::uint32_t>(c), std::memory_order_relaxed); }

private:
    std::atomic<std::uint32_t> bits_;
};

}  // namespace tlmgui
