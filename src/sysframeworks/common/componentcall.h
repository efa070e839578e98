#pragma once
// Calls into a Component Manager entry function with a ComponentParameters
// block built on the stack, in the 64-bit layout documented in
// <CoreServices/Components.h>: one 8-byte slot per argument, the last argument
// in params[0], the instance after the arguments.

#include "sysframeworks/common/instancerecord.h"

#include <cstring>
#include <type_traits>

namespace sysfw {

namespace detail {

template <typename T>
void storeSlot(long& slot, T value) {
    static_assert(sizeof(T) <= sizeof(long) && std::is_trivially_copyable_v<T>, "argument does not fit a slot");
    slot = 0;
    std::memcpy(&slot, &value, sizeof(T));
}

}  // namespace detail

// Real-time safe: no allocation, no lock.
template <typename... Args>
ComponentResult callComponentEntry(InstanceRecord& record, SInt16 selector, Args... args) noexcept {
    constexpr std::size_t n = sizeof...(Args);
    // Header (8 bytes) and n + 1 slots, viewed as ComponentParameters.
    alignas(8) unsigned char block[8 + 8 * (n + 1)] = {};
    auto* cp = reinterpret_cast<ComponentParameters*>(block);
    cp->flags = 0;
    cp->paramSize = static_cast<UInt8>(n * sizeof(long));
    cp->what = selector;
    long* slots = reinterpret_cast<long*>(block + 8);
    std::size_t i = 0;
    // Argument i (first = 0) goes to slot n - 1 - i.
    ((detail::storeSlot(slots[n - 1 - i++], args)), ...);
    (void)i;
    detail::storeSlot(slots[n], handleOf(&record));
    return record.entry(cp, record.storage.load(std::memory_order_relaxed));
}

}  // namespace sysfw
