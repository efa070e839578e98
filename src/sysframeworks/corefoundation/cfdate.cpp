// CFDate and the calendar arithmetic for ISO 8601 dates.

#include "sysframeworks/corefoundation/cfmisc.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace cf {

namespace {

// Days from 1970-01-01 to a proleptic Gregorian date (Howard Hinnant's algorithm).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

constexpr double kSecondsFrom1970To2001 = 978307200.0;

bool digits(std::string_view text, std::size_t at, std::size_t count, unsigned& value) {
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return true;
}

}  // namespace

bool parseISO8601(std::string_view text, double& absoluteTime) {
    unsigned y, mo, d, h, mi, s;
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z')
        return false;
    if (!digits(text, 0, 4, y) || !digits(text, 5, 2, mo) || !digits(text, 8, 2, d) || !digits(text, 11, 2, h) ||
        !digits(text, 14, 2, mi) || !digits(text, 17, 2, s))
        return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) return false;
    const long long days = daysFromCivil(y, mo, d);
    absoluteTime = static_cast<double>(days) * 86400.0 + h * 3600.0 + mi * 60.0 + s - kSecondsFrom1970To2001;
    return true;
}

std::string formatISO8601(double absoluteTime) {
    const double unix = std::floor(absoluteTime + kSecondsFrom1970To2001);
    long long days = static_cast<long long>(std::floor(unix / 86400.0));
    long long secs = static_cast<long long>(unix) - days * 86400;
    long long y;
    unsigned m, d;
    civilFromDays(days, y, m, d);
    char text[96];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ", y, m, d, secs / 3600, (secs / 60) % 60,
                  secs % 60);
    return text;
}

void Date::describe(std::string& out) const {
    appendHeader(out, *this);
    out += "{time = " + formatISO8601(time) + "}";
}

}  // namespace cf

extern "C" {

const CFTimeInterval kCFAbsoluteTimeIntervalSince1970 = cf::kSecondsFrom1970To2001;

CFAbsoluteTime CFAbsoluteTimeGetCurrent(void) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9 - cf::kSecondsFrom1970To2001;
}

CFTypeID CFDateGetTypeID(void) { return cf::kTypeDate; }

CFDateRef CFDateCreate(CFAllocatorRef allocator, CFAbsoluteTime at) {
    return reinterpret_cast<CFDateRef>(cf::create<cf::Date>(allocator, at));
}

CFAbsoluteTime CFDateGetAbsoluteTime(CFDateRef theDate) {
    cf::Date* d = cf::as<cf::Date>(theDate, "CFDateGetAbsoluteTime");
    return d ? d->time : 0.0;
}

}  // extern "C"
