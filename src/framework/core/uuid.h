#pragma once
// Random version-4 UUIDs, used to give run-time registered classes unique names.

#include <cstddef>
#include <cstdint>

namespace fw {

struct UUID {
    std::uint8_t bytes[16];
};

// Any thread. Four successive outputs of a process-wide 32-bit xorshift generator
// (shifts 13, 17, 15), seeded once from the processor's time-stamp counter, with
// the version nibble set to 4 and the variant bits to 10.
UUID generateRandomUUID() noexcept;

// Writes the 36-character lower-case form ("xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx").
void uuidToString(const UUID& uuid, char out[36]) noexcept;

// Any thread. Writes prefix, a fresh UUID's text and a zero byte into buffer.
// Returns false, writing an empty string when size > 0, if it does not fit.
[[nodiscard]] bool generateNullTerminatedRandomUUID(const char* prefix, char* buffer, std::size_t size) noexcept;

}  // namespace fw
