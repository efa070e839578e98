#pragma once
// Run-time access to the system frameworks.
//
// The plug-in links no system framework. Each one is opened with dlopen from its
// system path on first use and every function is looked up by name, exactly as the
// binary does on macOS (here the frameworks sit below the build folder instead of
// "/"). A framework or function that cannot be found is a fatal stop naming it.
//
// The tables carry Apple's own signatures (taken from the SDK-style headers with
// decltype), so calls through them read like the direct calls they replace:
//   const auto& cf = fw::sys::coreFoundation();
//   CFStringRef s = cf.CFStringCreateWithCString(nullptr, "name", kCFStringEncodingUTF8);

#include <AppKit/NSApplication.h>
#include <AudioToolbox/AudioToolbox.h>
#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CoreGraphics.h>
#include <CoreServices/CoreServices.h>
#include <objc/message.h>
#include <objc/runtime.h>

namespace fw::sys {

#define FW_SYS_MEMBER(name) decltype(&::name) name = nullptr;

#define FW_SYS_COREFOUNDATION_FUNCTIONS(X)                                                                   \
    X(CFRetain) X(CFRelease) X(CFGetTypeID) X(CFEqual) X(CFAllocatorAllocate) X(CFAllocatorDeallocate)        \
    X(CFStringGetTypeID) X(CFStringCreateWithCString) X(CFStringCreateWithBytes) X(CFStringGetCString)        \
    X(CFStringGetLength) X(CFStringGetBytes) X(CFStringCompare) X(CFStringCreateWithFormat)                  \
    X(CFArrayCreateMutable) X(CFArrayAppendValue) X(CFDictionaryGetTypeID) X(CFDictionaryCreateMutable)      \
    X(CFDictionarySetValue) X(CFDictionaryGetValue) X(CFNumberGetTypeID) X(CFNumberCreate)                   \
    X(CFNumberGetValue) X(CFDataGetTypeID) X(CFDataCreate) X(CFDataGetLength) X(CFDataGetBytePtr)            \
    X(CFBundleGetMainBundle) X(CFBundleCopyBundleURL)

// CoreFoundation: functions and the callback tables that collections of CF objects use.
struct CoreFoundationApi {
    FW_SYS_COREFOUNDATION_FUNCTIONS(FW_SYS_MEMBER)
    const CFArrayCallBacks* kCFTypeArrayCallBacks = nullptr;
    const CFDictionaryKeyCallBacks* kCFTypeDictionaryKeyCallBacks = nullptr;
    const CFDictionaryValueCallBacks* kCFTypeDictionaryValueCallBacks = nullptr;
};

#define FW_SYS_CORESERVICES_FUNCTIONS(X) X(GetComponentInstanceStorage) X(SetComponentInstanceStorage)

// CoreServices: the Component Manager's instance storage.
struct CoreServicesApi {
    FW_SYS_CORESERVICES_FUNCTIONS(FW_SYS_MEMBER)
};

#define FW_SYS_AUDIOTOOLBOX_FUNCTIONS(X) X(AudioUnitGetProperty) X(AudioUnitRender) X(AUEventListenerNotify)

// AudioToolbox (reached through the AudioUnit framework, which re-exports it).
struct AudioToolboxApi {
    FW_SYS_AUDIOTOOLBOX_FUNCTIONS(FW_SYS_MEMBER)
};

#define FW_SYS_COCOA_FUNCTIONS(X)                                                                            \
    X(NSApplicationLoad) X(objc_getClass) X(objc_allocateClassPair) X(objc_registerClassPair)               \
    X(class_addMethod) X(class_addIvar) X(class_addProtocol) X(objc_getProtocol) X(objc_allocateProtocol)    \
    X(protocol_addMethodDescription) X(objc_registerProtocol) X(sel_registerName)                           \
    X(object_getInstanceVariable) X(object_setInstanceVariable) X(objc_disposeClassPair) X(objc_msgSend)     \
    X(objc_msgSendSuper) X(objc_msgSend_stret) X(object_getClass) X(objc_autoreleasePoolPush)        \
    X(objc_autoreleasePoolPop)

// Cocoa (AppKit, Foundation and the class runtime it re-exports): the view
// factory and the editor's view.
struct CocoaApi {
    FW_SYS_COCOA_FUNCTIONS(FW_SYS_MEMBER)
    // AppKit's version, to tell the systems whose views draw through layers.
    const double* NSAppKitVersionNumber = nullptr;
};

#define FW_SYS_COREGRAPHICS_FUNCTIONS(X) \
    X(CGImageCreate) X(CGImageRelease) X(CGDataProviderCreateWithData) X(CGDataProviderRelease) X(CGContextDrawImage)

// CoreGraphics: the images the editor's view draws its buffer with.
struct CoreGraphicsApi {
    FW_SYS_COREGRAPHICS_FUNCTIONS(FW_SYS_MEMBER)
};

#undef FW_SYS_MEMBER

// Any thread. Each opens its framework on the first call (thread-safe) and returns
// the same table afterwards; fatal when a framework or one of its functions is missing.
const CoreFoundationApi& coreFoundation() noexcept;
const CoreServicesApi& coreServices() noexcept;
const AudioToolboxApi& audioToolbox() noexcept;
const CocoaApi& cocoa() noexcept;
const CoreGraphicsApi& coreGraphics() noexcept;

// Any thread. The framework at `path` (dlopen); a fatal stop naming `framework` when
// it cannot be opened.
void* openFrameworkOrDie(const char* framework, const char* path) noexcept;
// Any thread. The address of `symbol` in an opened framework; a fatal stop naming both
// when it is missing.
void* lookupOrDie(void* handle, const char* framework, const char* symbol) noexcept;

}  // namespace fw::sys
