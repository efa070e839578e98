#include "framework/platform/systemframeworks.h"

#include <dlfcn.h>

#include <cstdio>

#include <sysframeworks/frameworkpaths.h>

#include "framework/core/fatal.h"

namespace fw::sys {

namespace {

[[noreturn]] void stopWith(const char* format, const char* a, const char* b, const char* c) noexcept {
    // Static: the process is about to stop, and the stack of an audio host thread
    // may be small.
    static char message[1024];
    std::snprintf(message, sizeof message, format, a, b, c);
    fatalError(message);
}

template <class Fn>
void bind(Fn& slot, void* handle, const char* framework, const char* symbol) noexcept {
    slot = reinterpret_cast<Fn>(lookupOrDie(handle, framework, symbol));
}

template <class T>
void bindData(const T*& slot, void* handle, const char* framework, const char* symbol) noexcept {
    slot = static_cast<const T*>(lookupOrDie(handle, framework, symbol));
}

}  // namespace

void* openFrameworkOrDie(const char* framework, const char* path) noexcept {
    // RTLD_LOCAL: the framework's symbols are found through this handle only, never
    // by the dynamic linker for the plug-in's own references.
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        stopWith("cannot open the %s framework at %s (%s)", framework, path, reason ? reason : "unknown reason");
    }
    return handle;
}

void* lookupOrDie(void* handle, const char* framework, const char* symbol) noexcept {
    dlerror();
    void* address = dlsym(handle, symbol);
    if (address == nullptr) stopWith("the %s framework has no %s%s", framework, symbol, "");
    return address;
}

const CoreFoundationApi& coreFoundation() noexcept {
    static const CoreFoundationApi api = [] {
        CoreFoundationApi a;
        void* h = openFrameworkOrDie("CoreFoundation", sysframeworks::kCoreFoundationPath);
#define FW_SYS_BIND(name) bind(a.name, h, "CoreFoundation", #name);
        FW_SYS_COREFOUNDATION_FUNCTIONS(FW_SYS_BIND)
#undef FW_SYS_BIND
        bindData(a.kCFTypeArrayCallBacks, h, "CoreFoundation", "kCFTypeArrayCallBacks");
        bindData(a.kCFTypeDictionaryKeyCallBacks, h, "CoreFoundation", "kCFTypeDictionaryKeyCallBacks");
        bindData(a.kCFTypeDictionaryValueCallBacks, h, "CoreFoundation", "kCFTypeDictionaryValueCallBacks");
        return a;
    }();
    return api;
}

const CoreServicesApi& coreServices() noexcept {
    static const CoreServicesApi api = [] {
        CoreServicesApi a;
        void* h = openFrameworkOrDie("CoreServices", sysframeworks::kCoreServicesPath);
#define FW_SYS_BIND(name) bind(a.name, h, "CoreServices", #name);
        FW_SYS_CORESERVICES_FUNCTIONS(FW_SYS_BIND)
#undef FW_SYS_BIND
        return a;
    }();
    return api;
}

const AudioToolboxApi& audioToolbox() noexcept {
    static const AudioToolboxApi api = [] {
        AudioToolboxApi a;
        // The unit API comes from AudioUnit, the event API from AudioToolbox, as the
        // SDK headers place them.
        void* unit = openFrameworkOrDie("AudioUnit", sysframeworks::kAudioUnitPath);
        void* toolbox = openFrameworkOrDie("AudioToolbox", sysframeworks::kAudioToolboxPath);
        bind(a.AudioUnitGetProperty, unit, "AudioUnit", "AudioUnitGetProperty");
        bind(a.AudioUnitRender, unit, "AudioUnit", "AudioUnitRender");
        bind(a.AUEventListenerNotify, toolbox, "AudioToolbox", "AUEventListenerNotify");
        return a;
    }();
    return api;
}

const CocoaApi& cocoa() noexcept {
    static const CocoaApi api = [] {
        CocoaApi a;
        void* h = openFrameworkOrDie("Cocoa", sysframeworks::kCocoaPath);
#define FW_SYS_BIND(name) bind(a.name, h, "Cocoa", #name);
        FW_SYS_COCOA_FUNCTIONS(FW_SYS_BIND)
#undef FW_SYS_BIND
        bindData(a.NSAppKitVersionNumber, h, "Cocoa", "NSAppKitVersionNumber");
        return a;
    }();
    return api;
}

const CoreGraphicsApi& coreGraphics() noexcept {
    static const CoreGraphicsApi api = [] {
        CoreGraphicsApi a;
        void* h = openFrameworkOrDie("CoreGraphics", sysframeworks::kCoreGraphicsPath);
#define FW_SYS_BIND(name) bind(a.name, h, "CoreGraphics", #name);
        FW_SYS_COREGRAPHICS_FUNCTIONS(FW_SYS_BIND)
#undef FW_SYS_BIND
        return a;
    }();
    return api;
}

}  // namespace fw::sys
