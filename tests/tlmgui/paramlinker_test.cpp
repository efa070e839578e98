// The parameter linker: a click flips its state and the image shown, the
// parameter is never written, and the listener goes with the widget.
#include "tlmgui/paramlinker.h"

#include <gtest/gtest.h>

#include <memory>

#include "framework/client/testclient.h"
#include "tlmgui/widgettest.h"

namespace {

using fw::Box;
using fw::Click;
using fw::RGBA;
using tlmgui::ParamLinker;
using widgettest::filledLayer;

constexpr RGBA kOff{100, 0, 0, 255}, kOn{0, 100, 0, 255};

struct ParamLinkerTest : ::testing::Test {
    ParamLinkerTest() { client->setHostCommand(&host); }
    std::unique_ptr<testclient::TestClient> client = testclient::makeTestClient();
    testclient::FakeHost host;
    fw::UIContext context;
    fw::OwnedImage<RGBA> off = filledLayer(2, 2, kOff), on = filledLayer(2, 2, kOn);

    std::unique_ptr<ParamLinker> linker(bool linked, bool reference) {
        auto l = std::make_unique<ParamLinker>(context, client->sync(), off, on, linked, reference);
        l->setPosition(Box::rectangle(0, 0, 2, 2));
        return l;
    }
    RGBA shown(ParamLinker& l) {
        auto layer = filledLayer(2, 2);
        widgettest::paintAll(l, layer);
        return layer.at(1, 1);
    }
};

TEST_F(ParamLinkerTest, ShowsTheSecondImageWhileLinkedMatchesTheReference) {
    EXPECT_EQ(shown(*linker(true, true)), kOn);
    EXPECT_EQ(shown(*linker(false, false)), kOn);
    EXPECT_EQ(shown(*linker(true, false)), kOff);
    EXPECT_EQ(shown(*linker(false, true)), kOff);
}

TEST_F(ParamLinkerTest, AClickFlipsTheStateWithoutTouchingTheParameter) {
    auto l = linker(false, true);
    const double before = client->sync().getNormalized();
    EXPECT_EQ(l->onMouseClick(0, 0, 0, false, {}), Click::beginDrag);
    EXPECT_TRUE(l->linked());
    EXPECT_EQ(shown(*l), kOn);
    l->onMouseClick(0, 0, 0, false, {});
    EXPECT_FALSE(l->linked());
    EXPECT_EQ(shown(*l), kOff);
    EXPECT_EQ(client->sync().getNormalized(), before);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(ParamLinkerTest, ParameterChangesDoNotChangeTheState) {
    auto l = linker(true, true);
    client->sync().setFromGUI(client->sync().getNormalized() < 0.5);
    EXPECT_TRUE(l->linked());
}

TEST_F(ParamLinkerTest, DestructionRemovesTheListener) {
    fw::BoolParameter& p = client->sync();
    const int before = p.numListeners();
    auto l = linker(false, false);
    EXPECT_EQ(p.numListeners(), before + 1);
    l.reset();
    EXPECT_EQ(p.numListeners(), before);
    p.setFromGUI(p.getNormalized() < 0.5);  // must not reach the destroyed linker
}

}  // namespace
