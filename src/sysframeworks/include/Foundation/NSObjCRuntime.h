/* Foundation's basic types. */
#ifndef FOUNDATION_NSOBJCRUNTIME_H_
#define FOUNDATION_NSOBJCRUNTIME_H_

#include <objc/message.h>
#include <objc/objc.h>
#include <objc/runtime.h>

typedef long NSInteger;
typedef unsigned long NSUInteger;
typedef double NSTimeInterval;
typedef unsigned short unichar;

#define NSNotFound ((NSInteger)0x7fffffffffffffffL)

#endif /* FOUNDATION_NSOBJCRUNTIME_H_ */
