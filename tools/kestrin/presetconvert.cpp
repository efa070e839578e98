#include "presetconvert.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/presets/presets.h>
#include <lv2/urid/urid.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <unordered_map>
#include <vector>

#include "auhost/presetfile.h"
#include "framework/client/clientfacade.h"
#include "framework/client/nullhostcommand.h"
#include "framework/lv2/lv2ttl.h"
#include "kestrin/lv2/kestrinlv2.h"
#include "filechecks.h"
#include "plainerror.h"
#include "statefile.h"

namespace kestrincli {

namespace {

namespace fs = std::filesystem;

bool endsWith(const std::string& s, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// The parameters' mapping between plain and normalized values, and the port
// symbols, from the client itself.
class LocalClient final {
public:
    LocalClient() : facade_(kestrin::lv2::makeClient(), &host_, {}), symbols_(fw::lv2::portSymbols(facade_.client())) {}
    fw::ClientFacade& facade() { return facade_; }
    const std::vector<std::string>& symbols() const { return symbols_; }

private:
    fw::NullHostCommand host_;  // declared first: it outlives the facade
    fw::ClientFacade facade_;
    std::vector<std::string> symbols_;
};

bool toLv2(KestrinHost& host, const std::string& input, const std::string& output, std::string& error) {
    if (!loadStateFile(host, input, error)) return false;
    // The state as the plug-in now holds it: its chunk and its preset name.
    auhost::CFRef<CFPropertyListRef> info;
    if (auhost::HostResult r = host.unit().copyClassInfo(info); !r) {
        error = "cannot read the state back: " + plainMessage(r);
        return false;
    }
    const auto dict = static_cast<CFDictionaryRef>(info.get());
    const auto data = static_cast<CFDataRef>(CFDictionaryGetValue(dict, CFSTR("data")));
    const auto name = static_cast<CFStringRef>(CFDictionaryGetValue(dict, CFSTR("name")));
    if (data == nullptr || CFGetTypeID(data) != CFDataGetTypeID()) {
        error = "the state has no data";
        return false;
    }
    const UInt8* bytes = CFDataGetBytePtr(data);
    std::vector<unsigned char> chunk(bytes, bytes + CFDataGetLength(data));
    char label[256] = "Kestrin preset";
    if (name != nullptr && CFGetTypeID(name) == CFStringGetTypeID())
        CFStringGetCString(name, label, sizeof label, kCFStringEncodingUTF8);
    // A preset keeps the file's own name: that is what the user called the sound.
    const std::string stem = fs::path(input).stem().string();

    LocalClient local;
    if (fw::Status s = local.facade().loadWholeState(chunk); !s) {
        error = std::string("the state chunk is not Kestrin's: ") + s.message();
        return false;
    }
    fw::lv2::Lv2PresetText p;
    p.label = stem.empty() ? std::string(label) : stem;
    p.uri = fw::lv2::presetUri(std::string(kestrin::lv2::kStereoUri) + ":user", p.label);
    for (const auto& v : kestrin::lv2::variants()) p.appliesTo.push_back(v.uri);
    p.symbols = local.symbols();
    for (int i = 0; i < local.facade().numParameters(); ++i) p.plainValues.push_back(local.facade().plainValue(i));
    p.chunk = chunk;
    p.stateKey = std::string(kestrin::lv2::kStereoUri) + "#stateChunk";

    std::error_code ec;
    fs::create_directories(output, ec);
    std::ofstream manifest(fs::path(output) / "manifest.ttl", std::ios::trunc);
    manifest << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
             << "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n\n<" << p.uri
             << ">\n  a pset:Preset ;\n  lv2:appliesTo ";
    for (std::size_t i = 0; i < p.appliesTo.size(); ++i) manifest << (i ? " , " : "") << "<" << p.appliesTo[i] << ">";
    manifest << " ;\n  rdfs:seeAlso <preset.ttl> .\n";
    std::ofstream preset(fs::path(output) / "preset.ttl", std::ios::trunc);
    preset << fw::lv2::presetTurtle(p, true);
    if (!manifest.flush() || !preset.flush()) {
        error = "cannot write the LV2 preset bundle \"" + output + "\"";
        return false;
    }
    return true;
}

// A URID map for lilv while one preset is read.
struct Urids {
    std::unordered_map<std::string, LV2_URID> ids;
    std::vector<std::string> uris;
    LV2_URID_Map map{this, [](LV2_URID_Map_Handle h, const char* uri) {
                         auto* self = static_cast<Urids*>(h);
                         auto [it, fresh] = self->ids.emplace(uri, LV2_URID(self->uris.size() + 1));
                         if (fresh) self->uris.emplace_back(uri);
                         return it->second;
                     }};
};

struct PortValues {
    LV2_URID floatType = 0, doubleType = 0, intType = 0;
    std::map<std::string, double> values;
};

void takePortValue(const char* symbol, void* user, const void* value, std::uint32_t size, std::uint32_t type) {
    auto* pv = static_cast<PortValues*>(user);
    if (type == pv->floatType && size == sizeof(float)) pv->values[symbol] = *static_cast<const float*>(value);
    else if (type == pv->doubleType && size == sizeof(double)) pv->values[symbol] = *static_cast<const double*>(value);
    else if (type == pv->intType && size == sizeof(std::int32_t)) pv->values[symbol] = *static_cast<const std::int32_t*>(value);
}

bool toAupreset(KestrinHost& host, const std::string& input, const std::string& output, std::string& error) {
    fs::path bundle = fs::path(input);
    if (!fs::is_directory(bundle)) bundle = bundle.parent_path();
    if (!fs::exists(bundle / "manifest.ttl")) {
        error = "\"" + input + "\" is not an LV2 preset bundle (no manifest.ttl)";
        return false;
    }
    LilvWorld* world = lilv_world_new();
    Urids urids;
    std::string label;
    PortValues pv;
    pv.floatType = urids.map.map(&urids, LV2_ATOM__Float);
    pv.doubleType = urids.map.map(&urids, LV2_ATOM__Double);
    pv.intType = urids.map.map(&urids, LV2_ATOM__Int);
    {
        LilvNode* dir = lilv_new_file_uri(world, nullptr, (fs::absolute(bundle).string() + "/").c_str());
        lilv_world_load_bundle(world, dir);
        LilvNode* type = lilv_new_uri(world, LILV_NS_RDF "type");
        LilvNode* presetClass = lilv_new_uri(world, LV2_PRESETS__Preset);
        LilvNodes* presets = lilv_world_find_nodes(world, nullptr, type, presetClass);
        if (presets != nullptr && lilv_nodes_size(presets) > 0) {
            const LilvNode* first = lilv_nodes_get_first(presets);
            lilv_world_load_resource(world, first);
            if (LilvState* state = lilv_state_new_from_world(world, &urids.map, first)) {
                if (const char* l = lilv_state_get_label(state)) label = l;
                lilv_state_emit_port_values(state, takePortValue, &pv);
                lilv_state_free(state);
            }
        }
        lilv_nodes_free(presets);
        lilv_node_free(presetClass);
        lilv_node_free(type);
        lilv_world_unload_bundle(world, dir);
        lilv_node_free(dir);
    }
    lilv_world_free(world);
    if (pv.values.empty()) {
        error = "\"" + input + "\" holds no preset with port values";
        return false;
    }

    // Every value the LV2 preset gives, then the state under the preset's label. No
    // preset is added to the plug-in: the state's preset index stays one that every
    // instance has, so the file loads anywhere.
    LocalClient local;
    for (int i = 0; i < local.facade().numParameters(); ++i) {
        const auto it = pv.values.find(local.symbols()[std::size_t(i)]);
        if (it == pv.values.end()) continue;
        const double normalized = local.facade().normalizedFromPlain(i, it->second);
        if (!host.setNormalized(AudioUnitParameterID(i), float(normalized), error)) return false;
    }
    auhost::CFRef<CFPropertyListRef> info;
    if (auhost::HostResult r = host.unit().copyClassInfo(info); !r) {
        error = "cannot read the state back: " + plainMessage(r);
        return false;
    }
    auhost::CFRef<CFMutableDictionaryRef> named(
        CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(info.get())));
    if (!label.empty() && named) {
        auhost::CFRef<CFStringRef> name(CFStringCreateWithCString(nullptr, label.c_str(), kCFStringEncodingUTF8));
        if (name) CFDictionarySetValue(named.get(), CFSTR("name"), name.get());
    }
    if (const std::string why = writeProblem(output); !why.empty()) {
        error = "cannot save \"" + output + "\": " + why;
        return false;
    }
    if (!auhost::writePresetFile(output, named ? named.get() : info.get())) {
        error = "cannot save \"" + output + "\": the file could not be written";
        return false;
    }
    return true;
}

}  // namespace

bool convertPreset(KestrinHost& host, const std::string& input, const std::string& output, std::string& error) {
    if (endsWith(input, ".aupreset")) {
        if (!endsWith(output, ".lv2") && !endsWith(output, ".lv2/")) {
            error = "an .aupreset converts into an LV2 preset bundle: name the output NAME.lv2";
            return false;
        }
        return toLv2(host, input, output, error);
    }
    if (!endsWith(output, ".aupreset")) {
        error = "an LV2 preset converts into an .aupreset: name the output NAME.aupreset";
        return false;
    }
    return toAupreset(host, input, output, error);
}

}  // namespace kestrincli
