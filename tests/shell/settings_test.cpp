#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/registry.h"
#include "platform/ui_host.h"
#include "shell/notifications.h"
#include "shell/reg_key.h"
#include "shell/settings.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

TEST(Settings, DefaultsForMissingAndWrongTypes) {
    test::ScopedSettings scope;
    EXPECT_TRUE(ReadSettingBool(u"SafeExit", true)); // a first run counts as clean
    EXPECT_EQ(ReadSettingInt(u"Page", 0), 0);

    WriteSettingString(u"Page", u"2"); // a string where an integer is expected
    EXPECT_EQ(ReadSettingInt(u"Page", 1), 1);
    WriteSettingInt(u"MapFileName", 5); // an integer where a string is expected
    EXPECT_EQ(ReadSettingString(u"MapFileName", 260, u"dflt"), u"dflt");
    EXPECT_EQ(ReadSettingString(u"Missing", 260, nullptr), u"");

    // A stored value of another size is missing too.
    BYTE two[2] = {1, 0};
    RegSetValueEx(g_hkeySettings, u"Short", REG_DWORD, two, 2);
    EXPECT_EQ(ReadSettingInt(u"Short", -7), -7);
}

TEST(Settings, NamesIgnoreCaseAndValuesRoundTrip) {
    test::ScopedSettings scope;
    WriteSettingInt(u"MapZoom", -12);
    EXPECT_EQ(ReadSettingInt(u"mapzoom", 0), -12);
    WriteSettingBool(u"RecordTrack", true);
    EXPECT_EQ(ReadSettingInt(u"RECORDTRACK", 0), 1);
    WriteSettingInt(u"Flag", 7);
    EXPECT_TRUE(ReadSettingBool(u"Flag", false)); // any non-zero is true
    WriteSettingString(u"MapFileName", u"/home/юзер/карта.zem");
    EXPECT_EQ(ReadSettingString(u"mapfilename", 260, nullptr), u"/home/юзер/карта.zem");
}

TEST(Settings, NullStringWritesEmptyAndLongStringReadsAsDefault) {
    test::ScopedSettings scope;
    WriteSettingString(u"Find_City", nullptr);
    EXPECT_EQ(ReadSettingString(u"Find_City", 64, u"default"), u"");

    WriteSettingString(u"Name", u"0123456789");
    EXPECT_EQ(ReadSettingString(u"Name", 11, u"d"), u"0123456789");
    // Ten characters need eleven with the zero: a buffer of ten is too small.
    EXPECT_EQ(ReadSettingString(u"Name", 10, u"d"), u"d");
}

TEST(Settings, DeleteAndDeleteAllKeepSubKeys) {
    test::ScopedSettings scope;
    WriteSettingInt(u"A", 1);
    WriteSettingInt(u"B", 2);
    WriteSettingString(u"C", u"x");
    DeleteSetting(u"a");
    EXPECT_EQ(ReadSettingInt(u"A", 9), 9);
    {
        CRegKey sub;
        ASSERT_EQ(sub.Create(g_hkeySettings, u"Sub"), ERROR_SUCCESS);
        sub.WriteInt(u"Inner", 3);
    }
    DeleteAllSettings();
    EXPECT_EQ(ReadSettingInt(u"B", 9), 9);
    EXPECT_EQ(ReadSettingString(u"C", 8, u"gone"), u"gone");
    CRegKey sub;
    ASSERT_EQ(sub.Open(g_hkeySettings, u"Sub"), ERROR_SUCCESS);
    DWORD dw = 0;
    EXPECT_EQ(sub.ReadInt(u"Inner", &dw), ERROR_SUCCESS);
    EXPECT_EQ(dw, 3u);
}

TEST(Settings, DeleteAllStopsAtAHundredCharacterName) {
    test::ScopedSettings scope;
    WriteSettingInt(u"First", 1);
    std::u16string longName(100, u'n');
    WriteSettingInt(longName.c_str(), 2);
    WriteSettingInt(u"Last", 3);
    DeleteAllSettings();
    EXPECT_EQ(ReadSettingInt(u"First", 0), 0);
    EXPECT_EQ(ReadSettingInt(longName.c_str(), 0), 2);
    EXPECT_EQ(ReadSettingInt(u"Last", 0), 3);
}

TEST(Settings, UnopenableStoreRunsOnDefaultsAndOpensOnlyOnce) {
    test::TempDir dir;
    SettingsClose();
    // A folder where the database file should be: it cannot be opened.
    std::filesystem::create_directories(dir.Path() / "settings.db");
    RegSetDatabasePath(dir.File("settings.db"));
    WriteSettingInt(u"Page", 2);
    EXPECT_EQ(ReadSettingInt(u"Page", 1), 1);
    EXPECT_TRUE(SettingsUnavailable());
    EXPECT_EQ(ReadSettingString(u"X", 4, u"abc"), u"abc");
    SettingsClose();
    RegShutdown();
    RegSetDatabasePath("");
}

TEST(Settings, ValuesSurviveReopening) {
    test::ScopedSettings scope;
    WriteSettingBool(u"SafeExit", false);
    SettingsClose();
    RegShutdown();
    EXPECT_FALSE(ReadSettingBool(u"SafeExit", true));
}

TEST(Notifications, PendingFlagCoalescesPostsFromManyThreads) {
    HeadlessUiHost().TakePosted();
    ClearNotificationPending(WM_GPS_FIX);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([] {
            for (int k = 0; k < 1000; ++k) PostNotification(WM_GPS_FIX);
        });
    for (auto& t : threads) t.join();
    auto posted = HeadlessUiHost().TakePosted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].uMsg, WM_GPS_FIX);
    // Once handled, the next fix posts again; other kinds are independent.
    ClearNotificationPending(WM_GPS_FIX);
    EXPECT_TRUE(PostNotification(WM_GPS_FIX));
    EXPECT_TRUE(PostNotification(WM_GPS_DATA));
    EXPECT_FALSE(PostNotification(WM_GPS_DATA));
    EXPECT_EQ(HeadlessUiHost().TakePosted().size(), 2u);
    ClearNotificationPending(WM_GPS_FIX);
    ClearNotificationPending(WM_GPS_DATA);
}

} // namespace
} // namespace velka
