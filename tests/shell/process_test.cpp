// The real navigator as a process on the offscreen platform, each test
// with private XDG folders: the orderly exit on SIGTERM, the crash dialog
// after a kill -9, and the single instance with its command-line hand-over.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "platform/qt/single_instance.h"
#include "platform/registry.h"
#include "shell/settings.h"
#include "tests/support/test_support.h"
#include "tests/support/velka_process.h"

namespace velka {
namespace {

using test::CUserHome;
using test::CVelka;

using namespace std::chrono_literals;

std::size_t Count(const std::string& s, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
    return n;
}

TEST(VelkaProcess, SigtermIsTheOrderlyExitAndKillNineShowsTheCrashDialogOnce) {
    CUserHome home;
    {
        CVelka v(home, "first");
        ASSERT_TRUE(v.WaitFor("velka: message loop")) << v.Err();
        EXPECT_EQ(home.SafeExit(), 0); // running
        v.Signal(SIGTERM);
        EXPECT_EQ(v.Wait(), 0);
        EXPECT_EQ(Count(v.Err(), "dialog: 102"), 0u) << v.Err();
    }
    EXPECT_EQ(home.SafeExit(), 1);
    {
        CVelka v(home, "killed");
        ASSERT_TRUE(v.WaitFor("velka: message loop")) << v.Err();
        v.Signal(SIGKILL);
        EXPECT_EQ(v.Wait(), -SIGKILL);
    }
    EXPECT_EQ(home.SafeExit(), 0);
    {
        CVelka v(home, "after-kill");
        ASSERT_TRUE(v.WaitFor("velka: message loop")) << v.Err();
        const std::string err = v.Err();
        EXPECT_EQ(Count(err, "dialog: 102: Программа в последний раз была закрыта аварийно."), 1u) << err;
        v.Signal(SIGINT);
        EXPECT_EQ(v.Wait(), 0);
    }
    {
        CVelka v(home, "clean-again");
        ASSERT_TRUE(v.WaitFor("velka: message loop")) << v.Err();
        EXPECT_EQ(Count(v.Err(), "dialog: 102"), 0u);
        v.Signal(SIGTERM);
        EXPECT_EQ(v.Wait(), 0);
    }
    EXPECT_EQ(home.SafeExit(), 1);
    // The file types were registered on the way.
    EXPECT_FALSE(test::ReadFile(home.File("data") + "/mime/packages/velka.xml").empty());
}

TEST(VelkaProcess, SecondInstanceHandsOverItsCommandLineButARestartRunsBeside) {
    CUserHome home;
    CVelka first(home, "first");
    ASSERT_TRUE(first.WaitFor("velka: message loop")) << first.Err();
    {
        CVelka second(home, "second", {"/tmp/my maps/town.zem"});
        EXPECT_EQ(second.Wait(), 0) << second.Err();
        EXPECT_NE(second.Err().find("handed over"), std::string::npos);
    }
    EXPECT_TRUE(first.WaitFor("velka: command line received: /tmp/my maps/town.zem")) << first.Err();
    {
        CVelka bare(home, "bare");
        EXPECT_EQ(bare.Wait(), 0); // only brings the first to the front
    }
    EXPECT_EQ(Count(first.Err(), "command line received"), 1u);

    CVelka restarted(home, "restart", {"/Start"});
    ASSERT_TRUE(restarted.WaitFor("velka: message loop")) << restarted.Err();
    EXPECT_EQ(restarted.Err().find("handed over"), std::string::npos);
    restarted.Signal(SIGTERM);
    EXPECT_EQ(restarted.Wait(), 0);
    first.Signal(SIGTERM);
    EXPECT_EQ(first.Wait(), 0);
}

TEST(VelkaProcess, ResetAfterACrashLeavesOnlyTheValuesWrittenSince) {
    CUserHome home;
    {
        CVelka v(home, "killed");
        ASSERT_TRUE(v.WaitFor("velka: message loop")) << v.Err();
        v.Signal(SIGKILL);
        v.Wait();
    }
    SettingsClose();
    RegSetDatabasePath(home.File("config") + "/velka/settings.db");
    WriteSettingInt(u"ResetProbe", 9); // a value nothing writes again
    SettingsClose();
    RegShutdown();
    RegSetDatabasePath("");
    {
        CVelka v(home, "reset", {}, {"VELKA_HEADLESS_CRASH_DIALOG=reset", "VELKA_HEADLESS_YESNO=yes"});
        ASSERT_TRUE(v.WaitFor("velka: message loop")) << v.Err();
        EXPECT_NE(v.Err().find("dialog: 102: reset"), std::string::npos);
        EXPECT_NE(v.Err().find("question: При сбросе потеряются все настройки"), std::string::npos) << v.Err();
        v.Signal(SIGTERM);
        EXPECT_EQ(v.Wait(), 0);
    }
    SettingsClose();
    RegSetDatabasePath(home.File("config") + "/velka/settings.db");
    EXPECT_EQ(ReadSettingInt(u"ResetProbe", -1), -1);
    EXPECT_TRUE(ReadSettingBool(u"SafeExit", false));
    SettingsClose();
    RegShutdown();
    RegSetDatabasePath("");
}

TEST(HandOverRecord, RoundTripsAndRejectsMalformedBytes) {
    const std::string rec = EncodeHandOver(u"/home/юзер/карта.zem");
    std::u16string out;
    EXPECT_EQ(DecodeHandOver(rec.data(), rec.size(), &out), static_cast<long>(rec.size()));
    EXPECT_EQ(out, u"/home/юзер/карта.zem");
    // Incomplete records wait for more; wrong magic, odd or huge sizes are refused.
    for (std::size_t n = 0; n < rec.size(); ++n) EXPECT_EQ(DecodeHandOver(rec.data(), n, &out), 0) << n;
    std::string bad = rec;
    bad[0] = 'X';
    EXPECT_EQ(DecodeHandOver(bad.data(), bad.size(), &out), -1);
    bad = rec;
    bad[8] = 3; // odd byte count
    EXPECT_EQ(DecodeHandOver(bad.data(), bad.size(), &out), -1);
    bad = rec;
    bad[11] = 0x7F; // far beyond the limit
    EXPECT_EQ(DecodeHandOver(bad.data(), bad.size(), &out), -1);
    const std::string empty = EncodeHandOver(u"");
    EXPECT_EQ(DecodeHandOver(empty.data(), empty.size(), &out), 12);
    EXPECT_TRUE(out.empty());
    // A record without its zero stops at its end.
    std::string noZero = EncodeHandOver(u"ab");
    noZero.resize(noZero.size() - 2);
    noZero[8] = 4;
    EXPECT_EQ(DecodeHandOver(noZero.data(), noZero.size(), &out), 16);
    EXPECT_EQ(out, u"ab");
}

} // namespace
} // namespace velka
