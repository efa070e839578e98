/* NSNotificationCenter and NSNotification. Any thread: the center is locked
   for registration, and notifications are delivered synchronously on the
   posting thread, to observers in the order they were
   added. Observers are not retained (remove them before they go away); an
   observer removed while a notification is being posted gets no more.

   Class "NSNotificationCenter" answers:
     + defaultCenter                     id (*)(Class, SEL)
     - addObserver:selector:name:object: void (*)(id, SEL, id observer, SEL, id name, id object)
         name nil: every name; object nil: any sender. The selector is sent as
         [observer selector:notification].
     - removeObserver:                   void (*)(id, SEL, id observer)
     - removeObserver:name:object:       void (*)(id, SEL, id observer, id name, id object)
         nil name or object matches every registration
     - postNotificationName:object:      void (*)(id, SEL, id name, id object)

   Class "NSNotification" answers:
     - name    id (*)(id, SEL)    NSString
     - object  id (*)(id, SEL) */
#ifndef FOUNDATION_NSNOTIFICATION_H_
#define FOUNDATION_NSNOTIFICATION_H_

#include <Foundation/NSObjCRuntime.h>

#endif /* FOUNDATION_NSNOTIFICATION_H_ */
