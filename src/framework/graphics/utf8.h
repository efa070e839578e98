#pragma once
// UTF-8 decoding for text drawing. Malformed input (stray continuation bytes,
// invalid lead bytes, overlong forms, surrogates, values above U+10FFFF,
// truncated sequences) decodes as U+FFFD, one replacement per maximal invalid
// subpart, so decoding always advances and never reads past `end`.

#include <cstdint>

namespace fw {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Any thread. Decodes the code point at `p` (which must be before `end`) and
// advances `p` past it.
char32_t decodeUtf8(const std::uint8_t*& p, const std::uint8_t* end) noexcept;

}  // namespace fw
