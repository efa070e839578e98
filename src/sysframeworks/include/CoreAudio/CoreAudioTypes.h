/* Older include path of the Core Audio types. */
#ifndef COREAUDIO_COREAUDIOTYPES_H_
#define COREAUDIO_COREAUDIOTYPES_H_

#include <CoreAudioTypes/CoreAudioTypes.h>

#endif /* COREAUDIO_COREAUDIOTYPES_H_ */
