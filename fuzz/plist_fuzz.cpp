// The property-list reader, in every format CFPropertyListCreateWithData takes: any
// bytes give either null with an error, or a valid property list whose XML form reads
// back and writes out to the same text. An XML list also reads back to an equal value;
// a binary one may hold what XML cannot (fractions of a second in a date, a lone UTF-16
// surrogate), which its XML form rounds once.

#include <CoreFoundation/CoreFoundation.h>

#include <cstdint>
#include <cstring>
#include <string_view>

#include "fuzzsupport.h"

namespace {

CFPropertyListRef parse(const std::uint8_t* data, std::size_t size, CFErrorRef* error) {
    CFDataRef bytes = CFDataCreate(nullptr, data, CFIndex(size));
    CFPropertyListRef plist =
        CFPropertyListCreateWithData(nullptr, bytes, kCFPropertyListMutableContainersAndLeaves, nullptr, error);
    CFRelease(bytes);
    return plist;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CFErrorRef error = nullptr;
    CFPropertyListRef plist = parse(data, size, &error);
    if (plist == nullptr) {
        if (error == nullptr) kfuzz::trap("a refused property list gave no error");
        CFRelease(error);
        return 0;
    }
    if (error != nullptr) kfuzz::trap("an accepted property list also gave an error");
    if (!CFPropertyListIsValid(plist, kCFPropertyListXMLFormat_v1_0)) kfuzz::trap("an accepted list is not valid");
    CFDataRef xml = CFPropertyListCreateXMLData(nullptr, plist);
    if (xml == nullptr) kfuzz::trap("an accepted list cannot be written");
    const std::string_view text(reinterpret_cast<const char*>(CFDataGetBytePtr(xml)), std::size_t(CFDataGetLength(xml)));
    CFPropertyListRef reread = parse(CFDataGetBytePtr(xml), std::size_t(CFDataGetLength(xml)), nullptr);
    if (reread == nullptr) kfuzz::trap("a written list does not read back");
    CFDataRef again = CFPropertyListCreateXMLData(nullptr, reread);
    if (again == nullptr) kfuzz::trap("a list read back cannot be written");
    const std::string_view againText(reinterpret_cast<const char*>(CFDataGetBytePtr(again)),
                                     std::size_t(CFDataGetLength(again)));
    if (againText != text) kfuzz::trap("a written list writes out different after reading back");
    const bool binary = std::string_view(reinterpret_cast<const char*>(data), size).substr(0, 6) == "bplist";
    // NaN is not equal to itself, so a list holding one cannot compare equal.
    if (!binary && !CFEqual(reread, plist) && text.find("<real>nan</real>") == std::string_view::npos)
        kfuzz::trap("a written list reads back different");
    CFRelease(again);
    CFRelease(reread);
    CFRelease(xml);
    CFRelease(plist);
    return 0;
}
