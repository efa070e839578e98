/* NSString: an immutable Unicode string. Any thread (instances are immutable).

   Not toll-free bridged: an NSString is not a CFStringRef and must not be
   passed to CFString functions, nor the other way round.

   Class "NSString" answers:
     + stringWithUTF8String:   id (*)(Class, SEL, const char*)   autoreleased;
                                nil for NULL or invalid UTF-8
     - initWithUTF8String:     id (*)(id, SEL, const char*)      nil (and the
                                receiver released) for NULL or invalid UTF-8
     - UTF8String              const char* (*)(id, SEL)          lives as long as
                                the string
     - length                  NSUInteger (*)(id, SEL)           UTF-16 code units
     - characterAtIndex:       unichar (*)(id, SEL, NSUInteger)  0 with a message
                                on standard error when out of range
     - isEqualToString:        BOOL (*)(id, SEL, id)             by content
     - isEqual:                BOOL (*)(id, SEL, id)
     - hash                    NSUInteger (*)(id, SEL) */
#ifndef FOUNDATION_NSSTRING_H_
#define FOUNDATION_NSSTRING_H_

#include <Foundation/NSObjCRuntime.h>

#endif /* FOUNDATION_NSSTRING_H_ */
