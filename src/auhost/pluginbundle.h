#pragma once
// PluginBundle: a plug-in binary opened the way a host on macOS opens a
// .component: CFBundle loads it, its Info.plist (when it has one) declares the
// components under "AudioComponents", and each component's factory is found by
// name and registered with AudioComponentRegister.

#include "auhost/cfref.h"
#include "auhost/hostresult.h"

#include <AudioToolbox/AudioToolbox.h>

#include <memory>
#include <string>
#include <vector>

namespace auhost {

struct ComponentSpec {
    AudioComponentDescription description{};
    std::string name;             // "Manufacturer: Unit", as hosts show it
    UInt32 version = 0;           // 0xMMMMmmDD
    std::string factoryFunction;  // exported AudioComponentFactoryFunction
};

class PluginBundle {
public:
    // Any thread. `path` is a bundle folder (Contents/Info.plist and its
    // executable) or the plug-in's shared library itself.
    static HostResult open(const std::string& path, std::unique_ptr<PluginBundle>& out);

    // The components the Info.plist declares (empty without one); entries that
    // lack a type, subtype, manufacturer or factory function are skipped.
    const std::vector<ComponentSpec>& declaredComponents() const { return declared_; }

    // Finds the described component's factory in the executable and registers it.
    HostResult registerComponent(const ComponentSpec& described, AudioComponent& out);
    // Registers every declared component.
    HostResult registerDeclaredComponents(std::vector<AudioComponent>& out);
    // Registers the Component Manager entry function `entrySymbol` for a description.
    HostResult registerEntryPoint(const AudioComponentDescription& description, const std::string& name,
                                  const std::string& entrySymbol, AudioComponent& out);

    CFBundleRef bundle() const { return bundle_.get(); }

private:
    explicit PluginBundle(CFRef<CFBundleRef> bundle);
    void readDeclaredComponents();

    CFRef<CFBundleRef> bundle_;
    std::vector<ComponentSpec> declared_;
};

// A four-character code from its text ("aufx"); false unless exactly four ASCII characters.
bool fourCharCode(const std::string& text, OSType& out);

}  // namespace auhost
