#include <gtest/gtest.h>

#include "platform/text.h"

namespace velka {
namespace {

TEST(Text, Utf8RoundTripIncludingSurrogates) {
    std::u16string s = u"Städtle Москва \U0001F600";
    EXPECT_EQ(FromUtf8(ToUtf8(s)), s);
    EXPECT_EQ(ToUtf8(u"ä"), "\xC3\xA4");
    // Malformed UTF-8 becomes replacement characters, never a crash.
    EXPECT_EQ(FromUtf8("a\xFF" "b\xE2\x82"), u"a\uFFFDb\uFFFD\uFFFD");
}

TEST(Text, FormatWide) {
    EXPECT_EQ(FormatW(u"Track %03d", 7), u"Track 007");
    EXPECT_EQ(FormatW(u"<??%d>", 2999), u"<??2999>");
    EXPECT_EQ(FormatW(u"'%s' (%s)", u"файл", u"No such file"), u"'файл' (No such file)");
    EXPECT_EQ(FormatW(u"** %d-%02d-%02d %02d:%02d:%02d", 2026, 1, 2, 3, 4, 5),
              u"** 2026-01-02 03:04:05");
    EXPECT_EQ(FormatW(u"[0x%08x]", 0xABCu), u"[0x00000abc]");
    EXPECT_EQ(FormatW(u"%.1f km %5.2f", 12.25, 3.14159), u"12.2 km  3.14");
    EXPECT_EQ(FormatW(u"%-4s|%4s|", u"ab", u"cd"), u"ab  |  cd|");
    EXPECT_EQ(FormatW(u"%c%c 100%%", u'О', u'K'), u"ОK 100%");
    EXPECT_EQ(FormatW(u"%ld %lu %lld", -5L, 6UL, 7LL), u"-5 6 7");
    EXPECT_EQ(FormatW(u"%s", static_cast<const char16_t*>(nullptr)), u"(null)");
    EXPECT_EQ(FormatW(u"%.3s", u"abcdef"), u"abc");
}

TEST(Text, CopyToBufferTruncatesAndTerminates) {
    char16_t buf[4] = {1, 1, 1, 1};
    CopyToBuffer(buf, 4, u"abcdef");
    EXPECT_EQ(std::u16string(buf), u"abc");
    CopyToBuffer(buf, 0, u"x"); // no write at all
    EXPECT_EQ(std::u16string(buf), u"abc");
}

TEST(Text, EqualNoCaseAscii) {
    EXPECT_TRUE(EqualNoCaseAscii(u"SafeExit", u"SAFEEXIT"));
    EXPECT_FALSE(EqualNoCaseAscii(u"SafeExit", u"SafeExi"));
    EXPECT_FALSE(EqualNoCaseAscii(u"Ä", u"ä"));
}

} // namespace
} // namespace velka
