/* AudioToolbox umbrella header: Audio Components, the Audio Unit API, music
   devices and the parameter/event listener utilities. */
#ifndef AUDIOTOOLBOX_AUDIOTOOLBOX_H_
#define AUDIOTOOLBOX_AUDIOTOOLBOX_H_

#include <CoreFoundation/CoreFoundation.h>
#include <CoreAudioTypes/CoreAudioTypes.h>
#include <AudioToolbox/AudioComponent.h>
#include <AudioToolbox/AUComponent.h>
#include <AudioToolbox/AudioUnitProperties.h>
#include <AudioToolbox/AudioUnitUtilities.h>
#include <AudioToolbox/MusicDevice.h>

#endif /* AUDIOTOOLBOX_AUDIOTOOLBOX_H_ */
