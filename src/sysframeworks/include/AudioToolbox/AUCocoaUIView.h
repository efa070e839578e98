/* The view-factory protocol of an Audio Unit's Cocoa view.

   A view factory is a class conforming to the protocol named "AUCocoaUIBase"
   with the instance methods
     "interfaceVersion"               returns unsigned (0 is current),
                                      type encoding "I@:"
     "uiViewForAudioUnit:withSize:"   takes (AudioUnit, NSSize), returns the new
                                      view (NSView *, here an opaque pointer)
   and usually "description", returning the view's display name (an NSString *,
   toll-free bridged to CFStringRef). The protocol is registered by AppKit (see
   NSApplicationLoad) so that objc_getProtocol finds it. */
#ifndef AUDIOTOOLBOX_AUCOCOAUIVIEW_H_
#define AUDIOTOOLBOX_AUCOCOAUIVIEW_H_

#include <AudioToolbox/AUComponent.h>
#include <Foundation/NSGeometry.h>
#include <objc/runtime.h>

#endif /* AUDIOTOOLBOX_AUCOCOAUIVIEW_H_ */
