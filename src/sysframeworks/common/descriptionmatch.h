#pragma once
// How a search description matches a component's description, shared by the
// Component Manager and Audio Components: zero type, subtype or manufacturer
// fields match anything, and only the flag bits in the search's mask count.

namespace sysfw {

template <typename Description>
bool descriptionMatches(const Description& have, const Description* want) {
    if (want == nullptr) return true;
    return (want->componentType == 0 || want->componentType == have.componentType) &&
           (want->componentSubType == 0 || want->componentSubType == have.componentSubType) &&
           (want->componentManufacturer == 0 || want->componentManufacturer == have.componentManufacturer) &&
           ((have.componentFlags ^ want->componentFlags) & want->componentFlagsMask) == 0;
}

}  // namespace sysfw
