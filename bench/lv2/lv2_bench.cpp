// Speed of Kestrin as an LV2 host runs it: 48 kHz stereo in 512-frame blocks through
// the LV2 binary's run() (loaded with lilv from the built bundle), against the Audio
// Unit path in the same run, at oversampling factors 1 and 8. "x_realtime" is seconds
// of audio processed per CPU second; the ratio at one factor is the LV2 wrapper's
// cost relative to the Audio Unit's.

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <AudioToolbox/AudioToolbox.h>

#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "kestrin/lv2/kestrinlv2.h"

namespace {

constexpr int kRate = 48000;
constexpr std::uint32_t kBlock = 512;

std::vector<float> noise(unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
    std::vector<float> v(kBlock);
    for (float& x : v) x = dist(rng);
    return v;
}

void finish(benchmark::State& state, int amount) {
    state.counters["x_realtime"] =
        benchmark::Counter(double(kBlock) / kRate, benchmark::Counter::kIsIterationInvariantRate);
    state.SetLabel("factor " + std::to_string(1 << amount));
}

struct Urids {
    std::unordered_map<std::string, LV2_URID> ids;
    LV2_URID_Map map{this, [](LV2_URID_Map_Handle h, const char* uri) {
                         auto& ids = static_cast<Urids*>(h)->ids;
                         return ids.emplace(uri, LV2_URID(ids.size() + 1)).first->second;
                     }};
};

void BM_ThroughLv2Run(benchmark::State& state) {
    const int amount = int(state.range(0));  // "Upsample Amount" 0..3
    LilvWorld* world = lilv_world_new();
    LilvNode* bundle = lilv_new_file_uri(world, nullptr, KESTRIN_LV2_BUNDLE_DIR "/");
    lilv_world_load_bundle(world, bundle);
    LilvNode* uri = lilv_new_uri(world, kestrin::lv2::kStereoUri);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    Urids urids;
    std::int32_t maxBlock = kBlock;
    LV2_Options_Option options[] = {
        {LV2_OPTIONS_INSTANCE, 0, urids.map.map(&urids, LV2_BUF_SIZE__maxBlockLength), sizeof maxBlock,
         urids.map.map(&urids, LV2_ATOM__Int), &maxBlock},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    LV2_Feature mapFeature{LV2_URID__map, &urids.map};
    LV2_Feature optionsFeature{LV2_OPTIONS__options, options};
    const LV2_Feature* features[] = {&mapFeature, &optionsFeature, nullptr};
    LilvInstance* instance = plugin ? lilv_plugin_instantiate(plugin, kRate, features) : nullptr;
    if (instance == nullptr) {
        state.SkipWithError("cannot load " KESTRIN_LV2_BUNDLE_DIR);
        return;
    }
    const std::uint32_t ports = lilv_plugin_get_num_ports(plugin);
    std::vector<float> controls(ports, 0.0f);
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, controls.data());
    std::vector<float> left = noise(1), right = noise(2), out0(kBlock), out1(kBlock);
    LV2_Atom_Sequence events{{sizeof(LV2_Atom_Sequence_Body), urids.map.map(&urids, LV2_ATOM__Sequence)}, {0, 0}};
    for (std::uint32_t p = 0; p < ports; ++p) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
        const std::string symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
        void* buffer = &controls[p];
        if (symbol == "in_l") buffer = left.data();
        else if (symbol == "in_r") buffer = right.data();
        else if (symbol == "out_l") buffer = out0.data();
        else if (symbol == "out_r") buffer = out1.data();
        else if (symbol == "transport") buffer = &events;
        else if (symbol == "upsample_amount") controls[p] = float(amount);
        lilv_instance_connect_port(instance, p, buffer);
    }
    lilv_instance_activate(instance);
    for (auto _ : state) {
        lilv_instance_run(instance, kBlock);
        benchmark::DoNotOptimize(out0.data());
        benchmark::DoNotOptimize(out1.data());
    }
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
    lilv_node_free(uri);
    lilv_node_free(bundle);
    lilv_world_free(world);
    finish(state, amount);
}
BENCHMARK(BM_ThroughLv2Run)->Arg(0)->Arg(3);

// The Audio Unit path, as bench_au measures it.
AudioComponent kestrinComponent() {
    static AudioComponent component = [] {
        void* binary = dlopen(KESTRIN_COMPONENT_BINARY, RTLD_NOW | RTLD_LOCAL);
        if (binary == nullptr) return AudioComponent(nullptr);
        auto factory =
            reinterpret_cast<AudioComponentFactoryFunction>(dlsym(binary, "pluginAUComponentFactoryFunction"));
        const AudioComponentDescription d{kAudioUnitType_Effect, 0x4B737433, 0x546C6D77, 0, 0};
        return factory ? AudioComponentRegister(&d, CFSTR("Tallowmere Dorovuvuru: Kestrin 3"), 0x00030001, factory)
                       : AudioComponent(nullptr);
    }();
    return component;
}

struct Source {
    std::vector<float> left = noise(1), right = noise(2);
    static OSStatus render(void* ref, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                           AudioBufferList* data) {
        auto* s = static_cast<Source*>(ref);
        for (UInt32 c = 0; c < data->mNumberBuffers; ++c)
            std::copy_n((c == 0 ? s->left : s->right).data(), frames, static_cast<float*>(data->mBuffers[c].mData));
        return noErr;
    }
};

OSStatus setFormat(AudioUnit unit, AudioUnitScope scope) {
    AudioStreamBasicDescription f{};
    f.mSampleRate = kRate;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags = kAudioFormatFlagsAudioUnitCanonical;
    f.mBytesPerPacket = f.mBytesPerFrame = 4;
    f.mFramesPerPacket = 1;
    f.mChannelsPerFrame = 2;
    f.mBitsPerChannel = 32;
    return AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, scope, 0, &f, sizeof f);
}

void BM_ThroughAudioUnitRender(benchmark::State& state) {
    const int amount = int(state.range(0));
    AudioUnit unit = nullptr;
    if (kestrinComponent() == nullptr || AudioComponentInstanceNew(kestrinComponent(), &unit) != noErr) {
        state.SkipWithError("cannot load " KESTRIN_COMPONENT_BINARY);
        return;
    }
    Source source;
    const AURenderCallbackStruct cb{Source::render, &source};
    const UInt32 maxFrames = kBlock;
    bool ok = setFormat(unit, kAudioUnitScope_Input) == noErr && setFormat(unit, kAudioUnitScope_Output) == noErr &&
              AudioUnitSetProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0,
                                   &maxFrames, sizeof maxFrames) == noErr &&
              AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &cb,
                                   sizeof cb) == noErr &&
              AudioUnitSetParameter(unit, 15, kAudioUnitScope_Global, 0, float(amount / 3.0), 0) == noErr &&
              AudioUnitInitialize(unit) == noErr;
    std::vector<float> out0(kBlock), out1(kBlock);
    struct {
        UInt32 count;
        AudioBuffer buffers[2];
    } list{};
    AudioTimeStamp ts{};
    ts.mFlags = kAudioTimeStampSampleTimeValid;
    for (auto _ : state) {
        if (!ok) break;
        list.count = 2;
        list.buffers[0] = {1, kBlock * 4, out0.data()};
        list.buffers[1] = {1, kBlock * 4, out1.data()};
        if (AudioUnitRender(unit, nullptr, &ts, 0, kBlock, reinterpret_cast<AudioBufferList*>(&list)) != noErr) {
            ok = false;
            break;
        }
        ts.mSampleTime += kBlock;
        benchmark::DoNotOptimize(out0.data());
        benchmark::DoNotOptimize(out1.data());
    }
    if (!ok) state.SkipWithError("the unit refused to render");
    AudioUnitUninitialize(unit);
    AudioComponentInstanceDispose(unit);
    finish(state, amount);
}
BENCHMARK(BM_ThroughAudioUnitRender)->Arg(0)->Arg(3);

}  // namespace
