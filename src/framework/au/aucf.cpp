#include "framework/au/aucf.h"

namespace fw::au {

CFStringRef createCFString(const char* utf8) noexcept {
    return sys::coreFoundation().CFStringCreateWithCString(nullptr, utf8 ? utf8 : "", kCFStringEncodingUTF8);
}

bool utf8FromCFString(CFStringRef string, std::string& out) {
    out.clear();
    if (string == nullptr) return false;
    const auto& cf = sys::coreFoundation();
    if (cf.CFGetTypeID(string) != cf.CFStringGetTypeID()) return false;
    const CFIndex length = cf.CFStringGetLength(string);
    const CFRange all = CFRangeMake(0, length);
    CFIndex bytes = 0;
    if (cf.CFStringGetBytes(string, all, kCFStringEncodingUTF8, 0, false, nullptr, 0, &bytes) != length) return false;
    out.resize(static_cast<std::size_t>(bytes));
    CFIndex written = 0;
    cf.CFStringGetBytes(string, all, kCFStringEncodingUTF8, 0, false, reinterpret_cast<UInt8*>(out.data()), bytes,
                        &written);
    out.resize(static_cast<std::size_t>(written));
    return true;
}

}  // namespace fw::au
