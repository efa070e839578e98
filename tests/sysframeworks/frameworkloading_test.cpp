// Every substitute opens from its framework path with dlopen and serves its
// functions by name through dlsym, as plug-in code does on macOS. This test
// links none of them.

#include <CoreFoundation/CoreFoundation.h>
#include <sysframeworks/frameworkpaths.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>

namespace {

struct Library {
    explicit Library(const char* path) : handle(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {}
    ~Library() {
        if (handle) dlclose(handle);
    }
    void* symbol(const char* name) const { return handle ? dlsym(handle, name) : nullptr; }
    void* handle;
};

TEST(FrameworkLoading, FrameworksLiveUnderTheRootAtApplesPaths) {
    EXPECT_EQ(std::string(sysframeworks::kCoreFoundationPath),
              std::string(sysframeworks::kSystemFrameworksRoot) +
                  "/System/Library/Frameworks/CoreFoundation.framework/CoreFoundation");
    for (const char* path : {sysframeworks::kCoreFoundationPath, sysframeworks::kCoreServicesPath,
                             sysframeworks::kAudioToolboxPath, sysframeworks::kAudioUnitPath, sysframeworks::kAppKitPath,
                             sysframeworks::kCocoaPath, sysframeworks::kObjCRuntimePath}) {
        Library lib(path);
        EXPECT_NE(lib.handle, nullptr) << path << ": " << dlerror();
    }
}

TEST(FrameworkLoading, EachFrameworkServesTheFunctionsAPlugInLooksUp) {
    Library cf(sysframeworks::kCoreFoundationPath), cs(sysframeworks::kCoreServicesPath),
        at(sysframeworks::kAudioToolboxPath), au(sysframeworks::kAudioUnitPath), cocoa(sysframeworks::kCocoaPath);
    for (const char* name : {"CFStringCreateWithCString", "CFStringGetCString", "CFStringGetLength", "CFStringCompare",
                             "CFStringCreateWithFormat", "CFArrayCreateMutable", "CFArrayAppendValue",
                             "CFDictionaryCreateMutable", "CFDictionarySetValue", "CFNumberCreate", "CFDataCreate",
                             "CFRetain", "CFRelease", "CFAllocatorAllocate", "CFAllocatorDeallocate",
                             "CFBundleGetMainBundle", "CFBundleCopyBundleURL", "kCFTypeArrayCallBacks"})
        EXPECT_NE(cf.symbol(name), nullptr) << name;
    EXPECT_NE(cs.symbol("GetComponentInstanceStorage"), nullptr);
    EXPECT_NE(cs.symbol("SetComponentInstanceStorage"), nullptr);
    EXPECT_NE(at.symbol("AUEventListenerNotify"), nullptr);
    // AudioUnit re-exports AudioToolbox: the same functions through either handle.
    for (const char* name : {"AudioUnitGetProperty", "AudioUnitRender", "AudioComponentRegister"}) {
        EXPECT_NE(au.symbol(name), nullptr) << name;
        EXPECT_EQ(au.symbol(name), at.symbol(name)) << name;
    }
    // Cocoa reaches AppKit and the class runtime.
    for (const char* name : {"NSApplicationLoad", "objc_allocateClassPair", "class_addMethod", "class_addIvar",
                             "class_addProtocol", "objc_registerClassPair", "objc_getProtocol", "objc_allocateProtocol",
                             "protocol_addMethodDescription", "objc_registerProtocol", "objc_getClass", "objc_msgSend"})
        EXPECT_NE(cocoa.symbol(name), nullptr) << name;
}

TEST(FrameworkLoading, InternalSymbolsStayHidden) {
    Library objc(sysframeworks::kObjCRuntimePath), cf(sysframeworks::kCoreFoundationPath);
    EXPECT_EQ(objc.symbol("sysfw_objc_lookUpForSend"), nullptr);
    EXPECT_EQ(cf.symbol("_ZN2cf9typeNameEm"), nullptr);
    EXPECT_EQ(cf.symbol("_ZN5sysfw12reportMisuseEPKcS1_"), nullptr);
}

TEST(FrameworkLoading, FunctionsFoundByNameWork) {
    Library cf(sysframeworks::kCoreFoundationPath);
    auto create = reinterpret_cast<CFStringRef (*)(CFAllocatorRef, const char*, CFStringEncoding)>(
        cf.symbol("CFStringCreateWithCString"));
    auto length = reinterpret_cast<CFIndex (*)(CFStringRef)>(cf.symbol("CFStringGetLength"));
    auto release = reinterpret_cast<void (*)(CFTypeRef)>(cf.symbol("CFRelease"));
    ASSERT_TRUE(create && length && release);
    CFStringRef s = create(nullptr, "Kestrin", kCFStringEncodingUTF8);
    EXPECT_EQ(length(s), 7);
    release(s);
}

}  // namespace
