// NSNotificationCenter and NSNotification: a list of registrations matched by
// name (by content) and sender, walked in order on the posting thread.

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/common/objcclass.h"
#include "sysframeworks/foundation/foundationimpl.h"

#include <Foundation/NSNotification.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace foundation {
namespace {

using namespace sysfw::objc;

struct NotificationState {
    id name = nullptr;
    id object = nullptr;
    void destroy(id) {
        release(name);
        release(object);
    }
};

const StatefulClass<NotificationState>& notificationType() {
    static const StatefulClass<NotificationState> type("NSNotification", objc_getClass("NSObject"), [](Class cls) {
        class_addMethod(cls, sel("name"), imp(+[](id self, SEL) { return notificationType().stateOf(self)->name; }),
                        "@@:");
        class_addMethod(cls, sel("object"),
                        imp(+[](id self, SEL) { return notificationType().stateOf(self)->object; }), "@@:");
    });
    return type;
}

struct Registration {
    std::uint64_t serial;
    id observer;
    SEL selector;
    std::optional<std::string> name;  // none: every name
    id object;                        // nil: any sender
};

struct CenterState {
    std::mutex mutex;
    std::vector<Registration> registrations;
    std::uint64_t nextSerial = 1;
    void destroy(id) {}

    bool stillRegistered(std::uint64_t serial) {
        std::lock_guard lock(mutex);
        for (const Registration& r : registrations)
            if (r.serial == serial) return true;
        return false;
    }
};

const StatefulClass<CenterState>& centerType();

void addObserver(id self, SEL, id observer, SEL selector, id name, id object) {
    if (observer == nullptr || selector == nullptr) {
        sysfw::reportMisuse("-[NSNotificationCenter addObserver:selector:name:object:]", "nil observer or selector");
        return;
    }
    const std::string* text = stringText(name);
    if (name != nullptr && text == nullptr) {
        sysfw::reportMisuse("-[NSNotificationCenter addObserver:selector:name:object:]", "the name is not an NSString");
        return;
    }
    CenterState* c = centerType().stateOf(self);
    std::lock_guard lock(c->mutex);
    c->registrations.push_back(Registration{c->nextSerial++, observer, selector,
                                            text ? std::optional<std::string>(*text) : std::nullopt, object});
}

void removeObserverNameObject(id self, SEL, id observer, id name, id object) {
    CenterState* c = centerType().stateOf(self);
    const std::string* text = stringText(name);
    std::lock_guard lock(c->mutex);
    std::erase_if(c->registrations, [&](const Registration& r) {
        if (r.observer != observer) return false;
        if (text && (!r.name || *r.name != *text)) return false;
        if (object && r.object != object) return false;
        return true;
    });
}

void removeObserver(id self, SEL, id observer) { removeObserverNameObject(self, nullptr, observer, nullptr, nullptr); }

void postNotificationName(id self, SEL, id name, id object) {
    const std::string* text = stringText(name);
    if (text == nullptr) {
        sysfw::reportMisuse("-[NSNotificationCenter postNotificationName:object:]", "the name is not an NSString");
        return;
    }
    CenterState* c = centerType().stateOf(self);
    std::vector<Registration> matching;
    {
        std::lock_guard lock(c->mutex);
        for (const Registration& r : c->registrations)
            if ((!r.name || *r.name == *text) && (r.object == nullptr || r.object == object)) matching.push_back(r);
    }
    if (matching.empty()) return;
    id note = notificationType().create();
    NotificationState* n = notificationType().stateOf(note);
    n->name = retain(name);
    n->object = retain(object);
    for (const Registration& r : matching) {
        if (!c->stillRegistered(r.serial)) continue;
        reinterpret_cast<void (*)(id, SEL, id)>(objc_msgSend)(r.observer, r.selector, note);
    }
    release(note);
}

id defaultCenter(Class, SEL) {
    static id center = centerType().create();
    return center;
}

const StatefulClass<CenterState>& centerType() {
    static const StatefulClass<CenterState> type("NSNotificationCenter", objc_getClass("NSObject"), [](Class cls) {
        class_addMethod(metaclass(cls), sel("defaultCenter"), imp(defaultCenter), "@#:");
        class_addMethod(cls, sel("addObserver:selector:name:object:"), imp(addObserver), "v@:@:@@");
        class_addMethod(cls, sel("removeObserver:"), imp(removeObserver), "v@:@");
        class_addMethod(cls, sel("removeObserver:name:object:"), imp(removeObserverNameObject), "v@:@@@");
        class_addMethod(cls, sel("postNotificationName:object:"), imp(postNotificationName), "v@:@@");
    });
    return type;
}

}  // namespace

Class notificationClass() { return notificationType().cls(); }
Class notificationCenterClass() { return centerType().cls(); }

}  // namespace foundation
