// .aupreset loading through the plug-in binary: any file is either refused or
// restored, and the unit then still renders and saves a state that restores.

#include <cstdint>

#include "auhost/presetfile.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static kfuzz::MemoryFile file;
    file.write({data, size});
    auto unit = kfuzz::newKestrinUnit();
    if (!unit->setStreamFormat(kAudioUnitScope_Input, 0, 48000, 2) ||
        !unit->setStreamFormat(kAudioUnitScope_Output, 0, 48000, 2) || !unit->setMaximumFramesPerSlice(512) ||
        !unit->initialize())
        kfuzz::trap("a fresh unit does not initialize");
    if (!unit->loadPresetFile(file.path())) return 0;
    if (!kfuzz::renderBlocks(*unit, 2, 256, nullptr)) kfuzz::trap("a unit with a loaded preset does not render");
    auhost::CFRef<CFPropertyListRef> state;
    if (!unit->copyClassInfo(state)) kfuzz::trap("a unit with a loaded preset gives no state");
    auto fresh = kfuzz::newKestrinUnit();
    if (!fresh->restoreClassInfo(state.get())) kfuzz::trap("the state saved after a preset does not restore");
    return 0;
}
