#include "platform/clock.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <mutex>

namespace velka {
namespace {

std::mutex g_tickMutex;
std::function<DWORD()> g_tickSource;

// 1899-12-30 is day 0 of OLE dates; it lies 25569 days before 1970-01-01.
constexpr long long c_dayOleEpochToUnix = 25569;
constexpr double c_vtimeMin = -657434.0;         // 0100-01-01
constexpr double c_vtimeMax = 2958465.999994213; // 9999-12-31 23:59:59.5

void CivilFromDays(long long z, int& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long yy = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(yy + (m <= 2));
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(int y, unsigned m) {
    static const unsigned c_days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : c_days[m - 1];
}

SYSTEMTIME FromTm(const std::tm& tm, unsigned ms) {
    SYSTEMTIME st;
    st.wYear = static_cast<WORD>(tm.tm_year + 1900);
    st.wMonth = static_cast<WORD>(tm.tm_mon + 1);
    st.wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    st.wDay = static_cast<WORD>(tm.tm_mday);
    st.wHour = static_cast<WORD>(tm.tm_hour);
    st.wMinute = static_cast<WORD>(tm.tm_min);
    st.wSecond = static_cast<WORD>(tm.tm_sec);
    st.wMilliseconds = static_cast<WORD>(ms);
    return st;
}

} // namespace

long long DaysFromCivil(int y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

DWORD GetTickCount() {
    {
        std::lock_guard lock(g_tickMutex);
        if (g_tickSource) return g_tickSource();
    }
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return static_cast<DWORD>(ms);
}

void SetTickSourceForTest(std::function<DWORD()> source) {
    std::lock_guard lock(g_tickMutex);
    g_tickSource = std::move(source);
}

SYSTEMTIME GetSystemTime() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    gmtime_r(&ts.tv_sec, &tm);
    return FromTm(tm, static_cast<unsigned>(ts.tv_nsec / 1000000));
}

SYSTEMTIME GetLocalTime() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    localtime_r(&ts.tv_sec, &tm);
    return FromTm(tm, static_cast<unsigned>(ts.tv_nsec / 1000000));
}

bool SetSystemTime(const SYSTEMTIME& st) {
    double vt = 0;
    if (!SystemTimeToVariantTime(st, &vt)) return false;
    long long days = DaysFromCivil(st.wYear, st.wMonth, st.wDay);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(days * 86400 + st.wHour * 3600 + st.wMinute * 60 + st.wSecond);
    ts.tv_nsec = static_cast<long>(st.wMilliseconds) * 1000000L;
    return clock_settime(CLOCK_REALTIME, &ts) == 0;
}

bool SystemTimeToVariantTime(const SYSTEMTIME& st, double* pvtime) {
    if (!pvtime) return false;
    if (st.wYear < 100 || st.wYear > 9999 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 ||
        st.wDay > DaysInMonth(st.wYear, st.wMonth) || st.wHour > 23 || st.wMinute > 59 ||
        st.wSecond > 59)
        return false;
    long long day = DaysFromCivil(st.wYear, st.wMonth, st.wDay) + c_dayOleEpochToUnix;
    double frac = (st.wHour * 3600.0 + st.wMinute * 60.0 + st.wSecond) / 86400.0;
    // Before the origin the whole part counts down while the fraction still
    // counts forward: 1899-12-29 06:00 is -1.25.
    *pvtime = day >= 0 ? static_cast<double>(day) + frac : static_cast<double>(day) - frac;
    return true;
}

bool VariantTimeToSystemTime(double vtime, SYSTEMTIME* pst) {
    if (!pst || !std::isfinite(vtime) || vtime < c_vtimeMin || vtime > c_vtimeMax) return false;
    double whole = std::trunc(vtime);
    double frac = std::fabs(vtime - whole);
    long long day = static_cast<long long>(whole);
    long long secs = std::llround(frac * 86400.0);
    if (secs >= 86400) {
        // The fraction counts forward from the day's start on both sides of
        // the origin, so rounding up always moves to the following day.
        secs -= 86400;
        day += 1;
    }
    long long unixDays = day - c_dayOleEpochToUnix;
    int y;
    unsigned m, d;
    CivilFromDays(unixDays, y, m, d);
    SYSTEMTIME st;
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(m);
    st.wDay = static_cast<WORD>(d);
    long long wd = (unixDays % 7 + 7 + 4) % 7; // 1970-01-01 was a Thursday
    st.wDayOfWeek = static_cast<WORD>(wd);
    st.wHour = static_cast<WORD>(secs / 3600);
    st.wMinute = static_cast<WORD>((secs / 60) % 60);
    st.wSecond = static_cast<WORD>(secs % 60);
    st.wMilliseconds = 0;
    if (y < 100 || y > 9999) return false;
    *pst = st;
    return true;
}

double NowUtcOle() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return (static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9) / 86400.0 +
           static_cast<double>(c_dayOleEpochToUnix);
}

namespace {
long OffsetSecondsAt(time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm.tm_gmtoff;
}
} // namespace

double UtcOleToLocal(double vtimeUtc) {
    double unixSecs = (vtimeUtc - static_cast<double>(c_dayOleEpochToUnix)) * 86400.0;
    long off = OffsetSecondsAt(static_cast<time_t>(std::floor(unixSecs)));
    return vtimeUtc + off / 86400.0;
}

double LocalOleToUtc(double vtimeLocal) {
    double unixSecs = (vtimeLocal - static_cast<double>(c_dayOleEpochToUnix)) * 86400.0;
    // The offset at the local instant read as UTC, corrected once for zones
    // whose offset changes between the two readings.
    long off = OffsetSecondsAt(static_cast<time_t>(std::floor(unixSecs)));
    long off2 = OffsetSecondsAt(static_cast<time_t>(std::floor(unixSecs - off)));
    return vtimeLocal - off2 / 86400.0;
}

} // namespace velka
