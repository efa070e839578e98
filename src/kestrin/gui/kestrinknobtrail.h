#pragma once
// KestrinKnobTrail: the arc around a delay-time knob. It shows the free time
// ("Delay L/R") normally and the note value ("Note L/R") while "Sync" is on,
// switching as soon as "Sync" changes.
//
// Threads: construction and destruction on the UI thread; the listeners run on
// whatever thread changed a parameter; drawing as UIKnobTrail.

#include "framework/client/boolparameter.h"
#include "framework/client/floatparameter.h"
#include "framework/client/integerparameter.h"
#include "framework/core/uncheckedmutex.h"
#include "kestrin/gui/changeforwarder.h"
#include "tlmgui/knobtrail.h"

namespace kestrin {

class KestrinKnobTrail : public tlmgui::UIKnobTrail {
public:
    // UI thread. Registers the sync listener with the three parameters (time,
    // note, sync, in that order) and the trail's own listener with the one shown
    // now. All three must outlive the trail.
    KestrinKnobTrail(fw::UIContext& context, fw::FloatParameter& timeParam, fw::IntegerParameter& noteParam,
                     fw::BoolParameter& syncParam);
    // UI thread. Removes both listeners from all three parameters.
    ~KestrinKnobTrail() override;

    // Any thread but the audio thread (reads "Sync" under its lock). The note
    // parameter while sync is on, the time parameter otherwise.
    virtual fw::Parameter& getCurrentParam() const noexcept;

    // Any thread. A change of "Sync" switches the parameter shown; any change
    // marks the trail dirty.
    void onParameterChanged(fw::Parameter& sender) noexcept override;

private:
    fw::FloatParameter& timeParam_;
    fw::IntegerParameter& noteParam_;
    fw::BoolParameter& syncParam_;
    // Hears the three parameters for the trail.
    ChangeForwarder<KestrinKnobTrail, &KestrinKnobTrail::onParameterChanged> syncListener_{*this};
    // Held while "Sync" is read and the shown parameter stored, so that of two
    // threads switching at once the later one, which read the newer value, wins.
    fw::UncheckedMutex switchMutex_;
};

}  // namespace kestrin
