// CFNumber and CFBoolean.

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/corefoundation/cfnumberimpl.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace cf {

namespace {

constinit Number gPositiveInfinity(kCFNumberFloat64Type, 0, std::numeric_limits<double>::infinity(), true, true);
constinit Number gNegativeInfinity(kCFNumberFloat64Type, 0, -std::numeric_limits<double>::infinity(), true, true);
constinit Number gNaN(kCFNumberFloat64Type, 0, std::numeric_limits<double>::quiet_NaN(), true, true);
constinit BooleanObject gTrue(true);
constinit BooleanObject gFalse(false);

// The fixed-width type that stores a value of the given type; 0 if unknown.
CFNumberType storageType(CFNumberType t) {
    switch (t) {
        case kCFNumberSInt8Type:
        case kCFNumberCharType: return kCFNumberSInt8Type;
        case kCFNumberSInt16Type:
        case kCFNumberShortType: return kCFNumberSInt16Type;
        case kCFNumberSInt32Type:
        case kCFNumberIntType: return kCFNumberSInt32Type;
        case kCFNumberSInt64Type:
        case kCFNumberLongType:
        case kCFNumberLongLongType:
        case kCFNumberCFIndexType:
        case kCFNumberNSIntegerType: return kCFNumberSInt64Type;
        case kCFNumberFloat32Type:
        case kCFNumberFloatType: return kCFNumberFloat32Type;
        case kCFNumberFloat64Type:
        case kCFNumberDoubleType:
        case kCFNumberCGFloatType: return kCFNumberFloat64Type;
        default: return 0;
    }
}

CFIndex byteSize(CFNumberType storage) {
    switch (storage) {
        case kCFNumberSInt8Type: return 1;
        case kCFNumberSInt16Type: return 2;
        case kCFNumberSInt32Type:
        case kCFNumberFloat32Type: return 4;
        default: return 8;
    }
}

bool isIntegral(double d) { return std::isfinite(d) && std::trunc(d) == d; }

// Stores `v` in an integer of `bytes` bytes, saturating; false if it did not fit.
bool storeInteger(long double v, CFIndex bytes, void* out) {
    const long double lo = bytes == 8 ? -9223372036854775808.0L : -std::ldexp(1.0L, static_cast<int>(bytes * 8 - 1));
    const long double hi = bytes == 8 ? 9223372036854775807.0L : std::ldexp(1.0L, static_cast<int>(bytes * 8 - 1)) - 1;
    bool ok = true;
    if (std::isnan(v)) v = 0, ok = false;
    if (v < lo) v = lo, ok = false;
    if (v > hi) v = hi, ok = false;
    const long double t = std::trunc(v);
    if (t != v) ok = false;
    switch (bytes) {
        case 1: { const std::int8_t x = static_cast<std::int8_t>(t); std::memcpy(out, &x, 1); break; }
        case 2: { const std::int16_t x = static_cast<std::int16_t>(t); std::memcpy(out, &x, 2); break; }
        case 4: { const std::int32_t x = static_cast<std::int32_t>(t); std::memcpy(out, &x, 4); break; }
        default: {
            // long double holds every int64 exactly, so the saturated value converts exactly.
            const std::int64_t x = t >= 9223372036854775807.0L ? std::numeric_limits<std::int64_t>::max()
                                                                 : static_cast<std::int64_t>(t);
            std::memcpy(out, &x, 8);
            break;
        }
    }
    return ok;
}

}  // namespace

bool Number::equals(const Object& other) const noexcept {
    const Number& o = static_cast<const Number&>(other);
    if (!floating && !o.floating) return integer == o.integer;
    const long double a = floating ? real : static_cast<long double>(integer);
    const long double b = o.floating ? o.real : static_cast<long double>(o.integer);
    if (std::isnan(a) && std::isnan(b)) return true;
    return a == b;
}

CFHashCode Number::hash() const noexcept {
    // Equal values hash alike whether stored as integer or floating point.
    if (!floating) return static_cast<CFHashCode>(integer);
    if (isIntegral(real) && std::fabs(real) < 9.2e18) return static_cast<CFHashCode>(static_cast<std::int64_t>(real));
    std::uint64_t bits;
    std::memcpy(&bits, &real, sizeof bits);
    return static_cast<CFHashCode>(bits ^ (bits >> 29));
}

void Number::describeForFormat(std::string& out) const {
    if (!floating) {
        out += std::to_string(integer);
        return;
    }
    if (std::isnan(real)) {
        out += "nan";
    } else if (std::isinf(real)) {
        out += real > 0 ? "+infinity" : "-infinity";
    } else {
        char text[64];
        auto r = std::to_chars(text, text + sizeof text, real);
        out.append(text, r.ptr);
    }
}

void Number::describe(std::string& out) const {
    static const char* const kTypeNames[] = {"",
                                             "kCFNumberSInt8Type",
                                             "kCFNumberSInt16Type",
                                             "kCFNumberSInt32Type",
                                             "kCFNumberSInt64Type",
                                             "kCFNumberFloat32Type",
                                             "kCFNumberFloat64Type"};
    appendHeader(out, *this);
    out += "{value = ";
    describeForFormat(out);
    out += ", type = ";
    out += kTypeNames[type];
    out += "}";
}

void BooleanObject::describe(std::string& out) const {
    appendHeader(out, *this);
    out += value ? "{value = true}" : "{value = false}";
}

CFNumberRef makeInteger(CFAllocatorRef allocator, std::int64_t value) {
    return reinterpret_cast<CFNumberRef>(create<Number>(allocator, kCFNumberSInt64Type, value, 0.0, false));
}

CFNumberRef makeReal(CFAllocatorRef allocator, double value) {
    return reinterpret_cast<CFNumberRef>(create<Number>(allocator, kCFNumberFloat64Type, 0, value, true));
}

}  // namespace cf

extern "C" {

const CFBooleanRef kCFBooleanTrue = reinterpret_cast<CFBooleanRef>(&cf::gTrue);
const CFBooleanRef kCFBooleanFalse = reinterpret_cast<CFBooleanRef>(&cf::gFalse);
const CFNumberRef kCFNumberPositiveInfinity = reinterpret_cast<CFNumberRef>(&cf::gPositiveInfinity);
const CFNumberRef kCFNumberNegativeInfinity = reinterpret_cast<CFNumberRef>(&cf::gNegativeInfinity);
const CFNumberRef kCFNumberNaN = reinterpret_cast<CFNumberRef>(&cf::gNaN);

CFTypeID CFBooleanGetTypeID(void) { return cf::kTypeBoolean; }

Boolean CFBooleanGetValue(CFBooleanRef boolean) {
    cf::BooleanObject* b = cf::as<cf::BooleanObject>(boolean, "CFBooleanGetValue");
    return b && b->value;
}

CFTypeID CFNumberGetTypeID(void) { return cf::kTypeNumber; }

CFNumberRef CFNumberCreate(CFAllocatorRef allocator, CFNumberType theType, const void* valuePtr) {
    const CFNumberType storage = cf::storageType(theType);
    if (storage == 0 || valuePtr == nullptr) {
        sysfw::reportMisuse("CFNumberCreate", storage == 0 ? "unknown number type" : "null value pointer");
        return nullptr;
    }
    std::int64_t i = 0;
    double d = 0.0;
    bool isFloat = false;
    switch (storage) {
        case kCFNumberSInt8Type: { std::int8_t v; std::memcpy(&v, valuePtr, 1); i = v; break; }
        case kCFNumberSInt16Type: { std::int16_t v; std::memcpy(&v, valuePtr, 2); i = v; break; }
        case kCFNumberSInt32Type: { std::int32_t v; std::memcpy(&v, valuePtr, 4); i = v; break; }
        case kCFNumberSInt64Type: std::memcpy(&i, valuePtr, 8); break;
        case kCFNumberFloat32Type: { float v; std::memcpy(&v, valuePtr, 4); d = v; isFloat = true; break; }
        default: std::memcpy(&d, valuePtr, 8); isFloat = true; break;
    }
    return reinterpret_cast<CFNumberRef>(cf::create<cf::Number>(allocator, storage, i, d, isFloat));
}

CFNumberType CFNumberGetType(CFNumberRef number) {
    cf::Number* n = cf::as<cf::Number>(number, "CFNumberGetType");
    return n ? n->type : 0;
}

CFIndex CFNumberGetByteSize(CFNumberRef number) {
    cf::Number* n = cf::as<cf::Number>(number, "CFNumberGetByteSize");
    return n ? cf::byteSize(n->type) : 0;
}

Boolean CFNumberIsFloatType(CFNumberRef number) {
    cf::Number* n = cf::as<cf::Number>(number, "CFNumberIsFloatType");
    return n && n->floating;
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr) {
    cf::Number* n = cf::as<cf::Number>(number, "CFNumberGetValue");
    const CFNumberType target = cf::storageType(theType);
    if (n == nullptr || target == 0 || valuePtr == nullptr) return false;
    const long double v = n->floating ? static_cast<long double>(n->real) : static_cast<long double>(n->integer);
    if (target == kCFNumberFloat32Type) {
        const float f = static_cast<float>(v);
        std::memcpy(valuePtr, &f, 4);
        return std::isnan(v) || static_cast<long double>(f) == v;
    }
    if (target == kCFNumberFloat64Type) {
        const double d = static_cast<double>(v);
        std::memcpy(valuePtr, &d, 8);
        return std::isnan(v) || static_cast<long double>(d) == v;
    }
    return cf::storeInteger(v, cf::byteSize(target), valuePtr);
}

CFComparisonResult CFNumberCompare(CFNumberRef number, CFNumberRef otherNumber, void* context) {
    (void)context;
    cf::Number* a = cf::as<cf::Number>(number, "CFNumberCompare");
    cf::Number* b = cf::as<cf::Number>(otherNumber, "CFNumberCompare");
    if (a == nullptr || b == nullptr) return kCFCompareEqualTo;
    if (!a->floating && !b->floating)
        return a->integer < b->integer ? kCFCompareLessThan
                                       : (a->integer > b->integer ? kCFCompareGreaterThan : kCFCompareEqualTo);
    const long double x = a->floating ? a->real : static_cast<long double>(a->integer);
    const long double y = b->floating ? b->real : static_cast<long double>(b->integer);
    // NaN sorts below every other value and equal to itself.
    if (std::isnan(x) || std::isnan(y))
        return std::isnan(x) && std::isnan(y) ? kCFCompareEqualTo : (std::isnan(x) ? kCFCompareLessThan : kCFCompareGreaterThan);
    return x < y ? kCFCompareLessThan : (x > y ? kCFCompareGreaterThan : kCFCompareEqualTo);
}

}  // extern "C"
