// printf-style formatting of CF strings. Supports the C conversions with their
// flags, width, precision and length modifiers (%d %i %u %o %x %X %c %s %p %e
// %E %f %F %g %G %a %A %%), %@ for a CF object (its plain text: a string's
// characters, a number's value, otherwise its description; "(null)" for
// NULL), %C for a UniChar and %S for a zero-terminated UniChar string.
// Positional arguments ("%1$d") are not supported: such a format gives NULL.

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/corefoundation/cfstringimpl.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace cf {

namespace {

enum class Length { None, HH, H, L, LL, J, Z, T, BigL };

template <typename T>
void appendPrintf(std::string& out, const std::string& directive, T value) {
    char small[128];
    int n = std::snprintf(small, sizeof small, directive.c_str(), value);
    if (n < 0) return;
    if (static_cast<std::size_t>(n) < sizeof small) {
        out.append(small, static_cast<std::size_t>(n));
        return;
    }
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(big.data(), big.size(), directive.c_str(), value);
    out.append(big.data(), static_cast<std::size_t>(n));
}

// Pads `text` to `width` (negative: left-justified) for %@, %S and %C.
void appendPadded(std::string& out, const std::string& text, int width, bool left) {
    std::size_t chars = 0;
    for (unsigned char c : text) chars += (c & 0xC0) != 0x80;
    const std::size_t pad = width > 0 && static_cast<std::size_t>(width) > chars ? width - chars : 0;
    if (!left) out.append(pad, ' ');
    out += text;
    if (left) out.append(pad, ' ');
}

}  // namespace

// Formats into `out`; false for a malformed or unsupported format.
bool formatInto(std::string& out, std::string_view format, va_list args) {
    std::size_t i = 0;
    while (i < format.size()) {
        const char c = format[i];
        if (c != '%') {
            out.push_back(c);
            ++i;
            continue;
        }
        const std::size_t start = i++;
        std::string directive = "%";
        bool left = false;
        while (i < format.size() && std::strchr("-+ #0'", format[i])) {
            if (format[i] == '-') left = true;
            if (format[i] != '\'') directive.push_back(format[i]);
            ++i;
        }
        int width = 0;
        if (i < format.size() && format[i] == '*') {
            width = va_arg(args, int);
            if (width < 0) left = true, width = -width;
            directive += std::to_string(width);
            ++i;
        } else {
            while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
                width = width * 10 + (format[i] - '0');
                if (width > 100000) return false;
                directive.push_back(format[i++]);
            }
        }
        if (i < format.size() && format[i] == '$') return false;
        if (i < format.size() && format[i] == '.') {
            directive.push_back(format[i++]);
            if (i < format.size() && format[i] == '*') {
                int precision = va_arg(args, int);
                if (precision >= 0) directive += std::to_string(precision);
                ++i;
            } else {
                int precision = 0;
                while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
                    precision = precision * 10 + (format[i] - '0');
                    if (precision > 100000) return false;
                    directive.push_back(format[i++]);
                }
            }
        }
        Length length = Length::None;
        if (i + 1 < format.size() && format[i] == 'h' && format[i + 1] == 'h') length = Length::HH, i += 2;
        else if (i + 1 < format.size() && format[i] == 'l' && format[i + 1] == 'l') length = Length::LL, i += 2;
        else if (i < format.size() && format[i] == 'h') length = Length::H, ++i;
        else if (i < format.size() && format[i] == 'l') length = Length::L, ++i;
        else if (i < format.size() && format[i] == 'q') length = Length::LL, ++i;
        else if (i < format.size() && format[i] == 'j') length = Length::J, ++i;
        else if (i < format.size() && format[i] == 'z') length = Length::Z, ++i;
        else if (i < format.size() && format[i] == 't') length = Length::T, ++i;
        else if (i < format.size() && format[i] == 'L') length = Length::BigL, ++i;
        if (i >= format.size()) return false;
        const char conversion = format[i++];
        switch (conversion) {
            case '%': out.push_back('%'); break;
            case 'd':
            case 'i': {
                long long v;
                switch (length) {
                    case Length::HH: v = static_cast<signed char>(va_arg(args, int)); break;
                    case Length::H: v = static_cast<short>(va_arg(args, int)); break;
                    case Length::L: v = va_arg(args, long); break;
                    case Length::LL: v = va_arg(args, long long); break;
                    case Length::J: v = va_arg(args, intmax_t); break;
                    case Length::Z: v = va_arg(args, long); break;
                    case Length::T: v = va_arg(args, ptrdiff_t); break;
                    default: v = va_arg(args, int); break;
                }
                appendPrintf(out, directive + "lld", v);
                break;
            }
            case 'u':
            case 'o':
            case 'x':
            case 'X': {
                unsigned long long v;
                switch (length) {
                    case Length::HH: v = static_cast<unsigned char>(va_arg(args, unsigned)); break;
                    case Length::H: v = static_cast<unsigned short>(va_arg(args, unsigned)); break;
                    case Length::L: v = va_arg(args, unsigned long); break;
                    case Length::LL: v = va_arg(args, unsigned long long); break;
                    case Length::J: v = va_arg(args, uintmax_t); break;
                    case Length::Z: v = va_arg(args, size_t); break;
                    case Length::T: v = static_cast<unsigned long long>(va_arg(args, ptrdiff_t)); break;
                    default: v = va_arg(args, unsigned); break;
                }
                appendPrintf(out, directive + "ll" + conversion, v);
                break;
            }
            case 'e':
            case 'E':
            case 'f':
            case 'F':
            case 'g':
            case 'G':
            case 'a':
            case 'A':
                if (length == Length::BigL) appendPrintf(out, directive + 'L' + conversion, va_arg(args, long double));
                else appendPrintf(out, directive + conversion, va_arg(args, double));
                break;
            case 'c':
                if (length == Length::L) {
                    std::string text;
                    encodeUTF8(std::u16string(1, static_cast<char16_t>(va_arg(args, wint_t))), text);
                    appendPadded(out, text, width, left);
                } else {
                    appendPrintf(out, directive + 'c', va_arg(args, int));
                }
                break;
            case 'C': {
                std::string text;
                encodeUTF8(std::u16string(1, static_cast<char16_t>(va_arg(args, int))), text);
                appendPadded(out, text, width, left);
                break;
            }
            case 's': {
                const char* s = va_arg(args, const char*);
                appendPrintf(out, directive + 's', s ? s : "(null)");
                break;
            }
            case 'S': {
                const auto* s = va_arg(args, const UniChar*);
                std::string text = "(null)";
                if (s) {
                    std::size_t n = 0;
                    while (s[n] != 0) ++n;
                    text.clear();
                    encodeUTF8(std::u16string_view(reinterpret_cast<const char16_t*>(s), n), text);
                }
                appendPadded(out, text, width, left);
                break;
            }
            case 'p': appendPrintf(out, directive + 'p', va_arg(args, void*)); break;
            case 'n': return false;
            case '@': {
                CFTypeRef object = va_arg(args, CFTypeRef);
                std::string text;
                if (object == nullptr) {
                    text = "(null)";
                } else if (Object* o = objectFrom(object, "CFStringCreateWithFormat")) {
                    o->describeForFormat(text);
                } else {
                    return false;
                }
                appendPadded(out, text, width, left);
                break;
            }
            default:
                (void)start;
                return false;
        }
    }
    return true;
}

}  // namespace cf

namespace {

// The format string's UTF-8 text, or nullptr for a bad reference.
const std::string* formatText(CFStringRef format, const char* api) {
    cf::String* f = cf::as<cf::String>(format, api);
    if (f == nullptr) return nullptr;
    if (!f->utf8Valid) {
        sysfw::reportMisuse(api, "the format holds an unpaired surrogate");
        return nullptr;
    }
    return &f->utf8;
}

}  // namespace

extern "C" {

CFStringRef CFStringCreateWithFormatAndArguments(CFAllocatorRef alloc, CFDictionaryRef formatOptions,
                                                 CFStringRef format, va_list arguments) {
    (void)formatOptions;  // no locale-dependent formatting here
    const std::string* text = formatText(format, "CFStringCreateWithFormat");
    if (text == nullptr) return nullptr;
    return sysfw::guarded<CFStringRef>(nullptr, [&]() -> CFStringRef {
        std::string out;
        va_list copy;
        va_copy(copy, arguments);
        const bool ok = cf::formatInto(out, *text, copy);
        va_end(copy);
        if (!ok) {
            sysfw::reportMisuse("CFStringCreateWithFormat", "unsupported or malformed format");
            return nullptr;
        }
        return cf::makeStringFromUTF8(alloc, out);
    });
}

CFStringRef CFStringCreateWithFormat(CFAllocatorRef alloc, CFDictionaryRef formatOptions, CFStringRef format, ...) {
    va_list args;
    va_start(args, format);
    CFStringRef result = CFStringCreateWithFormatAndArguments(alloc, formatOptions, format, args);
    va_end(args);
    return result;
}

void CFStringAppendFormatAndArguments(CFMutableStringRef theString, CFDictionaryRef formatOptions, CFStringRef format,
                                      va_list arguments) {
    CFStringRef formatted = CFStringCreateWithFormatAndArguments(nullptr, formatOptions, format, arguments);
    if (formatted == nullptr) return;
    CFStringAppend(theString, formatted);
    CFRelease(formatted);
}

void CFStringAppendFormat(CFMutableStringRef theString, CFDictionaryRef formatOptions, CFStringRef format, ...) {
    va_list args;
    va_start(args, format);
    CFStringAppendFormatAndArguments(theString, formatOptions, format, args);
    va_end(args);
}

}  // extern "C"
