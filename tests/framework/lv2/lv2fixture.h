#pragma once
// A minimal LV2 host for the tests, on lilv: it loads the built Kestrin.lv2 (and
// nothing else), instantiates a variant with a URID map and block-length options,
// owns the port buffers and forges time:Position events, as jalv or Ardour would.

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "framework/client/clientfacade.h"
#include "framework/client/nullhostcommand.h"

namespace lv2test {

// A Kestrin client of the test's own, beside the plug-in under test: the source of
// the values the tests expect (parameters, presets, mappings).
class LocalKestrin final {
public:
    LocalKestrin();
    fw::ClientFacade& operator*() { return facade_; }
    fw::ClientFacade* operator->() { return &facade_; }

private:
    fw::NullHostCommand host_;  // declared first: it outlives the facade
    fw::ClientFacade facade_;
};

// A shell command's exit status and output (standard error folded in).
struct ShellResult {
    int status = -1;
    std::string output;
};
ShellResult shell(const std::string& command);

// Not thread-safe: the tests map from one thread, and the plug-in maps only while
// it is instantiated.
class UridMap {
public:
    UridMap();
    LV2_URID map(const char* uri);
    const char* unmap(LV2_URID urid) const;
    LV2_URID_Map* mapFeature() { return &map_; }
    LV2_URID_Unmap* unmapFeature() { return &unmap_; }

private:
    std::unordered_map<std::string, LV2_URID> ids_;
    std::vector<std::string> uris_;
    LV2_URID_Map map_;
    LV2_URID_Unmap unmap_;
};

// One world holding the bundle, shared by a test executable.
class Bundle {
public:
    static Bundle& get();
    LilvWorld* world() const { return world_; }
    const LilvPlugin* plugin(const char* uri) const;
    LilvNode* uri(const char* uri) const { return lilv_new_uri(world_, uri); }

private:
    Bundle();
    LilvWorld* world_;
};

// Owns a LilvNode.
struct Node {
    LilvNode* node;
    explicit Node(LilvNode* n) : node(n) {}
    ~Node() { lilv_node_free(node); }
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;
    operator const LilvNode*() const { return node; }
};

struct HostOptions {
    double sampleRate = 48000;
    int maxBlock = 8192;   // 0: the host names none
    bool withMap = true;   // false: no feature at all
};

class Instance {
public:
    Instance(const char* pluginUri, const HostOptions& options = {});
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    bool ok() const { return instance_ != nullptr; }
    LilvInstance* lilv() const { return instance_; }
    const LilvPlugin* plugin() const { return plugin_; }
    UridMap& urids() { return urids_; }
    const LV2_Feature* const* features() const { return features_.data(); }

    int numPorts() const { return int(controls_.size()); }
    int portIndex(const char* symbol) const;
    // The control value of a port (control ports only).
    float& control(int port) { return controls_[std::size_t(port)]; }
    float& control(const char* symbol) { return control(portIndex(symbol)); }
    int audioInputs() const { return int(audioIn_.size()); }

    // Connects every port to this host's buffers (sized for `maxFrames`).
    void connectAll(int maxFrames);
    void activate() { lilv_instance_activate(instance_); }
    void deactivate() { lilv_instance_deactivate(instance_); }
    // Copies `frames` of input in, runs, and appends the output to `out`. Inputs shorter
    // than the block read silence.
    void run(const std::vector<std::vector<float>>& in, std::size_t from, int frames,
             std::vector<std::vector<float>>& out);

    // Runs on what the buffers hold; allocates nothing (for real-time proofs).
    void runInPlace(int frames) {
        lilv_instance_run(instance_, std::uint32_t(frames));
        clearEvents();
    }

    // The next run's transport events: a time:Position at `frame` with a tempo, a
    // speed and a position.
    void queuePosition(int frame, double bpm, float speed, std::int64_t position);
    void clearEvents();

private:
    const LilvPlugin* plugin_ = nullptr;
    LilvInstance* instance_ = nullptr;
    UridMap urids_;
    std::int32_t maxBlock_ = 0;
    std::vector<LV2_Options_Option> options_;
    LV2_Feature mapFeature_{}, unmapFeature_{}, optionsFeature_{};
    std::vector<const LV2_Feature*> features_;

    std::vector<float> controls_;
    std::vector<int> audioIn_, audioOut_;
    int atomPort_ = -1;
    std::vector<std::vector<float>> inBuffers_, outBuffers_;
    std::vector<std::uint8_t> atomBuffer_;
    LV2_Atom_Forge forge_{};
    LV2_URID position_ = 0, bpm_ = 0, speed_ = 0, frame_ = 0;
    LV2_Atom_Forge_Frame sequenceFrame_{};
};

}  // namespace lv2test
