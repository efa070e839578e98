#pragma once
// Lv2Plugin: one instance of an LV2 plug-in built on a client, behind a ClientFacade.
//
// The host owns the control ports: run() reads them lock-free and stores the values
// that changed since the last run into the parameters without a lock, an
// allocation or a listener (an editor learns of them from the host's port events).
// The transport atoms cut the block where a time:Position arrives, so tempo changes
// land on their frame. Host blocks of any length are cut into pieces no longer than
// the largest block the facade was prepared for; the client then cuts them into its
// own sub-blocks. Ports left unconnected read silence and write into a sink.
//
// State is the client's binary state chunk under one key (see lv2state.cpp).

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include "framework/client/clientfacade.h"
#include "framework/core/vec.h"
#include "framework/lv2/lv2portlayout.h"
#include "framework/lv2/lv2transport.h"

namespace fw::lv2 {

// The key of the state chunk and the type it is stored with (atom:Chunk).
inline constexpr const char* kStateChunkKeySuffix = "#stateChunk";

class Lv2Plugin final : public IHostCommand {
public:
    // The largest block the client is prepared for when the host names none, and the
    // most any host may name; longer host blocks are processed in pieces.
    static constexpr int kDefaultMaxFrames = 4096;
    static constexpr int kLargestMaxFrames = 8192;

    // Host thread (instantiate). `stateKey` is the plug-in's URI with the key suffix.
    // `features` may be null.
    Lv2Plugin(std::unique_ptr<Client> client, const char* stateKey, int inputs, double sampleRate,
              const LV2_Feature* const* features);
    ~Lv2Plugin() override;

    // Any thread.
    const Lv2PortLayout& layout() const noexcept { return layout_; }
    ClientFacade& facade() noexcept { return *facade_; }

    // Audio thread (or host thread before activation); never blocks, never allocates.
    // Out-of-range ports are ignored; `data` may be null.
    void connectPort(std::uint32_t port, void* data) noexcept;
    // Host thread. Prepares the client for the layout at the host's rate (the one
    // place the facade may allocate), then lets run() process.
    void activate() noexcept;
    void deactivate() noexcept;
    // Audio thread; never blocks, never allocates, never calls the system.
    void run(std::uint32_t frames) noexcept;

    // Host thread; LV2 lets it run beside run(). Takes port values the host set since
    // the last run() into the state first.
    LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle) noexcept;
    // Host thread, never during run() (LV2's instantiation class). Changes nothing
    // when the chunk is missing, of another type or does not read whole.
    LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) noexcept;

    // IHostCommand: nothing to tell an LV2 host from the client's side; edits reach it
    // through its UI's write_function.
    void beginParamEdit(int) noexcept override {}
    void paramAutomate(int, float) noexcept override {}
    void endParamEdit(int) noexcept override {}
    bool requestResize(int, int) noexcept override { return false; }
    DAW getDAW() noexcept override { return DAW::unknown; }
    PluginFormat getPluginFormat() noexcept override { return PluginFormat::lv2; }

private:
    void readControls() noexcept;
    // Any thread. Whether port `index` holds another value than run() last took.
    bool portChanged(int index, float value) const noexcept;
    void processSpan(std::uint32_t offset, std::uint32_t frames) noexcept;
    void silenceOutputs(std::uint32_t frames) noexcept;

    std::unique_ptr<ClientFacade> facade_;
    Lv2PortLayout layout_;
    LV2_URID stateKey_ = 0;
    LV2_URID chunkType_ = 0;
    Lv2Transport transport_;
    int maxFrames_ = kDefaultMaxFrames;
    bool activated_ = false;
    float latencyFrames_ = 0;  // the client's latency at the host's rate, from activation

    // Host's port buffers.
    std::vector<const float*> controls_;
    std::vector<const float*> audioIn_;
    std::vector<float*> audioOut_;
    float* latency_ = nullptr;
    const LV2_Atom_Sequence* transportIn_ = nullptr;

    // Audio side.
    // The port values run() last took, NaN before the first; read by save(), which
    // may run beside run(). Relaxed: each value stands alone.
    std::unique_ptr<std::atomic<float>[]> lastControl_;
    // An aligned copy of the transport event being read, with zeroed room after it so
    // that reading a malformed object's last property stays inside the copy.
    static constexpr std::size_t kLargestEventBytes = 512;
    alignas(8) std::uint8_t eventCopy_[kLargestEventBytes + 64] = {};
    // Set by restore (never concurrent with run): the next run takes the ports'
    // values as its baseline instead of applying them.
    // Relaxed: save() only reads it to choose whether to take unapplied port values.
    std::atomic<bool> adoptPorts_{false};
    std::vector<float*> inPtrs_;       // this piece's channels
    std::vector<float*> outPtrs_;
    Vec<float, 64> silence_;           // read for unconnected inputs
    Vec<float, 64> sink_;              // written for unconnected outputs
};

}  // namespace fw::lv2
