// NSAutoreleasePool: an object around one objc_autoreleasePoolPush token.

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/common/objcclass.h"
#include "sysframeworks/foundation/foundationimpl.h"

#include <Foundation/NSAutoreleasePool.h>

namespace foundation {
namespace {

using namespace sysfw::objc;

struct PoolState {
    void* token = nullptr;
    void destroy(id) {}
};

const StatefulClass<PoolState>& poolType();

id init(id self, SEL) {
    poolType().stateOf(self)->token = objc_autoreleasePoolPush();
    return self;
}

// Draining frees the pool too, so -drain and -release do the same.
void drain(id self, SEL) {
    PoolState* s = poolType().stateOf(self);
    if (s->token) objc_autoreleasePoolPop(s->token);
    s->token = nullptr;
    sysfw::objc::sendSuper(self, poolType().cls(), "release");
}

id refuseRetain(id self, SEL) {
    sysfw::reportMisuse("-[NSAutoreleasePool retain]", "a pool cannot be retained");
    return self;
}

id refuseAutorelease(id self, SEL) {
    sysfw::reportMisuse("-[NSAutoreleasePool autorelease]", "a pool cannot be autoreleased");
    return self;
}

const StatefulClass<PoolState>& poolType() {
    static const StatefulClass<PoolState> type("NSAutoreleasePool", objc_getClass("NSObject"), [](Class cls) {
        class_addMethod(cls, sel("init"), imp(init), "@@:");
        class_addMethod(cls, sel("drain"), imp(drain), "v@:");
        class_addMethod(cls, sel("release"), imp(drain), "v@:");
        class_addMethod(cls, sel("retain"), imp(refuseRetain), "@@:");
        class_addMethod(cls, sel("autorelease"), imp(refuseAutorelease), "@@:");
    });
    return type;
}

}  // namespace

Class autoreleasePoolClass() { return poolType().cls(); }

}  // namespace foundation
