#include "sysframeworks/common/diagnostics.h"

#include <cstdio>
#include <cstdlib>

namespace sysfw {

void reportMisuse(const char* api, const char* problem) noexcept {
    std::fprintf(stderr, "%s: %s\n", api ? api : "?", problem ? problem : "?");
    std::fflush(stderr);
}

void fatalMisuse(const char* api, const char* problem) noexcept {
    reportMisuse(api, problem);
    std::abort();
}

}  // namespace sysfw
