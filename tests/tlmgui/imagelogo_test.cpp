// The image logo: only web addresses are opened, the opener gets the address as
// one argument (no shell ever sees it), and the image is drawn like a bitmap.
#include "tlmgui/imagelogo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tlmgui/widgettest.h"

namespace {

using fw::Box;
using fw::Click;
using fw::RGBA;
using tlmgui::UIImageLogo;
using widgettest::filledLayer;
using widgettest::kBackground;

class RecordingLauncher final : public tlmgui::IProcessLauncher {
public:
    bool launch(std::span<const char* const> argv) noexcept override {
        std::vector<std::string> copy;
        for (const char* a : argv) copy.emplace_back(a);
        launches.push_back(copy);
        return true;
    }
    std::vector<std::vector<std::string>> launches;
};

struct ImageLogoTest : ::testing::Test {
    fw::UIContext context;
    RecordingLauncher launcher;
    fw::OwnedImage<RGBA> art = filledLayer(4, 3, RGBA{250, 10, 10, 255});

    std::vector<std::vector<std::string>> clickWith(const std::string& address) {
        UIImageLogo logo(context, art, address, &launcher);
        EXPECT_EQ(logo.onMouseClick(1, 1, 0, false, {}), Click::beginDrag);
        return launcher.launches;
    }
};

TEST_F(ImageLogoTest, AWebAddressGoesToTheOpenerAsItsOnlyArgument) {
    const auto launches = clickWith("https://example.org/a?b=c&d");
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0], (std::vector<std::string>{UIImageLogo::kOpener, "https://example.org/a?b=c&d"}));
}

TEST_F(ImageLogoTest, ShellSyntaxInTheAddressStaysInsideOneArgument) {
    const auto launches = clickWith("http://x; rm -rf ~");
    ASSERT_EQ(launches.size(), 1u);
    ASSERT_EQ(launches[0].size(), 2u);
    EXPECT_EQ(launches[0][1], "http://x; rm -rf ~");
}

TEST_F(ImageLogoTest, AddressesThatAreNotHttpOrHttpsOpenNothing) {
    for (const char* address : {"file:///etc/passwd", "javascript:alert(1)", "", "http://", "https:/x",
                                "-x http://a", " http://a", "ftp://a", "httpx://a"}) {
        launcher.launches.clear();
        EXPECT_TRUE(clickWith(address).empty()) << address;
    }
}

TEST_F(ImageLogoTest, AnAddressWithAZeroByteIsRefused) {
    EXPECT_TRUE(clickWith(std::string("http://a\0; rm", 13)).empty());
}

TEST_F(ImageLogoTest, EveryClickOpensAgain) {
    UIImageLogo logo(context, art, "http://a", &launcher);
    logo.onMouseClick(0, 0, 0, false, {});
    logo.onMouseClick(0, 0, 0, true, {});
    EXPECT_EQ(launcher.launches.size(), 2u);
}

TEST_F(ImageLogoTest, DrawsItsImageUnscaledFromItsCorner) {
    UIImageLogo logo(context, art, "http://a", &launcher);
    logo.setPosition(Box::rectangle(2, 1, 10, 10));
    auto layer = filledLayer(16, 16);
    widgettest::paintAll(logo, layer);
    EXPECT_EQ(layer.at(2, 1), (RGBA{250, 10, 10, 255}));
    EXPECT_EQ(layer.at(5, 3), (RGBA{250, 10, 10, 255}));
    EXPECT_EQ(layer.at(6, 1), kBackground);  // past the image's width
    EXPECT_EQ(layer.at(2, 4), kBackground);  // past its height
    EXPECT_EQ(widgettest::countDifferent(layer, kBackground), 4 * 3);
}

TEST(SpawnLauncher, StartsAProgramWithoutAShellAndRefusesEmptyArguments) {
    tlmgui::SpawnLauncher launcher;
    const char* ok[] = {"true", "http://x; exit 1"};
    EXPECT_TRUE(launcher.launch(ok));
    const char* missing[] = {"kestrin-no-such-program-here"};
    EXPECT_FALSE(launcher.launch(missing));
    EXPECT_FALSE(launcher.launch({}));
}

}  // namespace
