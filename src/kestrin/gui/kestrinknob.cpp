#include "kestrin/gui/kestrinknob.h"

namespace kestrin {

KestrinKnob::KestrinKnob(fw::UIContext& context, fw::FloatParameter& timeParam, fw::IntegerParameter& noteParam,
                         fw::BoolParameter& syncParam, fw::FilmstripCache& sharedFrames, float sensitivity)
    : UIFilmstripKnob(context, currentOf(timeParam, noteParam, syncParam), sharedFrames, sensitivity),
      timeParam_(timeParam),
      noteParam_(noteParam),
      syncParam_(syncParam) {
    registerSyncListener();
}

KestrinKnob::KestrinKnob(fw::UIContext& context, fw::FloatParameter& timeParam, fw::IntegerParameter& noteParam,
                         fw::BoolParameter& syncParam, fw::ImageRef<const fw::RGBA> strip, int numFrames,
                         float sensitivity)
    : UIFilmstripKnob(context, currentOf(timeParam, noteParam, syncParam), strip, numFrames, sensitivity),
      timeParam_(timeParam),
      noteParam_(noteParam),
      syncParam_(syncParam) {
    registerSyncListener();
}

KestrinKnob::~KestrinKnob() {
    // Removing a listener that is not registered does nothing, so the base
    // facet can be removed from all three whichever one it was registered with.
    fw::Parameter* params[] = {&timeParam_, &noteParam_, &syncParam_};
    for (fw::Parameter* p : params) {
        p->removeListener(&syncListener_);
        p->removeListener(this);
    }
}

void KestrinKnob::registerSyncListener() {
    timeParam_.addListener(&syncListener_);
    noteParam_.addListener(&syncListener_);
    syncParam_.addListener(&syncListener_);
}

fw::Parameter& KestrinKnob::currentOf(fw::FloatParameter& timeParam, fw::IntegerParameter& noteParam,
                                      fw::BoolParameter& syncParam) noexcept {
    // getNormalized reads the value under the parameter's lock.
    if (syncParam.getNormalized() >= 0.5) return noteParam;
    return timeParam;
}

fw::Parameter& KestrinKnob::getCurrentParam() { return currentOf(timeParam_, noteParam_, syncParam_); }

void KestrinKnob::parameterChanged(fw::Parameter& sender) noexcept {
    if (sender.index() == syncParam_.index()) setShownParameter(getCurrentParam());
    setDirtyWhole(fw::UILayer::fromFlags);
}

void KestrinKnob::onParameterChanged(fw::Parameter& sender) noexcept { parameterChanged(sender); }
void KestrinKnob::onBeginParameterEdit(fw::Parameter&) noexcept {}
void KestrinKnob::onEndParameterEdit(fw::Parameter&) noexcept {}
void KestrinKnob::onBeginParameterHover(fw::Parameter&) noexcept {}
void KestrinKnob::onEndParameterHover(fw::Parameter&) noexcept {}

}  // namespace kestrin
