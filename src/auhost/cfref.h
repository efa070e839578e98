#pragma once
// CFRef<T>: owns one CoreFoundation reference (released on destruction).

#include <CoreFoundation/CoreFoundation.h>

#include <string>
#include <utility>

namespace auhost {

template <typename T>
class CFRef {
public:
    CFRef() noexcept = default;
    // Takes over a reference the caller owns (a Create or Copy result).
    explicit CFRef(T ref) noexcept : ref_(ref) {}
    ~CFRef() { reset(); }
    CFRef(CFRef&& other) noexcept : ref_(std::exchange(other.ref_, nullptr)) {}
    CFRef& operator=(CFRef&& other) noexcept {
        if (this != &other) {
            reset();
            ref_ = std::exchange(other.ref_, nullptr);
        }
        return *this;
    }
    CFRef(const CFRef&) = delete;
    CFRef& operator=(const CFRef&) = delete;

    // A new owner of a reference the caller does not own.
    static CFRef retain(T ref) noexcept {
        if (ref) CFRetain(ref);
        return CFRef(ref);
    }

    T get() const noexcept { return ref_; }
    T release() noexcept { return std::exchange(ref_, nullptr); }
    void reset() noexcept {
        if (ref_) CFRelease(ref_);
        ref_ = nullptr;
    }
    explicit operator bool() const noexcept { return ref_ != nullptr; }

private:
    T ref_ = nullptr;
};

// UTF-8 text of a CF string ("" for NULL or unconvertible text).
std::string toUTF8(CFStringRef s);
// A new CF string from UTF-8.
CFRef<CFStringRef> fromUTF8(const std::string& s);

}  // namespace auhost
