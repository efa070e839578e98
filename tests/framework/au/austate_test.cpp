// State (the class-info dictionary) and presets: saving, restoring bit for bit,
// refusing foreign or broken dictionaries without changing anything, factory preset
// records, preset selection and presets the host names.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "auhost/cfref.h"
#include "auhost/hostedunit.h"
#include "aufixture.h"

namespace {

using auhost::CFRef;
using auhost::toUTF8;
using autest::getProperty;
using autest::setProperty;
using autest::Unit;

constexpr AudioUnitScope kGlobal = kAudioUnitScope_Global;

CFRef<CFMutableDictionaryRef> classInfo(AudioUnit unit) {
    CFPropertyListRef state = nullptr;
    EXPECT_EQ(getProperty(unit, kAudioUnitProperty_ClassInfo, kGlobal, 0, state), noErr);
    EXPECT_NE(state, nullptr);
    // A mutable copy, so tests can break it.
    CFMutableDictionaryRef copy =
        CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(state));
    CFRelease(state);
    return CFRef<CFMutableDictionaryRef>(copy);
}

SInt32 numberAt(CFDictionaryRef dict, const char* key) {
    SInt32 value = 0;
    CFRef<CFStringRef> k(CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8));
    const void* v = CFDictionaryGetValue(dict, k.get());
    EXPECT_NE(v, nullptr) << key;
    if (v) CFNumberGetValue(static_cast<CFNumberRef>(v), kCFNumberSInt32Type, &value);
    return value;
}

std::vector<UInt8> dataAt(CFDictionaryRef dict) {
    const auto* d = static_cast<CFDataRef>(CFDictionaryGetValue(dict, CFSTR("data")));
    if (d == nullptr) return {};
    return std::vector<UInt8>(CFDataGetBytePtr(d), CFDataGetBytePtr(d) + CFDataGetLength(d));
}

std::vector<float> parameters(AudioUnit unit) {
    std::vector<float> values(16);
    for (UInt32 i = 0; i < 16; ++i) EXPECT_EQ(AudioUnitGetParameter(unit, i, kGlobal, 0, &values[i]), noErr);
    return values;
}

OSStatus restore(AudioUnit unit, CFPropertyListRef state) {
    return setProperty(unit, kAudioUnitProperty_ClassInfo, kGlobal, 0, state);
}

void setSome(AudioUnit unit, float seed) {
    for (UInt32 i = 0; i < 15; ++i)
        ASSERT_EQ(AudioUnitSetParameter(unit, i, kGlobal, 0, float((i * 7 + 3) % 11) / 11.0f * seed, 0), noErr);
}

TEST(State, ClassInfoCarriesTheIdentityThePresetNameAndTheStateChunk) {
    Unit unit(autest::kestrin().factory);
    CFRef<CFMutableDictionaryRef> state = classInfo(unit);
    EXPECT_EQ(numberAt(state.get(), "version"), 196609);
    EXPECT_EQ(UInt32(numberAt(state.get(), "type")), kAudioUnitType_Effect);
    EXPECT_EQ(UInt32(numberAt(state.get(), "subtype")), 0x4B737433u);
    EXPECT_EQ(UInt32(numberAt(state.get(), "manufacturer")), 0x546C6D77u);
    EXPECT_EQ(toUTF8(static_cast<CFStringRef>(CFDictionaryGetValue(state.get(), CFSTR("name")))), "Default");
    const std::vector<UInt8> chunk = dataAt(state.get());
    ASSERT_EQ(chunk.size(), 24u + 4u * 16u);
    EXPECT_EQ(std::vector<UInt8>(chunk.begin(), chunk.begin() + 4), (std::vector<UInt8>{0x0B, 0x20, 0xBA, 0x92}));
}

TEST(State, RestoringIntoAnotherInstanceIsBitExactAndSoundsTheSame) {
    Unit a(autest::kestrin().factory);
    setSome(a, 0.9f);
    CFRef<CFMutableDictionaryRef> saved = classInfo(a);
    Unit b(autest::kestrin().entry);
    ASSERT_EQ(restore(b, saved.get()), noErr);
    EXPECT_EQ(dataAt(classInfo(b).get()), dataAt(saved.get()));
    const std::vector<float> pa = parameters(a), pb = parameters(b);
    for (std::size_t i = 0; i < pa.size(); ++i) EXPECT_EQ(std::memcmp(&pa[i], &pb[i], 4), 0) << i;

    autest::CallbackInput inA([](int c, long f) { return 0.25f * float((f * (c + 3)) % 17) / 17.0f; });
    autest::CallbackInput inB([](int c, long f) { return 0.25f * float((f * (c + 3)) % 17) / 17.0f; });
    autest::prepareStereo(a, inA, 256);
    autest::prepareStereo(b, inB, 256);
    autest::RenderHarness ha(a, 2, 256), hb(b, 2, 256);
    for (int block = 0; block < 4; ++block) {
        ASSERT_EQ(ha.render(256), noErr);
        ASSERT_EQ(hb.render(256), noErr);
        for (UInt32 c = 0; c < 2; ++c) EXPECT_EQ(std::memcmp(ha.channel(c), hb.channel(c), 256 * 4), 0);
    }
}

TEST(State, ForeignOrIncompleteDictionariesAreRefusedAndChangeNothing) {
    Unit unit(autest::kestrin().factory);
    setSome(unit, 0.5f);
    const std::vector<UInt8> before = dataAt(classInfo(unit).get());

    Unit other(autest::kestrin().factory);
    setSome(other, 1.0f);
    auto expectRefused = [&](CFPropertyListRef state, const char* what) {
        EXPECT_EQ(restore(unit, state), kAudioUnitErr_InvalidPropertyValue) << what;
        EXPECT_EQ(dataAt(classInfo(unit).get()), before) << what;
    };
    for (const char* key : {"version", "type", "subtype", "manufacturer", "name", "data"}) {
        CFRef<CFMutableDictionaryRef> state = classInfo(other);
        CFRef<CFStringRef> k(CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8));
        CFDictionaryRemoveValue(state.get(), k.get());
        expectRefused(state.get(), key);
    }
    const SInt32 foreign = 0x54657374;  // 'Test'
    CFRef<CFNumberRef> foreignNumber(CFNumberCreate(nullptr, kCFNumberSInt32Type, &foreign));
    for (const char* key : {"type", "subtype", "manufacturer"}) {
        CFRef<CFMutableDictionaryRef> state = classInfo(other);
        CFRef<CFStringRef> k(CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8));
        CFDictionarySetValue(state.get(), k.get(), foreignNumber.get());
        expectRefused(state.get(), key);
    }
    for (const char* key : {"version", "subtype", "name", "data"}) {  // values of the wrong type
        CFRef<CFMutableDictionaryRef> state = classInfo(other);
        CFRef<CFStringRef> k(CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8));
        CFDictionarySetValue(state.get(), k.get(), std::string(key) == "name" ? static_cast<CFTypeRef>(foreignNumber.get())
                                                                              : CFSTR("Kst3"));
        expectRefused(state.get(), key);
    }
    expectRefused(CFSTR("not a dictionary"), "a string");
    expectRefused(nullptr, "no dictionary");
    CFPropertyListRef none = nullptr;
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kGlobal, 0, &none, 4),
              kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_ClassInfo, kGlobal, 0, nullptr, 8), kAudio_ParamError);
    // The version is not compared.
    CFRef<CFMutableDictionaryRef> newer = classInfo(other);
    const SInt32 v = 0x00090000;
    CFRef<CFNumberRef> version(CFNumberCreate(nullptr, kCFNumberSInt32Type, &v));
    CFDictionarySetValue(newer.get(), CFSTR("version"), version.get());
    EXPECT_EQ(restore(unit, newer.get()), noErr);
    EXPECT_EQ(dataAt(classInfo(unit).get()), dataAt(classInfo(other).get()));
}

std::pair<SInt32, std::string> presentPreset(AudioUnit unit) {
    AUPreset present{};
    EXPECT_EQ(getProperty(unit, kAudioUnitProperty_PresentPreset, kGlobal, 0, present), noErr);
    return {present.presetNumber, toUTF8(CFRef<CFStringRef>(present.presetName).get())};
}

OSStatus restoreWithData(AudioUnit unit, CFMutableDictionaryRef state, const std::vector<UInt8>& chunk) {
    CFRef<CFDataRef> data(CFDataCreate(nullptr, chunk.data(), CFIndex(chunk.size())));
    CFDictionarySetValue(state, CFSTR("data"), data.get());
    return restore(unit, state);
}

TEST(State, ARefusedChunkChangesNoValueAndNoPresetAtAnyByte) {
    Unit unit(autest::kestrin().factory);
    ASSERT_EQ(setProperty(unit, kAudioUnitProperty_PresentPreset, kGlobal, 0, AUPreset{1, nullptr}), noErr);
    setSome(unit, 0.5f);
    const std::vector<float> before = parameters(unit);
    const std::vector<UInt8> chunkBefore = dataAt(classInfo(unit).get());

    Unit other(autest::kestrin().factory);
    ASSERT_EQ(setProperty(other, kAudioUnitProperty_PresentPreset, kGlobal, 0, AUPreset{2, nullptr}), noErr);
    setSome(other, 1.0f);
    CFRef<CFMutableDictionaryRef> state = classInfo(other);
    const std::vector<UInt8> chunk = dataAt(state.get());
    ASSERT_EQ(chunk.size(), 88u);

    std::vector<std::vector<UInt8>> refused;
    for (std::size_t n = 0; n < chunk.size(); ++n) refused.emplace_back(chunk.begin(), chunk.begin() + long(n));
    for (std::size_t at = 0; at < 4; ++at) {  // the magic
        refused.push_back(chunk);
        refused.back()[at] ^= 0x10;
    }
    refused.push_back(chunk);
    refused.back()[4] = 1;  // a newer chunk version
    refused.push_back(chunk);
    refused.back()[19] = 0x80;  // a negative preset index
    for (UInt8 count : {17, 200}) {  // more values claimed than the chunk holds
        refused.push_back(chunk);
        refused.back()[20] = count;
    }
    for (const std::vector<UInt8>& bytes : refused) {
        EXPECT_EQ(restoreWithData(unit, state.get(), bytes), kAudioUnitErr_InvalidPropertyValue) << bytes.size();
        EXPECT_EQ(parameters(unit), before) << bytes.size();
        EXPECT_EQ(presentPreset(unit), (std::pair<SInt32, std::string>{1, "Lead Guitar Magic"})) << bytes.size();
    }
    EXPECT_EQ(dataAt(classInfo(unit).get()), chunkBefore);
    // The whole chunk is taken as it is.
    ASSERT_EQ(restoreWithData(unit, state.get(), chunk), noErr);
    EXPECT_EQ(parameters(unit), parameters(other));
    EXPECT_EQ(presentPreset(unit).first, 2);
}

std::vector<std::pair<SInt32, std::string>> factoryPresets(AudioUnit unit) {
    CFArrayRef presets = nullptr;
    EXPECT_EQ(getProperty(unit, kAudioUnitProperty_FactoryPresets, kGlobal, 0, presets), noErr);
    CFRef<CFArrayRef> owned(presets);
    std::vector<std::pair<SInt32, std::string>> out;
    for (CFIndex i = 0; presets && i < CFArrayGetCount(presets); ++i) {
        const auto* p = static_cast<const AUPreset*>(CFArrayGetValueAtIndex(presets, i));
        out.emplace_back(p->presetNumber, toUTF8(p->presetName));
    }
    return out;
}

TEST(Presets, FactoryPresetsAreListedInOrder) {
    Unit unit(autest::kestrin().factory);
    const std::vector<std::pair<SInt32, std::string>> expected = {
        {0, "Default"}, {1, "Lead Guitar Magic"}, {2, "Chaotic Bliss"}};
    EXPECT_EQ(factoryPresets(unit), expected);
}

TEST(Presets, PresetRecordsAreReferenceCountedComparableAndDescribed) {
    Unit unit(autest::kestrin().factory);
    CFArrayRef first = nullptr, second = nullptr;
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_FactoryPresets, kGlobal, 0, first), noErr);
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_FactoryPresets, kGlobal, 0, second), noErr);
    CFRef<CFArrayRef> ownedSecond(second);
    EXPECT_TRUE(CFEqual(first, second));  // by number, then name
    // A copy shares the records: they must outlive the array they came from.
    CFRef<CFArrayRef> copy(CFArrayCreateCopy(nullptr, first));
    CFRelease(first);
    const auto* record = static_cast<const AUPreset*>(CFArrayGetValueAtIndex(copy.get(), 1));
    EXPECT_EQ(record->presetNumber, 1);
    EXPECT_EQ(toUTF8(record->presetName), "Lead Guitar Magic");
    CFRef<CFStringRef> description(CFCopyDescription(copy.get()));
    const std::string text = toUTF8(description.get());
    EXPECT_NE(text.find("AUPreset:\npreset number = 1\npreset name = Lead Guitar Magic"), std::string::npos) << text;
    CFRef<CFMutableArrayRef> reordered(CFArrayCreateMutableCopy(nullptr, 0, copy.get()));
    CFArrayExchangeValuesAtIndices(reordered.get(), 0, 1);
    EXPECT_FALSE(CFEqual(reordered.get(), copy.get()));
}

TEST(Presets, SelectingAPresetKeepsTheEditsOfTheOneBefore) {
    Unit unit(autest::kestrin().factory);
    ASSERT_EQ(AudioUnitSetParameter(unit, 0, kGlobal, 0, 0.123f, 0), noErr);
    const std::vector<float> edited = parameters(unit);
    ASSERT_EQ(setProperty(unit, kAudioUnitProperty_PresentPreset, kGlobal, 0, AUPreset{2, nullptr}), noErr);
    AUPreset present{};
    ASSERT_EQ(getProperty(unit, kAudioUnitProperty_PresentPreset, kGlobal, 0, present), noErr);
    EXPECT_EQ(present.presetNumber, 2);
    EXPECT_EQ(toUTF8(CFRef<CFStringRef>(present.presetName).get()), "Chaotic Bliss");
    EXPECT_NE(parameters(unit), edited);
    ASSERT_EQ(setProperty(unit, kAudioUnitProperty_CurrentPreset, kGlobal, 0, AUPreset{0, nullptr}), noErr);
    EXPECT_EQ(parameters(unit), edited);  // saved into preset 0 before preset 2 was applied
}

TEST(Presets, AHostNamedPresetKeepsTheCurrentSound) {
    Unit unit(autest::kestrin().factory);
    setSome(unit, 0.7f);
    const std::vector<float> edited = parameters(unit);
    ASSERT_EQ(setProperty(unit, kAudioUnitProperty_PresentPreset, kGlobal, 0, AUPreset{-1, CFSTR("My Sound")}), noErr);
    EXPECT_EQ(presentPreset(unit), (std::pair<SInt32, std::string>{3, "My Sound"}));
    EXPECT_EQ(parameters(unit), edited);
    EXPECT_EQ(factoryPresets(unit).size(), 4u);
    // "My Sound" holds the edits: they come back after another preset was chosen.
    ASSERT_EQ(setProperty(unit, kAudioUnitProperty_PresentPreset, kGlobal, 0, AUPreset{2, nullptr}), noErr);
    ASSERT_NE(parameters(unit), edited);
    ASSERT_EQ(setProperty(unit, kAudioUnitProperty_PresentPreset, kGlobal, 0, AUPreset{3, nullptr}), noErr);
    EXPECT_EQ(parameters(unit), edited);
    // Neither in the bank nor named: nothing happens.
    ASSERT_EQ(setProperty(unit, kAudioUnitProperty_PresentPreset, kGlobal, 0, AUPreset{17, nullptr}), noErr);
    EXPECT_EQ(factoryPresets(unit).size(), 4u);
    const AUPreset present{3, nullptr};
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_PresentPreset, kGlobal, 0, &present, 8),
              kAudioUnitErr_InvalidPropertyValue);
}

TEST(Presets, NamingAgainReusesTheEntryAndTheHostsPresetsAreCapped) {
    Unit unit(autest::kestrin().factory);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(AudioUnitSetParameter(unit, 0, kGlobal, 0, 0.1f * float(i + 1), 0), noErr);
        ASSERT_EQ(setProperty(unit, kAudioUnitProperty_PresentPreset, kGlobal, 0, AUPreset{-1, CFSTR("Again")}),
                  noErr);
    }
    EXPECT_EQ(factoryPresets(unit).size(), 4u);
    EXPECT_EQ(presentPreset(unit), (std::pair<SInt32, std::string>{3, "Again"}));
    for (int i = 0; i < 300; ++i) {
        CFRef<CFStringRef> name(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("Take %d"), i));
        ASSERT_EQ(setProperty(unit, kAudioUnitProperty_PresentPreset, kGlobal, 0, AUPreset{-1, name.get()}), noErr);
    }
    const std::vector<std::pair<SInt32, std::string>> presets = factoryPresets(unit);
    ASSERT_EQ(presets.size(), 3u + 128u);
    EXPECT_EQ(presets[2].second, "Chaotic Bliss");
    EXPECT_EQ(presets[3].second, "Take 172");  // the oldest went first
    EXPECT_EQ(presets.back(), (std::pair<SInt32, std::string>{130, "Take 299"}));
    EXPECT_EQ(presentPreset(unit), presets.back());
}

TEST(Presets, AStateSavedOnAHostNamedPresetOpensInAFreshInstance) {
    Unit unit(autest::kestrin().factory);
    setSome(unit, 0.6f);
    ASSERT_EQ(setProperty(unit, kAudioUnitProperty_PresentPreset, kGlobal, 0, AUPreset{-1, CFSTR("Saved")}), noErr);
    CFRef<CFMutableDictionaryRef> state = classInfo(unit);
    const std::vector<UInt8> chunk = dataAt(state.get());
    ASSERT_EQ(chunk[16], 3);  // the preset index: beyond a fresh instance's bank

    Unit fresh(autest::kestrin().entry);
    ASSERT_EQ(restore(fresh, state.get()), noErr);
    EXPECT_EQ(parameters(fresh), parameters(unit));
    EXPECT_EQ(presentPreset(fresh).first, -1);  // no preset is selected
    EXPECT_EQ(factoryPresets(fresh).size(), 3u);
    // What it saves now opens again, and so does a chunk naming any preset beyond.
    CFRef<CFMutableDictionaryRef> again = classInfo(fresh);
    Unit third(autest::kestrin().factory);
    ASSERT_EQ(restore(third, again.get()), noErr);
    EXPECT_EQ(parameters(third), parameters(unit));
    std::vector<UInt8> far = chunk;
    far[19] = 0x7F;
    ASSERT_EQ(restoreWithData(third, again.get(), far), noErr);
    EXPECT_EQ(parameters(third), parameters(unit));
}

TEST(Presets, PresetFilesRoundTripThroughTheHostLibrary) {
    std::unique_ptr<auhost::HostedUnit> a, b;
    ASSERT_TRUE(auhost::HostedUnit::create(autest::kestrin().factory, a).ok());
    ASSERT_TRUE(auhost::HostedUnit::create(autest::kestrin().entry, b).ok());
    ASSERT_TRUE(a->choosePreset(1).ok());
    ASSERT_TRUE(a->setParameter(3, 0.375f).ok());
    const std::string path = ::testing::TempDir() + "kestrin_au_state_test.aupreset";
    ASSERT_TRUE(a->savePresetFile(path).ok());
    ASSERT_TRUE(b->loadPresetFile(path).ok());
    std::remove(path.c_str());
    EXPECT_EQ(parameters(a->unit()), parameters(b->unit()));
    auhost::PresetEntry present;
    ASSERT_TRUE(b->presentPreset(present).ok());
    EXPECT_EQ(present.number, 1);
    EXPECT_EQ(present.name, "Lead Guitar Magic");
}

}  // namespace
