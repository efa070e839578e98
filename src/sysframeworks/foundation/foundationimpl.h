#pragma once
// Shared inside the Foundation library: its classes, built once on first use
// (and all at load time), and quick access to string and date contents. Any
// thread.

#include <objc/runtime.h>

#include <string>

namespace foundation {

Class stringClass();
Class dateClass();
Class timerClass();
Class runLoopClass();
Class notificationClass();
Class notificationCenterClass();
Class autoreleasePoolClass();

// A new NSString (retain count one) holding valid UTF-8 text.
id newString(const std::string& utf8);
// The UTF-8 text of an NSString; null for nil or another kind of object.
const std::string* stringText(id str);
bool sameString(id a, id b);

// Seconds since the reference date, now.
double now();
// An NSDate's time; `fallback` for nil or another kind of object.
double dateTime(id date, double fallback);
id newDate(double referenceTime);

}  // namespace foundation
