/* Foundation umbrella header (the parts available here). The classes are made
   when the Foundation library is loaded; reach them with objc_getClass and
   objc_msgSend. */
#ifndef FOUNDATION_FOUNDATION_H_
#define FOUNDATION_FOUNDATION_H_

#include <Foundation/NSAutoreleasePool.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSGeometry.h>
#include <Foundation/NSNotification.h>
#include <Foundation/NSObjCRuntime.h>
#include <Foundation/NSRunLoop.h>
#include <Foundation/NSString.h>
#include <Foundation/NSTimer.h>

#endif /* FOUNDATION_FOUNDATION_H_ */
