#pragma once
// Errors are values: an operation that can fail returns a Status carrying a fixed,
// human-readable message (a string literal with static lifetime), or success.

namespace fw {

class [[nodiscard]] Status {
public:
    constexpr Status() noexcept = default;
    static constexpr Status success() noexcept { return Status(); }
    static constexpr Status failure(const char* message) noexcept { return Status(message); }

    constexpr bool ok() const noexcept { return message_ == nullptr; }
    constexpr explicit operator bool() const noexcept { return ok(); }
    // The failure message; empty text on success.
    constexpr const char* message() const noexcept { return message_ ? message_ : ""; }

private:
    constexpr explicit Status(const char* message) noexcept : message_(message) {}
    const char* message_ = nullptr;
};

}  // namespace fw
