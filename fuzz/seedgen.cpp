// Writes the seed corpus of every fuzz target, made by the project's own code: state
// chunks saved by the client, the factory FXB bank, ClassInfo property lists and
// .aupreset files saved by the plug-in binary, parameter display texts, sound files
// written by the command-line host's writer, LV2 states and port values, and
// property-call sequences in the Audio Unit target's encoding.
//   kestrin_fuzz_seeds <folder>   makes <folder>/<target>/ for each target

#include <CoreFoundation/CoreFoundation.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audiofile.h"
#include "auhost/presetfile.h"
#include "framework/core/vec.h"
#include "fuzzsupport.h"
#include "kestrin/factorypresets.h"
#include "kestrin/kestrin.h"
#include "kestrin/lv2/kestrinlv2.h"
#include "lv2fixture.h"
#include "sysframeworks/bplistencoder.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

class Corpus {
public:
    Corpus(const fs::path& root, const char* target) : dir_(root / target) { fs::create_directories(dir_); }
    void add(const Bytes& bytes) {
        std::ofstream out(dir_ / ("seed-" + std::to_string(count_++)), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!out) kfuzz::trap("cannot write a seed");
    }

private:
    fs::path dir_;
    int count_ = 0;
};

void put8(Bytes& b, std::uint8_t v) { b.push_back(v); }
void put16(Bytes& b, std::uint16_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
void put32(Bytes& b, std::uint32_t v) {
    put16(b, std::uint16_t(v));
    put16(b, std::uint16_t(v >> 16));
}
void putF32(Bytes& b, float f) {
    std::uint32_t v;
    std::memcpy(&v, &f, sizeof v);
    put32(b, v);
}
template <class T>
void putRaw(Bytes& b, const T& value) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(&value);
    b.insert(b.end(), p, p + sizeof value);
}
void append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

Bytes bytesOf(CFDataRef data) {
    const UInt8* p = CFDataGetBytePtr(data);
    return Bytes(p, p + CFDataGetLength(data));
}

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes chunkOf(fw::ClientFacade& f) {
    fw::Vec<std::uint8_t> chunk;
    f.saveState(chunk);
    return Bytes(chunk.data(), chunk.data() + chunk.size());
}

// The states worth starting from: the defaults, each factory preset, a moved knob.
std::vector<Bytes> stateChunks() {
    std::vector<Bytes> chunks;
    kfuzz::LocalKestrin k;
    chunks.push_back(chunkOf(*k));
    for (int p = 0; p < k->numPresets(); ++p) {
        if (!k->selectPreset(p)) kfuzz::trap("a factory preset does not select");
        chunks.push_back(chunkOf(*k));
    }
    (void)k->setParameter(0, 0.3);
    (void)k->setParameter(kestrin::kUpsampleAmountParameter, 1.0);
    chunks.push_back(chunkOf(*k));
    return chunks;
}

// ClassInfo dictionaries of the plug-in binary: fresh, and after each factory preset.
std::vector<auhost::CFRef<CFPropertyListRef>> classInfos() {
    std::vector<auhost::CFRef<CFPropertyListRef>> infos;
    auto unit = kfuzz::newKestrinUnit();
    std::vector<auhost::PresetEntry> presets;
    if (!unit->factoryPresets(presets)) kfuzz::trap("no factory presets");
    for (std::size_t p = 0; p <= presets.size(); ++p) {
        if (p > 0 && !unit->choosePreset(presets[p - 1].number)) kfuzz::trap("a factory preset does not load");
        auhost::CFRef<CFPropertyListRef> info;
        if (!unit->copyClassInfo(info)) kfuzz::trap("no ClassInfo");
        infos.push_back(std::move(info));
    }
    return infos;
}

Bytes xmlOf(CFPropertyListRef plist) {
    CFDataRef xml = CFPropertyListCreateXMLData(nullptr, plist);
    if (xml == nullptr) kfuzz::trap("a property list does not write");
    Bytes b = bytesOf(xml);
    CFRelease(xml);
    return b;
}

// The binary form, written by the tests' encoder: hosts save presets both ways.
bool binaryOf(CFPropertyListRef plist, Bytes& out) {
    out = bplisttest::encode(plist);
    return !out.empty();
}

void propertyLists(const fs::path& root, const std::vector<auhost::CFRef<CFPropertyListRef>>& infos) {
    Corpus plist(root, "plist");
    Corpus classinfo(root, "classinfo");
    for (const auto& info : infos) {
        const Bytes xml = xmlOf(info.get());
        plist.add(xml);
        Bytes whole{0};
        append(whole, xml);
        classinfo.add(whole);
        Bytes binary;
        if (binaryOf(info.get(), binary)) {
            plist.add(binary);
            Bytes b{0};
            append(b, binary);
            classinfo.add(b);
        }
    }
    // A list with every value type, made through the CF API.
    const SInt32 i = -7;
    const double d = 2.5;
    const UInt8 raw[] = {0, 1, 2, 0xFF};
    CFTypeRef values[] = {CFStringCreateWithCString(nullptr, "a & <b>", kCFStringEncodingUTF8),
                          CFNumberCreate(nullptr, kCFNumberSInt32Type, &i),
                          CFNumberCreate(nullptr, kCFNumberDoubleType, &d), CFDataCreate(nullptr, raw, sizeof raw),
                          CFRetain(kCFBooleanTrue), CFRetain(kCFBooleanFalse)};
    CFArrayRef array = CFArrayCreate(nullptr, values, std::size(values), &kCFTypeArrayCallBacks);
    plist.add(xmlOf(array));
    Bytes binary;
    if (binaryOf(array, binary)) plist.add(binary);
    CFRelease(array);
    for (CFTypeRef v : values) CFRelease(v);
    // Edits in the ClassInfo target's own encoding: the state chunk under "data", and
    // a key given the wrong type.
    for (const Bytes& chunk : stateChunks()) {
        Bytes edit{1, 5, 5};
        put16(edit, std::uint16_t(chunk.size()));
        append(edit, chunk);
        classinfo.add(edit);
    }
    classinfo.add(Bytes{1, 0, 4, 3, '1', '.', '0'});
}

void presetFiles(const fs::path& root, const fs::path& scratch) {
    Corpus corpus(root, "aupreset");
    auto unit = kfuzz::newKestrinUnit();
    std::vector<auhost::PresetEntry> presets;
    if (!unit->factoryPresets(presets)) kfuzz::trap("no factory presets");
    for (std::size_t p = 0; p <= presets.size(); ++p) {
        if (p > 0 && !unit->choosePreset(presets[p - 1].number)) kfuzz::trap("a factory preset does not load");
        const fs::path file = scratch / "seed.aupreset";
        if (!unit->savePresetFile(file.string())) kfuzz::trap("a preset file does not save");
        corpus.add(readFile(file));
    }
}

void stateAndBank(const fs::path& root) {
    Corpus states(root, "statechunk");
    for (const Bytes& chunk : stateChunks()) states.add(chunk);
    Corpus bank(root, "fxb");
    const auto factory = kestrin::factoryPresetBank();
    for (std::uint8_t limit : {0, 2, 3}) {
        Bytes b{limit};
        b.insert(b.end(), factory.begin(), factory.end());
        bank.add(b);
    }
}

void parameterTexts(const fs::path& root) {
    Corpus corpus(root, "paramtext");
    kfuzz::LocalKestrin k;
    for (int i = 0; i < k->numParameters(); ++i)
        for (double v : {0.0, 0.37, 1.0}) {
            char text[128];
            if (!k->parameterText(i, v, text, sizeof text)) kfuzz::trap("a value has no text");
            Bytes b{std::uint8_t(i)};
            b.insert(b.end(), text, text + std::strlen(text));
            corpus.add(b);
        }
}

void parameterBits(const fs::path& root) {
    Corpus corpus(root, "parambits");
    kfuzz::LocalKestrin k;
    for (int p = 0; p < k->numPresets(); ++p) {
        if (!k->selectPreset(p)) kfuzz::trap("a factory preset does not select");
        Bytes b{std::uint8_t(p + 1), std::uint8_t(p), 4};
        for (float x : {0.5f, -0.25f, 1e-30f, 0.0f}) putF32(b, x);
        for (int i = 0; i < k->numParameters(); ++i) {
            double v = 0;
            if (!k->getParameter(i, v)) kfuzz::trap("a parameter cannot be read");
            putF32(b, float(v));
        }
        put8(b, 1);
        corpus.add(b);
    }
}

void soundFiles(const fs::path& root, const fs::path& scratch) {
    Corpus corpus(root, "audiofile");
    struct Shape {
        const char* name;
        double rate;
        int channels;
        std::size_t frames;
        int bits;
    };
    const Shape shapes[] = {{"a.wav", 48000, 2, 300, 32}, {"b.aiff", 44100, 1, 200, 16},
                            {"c.flac", 96000, 2, 500, 24}, {"d.wav", 8000, 1, 1, 24}, {"e.wav", 44100, 2, 100, 16}};
    for (const Shape& s : shapes) {
        std::vector<std::vector<float>> channels(std::size_t(s.channels), std::vector<float>(s.frames));
        for (std::size_t c = 0; c < channels.size(); ++c)
            for (std::size_t i = 0; i < s.frames; ++i) channels[c][i] = float(std::sin(0.05 * double(i + c * 7)));
        std::vector<const float*> pointers;
        for (const auto& c : channels) pointers.push_back(c.data());
        const fs::path file = scratch / s.name;
        std::unique_ptr<kestrincli::OutputFile> out;
        std::string error;
        kestrincli::Container container{};
        kestrincli::OutputFormat format;
        if (!kestrincli::containerFor(file.string(), container, error) ||
            !kestrincli::outputFormatFor(container, s.bits, format, error) ||
            !kestrincli::OutputFile::create(file.string(), format, s.rate, s.channels, out, error) ||
            !out->write(pointers.data(), s.frames, error) || !out->commit(error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            kfuzz::trap("a sound file does not write");
        }
        corpus.add(readFile(file));
    }
}

void lv2Inputs(const fs::path& root) {
    Corpus corpus(root, "lv2");
    lv2test::Instance instance(kestrin::lv2::kStereoUri);
    if (!instance.ok()) kfuzz::trap("the LV2 plug-in does not instantiate");
    for (const Bytes& chunk : stateChunks())
        for (std::uint8_t head : {0, 5}) {
            Bytes b{head};
            put16(b, std::uint16_t(chunk.size()));
            put8(b, 1);
            append(b, chunk);
            for (int p = 0; p < instance.numPorts(); ++p) {
                put8(b, 1);
                putF32(b, instance.control(p));
            }
            corpus.add(b);
        }
}

// Property-call sequences in the Audio Unit target's encoding.
void propertyCalls(const fs::path& root) {
    Corpus corpus(root, "auproperty");
    auto get = [](Bytes& b, std::uint8_t id, std::uint8_t scope, std::uint8_t element, std::uint8_t size) {
        b.insert(b.end(), {1, id, scope, element, size});
        b.insert(b.end(), size, 0);
        putF32(b, 0.5f);
    };
    auto set = [](Bytes& b, std::uint8_t id, std::uint8_t scope, const Bytes& value) {
        b.insert(b.end(), {3, id, scope, 0, std::uint8_t(value.size())});
        append(b, value);
    };
    // Every property's info and value in the global, input and output scopes.
    for (std::uint8_t scope : {0, 1, 2}) {
        Bytes b;
        for (std::uint8_t id = 0; id <= 50; ++id) {
            b.insert(b.end(), {0, id, scope, 0, 1});
            get(b, id, scope, 0, 64);
            if (id == kAudioUnitProperty_ParameterValueFromString) b.push_back(6);
            if (id == kAudioUnitProperty_ParameterStringFromValue) b.push_back(1);
        }
        corpus.add(b);
    }
    // A host's set-up: formats, maximum frames, callbacks, initialize, renders.
    Bytes setup;
    AudioStreamBasicDescription f{};
    f.mSampleRate = 96000;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved;
    f.mBytesPerPacket = 4;
    f.mFramesPerPacket = 1;
    f.mBytesPerFrame = 4;
    f.mChannelsPerFrame = 2;
    f.mBitsPerChannel = 32;
    Bytes format;
    putRaw(format, f);
    set(setup, kAudioUnitProperty_StreamFormat, 1, format);
    set(setup, kAudioUnitProperty_StreamFormat, 2, format);
    Bytes frames;
    put32(frames, 512);
    set(setup, kAudioUnitProperty_MaximumFramesPerSlice, 0, frames);
    Bytes callback(sizeof(AURenderCallbackStruct), 0);
    set(setup, kAudioUnitProperty_SetRenderCallback, 1, callback);
    setup.push_back(1);
    Bytes callbacks(sizeof(HostCallbackInfo), 0);
    set(setup, kAudioUnitProperty_HostCallbacks, 0, callbacks);
    setup.insert(setup.end(), {1, 1, 1, 1});
    setup.insert(setup.end(), {6, 1});          // initialize
    setup.insert(setup.end(), {7, 6, 0});       // render 256 frames of stereo
    setup.insert(setup.end(), {8, 0, 14, 0, 0});  // the tempo parameter
    putF32(setup, 90.0f);
    setup.push_back(0);
    setup.insert(setup.end(), {7, 0x83, 0x40, 0x01, 0});
    Bytes classInfo(sizeof(CFPropertyListRef), 0);
    set(setup, kAudioUnitProperty_ClassInfo, 0, classInfo);
    setup.push_back(1);
    setup.insert(setup.end(), {7, 1, 0});
    corpus.add(setup);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrin_fuzz_seeds <folder>\n");
        return 2;
    }
    const fs::path root = argv[1];
    const fs::path scratch = root / ".scratch";
    fs::create_directories(scratch);
    stateAndBank(root);
    propertyLists(root, classInfos());
    presetFiles(root, scratch);
    parameterTexts(root);
    parameterBits(root);
    soundFiles(root, scratch);
    lv2Inputs(root);
    propertyCalls(root);
    fs::remove_all(scratch);
    return 0;
}
