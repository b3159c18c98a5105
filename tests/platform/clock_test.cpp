#include <gtest/gtest.h>

#include "platform/clock.h"

namespace velka {
namespace {

SYSTEMTIME Make(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    SYSTEMTIME st;
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(mo);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(mi);
    st.wSecond = static_cast<WORD>(s);
    st.wMilliseconds = static_cast<WORD>(ms);
    return st;
}

TEST(OleDate, ReferenceValues) {
    struct {
        SYSTEMTIME st;
        double vt;
    } cases[] = {
        {Make(1899, 12, 30), 0.0},
        {Make(1900, 1, 1), 2.0},
        {Make(1899, 12, 29, 6), -1.25},
        {Make(1989, 12, 31), 32873.0},
        {Make(2000, 1, 1, 12), 36526.5},
        {Make(2026, 12, 8, 18), 46364.75},
        {Make(100, 1, 1), -657434.0},
        {Make(9999, 12, 31), 2958465.0},
    };
    for (const auto& c : cases) {
        double vt = 1e9;
        ASSERT_TRUE(SystemTimeToVariantTime(c.st, &vt));
        EXPECT_DOUBLE_EQ(vt, c.vt) << c.st.wYear << "-" << c.st.wMonth << "-" << c.st.wDay;
        SYSTEMTIME back;
        ASSERT_TRUE(VariantTimeToSystemTime(c.vt, &back));
        EXPECT_EQ(back.wYear, c.st.wYear);
        EXPECT_EQ(back.wMonth, c.st.wMonth);
        EXPECT_EQ(back.wDay, c.st.wDay);
        EXPECT_EQ(back.wHour, c.st.wHour);
    }
}

TEST(OleDate, MillisecondsAreIgnoredAndBackRoundsToSecond) {
    double vt = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(Make(2020, 5, 1, 10, 20, 30, 999), &vt));
    double vt2 = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(Make(2020, 5, 1, 10, 20, 30, 0), &vt2));
    EXPECT_EQ(vt, vt2);

    SYSTEMTIME st;
    ASSERT_TRUE(VariantTimeToSystemTime(vt2 + 0.6 / 86400.0, &st));
    EXPECT_EQ(st.wSecond, 31);
    EXPECT_EQ(st.wMilliseconds, 0);
    ASSERT_TRUE(VariantTimeToSystemTime(vt2 + 0.4 / 86400.0, &st));
    EXPECT_EQ(st.wSecond, 30);
    // Rounding across midnight moves to the next day.
    ASSERT_TRUE(VariantTimeToSystemTime(36526.0 - 0.2 / 86400.0, &st));
    EXPECT_EQ(st.wYear, 2000);
    EXPECT_EQ(st.wDay, 1);
    EXPECT_EQ(st.wHour, 0);
    // 2000-01-01 was a Saturday.
    EXPECT_EQ(st.wDayOfWeek, 6);
}

TEST(OleDate, RejectsOutOfRange) {
    double vt = 0;
    EXPECT_FALSE(SystemTimeToVariantTime(Make(2021, 2, 29), &vt));
    EXPECT_TRUE(SystemTimeToVariantTime(Make(2020, 2, 29), &vt));
    EXPECT_FALSE(SystemTimeToVariantTime(Make(2020, 13, 1), &vt));
    EXPECT_FALSE(SystemTimeToVariantTime(Make(2020, 1, 1, 24), &vt));
    EXPECT_FALSE(SystemTimeToVariantTime(Make(99, 12, 31), &vt));
    SYSTEMTIME st;
    EXPECT_FALSE(VariantTimeToSystemTime(-657435.0, &st));
    EXPECT_FALSE(VariantTimeToSystemTime(2958466.0, &st));
}

TEST(TickCount, TestSourceReplacesClock) {
    SetTickSourceForTest([] { return DWORD{0xFFFFFFF0u}; });
    EXPECT_EQ(GetTickCount(), 0xFFFFFFF0u);
    SetTickSourceForTest({});
    DWORD a = GetTickCount();
    DWORD b = GetTickCount();
    EXPECT_LE(static_cast<DWORD>(b - a), 1000u);
}

} // namespace
} // namespace velka
