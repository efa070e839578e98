// The plug-in binary as a host and a packager see it: its exports, what it links,
// and the component its Info.plist declares.

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "aufixture.h"

namespace {

// Standard output of a shell command.
std::string run(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) result.push_back(line);
    return result;
}

// The last word of each line: the symbol name in nm's output.
std::set<std::string> symbolNames(const std::string& nmOutput) {
    std::set<std::string> names;
    for (const std::string& line : lines(nmOutput)) {
        std::string name = line.substr(line.find_last_of(' ') + 1);
        names.insert(name.substr(0, name.find('@')));
    }
    return names;
}

TEST(PluginBinary, ExportsExactlyTheTwoEntryPoints) {
    const std::set<std::string> defined =
        symbolNames(run(std::string("nm -D --defined-only '") + KESTRIN_COMPONENT_BINARY + "'"));
    EXPECT_EQ(defined, (std::set<std::string>{"pluginAUComponentFactoryFunction", "pluginAUEntryPoint"}));
}

TEST(PluginBinary, NeedsNoSystemFrameworkAndResolvesNoneOfTheirFunctionsAtLinkTime) {
    const std::string needed = run(std::string("readelf -d '") + KESTRIN_COMPONENT_BINARY + "' | grep NEEDED");
    ASSERT_FALSE(needed.empty());
    EXPECT_EQ(needed.find("Frameworks"), std::string::npos) << needed;
    EXPECT_EQ(needed.find("libobjc"), std::string::npos) << needed;
    EXPECT_NE(needed.find("libc.so"), std::string::npos) << needed;
    EXPECT_NE(needed.find("libstdc++.so"), std::string::npos) << needed;  // shared, so new/delete are the host's

    for (const std::string& name :
         symbolNames(run(std::string("nm -D --undefined-only '") + KESTRIN_COMPONENT_BINARY + "'"))) {
        for (const char* prefix : {"CF", "AudioUnit", "AudioComponent", "AUEvent", "objc_", "class_", "sel_",
                                   "protocol_", "NSApplication", "GetComponent", "SetComponent"})
            EXPECT_NE(name.rfind(prefix, 0), 0u) << name << " is linked, not looked up";
    }
}

TEST(PluginBinary, InfoPlistDeclaresTheEffectComponent) {
    autest::LoadedKestrin& k = autest::kestrin();
    ASSERT_NE(k.bundle, nullptr);
    ASSERT_EQ(k.bundle->declaredComponents().size(), 1u);
    const auhost::ComponentSpec& described = k.bundle->declaredComponents()[0];
    EXPECT_EQ(described.description.componentType, kAudioUnitType_Effect);
    EXPECT_EQ(described.description.componentSubType, 0x4B737433u);       // 'Kst3'
    EXPECT_EQ(described.description.componentManufacturer, 0x546C6D77u);  // 'Tlmw'
    EXPECT_EQ(described.name, "Tallowmere Dorovuvuru: Kestrin 3");
    EXPECT_EQ(described.version, 196609u);
    EXPECT_EQ(described.factoryFunction, "pluginAUComponentFactoryFunction");

    ASSERT_NE(k.factory, nullptr);
    UInt32 version = 0;
    ASSERT_EQ(AudioComponentGetVersion(k.factory, &version), noErr);
    // The unit's own version (Component Manager Version selector) agrees with the bundle.
    autest::Unit unit(k.entry);
    EXPECT_EQ(CallComponentVersion(unit.get()), ComponentResult(version));
}

}  // namespace
