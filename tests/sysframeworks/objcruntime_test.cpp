// The class runtime, used the way an Audio Unit view factory and its host use it.

#include <AppKit/AppKit.h>
#include <AudioToolbox/AUCocoaUIView.h>
#include <CoreFoundation/CoreFoundation.h>
#include <objc/message.h>
#include <objc/runtime.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

struct FactoryState {
    AudioUnit lastUnit = nullptr;
    double width = 0;
    double height = 0;
};

CFStringRef factoryDescription(id, SEL) { return CFSTR("Filter View"); }
unsigned factoryInterfaceVersion(id, SEL) { return 0; }

void* factoryViewForUnit(id self, SEL, AudioUnit unit, NSSize size) {
    void* state = nullptr;
    object_getInstanceVariable(self, "this", &state);
    auto* s = static_cast<FactoryState*>(state);
    s->lastUnit = unit;
    s->width = size.width;
    s->height = size.height;
    return s;
}

template <typename F>
IMP imp(F f) {
    return reinterpret_cast<IMP>(f);
}

Protocol* cocoaUIProtocol() {
    if (Protocol* p = objc_getProtocol("AUCocoaUIBase")) return p;
    Protocol* p = objc_allocateProtocol("AUCocoaUIBase");
    if (p == nullptr) return objc_getProtocol("AUCocoaUIBase");
    protocol_addMethodDescription(p, sel_registerName("interfaceVersion"), "I@:", YES, YES);
    protocol_addMethodDescription(p, sel_registerName("uiViewForAudioUnit:withSize:"), "@@:^v{CGSize=dd}", YES, YES);
    objc_registerProtocol(p);
    return p;
}

// Builds a view-factory class the way the plug-in's wrapper does.
Class makeFactoryClass(const char* name) {
    Class cls = objc_allocateClassPair(objc_getClass("NSObject"), name, 0);
    if (cls == Nil) return Nil;
    EXPECT_TRUE(class_addIvar(cls, "this", sizeof(void*), 3, "^v"));
    EXPECT_TRUE(class_addMethod(cls, sel_registerName("description"), imp(factoryDescription), "@@:"));
    EXPECT_TRUE(class_addMethod(cls, sel_registerName("interfaceVersion"), imp(factoryInterfaceVersion), "I@:"));
    EXPECT_TRUE(class_addMethod(cls, sel_registerName("uiViewForAudioUnit:withSize:"), imp(factoryViewForUnit),
                                "@@:^v{CGSize=dd}"));
    EXPECT_TRUE(class_addProtocol(cls, cocoaUIProtocol()));
    objc_registerClassPair(cls);
    return cls;
}

TEST(ClassRuntime, HostFindsAViewFactoryByNameAndCallsItsMethods) {
    ASSERT_TRUE(NSApplicationLoad());
    Class made = makeFactoryClass("PluginCocoaViewFactory_Test1");
    ASSERT_NE(made, Nil);
    // The host's side: only the name from kAudioUnitProperty_CocoaUI.
    Class cls = objc_getClass("PluginCocoaViewFactory_Test1");
    ASSERT_EQ(cls, made);
    EXPECT_TRUE(class_conformsToProtocol(cls, objc_getProtocol("AUCocoaUIBase")));
    id factory = class_createInstance(cls, 0);
    ASSERT_NE(factory, nullptr);
    FactoryState state;
    ASSERT_NE(object_setInstanceVariable(factory, "this", &state), nullptr);

    auto version = reinterpret_cast<unsigned (*)(id, SEL)>(
        class_getMethodImplementation(cls, sel_registerName("interfaceVersion")));
    EXPECT_EQ(version(factory, sel_registerName("interfaceVersion")), 0u);
    auto description = reinterpret_cast<CFStringRef (*)(id, SEL)>(objc_msgSend);
    CFStringRef name = description(factory, sel_registerName("description"));
    char text[32];
    ASSERT_TRUE(CFStringGetCString(name, text, sizeof text, kCFStringEncodingUTF8));
    EXPECT_STREQ(text, "Filter View");
    // A struct of two doubles goes in xmm registers: objc_msgSend must pass them through.
    auto view = reinterpret_cast<void* (*)(id, SEL, AudioUnit, NSSize)>(objc_msgSend);
    auto* fakeUnit = reinterpret_cast<AudioUnit>(&state);
    EXPECT_EQ(view(factory, sel_registerName("uiViewForAudioUnit:withSize:"), fakeUnit, NSMakeSize(900, 450)), &state);
    EXPECT_EQ(state.lastUnit, fakeUnit);
    EXPECT_EQ(state.width, 900);
    EXPECT_EQ(state.height, 450);
    object_dispose(factory);
}

TEST(ClassRuntime, RefusesASecondClassOfTheSameName) {
    ASSERT_NE(makeFactoryClass("PluginCocoaViewFactory_Dup"), Nil);
    EXPECT_EQ(objc_allocateClassPair(objc_getClass("NSObject"), "PluginCocoaViewFactory_Dup", 0), Nil);
    EXPECT_EQ(objc_allocateClassPair(objc_getClass("NSObject"), "NSObject", 0), Nil);
    // A name under construction is taken too, and becomes free when that class is disposed.
    Class pending = objc_allocateClassPair(objc_getClass("NSObject"), "PendingClass", 0);
    ASSERT_NE(pending, Nil);
    EXPECT_EQ(objc_getClass("PendingClass"), Nil);  // not registered yet
    EXPECT_EQ(objc_allocateClassPair(objc_getClass("NSObject"), "PendingClass", 0), Nil);
    objc_disposeClassPair(pending);
    Class again = objc_allocateClassPair(objc_getClass("NSObject"), "PendingClass", 0);
    EXPECT_NE(again, Nil);
    objc_disposeClassPair(again);
}

TEST(ClassRuntime, InstanceVariablesAreLaidOutAlignedAndOnlyBeforeRegistration) {
    Class cls = objc_allocateClassPair(objc_getClass("NSObject"), "IvarLayout", 0);
    ASSERT_TRUE(class_addIvar(cls, "flag", 1, 0, "c"));
    ASSERT_TRUE(class_addIvar(cls, "pointer", sizeof(void*), 3, "^v"));
    EXPECT_FALSE(class_addIvar(cls, "flag", 1, 0, "c"));          // duplicate
    EXPECT_FALSE(class_addIvar(cls, "huge", 8, 7, "q"));          // 128-byte alignment
    EXPECT_FALSE(class_addIvar(object_getClass(reinterpret_cast<id>(cls)), "meta", 8, 3, "q"));
    objc_registerClassPair(cls);
    EXPECT_FALSE(class_addIvar(cls, "late", 8, 3, "q"));
    EXPECT_EQ(ivar_getOffset(class_getInstanceVariable(cls, "flag")), 8);
    EXPECT_EQ(ivar_getOffset(class_getInstanceVariable(cls, "pointer")), 16);
    EXPECT_EQ(class_getInstanceSize(cls), 24u);
    id obj = class_createInstance(cls, 0);
    void* value = reinterpret_cast<void*>(0x1234);
    object_setInstanceVariable(obj, "pointer", value);
    object_setInstanceVariable(obj, "flag", reinterpret_cast<void*>(0x7F));
    void* out = nullptr;
    object_getInstanceVariable(obj, "pointer", &out);
    EXPECT_EQ(out, value);
    object_getInstanceVariable(obj, "flag", &out);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(out), 0x7Fu);  // one byte written and read back
    EXPECT_EQ(object_getInstanceVariable(obj, "missing", &out), nullptr);
    object_dispose(obj);
}

int gDeallocs = 0;

void countingDealloc(id self, SEL sel) {
    ++gDeallocs;
    // [super dealloc]
    objc_super super{self, class_getSuperclass(object_getClass(self))};
    reinterpret_cast<void (*)(objc_super*, SEL)>(objc_msgSendSuper)(&super, sel);
}

TEST(ClassRuntime, NSObjectLifecycleThroughMessages) {
    Class cls = objc_allocateClassPair(objc_getClass("NSObject"), "Counted", 0);
    class_addMethod(cls, sel_registerName("dealloc"), imp(countingDealloc), "v@:");
    objc_registerClassPair(cls);
    auto send = reinterpret_cast<id (*)(id, SEL)>(objc_msgSend);
    id obj = send(reinterpret_cast<id>(cls), sel_registerName("new"));
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(object_getClass(obj), cls);
    EXPECT_EQ(send(obj, sel_registerName("retain")), obj);
    EXPECT_EQ(reinterpret_cast<unsigned long (*)(id, SEL)>(objc_msgSend)(obj, sel_registerName("retainCount")), 2u);
    auto release = reinterpret_cast<void (*)(id, SEL)>(objc_msgSend);
    release(obj, sel_registerName("release"));
    EXPECT_EQ(gDeallocs, 0);
    objc_disposeClassPair(cls);  // refused: an instance is alive
    EXPECT_EQ(objc_getClass("Counted"), cls);
    release(obj, sel_registerName("release"));
    EXPECT_EQ(gDeallocs, 1);
    auto responds = reinterpret_cast<BOOL (*)(id, SEL, SEL)>(objc_msgSend);
    // Sent to the class, the question is about class methods.
    EXPECT_EQ(responds(reinterpret_cast<id>(cls), sel_registerName("respondsToSelector:"), sel_registerName("alloc")), YES);
    EXPECT_EQ(responds(reinterpret_cast<id>(cls), sel_registerName("respondsToSelector:"), sel_registerName("frobnicate")), NO);
    objc_disposeClassPair(cls);
    EXPECT_EQ(objc_getClass("Counted"), Nil);
}

TEST(ClassRuntime, MethodsAreInheritedAndNotAddedTwice) {
    Class base = makeFactoryClass("FactoryBase");
    Class derived = objc_allocateClassPair(base, "FactoryDerived", 0);
    objc_registerClassPair(derived);
    SEL sel = sel_registerName("interfaceVersion");
    EXPECT_EQ(class_getMethodImplementation(derived, sel), imp(factoryInterfaceVersion));
    EXPECT_FALSE(class_addMethod(base, sel, imp(factoryDescription), "I@:"));
    EXPECT_TRUE(class_addMethod(derived, sel, imp(factoryDescription), "I@:"));  // an override
    EXPECT_EQ(class_getMethodImplementation(derived, sel), imp(factoryDescription));
    EXPECT_EQ(class_getMethodImplementation(base, sel_registerName("nonexistent")), nullptr);
    EXPECT_TRUE(class_conformsToProtocol(derived, objc_getProtocol("AUCocoaUIBase")));
    objc_disposeClassPair(base);  // refused: a subclass exists
    EXPECT_EQ(objc_getClass("FactoryBase"), base);
}

TEST(ClassRuntime, ProtocolsExistOnlyOnceAndOnlyWhenRegistered) {
    Protocol* p = objc_allocateProtocol("TestProtocol");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(objc_getProtocol("TestProtocol"), nullptr);
    EXPECT_EQ(objc_allocateProtocol("TestProtocol"), nullptr);
    protocol_addMethodDescription(p, sel_registerName("ping"), "v@:", YES, YES);
    objc_registerProtocol(p);
    EXPECT_EQ(objc_getProtocol("TestProtocol"), p);
    EXPECT_STREQ(protocol_getName(p), "TestProtocol");
    objc_method_description d = protocol_getMethodDescription(p, sel_registerName("ping"), YES, YES);
    EXPECT_EQ(d.name, sel_registerName("ping"));
    EXPECT_STREQ(d.types, "v@:");
    EXPECT_EQ(protocol_getMethodDescription(p, sel_registerName("ping"), NO, YES).name, nullptr);
}

TEST(ClassRuntime, SelectorsAreInternedAcrossThreads) {
    std::vector<SEL> seen(8);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] { seen[t] = sel_registerName((std::string("concurrent") + ":").c_str()); });
    for (auto& t : threads) t.join();
    for (SEL s : seen) EXPECT_EQ(s, seen[0]);
    EXPECT_STREQ(sel_getName(seen[0]), "concurrent:");
}

TEST(ClassRuntime, MessagesToNilReturnZero) {
    auto send = reinterpret_cast<long (*)(id, SEL)>(objc_msgSend);
    EXPECT_EQ(send(nil, sel_registerName("anything")), 0);
    auto sendDouble = reinterpret_cast<double (*)(id, SEL)>(objc_msgSend);
    EXPECT_EQ(sendDouble(nil, sel_registerName("anything")), 0.0);
}

TEST(ClassRuntimeDeathTest, UnrecognizedSelectorStopsWithTheClassAndSelector) {
    id obj = class_createInstance(objc_getClass("NSObject"), 0);
    auto send = reinterpret_cast<void (*)(id, SEL)>(objc_msgSend);
    EXPECT_DEATH(send(obj, sel_registerName("frobnicate")), "-\\[NSObject frobnicate\\]: unrecognized selector");
    object_dispose(obj);
}

}  // namespace
