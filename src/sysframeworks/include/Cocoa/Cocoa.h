/* Cocoa umbrella header: AppKit, Foundation and CoreFoundation. The Cocoa
   library depends on AppKit, Foundation, the class runtime and CoreFoundation,
   so dlsym on a Cocoa handle finds every one of their symbols (CoreGraphics is
   opened on its own). */
#ifndef COCOA_COCOA_H_
#define COCOA_COCOA_H_

#include <AppKit/AppKit.h>
#include <CoreFoundation/CoreFoundation.h>
#include <Foundation/Foundation.h>

#endif /* COCOA_COCOA_H_ */
