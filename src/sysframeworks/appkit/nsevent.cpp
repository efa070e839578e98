// NSEvent: the fields read from one X event, and the class methods that
// report the pointer buttons and modifier keys as last seen.

#include "sysframeworks/appkit/appkitimpl.h"
#include "sysframeworks/common/objcclass.h"

#include <AppKit/AppKit.h>

namespace appkit {
namespace {

using namespace sysfw::objc;

struct EventState {
    EventFields f;
    void destroy(id) {
        release(f.trackingArea);
        release(f.target);
    }
};

const StatefulClass<EventState>& eventType();
const EventFields& fieldsOf(id e) { return eventType().stateOf(e)->f; }

id text(const std::string& s) {
    return sendClass<id>(objc_getClass("NSString"), "stringWithUTF8String:", s.c_str());
}

const StatefulClass<EventState>& eventType() {
    static const StatefulClass<EventState> type("NSEvent", objc_getClass("NSObject"), [](Class cls) {
        Class meta = metaclass(cls);
        class_addMethod(meta, sel("pressedMouseButtons"),
                        imp(+[](Class, SEL) { return pressedButtonsFromX(lastXState()); }), "Q#:");
        class_addMethod(meta, sel("modifierFlags"),
                        imp(+[](Class, SEL) { return modifierFlagsFromX(lastXState()); }), "Q#:");
        class_addMethod(meta, sel("doubleClickInterval"), imp(+[](Class, SEL) { return 0.5; }), "d#:");
        class_addMethod(cls, sel("type"), imp(+[](id e, SEL) { return fieldsOf(e).type; }), "Q@:");
        class_addMethod(cls, sel("window"), imp(+[](id e, SEL) { return fieldsOf(e).window; }), "@@:");
        class_addMethod(cls, sel("locationInWindow"), imp(+[](id e, SEL) { return fieldsOf(e).location; }),
                        "{CGPoint=dd}@:");
        class_addMethod(cls, sel("modifierFlags"), imp(+[](id e, SEL) { return fieldsOf(e).modifierFlags; }), "Q@:");
        class_addMethod(cls, sel("clickCount"), imp(+[](id e, SEL) { return fieldsOf(e).clickCount; }), "q@:");
        class_addMethod(cls, sel("buttonNumber"), imp(+[](id e, SEL) { return fieldsOf(e).buttonNumber; }), "q@:");
        class_addMethod(cls, sel("keyCode"), imp(+[](id e, SEL) { return fieldsOf(e).keyCode; }), "S@:");
        class_addMethod(cls, sel("isARepeat"), imp(+[](id e, SEL) -> BOOL { return fieldsOf(e).isARepeat; }), "c@:");
        class_addMethod(cls, sel("characters"), imp(+[](id e, SEL) { return text(fieldsOf(e).characters); }), "@@:");
        class_addMethod(cls, sel("charactersIgnoringModifiers"),
                        imp(+[](id e, SEL) { return text(fieldsOf(e).charactersIgnoringModifiers); }), "@@:");
        class_addMethod(cls, sel("deltaX"), imp(+[](id e, SEL) { return fieldsOf(e).deltaX; }), "d@:");
        class_addMethod(cls, sel("deltaY"), imp(+[](id e, SEL) { return fieldsOf(e).deltaY; }), "d@:");
        class_addMethod(cls, sel("scrollingDeltaX"), imp(+[](id e, SEL) { return fieldsOf(e).deltaX; }), "d@:");
        class_addMethod(cls, sel("scrollingDeltaY"), imp(+[](id e, SEL) { return fieldsOf(e).deltaY; }), "d@:");
        class_addMethod(cls, sel("hasPreciseScrollingDeltas"), imp(+[](id, SEL) -> BOOL { return NO; }), "c@:");
        class_addMethod(cls, sel("timestamp"), imp(+[](id e, SEL) { return fieldsOf(e).timestamp; }), "d@:");
        class_addMethod(cls, sel("trackingArea"), imp(+[](id e, SEL) { return fieldsOf(e).trackingArea; }), "@@:");
    });
    return type;
}

}  // namespace

Class eventClass() { return eventType().cls(); }

id newEvent(const EventFields& fields) {
    id e = eventType().create();
    EventFields& f = eventType().stateOf(e)->f;
    f = fields;
    retain(f.trackingArea);
    retain(f.target);
    return e;
}

const EventFields* eventFields(id event) {
    EventState* s = eventType().of(event);
    return s ? &s->f : nullptr;
}

unsigned long modifierFlagsFromX(unsigned state) {
    unsigned long flags = 0;
    if (state & LockMask) flags |= NSEventModifierFlagCapsLock;
    if (state & ShiftMask) flags |= NSEventModifierFlagShift;
    if (state & ControlMask) flags |= NSEventModifierFlagControl;
    if (state & Mod1Mask) flags |= NSEventModifierFlagOption;
    if (state & Mod4Mask) flags |= NSEventModifierFlagCommand;
    return flags;
}

unsigned long pressedButtonsFromX(unsigned state) {
    unsigned long buttons = 0;
    if (state & Button1Mask) buttons |= 1u << 0;
    if (state & Button3Mask) buttons |= 1u << 1;
    if (state & Button2Mask) buttons |= 1u << 2;
    return buttons;
}

}  // namespace appkit
