// The delay-time label: milliseconds normally, the note value's label while
// Sync is on, switching on every change of Sync, from any thread.
#include "kestrin/gui/kestrinparamlabel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "assets/kestrin_font_vera_bold.h"
#include "kestrinfixture.h"
#include "tlmgui/widgettest.h"

namespace {

using fw::Box;
using fw::RGBA;
using kestrin::KestrinParamLabel;

constexpr RGBA kText{250, 240, 10, 255};

fw::Font& editorFont() {
    static fw::Font font(assets::kVeraSansBold, assets::kVeraSansBoldSize);
    return font;
}

struct KestrinLabelTest : ::testing::Test, kestrintest::KestrinParams {
    fw::UIContext context;
    std::unique_ptr<KestrinParamLabel> label() {
        return std::make_unique<KestrinParamLabel>(context, *time, *note, editorFont(), *sync, kText);
    }
};

TEST_F(KestrinLabelTest, ShowsTheDelayInMillisecondsWhileSyncIsOff) {
    auto l = label();
    EXPECT_EQ(l->text(), "1000 ms");  // the default of "Delay L"
    time->setFromHost(time->toNormalized(250.0));
    EXPECT_EQ(l->text(), "250 ms");
}

TEST_F(KestrinLabelTest, TurningSyncOnShowsTheNoteValueAtOnceAndOffBringsTheTimeBack) {
    auto l = label();
    setNote(3);
    setSync(true);
    EXPECT_EQ(l->text(), "1/4");
    setNote(15);
    EXPECT_EQ(l->text(), "1");
    setNote(31);
    EXPECT_EQ(l->text(), "2");
    setNote(23);
    EXPECT_EQ(l->text(), "1 & 1/2");
    setSync(false);
    EXPECT_EQ(l->text(), "1000 ms");
}

TEST_F(KestrinLabelTest, ALabelBuiltWhileSyncIsOnStartsWithTheNote) {
    setSync(true);
    setNote(7);
    EXPECT_EQ(label()->text(), "1/2");
}

TEST_F(KestrinLabelTest, DrawsInTheGivenColourAtSizeTen) {
    setSync(true);
    setNote(3);
    auto l = label();
    const Box pos = Box::rectangle(10, 10, 60, 16);
    l->setPosition(pos);
    fw::OwnedImage<RGBA> layer = widgettest::filledLayer(100, 40);
    widgettest::paintAll(*l, layer);
    fw::OwnedImage<RGBA> want = widgettest::filledLayer(100, 40);
    fw::fillText(want.toRef().cropImageRef(pos), editorFont(), "1/4", 10.0f, 0.5f, kText, 30.0f, 8.0f,
                 fw::HorizontalAlignment::center, fw::VerticalAlignment::center);
    EXPECT_GT(widgettest::countDifferent(want, widgettest::kBackground), 10);
    EXPECT_EQ(widgettest::countDifferences(layer, want), 0);
}

TEST_F(KestrinLabelTest, ADestroyedLabelLeavesNoListenerBehind) {
    label().reset();
    // Each would reach a dangling listener (AddressSanitizer reports it).
    time->setFromHost(0.2);
    setNote(9);
    setSync(true);
    setSync(false);
    SUCCEED();
}

TEST_F(KestrinLabelTest, AHostThreadSwitchingSyncWhileTheEditorPaints) {
    widgettest::OpenedEditor o;
    auto* l = o.add(std::make_unique<KestrinParamLabel>(o.context(), *time, *note, editorFont(), *sync, kText),
                    Box::rectangle(50, 50, 80, 20));
    std::atomic<bool> stop{false};
    std::thread hostThread([&] {
        for (int i = 0; !stop.load(std::memory_order_relaxed) && i < 20000; ++i) {
            sync->setFromHost((i & 1) ? 1.0 : 0.0);
            note->setFromHost(note->toNormalized(i % 32));
            time->setFromHost(double(i % 100) / 100.0);
        }
        note->setFromHost(note->toNormalized(11));
        sync->setFromHost(1.0);
    });
    for (int frame = 0; frame < 40; ++frame) o.window->frame();
    stop.store(true, std::memory_order_relaxed);
    hostThread.join();
    o.window->frame();
    EXPECT_EQ(l->text(), "3/4");
}

}  // namespace
