/* AudioUnit.framework re-exports the Audio Unit API that lives in AudioToolbox. */
#ifndef AUDIOUNIT_AUCOCOAUIVIEW_H_
#define AUDIOUNIT_AUCOCOAUIVIEW_H_

#include <AudioToolbox/AUCocoaUIView.h>

#endif /* AUDIOUNIT_AUCOCOAUIVIEW_H_ */
