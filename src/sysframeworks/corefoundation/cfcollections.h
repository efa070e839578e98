#pragma once
// CFData, CFArray and CFDictionary internals, shared with the property-list code.

#include "sysframeworks/corefoundation/cfruntime.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace cf {

struct Data final : Object {
    static constexpr CFTypeID kTypeID = kTypeData;
    Data(std::vector<UInt8> b, bool m) : Object(kTypeData, false), bytes(std::move(b)), isMutable(m) {}
    bool equals(const Object& other) const noexcept override { return bytes == static_cast<const Data&>(other).bytes; }
    CFHashCode hash() const noexcept override;
    void describe(std::string& out) const override;
    void destroy() noexcept override { this->~Data(); }

    std::vector<UInt8> bytes;
    bool isMutable;
};

struct Array final : Object {
    static constexpr CFTypeID kTypeID = kTypeArray;
    Array(const CFArrayCallBacks* cb, bool m) : Object(kTypeArray, false), isMutable(m) {
        if (cb) callbacks = *cb;
    }
    bool equals(const Object& other) const noexcept override;
    CFHashCode hash() const noexcept override { return values.size(); }
    void describe(std::string& out) const override;
    void destroy() noexcept override;

    // Retains a value with the array's callback.
    const void* retainValue(const void* v) const { return callbacks.retain ? callbacks.retain(allocator(), v) : v; }
    void releaseValue(const void* v) const {
        if (callbacks.release) callbacks.release(allocator(), v);
    }
    bool valuesEqual(const void* a, const void* b) const { return callbacks.equal ? callbacks.equal(a, b) : a == b; }

    CFArrayCallBacks callbacks{};
    std::vector<const void*> values;
    bool isMutable;
};

struct Dictionary;

// Hashes and compares keys with the dictionary's key callbacks.
struct KeyHash {
    const CFDictionaryKeyCallBacks* callbacks;
    std::size_t operator()(const void* key) const {
        return callbacks->hash ? callbacks->hash(key) : std::hash<const void*>()(key);
    }
};
struct KeyEqual {
    const CFDictionaryKeyCallBacks* callbacks;
    bool operator()(const void* a, const void* b) const {
        return a == b || (callbacks->equal && callbacks->equal(a, b));
    }
};

struct Dictionary final : Object {
    static constexpr CFTypeID kTypeID = kTypeDictionary;
    Dictionary(const CFDictionaryKeyCallBacks* kcb, const CFDictionaryValueCallBacks* vcb, bool m);
    bool equals(const Object& other) const noexcept override;
    CFHashCode hash() const noexcept override { return map.size(); }
    void describe(std::string& out) const override;
    void destroy() noexcept override;

    // Inserts or replaces, retaining the new key and value with the callbacks.
    void set(const void* key, const void* value);
    void remove(const void* key);
    void clear();

    CFDictionaryKeyCallBacks keyCallbacks{};
    CFDictionaryValueCallBacks valueCallbacks{};
    std::unordered_map<const void*, const void*, KeyHash, KeyEqual> map;
    bool isMutable;
};

// Appends a value's description made with a collection's callback, or
// "<0x...>" when there is none.
void describeValue(std::string& out, const void* value, CFStringRef (*copyDescription)(const void*));

// Entries of a dictionary with CFString keys sorted by key; false if a key is
// not a string.
bool sortedStringEntries(const Dictionary& dict, std::vector<std::pair<const void*, const void*>>& out);

}  // namespace cf
