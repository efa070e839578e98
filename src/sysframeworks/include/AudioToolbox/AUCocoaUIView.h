/* The view-factory protocol of an Audio Unit's Cocoa view.

   A view factory is a class conforming to the protocol named "AUCocoaUIBase"
   with the instance methods
     "interfaceVersion"               returns unsigned (0 is current),
                                      type encoding "I@:"
     "uiViewForAudioUnit:withSize:"   takes (AudioUnit, NSSize), returns the new
                                      view (NSView *, here an opaque pointer)
   and usually "description", returning the view's display name (an NSString *,
   toll-free bridged to CFStringRef). The protocol exists in the class runtime
   only once some code has registered it (objc_allocateProtocol and
   objc_registerProtocol); a view factory declares it when objc_getProtocol
   does not find it. */
#ifndef AUDIOTOOLBOX_AUCOCOAUIVIEW_H_
#define AUDIOTOOLBOX_AUCOCOAUIVIEW_H_

#include <AudioToolbox/AUComponent.h>
#include <Foundation/NSGeometry.h>
#include <objc/runtime.h>

#endif /* AUDIOTOOLBOX_AUCOCOAUIVIEW_H_ */
