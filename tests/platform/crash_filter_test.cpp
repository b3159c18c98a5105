// Real faults caught by the crash filter in a child process: the report
// texts, the crash log's layout (UTF-16LE with its byte-order mark, one
// record per fault), the clean-up and the exit codes.
#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <regex>
#include <string>
#include <unistd.h>

#include "platform/crash_filter.h"
#include "platform/text.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

char g_szMarker[512];

void WriteMarker() {
    int fd = ::open(g_szMarker, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) {
        [[maybe_unused]] ssize_t n = ::write(fd, "cleaned", 7);
        ::close(fd);
    }
}

void Install(const std::string& strLog) {
    CCrashFilterConfig config;
    config.strLogPath = strLog;
    config.strCaption = u"VELKA";
    config.strDefaultText = u"Программный сбой.";
    config.strWndProcText = u"Программный сбой:\n%s";
    InstallCrashFilter(config);
}

volatile std::uintptr_t g_uAddress = 0x10;
volatile std::uintptr_t g_uNull = 0;
// The faults are the point: the sanitizers must not report them first.
#define VELKA_FAULT [[gnu::noinline, gnu::no_sanitize("address", "undefined")]]
VELKA_FAULT void WriteNull() {
    volatile int* p = reinterpret_cast<volatile int*>(g_uNull);
    *p = 1;
}
volatile int g_nZero = 0;
volatile int g_nDepthLimit = 1 << 30;
VELKA_FAULT int ReadAt() {
    volatile int* p = reinterpret_cast<volatile int*>(g_uAddress);
    return *p;
}
volatile int g_nResult = 0;
volatile int g_nHundred = 100;
VELKA_FAULT void Divide() { g_nResult = g_nHundred / g_nZero; }
VELKA_FAULT int Recurse(int n) {
    volatile char pad[256];
    pad[0] = static_cast<char>(n);
    if (n > g_nDepthLimit) return 0;
    return Recurse(n + 1) + pad[0];
}

// The log's text as UTF-8, after checking its byte-order mark.
std::string ReadLog(const std::string& strPath, bool* pfBom) {
    std::string raw = test::ReadFile(strPath);
    *pfBom = raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF &&
             static_cast<unsigned char>(raw[1]) == 0xFE;
    std::u16string text;
    for (std::size_t k = 2; k + 1 < raw.size(); k += 2)
        text += static_cast<char16_t>(static_cast<unsigned char>(raw[k]) | (static_cast<unsigned char>(raw[k + 1]) << 8));
    return ToUtf8(text);
}

TEST(CrashFilterDeathTest, WindowProcedureFaultIsLoggedShownCleanedUpAndEndsWithThree) {
    GTEST_FLAG_SET(death_test_style, "fast");
    test::TempDir dir;
    const std::string strLog = dir.File("velka_error_log.txt");
    std::snprintf(g_szMarker, sizeof g_szMarker, "%s", dir.File("marker").c_str());
    EXPECT_EXIT(
        {
            Install(strLog);
            SetCrashCleanup(&WriteMarker);
            CCrashContextScope scope(ccWndProc);
            WriteNull();
        },
        ::testing::ExitedWithCode(3), "error: Программный сбой:\nInstruction at \\[0x[0-9a-f]+\\] \nwrites to");
    EXPECT_EQ(test::ReadFile(g_szMarker), "cleaned");

    // A second fault appends a record; the mark stays the file's first bytes only.
    EXPECT_EXIT(
        {
            Install(strLog);
            CCrashContextScope scope(ccWndProc);
            ReadAt();
        },
        ::testing::ExitedWithCode(3), "reads from");

    bool fBom = false;
    const std::string log = ReadLog(strLog, &fBom);
    EXPECT_TRUE(fBom);
    const std::regex record(
        "-----------------------\r\n_WndProc_ShowException\r\n"
        "Instruction at \\[0x[0-9a-f]{8,}\\] \n(writes to|reads from) \ninvalid address \\[0x([0-9a-f]{8,})\\]\\. \n"
        "Handler: \\[0x[0-9a-f]{8,}\\]\\. \nModule: ([^\r\n]*) \n\\(Build 28\\.15 full\\)\r\n"
        "\\*\\* (\\d{4})-(\\d\\d)-(\\d\\d) (\\d\\d):(\\d\\d):(\\d\\d)\r\n");
    auto it = std::sregex_iterator(log.begin(), log.end(), record);
    std::vector<std::smatch> matches(it, std::sregex_iterator());
    ASSERT_EQ(matches.size(), 2u) << log;
    EXPECT_EQ(matches[0].position(0), 0);
    EXPECT_EQ(matches[1].position(0), matches[0].length(0)); // nothing between the records
    EXPECT_EQ(matches[0][1].str(), "writes to");
    EXPECT_EQ(matches[0][2].str(), "00000000");
    EXPECT_EQ(matches[1][1].str(), "reads from");
    EXPECT_EQ(matches[1][2].str(), "00000010");
    EXPECT_NE(matches[0][3].str().find("platform_tests"), std::string::npos) << matches[0][3].str();
    // The time is the local time of the fault.
    std::time_t now = std::time(nullptr);
    std::tm tmNow{};
    localtime_r(&now, &tmNow);
    EXPECT_EQ(std::stoi(matches[1][4].str()), tmNow.tm_year + 1900);
    EXPECT_EQ(std::stoi(matches[1][5].str()), tmNow.tm_mon + 1);
    const int nLogMinutes = std::stoi(matches[1][7].str()) * 60 + std::stoi(matches[1][8].str());
    EXPECT_LE(std::abs(nLogMinutes - (tmNow.tm_hour * 60 + tmNow.tm_min)), 2);
}

TEST(CrashFilterDeathTest, CausesAndContextsPickTheirTextsAndExitCodes) {
    GTEST_FLAG_SET(death_test_style, "fast");
    test::TempDir dir;
    const std::string strLog = dir.File("log.txt");
    // The entry point's fault: the report alone, and the entry point returns -1.
    EXPECT_EXIT(
        {
            Install(strLog);
            CCrashContextScope scope(ccMain);
            Divide();
        },
        ::testing::ExitedWithCode(255), "error: Instruction at \\[0x[0-9a-f]+\\] \ncaused divide by zero \\(integer\\)\\. \n");
    // Another thread's fault: the sentence, then the report.
    EXPECT_EXIT(
        {
            Install(strLog);
            ::raise(SIGILL);
        },
        ::testing::ExitedWithCode(3), "error: Программный сбой\\.\nInstruction at .*caused illegal instruction\\. ");
    EXPECT_EXIT(
        {
            Install(strLog);
            CCrashContextScope scope(ccWndProc);
            Recurse(0);
        },
        ::testing::ExitedWithCode(3), "caused stack overlow\\. ");
    bool fBom = false;
    const std::string log = ReadLog(strLog, &fBom);
    EXPECT_TRUE(fBom);
    EXPECT_NE(log.find("_Main_ShowException\r\nInstruction at"), std::string::npos);
    EXPECT_NE(log.find("_DefaultShowException\r\nInstruction at"), std::string::npos);
    EXPECT_NE(log.find("_WndProc_ShowException\r\nInstruction at"), std::string::npos);
}

TEST(CrashFilter, ReportFormatsAndUnreportedCodes) {
    char buf[512];
    CCrashInfo info;
    info.nSignal = SIGBUS;
    info.nCode = BUS_ADRALN;
    info.uFaultIp = 0x401000;
    info.uHandler = 0x7f0012345678;
    info.szModule = "/usr/bin/velka";
    ASSERT_GT(FormatCrashReport(info, buf, sizeof buf), 0u);
    EXPECT_STREQ(buf, "Instruction at [0x00401000] \ncaused datatype misalignment. \nHandler: [0x7f0012345678]. \n"
                      "Module: /usr/bin/velka \n(Build 28.15 full)");
    info.nSignal = SIGFPE;
    info.nCode = FPE_FLTDIV;
    FormatCrashReport(info, buf, sizeof buf);
    EXPECT_NE(std::string(buf).find("caused divide by zero (floating-point). "), std::string::npos);
    info.nCode = FPE_FLTRES; // inexact result: not reported, the signal takes its course
    EXPECT_EQ(FormatCrashReport(info, buf, sizeof buf), 0u);
    // A small buffer truncates but stays terminated.
    info.nSignal = SIGSEGV;
    info.nCode = SEGV_MAPERR;
    EXPECT_EQ(FormatCrashReport(info, buf, 10), 9u);
    EXPECT_STREQ(buf, "Instructi");
}

} // namespace
} // namespace velka
