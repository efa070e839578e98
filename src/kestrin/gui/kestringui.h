#pragma once
// KestrinGUI: the plug-in's editor. A flat editor: the background art carries
// every caption and recess, and 35 widgets drawn over it show and edit the
// parameters — six large knobs with their value arcs and labels for the two
// delay lines (the length controls follow "Sync" between milliseconds and note
// values), the "Sync" switch, four small knobs for the filters, drive and gain,
// the "Width" slider, the 2 x 2 "Upsample Amount" button and the resize grip.
//
// The layout is given in design units of a 900 x 450 editor; reflow scales
// every coordinate by the editor width / 900, rounded separately, for any of
// the seven sizes from 450 x 225 to 1800 x 900. The art is drawn at 1800 x 900.
//
// Threads: constructed, laid out and destroyed on the UI thread; the widgets'
// parameter listeners run on whatever thread changed a parameter and only
// post dirty rectangles (or swap the parameter a tempo-aware widget shows).

#include <array>
#include <memory>
#include <thread>

#include "framework/flatwidgets/filmstripcache.h"
#include "framework/flatwidgets/flatbackgroundgui.h"
#include "framework/graphics/font.h"
#include "framework/graphics/image.h"
#include "framework/math/box.h"

namespace kestrin {

class Kestrin;

// The font and the art the widgets borrow, decoded. A base of the editor (and
// of the widget gallery) constructed before the widget tree and destroyed
// after it, so that nothing a widget borrows goes away while the widget exists.
struct EditorAssets {
    // Starts decoding the largest picture, the big knobs' strip, on a thread of
    // its own while the rest (and the background, in the editor base) decode
    // on the calling thread; finishDecoding waits for it.
    EditorAssets();
    ~EditorAssets();
    // UI thread, before any widget is made. Joins the decoding thread and
    // makes the frame caches.
    void finishDecoding();

    std::unique_ptr<fw::Font> font;
    fw::OwnedImage<fw::RGBA> knobLarge;
    fw::OwnedImage<fw::RGBA> knobSmall;
    fw::OwnedImage<fw::RGBA> switchOff;
    fw::OwnedImage<fw::RGBA> switchOn;
    fw::OwnedImage<fw::RGBA> slider;
    std::array<fw::OwnedImage<fw::RGBA>, 4> upsample;
    // One rescaled frame cache per strip, shared by the knobs of that strip.
    std::unique_ptr<fw::FilmstripCache> largeKnobFrames;
    std::unique_ptr<fw::FilmstripCache> smallKnobFrames;

private:
    std::thread largeKnobDecoder_;
};
class KestrinGUI final : private EditorAssets, public fw::FlatBackgroundGUI {
public:
    static constexpr int kDefaultWidth = 900;
    static constexpr int kDefaultHeight = 450;
    static constexpr int kNumWidgets = 35;
    static constexpr int kKnobFrames = 260;
    static constexpr int kSliderFrames = 62;
    static constexpr float kKnobSensitivity = 0.25f;
    static constexpr float kSliderSensitivity = 0.7f;
    static constexpr int kResizerSize = 30;

    // Any thread. Seven sizes, 0.5x to 2x of 900 x 450.
    static fw::SizeConstraints sizeConstraints();
    // Any thread. The design rectangle of widget `number` (1 to 34), in units
    // of the 900 x 450 editor; empty for other numbers.
    static fw::Box designRect(int number) noexcept;
    // Any thread. The rectangle of widget `number` (1 to 34) in an editor
    // `editorWidth` pixels wide: every coordinate scaled and rounded on its own.
    static fw::Box scaledRect(int number, int editorWidth) noexcept;

    // UI thread. Builds the whole tree; the art is part of the program, so a
    // picture that does not decode is a fatal error naming it.
    explicit KestrinGUI(Kestrin& client);
    ~KestrinGUI() override;

    // UI thread. Places every widget for the current size.
    void reflow() override;

    // UI thread (tests, tools). Widget `number` (1 to 35) in creation order;
    // null for other numbers.
    fw::UIElement* widget(int number) const noexcept;
    Kestrin& client() const noexcept { return client_; }

private:
    Kestrin& client_;
    std::array<fw::UIElement*, kNumWidgets> widgets_{};
};

// UI thread. The editor of `client`, for Kestrin's createGraphics.
std::unique_ptr<fw::IGraphics> makeKestrinGUI(Kestrin& client);

}  // namespace kestrin
