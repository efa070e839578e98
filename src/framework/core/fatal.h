#pragma once
// Fatal stops: out of memory, broken embedded assets, impossible programming states.
// The plug-in has no log; a fatal stop writes one line to standard error and aborts.

#include <cstddef>

namespace fw {

// Any thread. Writes "Kestrin 3: fatal error: <message>" and aborts the process.
[[noreturn]] void fatalError(const char* message) noexcept;

// Any thread. The process-wide out-of-memory path: every allocation failure ends here.
[[noreturn]] void fatalOutOfMemory() noexcept;

// Any thread; not for the audio path. malloc/realloc that never return null.
void* checkedMalloc(std::size_t size) noexcept;
void* checkedRealloc(void* block, std::size_t size) noexcept;

}  // namespace fw
