#include "lv2fixture.h"

#include "kestrin/lv2/kestrinlv2.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/time/time.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace lv2test {

LocalKestrin::LocalKestrin() : facade_(kestrin::lv2::makeClient(), &host_, {}) {}

ShellResult shell(const std::string& command) {
    ShellResult r;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return r;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) r.output.append(buffer, n);
    const int status = pclose(pipe);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

UridMap::UridMap() {
    map_.handle = this;
    map_.map = [](LV2_URID_Map_Handle h, const char* uri) { return static_cast<UridMap*>(h)->map(uri); };
    unmap_.handle = this;
    unmap_.unmap = [](LV2_URID_Unmap_Handle h, LV2_URID u) { return static_cast<UridMap*>(h)->unmap(u); };
}

LV2_URID UridMap::map(const char* uri) {
    auto [it, fresh] = ids_.emplace(uri, LV2_URID(uris_.size() + 1));
    if (fresh) uris_.emplace_back(uri);
    return it->second;
}

const char* UridMap::unmap(LV2_URID urid) const {
    return urid >= 1 && urid <= uris_.size() ? uris_[urid - 1].c_str() : nullptr;
}

Bundle& Bundle::get() {
    static Bundle bundle;
    return bundle;
}

Bundle::Bundle() : world_(lilv_world_new()) {
    Node dir(lilv_new_file_uri(world_, nullptr, KESTRIN_LV2_BUNDLE_DIR "/"));
    lilv_world_load_bundle(world_, dir);
}

const LilvPlugin* Bundle::plugin(const char* uri) const {
    Node node(lilv_new_uri(world_, uri));
    return lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), node);
}

Instance::Instance(const char* pluginUri, const HostOptions& options) {
    plugin_ = Bundle::get().plugin(pluginUri);
    if (plugin_ == nullptr) return;
    maxBlock_ = options.maxBlock;
    const LV2_URID intType = urids_.map(LV2_ATOM__Int);
    if (options.maxBlock > 0) {
        options_.push_back({LV2_OPTIONS_INSTANCE, 0, urids_.map(LV2_BUF_SIZE__maxBlockLength), sizeof(std::int32_t),
                            intType, &maxBlock_});
    }
    options_.push_back({LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr});
    mapFeature_ = {LV2_URID__map, urids_.mapFeature()};
    unmapFeature_ = {LV2_URID__unmap, urids_.unmapFeature()};
    optionsFeature_ = {LV2_OPTIONS__options, options_.data()};
    if (options.withMap) features_ = {&mapFeature_, &unmapFeature_, &optionsFeature_};
    features_.push_back(nullptr);
    instance_ = lilv_plugin_instantiate(plugin_, options.sampleRate, features_.data());
    if (instance_ == nullptr) return;

    const std::uint32_t n = lilv_plugin_get_num_ports(plugin_);
    controls_.assign(n, 0.0f);
    std::vector<float> defaults(n);
    lilv_plugin_get_port_ranges_float(plugin_, nullptr, nullptr, defaults.data());
    Node audio(lilv_new_uri(Bundle::get().world(), LV2_CORE__AudioPort));
    Node input(lilv_new_uri(Bundle::get().world(), LV2_CORE__InputPort));
    Node atom(lilv_new_uri(Bundle::get().world(), LV2_ATOM__AtomPort));
    for (std::uint32_t i = 0; i < n; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin_, i);
        if (!std::isnan(defaults[i])) controls_[i] = defaults[i];
        if (lilv_port_is_a(plugin_, port, audio))
            (lilv_port_is_a(plugin_, port, input) ? audioIn_ : audioOut_).push_back(int(i));
        else if (lilv_port_is_a(plugin_, port, atom))
            atomPort_ = int(i);
    }
    atomBuffer_.assign(64 * 1024, 0);
    lv2_atom_forge_init(&forge_, urids_.mapFeature());
    position_ = urids_.map(LV2_TIME__Position);
    bpm_ = urids_.map(LV2_TIME__beatsPerMinute);
    speed_ = urids_.map(LV2_TIME__speed);
    frame_ = urids_.map(LV2_TIME__frame);
    clearEvents();
}

Instance::~Instance() {
    if (instance_ != nullptr) lilv_instance_free(instance_);
}

int Instance::portIndex(const char* symbol) const {
    Node s(lilv_new_string(Bundle::get().world(), symbol));
    const LilvPort* port = lilv_plugin_get_port_by_symbol(plugin_, s);
    if (port == nullptr) throw std::runtime_error(std::string("no port ") + symbol);
    return int(lilv_port_get_index(plugin_, port));
}

void Instance::connectAll(int maxFrames) {
    inBuffers_.assign(audioIn_.size(), std::vector<float>(std::size_t(maxFrames)));
    outBuffers_.assign(audioOut_.size(), std::vector<float>(std::size_t(maxFrames)));
    for (std::size_t p = 0; p < controls_.size(); ++p) lilv_instance_connect_port(instance_, std::uint32_t(p), &controls_[p]);
    for (std::size_t c = 0; c < audioIn_.size(); ++c)
        lilv_instance_connect_port(instance_, std::uint32_t(audioIn_[c]), inBuffers_[c].data());
    for (std::size_t c = 0; c < audioOut_.size(); ++c)
        lilv_instance_connect_port(instance_, std::uint32_t(audioOut_[c]), outBuffers_[c].data());
    if (atomPort_ >= 0) lilv_instance_connect_port(instance_, std::uint32_t(atomPort_), atomBuffer_.data());
}

void Instance::run(const std::vector<std::vector<float>>& in, std::size_t from, int frames,
                   std::vector<std::vector<float>>& out) {
    for (std::size_t c = 0; c < inBuffers_.size(); ++c)
        for (int i = 0; i < frames; ++i) {
            const std::size_t at = from + std::size_t(i);
            inBuffers_[c][std::size_t(i)] = c < in.size() && at < in[c].size() ? in[c][at] : 0.0f;
        }
    lilv_instance_run(instance_, std::uint32_t(frames));
    out.resize(outBuffers_.size());
    for (std::size_t c = 0; c < outBuffers_.size(); ++c)
        out[c].insert(out[c].end(), outBuffers_[c].begin(), outBuffers_[c].begin() + frames);
    clearEvents();
}

void Instance::clearEvents() {
    lv2_atom_forge_set_buffer(&forge_, atomBuffer_.data(), atomBuffer_.size());
    lv2_atom_forge_sequence_head(&forge_, &sequenceFrame_, 0);
}

void Instance::queuePosition(int frame, double bpm, float speed, std::int64_t position) {
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_frame_time(&forge_, frame);
    lv2_atom_forge_object(&forge_, &object, 0, position_);
    lv2_atom_forge_key(&forge_, bpm_);
    lv2_atom_forge_double(&forge_, bpm);
    lv2_atom_forge_key(&forge_, speed_);
    lv2_atom_forge_float(&forge_, speed);
    lv2_atom_forge_key(&forge_, frame_);
    lv2_atom_forge_long(&forge_, position);
    lv2_atom_forge_pop(&forge_, &object);
}

}  // namespace lv2test
