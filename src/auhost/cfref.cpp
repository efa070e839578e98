#include "auhost/cfref.h"

namespace auhost {

std::string toUTF8(CFStringRef s) {
    if (s == nullptr) return {};
    const CFIndex n = CFStringGetMaximumSizeForEncoding(CFStringGetLength(s), kCFStringEncodingUTF8) + 1;
    std::string buffer(static_cast<std::size_t>(n), '\0');
    if (!CFStringGetCString(s, buffer.data(), n, kCFStringEncodingUTF8)) return {};
    buffer.resize(std::char_traits<char>::length(buffer.c_str()));
    return buffer;
}

CFRef<CFStringRef> fromUTF8(const std::string& s) {
    return CFRef<CFStringRef>(CFStringCreateWithCString(nullptr, s.c_str(), kCFStringEncodingUTF8));
}

}  // namespace auhost
