#pragma once
// The parameters' own number parsers for display text. They never depend on the
// C locale, never read or write past a fixed 128-byte stack buffer, and accept
// any text of at most 127 bytes: leading tab, line feed, form feed, carriage
// return and space are skipped, a sign is optional, reading stops at the first
// character that does not fit and a text with no number reads as 0.

#include <cstddef>
#include <string_view>

namespace fw {

inline constexpr std::size_t kMaxNumberTextLength = 127;

// Any thread; no allocation. Decimal digits, or "0x"/"0X" and hexadecimal digits
// (a leading 0 does not mean octal); the result saturates to the int range.
// False, leaving `out` untouched, for texts longer than kMaxNumberTextLength.
[[nodiscard]] bool parseIntegerText(std::string_view text, int& out) noexcept;

// Any thread; no allocation. Decimal digits with an optional '.' fraction and an
// optional 'e'/'E' exponent, or "0x"/"0X" hexadecimal digits with an optional '.'
// fraction and an optional 'p'/'P' binary exponent; exponents take a sign.
// Computed in double precision. False, leaving `out` untouched, for texts longer
// than kMaxNumberTextLength.
[[nodiscard]] bool parseFloatText(std::string_view text, double& out) noexcept;

}  // namespace fw
