#pragma once
// Loads TestGain as a plug-in binary once per process and registers both its
// factory and its Component Manager entry.

#include "auhost/pluginbundle.h"
#include "testgainunit.h"

#include <gtest/gtest.h>

namespace hosttest {

constexpr OSType kEntrySubType = 0x74676570;  // 'tgep'

struct LoadedPlugin {
    std::unique_ptr<auhost::PluginBundle> bundle;
    AudioComponent factory = nullptr;
    AudioComponent entry = nullptr;
};

inline LoadedPlugin& loadedPlugin() {
    static LoadedPlugin plugin = [] {
        LoadedPlugin p;
        auhost::HostResult r = auhost::PluginBundle::open(TEST_GAIN_UNIT_PATH, p.bundle);
        EXPECT_TRUE(r.ok()) << r.message();
        if (!r) return p;
        auhost::ComponentSpec described;
        described.description = {kAudioUnitType_Effect, kTestGainSubType, kTestGainManufacturer, 0, 0};
        described.name = "Test: TestGain";
        described.version = kTestGainVersion;
        described.factoryFunction = "TestGainFactory";
        r = p.bundle->registerComponent(described, p.factory);
        EXPECT_TRUE(r.ok()) << r.message();
        r = p.bundle->registerEntryPoint({kAudioUnitType_Effect, kEntrySubType, kTestGainManufacturer, 0, 0},
                                         "Test: TestGain entry", "TestGainEntry", p.entry);
        EXPECT_TRUE(r.ok()) << r.message();
        return p;
    }();
    return plugin;
}

}  // namespace hosttest
