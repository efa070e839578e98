// Host identification by name.

#include <gtest/gtest.h>

#include <string>

#include "framework/client/hostcommand.h"

namespace {

TEST(IdentifyDAW, RecognisesEveryKnownHost) {
    const struct {
        const char* name;
        int value;
    } cases[] = {
        {"reaper", 1},      {"cubase", 3},     {"nuendo", 4},    {"cakewalk", 5},      {"samplitude", 8},
        {"fruity", 7},      {"live", 9},       {"melodyne", 12}, {"vstmanlib", 13},    {"aulab", 14},
        {"garageband", 22}, {"forte", 15},     {"chainer", 16},  {"audition", 17},     {"orion", 18},
        {"sawstudio", 20},  {"logic", 21},     {"digital", 23},  {"audiomulch", 25},   {"presonus", 26},
        {"vst3plugintesthost", 28}, {"vsthost", 27}, {"protools", 2}, {"ardour", 29}, {"standalone", 24},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(static_cast<int>(fw::identifyDAW(c.name)), c.value) << c.name;
        // Found anywhere inside a longer name.
        const std::string decorated = "my " + std::string(c.name) + " 11.2";
        EXPECT_EQ(static_cast<int>(fw::identifyDAW(decorated.c_str())), c.value) << decorated;
    }
}

TEST(IdentifyDAW, LongerTestHostNameWinsOverVstHost) {
    EXPECT_EQ(fw::identifyDAW("vst3plugintesthost"), fw::DAW::vst3TestHost);
}

TEST(IdentifyDAW, FirstRuleInTableOrderWins) {
    // "live" comes before "logic" and "digital" in the table.
    EXPECT_EQ(fw::identifyDAW("logic live digital"), fw::DAW::ableton);
    EXPECT_EQ(fw::identifyDAW("protools reaper"), fw::DAW::reaper);
    EXPECT_EQ(fw::identifyDAW("garageband forte"), fw::DAW::garageBand);
}

TEST(IdentifyDAW, UnknownCapitalisedAndNullNamesGiveUnknown) {
    EXPECT_EQ(fw::identifyDAW("bitwig studio"), fw::DAW::unknown);
    EXPECT_EQ(fw::identifyDAW("Reaper"), fw::DAW::unknown);  // case-sensitive
    EXPECT_EQ(fw::identifyDAW(""), fw::DAW::unknown);
    EXPECT_EQ(fw::identifyDAW(nullptr), fw::DAW::unknown);
}

}  // namespace
