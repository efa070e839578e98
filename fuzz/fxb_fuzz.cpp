// The FXB bank reader: any bytes give either a clean refusal with no presets or
// presets that each hold the client's parameter count of values in range.

#include <cmath>
#include <cstdint>

#include "framework/client/fxb.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static kfuzz::LocalKestrin k;
    const fw::Client& client = k->client();
    kfuzz::Input in(data, size);
    // The first byte limits how many programs are read (0: no limit).
    const int maxCount = int(in.byte() % 8) - 1;
    const auto bank = in.rest();
    const fw::FXBPresets r = fw::loadPresetsFromFXB(client, bank, maxCount == 0 ? -1 : maxCount);
    if (!r.status.ok()) {
        if (!r.presets.empty()) kfuzz::trap("a refused bank returned presets");
        return 0;
    }
    if (maxCount > 0 && int(r.presets.size()) > maxCount) kfuzz::trap("more programs than asked for");
    for (const fw::Preset& p : r.presets)
        if (int(p.normalizedValues.size()) != client.numParams()) kfuzz::trap("a preset of the wrong length");
    return 0;
}
