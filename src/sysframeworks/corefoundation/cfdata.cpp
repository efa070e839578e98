// CFData: immutable and mutable byte buffers.

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/corefoundation/cfcollections.h"

#include <cstring>

namespace cf {

CFHashCode Data::hash() const noexcept {
    // FNV-1a over at most the first 80 bytes and the length.
    CFHashCode h = 1469598103934665603ull ^ bytes.size();
    for (std::size_t i = 0; i < bytes.size() && i < 80; ++i) {
        h ^= bytes[i];
        h *= 1099511628211ull;
    }
    return h;
}

void Data::describe(std::string& out) const {
    appendHeader(out, *this);
    appendFormat(out, "{length = %zu, bytes = 0x", bytes.size());
    const std::size_t shown = bytes.size() <= 24 ? bytes.size() : 16;
    for (std::size_t i = 0; i < shown; ++i) appendFormat(out, "%02x", bytes[i]);
    if (shown < bytes.size()) {
        out += " ... ";
        for (std::size_t i = bytes.size() - 8; i < bytes.size(); ++i) appendFormat(out, "%02x", bytes[i]);
    }
    out += "}";
}

namespace {

bool rangeInside(const Data& d, CFRange r) {
    return r.location >= 0 && r.length >= 0 && static_cast<std::size_t>(r.location) <= d.bytes.size() &&
           static_cast<std::size_t>(r.length) <= d.bytes.size() - static_cast<std::size_t>(r.location);
}

CFMutableDataRef makeData(CFAllocatorRef allocator, const UInt8* bytes, CFIndex length, bool isMutable) {
    return sysfw::guarded<CFMutableDataRef>(nullptr, [&] {
        std::vector<UInt8> v(bytes, bytes + length);
        return reinterpret_cast<CFMutableDataRef>(create<Data>(allocator, std::move(v), isMutable));
    });
}

}  // namespace

}  // namespace cf

extern "C" {

CFTypeID CFDataGetTypeID(void) { return cf::kTypeData; }

CFDataRef CFDataCreate(CFAllocatorRef allocator, const UInt8* bytes, CFIndex length) {
    if (length < 0 || (bytes == nullptr && length > 0)) {
        sysfw::reportMisuse("CFDataCreate", "invalid byte buffer");
        return nullptr;
    }
    return cf::makeData(allocator, bytes, length, false);
}

CFDataRef CFDataCreateCopy(CFAllocatorRef allocator, CFDataRef theData) {
    cf::Data* d = cf::as<cf::Data>(theData, "CFDataCreateCopy");
    if (d == nullptr) return nullptr;
    if (!d->isMutable) return static_cast<CFDataRef>(CFRetain(theData));
    return cf::makeData(allocator, d->bytes.data(), static_cast<CFIndex>(d->bytes.size()), false);
}

CFMutableDataRef CFDataCreateMutable(CFAllocatorRef allocator, CFIndex capacity) {
    (void)capacity;  // a hint only
    return cf::makeData(allocator, nullptr, 0, true);
}

CFMutableDataRef CFDataCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity, CFDataRef theData) {
    (void)capacity;
    cf::Data* d = cf::as<cf::Data>(theData, "CFDataCreateMutableCopy");
    if (d == nullptr) return nullptr;
    return cf::makeData(allocator, d->bytes.data(), static_cast<CFIndex>(d->bytes.size()), true);
}

CFIndex CFDataGetLength(CFDataRef theData) {
    cf::Data* d = cf::as<cf::Data>(theData, "CFDataGetLength");
    return d ? static_cast<CFIndex>(d->bytes.size()) : 0;
}

const UInt8* CFDataGetBytePtr(CFDataRef theData) {
    cf::Data* d = cf::as<cf::Data>(theData, "CFDataGetBytePtr");
    return d ? d->bytes.data() : nullptr;
}

UInt8* CFDataGetMutableBytePtr(CFMutableDataRef theData) {
    cf::Data* d = cf::asMutable<cf::Data>(theData, "CFDataGetMutableBytePtr");
    return d ? d->bytes.data() : nullptr;
}

void CFDataGetBytes(CFDataRef theData, CFRange range, UInt8* buffer) {
    cf::Data* d = cf::as<cf::Data>(theData, "CFDataGetBytes");
    if (d == nullptr || buffer == nullptr) return;
    if (!cf::rangeInside(*d, range)) {
        sysfw::reportMisuse("CFDataGetBytes", "range outside the data");
        return;
    }
    if (range.length > 0) std::memcpy(buffer, d->bytes.data() + range.location, static_cast<std::size_t>(range.length));
}

void CFDataSetLength(CFMutableDataRef theData, CFIndex length) {
    cf::Data* d = cf::asMutable<cf::Data>(theData, "CFDataSetLength");
    if (d == nullptr || length < 0) return;
    sysfw::guardedVoid("CFDataSetLength", [&] { d->bytes.resize(static_cast<std::size_t>(length), 0); });
}

void CFDataIncreaseLength(CFMutableDataRef theData, CFIndex extraLength) {
    cf::Data* d = cf::asMutable<cf::Data>(theData, "CFDataIncreaseLength");
    if (d == nullptr || extraLength < 0) return;
    sysfw::guardedVoid("CFDataIncreaseLength",
                       [&] { d->bytes.resize(d->bytes.size() + static_cast<std::size_t>(extraLength), 0); });
}

void CFDataAppendBytes(CFMutableDataRef theData, const UInt8* bytes, CFIndex length) {
    cf::Data* d = cf::asMutable<cf::Data>(theData, "CFDataAppendBytes");
    if (d == nullptr || length <= 0 || bytes == nullptr) return;
    sysfw::guardedVoid("CFDataAppendBytes", [&] { d->bytes.insert(d->bytes.end(), bytes, bytes + length); });
}

void CFDataReplaceBytes(CFMutableDataRef theData, CFRange range, const UInt8* newBytes, CFIndex newLength) {
    cf::Data* d = cf::asMutable<cf::Data>(theData, "CFDataReplaceBytes");
    if (d == nullptr || newLength < 0 || (newBytes == nullptr && newLength > 0)) return;
    if (!cf::rangeInside(*d, range)) {
        sysfw::reportMisuse("CFDataReplaceBytes", "range outside the data");
        return;
    }
    sysfw::guardedVoid("CFDataReplaceBytes", [&] {
        std::vector<UInt8> replacement(newBytes, newBytes + newLength);
        auto first = d->bytes.begin() + range.location;
        d->bytes.erase(first, first + range.length);
        d->bytes.insert(d->bytes.begin() + range.location, replacement.begin(), replacement.end());
    });
}

void CFDataDeleteBytes(CFMutableDataRef theData, CFRange range) {
    CFDataReplaceBytes(theData, range, nullptr, 0);
}

}  // extern "C"
