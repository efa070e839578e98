// CFURL: absolute URLs, with file-system paths percent-encoded into file URLs.

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/corefoundation/cfstringimpl.h"
#include "sysframeworks/corefoundation/cfurlimpl.h"

#include <climits>
#include <cstring>
#include <unistd.h>

namespace cf {

namespace {

bool isUnreserved(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || std::strchr("-._~/!$&'()*+,;=:@", c);
}

std::string percentEncode(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (c != 0 && isUnreserved(c)) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 15]);
        }
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool percentDecode(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size()) return false;
        const int hi = hexValue(text[i + 1]);
        const int lo = hexValue(text[i + 2]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
    }
    return true;
}

CFURLRef makeURL(CFAllocatorRef allocator, std::string urlText) {
    CFStringRef text = makeStringFromUTF8(allocator, urlText);
    if (text == nullptr) return nullptr;
    URL* url = create<URL>(allocator, std::move(urlText), text);
    if (url == nullptr) CFRelease(text);
    return reinterpret_cast<CFURLRef>(url);
}

// Absolute form of a path: relative paths are taken from the working folder.
std::string absolutePath(std::string path) {
    if (!path.empty() && path.front() == '/') return path;
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd) == nullptr) return "/" + path;
    std::string base = cwd;
    if (base.back() != '/') base.push_back('/');
    return base + path;
}

}  // namespace

CFURLRef makeFileURL(CFAllocatorRef allocator, const std::string& path, bool isDirectory) {
    std::string p = absolutePath(path);
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    if (isDirectory && p.back() != '/') p.push_back('/');
    return makeURL(allocator, "file://" + percentEncode(p));
}

bool filePathOf(const URL& url, std::string& path) {
    std::string_view urlText(url.urlText);
    if (urlText.substr(0, 7) != "file://") return false;
    urlText.remove_prefix(7);
    // An authority ("localhost") may precede the path.
    const std::size_t slash = urlText.find('/');
    if (slash == std::string_view::npos) return false;
    urlText.remove_prefix(slash);
    if (!percentDecode(urlText, path)) return false;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return true;
}

}  // namespace cf

using cf::URL;

namespace {

std::string utf8OfString(CFStringRef s, const char* api, bool& ok) {
    cf::String* str = cf::as<cf::String>(s, api);
    ok = str != nullptr && str->utf8Valid;
    return ok ? str->utf8 : std::string();
}

}  // namespace

extern "C" {

CFTypeID CFURLGetTypeID(void) { return cf::kTypeURL; }

CFURLRef CFURLCreateWithString(CFAllocatorRef allocator, CFStringRef URLString, CFURLRef baseURL) {
    (void)baseURL;  // only absolute URLs are supported
    bool ok = false;
    std::string urlText = utf8OfString(URLString, "CFURLCreateWithString", ok);
    if (!ok) return nullptr;
    const std::size_t colon = urlText.find(':');
    if (colon == std::string::npos || colon == 0) return nullptr;
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = urlText[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))))
            return nullptr;
    }
    for (unsigned char c : urlText)
        if (c <= ' ' || c >= 0x7F) return nullptr;
    return sysfw::guarded<CFURLRef>(nullptr, [&] { return cf::makeURL(allocator, urlText); });
}

CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef allocator, CFStringRef filePath, CFURLPathStyle pathStyle,
                                       Boolean isDirectory) {
    if (pathStyle != kCFURLPOSIXPathStyle) {
        sysfw::reportMisuse("CFURLCreateWithFileSystemPath", "only POSIX paths are supported");
        return nullptr;
    }
    bool ok = false;
    std::string path = utf8OfString(filePath, "CFURLCreateWithFileSystemPath", ok);
    if (!ok || path.empty()) return nullptr;
    return sysfw::guarded<CFURLRef>(nullptr, [&] { return cf::makeFileURL(allocator, path, isDirectory); });
}

CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef allocator, const UInt8* buffer, CFIndex bufLen,
                                                 Boolean isDirectory) {
    if (buffer == nullptr || bufLen <= 0) return nullptr;
    return sysfw::guarded<CFURLRef>(nullptr, [&] {
        std::string path(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(bufLen));
        path = path.c_str();  // stop at an embedded terminator
        return path.empty() ? nullptr : cf::makeFileURL(allocator, path, isDirectory);
    });
}

CFURLRef CFURLCreateCopyAppendingPathComponent(CFAllocatorRef allocator, CFURLRef url, CFStringRef pathComponent,
                                               Boolean isDirectory) {
    URL* u = cf::as<URL>(url, "CFURLCreateCopyAppendingPathComponent");
    bool ok = false;
    std::string component = utf8OfString(pathComponent, "CFURLCreateCopyAppendingPathComponent", ok);
    std::string path;
    if (u == nullptr || !ok || !cf::filePathOf(*u, path)) return nullptr;
    return sysfw::guarded<CFURLRef>(nullptr, [&] {
        if (path.back() != '/') path.push_back('/');
        return cf::makeFileURL(allocator, path + component, isDirectory);
    });
}

CFURLRef CFURLCreateCopyDeletingLastPathComponent(CFAllocatorRef allocator, CFURLRef url) {
    URL* u = cf::as<URL>(url, "CFURLCreateCopyDeletingLastPathComponent");
    std::string path;
    if (u == nullptr || !cf::filePathOf(*u, path)) return nullptr;
    return sysfw::guarded<CFURLRef>(nullptr, [&] {
        const std::size_t slash = path.find_last_of('/');
        return cf::makeFileURL(allocator, slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash), true);
    });
}

CFStringRef CFURLGetString(CFURLRef anURL) {
    URL* u = cf::as<URL>(anURL, "CFURLGetString");
    return u ? u->asString : nullptr;
}

CFStringRef CFURLCopyScheme(CFURLRef anURL) {
    URL* u = cf::as<URL>(anURL, "CFURLCopyScheme");
    if (u == nullptr) return nullptr;
    return sysfw::guarded<CFStringRef>(nullptr, [&] { return cf::makeStringFromUTF8(nullptr, u->urlText.substr(0, u->urlText.find(':'))); });
}

CFStringRef CFURLCopyFileSystemPath(CFURLRef anURL, CFURLPathStyle pathStyle) {
    URL* u = cf::as<URL>(anURL, "CFURLCopyFileSystemPath");
    std::string path;
    if (u == nullptr || pathStyle != kCFURLPOSIXPathStyle || !cf::filePathOf(*u, path)) return nullptr;
    return sysfw::guarded<CFStringRef>(nullptr, [&] { return cf::makeStringFromUTF8(nullptr, path); });
}

CFStringRef CFURLCopyLastPathComponent(CFURLRef url) {
    URL* u = cf::as<URL>(url, "CFURLCopyLastPathComponent");
    std::string path;
    if (u == nullptr || !cf::filePathOf(*u, path)) return nullptr;
    return sysfw::guarded<CFStringRef>(nullptr, [&] {
        const std::size_t slash = path.find_last_of('/');
        return cf::makeStringFromUTF8(nullptr, path == "/" ? path : path.substr(slash + 1));
    });
}

Boolean CFURLHasDirectoryPath(CFURLRef anURL) {
    URL* u = cf::as<URL>(anURL, "CFURLHasDirectoryPath");
    return u && !u->urlText.empty() && u->urlText.back() == '/';
}

Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase, UInt8* buffer, CFIndex maxBufLen) {
    (void)resolveAgainstBase;
    URL* u = cf::as<URL>(url, "CFURLGetFileSystemRepresentation");
    std::string path;
    if (u == nullptr || buffer == nullptr || !cf::filePathOf(*u, path)) return false;
    if (static_cast<CFIndex>(path.size()) + 1 > maxBufLen) return false;
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return true;
}

}  // extern "C"
