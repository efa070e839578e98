/* AudioUnit.framework re-exports the Audio Unit API that lives in AudioToolbox. */
#ifndef AUDIOUNIT_AUDIOCOMPONENT_H_
#define AUDIOUNIT_AUDIOCOMPONENT_H_

#include <AudioToolbox/AudioComponent.h>

#endif /* AUDIOUNIT_AUDIOCOMPONENT_H_ */
