#pragma once
// CFDate and CFError internals, shared with the property-list code.

#include "sysframeworks/corefoundation/cfruntime.h"

#include <string>

namespace cf {

struct Date final : Object {
    static constexpr CFTypeID kTypeID = kTypeDate;
    explicit Date(double t) noexcept : Object(kTypeDate, false), time(t) {}
    bool equals(const Object& other) const noexcept override { return time == static_cast<const Date&>(other).time; }
    CFHashCode hash() const noexcept override { return static_cast<CFHashCode>(static_cast<long long>(time)); }
    void describe(std::string& out) const override;
    double time;  // seconds since 2001-01-01 00:00:00 UTC
};

// "YYYY-MM-DDTHH:MM:SSZ" <-> absolute time; parse returns false for other text.
bool parseISO8601(std::string_view text, double& absoluteTime);
std::string formatISO8601(double absoluteTime);

// A new CFError in the Cocoa domain with a description.
CFErrorRef makeError(CFIndex code, const std::string& description);

}  // namespace cf
