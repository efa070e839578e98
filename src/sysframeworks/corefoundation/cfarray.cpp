// CFArray: ordered collections with caller-chosen value callbacks.

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/corefoundation/cfcollections.h"

#include <algorithm>

namespace cf {

namespace {

const void* typeRetain(CFAllocatorRef, const void* value) { return CFRetain(value); }
void typeRelease(CFAllocatorRef, const void* value) { CFRelease(value); }
Boolean typeEqual(const void* a, const void* b) { return CFEqual(a, b); }

bool rangeInside(const Array& a, CFRange r, const char* api) {
    const bool ok = r.location >= 0 && r.length >= 0 && static_cast<std::size_t>(r.location) <= a.values.size() &&
                    static_cast<std::size_t>(r.length) <= a.values.size() - static_cast<std::size_t>(r.location);
    if (!ok) sysfw::reportMisuse(api, "range outside the array");
    return ok;
}

bool indexInside(const Array& a, CFIndex idx, const char* api) {
    const bool ok = idx >= 0 && static_cast<std::size_t>(idx) < a.values.size();
    if (!ok) sysfw::reportMisuse(api, "index outside the array");
    return ok;
}

Array* makeArray(CFAllocatorRef allocator, const CFArrayCallBacks* callBacks, const void* const* values, CFIndex n,
                 bool isMutable) {
    Array* a = create<Array>(allocator, callBacks, isMutable);
    if (a == nullptr) return nullptr;
    try {
        a->values.reserve(static_cast<std::size_t>(n));
        for (CFIndex i = 0; i < n; ++i) a->values.push_back(a->retainValue(values[i]));
    } catch (...) {
        a->release();
        return nullptr;
    }
    return a;
}

}  // namespace

bool Array::equals(const Object& other) const noexcept {
    const Array& o = static_cast<const Array&>(other);
    if (values.size() != o.values.size()) return false;
    for (std::size_t i = 0; i < values.size(); ++i)
        if (!valuesEqual(values[i], o.values[i])) return false;
    return true;
}

void Array::describe(std::string& out) const {
    appendHeader(out, *this);
    appendFormat(out, "{type = %s, count = %zu, values = (\n", isMutable ? "mutable-small" : "immutable", values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        appendFormat(out, "\t%zu : ", i);
        describeValue(out, values[i], callbacks.copyDescription);
        out += "\n";
    }
    out += ")}";
}

void Array::destroy() noexcept {
    for (const void* v : values) releaseValue(v);
    this->~Array();
}

}  // namespace cf

using cf::Array;

extern "C" {

const CFArrayCallBacks kCFTypeArrayCallBacks = {0, cf::typeRetain, cf::typeRelease, CFCopyDescription, cf::typeEqual};

CFTypeID CFArrayGetTypeID(void) { return cf::kTypeArray; }

CFArrayRef CFArrayCreate(CFAllocatorRef allocator, const void** values, CFIndex numValues,
                         const CFArrayCallBacks* callBacks) {
    if (numValues < 0 || (values == nullptr && numValues > 0)) {
        sysfw::reportMisuse("CFArrayCreate", "invalid value buffer");
        return nullptr;
    }
    return reinterpret_cast<CFArrayRef>(cf::makeArray(allocator, callBacks, values, numValues, false));
}

CFArrayRef CFArrayCreateCopy(CFAllocatorRef allocator, CFArrayRef theArray) {
    Array* a = cf::as<Array>(theArray, "CFArrayCreateCopy");
    if (a == nullptr) return nullptr;
    return reinterpret_cast<CFArrayRef>(cf::makeArray(allocator, &a->callbacks, a->values.data(),
                                                      static_cast<CFIndex>(a->values.size()), false));
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef allocator, CFIndex capacity, const CFArrayCallBacks* callBacks) {
    (void)capacity;  // a hint only
    return reinterpret_cast<CFMutableArrayRef>(cf::makeArray(allocator, callBacks, nullptr, 0, true));
}

CFMutableArrayRef CFArrayCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity, CFArrayRef theArray) {
    (void)capacity;
    Array* a = cf::as<Array>(theArray, "CFArrayCreateMutableCopy");
    if (a == nullptr) return nullptr;
    return reinterpret_cast<CFMutableArrayRef>(cf::makeArray(allocator, &a->callbacks, a->values.data(),
                                                             static_cast<CFIndex>(a->values.size()), true));
}

CFIndex CFArrayGetCount(CFArrayRef theArray) {
    Array* a = cf::as<Array>(theArray, "CFArrayGetCount");
    return a ? static_cast<CFIndex>(a->values.size()) : 0;
}

CFIndex CFArrayGetCountOfValue(CFArrayRef theArray, CFRange range, const void* value) {
    Array* a = cf::as<Array>(theArray, "CFArrayGetCountOfValue");
    if (a == nullptr || !cf::rangeInside(*a, range, "CFArrayGetCountOfValue")) return 0;
    CFIndex count = 0;
    for (CFIndex i = range.location; i < range.location + range.length; ++i)
        count += a->valuesEqual(a->values[static_cast<std::size_t>(i)], value);
    return count;
}

Boolean CFArrayContainsValue(CFArrayRef theArray, CFRange range, const void* value) {
    return CFArrayGetFirstIndexOfValue(theArray, range, value) != kCFNotFound;
}

const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx) {
    Array* a = cf::as<Array>(theArray, "CFArrayGetValueAtIndex");
    if (a == nullptr || !cf::indexInside(*a, idx, "CFArrayGetValueAtIndex")) return nullptr;
    return a->values[static_cast<std::size_t>(idx)];
}

void CFArrayGetValues(CFArrayRef theArray, CFRange range, const void** values) {
    Array* a = cf::as<Array>(theArray, "CFArrayGetValues");
    if (a == nullptr || values == nullptr || !cf::rangeInside(*a, range, "CFArrayGetValues")) return;
    std::copy_n(a->values.begin() + range.location, range.length, values);
}

void CFArrayApplyFunction(CFArrayRef theArray, CFRange range, CFArrayApplierFunction applier, void* context) {
    Array* a = cf::as<Array>(theArray, "CFArrayApplyFunction");
    if (a == nullptr || applier == nullptr || !cf::rangeInside(*a, range, "CFArrayApplyFunction")) return;
    for (CFIndex i = range.location; i < range.location + range.length; ++i)
        applier(a->values[static_cast<std::size_t>(i)], context);
}

CFIndex CFArrayGetFirstIndexOfValue(CFArrayRef theArray, CFRange range, const void* value) {
    Array* a = cf::as<Array>(theArray, "CFArrayGetFirstIndexOfValue");
    if (a == nullptr || !cf::rangeInside(*a, range, "CFArrayGetFirstIndexOfValue")) return kCFNotFound;
    for (CFIndex i = range.location; i < range.location + range.length; ++i)
        if (a->valuesEqual(a->values[static_cast<std::size_t>(i)], value)) return i;
    return kCFNotFound;
}

CFIndex CFArrayGetLastIndexOfValue(CFArrayRef theArray, CFRange range, const void* value) {
    Array* a = cf::as<Array>(theArray, "CFArrayGetLastIndexOfValue");
    if (a == nullptr || !cf::rangeInside(*a, range, "CFArrayGetLastIndexOfValue")) return kCFNotFound;
    for (CFIndex i = range.location + range.length - 1; i >= range.location; --i)
        if (a->valuesEqual(a->values[static_cast<std::size_t>(i)], value)) return i;
    return kCFNotFound;
}

void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value) {
    Array* a = cf::asMutable<Array>(theArray, "CFArrayAppendValue");
    if (a == nullptr) return;
    sysfw::guardedVoid("CFArrayAppendValue", [&] {
        a->values.reserve(a->values.size() + 1);
        a->values.push_back(a->retainValue(value));
    });
}

void CFArrayInsertValueAtIndex(CFMutableArrayRef theArray, CFIndex idx, const void* value) {
    Array* a = cf::asMutable<Array>(theArray, "CFArrayInsertValueAtIndex");
    if (a == nullptr) return;
    if (idx < 0 || static_cast<std::size_t>(idx) > a->values.size()) {
        sysfw::reportMisuse("CFArrayInsertValueAtIndex", "index outside the array");
        return;
    }
    sysfw::guardedVoid("CFArrayInsertValueAtIndex", [&] {
        a->values.reserve(a->values.size() + 1);
        a->values.insert(a->values.begin() + idx, a->retainValue(value));
    });
}

void CFArraySetValueAtIndex(CFMutableArrayRef theArray, CFIndex idx, const void* value) {
    Array* a = cf::asMutable<Array>(theArray, "CFArraySetValueAtIndex");
    if (a == nullptr) return;
    if (static_cast<std::size_t>(idx) == a->values.size()) {
        CFArrayAppendValue(theArray, value);
        return;
    }
    if (!cf::indexInside(*a, idx, "CFArraySetValueAtIndex")) return;
    const void* old = a->values[static_cast<std::size_t>(idx)];
    a->values[static_cast<std::size_t>(idx)] = a->retainValue(value);
    a->releaseValue(old);
}

void CFArrayRemoveValueAtIndex(CFMutableArrayRef theArray, CFIndex idx) {
    Array* a = cf::asMutable<Array>(theArray, "CFArrayRemoveValueAtIndex");
    if (a == nullptr || !cf::indexInside(*a, idx, "CFArrayRemoveValueAtIndex")) return;
    const void* old = a->values[static_cast<std::size_t>(idx)];
    a->values.erase(a->values.begin() + idx);
    a->releaseValue(old);
}

void CFArrayRemoveAllValues(CFMutableArrayRef theArray) {
    Array* a = cf::asMutable<Array>(theArray, "CFArrayRemoveAllValues");
    if (a == nullptr) return;
    std::vector<const void*> old;
    old.swap(a->values);
    for (const void* v : old) a->releaseValue(v);
}

void CFArrayExchangeValuesAtIndices(CFMutableArrayRef theArray, CFIndex idx1, CFIndex idx2) {
    Array* a = cf::asMutable<Array>(theArray, "CFArrayExchangeValuesAtIndices");
    if (a == nullptr || !cf::indexInside(*a, idx1, "CFArrayExchangeValuesAtIndices") ||
        !cf::indexInside(*a, idx2, "CFArrayExchangeValuesAtIndices"))
        return;
    std::swap(a->values[static_cast<std::size_t>(idx1)], a->values[static_cast<std::size_t>(idx2)]);
}

void CFArraySortValues(CFMutableArrayRef theArray, CFRange range, CFComparatorFunction comparator, void* context) {
    Array* a = cf::asMutable<Array>(theArray, "CFArraySortValues");
    if (a == nullptr || comparator == nullptr || !cf::rangeInside(*a, range, "CFArraySortValues")) return;
    std::stable_sort(a->values.begin() + range.location, a->values.begin() + range.location + range.length,
                     [&](const void* x, const void* y) { return comparator(x, y, context) == kCFCompareLessThan; });
}

void CFArrayAppendArray(CFMutableArrayRef theArray, CFArrayRef otherArray, CFRange otherRange) {
    Array* o = cf::as<Array>(otherArray, "CFArrayAppendArray");
    if (o == nullptr || cf::asMutable<Array>(theArray, "CFArrayAppendArray") == nullptr ||
        !cf::rangeInside(*o, otherRange, "CFArrayAppendArray"))
        return;
    sysfw::guardedVoid("CFArrayAppendArray", [&] {
        // Copy first: the other array may be this one.
        std::vector<const void*> items(o->values.begin() + otherRange.location,
                                       o->values.begin() + otherRange.location + otherRange.length);
        for (const void* v : items) CFArrayAppendValue(theArray, v);
    });
}

}  // extern "C"
