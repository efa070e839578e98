// NSString: UTF-8 text with its UTF-16 form kept alongside for -length and
// -characterAtIndex:.

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/common/objcclass.h"
#include "sysframeworks/foundation/foundationimpl.h"

#include <Foundation/NSString.h>

#include <functional>

namespace foundation {
namespace {

using namespace sysfw::objc;

struct StringState {
    std::string utf8;
    std::u16string utf16;
    void destroy(id) {}
};

// Decodes UTF-8 into UTF-16; false for malformed input (overlong forms,
// surrogates, values past U+10FFFF, truncated sequences).
bool toUtf16(const std::string& s, std::u16string& out) {
    out.clear();
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        char32_t cp = 0;
        size_t extra = 0;
        if (b < 0x80) {
            cp = b;
        } else if ((b & 0xE0) == 0xC0) {
            cp = b & 0x1F;
            extra = 1;
        } else if ((b & 0xF0) == 0xE0) {
            cp = b & 0x0F;
            extra = 2;
        } else if ((b & 0xF8) == 0xF0) {
            cp = b & 0x07;
            extra = 3;
        } else {
            return false;
        }
        if (extra > 0 && i + extra >= s.size()) return false;
        for (size_t k = 1; k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += extra + 1;
    }
    return true;
}

const StatefulClass<StringState>& stringType();

id initWithUTF8String(id self, SEL, const char* text) {
    if (text == nullptr) {
        sysfw::reportMisuse("-[NSString initWithUTF8String:]", "NULL string");
        release(self);
        return nullptr;
    }
    StringState* s = stringType().stateOf(self);
    s->utf8 = text;
    if (!toUtf16(s->utf8, s->utf16)) {
        release(self);
        return nullptr;
    }
    return self;
}

id stringWithUTF8String(Class cls, SEL, const char* text) {
    id obj = class_createInstance(cls, 0);
    return autorelease(send<id>(obj, "initWithUTF8String:", text));
}

const char* utf8String(id self, SEL) { return stringType().stateOf(self)->utf8.c_str(); }

NSUInteger length(id self, SEL) { return stringType().stateOf(self)->utf16.size(); }

unichar characterAtIndex(id self, SEL, NSUInteger index) {
    const std::u16string& u = stringType().stateOf(self)->utf16;
    if (index >= u.size()) {
        sysfw::reportMisuse("-[NSString characterAtIndex:]", "index out of range");
        return 0;
    }
    return u[index];
}

BOOL isEqualToString(id self, SEL, id other) {
    const std::string* o = stringText(other);
    return o != nullptr && *o == stringType().stateOf(self)->utf8;
}

NSUInteger hash(id self, SEL) { return std::hash<std::string>{}(stringType().stateOf(self)->utf8); }

const StatefulClass<StringState>& stringType() {
    static const StatefulClass<StringState> type("NSString", objc_getClass("NSObject"), [](Class cls) {
        class_addMethod(metaclass(cls), sel("stringWithUTF8String:"),
                        imp(stringWithUTF8String), "@#:*");
        class_addMethod(cls, sel("initWithUTF8String:"), imp(initWithUTF8String), "@@:*");
        class_addMethod(cls, sel("UTF8String"), imp(utf8String), "*@:");
        class_addMethod(cls, sel("length"), imp(length), "Q@:");
        class_addMethod(cls, sel("characterAtIndex:"), imp(characterAtIndex), "S@:Q");
        class_addMethod(cls, sel("isEqualToString:"), imp(isEqualToString), "c@:@");
        class_addMethod(cls, sel("isEqual:"), imp(isEqualToString), "c@:@");
        class_addMethod(cls, sel("hash"), imp(hash), "Q@:");
    });
    return type;
}

}  // namespace

Class stringClass() { return stringType().cls(); }

id newString(const std::string& utf8) { return send<id>(stringType().create(), "initWithUTF8String:", utf8.c_str()); }

const std::string* stringText(id str) {
    StringState* s = stringType().of(str);
    return s ? &s->utf8 : nullptr;
}

bool sameString(id a, id b) {
    const std::string* x = stringText(a);
    const std::string* y = stringText(b);
    return x != nullptr && y != nullptr && *x == *y;
}

}  // namespace foundation
