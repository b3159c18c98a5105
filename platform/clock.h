// Time: the millisecond tick count, system (UTC) and local time, setting
// the clock, and OLE automation dates (days since 1899-12-30) converted the
// way SystemTimeToVariantTime and VariantTimeToSystemTime convert them.
#pragma once
#include <functional>

#include "platform/win_types.h"

namespace velka {

struct SYSTEMTIME {
    WORD wYear = 0;
    WORD wMonth = 0;     // 1..12
    WORD wDayOfWeek = 0; // 0 = Sunday
    WORD wDay = 0;       // 1..31
    WORD wHour = 0;
    WORD wMinute = 0;
    WORD wSecond = 0;
    WORD wMilliseconds = 0;
};

// Milliseconds since an arbitrary start, wrapping at 2^32 like GetTickCount.
DWORD GetTickCount();
// Tests may replace the tick source; an empty function restores the clock.
void SetTickSourceForTest(std::function<DWORD()> source);

SYSTEMTIME GetSystemTime(); // UTC
SYSTEMTIME GetLocalTime();
// Sets the system clock (UTC). Fails, with errno set, without the privilege.
bool SetSystemTime(const SYSTEMTIME& st);

// Date and time to an OLE date. Milliseconds and the day of week are
// ignored; fields out of range (year 100..9999, month 1..12, a day that the
// month lacks, hour > 23, minute or second > 59) make it fail.
bool SystemTimeToVariantTime(const SYSTEMTIME& st, double* pvtime);
// OLE date to date and time, rounded to the nearest second (milliseconds
// are 0); fails outside 0100-01-01 .. 9999-12-31 23:59:59.
bool VariantTimeToSystemTime(double vtime, SYSTEMTIME* pst);

// The OLE date of now, UTC.
double NowUtcOle();
// Converts an OLE date between UTC and local time under the current zone.
double UtcOleToLocal(double vtimeUtc);
double LocalOleToUtc(double vtimeLocal);

// Days since 1970-01-01 for a proleptic Gregorian date.
long long DaysFromCivil(int y, unsigned m, unsigned d);

} // namespace velka
