// State: the client's binary state chunk (the same bytes the Audio Unit wrapper keeps
// under "data"), stored under the plug-in's own key as an atom:Chunk, POD and
// portable. A restore that finds no chunk, one of another type, or one that does not
// read whole, changes nothing.

#include <cmath>
#include <cstring>

#include "framework/core/fpcontrol.h"
#include "framework/lv2/lv2plugin.h"

namespace fw::lv2 {

LV2_State_Status Lv2Plugin::save(LV2_State_Store_Function store, LV2_State_Handle handle) noexcept {
    if (store == nullptr || stateKey_ == 0) return LV2_STATE_ERR_NO_FEATURE;
    ScopedAudioFloatingPointState fp;
    // The ports are the host's: a value it set since the last run() (a host that
    // saves right after changing a control) goes into the state too, so that the
    // chunk and the port values the host saves beside it agree. Not while a restore
    // waits for its first run: the restored values stand until then.
    if (!adoptPorts_.load(std::memory_order_relaxed)) {
        for (int i = 0; i < layout_.parameters; ++i) {
            const float* port = controls_[std::size_t(i)];
            if (port == nullptr) continue;
            const float v = *port;
            if (!portChanged(i, v) || std::isnan(v) || float(facade_->plainValue(i)) == v) continue;
            (void)facade_->setParameter(i, facade_->normalizedFromPlain(i, double(v)));
        }
    }
    Vec<std::uint8_t> chunk;
    facade_->saveState(chunk);
    return store(handle, stateKey_, chunk.data(), chunk.size(), chunkType_,
                 LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status Lv2Plugin::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) noexcept {
    if (retrieve == nullptr || stateKey_ == 0) return LV2_STATE_ERR_NO_FEATURE;
    ScopedAudioFloatingPointState fp;
    std::size_t size = 0;
    std::uint32_t type = 0;
    std::uint32_t flags = 0;
    const void* data = retrieve(handle, stateKey_, &size, &type, &flags);
    if (data == nullptr) return LV2_STATE_ERR_NO_PROPERTY;
    if (type != chunkType_) return LV2_STATE_ERR_BAD_TYPE;
    const std::span<const std::uint8_t> chunk(static_cast<const std::uint8_t*>(data), size);
    if (!facade_->loadWholeState(chunk).ok()) return LV2_STATE_ERR_UNKNOWN;
    // The next run() takes the ports as they are then as its baseline: the restored
    // values stand until the host moves a port.
    adoptPorts_.store(true, std::memory_order_relaxed);
    return LV2_STATE_SUCCESS;
}

}  // namespace fw::lv2
