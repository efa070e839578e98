#include "framework/lv2/lv2ttl.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "framework/client/clientfacade.h"
#include "framework/client/nullhostcommand.h"
#include "framework/lv2/lv2plugin.h"
#include "framework/lv2/lv2portlayout.h"

namespace fw::lv2 {

namespace {

constexpr const char* kPrefixes =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
    "@prefix xsd: <http://www.w3.org/2001/XMLSchema#> .\n\n";

// A Turtle decimal or double literal that reads back as the same float.
std::string number(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", v);
    std::string s(text);
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

std::string quoted(const std::string& text) {
    std::string s = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') s += '\\';
        if (c == '\n') {
            s += "\\n";
            continue;
        }
        s += c;
    }
    return s + "\"";
}

std::string iri(const std::string& uri) { return "<" + uri + ">"; }

// Units the LV2 units vocabulary names; others are declared by their label.
std::string unitTurtle(const std::string& unit) {
    static const std::pair<const char*, const char*> known[] = {
        {"ms", "units:ms"}, {"s", "units:s"},     {"Hz", "units:hz"}, {"kHz", "units:khz"},
        {"dB", "units:db"}, {"%", "units:pc"},    {"bpm", "units:bpm"}, {"BPM", "units:bpm"},
        {"cents", "units:cent"}, {"st", "units:semitone12TET"},
    };
    for (const auto& [label, term] : known)
        if (unit == label) return term;
    return "[ a units:Unit ; rdfs:label " + quoted(unit) + " ; units:symbol " + quoted(unit) +
           " ; units:render " + quoted("%f " + unit) + " ]";
}

const char* categoryClass(PluginCategory c) noexcept {
    switch (c) {
        case PluginCategory::effectAnalysisAndMetering: return "lv2:AnalyserPlugin";
        case PluginCategory::effectDelay: return "lv2:DelayPlugin";
        case PluginCategory::effectDistortion: return "lv2:DistortionPlugin";
        case PluginCategory::effectDynamics: return "lv2:DynamicsPlugin";
        case PluginCategory::effectEQ: return "lv2:EQPlugin";
        case PluginCategory::effectImaging: return "lv2:SpatialPlugin";
        case PluginCategory::effectModulation: return "lv2:ModulatorPlugin";
        case PluginCategory::effectPitch: return "lv2:PitchPlugin";
        case PluginCategory::effectReverb: return "lv2:ReverbPlugin";
        case PluginCategory::instrumentDrums:
        case PluginCategory::instrumentSampler:
        case PluginCategory::instrumentSynthesizer:
        case PluginCategory::instrumentOther: return "lv2:InstrumentPlugin";
        case PluginCategory::effectOther: break;
    }
    return nullptr;
}

std::string slug(const std::string& name) {
    std::string s;
    for (char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isalnum(u)) s += char(std::tolower(u));
        else if (!s.empty() && s.back() != '-') s += '-';
    }
    while (!s.empty() && s.back() == '-') s.pop_back();
    return s.empty() ? "preset" : s;
}

std::string stateKeyOf(const Lv2BundleDescription& bundle) {
    return bundle.plugins.empty() ? std::string() : bundle.plugins[0].uri + kStateChunkKeySuffix;
}

std::string controlPort(const ClientFacade& facade, int index, const std::string& symbol,
                        const Lv2BundleDescription& bundle) {
    const ParameterInfo& p = *facade.parameterInfo(index);
    std::ostringstream o;
    o << "[\n    a lv2:InputPort , lv2:ControlPort ;\n    lv2:index " << index << " ;\n    lv2:symbol "
      << quoted(symbol) << " ;\n    lv2:name " << quoted(p.name) << " ;\n    lv2:default " << number(p.plainDefault)
      << " ;\n    lv2:minimum " << number(p.plainMin) << " ;\n    lv2:maximum " << number(p.plainMax);
    std::vector<std::string> props;
    std::vector<std::string> labels = p.valueStrings;
    bool labelled = p.kind == ParameterKind::enumeration;
    if (p.kind == ParameterKind::integer && bundle.valueLabel != nullptr) {
        bool all = !labels.empty();
        for (std::size_t v = 0; v < labels.size(); ++v) {
            std::string l = bundle.valueLabel(index, int(p.plainMin) + int(v));
            if (l.empty()) all = false;
            else labels[v] = std::move(l);
        }
        labelled = all;
    }
    switch (p.kind) {
        case ParameterKind::boolean: props.push_back("lv2:toggled"); break;
        case ParameterKind::integer:
        case ParameterKind::enumeration:
            props.push_back("lv2:integer");
            if (labelled) props.push_back("lv2:enumeration");
            break;
        case ParameterKind::continuous:
            if (p.logarithmic && p.plainMin > 0) props.push_back("pprops:logarithmic");
            break;
    }
    if (!p.automatable) props.push_back("pprops:notAutomatic");
    if (!props.empty()) {
        o << " ;\n    lv2:portProperty ";
        for (std::size_t i = 0; i < props.size(); ++i) o << (i ? " , " : "") << props[i];
    }
    if (!p.unit.empty()) o << " ;\n    units:unit " << unitTurtle(p.unit);
    if (labelled) {
        o << " ;\n    lv2:scalePoint ";
        for (std::size_t v = 0; v < labels.size(); ++v)
            o << (v ? " , " : "") << "[ rdfs:label " << quoted(labels[v]) << " ; rdf:value "
              << number(p.plainMin + double(v)) << " ]";
    }
    o << "\n  ]";
    return o.str();
}

std::string audioPort(int index, bool input, int channel, int channels) {
    static const char* const sides[] = {"l", "r"};
    std::string symbol = input ? "in" : "out";
    std::string name = input ? "Input" : "Output";
    if (channels == 2) {
        symbol.append("_").append(sides[channel]);
        name += channel == 0 ? " L" : " R";
    } else if (channels > 2) {
        symbol.append("_").append(std::to_string(channel + 1));
        name.append(" ").append(std::to_string(channel + 1));
    }
    std::ostringstream o;
    o << "[\n    a lv2:" << (input ? "InputPort" : "OutputPort") << " , lv2:AudioPort ;\n    lv2:index " << index
      << " ;\n    lv2:symbol " << quoted(symbol) << " ;\n    lv2:name " << quoted(name) << "\n  ]";
    return o.str();
}

std::unique_ptr<ClientFacade> makeFacade(ClientFactory factory, IHostCommand* host) {
    return std::make_unique<ClientFacade>(factory(), host, HostSettings{});
}

}  // namespace

std::vector<std::string> portSymbols(const Client& client) {
    std::vector<std::string> symbols;
    std::set<std::string> used = {"in", "in_l", "in_r", "out", "out_l", "out_r", "latency", "transport"};
    for (const auto& param : client.params()) {
        std::string s;
        for (char c : param->name()) {
            const unsigned char u = static_cast<unsigned char>(c);
            if (std::isalnum(u)) s += char(std::tolower(u));
            else if (!s.empty() && s.back() != '_') s += '_';
        }
        while (!s.empty() && s.back() == '_') s.pop_back();
        if (s.empty() || std::isdigit(static_cast<unsigned char>(s[0]))) s = "p_" + s;
        std::string unique = s;
        for (int n = 2; used.count(unique) != 0; ++n) unique = s + "_" + std::to_string(n);
        used.insert(unique);
        symbols.push_back(unique);
    }
    return symbols;
}

std::string presetUri(const std::string& pluginUri, const std::string& name) {
    return pluginUri + ":preset:" + slug(name);
}

std::string presetTurtle(const Lv2PresetText& preset, bool withPrefixes) {
    std::ostringstream o;
    if (withPrefixes) o << kPrefixes;
    o << iri(preset.uri) << "\n  a pset:Preset ;\n  lv2:appliesTo ";
    for (std::size_t i = 0; i < preset.appliesTo.size(); ++i) o << (i ? " , " : "") << iri(preset.appliesTo[i]);
    o << " ;\n  rdfs:label " << quoted(preset.label);
    if (!preset.symbols.empty()) {
        o << " ;\n  lv2:port ";
        for (std::size_t i = 0; i < preset.symbols.size() && i < preset.plainValues.size(); ++i)
            o << (i ? " , " : "") << "[\n    lv2:symbol " << quoted(preset.symbols[i]) << " ;\n    pset:value "
              << number(float(preset.plainValues[i])) << "\n  ]";
    }
    if (!preset.chunk.empty())
        o << " ;\n  state:state [\n    " << iri(preset.stateKey) << " "
          << quoted(base64Encode(preset.chunk.data(), preset.chunk.size())) << "^^xsd:base64Binary\n  ]";
    o << " .\n";
    return o.str();
}

std::string manifestTurtle(const Lv2BundleDescription& bundle, ClientFactory factory) {
    NullHostCommand host(PluginFormat::lv2);
    auto facade = makeFacade(factory, &host);
    std::ostringstream o;
    o << kPrefixes;
    for (const auto& p : bundle.plugins)
        o << iri(p.uri) << "\n  a lv2:Plugin ;\n  lv2:binary <" << bundle.binary << "> ;\n  rdfs:seeAlso <"
          << bundle.descriptionFile << "> .\n\n";
    for (int i = 0; i < facade->numPresets(); ++i) {
        o << iri(presetUri(bundle.plugins[0].uri, facade->presetName(i))) << "\n  a pset:Preset ;\n  lv2:appliesTo ";
        for (std::size_t k = 0; k < bundle.plugins.size(); ++k) o << (k ? " , " : "") << iri(bundle.plugins[k].uri);
        o << " ;\n  rdfs:seeAlso <" << bundle.presetsFile << "> .\n\n";
    }
    if (!bundle.uiUri.empty() && !bundle.uiBinary.empty())
        o << iri(bundle.uiUri) << "\n  a ui:X11UI ;\n  ui:binary <" << bundle.uiBinary << "> ;\n  rdfs:seeAlso <"
          << bundle.descriptionFile << "> .\n";
    return o.str();
}

std::string pluginTurtle(const Lv2BundleDescription& bundle, ClientFactory factory) {
    NullHostCommand host(PluginFormat::lv2);
    auto facade = makeFacade(factory, &host);
    const PluginInfo& info = facade->pluginInfo();
    const std::vector<std::string> symbols = portSymbols(facade->client());
    std::ostringstream o;
    o << kPrefixes;
    const bool hasUi = !bundle.uiUri.empty() && !bundle.uiBinary.empty();
    if (hasUi) {
        // The UI's window has no timer of its own: the host's idle calls drive it.
        // It resizes on the host's word too (its ui:resize interface).
        o << iri(bundle.uiUri) << "\n  a ui:X11UI ;\n"
          << "  lv2:requiredFeature ui:idleInterface ;\n"
          << "  lv2:optionalFeature ui:parent , ui:resize , ui:touch ;\n"
          << "  lv2:extensionData ui:idleInterface , ui:resize .\n\n";
    }
    // The state chunk's key, declared so that presets holding it validate.
    o << iri(stateKeyOf(bundle)) << "\n  a rdf:Property ;\n  rdfs:label \"state chunk\" ;\n"
      << "  rdfs:comment \"The plug-in's binary state: magic, version, current preset, a value per parameter.\" ;\n"
      << "  rdfs:range atom:Chunk .\n\n";
    for (const auto& variant : bundle.plugins) {
        Lv2PortLayout layout{facade->numParameters(), variant.inputs, facade->maxOutputs()};
        // doap:Project too: the maintainer property belongs to projects.
        o << iri(variant.uri) << "\n  a lv2:Plugin , doap:Project";
        if (const char* c = categoryClass(info.category)) o << " , " << c;
        o << " ;\n  doap:name " << quoted(variant.name) << " ;\n  doap:maintainer [ foaf:name "
          << quoted(info.vendorName) << " ] ;\n  lv2:minorVersion " << info.publicVersion.minorVersion
          << " ;\n  lv2:microVersion " << info.publicVersion.patchVersion
          << " ;\n  lv2:optionalFeature lv2:hardRTCapable , urid:map , opts:options ;\n"
          << "  opts:supportedOption bufsz:maxBlockLength , bufsz:nominalBlockLength ;\n"
          << "  lv2:extensionData state:interface ;\n";
        if (hasUi) o << "  ui:ui " << iri(bundle.uiUri) << " ;\n";
        o << "  lv2:port ";
        for (int i = 0; i < layout.parameters; ++i)
            o << (i ? " , " : "") << controlPort(*facade, i, symbols[std::size_t(i)], bundle);
        for (int c = 0; c < layout.inputs; ++c) o << " , " << audioPort(layout.firstAudioInput() + c, true, c, layout.inputs);
        for (int c = 0; c < layout.outputs; ++c)
            o << " , " << audioPort(layout.firstAudioOutput() + c, false, c, layout.outputs);
        o << " , [\n    a lv2:OutputPort , lv2:ControlPort ;\n    lv2:index " << layout.latency()
          << " ;\n    lv2:symbol \"latency\" ;\n    lv2:name \"Latency\" ;\n    lv2:designation lv2:latency ;\n"
          << "    lv2:portProperty lv2:reportsLatency , lv2:integer , pprops:notOnGUI ;\n"
          << "    units:unit units:frame ;\n    lv2:minimum 0.0 ;\n    lv2:maximum 192000.0\n  ]";
        o << " , [\n    a lv2:InputPort , atom:AtomPort ;\n    lv2:index " << layout.transport()
          << " ;\n    lv2:symbol \"transport\" ;\n    lv2:name \"Transport\" ;\n    atom:bufferType atom:Sequence ;\n"
          << "    atom:supports time:Position ;\n    lv2:portProperty lv2:connectionOptional\n  ] .\n\n";
    }
    return o.str();
}

std::string presetsTurtle(const Lv2BundleDescription& bundle, ClientFactory factory) {
    NullHostCommand host(PluginFormat::lv2);
    std::ostringstream o;
    o << kPrefixes;
    auto names = makeFacade(factory, &host);
    const std::vector<std::string> symbols = portSymbols(names->client());
    for (int i = 0; i < names->numPresets(); ++i) {
        // A fresh client per preset, so the chunk holds exactly that preset and its index.
        auto facade = makeFacade(factory, &host);
        PresetBank& bank = facade->client().presetBank();
        if (!bank.loadPresetFromHost(i)) continue;
        Lv2PresetText p;
        p.label = facade->presetName(i);
        p.uri = presetUri(bundle.plugins[0].uri, p.label);
        for (const auto& v : bundle.plugins) p.appliesTo.push_back(v.uri);
        p.symbols = symbols;
        for (int k = 0; k < facade->numParameters(); ++k) p.plainValues.push_back(facade->plainValue(k));
        Vec<std::uint8_t> chunk;
        facade->saveState(chunk);
        p.chunk.assign(chunk.begin(), chunk.end());
        p.stateKey = stateKeyOf(bundle);
        o << presetTurtle(p, false) << "\n";
    }
    return o.str();
}

Status writeBundleDescription(const std::filesystem::path& directory, const Lv2BundleDescription& bundle,
                              ClientFactory factory) {
    if (bundle.plugins.empty() || factory == nullptr) return Status::failure(kCannotWriteBundle);
    const std::pair<std::string, std::string> files[] = {
        {"manifest.ttl", manifestTurtle(bundle, factory)},
        {bundle.descriptionFile, pluginTurtle(bundle, factory)},
        {bundle.presetsFile, presetsTurtle(bundle, factory)},
    };
    for (const auto& [name, text] : files) {
        std::ofstream out(directory / name, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) return Status::failure(kCannotWriteBundle);
    }
    return Status::success();
}

std::string base64Encode(const unsigned char* data, std::size_t size) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string s;
    for (std::size_t i = 0; i < size; i += 3) {
        const std::uint32_t b0 = data[i];
        const std::uint32_t b1 = i + 1 < size ? data[i + 1] : 0;
        const std::uint32_t b2 = i + 2 < size ? data[i + 2] : 0;
        const std::uint32_t n = (b0 << 16) | (b1 << 8) | b2;
        s += alphabet[(n >> 18) & 63];
        s += alphabet[(n >> 12) & 63];
        s += i + 1 < size ? alphabet[(n >> 6) & 63] : '=';
        s += i + 2 < size ? alphabet[n & 63] : '=';
    }
    return s;
}

bool base64Decode(std::string_view text, std::vector<unsigned char>& out) {
    out.clear();
    if (text.size() % 4 != 0) return false;
    auto value = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (c >= '0' && c <= '9') return c - '0' + 52;
        if (c == '+') return 62;
        if (c == '/') return 63;
        return -1;
    };
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        const int pad = last ? (text[i + 3] == '=') + (text[i + 2] == '=') : 0;
        if (pad == 1 && text[i + 2] == '=') return false;
        int v[4];
        for (int k = 0; k < 4 - pad; ++k)
            if ((v[k] = value(text[i + std::size_t(k)])) < 0) return false;
        for (int k = 4 - pad; k < 4; ++k) v[k] = 0;
        const std::uint32_t n = std::uint32_t(v[0] << 18 | v[1] << 12 | v[2] << 6 | v[3]);
        out.push_back(static_cast<unsigned char>(n >> 16));
        if (pad < 2) out.push_back(static_cast<unsigned char>(n >> 8));
        if (pad < 1) out.push_back(static_cast<unsigned char>(n));
    }
    return true;
}

}  // namespace fw::lv2
