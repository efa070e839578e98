// kestrin convert, from a user's point of view: a sound saved by the Audio Unit
// becomes an LV2 preset that sounds the same in an LV2 host, and comes back as an
// .aupreset that sounds the same again; what is not a Kestrin preset is refused.

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <lv2/presets/presets.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "kestrin/lv2/kestrinlv2.h"
#include "lv2fixture.h"

namespace {

int shell(const std::string& command, std::string* output = nullptr) {
    lv2test::ShellResult r = lv2test::shell(command);
    if (output != nullptr) *output = std::move(r.output);
    return r.status;
}

namespace fs = std::filesystem;

std::string q(const std::string& s) { return "'" + s + "'"; }

// Stereo, interleaved.
std::vector<float> readWav(const std::string& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr || info.channels != 2) return {};
    std::vector<float> v(std::size_t(info.frames * 2));
    sf_readf_float(f, v.data(), info.frames);
    sf_close(f);
    return v;
}

class Convert : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_);
        std::mt19937 rng(5);
        std::uniform_real_distribution<float> d(-0.5f, 0.5f);
        std::vector<float> in(2 * 9600);
        for (std::size_t i = 0; i < in.size(); ++i) in[i] = i < 2 * 2000 ? d(rng) : 0.0f;
        SF_INFO info{};
        info.samplerate = 48000;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        SNDFILE* f = sf_open(input_.c_str(), SFM_WRITE, &info);
        ASSERT_NE(f, nullptr);
        sf_writef_float(f, in.data(), 9600);
        sf_close(f);
        // A user's sound: a factory preset, changed.
        std::string out;
        ASSERT_EQ(shell(q(KESTRIN_TOOL) + " render " + q(input_) + " -o " + q(path("saved.wav")) +
                            " --preset 2 --set 'Delay L=333' --set 'Sync=no' --upsample 2 --tail 0 -q --save-state " +
                            q(saved_),
                        &out),
                  0)
            << out;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    std::vector<float> renderWithState(const std::string& state) {
        const std::string out = path("state-" + std::to_string(renders_++) + ".wav");
        std::string log;
        EXPECT_EQ(shell(q(KESTRIN_TOOL) + " render " + q(input_) + " -o " + q(out) + " --state " + q(state) +
                            " --tail 0 -q",
                        &log),
                  0)
            << log;
        return readWav(out);
    }

    fs::path dir_ = fs::temp_directory_path() / ("kestrin-convert-" + std::to_string(::getpid()));
    std::string input_ = path("in.wav");
    std::string saved_ = path("my sound.aupreset");
    int renders_ = 0;
};

TEST_F(Convert, AnAupresetBecomesAnLv2PresetThatSoundsTheSameInAnLv2Host) {
    const std::string bundle = path("My Sound.lv2");
    std::string log;
    ASSERT_EQ(shell(q(KESTRIN_TOOL) + " convert " + q(saved_) + " -o " + q(bundle), &log), 0) << log;

    // Load it as a host finds a user preset, apply it, render the same input.
    LilvWorld* world = lv2test::Bundle::get().world();
    lv2test::Node dir(lilv_new_file_uri(world, nullptr, (bundle + "/").c_str()));
    lilv_world_load_bundle(world, dir);
    lv2test::Instance plugin(kestrin::lv2::kStereoUri);
    ASSERT_TRUE(plugin.ok());
    lv2test::Node presetClass(lilv_new_uri(world, LV2_PRESETS__Preset));
    LilvNodes* presets = lilv_plugin_get_related(plugin.plugin(), presetClass);
    const LilvNode* mine = nullptr;
    LILV_FOREACH (nodes, it, presets) {
        const LilvNode* n = lilv_nodes_get(presets, it);
        if (std::string(lilv_node_as_uri(n)).find(":user:") != std::string::npos) mine = n;
    }
    ASSERT_NE(mine, nullptr);
    lilv_world_load_resource(world, mine);
    LilvState* state = lilv_state_new_from_world(world, plugin.urids().mapFeature(), mine);
    lilv_nodes_free(presets);
    ASSERT_NE(state, nullptr);
    EXPECT_STREQ(lilv_state_get_label(state), "my sound");
    plugin.connectAll(8192);
    plugin.activate();
    lilv_state_restore(
        state, plugin.lilv(),
        [](const char* symbol, void* user, const void* value, std::uint32_t size, std::uint32_t) {
            if (size == sizeof(float)) static_cast<lv2test::Instance*>(user)->control(symbol) = *static_cast<const float*>(value);
        },
        &plugin, 0, plugin.features());
    lilv_state_free(state);

    const std::vector<float> expected = renderWithState(saved_);
    ASSERT_EQ(expected.size(), 2u * 9600);
    std::vector<std::vector<float>> in(2, std::vector<float>(9600)), out;
    const std::vector<float> source = [&] {
        SF_INFO info{};
        SNDFILE* f = sf_open(input_.c_str(), SFM_READ, &info);
        std::vector<float> v(2 * 9600);
        sf_readf_float(f, v.data(), 9600);
        sf_close(f);
        return v;
    }();
    for (std::size_t i = 0; i < 9600; ++i) {
        in[0][i] = source[2 * i];
        in[1][i] = source[2 * i + 1];
    }
    for (std::size_t at = 0; at < 9600; at += 512) plugin.run(in, at, int(std::min<std::size_t>(512, 9600 - at)), out);
    std::size_t differing = 0;
    for (std::size_t i = 0; i < 9600; ++i)
        differing += out[0][i] != expected[2 * i] || out[1][i] != expected[2 * i + 1];
    EXPECT_EQ(differing, 0u);
}

TEST_F(Convert, TheLv2PresetComesBackAsAnAupresetThatSoundsTheSame) {
    const std::string bundle = path("there.lv2");
    const std::string back = path("back.aupreset");
    std::string log;
    ASSERT_EQ(shell(q(KESTRIN_TOOL) + " convert " + q(saved_) + " -o " + q(bundle), &log), 0) << log;
    ASSERT_EQ(shell(q(KESTRIN_TOOL) + " convert " + q(bundle) + " -o " + q(back), &log), 0) << log;
    const std::vector<float> original = renderWithState(saved_);
    ASSERT_FALSE(original.empty());
    EXPECT_EQ(renderWithState(back), original);
    std::ifstream in(back);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("<string>my sound</string>"), std::string::npos) << text;
}

TEST_F(Convert, RefusesWhatIsNotAKestrinPresetAndNamesTheProblem) {
    std::string log;
    const std::string junk = path("junk.aupreset");
    std::ofstream(junk) << "not a property list";
    EXPECT_NE(shell(q(KESTRIN_TOOL) + " convert " + q(junk) + " -o " + q(path("junk.lv2")), &log), 0);
    EXPECT_NE(log.find("junk.aupreset"), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(path("junk.lv2")));

    EXPECT_NE(shell(q(KESTRIN_TOOL) + " convert " + q(saved_) + " -o " + q(path("wrong.txt")), &log), 0);
    EXPECT_NE(log.find("NAME.lv2"), std::string::npos) << log;

    fs::create_directories(path("empty.lv2"));
    EXPECT_NE(shell(q(KESTRIN_TOOL) + " convert " + q(path("empty.lv2")) + " -o " + q(path("x.aupreset")), &log), 0);
    EXPECT_NE(log.find("manifest.ttl"), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(path("x.aupreset")));
}

}  // namespace
