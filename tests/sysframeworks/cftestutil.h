#pragma once
// Helpers for the CoreFoundation tests.

#include <CoreFoundation/CoreFoundation.h>

#include <string>

namespace cftest {

// Owns one CF reference.
template <typename T>
class Ref {
public:
    explicit Ref(T ref = nullptr) : ref_(ref) {}
    ~Ref() {
        if (ref_) CFRelease(ref_);
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    T get() const { return ref_; }
    explicit operator bool() const { return ref_ != nullptr; }

private:
    T ref_;
};

inline std::string text(CFStringRef s) {
    if (s == nullptr) return "<null>";
    const CFIndex n = CFStringGetMaximumSizeForEncoding(CFStringGetLength(s), kCFStringEncodingUTF8) + 1;
    std::string buffer(static_cast<std::size_t>(n), '\0');
    if (!CFStringGetCString(s, buffer.data(), n, kCFStringEncodingUTF8)) return "<unconvertible>";
    return buffer.c_str();
}

inline CFStringRef str(const char* s) { return CFStringCreateWithCString(nullptr, s, kCFStringEncodingUTF8); }

}  // namespace cftest
