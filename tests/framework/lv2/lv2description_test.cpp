// The bundle as hosts read it through lilv: every port against the client's own
// parameters, the two layouts, the presets, and the binary's exports.

#include <gtest/gtest.h>

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/port-props/port-props.h>
#include <lv2/presets/presets.h>
#include <lv2/time/time.h>
#include <lv2/ui/ui.h>

#include <cmath>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "framework/client/clientfacade.h"
#include "framework/lv2/lv2portlayout.h"
#include "framework/lv2/lv2ttl.h"
#include "kestrin/kestrin.h"
#include "kestrin/lv2/kestrinlv2.h"
#include "kestrin/notevalues.h"
#include "lv2fixture.h"

namespace {

using lv2test::Bundle;
using lv2test::Node;

bool hasProperty(const LilvPlugin* plugin, const LilvPort* port, const char* uri) {
    Node n(Bundle::get().uri(uri));
    return lilv_port_has_property(plugin, port, n);
}

class Description : public ::testing::TestWithParam<const char*> {
protected:
    lv2test::LocalKestrin local_;
    fw::ClientFacade& facade_ = *local_;
};

TEST_P(Description, ControlPortsMatchTheClientsParameters) {
    const LilvPlugin* plugin = Bundle::get().plugin(GetParam());
    ASSERT_NE(plugin, nullptr);
    Node control(Bundle::get().uri(LV2_CORE__ControlPort));
    Node input(Bundle::get().uri(LV2_CORE__InputPort));
    for (int i = 0; i < facade_.numParameters(); ++i) {
        SCOPED_TRACE(i);
        const fw::ParameterInfo& info = *facade_.parameterInfo(i);
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, std::uint32_t(i));
        ASSERT_NE(port, nullptr);
        EXPECT_TRUE(lilv_port_is_a(plugin, port, control) && lilv_port_is_a(plugin, port, input));
        Node name(lilv_port_get_name(plugin, port));
        EXPECT_EQ(lilv_node_as_string(name), info.name);
        LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
        lilv_port_get_range(plugin, port, &def, &min, &max);
        Node d(def), lo(min), hi(max);
        ASSERT_TRUE(def && min && max);
        // Hosts keep control values as floats: the description must give the same float.
        EXPECT_EQ(lilv_node_as_float(def), float(info.plainDefault));
        EXPECT_EQ(lilv_node_as_float(min), float(info.plainMin));
        EXPECT_EQ(lilv_node_as_float(max), float(info.plainMax));
        EXPECT_EQ(hasProperty(plugin, port, LV2_CORE__toggled), info.kind == fw::ParameterKind::boolean);
        const bool discrete = info.kind == fw::ParameterKind::integer || info.kind == fw::ParameterKind::enumeration;
        EXPECT_EQ(hasProperty(plugin, port, LV2_CORE__integer), discrete);
        EXPECT_EQ(hasProperty(plugin, port, LV2_PORT_PROPS__logarithmic), info.logarithmic);

        LilvScalePoints* points = lilv_port_get_scale_points(plugin, port);
        std::vector<std::string> labels(info.valueStrings.size());
        for (std::size_t v = 0; v < labels.size(); ++v) labels[v] = kestrin::lv2::valueLabel(i, int(info.plainMin) + int(v));
        const bool labelled = discrete && !labels.empty() && std::find(labels.begin(), labels.end(), "") == labels.end();
        EXPECT_EQ(hasProperty(plugin, port, LV2_CORE__enumeration), labelled);
        if (labelled) {
            ASSERT_NE(points, nullptr);
            EXPECT_EQ(lilv_scale_points_size(points), labels.size());
            LILV_FOREACH (scale_points, it, points) {
                const LilvScalePoint* sp = lilv_scale_points_get(points, it);
                const float v = lilv_node_as_float(lilv_scale_point_get_value(sp));
                const std::size_t k = std::size_t(std::lround(v - info.plainMin));
                ASSERT_LT(k, labels.size());
                EXPECT_EQ(lilv_node_as_string(lilv_scale_point_get_label(sp)), labels[k]);
            }
        }
        if (points != nullptr) lilv_scale_points_free(points);
    }
}

TEST_P(Description, DeclaresAudioLatencyAndTransportPortsInTheLayoutsOrder) {
    const LilvPlugin* plugin = Bundle::get().plugin(GetParam());
    ASSERT_NE(plugin, nullptr);
    const int inputs = std::string(GetParam()) == kestrin::lv2::kMonoUri ? 1 : 2;
    const fw::lv2::Lv2PortLayout layout{facade_.numParameters(), inputs, facade_.maxOutputs()};
    EXPECT_EQ(lilv_plugin_get_num_ports(plugin), std::uint32_t(layout.count()));
    Node audio(Bundle::get().uri(LV2_CORE__AudioPort));
    Node input(Bundle::get().uri(LV2_CORE__InputPort));
    Node output(Bundle::get().uri(LV2_CORE__OutputPort));
    Node atom(Bundle::get().uri(LV2_ATOM__AtomPort));
    for (int c = 0; c < layout.inputs; ++c) {
        const LilvPort* p = lilv_plugin_get_port_by_index(plugin, std::uint32_t(layout.firstAudioInput() + c));
        EXPECT_TRUE(lilv_port_is_a(plugin, p, audio) && lilv_port_is_a(plugin, p, input));
    }
    for (int c = 0; c < layout.outputs; ++c) {
        const LilvPort* p = lilv_plugin_get_port_by_index(plugin, std::uint32_t(layout.firstAudioOutput() + c));
        EXPECT_TRUE(lilv_port_is_a(plugin, p, audio) && lilv_port_is_a(plugin, p, output));
    }
    const LilvPort* latency = lilv_plugin_get_port_by_index(plugin, std::uint32_t(layout.latency()));
    EXPECT_TRUE(lilv_port_is_a(plugin, latency, output));
    EXPECT_TRUE(hasProperty(plugin, latency, LV2_CORE__reportsLatency));
    EXPECT_EQ(lilv_plugin_get_latency_port_index(plugin), std::uint32_t(layout.latency()));
    const LilvPort* transport = lilv_plugin_get_port_by_index(plugin, std::uint32_t(layout.transport()));
    EXPECT_TRUE(lilv_port_is_a(plugin, transport, atom) && lilv_port_is_a(plugin, transport, input));
    Node position(Bundle::get().uri(LV2_TIME__Position));
    EXPECT_TRUE(lilv_port_supports_event(plugin, transport, position));
    // Hosts without atom support (lv2apply) may leave it unconnected.
    EXPECT_TRUE(hasProperty(plugin, transport, LV2_CORE__connectionOptional));

    // Nothing required: every host can load it; real-time capable.
    LilvNodes* required = lilv_plugin_get_required_features(plugin);
    EXPECT_EQ(lilv_nodes_size(required), 0u);
    lilv_nodes_free(required);
    Node rt(Bundle::get().uri(LV2_CORE__hardRTCapable));
    LilvNodes* optional = lilv_plugin_get_optional_features(plugin);
    EXPECT_TRUE(lilv_nodes_contains(optional, rt));
    lilv_nodes_free(optional);
    // A UI exactly when the build names the editor's binary.
    LilvUIs* uis = lilv_plugin_get_uis(plugin);
    EXPECT_EQ(uis == nullptr ? 0u : lilv_uis_size(uis), std::string(KESTRIN_LV2_UI_BINARY).empty() ? 0u : 1u);
    if (uis != nullptr) lilv_uis_free(uis);
}

TEST_P(Description, ListsTheFactoryPresetsByName) {
    const LilvPlugin* plugin = Bundle::get().plugin(GetParam());
    ASSERT_NE(plugin, nullptr);
    Node presetClass(Bundle::get().uri(LV2_PRESETS__Preset));
    LilvNodes* presets = lilv_plugin_get_related(plugin, presetClass);
    std::set<std::string> names;
    Node label(Bundle::get().uri(LILV_NS_RDFS "label"));
    LILV_FOREACH (nodes, it, presets) {
        const LilvNode* preset = lilv_nodes_get(presets, it);
        lilv_world_load_resource(Bundle::get().world(), preset);
        LilvNodes* labels = lilv_world_find_nodes(Bundle::get().world(), preset, label, nullptr);
        if (labels != nullptr && lilv_nodes_size(labels) > 0) names.insert(lilv_node_as_string(lilv_nodes_get_first(labels)));
        lilv_nodes_free(labels);
    }
    lilv_nodes_free(presets);
    std::set<std::string> expected;
    for (int i = 0; i < facade_.numPresets(); ++i) expected.insert(facade_.presetName(i));
    EXPECT_EQ(names, expected);
    EXPECT_EQ(names.size(), 3u);
}

INSTANTIATE_TEST_SUITE_P(Variants, Description,
                         ::testing::Values(kestrin::lv2::kStereoUri, kestrin::lv2::kMonoUri));

// The editor's binary joins by name: the generator then declares it for every variant.
TEST(Lv2BundleDescription, DeclaresAnX11UiWhenGivenItsBinary) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kestrin-ui-bundle-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    ASSERT_TRUE(fw::lv2::writeBundleDescription(dir, kestrin::lv2::bundleDescription("KestrinUI.so"),
                                                &kestrin::lv2::makeClient)
                    .ok());
    LilvWorld* world = lilv_world_new();
    LilvNode* bundle = lilv_new_file_uri(world, nullptr, (dir.string() + "/").c_str());
    lilv_world_load_bundle(world, bundle);
    LilvNode* x11 = lilv_new_uri(world, "http://lv2plug.in/ns/extensions/ui#X11UI");
    for (const auto& variant : kestrin::lv2::variants()) {
        SCOPED_TRACE(variant.uri);
        LilvNode* uri = lilv_new_uri(world, variant.uri);
        const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
        ASSERT_NE(plugin, nullptr);
        LilvUIs* uis = lilv_plugin_get_uis(plugin);
        ASSERT_EQ(lilv_uis_size(uis), 1u);
        const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
        EXPECT_STREQ(lilv_node_as_uri(lilv_ui_get_uri(ui)), kestrin::lv2::kUiUri);
        EXPECT_TRUE(lilv_ui_is_a(ui, x11));
        const std::string binary = lilv_node_as_uri(lilv_ui_get_binary_uri(ui));
        EXPECT_EQ(binary.substr(binary.rfind('/') + 1), "KestrinUI.so");
        // The host must drive the UI's window through the idle interface; the rest is optional.
        auto objects = [&](const char* predicate) {
            std::set<std::string> out;
            LilvNode* p = lilv_new_uri(world, predicate);
            LilvNodes* found = lilv_world_find_nodes(world, lilv_ui_get_uri(ui), p, nullptr);
            LILV_FOREACH (nodes, it, found) out.insert(lilv_node_as_uri(lilv_nodes_get(found, it)));
            lilv_nodes_free(found);
            lilv_node_free(p);
            return out;
        };
        EXPECT_EQ(objects(LV2_CORE__requiredFeature), std::set<std::string>{LV2_UI__idleInterface});
        EXPECT_EQ(objects(LV2_CORE__optionalFeature),
                  (std::set<std::string>{LV2_UI__parent, LV2_UI__resize, LV2_UI__touch}));
        EXPECT_EQ(objects(LV2_CORE__extensionData), (std::set<std::string>{LV2_UI__idleInterface, LV2_UI__resize}));
        lilv_uis_free(uis);
        lilv_node_free(uri);
    }
    lilv_node_free(x11);
    lilv_node_free(bundle);
    lilv_world_free(world);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

TEST(Lv2Binary, ExportsOnlyTheDescriptorAndLinksOnlyTheRuntimes) {
    const std::string binary = std::string(KESTRIN_LV2_BUNDLE_DIR) + "/" + kestrin::lv2::kBinaryName;
    std::set<std::string> defined;
    const std::string nm = lv2test::shell("nm -D --defined-only '" + binary + "'").output;
    for (std::size_t at = 0; at < nm.size();) {
        const std::size_t end = nm.find('\n', at);
        const std::string line = nm.substr(at, end - at);
        if (!line.empty()) defined.insert(line.substr(line.find_last_of(' ') + 1));
        at = end == std::string::npos ? nm.size() : end + 1;
    }
    EXPECT_EQ(defined, std::set<std::string>{"lv2_descriptor"});
    const std::string needed = lv2test::shell("readelf -d '" + binary + "' | grep NEEDED").output;
    std::set<std::string> libraries;
    for (const char* allowed : {"libc.so", "libstdc++.so", "libm.so", "libgcc_s.so", "ld-linux"})
        if (needed.find(allowed) != std::string::npos) libraries.insert(allowed);
    std::size_t count = 0;
    for (std::size_t at = needed.find("NEEDED"); at != std::string::npos; at = needed.find("NEEDED", at + 1)) ++count;
    EXPECT_EQ(count, libraries.size()) << needed;
}

}  // namespace
