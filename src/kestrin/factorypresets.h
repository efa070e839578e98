#pragma once
// The factory presets, embedded as an FXB bank ("Default", "Lead Guitar Magic",
// "Chaotic Bliss"; 16 parameters each).

#include <cstdint>
#include <span>

namespace kestrin {

inline constexpr std::size_t kFactoryBankSize = 516;

// Any thread. The 516 bytes of the bank.
std::span<const std::uint8_t> factoryPresetBank() noexcept;

}  // namespace kestrin
