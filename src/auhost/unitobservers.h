#pragma once
// EventObserver: what a host's automation lane and UI see of a unit. It listens
// with AUEventListener for begin-gesture, value-change and end-gesture events of
// the chosen parameters and for changes of the chosen properties, and records
// them in arrival order. Events arrive synchronously on the thread that caused
// them; the record is guarded by a mutex, so any thread may read it.

#include "auhost/hostresult.h"

#include <AudioToolbox/AudioToolbox.h>

#include <memory>
#include <mutex>
#include <vector>

namespace auhost {

struct ObservedEvent {
    AudioUnitEventType type = kAudioUnitEvent_ParameterValueChange;
    UInt32 id = 0;  // parameter id, or property id for kAudioUnitEvent_PropertyChange
    AudioUnitScope scope = 0;
    AudioUnitElement element = 0;
    AudioUnitParameterValue value = 0;  // the parameter's value when the event arrived
};

class EventObserver {
public:
    // Host thread. Parameters and properties are watched in global scope, element 0.
    static HostResult create(AudioUnit unit, const std::vector<AudioUnitParameterID>& parameters,
                             const std::vector<AudioUnitPropertyID>& properties, std::unique_ptr<EventObserver>& out);
    ~EventObserver();
    EventObserver(const EventObserver&) = delete;
    EventObserver& operator=(const EventObserver&) = delete;

    // Any thread.
    std::vector<ObservedEvent> events() const;
    void clear();

private:
    EventObserver() = default;
    static void onEvent(void* userData, void* object, const AudioUnitEvent* event, UInt64 hostTime,
                        AudioUnitParameterValue value);

    AUEventListenerRef listener_ = nullptr;
    mutable std::mutex lock_;
    std::vector<ObservedEvent> events_;
};

}  // namespace auhost
