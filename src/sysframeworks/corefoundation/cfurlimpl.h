#pragma once
// CFURL internals: an absolute URL string, with helpers for file URLs.

#include "sysframeworks/corefoundation/cfruntime.h"

#include <string>

namespace cf {

struct URL final : Object {
    static constexpr CFTypeID kTypeID = kTypeURL;
    URL(std::string text, CFStringRef string) : Object(kTypeURL, false), urlText(std::move(text)), asString(string) {}
    bool equals(const Object& other) const noexcept override { return urlText == static_cast<const URL&>(other).urlText; }
    CFHashCode hash() const noexcept override { return std::hash<std::string>()(urlText); }
    void describe(std::string& out) const override { out += urlText; }
    void destroy() noexcept override {
        CFRelease(asString);
        this->~URL();
    }

    std::string urlText;      // "file:///path/to/dir/"
    CFStringRef asString;  // the same text as a CFString (owned)
};

// A new file URL for an absolute POSIX path; a directory URL ends in "/".
CFURLRef makeFileURL(CFAllocatorRef allocator, const std::string& absolutePath, bool isDirectory);
// The decoded POSIX path of a file URL (no trailing "/" except for the root);
// false for another scheme.
bool filePathOf(const URL& url, std::string& path);

}  // namespace cf
