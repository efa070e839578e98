// The Kestrin 3 LV2 binary: its only exported symbol (LV2_SYMBOL_EXPORT makes it
// extern "C" and visible). Everything else is hidden (see exports.map).

#include <lv2/core/lv2.h>

#include "kestrin/lv2/kestrinlv2.h"

// Any host thread. The descriptor of variant `index` (stereo, mono), null after them.
LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return fw::lv2::descriptor(kestrin::lv2::variants(), &kestrin::lv2::makeClient, index);
}
