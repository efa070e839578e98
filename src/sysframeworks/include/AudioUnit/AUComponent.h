/* AudioUnit.framework re-exports the Audio Unit API that lives in AudioToolbox. */
#ifndef AUDIOUNIT_AUCOMPONENT_H_
#define AUDIOUNIT_AUCOMPONENT_H_

#include <AudioToolbox/AUComponent.h>

#endif /* AUDIOUNIT_AUCOMPONENT_H_ */
