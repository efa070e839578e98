// The state chunk reader: any bytes are either refused or read whole. A refused
// whole-chunk load changes no value and no preset; an accepted one saves back to a
// chunk that loads again to the same values. The partial loader must not crash.

#include <cstdint>
#include <vector>

#include "framework/core/vec.h"
#include "fuzzsupport.h"

namespace {

struct Snapshot {
    std::vector<double> values;
    int preset = 0;
    int presets = 0;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(fw::ClientFacade& f) {
    Snapshot s;
    for (int i = 0; i < f.numParameters(); ++i) {
        double v = 0;
        if (!f.getParameter(i, v)) kfuzz::trap("a parameter cannot be read");
        s.values.push_back(v);
    }
    s.preset = f.currentPreset();
    s.presets = f.numPresets();
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> chunk(data, size);
    {
        kfuzz::LocalKestrin k;
        // Start away from the defaults, so that a change by a refused load shows.
        if (!k->selectPreset(1)) kfuzz::trap("factory preset 1 is missing");
        const Snapshot before = snapshot(*k);
        const fw::Status s = k->loadWholeState(chunk);
        if (!s.ok()) {
            if (!(snapshot(*k) == before)) kfuzz::trap("a refused state chunk changed the plug-in");
        } else {
            const Snapshot loaded = snapshot(*k);
            fw::Vec<std::uint8_t> saved;
            k->saveState(saved);
            kfuzz::LocalKestrin again;
            if (!again->loadWholeState({saved.data(), saved.size()}).ok())
                kfuzz::trap("a saved state chunk is refused");
            if (!(snapshot(*again).values == loaded.values)) kfuzz::trap("a saved state chunk reloads differently");
        }
    }
    {
        kfuzz::LocalKestrin k;
        (void)k->loadState(chunk);
        for (int i = 0; i < k->numParameters(); ++i) {
            double v = 0;
            if (!k->getParameter(i, v) || !(v >= 0.0 && v <= 1.0)) kfuzz::trap("a loaded value is out of range");
        }
    }
    return 0;
}
