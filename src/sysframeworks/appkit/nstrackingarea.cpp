// NSTrackingArea: a rectangle, options and an owner (not retained, as on
// macOS) that a view keeps to be told when the pointer enters or leaves it.

#include "sysframeworks/appkit/appkitimpl.h"
#include "sysframeworks/common/objcclass.h"

#include <AppKit/AppKit.h>

namespace appkit {
namespace {

using namespace sysfw::objc;

struct AreaState {
    NSRect rect{};
    unsigned long options = 0;
    id owner = nullptr;
    id userInfo = nullptr;  // retained
    void destroy(id) { release(userInfo); }
};

const StatefulClass<AreaState>& areaType();

id initWithRect(id self, SEL, NSRect rect, unsigned long options, id owner, id userInfo) {
    AreaState* s = areaType().stateOf(self);
    s->rect = rect;
    s->options = options;
    s->owner = owner;
    s->userInfo = retain(userInfo);
    return self;
}

const StatefulClass<AreaState>& areaType() {
    static const StatefulClass<AreaState> type("NSTrackingArea", objc_getClass("NSObject"), [](Class cls) {
        class_addMethod(cls, sel("initWithRect:options:owner:userInfo:"), imp(initWithRect),
                        "@@:{CGRect={CGPoint=dd}{CGSize=dd}}Q@@");
        class_addMethod(cls, sel("rect"), imp(+[](id a, SEL) { return areaType().stateOf(a)->rect; }),
                        "{CGRect={CGPoint=dd}{CGSize=dd}}@:");
        class_addMethod(cls, sel("options"), imp(+[](id a, SEL) { return areaType().stateOf(a)->options; }), "Q@:");
        class_addMethod(cls, sel("owner"), imp(+[](id a, SEL) { return areaType().stateOf(a)->owner; }), "@@:");
        class_addMethod(cls, sel("userInfo"), imp(+[](id a, SEL) { return areaType().stateOf(a)->userInfo; }),
                        "@@:");
    });
    return type;
}

}  // namespace

Class trackingAreaClass() { return areaType().cls(); }

}  // namespace appkit
