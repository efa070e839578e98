// The LV2 plug-in through its descriptor, as lilv hosts load Kestrin.lv2: a state
// restore of any bytes (refused without a change, or accepted), then control ports
// set to any float bit patterns between runs. Every run's output is finite. The
// first byte picks the variant (stereo or mono) and the block size; a 16-bit length
// and that many state bytes follow, then groups of control values, each group
// followed by a run.

#include <lv2/atom/atom.h>
#include <lv2/state/state.h>

#include <dlfcn.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "fuzzsupport.h"
#include "kestrin/lv2/kestrinlv2.h"
#include "lv2fixture.h"

namespace {

struct Offer {
    LV2_URID key;
    LV2_URID type;
    std::span<const std::uint8_t> bytes;
};

const void* retrieve(LV2_State_Handle h, std::uint32_t key, std::size_t* size, std::uint32_t* type,
                     std::uint32_t* flags) {
    const auto* o = static_cast<const Offer*>(h);
    if (key != o->key) return nullptr;
    *size = o->bytes.size();
    *type = o->type;
    *flags = LV2_STATE_IS_POD;
    return o->bytes.data();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // lilv unloads the plug-in with its last instance; kept loaded here, the
    // fuzzer's coverage counters inside it stay mapped between inputs.
    static void* const keepLoaded = dlopen(KESTRIN_LV2_BUNDLE_DIR "/Kestrin.so", RTLD_NOW | RTLD_NODELETE);
    if (keepLoaded == nullptr) kfuzz::trap("Kestrin.so does not load");
    kfuzz::Input in(data, size);
    const std::uint8_t head = in.byte();
    const bool mono = head & 1;
    const int frames = 32 << ((head >> 1) % 6);
    const char* uri = mono ? kestrin::lv2::kMonoUri : kestrin::lv2::kStereoUri;
    lv2test::Instance instance(uri);
    if (!instance.ok()) kfuzz::trap("the LV2 plug-in does not instantiate");
    instance.connectAll(frames);
    instance.activate();

    const auto* state = static_cast<const LV2_State_Interface*>(
        lilv_instance_get_extension_data(instance.lilv(), LV2_STATE__interface));
    if (state == nullptr) kfuzz::trap("no state interface");
    const std::size_t stateSize = in.u16();
    const std::uint8_t typeChoice = in.byte();
    Offer offer{instance.urids().map((std::string(kestrin::lv2::kStereoUri) + "#stateChunk").c_str()),
                instance.urids().map(typeChoice % 8 ? LV2_ATOM__Chunk : LV2_ATOM__String), in.bytes(stateSize)};
    (void)state->restore(instance.lilv()->lv2_handle, retrieve, &offer, LV2_STATE_IS_POD, instance.features());

    const int controls = instance.numPorts();
    std::vector<std::vector<float>> input(mono ? 1 : 2, std::vector<float>(std::size_t(frames)));
    for (auto& channel : input)
        for (std::size_t i = 0; i < channel.size(); ++i) channel[i] = float(i % 32) / 32.0f - 0.5f;
    std::vector<std::vector<float>> output;
    do {
        for (int port = 0; port < controls && !in.empty(); ++port) {
            const std::uint8_t which = in.byte();
            const float value = in.f32();
            // The host's value slot of every port; audio and atom ports read their own buffers.
            if (which % 2) instance.control(port) = value;
        }
        output.clear();
        instance.run(input, 0, frames, output);
        for (const auto& channel : output)
            for (float x : channel)
                if (!std::isfinite(x)) kfuzz::trap("a run gave a NaN or an infinite sample");
    } while (!in.empty());
    instance.deactivate();
    return 0;
}
