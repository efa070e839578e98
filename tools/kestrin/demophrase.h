#pragma once
// The built-in demo: a short plucked-string phrase synthesised on the spot
// (Karplus-Strong), notes alternating between the left and the right channel so the
// crossover echoes are easy to hear, followed by silence.

#include "audiofile.h"

namespace kestrincli {

// Deterministic: the same phrase every time, at 48 kHz stereo, about 3.5 s long.
AudioData makeDemoPhrase();

}  // namespace kestrincli
