// Texts of the exchange files in the locale's code page: a Russian user's
// names survive a round trip through the single-byte formats.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "platform/mapped_file.h"
#include "platform/text.h"
#include "shell/language.h"
#include "tests/support/test_support.h"
#include "waypoints/ansi_text.h"
#include "waypoints/exchange.h"

namespace velka {
namespace {

TEST(AnsiText, CodePageOfTheLocaleScript) {
    EXPECT_EQ(AnsiCodePageOfLanguage(LangIdFromLocaleName("ru_RU.UTF-8")), 1251u);
    EXPECT_EQ(AnsiCodePageOfLanguage(LangIdFromLocaleName("uk_UA")), 1251u);
    EXPECT_EQ(AnsiCodePageOfLanguage(LangIdFromLocaleName("pl_PL")), 1250u);
    EXPECT_EQ(AnsiCodePageOfLanguage(LangIdFromLocaleName("de_DE")), 1252u);
    EXPECT_EQ(AnsiCodePageOfLanguage(LangIdFromLocaleName("el_GR")), 1253u);
    EXPECT_EQ(AnsiCodePageOfLanguage(LangIdFromLocaleName("sr_RS")), 1251u);
    EXPECT_EQ(AnsiCodePageOfLanguage(LangIdFromLocaleName("sr_RS@latin")), 1250u);
    EXPECT_EQ(AnsiCodePageOfLanguage(LangIdFromLocaleName("C")), 1252u);

    // The character classes decide, not the language of the messages.
    SetSystemAnsiCodePageOverride(0);
    const char* szAll = std::getenv("LC_ALL");
    const std::string strAll = szAll ? szAll : "";
    unsetenv("LC_ALL");
    setenv("LC_CTYPE", "ru_RU.UTF-8", 1);
    EXPECT_EQ(SystemAnsiCodePage(), 1251u);
    unsetenv("LC_CTYPE");
    if (szAll) setenv("LC_ALL", strAll.c_str(), 1);
    SetSystemAnsiCodePageOverride(1252);
}

TEST(AnsiText, CyrillicWesternAndUndefinedBytes) {
    const std::u16string strName = FromUtf8("Родник Ёлки №5");
    const std::string a = Utf16ToAnsi(strName, 1251);
    EXPECT_EQ(a, "\xD0\xEE\xE4\xED\xE8\xEA \xA8\xEB\xEA\xE8 \xB9" "5");
    EXPECT_EQ(AnsiToUtf16(a, 1251), strName);
    // Outside the code page: '?'; a surrogate pair is one character.
    EXPECT_EQ(Utf16ToAnsi(FromUtf8("Родник"), 1252), "??????");
    EXPECT_EQ(Utf16ToAnsi(FromUtf8("a\xF0\x9F\x98\x80z"), 1251), "a?z");
    // Western texts keep their special letters; an unknown code page reads as 1252.
    EXPECT_EQ(Utf16ToAnsi(FromUtf8("Straße €"), 1252), "Stra\xDF" "e \x80");
    EXPECT_EQ(AnsiToUtf16("\x80\x9F", 437), FromUtf8("€Ÿ"));
    // A byte the code page leaves undefined stands for itself both ways.
    EXPECT_EQ(AnsiToUtf16("\x98", 1251), std::u16string(1, char16_t(0x98)));
    EXPECT_EQ(Utf16ToAnsi(std::u16string(1, char16_t(0x98)), 1251), "\x98");
    EXPECT_EQ(AnsiToUtf16("\x81", 1252), std::u16string(1, char16_t(0x81)));
}

TEST(AnsiText, RussianNamesSurviveTheDatabaseRoundTrip) {
    SetSystemAnsiCodePageOverride(1251);
    test::TempDir dir;
    CWaypointStore store;
    const std::u16string strName = FromUtf8("Родник у дороги");
    Waypoint* p = store.CreateWaypoint(100, 200, 0, std::nullopt, &strName);
    p->strComment = FromUtf8("Вода круглый год");
    const std::string strPath = dir.File("ru.gdb");
    ASSERT_TRUE(ExportGdb(strPath, store, false, nullptr, test::IgnoredError()));
    CMappedFile mapped;
    ASSERT_TRUE(mapped.Open(strPath));
    CWaypointStore back;
    ImportTarget target(back);
    ASSERT_TRUE(ImportGdb(mapped.Bytes(), target));
    SetSystemAnsiCodePageOverride(1252);
    ASSERT_EQ(back.LiveWaypointCount(), 1u);
    EXPECT_EQ(back.Waypoints()[0]->strName, strName);
    EXPECT_EQ(back.Waypoints()[0]->strComment, p->strComment);
}

} // namespace
} // namespace velka
