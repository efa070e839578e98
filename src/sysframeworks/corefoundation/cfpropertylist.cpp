// CFPropertyList: reading and writing property lists, validity and deep copies.

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/corefoundation/binaryplist.h"
#include "sysframeworks/corefoundation/cfcollections.h"
#include "sysframeworks/corefoundation/cfmisc.h"
#include "sysframeworks/corefoundation/cfstringimpl.h"
#include "sysframeworks/corefoundation/xmlplist.h"

#include <cstring>

namespace {

CFPropertyListRef readPlist(CFAllocatorRef allocator, CFDataRef data, CFOptionFlags options,
                            CFPropertyListFormat* format, std::string& error, CFIndex& code) {
    code = kCFPropertyListReadCorruptError;
    auto* d = cf::as<cf::Data>(data, "CFPropertyListCreateWithData");
    if (d == nullptr) {
        error = "no data";
        return nullptr;
    }
    if (options > kCFPropertyListMutableContainersAndLeaves) {
        error = "unknown mutability option";
        return nullptr;
    }
    if (cf::looksLikeBinaryPlist(d->bytes.data(), d->bytes.size())) {
        CFPropertyListRef result = cf::readBinaryPlist(allocator, d->bytes.data(), d->bytes.size(), options, error);
        if (result && format) *format = kCFPropertyListBinaryFormat_v1_0;
        return result;
    }
    CFPropertyListRef result = cf::readXMLPlist(allocator, d->bytes.data(), d->bytes.size(), options, error);
    if (result && format) *format = kCFPropertyListXMLFormat_v1_0;
    return result;
}

CFDataRef writePlist(CFAllocatorRef allocator, CFPropertyListRef propertyList, CFPropertyListFormat format,
                     std::string& error) {
    if (format != kCFPropertyListXMLFormat_v1_0) {
        error = "only the XML format can be written";
        return nullptr;
    }
    std::string out;
    if (!cf::writeXMLPlist(propertyList, out, error)) return nullptr;
    return CFDataCreate(allocator, reinterpret_cast<const UInt8*>(out.data()), static_cast<CFIndex>(out.size()));
}

bool isValid(CFPropertyListRef plist, std::size_t depth) {
    if (plist == nullptr || depth > cf::kMaxPlistDepth) return false;
    if (!cf::Object::isObject(plist)) return false;
    auto* object = static_cast<cf::Object*>(const_cast<void*>(plist));
    switch (object->typeID()) {
        case cf::kTypeString:
        case cf::kTypeNumber:
        case cf::kTypeBoolean:
        case cf::kTypeDate:
        case cf::kTypeData: return true;
        case cf::kTypeArray:
            for (const void* v : static_cast<cf::Array*>(object)->values)
                if (!isValid(v, depth + 1)) return false;
            return true;
        case cf::kTypeDictionary:
            for (auto& [k, v] : static_cast<cf::Dictionary*>(object)->map)
                if (cf::tryAs<cf::String>(k) == nullptr || !isValid(v, depth + 1)) return false;
            return true;
        default: return false;
    }
}

CFPropertyListRef deepCopy(CFAllocatorRef allocator, CFPropertyListRef plist, CFOptionFlags mutability,
                           std::size_t depth) {
    if (depth > cf::kMaxPlistDepth) return nullptr;
    auto* object = static_cast<cf::Object*>(const_cast<void*>(plist));
    const bool leaves = mutability == kCFPropertyListMutableContainersAndLeaves;
    const bool containers = mutability != kCFPropertyListImmutable;
    switch (object->typeID()) {
        case cf::kTypeString:
            return leaves ? CFStringCreateMutableCopy(allocator, 0, static_cast<CFStringRef>(plist))
                          : CFStringCreateCopy(allocator, static_cast<CFStringRef>(plist));
        case cf::kTypeData:
            return leaves ? CFDataCreateMutableCopy(allocator, 0, static_cast<CFDataRef>(plist))
                          : CFDataCreateCopy(allocator, static_cast<CFDataRef>(plist));
        case cf::kTypeArray: {
            CFMutableArrayRef copy = CFArrayCreateMutable(allocator, 0, &kCFTypeArrayCallBacks);
            if (copy == nullptr) return nullptr;
            for (const void* v : static_cast<cf::Array*>(object)->values) {
                CFPropertyListRef item = deepCopy(allocator, v, mutability, depth + 1);
                if (item == nullptr) {
                    CFRelease(copy);
                    return nullptr;
                }
                CFArrayAppendValue(copy, item);
                CFRelease(item);
            }
            cf::tryAs<cf::Array>(copy)->isMutable = containers;
            return copy;
        }
        case cf::kTypeDictionary: {
            CFMutableDictionaryRef copy = CFDictionaryCreateMutable(allocator, 0, &kCFTypeDictionaryKeyCallBacks,
                                                                    &kCFTypeDictionaryValueCallBacks);
            if (copy == nullptr) return nullptr;
            for (auto& [k, v] : static_cast<cf::Dictionary*>(object)->map) {
                CFPropertyListRef item = deepCopy(allocator, v, mutability, depth + 1);
                CFPropertyListRef key = CFStringCreateCopy(allocator, static_cast<CFStringRef>(k));
                if (item == nullptr || key == nullptr) {
                    if (item) CFRelease(item);
                    if (key) CFRelease(key);
                    CFRelease(copy);
                    return nullptr;
                }
                CFDictionarySetValue(copy, key, item);
                CFRelease(key);
                CFRelease(item);
            }
            cf::tryAs<cf::Dictionary>(copy)->isMutable = containers;
            return copy;
        }
        default: return CFRetain(plist);  // numbers, booleans and dates are immutable
    }
}

}  // namespace

extern "C" {

CFPropertyListRef CFPropertyListCreateWithData(CFAllocatorRef allocator, CFDataRef data, CFOptionFlags options,
                                               CFPropertyListFormat* format, CFErrorRef* error) {
    if (error) *error = nullptr;
    return sysfw::guarded<CFPropertyListRef>(nullptr, [&] {
        std::string message;
        CFIndex code = 0;
        CFPropertyListRef result = readPlist(allocator, data, options, format, message, code);
        if (result == nullptr && error) *error = cf::makeError(code, message);
        return result;
    });
}

CFDataRef CFPropertyListCreateData(CFAllocatorRef allocator, CFPropertyListRef propertyList,
                                   CFPropertyListFormat format, CFOptionFlags options, CFErrorRef* error) {
    (void)options;
    if (error) *error = nullptr;
    return sysfw::guarded<CFDataRef>(nullptr, [&] {
        std::string message;
        CFDataRef result = writePlist(allocator, propertyList, format, message);
        if (result == nullptr && error) *error = cf::makeError(kCFPropertyListWriteStreamError, message);
        return result;
    });
}

CFPropertyListRef CFPropertyListCreateFromXMLData(CFAllocatorRef allocator, CFDataRef xmlData,
                                                  CFOptionFlags mutabilityOption, CFStringRef* errorString) {
    if (errorString) *errorString = nullptr;
    return sysfw::guarded<CFPropertyListRef>(nullptr, [&] {
        std::string message;
        CFIndex code = 0;
        CFPropertyListRef result = readPlist(allocator, xmlData, mutabilityOption, nullptr, message, code);
        if (result == nullptr && errorString) *errorString = cf::makeStringFromUTF8(nullptr, message);
        return result;
    });
}

CFDataRef CFPropertyListCreateXMLData(CFAllocatorRef allocator, CFPropertyListRef propertyList) {
    return CFPropertyListCreateData(allocator, propertyList, kCFPropertyListXMLFormat_v1_0, 0, nullptr);
}

CFPropertyListRef CFPropertyListCreateDeepCopy(CFAllocatorRef allocator, CFPropertyListRef propertyList,
                                               CFOptionFlags mutabilityOption) {
    if (!isValid(propertyList, 0)) {
        sysfw::reportMisuse("CFPropertyListCreateDeepCopy", "not a property list");
        return nullptr;
    }
    return sysfw::guarded<CFPropertyListRef>(nullptr,
                                             [&] { return deepCopy(allocator, propertyList, mutabilityOption, 0); });
}

Boolean CFPropertyListIsValid(CFPropertyListRef plist, CFPropertyListFormat format) {
    if (format != kCFPropertyListXMLFormat_v1_0 && format != kCFPropertyListBinaryFormat_v1_0) return false;
    return isValid(plist, 0);
}

}  // extern "C"
