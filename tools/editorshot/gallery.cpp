#include "gallery.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "framework/client/boolparameter.h"
#include "framework/client/floatparameter.h"
#include "framework/client/integerparameter.h"
#include "framework/client/nullhostcommand.h"
#include "framework/flatwidgets/uifilmstripknob.h"
#include "framework/flatwidgets/uiimageswitch.h"
#include "framework/flatwidgets/uiwindowresizer.h"
#include "framework/graphics/draw.h"
#include "framework/graphics/pngencode.h"
#include "framework/gui/guigraphics.h"
#include "framework/window/offscreenwindow.h"
#include "kestrin/gui/flatslider.h"
#include "kestrin/gui/kestrinknob.h"
#include "kestrin/gui/kestrinknobtrail.h"
#include "kestrin/gui/kestrinparamlabel.h"
#include "kestrin/gui/kestringui.h"
#include "kestrin/gui/slider.h"
#include "kestrin/kestrin.h"
#include "tlmgui/animatedbutton.h"
#include "tlmgui/bitmap.h"
#include "tlmgui/box.h"
#include "tlmgui/debugwindow.h"
#include "tlmgui/displaypanel.h"
#include "tlmgui/enumbutton.h"
#include "tlmgui/epiccompdisplay.h"
#include "tlmgui/fftdisplay.h"
#include "tlmgui/floatlabel.h"
#include "tlmgui/imagelogo.h"
#include "tlmgui/knobtrail.h"
#include "tlmgui/paramlabel.h"
#include "tlmgui/paramlinker.h"

namespace editorshot {

namespace {

using fw::Box;
using fw::RGBA;

constexpr int kColumns = 6;
constexpr int kCellW = 200;
constexpr int kCellH = 170;
constexpr int kCaptionH = 26;
constexpr int kRows = 4;
constexpr int kWidth = kColumns * kCellW;
constexpr int kHeight = kRows * kCellH;

constexpr RGBA kPanel{226, 230, 237, 255};
constexpr RGBA kCellBack{214, 219, 228, 255};
constexpr RGBA kCaption{70, 76, 92, 255};

// Sample pictures for the widgets that show arbitrary images.
fw::OwnedImage<RGBA> roundedTile(int w, int h, RGBA color) {
    fw::OwnedImage<RGBA> img(w, h);
    img.fillAll(RGBA{});
    const float r = float(std::min(w, h)) * 0.2f;
    fw::aaFillRectFloat(img.toRef(), r, 0.0f, float(w) - r, float(h), color);
    fw::aaFillRectFloat(img.toRef(), 0.0f, r, float(w), float(h) - r, color);
    for (float cx : {r, float(w) - r - 1})
        for (float cy : {r, float(h) - r - 1}) fw::aaSoftDisc(img.toRef(), cx, cy, r, r, color);
    return img;
}

fw::OwnedImage<RGBA> disc(int size, RGBA color) {
    fw::OwnedImage<RGBA> img(size, size);
    img.fillAll(RGBA{});
    const float c = float(size - 1) * 0.5f;
    fw::aaSoftDisc(img.toRef(), c, c, c - 1.0f, c, color);
    return img;
}

// Everything the widgets borrow; a base of the gallery, so it outlives them.
struct GalleryAssets : kestrin::EditorAssets {
    GalleryAssets() {
        finishDecoding();
        tileIdle = roundedTile(96, 40, RGBA{92, 104, 140, 255});
        tileHover = roundedTile(96, 40, RGBA{112, 126, 170, 255});
        tilePress = roundedTile(96, 40, RGBA{51, 68, 129, 255});
        linkOff = disc(40, RGBA{160, 166, 180, 255});
        linkOn = disc(40, RGBA{51, 68, 129, 255});
        logo = roundedTile(120, 48, RGBA{51, 68, 129, 255});
        bitmap = disc(80, RGBA{82, 95, 215, 200});
        handle = roundedTile(40, 22, RGBA{240, 242, 246, 255});
        levelMask = roundedTile(24, 120, RGBA{255, 255, 255, 255});
    }
    fw::OwnedImage<RGBA> tileIdle, tileHover, tilePress, linkOff, linkOn, logo, bitmap, handle, levelMask;
};

// A launcher that opens nothing: the gallery is a picture.
class NoLauncher final : public tlmgui::IProcessLauncher {
public:
    bool launch(std::span<const char* const>) noexcept override { return true; }
};

class Gallery final : private GalleryAssets, public fw::GUIGraphics {
public:
    explicit Gallery(kestrin::Kestrin& client)
        : GUIGraphics(fw::SizeConstraints::makeDiscreteRatio(kWidth, kHeight, {1.0f}),
                      fw::UIFlags::drawsRaw | fw::UIFlags::isAnimated) {
        disableLighting();
        fw::UIContext& c = context();
        auto fp = [&](int i) -> fw::FloatParameter& { return *dynamic_cast<fw::FloatParameter*>(client.param(i)); };
        auto ip = [&](int i) -> fw::IntegerParameter& { return *dynamic_cast<fw::IntegerParameter*>(client.param(i)); };
        auto& sync = *dynamic_cast<fw::BoolParameter*>(client.param(8));
        constexpr RGBA kLabel{151, 150, 152, 255};

        // Row 1: the editor's own widgets.
        cell("UIFilmstripKnob + UIKnobTrail", [&](Box r) {
            place(std::make_unique<fw::UIFilmstripKnob>(c, fp(2), *largeKnobFrames, 0.25f), centred(r, 71, 71));
            auto* t = place(std::make_unique<tlmgui::UIKnobTrail>(c, fp(2)), centred(r, 111, 111));
            t->setCenterScale(1.0f);
            t->setInnerRadius(0.69f);
            t->setOuterRadius(0.82f);
            t->setTrailColor(RGBA{51, 68, 129, 255});
        });
        cell("KestrinKnob + KestrinKnobTrail", [&](Box r) {
            place(std::make_unique<kestrin::KestrinKnob>(c, fp(4), ip(5), sync, *largeKnobFrames, 0.25f),
                  centred(r, 71, 71));
            auto* t = place(std::make_unique<kestrin::KestrinKnobTrail>(c, fp(4), ip(5), sync), centred(r, 111, 111));
            t->setInnerRadius(0.69f);
            t->setOuterRadius(0.82f);
            t->setTrailColor(RGBA{51, 68, 129, 255});
        });
        cell("UIParamLabel, KestrinParamLabel", [&](Box r) {
            place(std::make_unique<tlmgui::DisplayPanel>(c, RGBA{32, 35, 45, 255}),
                  Box::rectangle(r.minX + 25, r.minY + 35, 150, 64));
            place(std::make_unique<tlmgui::UIParamLabel>(c, fp(9), *font, kLabel), Box::rectangle(r.minX + 25, r.minY + 40, 150, 24));
            place(std::make_unique<kestrin::KestrinParamLabel>(c, fp(0), ip(1), *font, sync, kLabel),
                  Box::rectangle(r.minX + 25, r.minY + 70, 150, 24));
        });
        cell("UIImageSwitch", [&](Box r) {
            place(std::make_unique<fw::UIImageSwitch>(c, sync, switchOn.toRef(), switchOff.toRef()), centred(r, 52, 36));
        });
        cell("UIEnumButton", [&](Box r) {
            const fw::ImageRef<const RGBA> states[4] = {upsample[0], upsample[1], upsample[2], upsample[3]};
            place(std::make_unique<tlmgui::UIEnumButton>(c, ip(15), std::span<const fw::ImageRef<const RGBA>>(states)),
                  centred(r, 81, 64));
        });
        cell("UIFilmstripSlider (Width)", [&](Box r) {
            place(std::make_unique<kestrin::UIFilmstripSlider>(c, fp(13), slider.toRef(), 62, 0.7f, true),
                  Box::rectangle(r.minX + 85, r.minY + 4, 31, 128));
        });

        // Row 2: displays.
        cell("FFTDisplay", [&](Box r) {
            auto* d = place(std::make_unique<tlmgui::FFTDisplay>(c), centred(r, 160, 100));
            d->initialize(160, 100, RGBA{40, 224, 59, 255});
        });
        cell("SingleDisplay", [&](Box r) {
            auto* d = place(std::make_unique<tlmgui::SingleDisplay>(c, levelMask.toRef()), centred(r, 24, 120));
            d->initialize(24, 120, RGBA{82, 95, 215, 255});
            d->setValue(0.7f, 6.0f);
        });
        cell("EpicCompDisplay", [&](Box r) {
            auto* d = place(std::make_unique<tlmgui::EpicCompDisplay>(c, fp(12), fp(3), fp(11)), centred(r, 160, 120));
            d->setInput(0.6f);
        });
        cell("DebugWindow", [&](Box r) {
            auto* d = place(std::make_unique<tlmgui::DebugWindow>(c, *font), centred(r, 180, 120));
            d->addParameter(fp(0), "Delay L");
            d->addParameter(fp(2), "Feedback L");
            d->addParameter(*client.param(8), "Sync");
        });
        cell("UISlider + UISliderHandle", [&](Box r) {
            place(std::make_unique<kestrin::UISlider>(c, fp(7)), Box::rectangle(r.minX + 88, r.minY + 4, 24, 130));
            place(std::make_unique<kestrin::UISliderHandle>(c, fp(7), handle.toRef(), 0.5f),
                  Box::rectangle(r.minX + 80, r.minY + 4, 40, 130));
        });
        cell("FloatLabel", [&](Box r) {
            auto* l = place(std::make_unique<tlmgui::FloatLabel>(c, *font, 14.0f, 0.5f, kCaption, "dB"),
                            centred(r, 160, 30));
            l->setFloat(-3.25f);
        });

        // Row 3: images, fills and buttons.
        cell("UIBitmap", [&](Box r) { place(std::make_unique<tlmgui::UIBitmap>(c, bitmap.toRef()), centred(r, 80, 80)); });
        cell("UIImageLogo", [&](Box r) {
            place(std::make_unique<tlmgui::UIImageLogo>(c, logo.toRef(), "https://example.org/", &launcher_),
                  centred(r, 120, 48));
        });
        cell("UIBox", [&](Box r) {
            place(std::make_unique<tlmgui::UIBox>(c, RGBA{51, 68, 129, 160}), centred(r, 140, 80));
        });
        cell("DisplayPanel", [&](Box r) {
            place(std::make_unique<tlmgui::DisplayPanel>(c, RGBA{32, 35, 45, 255}), centred(r, 140, 60));
        });
        cell("ParamLinker", [&](Box r) {
            place(std::make_unique<tlmgui::ParamLinker>(c, sync, linkOff.toRef(), linkOn.toRef(), false, true),
                  centred(r, 40, 40));
        });
        cell("AnimatedButton", [&](Box r) {
            place(std::make_unique<tlmgui::AnimatedButton>(c, tileIdle.toRef(), tileHover.toRef(), tilePress.toRef(),
                                                           nullptr),
                  centred(r, 96, 40));
        });

        // Row 4: the small knob and the grip.
        cell("UIFilmstripKnob (small)", [&](Box r) {
            place(std::make_unique<fw::UIFilmstripKnob>(c, fp(10), *smallKnobFrames, 0.25f), centred(r, 48, 48));
            auto* t = place(std::make_unique<tlmgui::UIKnobTrail>(c, fp(10)), centred(r, 88, 88));
            t->setInnerRadius(0.6f);
            t->setOuterRadius(0.73f);
            t->setTrailColor(RGBA{51, 68, 129, 255});
        });
        cell("UIWindowResizer", [&](Box r) { place(std::make_unique<fw::UIWindowResizer>(c), centred(r, 30, 30)); });
    }

    // The panel, every cell's well and its caption.
    void onDrawRaw(fw::ImageRef<RGBA> layer, const fw::Vec<Box>& rects) override {
        for (const Box& d : rects) {
            fw::ImageRef<RGBA> part = layer.cropImageRef(d);
            fw::fillRectFloat(part, 0, 0, part.w, part.h, kPanel);
            for (std::size_t i = 0; i < captions_.size(); ++i) {
                const Box cellBox = cellRect(int(i)).translate(-d.minX, -d.minY);
                fw::fillRectFloat(part, cellBox.minX + 6, cellBox.minY + 6, cellBox.maxX - 6,
                                  cellBox.maxY - kCaptionH, kCellBack);
                fw::fillText(part, *font, captions_[i], 11.0f, 0.3f, kCaption, float(cellBox.minX + kCellW / 2),
                             float(cellBox.maxY - kCaptionH / 2), fw::HorizontalAlignment::center,
                             fw::VerticalAlignment::center);
            }
        }
    }

private:
    static Box cellRect(int i) { return Box::rectangle((i % kColumns) * kCellW, (i / kColumns) * kCellH, kCellW, kCellH); }
    static Box centred(Box r, int w, int h) {
        const int cy = r.minY + (r.height() - kCaptionH) / 2;
        return Box::rectangle(r.minX + (r.width() - w) / 2, cy - h / 2, w, h);
    }
    template <typename Build>
    void cell(const char* caption, Build&& build) {
        const Box r = cellRect(int(captions_.size()));
        captions_.push_back(caption);
        build(r);
    }
    // Placed at once: the gallery's layout never changes.
    template <typename T>
    T* place(std::unique_ptr<T> w, Box at) {
        T* raw = addChild(std::move(w));
        raw->setPosition(at);
        return raw;
    }

    std::vector<std::string> captions_;
    NoLauncher launcher_;
};

}  // namespace

fw::Status writeGallery(const char* path) {
    auto client = fw::makeClient<kestrin::Kestrin>();
    fw::NullHostCommand host;
    client->setHostCommand(&host);
    // Sample values away from the defaults, so every widget shows something.
    client->param(2)->setFromHost(0.65);
    client->param(7)->setFromHost(0.4);
    client->param(10)->setFromHost(0.3);
    client->param(15)->setFromHost(client->param(15)->normalizedFromPlain(2));
    Gallery gallery(*client);
    fw::OffscreenWindowFactory factory;
    gallery.setWindowFactory(&factory);
    gallery.openUI(nullptr, nullptr, client.get(), fw::GraphicsBackend::autodetect);
    fw::OffscreenWindow* window = factory.lastWindow();
    if (window == nullptr) return fw::Status::failure("the gallery opened no window");
    window->frame();
    const fw::Status s = fw::writePNGFile(path, window->screen());
    gallery.closeUI();
    return s;
}

}  // namespace editorshot
