/* Cocoa umbrella header: AppKit and CoreFoundation. The Cocoa library depends
   on AppKit, the class runtime and CoreFoundation, so dlsym on a Cocoa handle
   finds NSApplicationLoad and every objc_ function. */
#ifndef COCOA_COCOA_H_
#define COCOA_COCOA_H_

#include <AppKit/AppKit.h>
#include <CoreFoundation/CoreFoundation.h>

#endif /* COCOA_COCOA_H_ */
