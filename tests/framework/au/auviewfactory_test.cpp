// The Cocoa view factory as a host uses it: the class named by
// kAudioUnitProperty_CocoaUI is instantiated through the class runtime and asked for
// its description, interface version and the view for a unit.

#include <gtest/gtest.h>

#include <Foundation/NSGeometry.h>
#include <objc/message.h>
#include <objc/runtime.h>

#include <cstdint>
#include <string>

#include "auhost/cfref.h"
#include "aufixture.h"
#include "fakeclient.h"
#include "framework/au/auclient.h"
#include "framework/core/fpcontrol.h"

namespace {

using auhost::CFRef;
using auhost::toUTF8;
using autest::Unit;

std::string viewClassName(AudioUnit unit) {
    AudioUnitCocoaViewInfo view{};
    if (autest::getProperty(unit, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, view) != noErr) return {};
    CFRelease(view.mCocoaAUViewBundleLocation);
    return toUTF8(CFRef<CFStringRef>(view.mCocoaAUViewClass[0]).get());
}

id send(id receiver, const char* selector) {
    return reinterpret_cast<id (*)(id, SEL)>(objc_msgSend)(receiver, sel_registerName(selector));
}

// A factory object as a host makes one: [[cls alloc] init].
id newFactory(const std::string& className) {
    Class cls = objc_getClass(className.c_str());
    if (cls == Nil) return nil;
    return send(send(reinterpret_cast<id>(cls), "alloc"), "init");
}

void* viewFor(id factory, AudioUnit unit) {
    return reinterpret_cast<id (*)(id, SEL, AudioUnit, NSSize)>(objc_msgSend)(
        factory, sel_registerName("uiViewForAudioUnit:withSize:"), unit, NSMakeSize(640, 480));
}

class ViewFactory : public ::testing::Test {
protected:
    void TearDown() override { autest::fakeOptions() = {}; }
};

TEST_F(ViewFactory, ClassConformsToTheViewProtocolAndDescribesItself) {
    Unit unit(autest::fakeComponent());
    const std::string name = viewClassName(unit);
    Class cls = objc_getClass(name.c_str());
    ASSERT_NE(cls, Nil) << name;
    EXPECT_EQ(class_getSuperclass(cls), objc_getClass("NSObject"));
    Protocol* protocol = objc_getProtocol("AUCocoaUIBase");
    ASSERT_NE(protocol, nullptr);
    EXPECT_TRUE(class_conformsToProtocol(cls, protocol));
    EXPECT_NE(protocol_getMethodDescription(protocol, sel_registerName("uiViewForAudioUnit:withSize:"), YES, YES).name,
              nullptr);
    EXPECT_NE(class_getInstanceVariable(cls, "this"), nullptr);

    id factory = newFactory(name);
    ASSERT_NE(factory, nil);
    EXPECT_EQ(toUTF8(reinterpret_cast<CFStringRef>(send(factory, "description"))), "Filter View");
    EXPECT_EQ(reinterpret_cast<unsigned (*)(id, SEL)>(objc_msgSend)(factory, sel_registerName("interfaceVersion")), 0u);
    send(factory, "release");
}

TEST_F(ViewFactory, ViewIsTheEditorsCocoaViewCreatedOnceAndReopened) {
    Unit unit(autest::fakeComponent());
    fw::AUClient* au = nullptr;
    ASSERT_EQ(autest::getProperty(unit, fw::kAUClientPrivateProperty, kAudioUnitScope_Global, 0, au), noErr);
    auto& fake = dynamic_cast<autest::FakeClient&>(au->client());
    EXPECT_EQ(fake.acquireGraphics(), nullptr);  // no editor before the first view

    id factory = newFactory(viewClassName(unit));
    ASSERT_NE(factory, nil);
    const std::uint32_t callerMXCSR = fw::getSSEControlState();
    fw::setSSEControlState(0x1F80);
    void* view = viewFor(factory, unit);
    EXPECT_EQ(fw::getSSEControlState() & 0xFFC0u, 0x1F80u);  // the view method restored the caller's state
    fw::setSSEControlState(callerMXCSR);
    ASSERT_NE(fake.editor, nullptr);
    EXPECT_EQ(view, &fake.editor->view);
    EXPECT_EQ(fake.editor->opens, 1);
    EXPECT_EQ(fake.editor->closes, 0);
    EXPECT_EQ(fake.editor->lastParent, nullptr);
    EXPECT_EQ(fake.editor->lastClient, &fake);
    EXPECT_EQ(fake.editor->lastBackend, fw::GraphicsBackend::cocoa);
    fw::IGraphics* shared = fake.acquireGraphics();  // now visible to the audio thread
    EXPECT_EQ(shared, fake.editor);
    if (shared != nullptr) fake.releaseGraphics();

    EXPECT_EQ(viewFor(factory, unit), view);
    EXPECT_EQ(fake.createGraphicsCalls.load(), 1);
    EXPECT_EQ(fake.editor->closes, 1);  // the earlier view was closed first
    EXPECT_EQ(fake.editor->opens, 2);
    send(factory, "release");
}

TEST_F(ViewFactory, WithoutAnEditorThereIsNoView) {
    autest::fakeOptions().hasEditor = false;
    Unit unit(autest::fakeComponent());
    id factory = newFactory(viewClassName(unit));
    ASSERT_NE(factory, nil);
    EXPECT_EQ(viewFor(factory, unit), nullptr);
    EXPECT_EQ(viewFor(factory, nullptr), nullptr);  // not a unit at all
    send(factory, "release");
}

TEST_F(ViewFactory, KestrinReachesItsClientsEditorFactoryThroughItsOwnClass) {
    Unit kestrin(autest::kestrin().factory);
    Unit fake(autest::fakeComponent());
    const std::string kestrinClass = viewClassName(kestrin);
    EXPECT_NE(kestrinClass, viewClassName(fake));  // each binary registers its own class
    id factory = newFactory(kestrinClass);
    ASSERT_NE(factory, nil);
    // Kestrin builds its editor here and opens it in a view of a class of its
    // own (a view needs no display until a window shows it).
    id view = static_cast<id>(viewFor(factory, kestrin));
    ASSERT_NE(view, nil);
    EXPECT_EQ(std::string(object_getClassName(view)).rfind("PluginCustomView_", 0), 0u);
    EXPECT_EQ(class_getSuperclass(object_getClass(view)), objc_getClass("NSView"));
    send(factory, "release");
}

}  // namespace
