#pragma once
// Pixel formats. Colours are straight (not premultiplied) unless a routine says
// otherwise. Each struct is exactly its pixel's bytes, components in memory order.

#include <cstdint>

namespace fw {

// 4 bytes: R, G, B, A, each 0..255. Raw layer, diffuse and material maps, all art.
struct RGBA {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 0;
    friend constexpr bool operator==(const RGBA&, const RGBA&) noexcept = default;
};

// 1 byte of coverage: glyph bitmaps.
struct L8 {
    std::uint8_t l = 0;
    friend constexpr bool operator==(const L8&, const L8&) noexcept = default;
};

// One 16-bit unsigned value: the depth map.
struct L16 {
    std::uint16_t l = 0;
    friend constexpr bool operator==(const L16&, const L16&) noexcept = default;
};

// Formats available to lighting code.
struct RGBA16 {
    std::uint16_t r = 0, g = 0, b = 0, a = 0;
    friend constexpr bool operator==(const RGBA16&, const RGBA16&) noexcept = default;
};
struct RGBf {
    float r = 0, g = 0, b = 0;
    friend constexpr bool operator==(const RGBf&, const RGBf&) noexcept = default;
};
struct RGBAf {
    float r = 0, g = 0, b = 0, a = 0;
    friend constexpr bool operator==(const RGBAf&, const RGBAf&) noexcept = default;
};
struct L32f {
    float l = 0;
    friend constexpr bool operator==(const L32f&, const L32f&) noexcept = default;
};

static_assert(sizeof(RGBA) == 4 && sizeof(L8) == 1 && sizeof(L16) == 2 && sizeof(RGBA16) == 8 &&
              sizeof(RGBf) == 12 && sizeof(RGBAf) == 16 && sizeof(L32f) == 4);

}  // namespace fw
