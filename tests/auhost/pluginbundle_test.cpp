// Opening plug-in binaries and bundles and registering their components.

#include "hostfixture.h"

#include "auhost/cfref.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

TEST(PluginBundle, RegistersTheFactoryAndTheEntryPointOfALibrary) {
    hosttest::LoadedPlugin& p = hosttest::loadedPlugin();
    ASSERT_NE(p.factory, nullptr);
    ASSERT_NE(p.entry, nullptr);
    CFStringRef name = nullptr;
    ASSERT_EQ(AudioComponentCopyName(p.entry, &name), noErr);
    EXPECT_EQ(auhost::toUTF8(name), "Test: TestGain entry");
    CFRelease(name);
    EXPECT_TRUE(p.bundle->declaredComponents().empty());  // a bare library has no Info.plist
}

TEST(PluginBundle, ReadsAudioComponentsFromAComponentBundlesInfoPlist) {
    const fs::path root = fs::temp_directory_path() / ("auhost_bundle_" + std::to_string(::getpid()));
    fs::create_directories(root / "TestGain.component/Contents/MacOS");
    fs::copy_file(TEST_GAIN_UNIT_PATH, root / "TestGain.component/Contents/MacOS/TestGain",
                  fs::copy_options::overwrite_existing);
    std::ofstream(root / "TestGain.component/Contents/Info.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>CFBundleExecutable</key><string>TestGain</string>"
           "<key>CFBundleIdentifier</key><string>com.example.testgain</string>"
           "<key>AudioComponents</key><array>"
           "<dict><key>type</key><string>aufx</string><key>subtype</key><string>tgpl</string>"
           "<key>manufacturer</key><string>Test</string><key>name</key><string>Test: From Plist</string>"
           "<key>version</key><integer>66051</integer><key>factoryFunction</key><string>TestGainFactory</string></dict>"
           "<dict><key>type</key><string>toolong</string><key>subtype</key><string>xxxx</string>"
           "<key>manufacturer</key><string>Test</string><key>factoryFunction</key><string>TestGainFactory</string></dict>"
           "</array></dict></plist>\n";
    std::unique_ptr<auhost::PluginBundle> bundle;
    auhost::HostResult r = auhost::PluginBundle::open((root / "TestGain.component").string(), bundle);
    ASSERT_TRUE(r.ok()) << r.message();
    ASSERT_EQ(bundle->declaredComponents().size(), 1u);  // the malformed entry is skipped
    const auhost::ComponentSpec& described = bundle->declaredComponents()[0];
    EXPECT_EQ(described.description.componentType, kAudioUnitType_Effect);
    EXPECT_EQ(described.description.componentSubType, 0x7467706Cu);
    EXPECT_EQ(described.version, 66051u);
    std::vector<AudioComponent> registered;
    ASSERT_TRUE(bundle->registerDeclaredComponents(registered).ok());
    ASSERT_EQ(registered.size(), 1u);
    AudioComponentInstance unit = nullptr;
    ASSERT_EQ(AudioComponentInstanceNew(registered[0], &unit), noErr);
    EXPECT_EQ(AudioComponentInstanceDispose(unit), noErr);
    EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.example.testgain")), bundle->bundle());
    bundle.reset();
    fs::remove_all(root);
}

TEST(PluginBundle, ReportsMissingFilesAndSymbols) {
    std::unique_ptr<auhost::PluginBundle> bundle;
    auhost::HostResult r = auhost::PluginBundle::open("/nonexistent/Plugin.component", bundle);
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.message().find("no plug-in bundle"), std::string::npos);
    hosttest::LoadedPlugin& p = hosttest::loadedPlugin();
    auhost::ComponentSpec described;
    described.factoryFunction = "NoSuchFactory";
    AudioComponent c = nullptr;
    r = p.bundle->registerComponent(described, c);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(c, nullptr);
    std::vector<AudioComponent> none;
    r = p.bundle->registerDeclaredComponents(none);  // a bare library declares nothing
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(none.empty());
}

TEST(PluginBundle, ParsesFourCharacterCodes) {
    OSType code = 0;
    EXPECT_TRUE(auhost::fourCharCode("Kst3", code));
    EXPECT_EQ(code, 0x4B737433u);
    EXPECT_FALSE(auhost::fourCharCode("abc", code));
    EXPECT_FALSE(auhost::fourCharCode("ab\ncd", code));
}

}  // namespace
