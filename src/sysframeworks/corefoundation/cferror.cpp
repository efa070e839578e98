// CFError, and the run-loop placeholders that other APIs take.

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/corefoundation/cfmisc.h"
#include "sysframeworks/corefoundation/cfstringimpl.h"

namespace cf {

namespace {

struct Error final : Object {
    static constexpr CFTypeID kTypeID = kTypeError;
    Error(CFStringRef d, CFIndex c, CFDictionaryRef info)
        : Object(kTypeError, false),
          domain(static_cast<CFStringRef>(CFRetain(d))),
          code(c),
          userInfo(info ? static_cast<CFDictionaryRef>(CFRetain(info)) : nullptr) {}
    void destroy() noexcept override {
        CFRelease(domain);
        if (userInfo) CFRelease(userInfo);
    }
    bool equals(const Object& other) const noexcept override {
        const Error& o = static_cast<const Error&>(other);
        return code == o.code && CFEqual(domain, o.domain);
    }
    void describe(std::string& out) const override;

    CFStringRef domain;
    CFIndex code;
    CFDictionaryRef userInfo;
};

// The user-info description, or a generic one.
CFStringRef copyErrorDescription(const Error& e) {
    if (e.userInfo) {
        CFTypeRef d = CFDictionaryGetValue(e.userInfo, kCFErrorDescriptionKey);
        if (d && tryAs<String>(d)) return static_cast<CFStringRef>(CFRetain(d));
    }
    return CFStringCreateWithFormat(nullptr, nullptr, CFSTR("The operation couldn't be completed. (%@ error %ld.)"),
                                    e.domain, static_cast<long>(e.code));
}

void Error::describe(std::string& out) const {
    CFStringRef text = copyErrorDescription(*this);
    if (text) {
        out += utf8Of(*tryAs<String>(text));
        CFRelease(text);
    }
}

struct RunLoop final : Object {
    constexpr RunLoop() noexcept : Object(kTypeRunLoop, true) {}
};

constinit RunLoop gRunLoop;

}  // namespace

CFErrorRef makeError(CFIndex code, const std::string& description) {
    return sysfw::guarded<CFErrorRef>(nullptr, [&]() -> CFErrorRef {
        CFStringRef text = makeStringFromUTF8(nullptr, description);
        if (text == nullptr) text = static_cast<CFStringRef>(CFRetain(CFSTR("invalid property list")));
        const void* keys[] = {kCFErrorDescriptionKey, kCFErrorDebugDescriptionKey};
        const void* values[] = {text, text};
        CFDictionaryRef info = CFDictionaryCreate(nullptr, keys, values, 2, &kCFTypeDictionaryKeyCallBacks,
                                                  &kCFTypeDictionaryValueCallBacks);
        CFRelease(text);
        CFErrorRef error = CFErrorCreate(nullptr, kCFErrorDomainCocoa, code, info);
        if (info) CFRelease(info);
        return error;
    });
}

}  // namespace cf

extern "C" {

const CFErrorDomain kCFErrorDomainPOSIX = CFSTR("NSPOSIXErrorDomain");
const CFErrorDomain kCFErrorDomainOSStatus = CFSTR("NSOSStatusErrorDomain");
const CFErrorDomain kCFErrorDomainCocoa = CFSTR("NSCocoaErrorDomain");
const CFStringRef kCFErrorDescriptionKey = CFSTR("NSDescription");
const CFStringRef kCFErrorDebugDescriptionKey = CFSTR("NSDebugDescription");

CFTypeID CFErrorGetTypeID(void) { return cf::kTypeError; }

CFErrorRef CFErrorCreate(CFAllocatorRef allocator, CFErrorDomain domain, CFIndex code, CFDictionaryRef userInfo) {
    if (cf::as<cf::String>(domain, "CFErrorCreate") == nullptr) return nullptr;
    return reinterpret_cast<CFErrorRef>(cf::create<cf::Error>(allocator, domain, code, userInfo));
}

CFErrorDomain CFErrorGetDomain(CFErrorRef err) {
    cf::Error* e = cf::as<cf::Error>(err, "CFErrorGetDomain");
    return e ? e->domain : nullptr;
}

CFIndex CFErrorGetCode(CFErrorRef err) {
    cf::Error* e = cf::as<cf::Error>(err, "CFErrorGetCode");
    return e ? e->code : 0;
}

CFDictionaryRef CFErrorCopyUserInfo(CFErrorRef err) {
    cf::Error* e = cf::as<cf::Error>(err, "CFErrorCopyUserInfo");
    if (e == nullptr) return nullptr;
    if (e->userInfo) return static_cast<CFDictionaryRef>(CFRetain(e->userInfo));
    return CFDictionaryCreate(nullptr, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                              &kCFTypeDictionaryValueCallBacks);
}

CFStringRef CFErrorCopyDescription(CFErrorRef err) {
    cf::Error* e = cf::as<cf::Error>(err, "CFErrorCopyDescription");
    return e ? cf::copyErrorDescription(*e) : nullptr;
}

const CFStringRef kCFRunLoopDefaultMode = CFSTR("kCFRunLoopDefaultMode");
const CFStringRef kCFRunLoopCommonModes = CFSTR("kCFRunLoopCommonModes");

CFTypeID CFRunLoopGetTypeID(void) { return cf::kTypeRunLoop; }
CFRunLoopRef CFRunLoopGetCurrent(void) { return reinterpret_cast<CFRunLoopRef>(&cf::gRunLoop); }
CFRunLoopRef CFRunLoopGetMain(void) { return reinterpret_cast<CFRunLoopRef>(&cf::gRunLoop); }

}  // extern "C"
