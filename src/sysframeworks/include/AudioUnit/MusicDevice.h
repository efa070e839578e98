/* AudioUnit.framework re-exports the Audio Unit API that lives in AudioToolbox. */
#ifndef AUDIOUNIT_MUSICDEVICE_H_
#define AUDIOUNIT_MUSICDEVICE_H_

#include <AudioToolbox/MusicDevice.h>

#endif /* AUDIOUNIT_MUSICDEVICE_H_ */
