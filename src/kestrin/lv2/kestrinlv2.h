#pragma once
// Kestrin 3 as LV2 plug-ins: a stereo-in and a mono-in variant of the one client,
// their URIs, and the bundle description the Turtle generator writes from.

#include <memory>
#include <span>
#include <string>

#include "framework/client/client.h"
#include "framework/lv2/lv2entry.h"
#include "framework/lv2/lv2ttl.h"

namespace kestrin::lv2 {

inline constexpr const char* kStereoUri = "urn:tallowmere-dorovuvuru:kestrin3";
inline constexpr const char* kMonoUri = "urn:tallowmere-dorovuvuru:kestrin3:mono";
inline constexpr const char* kUiUri = "urn:tallowmere-dorovuvuru:kestrin3:ui";
inline constexpr const char* kBinaryName = "Kestrin.so";

// Any thread. Stereo first, then mono.
std::span<const fw::lv2::Lv2Variant> variants() noexcept;
// Host thread. A new Kestrin client.
std::unique_ptr<fw::Client> makeClient();
// Any thread. The note names for "Note L" and "Note R", "1x".."8x" for "Upsample
// Amount"; empty for everything else.
std::string valueLabel(int parameter, int value);
// Host thread. The bundle; `uiBinary` empty for none.
fw::lv2::Lv2BundleDescription bundleDescription(const std::string& uiBinary);

}  // namespace kestrin::lv2
