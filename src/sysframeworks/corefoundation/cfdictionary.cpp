// CFDictionary: hashed key-value collections with caller-chosen callbacks.

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/corefoundation/cfcollections.h"
#include "sysframeworks/corefoundation/cfstringimpl.h"

#include <algorithm>

namespace cf {

namespace {

const void* typeRetain(CFAllocatorRef, const void* value) { return CFRetain(value); }
void typeRelease(CFAllocatorRef, const void* value) { CFRelease(value); }
Boolean typeEqual(const void* a, const void* b) { return CFEqual(a, b); }
CFHashCode typeHash(const void* value) { return CFHash(value); }
const void* copyStringKey(CFAllocatorRef allocator, const void* value) {
    return CFStringCreateCopy(allocator, static_cast<CFStringRef>(value));
}

// A NULL key or value cannot go through CF-object callbacks.
bool acceptable(const Dictionary& d, const void* key, const void* value, const char* api) {
    if ((key == nullptr && (d.keyCallbacks.retain || d.keyCallbacks.hash)) || (value == nullptr && d.valueCallbacks.retain)) {
        sysfw::reportMisuse(api, "NULL key or value in a dictionary of CF objects");
        return false;
    }
    return true;
}

Dictionary* makeDictionary(CFAllocatorRef allocator, const CFDictionaryKeyCallBacks* kcb,
                           const CFDictionaryValueCallBacks* vcb, const void** keys, const void** values, CFIndex n,
                           bool isMutable) {
    Dictionary* d = create<Dictionary>(allocator, kcb, vcb, isMutable);
    if (d == nullptr) return nullptr;
    try {
        for (CFIndex i = 0; i < n; ++i) d->set(keys[i], values[i]);
    } catch (...) {
        d->release();
        return nullptr;
    }
    return d;
}

}  // namespace

void describeValue(std::string& out, const void* value, CFStringRef (*copyDescription)(const void*)) {
    CFStringRef text = copyDescription ? copyDescription(value) : nullptr;
    String* s = text ? tryAs<String>(text) : nullptr;
    if (s != nullptr) out += utf8Of(*s);
    else appendFormat(out, "<%p>", value);
    if (text) CFRelease(text);
}

Dictionary::Dictionary(const CFDictionaryKeyCallBacks* kcb, const CFDictionaryValueCallBacks* vcb, bool m)
    : Object(kTypeDictionary, false),
      keyCallbacks(kcb ? *kcb : CFDictionaryKeyCallBacks{}),
      valueCallbacks(vcb ? *vcb : CFDictionaryValueCallBacks{}),
      map(0, KeyHash{&keyCallbacks}, KeyEqual{&keyCallbacks}),
      isMutable(m) {}

void Dictionary::set(const void* key, const void* value) {
    CFAllocatorRef a = allocator();
    auto found = map.find(key);
    const void* newValue = valueCallbacks.retain ? valueCallbacks.retain(a, value) : value;
    if (found != map.end()) {
        const void* oldValue = found->second;
        found->second = newValue;
        if (valueCallbacks.release) valueCallbacks.release(a, oldValue);
        return;
    }
    const void* newKey = keyCallbacks.retain ? keyCallbacks.retain(a, key) : key;
    try {
        map.emplace(newKey, newValue);
    } catch (...) {
        if (keyCallbacks.release) keyCallbacks.release(a, newKey);
        if (valueCallbacks.release) valueCallbacks.release(a, newValue);
        throw;
    }
}

void Dictionary::remove(const void* key) {
    auto found = map.find(key);
    if (found == map.end()) return;
    const void* k = found->first;
    const void* v = found->second;
    map.erase(found);
    if (keyCallbacks.release) keyCallbacks.release(allocator(), k);
    if (valueCallbacks.release) valueCallbacks.release(allocator(), v);
}

void Dictionary::clear() {
    std::vector<std::pair<const void*, const void*>> entries(map.begin(), map.end());
    map.clear();
    for (auto& [k, v] : entries) {
        if (keyCallbacks.release) keyCallbacks.release(allocator(), k);
        if (valueCallbacks.release) valueCallbacks.release(allocator(), v);
    }
}

void Dictionary::destroy() noexcept {
    for (auto& [k, v] : map) {
        if (keyCallbacks.release) keyCallbacks.release(allocator(), k);
        if (valueCallbacks.release) valueCallbacks.release(allocator(), v);
    }
    this->~Dictionary();
}

bool Dictionary::equals(const Object& other) const noexcept {
    const Dictionary& o = static_cast<const Dictionary&>(other);
    if (map.size() != o.map.size()) return false;
    for (auto& [k, v] : map) {
        auto found = o.map.find(k);
        if (found == o.map.end()) return false;
        const bool same = valueCallbacks.equal ? valueCallbacks.equal(v, found->second) : v == found->second;
        if (!same) return false;
    }
    return true;
}

void Dictionary::describe(std::string& out) const {
    appendHeader(out, *this);
    appendFormat(out, "{type = %s, count = %zu, entries =>\n", isMutable ? "mutable" : "immutable", map.size());
    std::vector<std::pair<const void*, const void*>> entries;
    if (!sortedStringEntries(*this, entries)) entries.assign(map.begin(), map.end());
    std::size_t i = 0;
    for (auto& [k, v] : entries) {
        appendFormat(out, "\t%zu : ", i++);
        describeValue(out, k, keyCallbacks.copyDescription);
        out += " = ";
        describeValue(out, v, valueCallbacks.copyDescription);
        out += "\n";
    }
    out += "}";
}

bool sortedStringEntries(const Dictionary& dict, std::vector<std::pair<const void*, const void*>>& out) {
    out.assign(dict.map.begin(), dict.map.end());
    for (auto& entry : out)
        if (tryAs<String>(entry.first) == nullptr) return false;
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
        return tryAs<String>(a.first)->units < tryAs<String>(b.first)->units;
    });
    return true;
}

}  // namespace cf

using cf::Dictionary;

extern "C" {

const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {0, cf::typeRetain, cf::typeRelease, CFCopyDescription,
                                                                cf::typeEqual, cf::typeHash};
const CFDictionaryKeyCallBacks kCFCopyStringDictionaryKeyCallBacks = {
    0, cf::copyStringKey, cf::typeRelease, CFCopyDescription, cf::typeEqual, cf::typeHash};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {0, cf::typeRetain, cf::typeRelease,
                                                                    CFCopyDescription, cf::typeEqual};

CFTypeID CFDictionaryGetTypeID(void) { return cf::kTypeDictionary; }

CFDictionaryRef CFDictionaryCreate(CFAllocatorRef allocator, const void** keys, const void** values, CFIndex numValues,
                                   const CFDictionaryKeyCallBacks* keyCallBacks,
                                   const CFDictionaryValueCallBacks* valueCallBacks) {
    if (numValues < 0 || ((keys == nullptr || values == nullptr) && numValues > 0)) {
        sysfw::reportMisuse("CFDictionaryCreate", "invalid key or value buffer");
        return nullptr;
    }
    return reinterpret_cast<CFDictionaryRef>(
        cf::makeDictionary(allocator, keyCallBacks, valueCallBacks, keys, values, numValues, false));
}

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks) {
    (void)capacity;  // a hint only
    return reinterpret_cast<CFMutableDictionaryRef>(
        cf::makeDictionary(allocator, keyCallBacks, valueCallBacks, nullptr, nullptr, 0, true));
}

static Dictionary* copyDictionary(CFAllocatorRef allocator, CFDictionaryRef theDict, bool isMutable, const char* api) {
    Dictionary* d = cf::as<Dictionary>(theDict, api);
    if (d == nullptr) return nullptr;
    Dictionary* copy = cf::create<Dictionary>(allocator, &d->keyCallbacks, &d->valueCallbacks, isMutable);
    if (copy == nullptr) return nullptr;
    try {
        for (auto& [k, v] : d->map) copy->set(k, v);
    } catch (...) {
        copy->release();
        return nullptr;
    }
    return copy;
}

CFDictionaryRef CFDictionaryCreateCopy(CFAllocatorRef allocator, CFDictionaryRef theDict) {
    return reinterpret_cast<CFDictionaryRef>(copyDictionary(allocator, theDict, false, "CFDictionaryCreateCopy"));
}

CFMutableDictionaryRef CFDictionaryCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity,
                                                     CFDictionaryRef theDict) {
    (void)capacity;
    return reinterpret_cast<CFMutableDictionaryRef>(
        copyDictionary(allocator, theDict, true, "CFDictionaryCreateMutableCopy"));
}

CFIndex CFDictionaryGetCount(CFDictionaryRef theDict) {
    Dictionary* d = cf::as<Dictionary>(theDict, "CFDictionaryGetCount");
    return d ? static_cast<CFIndex>(d->map.size()) : 0;
}

CFIndex CFDictionaryGetCountOfKey(CFDictionaryRef theDict, const void* key) {
    return CFDictionaryContainsKey(theDict, key) ? 1 : 0;
}

CFIndex CFDictionaryGetCountOfValue(CFDictionaryRef theDict, const void* value) {
    Dictionary* d = cf::as<Dictionary>(theDict, "CFDictionaryGetCountOfValue");
    if (d == nullptr) return 0;
    CFIndex n = 0;
    for (auto& entry : d->map)
        n += d->valueCallbacks.equal ? d->valueCallbacks.equal(entry.second, value) : entry.second == value;
    return n;
}

Boolean CFDictionaryContainsKey(CFDictionaryRef theDict, const void* key) {
    return CFDictionaryGetValueIfPresent(theDict, key, nullptr);
}

Boolean CFDictionaryContainsValue(CFDictionaryRef theDict, const void* value) {
    return CFDictionaryGetCountOfValue(theDict, value) > 0;
}

const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key) {
    const void* value = nullptr;
    CFDictionaryGetValueIfPresent(theDict, key, &value);
    return value;
}

Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef theDict, const void* key, const void** value) {
    Dictionary* d = cf::as<Dictionary>(theDict, "CFDictionaryGetValue");
    if (d == nullptr) return false;
    // A CF-typed dictionary cannot hold a NULL key; asking for one is answered "absent".
    if (key == nullptr && d->keyCallbacks.hash) return false;
    auto found = d->map.find(key);
    if (found == d->map.end()) return false;
    if (value) *value = found->second;
    return true;
}

void CFDictionaryGetKeysAndValues(CFDictionaryRef theDict, const void** keys, const void** values) {
    Dictionary* d = cf::as<Dictionary>(theDict, "CFDictionaryGetKeysAndValues");
    if (d == nullptr) return;
    std::size_t i = 0;
    for (auto& [k, v] : d->map) {
        if (keys) keys[i] = k;
        if (values) values[i] = v;
        ++i;
    }
}

void CFDictionaryApplyFunction(CFDictionaryRef theDict, CFDictionaryApplierFunction applier, void* context) {
    Dictionary* d = cf::as<Dictionary>(theDict, "CFDictionaryApplyFunction");
    if (d == nullptr || applier == nullptr) return;
    for (auto& [k, v] : d->map) applier(k, v, context);
}

void CFDictionaryAddValue(CFMutableDictionaryRef theDict, const void* key, const void* value) {
    Dictionary* d = cf::asMutable<Dictionary>(theDict, "CFDictionaryAddValue");
    if (d == nullptr || !cf::acceptable(*d, key, value, "CFDictionaryAddValue") || d->map.count(key) != 0) return;
    sysfw::guardedVoid("CFDictionaryAddValue", [&] { d->set(key, value); });
}

void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value) {
    Dictionary* d = cf::asMutable<Dictionary>(theDict, "CFDictionarySetValue");
    if (d == nullptr || !cf::acceptable(*d, key, value, "CFDictionarySetValue")) return;
    sysfw::guardedVoid("CFDictionarySetValue", [&] { d->set(key, value); });
}

void CFDictionaryReplaceValue(CFMutableDictionaryRef theDict, const void* key, const void* value) {
    Dictionary* d = cf::asMutable<Dictionary>(theDict, "CFDictionaryReplaceValue");
    if (d == nullptr || !cf::acceptable(*d, key, value, "CFDictionaryReplaceValue") || d->map.count(key) == 0) return;
    sysfw::guardedVoid("CFDictionaryReplaceValue", [&] { d->set(key, value); });
}

void CFDictionaryRemoveValue(CFMutableDictionaryRef theDict, const void* key) {
    Dictionary* d = cf::asMutable<Dictionary>(theDict, "CFDictionaryRemoveValue");
    if (d && cf::acceptable(*d, key, d, "CFDictionaryRemoveValue")) d->remove(key);
}

void CFDictionaryRemoveAllValues(CFMutableDictionaryRef theDict) {
    Dictionary* d = cf::asMutable<Dictionary>(theDict, "CFDictionaryRemoveAllValues");
    if (d) sysfw::guardedVoid("CFDictionaryRemoveAllValues", [&] { d->clear(); });
}

}  // extern "C"

