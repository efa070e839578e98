#include "auhost/unitobservers.h"

namespace auhost {

HostResult EventObserver::create(AudioUnit unit, const std::vector<AudioUnitParameterID>& parameters,
                                 const std::vector<AudioUnitPropertyID>& properties, std::unique_ptr<EventObserver>& out) {
    std::unique_ptr<EventObserver> observer(new EventObserver());
    HostResult r = HostResult::check(
        AUEventListenerCreate(onEvent, observer.get(), CFRunLoopGetCurrent(), kCFRunLoopDefaultMode, 0, 0, &observer->listener_),
        "AUEventListenerCreate");
    if (!r) return r;
    for (AudioUnitParameterID id : parameters) {
        for (AudioUnitEventType type : {kAudioUnitEvent_BeginParameterChangeGesture, kAudioUnitEvent_ParameterValueChange,
                                        kAudioUnitEvent_EndParameterChangeGesture}) {
            AudioUnitEvent e{};
            e.mEventType = type;
            e.mArgument.mParameter = AudioUnitParameter{unit, id, kAudioUnitScope_Global, 0};
            r = HostResult::check(AUEventListenerAddEventType(observer->listener_, nullptr, &e), "adding a parameter event");
            if (!r) return r;
        }
    }
    for (AudioUnitPropertyID id : properties) {
        AudioUnitEvent e{};
        e.mEventType = kAudioUnitEvent_PropertyChange;
        e.mArgument.mProperty = AudioUnitProperty{unit, id, kAudioUnitScope_Global, 0};
        r = HostResult::check(AUEventListenerAddEventType(observer->listener_, nullptr, &e), "adding a property event");
        if (!r) return r;
    }
    out = std::move(observer);
    return HostResult::success();
}

EventObserver::~EventObserver() {
    if (listener_) AUListenerDispose(listener_);
}

void EventObserver::onEvent(void* userData, void*, const AudioUnitEvent* event, UInt64, AudioUnitParameterValue value) {
    auto* self = static_cast<EventObserver*>(userData);
    ObservedEvent e;
    e.type = event->mEventType;
    if (event->mEventType == kAudioUnitEvent_PropertyChange) {
        e.id = event->mArgument.mProperty.mPropertyID;
        e.scope = event->mArgument.mProperty.mScope;
        e.element = event->mArgument.mProperty.mElement;
    } else {
        e.id = event->mArgument.mParameter.mParameterID;
        e.scope = event->mArgument.mParameter.mScope;
        e.element = event->mArgument.mParameter.mElement;
        e.value = value;
    }
    std::lock_guard<std::mutex> lock(self->lock_);
    self->events_.push_back(e);
}

std::vector<ObservedEvent> EventObserver::events() const {
    std::lock_guard<std::mutex> lock(lock_);
    return events_;
}

void EventObserver::clear() {
    std::lock_guard<std::mutex> lock(lock_);
    events_.clear();
}

}  // namespace auhost
