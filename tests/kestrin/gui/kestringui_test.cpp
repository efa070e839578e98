// The editor's tree: what it builds, where reflow places it at every size,
// which parameter each widget follows, the "Sync" switch-over, and its
// listeners' lifetime and thread safety.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cmath>
#include <random>
#include <thread>

#include "editortestsupport.h"
#include "framework/graphics/pngdecode.h"
#include "gallery.h"
#include "framework/client/boolparameter.h"
#include "framework/client/nullhostcommand.h"
#include "framework/flatwidgets/uifilmstripknob.h"
#include "framework/flatwidgets/uiimageswitch.h"
#include "framework/flatwidgets/uiwindowresizer.h"
#include "kestrin/gui/flatslider.h"
#include "kestrin/gui/kestrinknob.h"
#include "kestrin/gui/kestrinknobtrail.h"
#include "kestrin/gui/kestrinparamlabel.h"
#include "tlmgui/enumbutton.h"
#include "tlmgui/knobtrail.h"
#include "tlmgui/paramlabel.h"

namespace {

using namespace editortest;
using kestrin::KestrinGUI;

constexpr int kWidths[] = {450, 675, 900, 1125, 1350, 1575, 1800};

template <typename T>
bool is(fw::UIElement* e) {
    return dynamic_cast<T*>(e) != nullptr;
}

TEST(KestrinEditorTree, BuildsTheWidgetsInTableOrder) {
    EditorSession s;
    KestrinGUI& g = s.editor();
    ASSERT_EQ(g.numChildren(), KestrinGUI::kNumWidgets);
    for (int n = 1; n <= KestrinGUI::kNumWidgets; ++n) {
        EXPECT_EQ(g.widget(n), g.child(n - 1)) << n;
        EXPECT_EQ(g.widget(n)->zOrder(), 0) << n;
    }
    for (int n : {1, 7}) EXPECT_TRUE(is<kestrin::KestrinKnob>(g.widget(n))) << n;
    for (int n : {2, 3, 8, 9, 24, 25, 26, 27}) {
        EXPECT_TRUE(is<fw::UIFilmstripKnob>(g.widget(n))) << n;
        EXPECT_FALSE(is<kestrin::KestrinKnob>(g.widget(n))) << n;
    }
    for (int n : {4, 10}) EXPECT_TRUE(is<kestrin::KestrinKnobTrail>(g.widget(n))) << n;
    for (int n : {5, 6, 11, 12, 20, 21, 22, 23}) {
        EXPECT_TRUE(is<tlmgui::UIKnobTrail>(g.widget(n))) << n;
        EXPECT_FALSE(is<kestrin::KestrinKnobTrail>(g.widget(n))) << n;
    }
    for (int n : {13, 14}) EXPECT_TRUE(is<kestrin::KestrinParamLabel>(g.widget(n))) << n;
    for (int n : {15, 16, 17, 18, 28, 29, 30, 31, 33}) {
        EXPECT_TRUE(is<tlmgui::UIParamLabel>(g.widget(n))) << n;
        EXPECT_FALSE(is<kestrin::KestrinParamLabel>(g.widget(n))) << n;
    }
    EXPECT_TRUE(is<fw::UIImageSwitch>(g.widget(19)));
    EXPECT_TRUE(is<kestrin::UIFilmstripSlider>(g.widget(32)));
    EXPECT_TRUE(is<tlmgui::UIEnumButton>(g.widget(34)));
    EXPECT_TRUE(is<fw::UIWindowResizer>(g.widget(35)));
    EXPECT_EQ(g.widget(0), nullptr);
    EXPECT_EQ(g.widget(36), nullptr);
}

TEST(KestrinEditorTree, OffersTheSevenSizesFromHalfToDouble) {
    EditorSession s;
    KestrinGUI& g = s.editor();
    EXPECT_TRUE(g.isResizeable());
    for (int w : kWidths) {
        int width = w + 7, height = w / 2 - 5;
        g.getNearestValidSize(&width, &height);
        EXPECT_EQ(width, w);
        EXPECT_EQ(height, int(std::lround(w / 2.0 + 0.001)));  // 675 x 338: halves round up
    }
    int tiny = 10, tinyH = 5;
    g.getNearestValidSize(&tiny, &tinyH);
    EXPECT_EQ(tiny, 450);
    int huge = 5000, hugeH = 2500;
    g.getNearestValidSize(&huge, &hugeH);
    EXPECT_EQ(huge, 1800);
}

TEST(KestrinEditorLayout, DesignSizeUsesTheDesignRectangles) {
    EditorSession s(900);
    for (int n = 1; n <= 34; ++n) EXPECT_EQ(s.editor().widget(n)->position(), KestrinGUI::designRect(n)) << n;
    EXPECT_EQ(s.editor().widget(1)->position(), (fw::Box{33, 162, 104, 233}));
}

TEST(KestrinEditorLayout, RoundsEveryCoordinateSeparatelyAtEverySize) {
    EditorSession s(900);
    for (int w : kWidths) {
        ASSERT_TRUE(s.resize(w)) << w;
        const double scale = w / 900.0;
        for (int n = 1; n <= 34; ++n) {
            const fw::Box d = KestrinGUI::designRect(n);
            const fw::Box p = s.editor().widget(n)->position();
            // Each edge is the nearest pixel to the scaled design edge (halves away from zero).
            const int design[4] = {d.minX, d.minY, d.maxX, d.maxY};
            const int placed[4] = {p.minX, p.minY, p.maxX, p.maxY};
            for (int k = 0; k < 4; ++k) {
                const double exact = design[k] * scale;
                EXPECT_LE(std::fabs(placed[k] - exact), 0.5) << "widget " << n << " at " << w;
                if (std::fabs(placed[k] - exact) == 0.5) {
                    EXPECT_GT(placed[k], exact) << n;
                }
            }
        }
        const fw::Box grip = s.editor().widget(35)->position();
        EXPECT_EQ(grip, (fw::Box{w - 30, s.window().height() - 30, w, s.window().height()})) << w;
    }
}

TEST(KestrinEditorLayout, HalfSizeRoundsEdgesApart) {
    EditorSession s(450);
    // 16.5 rounds to 17 and 116.5 to 117: the knob is 35 x 36 pixels, not 35.5 square.
    EXPECT_EQ(s.editor().widget(1)->position(), (fw::Box{17, 81, 52, 117}));
}

TEST(KestrinEditorLayout, WidthSliderReachesBelowTheEditor) {
    EditorSession s(900);
    EXPECT_EQ(s.editor().widget(32)->position().maxY, 479);
    // Only the visible part takes clicks: the window has no pixel below 450.
    EXPECT_EQ(s.window().height(), 450);
}

// A host-side change of parameter `index` makes exactly the widgets that show
// it post dirty rectangles; the next tick's dirty rectangle covers them.
TEST(KestrinEditorBindings, EveryWidgetFollowsItsParameter) {
    EditorSession s(900);
    // Which widgets show which parameter, with "Sync" off.
    const std::vector<std::vector<int>> widgetsOf = {
        // "Note L" and "Note R" are shown only while "Sync" is on, but the
        // tempo-aware widgets hear them (and "Sync") all the time.
        {1, 4, 13}, {1, 4, 13}, {2, 5, 15}, {3, 6, 17}, {7, 10, 14}, {7, 10, 14}, {8, 11, 16}, {9, 12, 18},
        {19, 1, 4, 13, 7, 10, 14},
        {20, 24, 28}, {21, 25, 29}, {22, 26, 30}, {23, 27, 31}, {32, 33}, {}, {34}};
    for (int index = 0; index < s.client().numParams(); ++index) {
        s.frame();
        fw::Parameter* p = s.client().param(index);
        const double before = p->getNormalized();
        p->setFromHost(before < 0.5 ? 1.0 : 0.0);
        const fw::Box dirty = s.window().tick();
        fw::Box expected;
        for (int n : widgetsOf[std::size_t(index)]) expected = expected.expand(s.editor().widget(n)->position());
        expected = expected.intersection(fw::Box{0, 0, 900, 450});
        if (expected.empty()) {
            EXPECT_TRUE(dirty.empty()) << p->name();
        } else {
            EXPECT_EQ(dirty, expected) << p->name();
        }
        s.window().paint();
        p->setFromHost(before);
    }
}

TEST(KestrinEditorSync, SwitchesTheTimeWidgetsToNoteValuesInOneFrame) {
    EditorSession s(900);
    s.client().param(1)->setFromHost(s.client().param(1)->normalizedFromPlain(3));    // Note L: 1/4
    s.client().param(5)->setFromHost(s.client().param(5)->normalizedFromPlain(23));   // Note R: 1 & 1/2
    s.frame();
    auto& g = s.editor();
    auto* labelL = dynamic_cast<kestrin::KestrinParamLabel*>(g.widget(13));
    auto* labelR = dynamic_cast<kestrin::KestrinParamLabel*>(g.widget(14));
    auto* knobL = dynamic_cast<kestrin::KestrinKnob*>(g.widget(1));
    auto* knobR = dynamic_cast<kestrin::KestrinKnob*>(g.widget(7));
    auto* trailL = dynamic_cast<kestrin::KestrinKnobTrail*>(g.widget(4));
    auto* trailR = dynamic_cast<kestrin::KestrinKnobTrail*>(g.widget(10));
    ASSERT_TRUE(labelL && labelR && knobL && knobR && trailL && trailR);
    EXPECT_EQ(labelL->text(), "1000 ms");
    EXPECT_EQ(knobL->getCurrentParam().index(), 0);
    EXPECT_EQ(trailR->getCurrentParam().index(), 4);

    s.client().param(8)->setFromHost(1.0);
    s.frame();
    EXPECT_EQ(labelL->text(), "1/4");
    EXPECT_EQ(labelR->text(), "1 & 1/2");
    EXPECT_EQ(knobL->getCurrentParam().index(), 1);
    EXPECT_EQ(trailL->getCurrentParam().index(), 1);
    EXPECT_EQ(knobR->getCurrentParam().index(), 5);
    EXPECT_EQ(trailR->getCurrentParam().index(), 5);

    // That one frame shows exactly what an editor opened with "Sync" on shows.
    EditorSession fresh(900);
    for (int i : {1, 5, 8}) fresh.client().param(i)->setFromHost(s.client().param(i)->getNormalized());
    fresh.frame();
    EXPECT_TRUE(std::equal(&s.screen().at(0, 0), &s.screen().at(0, 0) + 900 * 450, &fresh.screen().at(0, 0),
                           [](fw::RGBA a, fw::RGBA b) { return a == b; }));

    s.client().param(8)->setFromHost(0.0);
    s.frame();
    EXPECT_EQ(labelL->text(), "1000 ms");
    EXPECT_EQ(knobL->getCurrentParam().index(), 0);
}

TEST(KestrinEditorLifetime, LeavesNoListenerBehind) {
    auto client = fw::makeClient<kestrin::Kestrin>();
    fw::NullHostCommand host;
    client->setHostCommand(&host);
    std::vector<int> before;
    for (const auto& p : client->params()) before.push_back(p->numListeners());
    {
        KestrinGUI gui(*client);
        int added = 0;
        for (int i = 0; i < client->numParams(); ++i) added += client->param(i)->numListeners() - before[std::size_t(i)];
        EXPECT_GT(added, 34);
    }
    for (int i = 0; i < client->numParams(); ++i) {
        fw::Parameter* p = client->param(i);
        EXPECT_EQ(p->numListeners(), before[std::size_t(i)]) << p->name();
        // A dangling listener would be called here (AddressSanitizer reports it).
        p->setFromHost(0.25);
        p->beginParamEdit();
        p->endParamEdit();
        p->beginParamHover();
        p->endParamHover();
    }
}

// Host automation on another thread while the editor paints and resizes: no
// crash, no race (ThreadSanitizer), and once the automation stops one frame
// shows exactly what a fresh editor shows for the same values.
TEST(KestrinEditorThreads, HostAutomationWhilePaintingAndResizing) {
    EditorSession s(900);
    std::atomic<bool> stop{false};
    std::thread host([&] {
        std::mt19937 rng(7);
        std::uniform_int_distribution<int> which(0, s.client().numParams() - 1);
        std::uniform_real_distribution<double> value(0.0, 1.0);
        while (!stop.load(std::memory_order_relaxed)) s.client().setParameterFromHost(which(rng), float(value(rng)));
    });
    const int sizes[] = {900, 1350, 450, 1800, 675, 900};
    for (int round = 0; round < 3; ++round)
        for (int w : sizes) {
            ASSERT_TRUE(s.resize(w));
            for (int f = 0; f < 3; ++f) s.frame();
        }
    stop.store(true, std::memory_order_relaxed);
    host.join();
    s.frame();

    EditorSession fresh(900);
    for (int i = 0; i < s.client().numParams(); ++i)
        fresh.client().param(i)->setFromHost(s.client().param(i)->getNormalized());
    fresh.frame();
    ASSERT_EQ(s.screen().w, fresh.screen().w);
    long long differing = 0;
    for (int y = 0; y < 450; ++y)
        for (int x = 0; x < 900; ++x) differing += !(s.screen().at(x, y) == fresh.screen().at(x, y));
    EXPECT_EQ(differing, 0);
}

}  // namespace

namespace {

// The gallery shows every widget in a cell of its own: each cell's well holds
// something other than the well colour, except the box, whose mask is empty.
TEST(EditorGallery, ShowsAWidgetInEveryCell) {
    const std::string path = ::testing::TempDir() + "kestrin-gallery.png";
    ASSERT_TRUE(editorshot::writeGallery(path.c_str()));
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<std::uint8_t> bytes;
    for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(std::uint8_t(c));
    std::fclose(f);
    fw::OwnedImage<fw::RGBA> image;
    ASSERT_TRUE(fw::decodePNG(bytes.data(), bytes.size(), image));
    ASSERT_EQ(image.width(), 1200);
    ASSERT_EQ(image.height(), 680);
    const fw::RGBA well = image.at(10, 10);  // a corner of the first well
    int showing = 0;
    for (int cell = 0; cell < 20; ++cell) {
        const int x0 = (cell % 6) * 200 + 8, y0 = (cell / 6) * 170 + 8;
        bool differs = false;
        for (int y = y0; y < y0 + 130 && !differs; ++y)
            for (int x = x0; x < x0 + 184 && !differs; ++x) differs = !(image.at(x, y) == well);
        showing += differs;
    }
    EXPECT_EQ(showing, 19);
    std::remove(path.c_str());
}

}  // namespace
