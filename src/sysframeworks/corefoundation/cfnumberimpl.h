#pragma once
// CFNumber and CFBoolean internals, shared with the property-list code.

#include "sysframeworks/corefoundation/cfruntime.h"

#include <cstdint>

namespace cf {

struct Number final : Object {
    static constexpr CFTypeID kTypeID = kTypeNumber;

    constexpr Number(CFNumberType storageType, std::int64_t i, double d, bool isFloat, bool immortal = false) noexcept
        : Object(kTypeNumber, immortal), type(storageType), integer(i), real(d), floating(isFloat) {}

    bool equals(const Object& other) const noexcept override;
    CFHashCode hash() const noexcept override;
    void describe(std::string& out) const override;
    void describeForFormat(std::string& out) const override;

    CFNumberType type;  // the fixed-width type of the storage
    std::int64_t integer;
    double real;
    bool floating;
};

struct BooleanObject final : Object {
    static constexpr CFTypeID kTypeID = kTypeBoolean;
    constexpr explicit BooleanObject(bool v) noexcept : Object(kTypeBoolean, true), value(v) {}
    bool equals(const Object& other) const noexcept override { return value == static_cast<const BooleanObject&>(other).value; }
    CFHashCode hash() const noexcept override { return value ? 1 : 0; }
    void describe(std::string& out) const override;
    void describeForFormat(std::string& out) const override { out += value ? "true" : "false"; }
    bool value;
};

CFNumberRef makeInteger(CFAllocatorRef allocator, std::int64_t value);
CFNumberRef makeReal(CFAllocatorRef allocator, double value);

}  // namespace cf
