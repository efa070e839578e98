/* AppKit umbrella header (the parts available here). */
#ifndef APPKIT_APPKIT_H_
#define APPKIT_APPKIT_H_

#include <AppKit/NSApplication.h>
#include <Foundation/NSGeometry.h>
#include <objc/message.h>
#include <objc/runtime.h>

#endif /* APPKIT_APPKIT_H_ */
