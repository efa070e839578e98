#pragma once
// Messages for misuse of a framework API, and the guard that keeps C++
// exceptions from crossing the C boundary.
//
// Apple's frameworks crash on many kinds of misuse; these substitutes refuse
// the call instead and say why on standard error, except where macOS documents
// a crash (CFRelease(NULL), ...), where they stop with a clear message.

#include <exception>

namespace sysfw {

// Any thread. Writes "<api>: <problem>" to standard error.
void reportMisuse(const char* api, const char* problem) noexcept;

// Any thread. Writes "<api>: <problem>" to standard error and aborts.
[[noreturn]] void fatalMisuse(const char* api, const char* problem) noexcept;

// Runs `body`; an exception (out of memory, a length error) becomes `failure`.
template <typename R, typename F>
R guarded(R failure, F&& body) noexcept {
    try {
        return body();
    } catch (const std::exception&) {
        return failure;
    }
}

// The same for bodies without a result.
template <typename F>
void guardedVoid(const char* api, F&& body) noexcept {
    try {
        body();
    } catch (const std::exception&) {
        reportMisuse(api, "out of memory");
    }
}

}  // namespace sysfw
