// The Kestrin 3 LV2 UI binary: its only exported symbol (LV2_SYMBOL_EXPORT makes
// it extern "C" and visible). Everything else is hidden (see exports.map).

#include <lv2/ui/ui.h>

#include "kestrin/lv2ui/kestrinlv2ui.h"

// Any host thread. The editor's descriptor, null after it.
LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return kestrin::lv2ui::descriptor(index);
}
