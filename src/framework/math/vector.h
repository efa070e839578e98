#pragma once
// Small fixed-size vectors for editor geometry: points, sizes, directions.
// (Named VecN so as not to be confused with fw::Vec, the growable array.)

#include <cmath>

namespace fw {

template <typename T>
struct Vec2 {
    T x{};
    T y{};

    constexpr Vec2 operator+(const Vec2& o) const noexcept { return {x + o.x, y + o.y}; }
    constexpr Vec2 operator-(const Vec2& o) const noexcept { return {x - o.x, y - o.y}; }
    constexpr Vec2 operator*(T s) const noexcept { return {x * s, y * s}; }
    constexpr Vec2& operator+=(const Vec2& o) noexcept { x += o.x; y += o.y; return *this; }
    constexpr Vec2& operator-=(const Vec2& o) noexcept { x -= o.x; y -= o.y; return *this; }
    constexpr T dot(const Vec2& o) const noexcept { return x * o.x + y * o.y; }
    constexpr T squaredLength() const noexcept { return x * x + y * y; }
    friend constexpr bool operator==(const Vec2&, const Vec2&) noexcept = default;
};

template <typename T>
struct Vec3 {
    T x{};
    T y{};
    T z{};

    constexpr Vec3 operator+(const Vec3& o) const noexcept { return {x + o.x, y + o.y, z + o.z}; }
    constexpr Vec3 operator-(const Vec3& o) const noexcept { return {x - o.x, y - o.y, z - o.z}; }
    constexpr Vec3 operator*(T s) const noexcept { return {x * s, y * s, z * s}; }
    constexpr T dot(const Vec3& o) const noexcept { return x * o.x + y * o.y + z * o.z; }
    friend constexpr bool operator==(const Vec3&, const Vec3&) noexcept = default;
};

template <typename T>
struct Vec4 {
    T x{};
    T y{};
    T z{};
    T w{};

    constexpr Vec4 operator+(const Vec4& o) const noexcept { return {x + o.x, y + o.y, z + o.z, w + o.w}; }
    constexpr Vec4 operator-(const Vec4& o) const noexcept { return {x - o.x, y - o.y, z - o.z, w - o.w}; }
    constexpr Vec4 operator*(T s) const noexcept { return {x * s, y * s, z * s, w * s}; }
    friend constexpr bool operator==(const Vec4&, const Vec4&) noexcept = default;
};

using Vec2i = Vec2<int>;
using Vec2f = Vec2<float>;
using Vec3f = Vec3<float>;
using Vec4f = Vec4<float>;

inline float length(Vec2f v) noexcept { return std::sqrt(v.squaredLength()); }

}  // namespace fw
