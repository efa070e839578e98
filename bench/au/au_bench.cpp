// Speed of Kestrin as a host runs it: 48 kHz stereo in 512-frame blocks through the
// plug-in binary's exported factory (registered with AudioComponentRegister) and
// AudioUnitRender with a render-callback input, against Client::processAudioFromHost
// on the client directly, at oversampling factors 1, 2, 4 and 8. "x_realtime" is
// seconds of audio processed per CPU second; the ratio of the two benchmarks at one
// factor is the wrapper's overhead.

#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <AudioToolbox/AudioToolbox.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "kestrin/kestrin.h"

namespace {

constexpr int kRate = 48000;
constexpr UInt32 kBlock = 512;

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

void BM_ClientDirect(benchmark::State& state) {
    const int amount = int(state.range(0));  // "Upsample Amount" 0..3
    auto k = fw::makeClient<kestrin::Kestrin>();
    k->setParameterFromHost(kestrin::kUpsampleAmountParameter, float(amount / 3.0));
    k->resetFromHost(kRate, kBlock, 2, 2);
    std::vector<float> left = noise(1), right = noise(2), out0(kBlock), out1(kBlock);
    fw::TimeInfo info;
    for (auto _ : state) {
        float* ins[2] = {left.data(), right.data()};  // advanced by the call: rebuilt each block
        float* outs[2] = {out0.data(), out1.data()};
        k->processAudioFromHost(ins, outs, int(kBlock), info, false);
        info.timeInSamples += kBlock;
        benchmark::DoNotOptimize(out0.data());
        benchmark::DoNotOptimize(out1.data());
    }
    finish(state, amount);
}
BENCHMARK(BM_ClientDirect)->DenseRange(0, 3);

// The plug-in binary's factory, registered once as a host registers a bundle's component.
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
              AudioUnitSetParameter(unit, kestrin::kUpsampleAmountParameter, kAudioUnitScope_Global, 0,
                                    float(amount / 3.0), 0) == noErr &&
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
BENCHMARK(BM_ThroughAudioUnitRender)->DenseRange(0, 3);

}  // namespace
