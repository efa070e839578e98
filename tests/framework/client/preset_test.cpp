// The preset bank and the state chunk.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "framework/client/preset.h"
#include "framework/core/binrange.h"
#include "testclient.h"

namespace {

using testclient::kCutoff;
using testclient::kDelay;
using testclient::kMode;
using testclient::kSync;
using testclient::makeTestClient;
using testclient::RecordingListener;
using testclient::TestConfig;

// A state chunk written by hand, independently of the writer under test.
struct ChunkBuilder {
    std::vector<std::uint8_t> bytes;
    ChunkBuilder& be32(std::uint32_t v) {
        for (int s = 24; s >= 0; s -= 8) bytes.push_back(static_cast<std::uint8_t>(v >> s));
        return *this;
    }
    ChunkBuilder& le32(std::uint32_t v) {
        for (int s = 0; s <= 24; s += 8) bytes.push_back(static_cast<std::uint8_t>(v >> s));
        return *this;
    }
    ChunkBuilder& leFloat(float f) {
        std::uint32_t u;
        std::memcpy(&u, &f, 4);
        return le32(u);
    }
    // Magic, version, reserved, plug-in version 3.0.1, preset index, value count.
    static ChunkBuilder header(std::int32_t preset, std::int32_t count, std::uint32_t version = 0) {
        ChunkBuilder b;
        b.be32(0x0B20BA92).le32(version).le32(0).le32(0x00030001).le32(static_cast<std::uint32_t>(preset));
        b.le32(static_cast<std::uint32_t>(count));
        return b;
    }
};

// Loads from an exact-size heap copy so that ASan catches any over-read.
fw::Status load(fw::PresetBank& bank, const std::vector<std::uint8_t>& bytes, std::size_t length) {
    std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[length == 0 ? 1 : length]);
    if (length != 0) std::memcpy(copy.get(), bytes.data(), length);
    return bank.loadStateChunk(std::span<const std::uint8_t>(copy.get(), length));
}

fw::Status load(fw::PresetBank& bank, const std::vector<std::uint8_t>& bytes) {
    return load(bank, bytes, bytes.size());
}

std::vector<std::uint8_t> save(const fw::Client& client) {
    fw::Vec<std::uint8_t> out;
    client.presetBank().writeStateChunk(out);
    return std::vector<std::uint8_t>(out.begin(), out.end());
}

// ---- Writing ----

TEST(StateChunk, SixteenParametersMake88Bytes) {
    TestConfig config;
    config.extraParams = 12;
    auto client = makeTestClient(config);
    ASSERT_EQ(client->numParams(), 16);
    EXPECT_EQ(save(*client).size(), 88u);
}

TEST(StateChunk, WritesTheExactLayout) {
    auto client = makeTestClient();
    client->delay().setFromHost(0.25);
    client->sync().setFromHost(1.0);
    ASSERT_TRUE(client->presetBank().loadPresetFromHost(2));
    client->delay().setFromHost(0.25);

    ChunkBuilder expected = ChunkBuilder::header(2, 4);
    expected.leFloat(0.25f)
        .leFloat(static_cast<float>(client->cutoff().getNormalized()))
        .leFloat(static_cast<float>(1.0 / 3.0))
        .leFloat(0.0f);  // preset 2 holds the default for Sync
    EXPECT_EQ(save(*client), expected.bytes);
}

TEST(StateChunk, AppendsAfterExistingBytes) {
    auto client = makeTestClient();
    fw::Vec<std::uint8_t> out;
    out.pushBack(0xEE);
    client->presetBank().writeStateChunk(out);
    ASSERT_EQ(out.length(), 1u + 24u + 16u);
    EXPECT_EQ(out[0], 0xEE);
    EXPECT_EQ(out[1], 0x0B);
    EXPECT_EQ(out[13], 0x01);  // plug-in version 3.0.1 as 01 00 03 00
    EXPECT_EQ(out[15], 0x03);
}

TEST(StateChunk, RoundTripsValuesAndCurrentPreset) {
    auto source = makeTestClient();
    ASSERT_TRUE(source->presetBank().loadPresetFromHost(1));
    source->delay().setFromHost(0.8);
    source->cutoff().setFromHost(0.3);
    source->mode().setFromHost(1.0);
    source->sync().setFromHost(1.0);
    const auto chunk = save(*source);

    auto target = makeTestClient();
    RecordingListener l("l");
    target->cutoff().addListener(&l);
    ASSERT_TRUE(load(target->presetBank(), chunk).ok());
    EXPECT_EQ(target->presetBank().currentPresetIndex(), 1);
    EXPECT_NEAR(target->delay().value(), source->delay().value(), 1e-5);  // stored as float
    EXPECT_NEAR(target->cutoff().value(), source->cutoff().value(), 1e-3);
    EXPECT_EQ(target->mode().value(), 3);
    EXPECT_TRUE(target->sync().value());
    EXPECT_EQ(l.count("changed"), 1);
    target->cutoff().removeListener(&l);
}

// ---- Reading: refusals ----

TEST(StateChunk, RejectsWrongMagic) {
    auto client = makeTestClient();
    ChunkBuilder b = ChunkBuilder::header(0, 0);
    b.bytes[3] = 0x93;
    fw::Status s = load(client->presetBank(), b.bytes);
    EXPECT_STREQ(s.message(), "Can not load, magic number didn't match");
}

TEST(StateChunk, RejectsChunkFromNewerVersion) {
    auto client = makeTestClient();
    fw::Status s = load(client->presetBank(), ChunkBuilder::header(0, 0, 1).bytes);
    EXPECT_STREQ(s.message(), "Can not load chunk done with a newer, incompatible plug-in framework");
}

TEST(StateChunk, AcceptsNegativeVersion) {
    auto client = makeTestClient();
    ChunkBuilder b = ChunkBuilder::header(1, 1, 0xFFFFFFFF);
    b.leFloat(0.75f);
    EXPECT_TRUE(load(client->presetBank(), b.bytes).ok());
    EXPECT_DOUBLE_EQ(client->delay().value(), 7.5);
}

// A client whose every value and preset index differ from a fresh one's.
std::unique_ptr<testclient::TestClient> makeEditedClient() {
    auto client = makeTestClient();
    EXPECT_TRUE(client->presetBank().loadPresetFromHost(1));
    client->delay().setFromHost(0.3);
    client->cutoff().setFromHost(0.6);
    client->mode().setFromHost(0.0);
    client->sync().setFromHost(1.0);
    return client;
}

std::vector<double> values(const fw::Client& client) {
    std::vector<double> out;
    for (int i = 0; i < client.numParams(); ++i) out.push_back(client.param(i)->getNormalized());
    return out;
}

TEST(StateChunk, AnIndexBelowNoPresetIsRefusedBeforeApplyingValues) {
    auto client = makeEditedClient();
    const auto before = values(*client);
    for (std::int32_t bad : {-2, -1000, std::int32_t(0x80000000)}) {
        ChunkBuilder b = ChunkBuilder::header(bad, 1);
        b.leFloat(0.0f);
        fw::Status s = load(client->presetBank(), b.bytes);
        EXPECT_STREQ(s.message(), "Invalid preset index in state chunk") << bad;
    }
    EXPECT_EQ(values(*client), before);
    EXPECT_EQ(client->presetBank().currentPresetIndex(), 1);
}

TEST(StateChunk, AnIndexBeyondTheBankRestoresTheValuesAndSelectsNoPreset) {
    for (std::int32_t beyond : {3, 1 << 30, fw::kNoPreset}) {
        auto client = makeEditedClient();
        ChunkBuilder b = ChunkBuilder::header(beyond, 2);
        b.leFloat(0.0f).leFloat(1.0f);
        ASSERT_TRUE(load(client->presetBank(), b.bytes).ok()) << beyond;
        EXPECT_EQ(client->presetBank().currentPresetIndex(), fw::kNoPreset) << beyond;
        EXPECT_EQ(client->delay().value(), 0.0) << beyond;
        EXPECT_DOUBLE_EQ(client->cutoff().value(), 20000.0) << beyond;
        // No preset is current, so saving the current values keeps them in none.
        std::vector<std::vector<float>> presetsBefore;
        for (int i = 0; i < 3; ++i) presetsBefore.push_back(client->presetBank().preset(i)->normalizedValues);
        client->presetBank().saveCurrentIntoPreset();
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(client->presetBank().preset(i)->normalizedValues, presetsBefore[std::size_t(i)]) << beyond;
    }
    // What such a client saves reads back the same in a fresh one.
    auto source = makeTestClient();
    ASSERT_TRUE(load(source->presetBank(), ChunkBuilder::header(5, 1).leFloat(0.25f).bytes).ok());
    const auto chunk = save(*source);
    auto target = makeTestClient();
    ASSERT_TRUE(load(target->presetBank(), chunk).ok());
    EXPECT_EQ(save(*target), chunk);
    EXPECT_EQ(target->presetBank().currentPresetIndex(), fw::kNoPreset);
}

TEST(StateChunk, EveryTruncationIsRefusedAndChangesNothing) {
    auto source = makeTestClient();
    ASSERT_TRUE(source->presetBank().loadPresetFromHost(2));
    source->delay().setFromHost(0.1);
    source->cutoff().setFromHost(0.9);
    source->mode().setFromHost(1.0);
    const auto chunk = save(*source);

    auto target = makeEditedClient();
    const auto before = save(*target);
    RecordingListener l("l");
    target->delay().addListener(&l);
    for (std::size_t n = 0; n < chunk.size(); ++n) {
        fw::Status s = load(target->presetBank(), chunk, n);
        EXPECT_STREQ(s.message(), "Expected a byte, but found end of input") << n;
        EXPECT_EQ(save(*target), before) << n;
    }
    EXPECT_EQ(l.count("changed"), 0);
    target->delay().removeListener(&l);
    ASSERT_TRUE(load(target->presetBank(), chunk).ok());
    EXPECT_EQ(save(*target), chunk);
}

TEST(StateChunk, CorruptChunksAreRefusedWithTheirMessageAndChangeNothing) {
    const auto good = save(*makeTestClient());  // 4 values
    struct Corruption {
        const char* what;
        std::vector<std::uint8_t> bytes;
        const char* message;
    };
    std::vector<Corruption> corruptions;
    for (std::size_t i = 0; i < 4; ++i) {
        auto b = good;
        b[i] ^= 0x01;
        corruptions.push_back({"magic", b, fw::kBadMagic});
    }
    auto newer = good;
    newer[4] = 1;
    corruptions.push_back({"newer", newer, fw::kNewerChunk});
    auto index = good;
    index[19] = 0xFF;  // a large negative index
    corruptions.push_back({"index", index, fw::kBadPresetIndex});
    for (std::uint8_t count : {5, 17, 0xFF}) {  // more values claimed than present
        auto b = good;
        b[20] = count;
        corruptions.push_back({"count", b, fw::kEndOfInput});
    }
    auto huge = good;
    huge[23] = 0x7F;
    corruptions.push_back({"huge count", huge, fw::kEndOfInput});

    auto target = makeEditedClient();
    const auto before = save(*target);
    for (const Corruption& c : corruptions) {
        EXPECT_STREQ(load(target->presetBank(), c.bytes).message(), c.message) << c.what;
        EXPECT_EQ(save(*target), before) << c.what;
    }
}

// ---- Reading: counts ----

TEST(StateChunk, ValueCountZeroOnlySetsTheCurrentPreset) {
    auto client = makeTestClient();
    client->delay().setFromHost(0.9);
    ASSERT_TRUE(load(client->presetBank(), ChunkBuilder::header(2, 0).bytes).ok());
    EXPECT_EQ(client->presetBank().currentPresetIndex(), 2);
    EXPECT_DOUBLE_EQ(client->delay().value(), 9.0);
}

TEST(StateChunk, NegativeValueCountIsAnEmptyList) {
    auto client = makeTestClient();
    ASSERT_TRUE(load(client->presetBank(), ChunkBuilder::header(1, -7).bytes).ok());
    EXPECT_EQ(client->presetBank().currentPresetIndex(), 1);
    EXPECT_EQ(client->delay().value(), 5.0);
}

TEST(StateChunk, ExtraValuesAreReadAndIgnored) {
    TestConfig config;
    config.extraParams = 12;
    auto client = makeTestClient(config);
    ChunkBuilder b = ChunkBuilder::header(0, 20);
    for (int i = 0; i < 20; ++i) b.leFloat(1.0f);
    ASSERT_TRUE(load(client->presetBank(), b.bytes).ok());
    for (int i = 0; i < 16; ++i) EXPECT_EQ(client->param(i)->getNormalized(), 1.0) << i;

    // The extra values must still be present.
    b.bytes.resize(b.bytes.size() - 1);
    EXPECT_STREQ(load(client->presetBank(), b.bytes).message(), "Expected a byte, but found end of input");
}

TEST(StateChunk, FewerValuesLeaveTheOtherParametersUnchanged) {
    auto client = makeTestClient();
    client->mode().setFromHost(1.0);
    ChunkBuilder b = ChunkBuilder::header(0, 2);
    b.leFloat(0.0f).leFloat(1.0f);
    ASSERT_TRUE(load(client->presetBank(), b.bytes).ok());
    EXPECT_EQ(client->delay().value(), 0.0);
    EXPECT_DOUBLE_EQ(client->cutoff().value(), 20000.0);
    EXPECT_EQ(client->mode().value(), 3);
}

TEST(StateChunk, HugeValueCountFailsAtTheEndOfInput) {
    auto client = makeTestClient();
    ChunkBuilder b = ChunkBuilder::header(0, 0x7FFFFFFF);
    b.leFloat(0.5f);
    EXPECT_STREQ(load(client->presetBank(), b.bytes).message(), "Expected a byte, but found end of input");
}

TEST(StateChunk, NaNValuesAreIgnored) {
    auto client = makeTestClient();
    ChunkBuilder b = ChunkBuilder::header(0, 1);
    b.leFloat(std::nanf(""));
    ASSERT_TRUE(load(client->presetBank(), b.bytes).ok());
    EXPECT_EQ(client->delay().value(), 5.0);
}

TEST(StateChunk, ValuesForAParameterBeingDraggedAreIgnored) {
    auto client = makeTestClient();
    client->delay().beginParamEdit();
    ChunkBuilder b = ChunkBuilder::header(0, 2);
    b.leFloat(1.0f).leFloat(1.0f);
    ASSERT_TRUE(load(client->presetBank(), b.bytes).ok());
    EXPECT_EQ(client->delay().value(), 5.0);
    EXPECT_DOUBLE_EQ(client->cutoff().value(), 20000.0);
    client->delay().endParamEdit();
}

// ---- The bank ----

TEST(PresetBank, LoadingAPresetAppliesItsValuesAndMakesItCurrent) {
    auto client = makeTestClient();
    RecordingListener l("l");
    client->delay().addListener(&l);
    ASSERT_TRUE(client->presetBank().loadPresetFromHost(2));
    EXPECT_EQ(client->presetBank().currentPresetIndex(), 2);
    EXPECT_NEAR(client->delay().value(), 2.0, 1e-6);  // preset i holds delay 0.1 i
    EXPECT_EQ(l.count("changed"), 1);
    client->delay().removeListener(&l);
}

TEST(PresetBank, RefusesPresetNumbersOutsideTheBank) {
    auto client = makeTestClient();
    client->delay().setFromHost(0.9);
    EXPECT_FALSE(client->presetBank().loadPresetFromHost(3));
    EXPECT_FALSE(client->presetBank().loadPresetFromHost(-1));
    EXPECT_EQ(client->presetBank().currentPresetIndex(), 0);
    EXPECT_DOUBLE_EQ(client->delay().value(), 9.0);
    EXPECT_EQ(client->presetBank().preset(3), nullptr);
}

TEST(PresetBank, SavingStoresEveryCurrentValueIntoTheCurrentPreset) {
    auto client = makeTestClient();
    client->delay().setFromHost(0.7);
    client->sync().setFromHost(1.0);
    client->presetBank().saveCurrentIntoPreset();
    const fw::Preset* p = client->presetBank().preset(0);
    ASSERT_NE(p, nullptr);
    EXPECT_FLOAT_EQ(p->normalizedValues[kDelay], 0.7f);
    EXPECT_EQ(p->normalizedValues[kSync], 1.0f);

    // Switching away and back brings the saved values.
    client->presetBank().saveCurrentIntoPreset();
    ASSERT_TRUE(client->presetBank().loadPresetFromHost(1));
    EXPECT_FALSE(client->sync().value());
    ASSERT_TRUE(client->presetBank().loadPresetFromHost(0));
    EXPECT_TRUE(client->sync().value());
    EXPECT_NEAR(client->delay().value(), 7.0, 1e-6);
}

TEST(PresetBank, AHostNamedPresetKeepsTheCurrentSoundAndSavesThePreviousOne) {
    auto client = makeTestClient();
    ASSERT_TRUE(client->presetBank().loadPresetFromHost(1));
    client->mode().setFromHost(1.0);
    client->delay().setFromHost(0.9);
    const auto before = values(*client);
    RecordingListener l("l");
    client->delay().addListener(&l);
    client->presetBank().addPresetFromHost("Host preset");
    client->delay().removeListener(&l);

    fw::PresetBank& bank = client->presetBank();
    ASSERT_EQ(bank.numPresets(), 4);
    EXPECT_EQ(bank.numHostPresets(), 1);
    EXPECT_EQ(bank.currentPresetIndex(), 3);
    EXPECT_EQ(bank.preset(3)->name, "Host preset");
    EXPECT_EQ(bank.preset(1)->normalizedValues[kMode], 1.0f);  // saved before switching
    EXPECT_EQ(values(*client), before);                       // the sound is kept
    EXPECT_EQ(l.count("changed"), 0);
    // The new preset holds that sound: it comes back after another preset was chosen.
    ASSERT_TRUE(bank.loadPresetFromHost(0));
    EXPECT_NE(values(*client), before);
    ASSERT_TRUE(bank.loadPresetFromHost(3));
    for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(values(*client)[i], float(before[i])) << i;
}

TEST(PresetBank, NamingAgainReusesTheEntryAndHostPresetsAreCappedOldestFirst) {
    auto client = makeTestClient();
    fw::PresetBank& bank = client->presetBank();
    bank.addPresetFromHost("Mine");
    client->delay().setFromHost(0.2);
    ASSERT_TRUE(bank.loadPresetFromHost(0));
    client->delay().setFromHost(0.4);
    bank.addPresetFromHost("Mine");
    ASSERT_EQ(bank.numPresets(), 4);
    EXPECT_EQ(bank.currentPresetIndex(), 3);
    EXPECT_FLOAT_EQ(bank.preset(3)->normalizedValues[kDelay], 0.4f);
    // A host-named preset may take the name of one of the plug-in's own: that one stays.
    bank.addPresetFromHost(bank.preset(0)->name);
    EXPECT_EQ(bank.numPresets(), 5);

    auto named = [](int i) { return std::string("n").append(std::to_string(i)); };
    for (int i = 0; i < fw::kMaxHostPresets + 10; ++i) bank.addPresetFromHost(named(i));
    ASSERT_EQ(bank.numPresets(), 3 + fw::kMaxHostPresets);
    EXPECT_EQ(bank.numHostPresets(), fw::kMaxHostPresets);
    EXPECT_EQ(bank.preset(2)->name, "Preset 2");  // the plug-in's own are never dropped
    EXPECT_EQ(bank.preset(3)->name, "n10");       // the oldest went first
    EXPECT_EQ(bank.preset(bank.numPresets() - 1)->name, named(fw::kMaxHostPresets + 9));
    EXPECT_EQ(bank.currentPresetIndex(), bank.numPresets() - 1);
    bank.addPresetFromHost("n50");  // still there: reused, nothing dropped
    EXPECT_EQ(bank.preset(3)->name, "n10");
    EXPECT_EQ(bank.preset(bank.currentPresetIndex())->name, "n50");
}

TEST(PresetBank, ShortPresetsGiveDefaultsAndGrowWhenSaved) {
    TestConfig config;
    config.presetCount = 0;
    auto client = makeTestClient(config);
    fw::PresetBank& bank = client->presetBank();
    bank.saveCurrentIntoPreset();  // no preset: nothing to save into
    EXPECT_EQ(bank.numPresets(), 0);

    bank.addPresetFromHost("First");
    ASSERT_EQ(bank.numPresets(), 1);
    client->delay().setFromHost(1.0);
    bank.saveCurrentIntoPreset();
    EXPECT_EQ(bank.preset(0)->normalizedValues.size(), 4u);
    EXPECT_EQ(bank.preset(0)->normalizedValues[kDelay], 1.0f);
}

TEST(PresetBank, MissingValuesInAPresetLoadAsDefaults) {
    auto client = makeTestClient();
    std::vector<fw::Preset> presets(1);
    presets[0].name = "Short";
    presets[0].normalizedValues = {0.0f};
    fw::PresetBank bank(*client, std::move(presets));
    client->cutoff().setFromHost(1.0);
    ASSERT_TRUE(bank.loadPresetFromHost(0));
    EXPECT_EQ(client->delay().value(), 0.0);
    EXPECT_NEAR(client->cutoff().value(), 1000.0, 1e-9);
}

}  // namespace

namespace {

// ---- Checking without applying ----

TEST(StateChunkCheck, AgreesWithTheLoaderOnEveryTruncationAndChangesNothing) {
    auto source = makeTestClient();
    ASSERT_TRUE(source->presetBank().loadPresetFromHost(2));
    source->delay().setFromHost(0.1);
    const auto chunk = save(*source);
    auto target = makeTestClient();
    const auto before = save(*target);
    for (std::size_t n = 0; n < chunk.size(); ++n) {
        std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[n == 0 ? 1 : n]);
        if (n != 0) std::memcpy(copy.get(), chunk.data(), n);
        const fw::Status checked = target->presetBank().checkStateChunk({copy.get(), n});
        EXPECT_FALSE(checked.ok()) << n;
        auto loader = makeTestClient();
        EXPECT_STREQ(checked.message(), load(loader->presetBank(), chunk, n).message()) << n;
    }
    EXPECT_EQ(save(*target), before);
    EXPECT_TRUE(target->presetBank().checkStateChunk(chunk).ok());
    EXPECT_EQ(save(*target), before);
}

TEST(StateChunkCheck, RefusesWhatTheLoaderRefusesAndTrailingBytes) {
    auto client = makeTestClient();
    ChunkBuilder foreign = ChunkBuilder::header(0, 0);
    foreign.bytes[0] ^= 0xFF;
    EXPECT_STREQ(client->presetBank().checkStateChunk(foreign.bytes).message(), fw::kBadMagic);
    EXPECT_STREQ(client->presetBank().checkStateChunk(ChunkBuilder::header(0, 0, 1).bytes).message(), fw::kNewerChunk);
    EXPECT_STREQ(client->presetBank().checkStateChunk(ChunkBuilder::header(-2, 0).bytes).message(), fw::kBadPresetIndex);
    EXPECT_TRUE(client->presetBank().checkStateChunk(ChunkBuilder::header(7, 0).bytes).ok());  // selects none
    ChunkBuilder longer = ChunkBuilder::header(0, 1);
    longer.leFloat(0.5f).bytes.push_back(0);
    EXPECT_STREQ(client->presetBank().checkStateChunk(longer.bytes).message(), fw::kTrailingBytes);
    // A chunk for fewer or more parameters than the client has is still whole.
    ChunkBuilder fewer = ChunkBuilder::header(1, 1);
    fewer.leFloat(0.5f);
    EXPECT_TRUE(client->presetBank().checkStateChunk(fewer.bytes).ok());
    EXPECT_TRUE(client->presetBank().checkStateChunk(ChunkBuilder::header(0, -4).bytes).ok());
}

}  // namespace
