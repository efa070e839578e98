/* Core Audio types umbrella header. */
#ifndef COREAUDIOTYPES_COREAUDIOTYPES_H_
#define COREAUDIOTYPES_COREAUDIOTYPES_H_

#include <CoreAudioTypes/CoreAudioBaseTypes.h>

#endif /* COREAUDIOTYPES_COREAUDIOTYPES_H_ */
