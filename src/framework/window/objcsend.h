#pragma once
// Typed message sends through the class runtime the Cocoa framework exports,
// looked up at run time like everything else of Cocoa. Each send names the
// method's exact prototype through its template arguments:
//   NSRect frame = sendStret<NSRect>(view, sel.frame);
//   send<void>(view, sel.setNeedsDisplayInRect, rect);

#include <Foundation/NSGeometry.h>
#include <objc/message.h>
#include <objc/runtime.h>

#include "framework/platform/systemframeworks.h"

namespace fw::cocoa {

template <class R, class... A>
R send(id receiver, SEL selector, A... args) {
    using Fn = R (*)(id, SEL, A...);
    return reinterpret_cast<Fn>(sys::cocoa().objc_msgSend)(receiver, selector, args...);
}

template <class R, class... A>
R send(Class receiver, SEL selector, A... args) {
    return send<R>(reinterpret_cast<id>(receiver), selector, args...);
}

// Methods returning a structure in memory (NSRect).
template <class R, class... A>
R sendStret(id receiver, SEL selector, A... args) {
    using Fn = R (*)(id, SEL, A...);
    return reinterpret_cast<Fn>(sys::cocoa().objc_msgSend_stret)(receiver, selector, args...);
}

// The superclass's implementation of `selector` for `receiver`.
template <class R, class... A>
R sendSuper(id receiver, Class superclass, SEL selector, A... args) {
    objc_super super{receiver, superclass};
    using Fn = R (*)(objc_super*, SEL, A...);
    return reinterpret_cast<Fn>(sys::cocoa().objc_msgSendSuper)(&super, selector, args...);
}

}  // namespace fw::cocoa
