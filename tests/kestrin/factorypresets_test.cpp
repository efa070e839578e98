#include "kestrin/factorypresets.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/client/floatparameter.h"
#include "framework/client/fxb.h"
#include "framework/client/integerparameter.h"
#include "kestrin/kestrin.h"

namespace {

// The published table, six significant digits per value.
struct PublishedProgram {
    const char* name;
    const char* values[16];
};
const PublishedProgram kPublished[] = {
    {"Default", {"0.49975", "0.0967742", "0.5", "0.5", "0.249625", "0.16129", "0.5", "0.5", "1", "0", "0.96483", "0.05",
                 "0", "1", "0.0294", "0"}},
    {"Lead Guitar Magic", {"0.49975", "0.16129", "0.697184", "0.5", "0.249625", "0.419355", "0.704226", "0.5", "1",
                           "0.0989584", "0.388267", "0.201042", "0", "1", "0.0294", "0"}},
    {"Chaotic Bliss", {"0.49975", "0.129032", "0.799295", "0.651408", "0.249625", "0.387097", "0.795776",
                       "0.65493", "1", "0.192187", "0.45858", "0.398959", "0", "0.904669", "0.0294", "0"}},
};

// The plain value a published number evidently stands for, or NaN when it has none:
// a value on the control's 0.1 grid (or integer) whose normalized value prints the same.
double evidentPlainValue(fw::Parameter* p, double published) {
    char printed[32], wanted[32];
    std::snprintf(wanted, sizeof wanted, "%.6g", published);
    if (auto* ip = dynamic_cast<fw::IntegerParameter*>(p)) {
        for (int v = ip->minValue(); v <= ip->maxValue(); ++v) {
            std::snprintf(printed, sizeof printed, "%.6g", ip->toNormalized(v));
            if (std::string(printed) == wanted) return v;
        }
        return std::nan("");
    }
    auto* fp = dynamic_cast<fw::FloatParameter*>(p);
    if (fp == nullptr) return published;  // bool: 0 or 1
    const long steps = std::lround((fp->maxValue() - fp->minValue()) * 10);
    for (long s = 0; s <= steps; ++s) {
        const double v = fp->minValue() + double(s) / 10.0;
        std::snprintf(printed, sizeof printed, "%.6g", fp->toNormalized(v));
        if (std::string(printed) == wanted) return v;
    }
    return std::nan("");
}

TEST(FactoryPresets, BankIs516BytesWithThreeSixteenValuePrograms) {
    const auto bank = kestrin::factoryPresetBank();
    ASSERT_EQ(bank.size(), 516u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bank.data()), 4), "CcnK");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bank.data()) + 16, 4), "Kst3");
    auto k = fw::makeClient<kestrin::Kestrin>();
    const fw::FXBPresets presets = fw::loadPresetsFromFXB(*k, bank, -1);
    ASSERT_TRUE(presets.status.ok()) << presets.status.message();
    ASSERT_EQ(presets.presets.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(presets.presets[i].name, kPublished[i].name);
        EXPECT_EQ(presets.presets[i].normalizedValues.size(), 16u);
    }
}

TEST(FactoryPresets, ValuesAreThePluginsOwnFloatsOrTheNearestToThePublishedDecimal) {
    auto k = fw::makeClient<kestrin::Kestrin>();
    const fw::FXBPresets presets = fw::loadPresetsFromFXB(*k, kestrin::factoryPresetBank(), -1);
    ASSERT_TRUE(presets.status.ok());
    int evident = 0;
    for (std::size_t prog = 0; prog < 3; ++prog) {
        for (int i = 0; i < 16; ++i) {
            const char* text = kPublished[prog].values[i];
            const float stored = presets.presets[prog].normalizedValues[std::size_t(i)];
            fw::Parameter* p = k->param(i);
            const double plain = evidentPlainValue(p, std::strtod(text, nullptr));
            float expected;
            if (std::isnan(plain)) {
                expected = std::strtof(text, nullptr);
            } else if (auto* fp = dynamic_cast<fw::FloatParameter*>(p)) {
                expected = float(fp->toNormalized(plain));
                ++evident;
            } else if (auto* ip = dynamic_cast<fw::IntegerParameter*>(p)) {
                expected = float(ip->toNormalized(int(plain)));
                ++evident;
            } else {
                expected = float(plain);
            }
            EXPECT_EQ(stored, expected) << kPublished[prog].name << " parameter " << i << " (" << text << ")";
        }
    }
    EXPECT_GE(evident, 30);  // most values are round plain values
}

TEST(FactoryPresets, TheClientStartsOnTheDefaultProgram) {
    auto k = fw::makeClient<kestrin::Kestrin>();
    EXPECT_EQ(k->presetBank().currentPresetIndex(), 0);
    EXPECT_EQ(k->presetBank().preset(0)->name, "Default");
    EXPECT_EQ(k->presetBank().preset(2)->name, "Chaotic Bliss");
}

TEST(FactoryPresets, ARefusedCopyOfTheBankChangesNoValueAndNoPreset) {
    auto k = fw::makeClient<kestrin::Kestrin>();
    fw::PresetBank& bank = k->presetBank();
    ASSERT_TRUE(bank.loadPresetFromHost(2));
    for (int i = 0; i < k->numParams(); ++i) k->param(i)->setFromHost(double((i * 5 + 2) % 7) / 7.0);
    fw::Vec<std::uint8_t> before;
    bank.writeStateChunk(before);
    const std::string names[3] = {bank.preset(0)->name, bank.preset(1)->name, bank.preset(2)->name};

    const auto real = kestrin::factoryPresetBank();
    std::vector<std::vector<std::uint8_t>> refused;
    for (std::size_t n = 0; n < real.size(); ++n) refused.emplace_back(real.begin(), real.begin() + long(n));
    // "CcnK", "FxBk", the plug-in code of the bank and of each program, "FxCk", the
    // program version: one flipped byte in any of them is a bank to refuse.
    for (std::size_t at : {0u, 8u, 16u, 156u + 8u, 156u + 12u, 156u + 16u, 2u * 120u + 156u + 16u}) {
        std::vector<std::uint8_t> b(real.begin(), real.end());
        b[at] ^= 0x20;
        refused.push_back(std::move(b));
    }
    for (const auto& bytes : refused) {
        const fw::FXBPresets result = fw::loadPresetsFromFXB(*k, bytes, -1);
        EXPECT_FALSE(result.status.ok()) << bytes.size();
        EXPECT_TRUE(result.presets.empty()) << bytes.size();
    }
    fw::Vec<std::uint8_t> after;
    bank.writeStateChunk(after);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin(), after.end()));
    ASSERT_EQ(bank.numPresets(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(bank.preset(i)->name, names[i]);
}

}  // namespace
