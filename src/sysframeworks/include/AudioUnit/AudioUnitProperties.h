/* AudioUnit.framework re-exports the Audio Unit API that lives in AudioToolbox. */
#ifndef AUDIOUNIT_AUDIOUNITPROPERTIES_H_
#define AUDIOUNIT_AUDIOUNITPROPERTIES_H_

#include <AudioToolbox/AudioUnitProperties.h>

#endif /* AUDIOUNIT_AUDIOUNITPROPERTIES_H_ */
