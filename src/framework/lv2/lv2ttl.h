#pragma once
// The Turtle description of an LV2 bundle, generated from a client: manifest.ttl,
// the plug-in description (ports with the parameters' names, plain ranges,
// defaults, units, kinds and scale points) and the factory presets (the port values
// and the state chunk of each). Run at build time, so the bundle cannot drift from
// the code.

#include <filesystem>
#include <string>
#include <vector>

#include "framework/core/status.h"
#include "framework/lv2/lv2entry.h"

namespace fw::lv2 {

// The label of one value of an integer parameter, or empty for its own text. Labels
// for every value of a parameter make its port an enumeration.
using ValueLabelFunction = std::string (*)(int parameter, int value);

struct Lv2BundleDescription {
    struct Plugin {
        std::string uri;
        std::string name;
        int inputs = 2;
    };
    std::vector<Plugin> plugins;  // the binary's variants, in descriptor order
    std::string binary;           // file name of the DSP binary inside the bundle
    std::string descriptionFile = "plugin.ttl";
    std::string presetsFile = "presets.ttl";
    ValueLabelFunction valueLabel = nullptr;
    // An X11 UI binary to declare, when there is one.
    std::string uiUri;
    std::string uiBinary;
};

inline constexpr const char* kCannotWriteBundle = "Cannot write the bundle's Turtle files";

// Host thread (a build tool). Writes the three files into `directory` (which must exist).
[[nodiscard]] Status writeBundleDescription(const std::filesystem::path& directory,
                                            const Lv2BundleDescription& bundle, ClientFactory factory);

// The texts themselves, for tests and for tools that write presets.
std::string manifestTurtle(const Lv2BundleDescription& bundle, ClientFactory factory);
std::string pluginTurtle(const Lv2BundleDescription& bundle, ClientFactory factory);
std::string presetsTurtle(const Lv2BundleDescription& bundle, ClientFactory factory);

// Any thread. The port symbol of each parameter: its name in lower case, runs of
// other characters as one '_', made unique with a number.
std::vector<std::string> portSymbols(const Client& client);
// The URI of factory preset `name` of a plug-in.
std::string presetUri(const std::string& pluginUri, const std::string& name);

// One preset as Turtle: its label, a value per port and the state chunk.
struct Lv2PresetText {
    std::string uri;
    std::string label;
    std::vector<std::string> appliesTo;
    std::vector<std::string> symbols;
    std::vector<double> plainValues;
    std::vector<unsigned char> chunk;  // empty: none
    std::string stateKey;
};
// The statement block of a preset, with the prefixes it needs when `withPrefixes`.
std::string presetTurtle(const Lv2PresetText& preset, bool withPrefixes);

// Any thread. RFC 4648 base64 and back; decoding fails on anything else.
std::string base64Encode(const unsigned char* data, std::size_t size);
[[nodiscard]] bool base64Decode(std::string_view text, std::vector<unsigned char>& out);

}  // namespace fw::lv2
