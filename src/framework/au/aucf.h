#pragma once
// Small CoreFoundation helpers for the wrapper, all through the loaded framework.

#include <string>

#include "framework/platform/systemframeworks.h"

namespace fw::au {

// Host thread. A new string (the caller releases it) from zero-terminated UTF-8.
CFStringRef createCFString(const char* utf8) noexcept;

// Host thread. The string as UTF-8; false (with `out` empty) for null or a string
// that cannot be converted.
[[nodiscard]] bool utf8FromCFString(CFStringRef string, std::string& out);

// Releases one CF reference when it goes out of scope; null is ignored.
class CFReleaser {
public:
    explicit CFReleaser(CFTypeRef object) noexcept : object_(object) {}
    ~CFReleaser() {
        if (object_ != nullptr) sys::coreFoundation().CFRelease(object_);
    }
    CFReleaser(const CFReleaser&) = delete;
    CFReleaser& operator=(const CFReleaser&) = delete;
    // Gives up ownership, for a result handed to the host.
    CFTypeRef release() noexcept {
        CFTypeRef o = object_;
        object_ = nullptr;
        return o;
    }

private:
    CFTypeRef object_;
};

}  // namespace fw::au
