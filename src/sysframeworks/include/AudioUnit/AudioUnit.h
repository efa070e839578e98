/* AudioUnit umbrella header. The Audio Unit API is implemented by AudioToolbox;
   the AudioUnit library re-exports it (it depends on AudioToolbox, so dlsym on
   an AudioUnit handle finds every Audio Unit function). */
#ifndef AUDIOUNIT_AUDIOUNIT_H_
#define AUDIOUNIT_AUDIOUNIT_H_

#include <AudioToolbox/AudioComponent.h>
#include <AudioToolbox/AUComponent.h>
#include <AudioToolbox/AudioUnitProperties.h>
#include <AudioToolbox/MusicDevice.h>

#endif /* AUDIOUNIT_AUDIOUNIT_H_ */
