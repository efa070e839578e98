#include "framework/lv2/lv2entry.h"

#include <array>
#include <cstring>
#include <string>

#include <lv2/state/state.h>

#include "framework/core/fpcontrol.h"
#include "framework/lv2/lv2plugin.h"

namespace fw::lv2 {

namespace {

struct Entry {
    LV2_Descriptor descriptor{};
    Lv2Variant variant{};
    ClientFactory factory = nullptr;
    std::string stateKey;
};

std::array<Entry, kMaxVariants>& entries() {
    static std::array<Entry, kMaxVariants> table;
    return table;
}

const Entry* entryOf(const LV2_Descriptor* d) noexcept {
    for (const Entry& e : entries())
        if (&e.descriptor == d) return &e;
    return nullptr;
}

Lv2Plugin* plugin(LV2_Handle h) noexcept { return static_cast<Lv2Plugin*>(h); }

// Host thread. Null when the descriptor is not ours, the rate lies outside 8 to
// 384 kHz or the client cannot be made.
LV2_Handle instantiate(const LV2_Descriptor* d, double rate, const char*, const LV2_Feature* const* features) {
    const Entry* e = entryOf(d);
    if (e == nullptr || e->factory == nullptr) return nullptr;
    // The rates the client is built for; outside them its rate arithmetic means nothing.
    if (!ClientFacade::acceptsSampleRate(rate)) return nullptr;
    ScopedAudioFloatingPointState fp;
    std::unique_ptr<Client> client = e->factory();
    if (client == nullptr || !client->isLegalIO(e->variant.inputs, client->maxOutputs())) return nullptr;
    return new Lv2Plugin(std::move(client), e->stateKey.c_str(), e->variant.inputs, rate, features);
}

void connectPort(LV2_Handle h, std::uint32_t port, void* data) {
    if (h != nullptr) plugin(h)->connectPort(port, data);
}
void activate(LV2_Handle h) {
    if (h != nullptr) plugin(h)->activate();
}
void run(LV2_Handle h, std::uint32_t frames) {
    if (h != nullptr) plugin(h)->run(frames);
}
void deactivate(LV2_Handle h) {
    if (h != nullptr) plugin(h)->deactivate();
}
void cleanup(LV2_Handle h) { delete plugin(h); }

LV2_State_Status save(LV2_Handle h, LV2_State_Store_Function store, LV2_State_Handle handle, std::uint32_t,
                      const LV2_Feature* const*) {
    return h != nullptr ? plugin(h)->save(store, handle) : LV2_STATE_ERR_UNKNOWN;
}
LV2_State_Status restore(LV2_Handle h, LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle,
                         std::uint32_t, const LV2_Feature* const*) {
    return h != nullptr ? plugin(h)->restore(retrieve, handle) : LV2_STATE_ERR_UNKNOWN;
}

const LV2_State_Interface stateInterface{save, restore};

const void* extensionData(const char* uri) {
    if (uri != nullptr && std::strcmp(uri, LV2_STATE__interface) == 0) return &stateInterface;
    return nullptr;
}

}  // namespace

const LV2_Descriptor* descriptor(std::span<const Lv2Variant> variants, ClientFactory factory,
                                 std::uint32_t index) noexcept {
    // Built once; hosts call this from one thread while they load the library.
    static const bool built = [&] {
        for (std::size_t i = 0; i < variants.size() && i < kMaxVariants; ++i) {
            Entry& e = entries()[i];
            e.variant = variants[i];
            e.factory = factory;
            e.stateKey = std::string(variants[0].uri) + kStateChunkKeySuffix;
            e.descriptor = LV2_Descriptor{variants[i].uri, instantiate, connectPort, activate, run,
                                          deactivate,      cleanup,     extensionData};
        }
        return true;
    }();
    (void)built;
    if (index >= variants.size() || index >= kMaxVariants) return nullptr;
    return &entries()[index].descriptor;
}

}  // namespace fw::lv2
