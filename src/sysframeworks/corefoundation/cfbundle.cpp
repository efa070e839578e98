// CFBundle: the running program's folder as the main bundle, and bundles made
// from a folder (with Contents/Info.plist) or from a shared library's path,
// whose executable is loaded with dlopen on demand.

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/corefoundation/cfstringimpl.h"
#include "sysframeworks/corefoundation/cfurlimpl.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <mutex>
#include <vector>

namespace cf {

namespace {

struct Bundle final : Object {
    static constexpr CFTypeID kTypeID = kTypeBundle;
    Bundle(CFURLRef u, std::string exe, CFDictionaryRef i)
        : Object(kTypeBundle, false), url(u), executable(std::move(exe)), info(i) {}
    void destroy() noexcept override;
    void describe(std::string& out) const override {
        appendHeader(out, *this);
        out += "{" + reinterpret_cast<const URL*>(url)->urlText + "}";
    }

    CFURLRef url;            // owned
    std::string executable;  // empty when the bundle has none
    CFDictionaryRef info;    // owned, never null
    void* handle = nullptr;  // dlopen handle while loaded (released with the process)
};

// Live bundles, for uniquing by URL and lookup by identifier.
std::mutex gBundlesLock;
std::vector<Bundle*>& liveBundles() {
    static auto* list = new std::vector<Bundle*>();
    return *list;
}

void Bundle::destroy() noexcept {
    {
        std::lock_guard<std::mutex> lock(gBundlesLock);
        auto& list = liveBundles();
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
    // The executable stays loaded: functions it registered (factories, entry
    // points) may still be called. Only CFBundleUnloadExecutable unloads it.
    CFRelease(url);
    CFRelease(info);
    this->~Bundle();
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

CFDictionaryRef emptyDictionary() {
    return CFDictionaryCreate(nullptr, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                              &kCFTypeDictionaryValueCallBacks);
}

// The Info.plist dictionary at `path`, or an empty dictionary.
CFDictionaryRef readInfoPlist(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return emptyDictionary();
    std::string bytes;
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
    std::fclose(file);
    CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(bytes.data()), static_cast<CFIndex>(bytes.size()));
    CFPropertyListRef plist = data ? CFPropertyListCreateWithData(nullptr, data, 0, nullptr, nullptr) : nullptr;
    if (data) CFRelease(data);
    if (plist && CFGetTypeID(plist) == CFDictionaryGetTypeID()) return static_cast<CFDictionaryRef>(plist);
    if (plist) CFRelease(plist);
    sysfw::reportMisuse("CFBundleCreate", "Info.plist is not a property-list dictionary");
    return emptyDictionary();
}

// Builds a bundle for a file URL (a folder or a library).
Bundle* openBundle(CFAllocatorRef allocator, CFURLRef url) {
    std::string path;
    if (!filePathOf(*reinterpret_cast<const URL*>(url), path)) return nullptr;
    std::string executable;
    CFDictionaryRef info = nullptr;
    if (isDirectory(path)) {
        info = readInfoPlist(path + "/Contents/Info.plist");
        CFTypeRef name = info ? CFDictionaryGetValue(info, CFSTR("CFBundleExecutable")) : nullptr;
        if (auto* s = name ? tryAs<String>(name) : nullptr) {
            for (const char* sub : {"/Contents/Linux/", "/Contents/MacOS/"}) {
                std::string candidate = path + sub + utf8Of(*s);
                if (isFile(candidate)) {
                    executable = candidate;
                    break;
                }
            }
        }
    } else if (isFile(path)) {
        executable = path;
        info = emptyDictionary();
    } else {
        return nullptr;
    }
    if (info == nullptr) return nullptr;
    CFRetain(url);
    Bundle* bundle = create<Bundle>(allocator, url, std::move(executable), info);
    if (bundle == nullptr) {
        CFRelease(url);
        CFRelease(info);
    }
    return bundle;
}

Bundle* registerBundle(Bundle* bundle) {
    std::lock_guard<std::mutex> lock(gBundlesLock);
    liveBundles().push_back(bundle);
    return bundle;
}

bool load(Bundle& b) {
    if (b.handle) return true;
    if (b.executable.empty()) return false;
    b.handle = dlopen(b.executable.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (b.handle == nullptr) sysfw::reportMisuse("CFBundleLoadExecutable", dlerror());
    return b.handle != nullptr;
}

std::mutex gLoadLock;

}  // namespace

}  // namespace cf

using cf::Bundle;

extern "C" {

const CFStringRef kCFBundleInfoDictionaryVersionKey = CFSTR("CFBundleInfoDictionaryVersion");
const CFStringRef kCFBundleExecutableKey = CFSTR("CFBundleExecutable");
const CFStringRef kCFBundleIdentifierKey = CFSTR("CFBundleIdentifier");
const CFStringRef kCFBundleVersionKey = CFSTR("CFBundleVersion");
const CFStringRef kCFBundleNameKey = CFSTR("CFBundleName");

CFTypeID CFBundleGetTypeID(void) { return cf::kTypeBundle; }

CFBundleRef CFBundleGetMainBundle(void) {
    // Made once and kept for the life of the process.
    static CFBundleRef mainBundle = sysfw::guarded<CFBundleRef>(nullptr, []() -> CFBundleRef {
        char exe[PATH_MAX];
        const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
        if (n <= 0) return nullptr;
        std::string path(exe, static_cast<std::size_t>(n));
        const std::size_t slash = path.find_last_of('/');
        std::string folder = slash == 0 ? "/" : path.substr(0, slash);
        CFURLRef url = cf::makeFileURL(nullptr, folder, true);
        if (url == nullptr) return nullptr;
        CFDictionaryRef info = cf::emptyDictionary();
        Bundle* bundle = info ? cf::create<Bundle>(nullptr, url, path, info) : nullptr;
        if (bundle == nullptr) {
            CFRelease(url);
            if (info) CFRelease(info);
            return nullptr;
        }
        // The program itself: its executable is loaded by definition.
        bundle->handle = dlopen(nullptr, RTLD_NOW);
        return reinterpret_cast<CFBundleRef>(cf::registerBundle(bundle));
    });
    return mainBundle;
}

CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID) {
    if (cf::as<cf::String>(bundleID, "CFBundleGetBundleWithIdentifier") == nullptr) return nullptr;
    std::lock_guard<std::mutex> lock(cf::gBundlesLock);
    for (Bundle* b : cf::liveBundles()) {
        CFTypeRef id = CFDictionaryGetValue(b->info, kCFBundleIdentifierKey);
        if (id && CFEqual(id, bundleID)) return reinterpret_cast<CFBundleRef>(b);
    }
    return nullptr;
}

CFBundleRef CFBundleCreate(CFAllocatorRef allocator, CFURLRef bundleURL) {
    cf::URL* url = cf::as<cf::URL>(bundleURL, "CFBundleCreate");
    if (url == nullptr) return nullptr;
    {
        // One bundle object per URL while it lives.
        std::lock_guard<std::mutex> lock(cf::gBundlesLock);
        for (Bundle* b : cf::liveBundles())
            if (CFEqual(b->url, bundleURL)) return reinterpret_cast<CFBundleRef>(cf::retained(b));
    }
    return sysfw::guarded<CFBundleRef>(nullptr, [&]() -> CFBundleRef {
        Bundle* bundle = cf::openBundle(allocator, bundleURL);
        return bundle ? reinterpret_cast<CFBundleRef>(cf::registerBundle(bundle)) : nullptr;
    });
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle) {
    Bundle* b = cf::as<Bundle>(bundle, "CFBundleCopyBundleURL");
    return b ? static_cast<CFURLRef>(CFRetain(b->url)) : nullptr;
}

CFURLRef CFBundleCopyExecutableURL(CFBundleRef bundle) {
    Bundle* b = cf::as<Bundle>(bundle, "CFBundleCopyExecutableURL");
    if (b == nullptr || b->executable.empty()) return nullptr;
    return sysfw::guarded<CFURLRef>(nullptr, [&] { return cf::makeFileURL(nullptr, b->executable, false); });
}

CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle) {
    Bundle* b = cf::as<Bundle>(bundle, "CFBundleCopyResourcesDirectoryURL");
    std::string path;
    if (b == nullptr || !cf::filePathOf(*reinterpret_cast<const cf::URL*>(b->url), path)) return nullptr;
    return sysfw::guarded<CFURLRef>(nullptr, [&] {
        return cf::makeFileURL(nullptr, cf::isDirectory(path + "/Contents") ? path + "/Contents/Resources" : path, true);
    });
}

CFStringRef CFBundleGetIdentifier(CFBundleRef bundle) {
    Bundle* b = cf::as<Bundle>(bundle, "CFBundleGetIdentifier");
    if (b == nullptr) return nullptr;
    CFTypeRef id = CFDictionaryGetValue(b->info, kCFBundleIdentifierKey);
    return id && cf::tryAs<cf::String>(id) ? static_cast<CFStringRef>(id) : nullptr;
}

CFDictionaryRef CFBundleGetInfoDictionary(CFBundleRef bundle) {
    Bundle* b = cf::as<Bundle>(bundle, "CFBundleGetInfoDictionary");
    return b ? b->info : nullptr;
}

CFTypeRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key) {
    Bundle* b = cf::as<Bundle>(bundle, "CFBundleGetValueForInfoDictionaryKey");
    return b && key ? CFDictionaryGetValue(b->info, key) : nullptr;
}

Boolean CFBundleLoadExecutable(CFBundleRef bundle) {
    Bundle* b = cf::as<Bundle>(bundle, "CFBundleLoadExecutable");
    if (b == nullptr) return false;
    std::lock_guard<std::mutex> lock(cf::gLoadLock);
    return cf::load(*b);
}

Boolean CFBundleIsExecutableLoaded(CFBundleRef bundle) {
    Bundle* b = cf::as<Bundle>(bundle, "CFBundleIsExecutableLoaded");
    if (b == nullptr) return false;
    std::lock_guard<std::mutex> lock(cf::gLoadLock);
    return b->handle != nullptr;
}

void CFBundleUnloadExecutable(CFBundleRef bundle) {
    Bundle* b = cf::as<Bundle>(bundle, "CFBundleUnloadExecutable");
    if (b == nullptr) return;
    std::lock_guard<std::mutex> lock(cf::gLoadLock);
    if (b->handle) dlclose(b->handle);
    b->handle = nullptr;
}

void* CFBundleGetFunctionPointerForName(CFBundleRef bundle, CFStringRef functionName) {
    Bundle* b = cf::as<Bundle>(bundle, "CFBundleGetFunctionPointerForName");
    cf::String* name = cf::as<cf::String>(functionName, "CFBundleGetFunctionPointerForName");
    if (b == nullptr || name == nullptr || !name->utf8Valid) return nullptr;
    std::lock_guard<std::mutex> lock(cf::gLoadLock);
    if (!cf::load(*b)) return nullptr;
    return dlsym(b->handle, name->utf8.c_str());
}

void* CFBundleGetDataPointerForName(CFBundleRef bundle, CFStringRef symbolName) {
    return CFBundleGetFunctionPointerForName(bundle, symbolName);
}

}  // extern "C"
