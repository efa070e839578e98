#include "framework/graphics/utf8.h"

namespace fw {

char32_t decodeUtf8(const std::uint8_t*& p, const std::uint8_t* end) noexcept {
    const std::uint8_t lead = *p++;
    if (lead < 0x80) return lead;

    int needed;
    char32_t cp;
    // The accepted range of the second byte rules out overlong forms, surrogates
    // and values above U+10FFFF.
    std::uint8_t lower = 0x80, upper = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        needed = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        needed = 2;
        cp = lead & 0x0F;
        if (lead == 0xE0) lower = 0xA0;
        if (lead == 0xED) upper = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        needed = 3;
        cp = lead & 0x07;
        if (lead == 0xF0) lower = 0x90;
        if (lead == 0xF4) upper = 0x8F;
    } else {
        return kReplacementCharacter;  // continuation byte or invalid lead
    }
    for (int i = 0; i < needed; ++i) {
        // A missing or out-of-range byte ends the sequence; it is not consumed,
        // so that it can start the next one.
        if (p == end || *p < lower || *p > upper) return kReplacementCharacter;
        cp = (cp << 6) | (*p++ & 0x3F);
        lower = 0x80;
        upper = 0xBF;
    }
    return cp;
}

}  // namespace fw
