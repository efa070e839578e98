#pragma once
// Between NSTimer and NSRunLoop: what the run loop needs of a timer. On the
// thread of the run loop the timer is scheduled in.

#include <objc/runtime.h>

namespace foundation {

bool timerIsValid(id timer);
double timerFireDate(id timer);
// Fires a timer that came due at or before `now`: a repeating one first moves
// to its next grid date after `now`, a non-repeating one is invalidated after
// its message.
void timerFireFromRunLoop(id timer, double now);

}  // namespace foundation
