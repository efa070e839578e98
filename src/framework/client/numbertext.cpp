#include "framework/client/numbertext.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

namespace fw {

namespace {

constexpr std::size_t kBufferSize = kMaxNumberTextLength + 1;

// Exponent digits saturate here: any larger power of ten or two is already
// infinite (or zero) in double precision.
constexpr long kExponentLimit = 100000;

// The parse loops stop at the terminating zero, so they never leave the buffer.
bool copyToBuffer(std::string_view text, char (&buffer)[kBufferSize]) noexcept {
    if (text.size() > kMaxNumberTextLength) return false;
    if (!text.empty()) std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    return true;
}

bool isSkippedSpace(char c) noexcept {
    // Vertical tab is deliberately not skipped.
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

const char* skipSpaceAndSign(const char* p, bool& negative) noexcept {
    while (isSkippedSpace(*p)) ++p;
    negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    return p;
}

bool hasHexPrefix(const char* p) noexcept {
    // p[1] exists: p[0] is '0', so the terminator comes at p[1] at the earliest.
    return p[0] == '0' && (p[1] == 'x' || p[1] == 'X');
}

int digitValue(char c, int base) noexcept {
    int d = -1;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    return d < base ? d : -1;
}

// base^exponent by repeated squaring.
double powerBySquaring(double base, long exponent) noexcept {
    double result = 1.0;
    while (exponent > 0) {
        if (exponent & 1) result *= base;
        base *= base;
        exponent >>= 1;
    }
    return result;
}

// An optional signed decimal exponent after the marker at *p; without digits the
// marker is not part of the number and the exponent is 0.
long readExponent(const char*& p) noexcept {
    const char* q = p + 1;
    bool negative = false;
    if (*q == '+' || *q == '-') {
        negative = *q == '-';
        ++q;
    }
    if (digitValue(*q, 10) < 0) return 0;
    long e = 0;
    for (int d; (d = digitValue(*q, 10)) >= 0; ++q) e = std::min(e * 10 + d, kExponentLimit);
    p = q;
    return negative ? -e : e;
}

}  // namespace

bool parseIntegerText(std::string_view text, int& out) noexcept {
    char buffer[kBufferSize];
    if (!copyToBuffer(text, buffer)) return false;

    bool negative;
    const char* p = skipSpaceAndSign(buffer, negative);
    int base = 10;
    if (hasHexPrefix(p)) {
        base = 16;
        p += 2;
    }
    // Saturating just past the int range keeps the accumulator from overflowing.
    constexpr std::int64_t kCap = std::int64_t(1) << 32;
    std::int64_t magnitude = 0;
    for (int d; (d = digitValue(*p, base)) >= 0; ++p) magnitude = std::min(magnitude * base + d, kCap);

    const std::int64_t v = negative ? -magnitude : magnitude;
    out = static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(),
                                                    std::numeric_limits<int>::max()));
    return true;
}

bool parseFloatText(std::string_view text, double& out) noexcept {
    char buffer[kBufferSize];
    if (!copyToBuffer(text, buffer)) return false;

    bool negative;
    const char* p = skipSpaceAndSign(buffer, negative);
    int base = 10;
    char exponentMarker = 'e';
    long digitWeight = 1;  // exponent steps per fraction digit: 1 decimal, 4 binary
    if (hasHexPrefix(p)) {
        base = 16;
        exponentMarker = 'p';
        digitWeight = 4;
        p += 2;
    }

    // All digits go into one mantissa; the fraction digits only move the exponent,
    // so "0.5" is computed as 5 / 10 rather than accumulated from rounded tenths.
    double mantissa = 0.0;
    long exponent = 0;
    bool anyDigit = false;
    for (int d; (d = digitValue(*p, base)) >= 0; ++p) {
        mantissa = mantissa * base + d;
        anyDigit = true;
    }
    if (*p == '.') {
        ++p;
        for (int d; (d = digitValue(*p, base)) >= 0; ++p) {
            mantissa = mantissa * base + d;
            exponent -= digitWeight;
            anyDigit = true;
        }
    }
    if (!anyDigit) {
        out = negative ? -0.0 : 0.0;
        return true;
    }
    if (*p == exponentMarker || *p == exponentMarker - 'a' + 'A') exponent += readExponent(p);

    const double powerBase = base == 16 ? 2.0 : 10.0;
    // Zero stays zero whatever its exponent (0 x an overflowed power would be NaN).
    double value = mantissa == 0.0    ? 0.0
                   : exponent >= 0 ? mantissa * powerBySquaring(powerBase, exponent)
                                   : mantissa / powerBySquaring(powerBase, -exponent);
    out = negative ? -value : value;
    return true;
}

}  // namespace fw
