#pragma once
// Base64 (RFC 4648, standard alphabet, '=' padding) for property-list data.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cf {

std::string base64Encode(const std::uint8_t* bytes, std::size_t length);

// Strict decoding: white space is skipped; any other character outside the
// alphabet, a length that is not a multiple of four, or padding anywhere but
// at the end fails (nothing is appended then).
bool base64Decode(std::string_view text, std::vector<std::uint8_t>& out);

}  // namespace cf
