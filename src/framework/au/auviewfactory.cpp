#include "framework/au/auviewfactory.h"

#include <AudioToolbox/AUCocoaUIView.h>

#include "framework/au/aucf.h"
#include "framework/au/auclient.h"
#include "framework/core/fpcontrol.h"
#include "framework/core/uuid.h"
#include "framework/platform/systemframeworks.h"

namespace fw::au {

namespace {

constexpr const char kClassPrefix[] = "PluginCocoaViewFactory_";
// The prefix, a 36-character UUID and the terminating zero.
constexpr std::size_t kClassNameSize = sizeof kClassPrefix - 1 + 36 + 1;
static_assert(kClassNameSize == 60);

constexpr const char kProtocolName[] = "AUCocoaUIBase";
constexpr const char kInterfaceVersionTypes[] = "I@:";
constexpr const char kViewForUnitTypes[] = "@@:^{ComponentInstanceRecord=}{CGSize=dd}";

CFStringRef viewDescription = nullptr;  // "Filter View", kept for the life of the process

// View factory methods: UI thread, called by the host through the class runtime.
id descriptionMethod(id, SEL) {
    ScopedAudioFloatingPointState fp;
    return reinterpret_cast<id>(const_cast<void*>(static_cast<const void*>(viewDescription)));
}

unsigned interfaceVersionMethod(id, SEL) {
    ScopedAudioFloatingPointState fp;
    return 0;
}

id viewForAudioUnitMethod(id, SEL, AudioUnit unit, NSSize) {
    ScopedAudioFloatingPointState fp;
    try {
        AUClient* client = nullptr;
        UInt32 size = sizeof client;
        if (sys::audioToolbox().AudioUnitGetProperty(unit, kAUClientPrivateProperty, kAudioUnitScope_Global, 0,
                                                     &client, &size) != noErr ||
            client == nullptr || size != sizeof client)
            return nullptr;
        return static_cast<id>(client->openEditorView());  // the editor's NSView
    } catch (...) {
        return nullptr;
    }
}

Protocol* viewProtocol(const sys::CocoaApi& objc) {
    if (Protocol* existing = objc.objc_getProtocol(kProtocolName)) return existing;
    Protocol* p = objc.objc_allocateProtocol(kProtocolName);
    if (p == nullptr) return objc.objc_getProtocol(kProtocolName);  // declared meanwhile by someone else
    objc.protocol_addMethodDescription(p, objc.sel_registerName("interfaceVersion"), kInterfaceVersionTypes, YES,
                                       YES);
    objc.protocol_addMethodDescription(p, objc.sel_registerName("uiViewForAudioUnit:withSize:"), kViewForUnitTypes,
                                       YES, YES);
    objc.objc_registerProtocol(p);
    return p;
}

const char* registerViewFactory() noexcept {
    static char name[kClassNameSize];
    const sys::CocoaApi& objc = sys::cocoa();
    if (!objc.NSApplicationLoad()) return nullptr;
    Class superclass = objc.objc_getClass("NSObject");
    if (superclass == Nil) return nullptr;
    Class cls = Nil;
    // A taken name means another copy of this wrapper drew the same UUID: draw again.
    for (int attempt = 0; attempt < 4 && cls == Nil; ++attempt) {
        if (!generateNullTerminatedRandomUUID(kClassPrefix, name, sizeof name)) return nullptr;
        cls = objc.objc_allocateClassPair(superclass, name, 0);
    }
    if (cls == Nil) return nullptr;
    objc.class_addIvar(cls, "this", sizeof(void*), 3, "^v");  // alignment given as log2(8)
    objc.class_addMethod(cls, objc.sel_registerName("description"), reinterpret_cast<IMP>(descriptionMethod),
                         "@@:");
    objc.class_addMethod(cls, objc.sel_registerName("interfaceVersion"),
                         reinterpret_cast<IMP>(interfaceVersionMethod), kInterfaceVersionTypes);
    objc.class_addMethod(cls, objc.sel_registerName("uiViewForAudioUnit:withSize:"),
                         reinterpret_cast<IMP>(viewForAudioUnitMethod), kViewForUnitTypes);
    if (Protocol* p = viewProtocol(objc)) objc.class_addProtocol(cls, p);
    viewDescription = createCFString("Filter View");
    objc.objc_registerClassPair(cls);
    return name;
}

}  // namespace

const char* viewFactoryClassName() noexcept {
    // Thread-safe one-time registration; the name never changes afterwards.
    static const char* const name = registerViewFactory();
    return name;
}

}  // namespace fw::au
