#pragma once
// The widget gallery: one of each widget of the vendor's package and of
// Kestrin's own editor, each in a captioned cell, bound to a Kestrin client's
// parameters and fed with sample data, so the whole set can be seen at once.
// `editorshot --gallery` writes it as a PNG.
//
// UI thread.

#include "framework/core/status.h"

namespace editorshot {

// Renders the gallery off-screen through the editor's frame cycle and writes
// it to `path`.
[[nodiscard]] fw::Status writeGallery(const char* path);

}  // namespace editorshot
