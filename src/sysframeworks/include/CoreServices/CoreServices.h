/* CoreServices umbrella header: CoreFoundation and the Component Manager. */
#ifndef CORESERVICES_CORESERVICES_H_
#define CORESERVICES_CORESERVICES_H_

#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/Components.h>

#endif /* CORESERVICES_CORESERVICES_H_ */
