#pragma once
// KestrinKnob: the knob of one delay line's time. It shows and edits the free
// time in milliseconds or the note value, whichever "Sync" selects, and
// switches over as soon as "Sync" changes (from the editor or the host).
//
// Threads: listener calls may come from any thread; they switch the shown
// parameter (one pointer store) and post a dirty rectangle. Everything else as
// UIFilmstripKnob.

#include "framework/client/boolparameter.h"
#include "framework/client/floatparameter.h"
#include "framework/client/integerparameter.h"
#include "framework/flatwidgets/uifilmstripknob.h"
#include "kestrin/gui/changeforwarder.h"

namespace kestrin {

class KestrinKnob : public fw::UIFilmstripKnob {
public:
    // UI thread. Borrows the frames shared with the other knobs of the strip.
    KestrinKnob(fw::UIContext& context, fw::FloatParameter& timeParam, fw::IntegerParameter& noteParam,
                fw::BoolParameter& syncParam, fw::FilmstripCache& sharedFrames, float sensitivity);
    // UI thread. Owns the frames of `strip` (borrowed; it must outlive the knob).
    KestrinKnob(fw::UIContext& context, fw::FloatParameter& timeParam, fw::IntegerParameter& noteParam,
                fw::BoolParameter& syncParam, fw::ImageRef<const fw::RGBA> strip, int numFrames,
                float sensitivity);
    // UI thread. Unregisters both listener facets from all three parameters.
    ~KestrinKnob() override;

    // ---- IParameterListener (any thread) ----
    void onParameterChanged(fw::Parameter& sender) noexcept override;
    void onBeginParameterEdit(fw::Parameter& sender) noexcept override;
    void onEndParameterEdit(fw::Parameter& sender) noexcept override;
    void onBeginParameterHover(fw::Parameter& sender) noexcept override;
    void onEndParameterHover(fw::Parameter& sender) noexcept override;

    // Any thread but the audio thread (reads "Sync" under its lock). The note
    // parameter when sync is on, else the time parameter.
    virtual fw::Parameter& getCurrentParam();

private:
    static fw::Parameter& currentOf(fw::FloatParameter& timeParam, fw::IntegerParameter& noteParam,
                                    fw::BoolParameter& syncParam) noexcept;
    void registerSyncListener();
    void parameterChanged(fw::Parameter& sender) noexcept;

    fw::FloatParameter& timeParam_;
    fw::IntegerParameter& noteParam_;
    fw::BoolParameter& syncParam_;
    // The second listener facet, registered with all three parameters so that
    // the knob hears of every change whichever parameter it shows.
    ChangeForwarder<KestrinKnob, &KestrinKnob::parameterChanged> syncListener_{*this};
};

}  // namespace kestrin
