#include "kestrin/gui/kestringui.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "assets/kestrin_art.h"
#include "assets/kestrin_font_vera_bold.h"
#include "framework/client/boolparameter.h"
#include "framework/client/floatparameter.h"
#include "framework/client/integerparameter.h"
#include "framework/core/fatal.h"
#include "framework/flatwidgets/uifilmstripknob.h"
#include "framework/flatwidgets/uiimageswitch.h"
#include "framework/flatwidgets/uiwindowresizer.h"
#include "framework/graphics/pngdecode.h"
#include "kestrin/gui/editorlayout.h"
#include "kestrin/gui/flatslider.h"
#include "kestrin/gui/kestrinknob.h"
#include "kestrin/gui/kestrinknobtrail.h"
#include "kestrin/gui/kestrinparamlabel.h"
#include "kestrin/kestrin.h"
#include "tlmgui/enumbutton.h"
#include "tlmgui/knobtrail.h"
#include "tlmgui/paramlabel.h"

namespace kestrin {

namespace {

// Parameter indices of the client.
enum Param : int {
    delayL = 0, noteL, feedbackL, mixL, delayR, noteR, feedbackR, mixR, sync,
    highpass, lowpass, drive, gain, width, tempo, upsampleAmount
};

constexpr int kUpsampleButton = layout::upsampleButton;
constexpr int kResizer = layout::resizer;
static_assert(layout::kNumWidgets == KestrinGUI::kNumWidgets);

constexpr fw::RGBA kTrailColor{51, 68, 129, 255};
constexpr fw::RGBA kLabelColor{151, 150, 152, 255};
constexpr int kLabelTextSize = 10;

// The two arc styles: around the large knobs and around the small ones.
struct ArcStyle {
    float innerRadius;
    float outerRadius;
};
constexpr ArcStyle kArcLarge{0.69f, 0.82f};
constexpr ArcStyle kArcSmall{0.6f, 0.73f};

template <typename T>
T& typedParam(Kestrin& client, int index) {
    auto* p = dynamic_cast<T*>(client.param(index));
    if (p == nullptr) fw::fatalError("the editor's parameter layout does not match the client");
    return *p;
}

fw::OwnedImage<fw::RGBA> decodeArt(const char* name, const unsigned char* data, std::size_t size, int width,
                                   int height) {
    fw::OwnedImage<fw::RGBA> image = fw::loadEmbeddedPNG(name, data, size);
    if (image.width() != width || image.height() != height)
        fw::fatalError("an embedded picture of the editor has the wrong size");
    return image;
}

void styleArc(tlmgui::UIKnobTrail& arc, ArcStyle style) {
    arc.setCenterScale(1.0f);
    arc.setInnerRadius(style.innerRadius);
    arc.setOuterRadius(style.outerRadius);
    arc.setTrailColor(kTrailColor);
}

void styleLabel(tlmgui::UIParamLabel& label) {
    label.setTextSize(kLabelTextSize);
    label.setDecimals(0);
}

// roundf: halves away from zero.
int scaleCoordinate(int c, float s) noexcept { return int(std::roundf(float(c) * s)); }

}  // namespace

EditorAssets::EditorAssets() {
    // The thread writes only knobLarge, which nothing reads before the join.
    largeKnobDecoder_ = std::thread([this] {
        knobLarge = decodeArt("knob-large.png", assets::kArtKnobLarge, assets::kArtKnobLargeSize, 142,
                              142 * KestrinGUI::kKnobFrames);
    });
    font = std::make_unique<fw::Font>(assets::kVeraSansBold, assets::kVeraSansBoldSize);
    knobSmall = decodeArt("knob-small.png", assets::kArtKnobSmall, assets::kArtKnobSmallSize, 64,
                          64 * KestrinGUI::kKnobFrames);
    switchOff = decodeArt("switch-off.png", assets::kArtSwitchOff, assets::kArtSwitchOffSize, 104, 70);
    switchOn = decodeArt("switch-on.png", assets::kArtSwitchOn, assets::kArtSwitchOnSize, 104, 70);
    slider = decodeArt("slider.png", assets::kArtSlider, assets::kArtSliderSize, 62 * KestrinGUI::kSliderFrames,
                       514);
    upsample[0] = decodeArt("upsample-0.png", assets::kArtUpsample0, assets::kArtUpsample0Size, 162, 129);
    upsample[1] = decodeArt("upsample-1.png", assets::kArtUpsample1, assets::kArtUpsample1Size, 162, 129);
    upsample[2] = decodeArt("upsample-2.png", assets::kArtUpsample2, assets::kArtUpsample2Size, 162, 129);
    upsample[3] = decodeArt("upsample-3.png", assets::kArtUpsample3, assets::kArtUpsample3Size, 162, 129);
}

void EditorAssets::finishDecoding() {
    if (largeKnobDecoder_.joinable()) largeKnobDecoder_.join();
    largeKnobFrames = std::make_unique<fw::FilmstripCache>(knobLarge.toRef(), KestrinGUI::kKnobFrames);
    smallKnobFrames = std::make_unique<fw::FilmstripCache>(knobSmall.toRef(), KestrinGUI::kKnobFrames);
}

EditorAssets::~EditorAssets() {
    if (largeKnobDecoder_.joinable()) largeKnobDecoder_.join();
}

fw::SizeConstraints KestrinGUI::sizeConstraints() {
    return fw::SizeConstraints::makeDiscreteRatio(kDefaultWidth, kDefaultHeight,
                                                  {0.5f, 0.75f, 1.0f, 1.25f, 1.5f, 1.75f, 2.0f});
}

fw::Box KestrinGUI::designRect(int number) noexcept {
    return layout::rect(number);
}

fw::Box KestrinGUI::scaledRect(int number, int editorWidth) noexcept {
    const fw::Box d = designRect(number);
    const float s = float(editorWidth) / float(kDefaultWidth);
    return fw::Box{scaleCoordinate(d.minX, s), scaleCoordinate(d.minY, s), scaleCoordinate(d.maxX, s),
                   scaleCoordinate(d.maxY, s)};
}

KestrinGUI::KestrinGUI(Kestrin& client)
    : EditorAssets(),
      FlatBackgroundGUI(sizeConstraints(), "background-neumorphic.png", assets::kArtBackground,
                        assets::kArtBackgroundSize),
      client_(client) {
    finishDecoding();
    setUpdateMargin(0);
    fw::UIContext& c = context();

    auto& delayLP = typedParam<fw::FloatParameter>(client, delayL);
    auto& noteLP = typedParam<fw::IntegerParameter>(client, noteL);
    auto& delayRP = typedParam<fw::FloatParameter>(client, delayR);
    auto& noteRP = typedParam<fw::IntegerParameter>(client, noteR);
    auto& syncP = typedParam<fw::BoolParameter>(client, sync);
    auto floatParam = [&](int index) -> fw::FloatParameter& { return typedParam<fw::FloatParameter>(client, index); };

    int n = 0;
    auto add = [&](auto widget) {
        auto* raw = addChild(std::move(widget));
        widgets_[std::size_t(n++)] = raw;
        return raw;
    };
    auto largeKnob = [&](fw::Parameter& p) {
        add(std::make_unique<fw::UIFilmstripKnob>(c, p, *largeKnobFrames, kKnobSensitivity));
    };
    auto smallKnob = [&](fw::Parameter& p) {
        add(std::make_unique<fw::UIFilmstripKnob>(c, p, *smallKnobFrames, kKnobSensitivity));
    };
    auto arc = [&](fw::Parameter& p, ArcStyle style) { styleArc(*add(std::make_unique<tlmgui::UIKnobTrail>(c, p)), style); };
    auto label = [&](fw::FloatParameter& p) {
        styleLabel(*add(std::make_unique<tlmgui::UIParamLabel>(c, p, *font, kLabelColor)));
    };

    // Left delay line: knobs 1-3, arcs 4-6.
    add(std::make_unique<KestrinKnob>(c, delayLP, noteLP, syncP, *largeKnobFrames, kKnobSensitivity));
    largeKnob(floatParam(feedbackL));
    largeKnob(floatParam(mixL));
    styleArc(*add(std::make_unique<KestrinKnobTrail>(c, delayLP, noteLP, syncP)), kArcLarge);
    arc(floatParam(feedbackL), kArcLarge);
    arc(floatParam(mixL), kArcLarge);
    // Right delay line: knobs 7-9, arcs 10-12.
    add(std::make_unique<KestrinKnob>(c, delayRP, noteRP, syncP, *largeKnobFrames, kKnobSensitivity));
    largeKnob(floatParam(feedbackR));
    largeKnob(floatParam(mixR));
    styleArc(*add(std::make_unique<KestrinKnobTrail>(c, delayRP, noteRP, syncP)), kArcLarge);
    arc(floatParam(feedbackR), kArcLarge);
    arc(floatParam(mixR), kArcLarge);
    // Labels 13-18.
    styleLabel(*add(std::make_unique<KestrinParamLabel>(c, delayLP, noteLP, *font, syncP, kLabelColor)));
    styleLabel(*add(std::make_unique<KestrinParamLabel>(c, delayRP, noteRP, *font, syncP, kLabelColor)));
    label(floatParam(feedbackL));
    label(floatParam(feedbackR));
    label(floatParam(mixL));
    label(floatParam(mixR));
    // 19: the time-mode switch.
    add(std::make_unique<fw::UIImageSwitch>(c, syncP, switchOn.toRef(), switchOff.toRef()));
    // Filter and drive section: arcs 20-23, knobs 24-27, labels 28-31.
    for (int p : {highpass, lowpass, drive, gain}) arc(floatParam(p), kArcSmall);
    for (int p : {highpass, lowpass, drive, gain}) smallKnob(floatParam(p));
    for (int p : {highpass, lowpass, drive, gain}) label(floatParam(p));
    // 32-33: the width slider and its label.
    add(std::make_unique<UIFilmstripSlider>(c, floatParam(width), slider.toRef(), kSliderFrames, kSliderSensitivity,
                                            true));
    label(floatParam(width));
    // 34: the oversampling button, a 2 x 2 grid of states in the art's units
    // (two art pixels per unit).
    const fw::ImageRef<const fw::RGBA> states[4] = {upsample[0].toRef(), upsample[1].toRef(), upsample[2].toRef(),
                                                    upsample[3].toRef()};
    auto* button = add(std::make_unique<tlmgui::UIEnumButton>(
        c, typedParam<fw::IntegerParameter>(client, upsampleAmount), std::span<const fw::ImageRef<const fw::RGBA>>(states)));
    button->setScale(2.0f);
    const int w = button->w();
    const int h = button->h();
    button->addClickableArea(0, fw::Box{0, 0, w / 2, h / 2});
    button->addClickableArea(1, fw::Box{w / 2, 0, w / 2 + w, h / 2});
    button->addClickableArea(2, fw::Box{0, h / 2, w / 2, h / 2 + h});
    button->addClickableArea(3, fw::Box{w / 2, h / 2, w / 2 + w, h / 2 + h});
    // 35: the resize grip.
    add(std::make_unique<fw::UIWindowResizer>(c));
    if (n != kNumWidgets) fw::fatalError("the editor built the wrong number of widgets");
}

KestrinGUI::~KestrinGUI() = default;

void KestrinGUI::reflow() {
    const fw::Box root = position();
    const int W = root.width();
    const int H = root.height();
    const float s = float(W) / float(kDefaultWidth);
    for (int i = 1; i <= kUpsampleButton; ++i) {
        widgets_[std::size_t(i - 1)]->setPosition(scaledRect(i, W));
        if (i == kUpsampleButton) static_cast<tlmgui::UIEnumButton*>(widgets_[std::size_t(i - 1)])->setScale(s);
    }
    widgets_[kResizer - 1]->setPosition(fw::Box{W - kResizerSize, H - kResizerSize, W, H});
    // The value text scales with the editor: a fixed 10 pixels would overflow
    // the readouts at half size and shrink to a fifth of their height at 2x.
    const int textSize = std::max(1, scaleCoordinate(kLabelTextSize, s));
    for (int i : {13, 14, 15, 16, 17, 18, 28, 29, 30, 31, 33})
        static_cast<tlmgui::UIParamLabel*>(widgets_[std::size_t(i - 1)])->setTextSize(textSize);
}

fw::UIElement* KestrinGUI::widget(int number) const noexcept {
    if (number < 1 || number > kNumWidgets) return nullptr;
    return widgets_[std::size_t(number - 1)];
}

std::unique_ptr<fw::IGraphics> makeKestrinGUI(Kestrin& client) { return std::make_unique<KestrinGUI>(client); }

}  // namespace kestrin
