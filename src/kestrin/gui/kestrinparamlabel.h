#pragma once
// KestrinParamLabel: the label under a delay-time knob. It shows the free time
// in milliseconds ("1000 ms") normally and the note value's label ("1/4",
// "1 & 1/2", no unit) while "Sync" is on.
//
// Threads: as UIParamLabel; the sync listener runs on whatever thread changed
// the note or sync parameter.

#include "framework/client/boolparameter.h"
#include "framework/client/integerparameter.h"
#include "kestrin/gui/changeforwarder.h"
#include "tlmgui/paramlabel.h"

namespace kestrin {

class KestrinParamLabel : public tlmgui::UIParamLabel {
public:
    static constexpr fw::RGBA kInitialTextColor{220, 220, 220, 255};

    // UI thread. Registers the label with the time parameter and the sync
    // listener with the note and then the sync parameter; all three and the font
    // must outlive the label.
    KestrinParamLabel(fw::UIContext& context, fw::FloatParameter& timeParam, fw::IntegerParameter& noteParam,
                      fw::Font& font, fw::BoolParameter& syncParam, fw::RGBA textColor);
    // UI thread. Removes the sync listener from the note and sync parameters
    // (the base removes the label's own from the time parameter).
    ~KestrinParamLabel() override;

    // Any thread; rebuilds the text and posts a dirty rectangle, whichever
    // parameter changed.
    void onParameterChanged(fw::Parameter& sender) noexcept override;
    // UI thread; only for a label created with isAnimated (the editor never does).
    void onAnimate(double dt, double time) override;
    // Paint pool thread; the base's drawing.
    void onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) override;

protected:
    // With the text lock held. The note label while sync is on, else the time.
    std::size_t paramString(std::span<char, kTextCapacity> buffer) const noexcept override;

private:
    fw::IntegerParameter& noteParam_;
    fw::BoolParameter& syncParam_;
    // Hears the note and "Sync" parameters for the label.
    ChangeForwarder<KestrinParamLabel, &KestrinParamLabel::onParameterChanged> syncListener_{*this};
};

}  // namespace kestrin
