#include "framework/core/fatal.h"

#include <cstdio>
#include <cstdlib>

namespace fw {

void fatalError(const char* message) noexcept {
    std::fprintf(stderr, "Kestrin 3: fatal error: %s\n", message ? message : "(no message)");
    std::fflush(stderr);
    std::abort();
}

void fatalOutOfMemory() noexcept { fatalError("out of memory"); }

void* checkedMalloc(std::size_t size) noexcept {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) fatalOutOfMemory();
    return p;
}

void* checkedRealloc(void* block, std::size_t size) noexcept {
    void* p = std::realloc(block, size == 0 ? 1 : size);
    if (p == nullptr) fatalOutOfMemory();
    return p;
}

}  // namespace fw
