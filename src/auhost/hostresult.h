#pragma once
// HostResult: the outcome of a host operation, an OSStatus with a message that
// says which step failed.

#include <MacTypes.h>

#include <string>

namespace auhost {

class [[nodiscard]] HostResult {
public:
    HostResult() = default;
    static HostResult success() { return HostResult(); }
    static HostResult failure(OSStatus status, std::string message) { return HostResult(status, std::move(message)); }
    // Success for noErr; otherwise "<what> failed (<status>)".
    static HostResult check(OSStatus status, const char* what);

    bool ok() const { return status_ == noErr && message_.empty(); }
    explicit operator bool() const { return ok(); }
    OSStatus status() const { return status_; }
    const std::string& message() const { return message_; }

private:
    HostResult(OSStatus status, std::string message) : status_(status), message_(std::move(message)) {}
    OSStatus status_ = noErr;
    std::string message_;
};

}  // namespace auhost
