#include "kestrin/lv2/kestrinlv2.h"

#include <array>

#include "kestrin/kestrin.h"
#include "kestrin/notevalues.h"

namespace kestrin::lv2 {

namespace {

// The delay's note-value controls (see the parameter table in factorypresets.cpp).
constexpr int kNoteLParameter = 1;
constexpr int kNoteRParameter = 5;

constexpr std::array<fw::lv2::Lv2Variant, 2> kVariants = {{{kStereoUri, 2}, {kMonoUri, 1}}};

}  // namespace

std::span<const fw::lv2::Lv2Variant> variants() noexcept { return kVariants; }

std::unique_ptr<fw::Client> makeClient() { return fw::makeClient<Kestrin>(); }

std::string valueLabel(int parameter, int value) {
    if (parameter == kNoteLParameter || parameter == kNoteRParameter) {
        if (value < 0 || value >= kNoteValueCount) return {};
        return noteValueLabel(value);
    }
    if (parameter == kUpsampleAmountParameter && value >= 0 && value <= 3) return std::to_string(1 << value) + "x";
    return {};
}

fw::lv2::Lv2BundleDescription bundleDescription(const std::string& uiBinary) {
    fw::lv2::Lv2BundleDescription b;
    b.plugins = {{kStereoUri, "Kestrin 3", 2}, {kMonoUri, "Kestrin 3 (mono in)", 1}};
    b.binary = kBinaryName;
    b.descriptionFile = "kestrin.ttl";
    b.presetsFile = "presets.ttl";
    b.valueLabel = &valueLabel;
    if (!uiBinary.empty()) {
        b.uiUri = kUiUri;
        b.uiBinary = uiBinary;
    }
    return b;
}

}  // namespace kestrin::lv2
