#pragma once
// The LV2 entry of a plug-in binary: one LV2_Descriptor per variant (a URI and an
// input channel count, all on the same client), with the state extension.
//
// A plug-in binary defines its variants and exports
//     LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
// returning fw::lv2::descriptor(variants, index).

#include <cstdint>
#include <memory>
#include <span>

#include <lv2/core/lv2.h>

#include "framework/client/client.h"

namespace fw::lv2 {

using ClientFactory = std::unique_ptr<Client> (*)();

struct Lv2Variant {
    const char* uri;
    int inputs;  // one of the client's legal input counts
};

// Any thread. A static table of up to kMaxVariants descriptors, built on the first
// call for `variants` (the same span every call); null past the last variant.
inline constexpr std::size_t kMaxVariants = 4;
const LV2_Descriptor* descriptor(std::span<const Lv2Variant> variants, ClientFactory factory,
                                 std::uint32_t index) noexcept;

}  // namespace fw::lv2
