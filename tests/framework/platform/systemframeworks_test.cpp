// The run-time framework tables: every function is found in the framework it
// belongs to, and a missing framework or function stops with a message naming it.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <sysframeworks/frameworkpaths.h>

#include "framework/platform/systemframeworks.h"

namespace {

using namespace fw::sys;

TEST(SystemFrameworks, TablesResolveToTheFrameworkFunctionsHostsCall) {
    // This executable links the frameworks, so the addresses must be the same ones.
    const CoreFoundationApi& cf = coreFoundation();
    EXPECT_EQ(cf.CFRetain, &::CFRetain);
    EXPECT_EQ(cf.CFStringCreateWithCString, &::CFStringCreateWithCString);
    EXPECT_EQ(cf.CFBundleCopyBundleURL, &::CFBundleCopyBundleURL);
    // Data may be copied into the executable at link time: compare the callbacks themselves.
    EXPECT_EQ(cf.kCFTypeArrayCallBacks->retain, ::kCFTypeArrayCallBacks.retain);
    EXPECT_EQ(cf.kCFTypeArrayCallBacks->release, ::kCFTypeArrayCallBacks.release);
    EXPECT_EQ(cf.kCFTypeDictionaryKeyCallBacks->hash, ::kCFTypeDictionaryKeyCallBacks.hash);
    EXPECT_EQ(cf.kCFTypeDictionaryValueCallBacks->equal, ::kCFTypeDictionaryValueCallBacks.equal);
    EXPECT_EQ(coreServices().SetComponentInstanceStorage, &::SetComponentInstanceStorage);
    EXPECT_EQ(audioToolbox().AudioUnitRender, &::AudioUnitRender);
    EXPECT_EQ(audioToolbox().AUEventListenerNotify, &::AUEventListenerNotify);
    EXPECT_EQ(cocoa().objc_allocateClassPair, &::objc_allocateClassPair);
    EXPECT_EQ(cocoa().NSApplicationLoad, &::NSApplicationLoad);
}

TEST(SystemFrameworks, TablesAreLoadedOnceAndShared) {
    EXPECT_EQ(&coreFoundation(), &coreFoundation());
    EXPECT_EQ(&cocoa(), &cocoa());
}

TEST(SystemFrameworksDeathTest, MissingFrameworkStopsWithItsName) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(openFrameworkOrDie("Imaginary", "/nonexistent/System/Library/Frameworks/Imaginary.framework/Imaginary"),
                 "cannot open the Imaginary framework");
}

TEST(SystemFrameworksDeathTest, MissingFunctionStopsWithItsName) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    void* handle = openFrameworkOrDie("CoreFoundation", sysframeworks::kCoreFoundationPath);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(lookupOrDie(handle, "CoreFoundation", "CFRelease"), reinterpret_cast<void*>(&::CFRelease));
    EXPECT_DEATH(lookupOrDie(handle, "CoreFoundation", "CFNoSuchFunction"),
                 "the CoreFoundation framework has no CFNoSuchFunction");
}

}  // namespace
