#include "kestrin/gui/kestrinknobtrail.h"

#include <mutex>

namespace kestrin {

// The base constructor registers the trail's own listener with the parameter
// shown at construction (getCurrentParam's choice, made before the members it
// reads exist); the sync listener then hears all three from here on.
KestrinKnobTrail::KestrinKnobTrail(fw::UIContext& context, fw::FloatParameter& timeParam,
                                   fw::IntegerParameter& noteParam, fw::BoolParameter& syncParam)
    : UIKnobTrail(context, syncParam.getNormalized() >= 0.5 ? static_cast<fw::Parameter&>(noteParam) : timeParam),
      timeParam_(timeParam),
      noteParam_(noteParam),
      syncParam_(syncParam) {
    timeParam_.addListener(&syncListener_);
    noteParam_.addListener(&syncListener_);
    syncParam_.addListener(&syncListener_);
}

KestrinKnobTrail::~KestrinKnobTrail() {
    for (fw::Parameter* p : {static_cast<fw::Parameter*>(&timeParam_), static_cast<fw::Parameter*>(&noteParam_),
                             static_cast<fw::Parameter*>(&syncParam_)}) {
        p->removeListener(&syncListener_);
        p->removeListener(this);
    }
}

fw::Parameter& KestrinKnobTrail::getCurrentParam() const noexcept {
    // getNormalized reads the value under the parameter's lock.
    if (syncParam_.getNormalized() >= 0.5) return noteParam_;
    return timeParam_;
}

void KestrinKnobTrail::onParameterChanged(fw::Parameter& sender) noexcept {
    if (sender.index() == syncParam_.index()) {
        std::lock_guard<fw::UncheckedMutex> lock(switchMutex_);
        setShownParameter(getCurrentParam());
    }
    setDirtyWhole();
}

}  // namespace kestrin
