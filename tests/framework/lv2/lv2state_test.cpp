// State and presets as hosts handle them with lilv: a saved state restores into a
// fresh instance, corrupt or foreign chunks are refused without a change, restored
// values and the host's ports do not fight, and every factory preset loads.

#include <gtest/gtest.h>

#include <lv2/atom/atom.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "framework/client/clientfacade.h"
#include "kestrin/kestrin.h"
#include "kestrin/lv2/kestrinlv2.h"
#include "lv2fixture.h"

namespace {

using lv2test::Bundle;
using lv2test::Instance;
using lv2test::Node;
using Channels = std::vector<std::vector<float>>;

const LV2_State_Interface* stateOf(Instance& i) {
    return static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(i.lilv(), LV2_STATE__interface));
}

// What a store function received.
struct Stored {
    std::map<LV2_URID, std::vector<std::uint8_t>> values;
    std::map<LV2_URID, LV2_URID> types;
};

LV2_State_Status storeInto(LV2_State_Handle h, std::uint32_t key, const void* value, std::size_t size,
                           std::uint32_t type, std::uint32_t) {
    auto* s = static_cast<Stored*>(h);
    const auto* p = static_cast<const std::uint8_t*>(value);
    s->values[key].assign(p, p + size);
    s->types[key] = type;
    return LV2_STATE_SUCCESS;
}

std::vector<std::uint8_t> savedChunk(Instance& i) {
    Stored s;
    EXPECT_EQ(stateOf(i)->save(i.lilv()->lv2_handle, storeInto, &s, LV2_STATE_IS_POD, i.features()),
              LV2_STATE_SUCCESS);
    const LV2_URID key = i.urids().map((std::string(kestrin::lv2::kStereoUri) + "#stateChunk").c_str());
    EXPECT_EQ(s.types[key], i.urids().map(LV2_ATOM__Chunk));
    return s.values[key];
}

// A retrieve function offering one value of any type.
struct Offer {
    LV2_URID key;
    LV2_URID type;
    std::vector<std::uint8_t> bytes;
};

const void* retrieveFrom(LV2_State_Handle h, std::uint32_t key, std::size_t* size, std::uint32_t* type,
                         std::uint32_t* flags) {
    auto* o = static_cast<Offer*>(h);
    if (key != o->key) return nullptr;
    *size = o->bytes.size();
    *type = o->type;
    *flags = LV2_STATE_IS_POD;
    return o->bytes.data();
}

void setPort(const char* symbol, void* user, const void* value, std::uint32_t size, std::uint32_t type) {
    auto* i = static_cast<Instance*>(user);
    if (size == sizeof(float) && type == i->urids().map(LV2_ATOM__Float))
        i->control(symbol) = *static_cast<const float*>(value);
}

const void* getPort(const char* symbol, void* user, std::uint32_t* size, std::uint32_t* type) {
    auto* i = static_cast<Instance*>(user);
    *size = sizeof(float);
    *type = i->urids().map(LV2_ATOM__Float);
    return &i->control(symbol);
}

Channels noise(std::size_t frames) {
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> d(-0.5f, 0.5f);
    Channels c(2, std::vector<float>(frames));
    for (auto& ch : c)
        for (float& x : ch) x = d(rng);
    return c;
}

Instance* started(Instance& i) {
    i.connectAll(8192);
    i.activate();
    return &i;
}

TEST(Lv2State, ASavedSessionRestoresIntoAFreshInstanceAndSoundsTheSame) {
    Instance a(kestrin::lv2::kStereoUri);
    ASSERT_TRUE(a.ok());
    started(a);
    a.control("delay_l") = 1234.0f;
    a.control("sync") = 0.0f;
    a.control("upsample_amount") = 2.0f;
    a.control("note_r") = 7.0f;
    const Channels in = noise(4096);
    Channels out;
    a.run(in, 0, 512, out);

    LilvState* state = lilv_state_new_from_instance(a.plugin(), a.lilv(), a.urids().mapFeature(), nullptr, nullptr,
                                                    nullptr, nullptr, getPort, &a, 0, a.features());
    ASSERT_NE(state, nullptr);
    Instance b(kestrin::lv2::kStereoUri);
    ASSERT_TRUE(b.ok());
    started(b);
    lilv_state_restore(state, b.lilv(), setPort, &b, 0, b.features());
    lilv_state_free(state);
    EXPECT_EQ(b.control("delay_l"), 1234.0f);
    EXPECT_EQ(savedChunk(b), savedChunk(a));

    // The restored instance sounds like one set up by its ports alone: the restored
    // values and the host's ports agree.
    Instance c(kestrin::lv2::kStereoUri);
    ASSERT_TRUE(c.ok());
    started(c);
    for (const char* port : {"delay_l", "sync", "upsample_amount", "note_r"}) c.control(port) = a.control(port);
    Channels outB, outC;
    b.run(in, 0, 4096, outB);
    c.run(in, 0, 4096, outC);
    EXPECT_EQ(outB, outC);
    EXPECT_EQ(savedChunk(b), savedChunk(a));
}

TEST(Lv2State, RestoredValuesSurviveTheNextRunWhenThePortsStillHoldTheirOldValues) {
    // A host that restores the chunk and has not yet written its ports: the next run
    // must not write the old port values back over the restored state.
    Instance a(kestrin::lv2::kStereoUri);
    ASSERT_TRUE(a.ok());
    started(a);
    a.control("delay_l") = 77.0f;
    Channels out;
    a.run(noise(64), 0, 64, out);
    Offer offer{a.urids().map((std::string(kestrin::lv2::kStereoUri) + "#stateChunk").c_str()),
                a.urids().map(LV2_ATOM__Chunk), savedChunk(a)};

    Instance b(kestrin::lv2::kStereoUri);
    ASSERT_TRUE(b.ok());
    started(b);
    b.run(noise(64), 0, 64, out);  // ports at their defaults, applied
    ASSERT_EQ(stateOf(b)->restore(b.lilv()->lv2_handle, retrieveFrom, &offer, 0, b.features()), LV2_STATE_SUCCESS);
    b.run(noise(64), 0, 64, out);
    EXPECT_EQ(savedChunk(b), offer.bytes);
    // A port the host moves afterwards still wins.
    b.control("delay_l") = 900.0f;
    b.run(noise(64), 0, 64, out);
    EXPECT_NE(savedChunk(b), offer.bytes);
}

TEST(Lv2State, ASaveBeforeTheNextRunHoldsTheValuesTheHostSetOnItsPorts) {
    // Ardour sets a control and saves its session before the engine runs a cycle.
    Instance a(kestrin::lv2::kStereoUri);
    ASSERT_TRUE(a.ok());
    started(a);
    Channels out;
    a.run(noise(64), 0, 64, out);
    a.control("delay_l") = 1234.0f;
    a.control("note_l") = 9.0f;
    const std::vector<std::uint8_t> saved = savedChunk(a);

    Instance b(kestrin::lv2::kStereoUri);
    ASSERT_TRUE(b.ok());
    started(b);
    b.control("delay_l") = 1234.0f;
    b.control("note_l") = 9.0f;
    b.run(noise(64), 0, 64, out);
    EXPECT_EQ(saved, savedChunk(b));
}

TEST(Lv2State, RefusesChunksOfTheWrongTypeSizeOrOriginWithoutChangingAnything) {
    Instance i(kestrin::lv2::kStereoUri);
    ASSERT_TRUE(i.ok());
    started(i);
    const std::vector<std::uint8_t> before = savedChunk(i);
    const LV2_URID key = i.urids().map((std::string(kestrin::lv2::kStereoUri) + "#stateChunk").c_str());
    const LV2_URID chunkType = i.urids().map(LV2_ATOM__Chunk);

    // A valid chunk of other values (another instance's), to be spoiled in the ways a
    // broken session can.
    Instance other(kestrin::lv2::kStereoUri);
    ASSERT_TRUE(other.ok());
    started(other);
    other.control("delay_l") = 42.0f;
    other.control("upsample_amount") = 1.0f;
    Channels out;
    other.run(noise(64), 0, 64, out);
    const std::vector<std::uint8_t> good = savedChunk(other);
    ASSERT_NE(good, before);
    struct Case {
        const char* what;
        LV2_URID type;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"wrong type", i.urids().map(LV2_ATOM__String), good});
    cases.push_back({"empty", chunkType, {}});
    cases.push_back({"truncated", chunkType, {good.begin(), good.end() - 3}});
    auto longer = good;
    longer.push_back(0);
    cases.push_back({"trailing bytes", chunkType, longer});
    auto foreign = good;
    foreign[0] ^= 0xFF;
    cases.push_back({"foreign magic", chunkType, foreign});
    auto newer = good;
    newer[4] = 1;
    cases.push_back({"newer version", chunkType, newer});
    auto badIndex = good;
    badIndex[19] = 0x80;  // negative (an index beyond the bank only selects no preset)
    cases.push_back({"preset index", chunkType, badIndex});
    auto hugeCount = good;
    hugeCount[23] = 0x7F;
    cases.push_back({"parameter count", chunkType, hugeCount});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Offer offer{key, c.type, c.bytes};
        EXPECT_NE(stateOf(i)->restore(i.lilv()->lv2_handle, retrieveFrom, &offer, 0, i.features()),
                  LV2_STATE_SUCCESS);
        EXPECT_EQ(savedChunk(i), before);
    }
    Offer missing{key + 1000, chunkType, good};
    EXPECT_EQ(stateOf(i)->restore(i.lilv()->lv2_handle, retrieveFrom, &missing, 0, i.features()),
              LV2_STATE_ERR_NO_PROPERTY);
    // The unspoiled chunk is accepted.
    Offer ok{key, chunkType, good};
    EXPECT_EQ(stateOf(i)->restore(i.lilv()->lv2_handle, retrieveFrom, &ok, 0, i.features()), LV2_STATE_SUCCESS);
    EXPECT_EQ(savedChunk(i), good);
}

TEST(Lv2State, EveryFactoryPresetLoadsItsValuesAndBecomesCurrent) {
    lv2test::LocalKestrin local;
    fw::ClientFacade& facade = *local;
    Node presetClass(Bundle::get().uri(LV2_PRESETS__Preset));
    for (const char* uri : {kestrin::lv2::kStereoUri, kestrin::lv2::kMonoUri}) {
        const LilvPlugin* plugin = Bundle::get().plugin(uri);
        ASSERT_NE(plugin, nullptr);
        LilvNodes* presets = lilv_plugin_get_related(plugin, presetClass);
        int loaded = 0;
        LILV_FOREACH (nodes, it, presets) {
            const LilvNode* presetNode = lilv_nodes_get(presets, it);
            Instance i(uri);
            ASSERT_TRUE(i.ok());
            started(i);
            lilv_world_load_resource(Bundle::get().world(), presetNode);
            LilvState* state = lilv_state_new_from_world(Bundle::get().world(), i.urids().mapFeature(), presetNode);
            ASSERT_NE(state, nullptr);
            const std::string label = lilv_state_get_label(state);
            int index = -1;
            for (int p = 0; p < facade.numPresets(); ++p)
                if (facade.presetName(p) == label) index = p;
            ASSERT_GE(index, 0) << label;
            lilv_state_restore(state, i.lilv(), setPort, &i, 0, i.features());
            lilv_state_free(state);
            Channels out;
            i.run(noise(256), 0, 256, out);

            const fw::Preset& preset = *facade.client().presetBank().preset(index);
            const std::vector<std::uint8_t> chunk = savedChunk(i);
            std::int32_t current = 0;
            std::memcpy(&current, &chunk[16], 4);
            EXPECT_EQ(current, index) << label;
            for (int p = 0; p < facade.numParameters(); ++p) {
                // The host's tempo (120 here: no transport) replaces the preset's on every block.
                if (p == kestrin::kTempoParameter) continue;
                SCOPED_TRACE(label + " parameter " + std::to_string(p));
                const double plain = facade.plainFromNormalized(p, preset.normalizedValues[std::size_t(p)]);
                EXPECT_EQ(i.control(p), float(plain));
                float normalized = 0;
                std::memcpy(&normalized, &chunk[24 + 4 * std::size_t(p)], 4);
                EXPECT_NEAR(normalized, preset.normalizedValues[std::size_t(p)], 1e-6);
            }
            ++loaded;
        }
        lilv_nodes_free(presets);
        EXPECT_EQ(loaded, facade.numPresets());
    }
}

}  // namespace
