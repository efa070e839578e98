#pragma once
// kestrin edit: the plug-in's editor in a window of its own, as a DAW shows it,
// with every parameter change the editor makes printed on one status line.

#include <atomic>
#include <cstdio>
#include <string>

#include "kestrinhost.h"

namespace kestrincli {

struct EditOutcome {
    int changes = 0;           // parameter changes the editor made
    bool displayLost = false;  // the window system went away while the editor ran
};

// Main thread. Opens the editor of `host`'s unit and runs until the user closes
// the window, `interrupted` becomes true (closes it) or the display is lost.
// Status lines go to `status`. False with `error` when no window can be shown.
bool runEditor(KestrinHost& host, const std::atomic<bool>& interrupted, std::FILE* status, EditOutcome& out,
               std::string& error);

}  // namespace kestrincli
