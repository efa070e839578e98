#include "framework/core/uuid.h"

#include <x86intrin.h>

#include <atomic>
#include <cstring>

namespace fw {

namespace {

std::uint32_t xorshift32(std::uint32_t x) noexcept {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 15;
    return x;
}

std::atomic<std::uint32_t> generatorState{0};

// One step of the process-wide generator; lock-free so any thread may call it.
std::uint32_t nextRandom() noexcept {
    std::uint32_t state = generatorState.load(std::memory_order_relaxed);
    for (;;) {
        std::uint32_t current = state;
        if (current == 0) {
            // First use: seed from the time-stamp counter. Zero is xorshift's fixed
            // point, so a zero seed is replaced by a constant.
            current = static_cast<std::uint32_t>(__rdtsc());
            if (current == 0) current = 0x9E3779B9u;
        }
        const std::uint32_t next = xorshift32(current);
        if (generatorState.compare_exchange_weak(state, next, std::memory_order_relaxed))
            return next;
    }
}

}  // namespace

UUID generateRandomUUID() noexcept {
    UUID u;
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t r = nextRandom();
        std::memcpy(u.bytes + 4 * i, &r, 4);
    }
    u.bytes[6] = std::uint8_t((u.bytes[6] & 0x0F) | 0x40);  // version 4
    u.bytes[8] = std::uint8_t((u.bytes[8] & 0x3F) | 0x80);  // variant 10
    return u;
}

void uuidToString(const UUID& uuid, char out[36]) noexcept {
    static const char hex[] = "0123456789abcdef";
    int pos = 0;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out[pos++] = '-';
        out[pos++] = hex[uuid.bytes[i] >> 4];
        out[pos++] = hex[uuid.bytes[i] & 15];
    }
}

bool generateNullTerminatedRandomUUID(const char* prefix, char* buffer, std::size_t size) noexcept {
    if (buffer == nullptr) return false;
    const std::size_t prefixLength = prefix ? std::strlen(prefix) : 0;
    if (size < prefixLength + 36 + 1) {
        if (size > 0) buffer[0] = '\0';
        return false;
    }
    if (prefixLength) std::memcpy(buffer, prefix, prefixLength);
    uuidToString(generateRandomUUID(), buffer + prefixLength);
    buffer[prefixLength + 36] = '\0';
    return true;
}

}  // namespace fw
