/* Parameter and event listeners.

   There is no run loop here: AUEventListenerNotify, AUParameterListenerNotify
   and AUParameterSet deliver every matching event synchronously, on the calling
   thread, before they return. Delivery holds the listener registry's recursive
   lock, so a listener may add or remove registrations (its own included) from
   inside its callback, and once AUListenerDispose returns on one thread no
   callback of that listener is running on another. Because of that lock,
   notifying from the audio thread is allowed but not real-time safe: it can
   wait for another thread that is registering listeners or delivering events.
   The value passed with a parameter event is read from the unit with
   AudioUnitGetParameter. The notification interval and value granularity given
   at creation are accepted and ignored. */
#ifndef AUDIOTOOLBOX_AUDIOUNITUTILITIES_H_
#define AUDIOTOOLBOX_AUDIOUNITUTILITIES_H_

#include <AudioToolbox/AUComponent.h>
#include <AudioToolbox/AudioUnitProperties.h>
#include <CoreFoundation/CFRunLoop.h>

CF_EXTERN_C_BEGIN

typedef CF_ENUM(UInt32, AudioUnitEventType){
    kAudioUnitEvent_ParameterValueChange = 0,
    kAudioUnitEvent_BeginParameterChangeGesture = 1,
    kAudioUnitEvent_EndParameterChangeGesture = 2,
    kAudioUnitEvent_PropertyChange = 3,
};

/* In a notification: every parameter of the unit. In a registration: any
   parameter id matches. */
#define kAUParameterListener_AnyParameter 0xFFFFFFFF

typedef struct AUListenerBase* AUParameterListenerRef;
typedef AUParameterListenerRef AUEventListenerRef;

typedef struct AudioUnitEvent {
    AudioUnitEventType mEventType;
    union {
        AudioUnitParameter mParameter; /* event types 0, 1, 2 */
        AudioUnitProperty mProperty;   /* event type 3 */
    } mArgument;
} AudioUnitEvent;

typedef void (*AUParameterListenerProc)(void* inUserData, void* inObject, const AudioUnitParameter* inParameter,
                                        AudioUnitParameterValue inValue);
typedef void (*AUEventListenerProc)(void* inUserData, void* inObject, const AudioUnitEvent* inEvent,
                                    UInt64 inEventHostTime, AudioUnitParameterValue inParameterValue);

/* Any thread. */
CF_EXPORT OSStatus AUListenerCreate(AUParameterListenerProc inProc, void* inUserData, CFRunLoopRef inRunLoop,
                                    CFStringRef inRunLoopMode, Float32 inNotificationInterval,
                                    AUParameterListenerRef* outListener);
CF_EXPORT OSStatus AUListenerDispose(AUParameterListenerRef inListener);
CF_EXPORT OSStatus AUListenerAddParameter(AUParameterListenerRef inListener, void* inObject,
                                          const AudioUnitParameter* inParameter);
CF_EXPORT OSStatus AUListenerRemoveParameter(AUParameterListenerRef inListener, void* inObject,
                                             const AudioUnitParameter* inParameter);
CF_EXPORT OSStatus AUEventListenerCreate(AUEventListenerProc inProc, void* inUserData, CFRunLoopRef inRunLoop,
                                         CFStringRef inRunLoopMode, Float32 inNotificationInterval,
                                         Float32 inValueChangeGranularity, AUEventListenerRef* outListener);
/* For property events the unit gets a property listener of its own, so that
   the unit's property-change notifications reach the event listener. */
CF_EXPORT OSStatus AUEventListenerAddEventType(AUEventListenerRef inListener, void* inObject,
                                               const AudioUnitEvent* inEvent);
CF_EXPORT OSStatus AUEventListenerRemoveEventType(AUEventListenerRef inListener, void* inObject,
                                                  const AudioUnitEvent* inEvent);

/* Any thread (see above). The registration of inSendingListener with
   inSendingObject is not notified. */
CF_EXPORT OSStatus AUParameterSet(AUParameterListenerRef inSendingListener, void* inSendingObject,
                                  const AudioUnitParameter* inParameter, AudioUnitParameterValue inValue,
                                  UInt32 inBufferOffsetInFrames);
CF_EXPORT OSStatus AUParameterListenerNotify(AUParameterListenerRef inSendingListener, void* inSendingObject,
                                             const AudioUnitParameter* inParameter);
CF_EXPORT OSStatus AUEventListenerNotify(AUEventListenerRef inSendingListener, void* inSendingObject,
                                         const AudioUnitEvent* inEvent);

/* Maps between a parameter's value and a 0..1 slider position, using its
   range and display flags (linear when none apply). */
CF_EXPORT AudioUnitParameterValue AUParameterValueFromLinear(Float32 inLinearValue,
                                                             const AudioUnitParameter* inParameter);
CF_EXPORT Float32 AUParameterValueToLinear(AudioUnitParameterValue inParameterValue,
                                           const AudioUnitParameter* inParameter);
/* Formats with inDigits significant digits into inTextBuffer (32 bytes at least). */
CF_EXPORT char* AUParameterFormatValue(Float64 inParameterValue, const AudioUnitParameter* inParameter,
                                       char* inTextBuffer, UInt32 inDigits);

CF_EXTERN_C_END

#endif /* AUDIOTOOLBOX_AUDIOUNITUTILITIES_H_ */
