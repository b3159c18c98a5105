// The protocol framework: registration order, the gps log's exact lines,
// and the error names of the port.
#include <filesystem>
#include <string>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "gps/com_port.h"
#include "gps/gps_log.h"
#include "gps/gps_options.h"
#include "gps/positioning.h"
#include "gps/gps_protocol.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

std::u16string ReadLog(const std::string& path) {
    std::string bytes = test::ReadFile(path);
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return text;
}

TEST(GpsProtocols, RegisteredInProbingOrder) {
    test::ScopedSettings settings;
    std::vector<std::u16string> ids;
    for (GpsProtocolInfo* p = GpsProtocols(); p; p = p->pNext) ids.push_back(p->szId);
    ASSERT_EQ(ids, (std::vector<std::u16string>{u"sirf100", u"nmea9600", u"nmea", u"garmin"}));
    GpsProtocolInfo* pSiRF = GpsProtocols();
    EXPECT_FALSE(pSiRF->IsEnabled());
    EXPECT_EQ(pSiRF->DisplayName(), u"SiRF binary (4800 bps)");
    GpsProtocolInfo* p9600 = pSiRF->pNext;
    EXPECT_FALSE(p9600->IsEnabled());
    EXPECT_TRUE(p9600->pNext->IsEnabled());
    EXPECT_TRUE(p9600->pNext->pNext->IsEnabled());
    EXPECT_EQ(p9600->pNext->pNext->DisplayName(), u"Протокол Garmin");
    EXPECT_EQ(p9600->DisplayName(), u"NMEA-0183 (9600 bps)");
    EXPECT_EQ(p9600->pNext->DisplayName(), LoadStr(2241));
    p9600->SetEnabled(true);
    EXPECT_EQ(ReadSettingInt(u"Enable_Protocol_nmea9600", -1), 1);
}

TEST(GpsLogTest, LinesOfTheLog) {
    test::ScopedSettings settings;
    test::TempDir dir;
    std::string path = dir.File("state/velka/gps_log.txt");
    SetGpsLogPath(path);
    GpsLog(u"off: %d", 1);
    EXPECT_FALSE(std::filesystem::exists(path)) << "no file while LogCOMPorts is off";

    WriteSettingBool(u"LogCOMPorts", true);
    DWORD dwTick = 123456;
    SetTickSourceForTest([&] { return dwTick; });
    CComPort port; // never opened: its name is empty
    const BYTE five[] = {'$', 'G', 'P', '\r', '\n'};
    GpsLogData(&port, 5, five, false);
    const BYTE sent[] = {0x10, 0x0A, 0x02, 0x31, 0x80, 0xFF};
    GpsLogData(&port, 6, sent, true);
    SetTickSourceForTest({});

    std::string bytes = test::ReadFile(path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(bytes[1]), 0xFE);
    std::u16string text = ReadLog(path).substr(1);
    EXPECT_EQ(text.substr(0, 25), u"-----------------------\r\n");
    SYSTEMTIME st = GetLocalTime();
    EXPECT_NE(text.find(u"@3456> Version: 1.1.28.15\r\n"), std::u16string::npos);
    EXPECT_NE(text.find(FormatW(u"@3456> Today: %d-%d-%02d\r\n", st.wYear, st.wMonth, st.wDay)),
              std::u16string::npos);
    EXPECT_NE(text.find(u"@3456>  received 0005 bytes: -->$GP\\r\\n<--\r\n"), std::u16string::npos);
    EXPECT_NE(text.find(u" sent     0006 bytes: -->\\x10\\n\\x021\\x80\\xFF<--\r\n"), std::u16string::npos);
    // Every line starts with the local time.
    std::size_t nl = text.find(u"\r\n", 25);
    std::u16string first = text.substr(25, nl - 25);
    ASSERT_GE(first.size(), 15u);
    EXPECT_EQ(first[2], u':');
    EXPECT_EQ(first[5], u':');
    EXPECT_EQ(first[8], u'@');

    // Opened again (a new process): appended, no second mark.
    SetGpsLogPath(path);
    GpsLog(u"again %s", u"x");
    std::u16string again = ReadLog(path);
    EXPECT_EQ(again.find(u"\xFEFF", 1), std::u16string::npos);
    EXPECT_EQ(again.rfind(u"-----------------------\r\n"), again.find(u"-----------------------\r\n", 40));
    EXPECT_NE(again.find(u"> again x\r\n"), std::u16string::npos);
    SetGpsLogPath("");
}

TEST(GpsLogTest, PrivateAndCappedByRotation) {
    test::ScopedSettings settings;
    test::TempDir dir;
    std::string path = dir.File("state/velka/gps_log.txt");
    SetGpsLogPath(path);
    WriteSettingBool(u"LogCOMPorts", true);
    SetGpsLogLimitForTest(64 * 1024);
    // A dead port polled 50 times a second for a while.
    for (int i = 0; i < 5000; ++i) GpsLog(u"ClearCommError() failed on %s (error code %d).", u"COM3:", 5);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_LE(st.st_size, 64 * 1024) << "capped";
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "raw positions are the user's alone";
    ASSERT_EQ(::stat((path + ".1").c_str(), &st), 0) << "the older part moved aside";
    EXPECT_LE(st.st_size, 64 * 1024);
    ASSERT_EQ(::stat(dir.File("state/velka").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // The new file starts with its byte-order mark.
    std::string bytes = test::ReadFile(path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), 0xFF);
    EXPECT_NE(ReadLog(path).find(u"ClearCommError() failed on COM3:"), std::u16string::npos);
    SetGpsLogLimitForTest(4u << 20);
    SetGpsLogPath("");
}

TEST(GpsLogTest, EscapesAndErrorNames) {
    const BYTE all[] = {0x00, 0x1F, 0x20, 'z', 0x7F, 0x80, '\n', '\r'};
    EXPECT_EQ(EscapeGpsLogBytes(all, 8), u"\\x00\\x1F z\x7F\\x80\\n\\r");
    EXPECT_EQ(std::u16string(CommErrorName(3)), u"<unknown>");
    EXPECT_EQ(std::u16string(CommErrorName(1)), u"RXOVER");
    EXPECT_EQ(std::u16string(CommErrorName(8)), u"FRAME");
    EXPECT_EQ(std::u16string(CommErrorName(32768)), u"MODE");
}

TEST(ComPortTest, DeviceMappingAndOpenErrors) {
    test::ScopedSettings settings;
    test::TempDir dir;
    WriteSettingString(u"Device_COM7", u"/nonexistent/ttyX");
    EXPECT_EQ(ComPortDevicePath(7), "/nonexistent/ttyX");
    CComPort port;
    EXPECT_FALSE(port.Open(7, GENERIC_READ_ | GENERIC_WRITE_));
    EXPECT_EQ(port.LastError(), ERROR_FILE_NOT_FOUND_);
    EXPECT_EQ(std::u16string(port.Name()), u"COM7:");
    // A plain file is not a port.
    std::string file = dir.File("plain");
    std::FILE* f = std::fopen(file.c_str(), "wb");
    std::fclose(f);
    WriteSettingString(u"Device_COM8", FromUtf8(file).c_str());
    EXPECT_FALSE(port.Open(8, GENERIC_READ_));
    EXPECT_FALSE(port.IsValid());
    // The process-wide list replaces the mapping.
    SetComPortDeviceList({"/dev/a", "/dev/b"});
    EXPECT_EQ(ComPortDevicePath(1), "/dev/b");
    EXPECT_EQ(ComPortDevicePath(7), "");
    SetComPortDeviceList({});
    EXPECT_EQ(ComPortDevicePath(7), "/nonexistent/ttyX");
}

} // namespace
} // namespace velka

namespace velka {
namespace {

TEST(GpsOptions, ClockPageThreshold) {
    test::ScopedSettings settings;
    ClockOptions o = ReadClockOptions();
    EXPECT_EQ(o.strThreshold, u"1500");
    EXPECT_TRUE(o.fFixupClock);
    o.strThreshold = u"120";
    o.fFixupTimezone = true;
    ApplyClockOptions(o);
    EXPECT_EQ(ReadSettingInt(u"FixupClockThreshold", 0), 500) << "no value below 500";
    EXPECT_TRUE(ReadSettingBool(u"FixupTimezone", false));
    o.strThreshold = u" 2500 ";
    ApplyClockOptions(o);
    EXPECT_EQ(ReadSettingInt(u"FixupClockThreshold", 0), 2500);
    for (const char16_t* sz : {u"abc", u"12x", u"", u"99999999999999"}) {
        o.strThreshold = sz;
        ApplyClockOptions(o);
        EXPECT_EQ(ReadSettingInt(u"FixupClockThreshold", 0), 2500) << ToUtf8(sz);
    }
    NoteOptionsPageOpened(c_nOptionsPageClock);
    EXPECT_EQ(ReadSettingInt(u"OptionsPage", 0), 5);
}

TEST(GpsOptions, PortAndProtocolRows) {
    test::ScopedSettings settings;
    test::TempDir dir;
    std::string plain = dir.File("plain");
    std::FILE* f = std::fopen(plain.c_str(), "wb");
    std::fclose(f);
    // The pseudo-terminal multiplexer is a terminal that opens; a missing device and a file that is
    // no terminal are left out.
    SetComPortDeviceList({"/dev/ptmx", "/nonexistent", plain});
    std::vector<GpsPortRow> ports = ListGpsPorts();
    SetComPortDeviceList({});
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].strName, u"COM0:");
    EXPECT_EQ(ports[0].strStatus, LoadStr(2022));
    EXPECT_TRUE(ports[0].fEnabled);
    std::vector<GpsProtocolRow> protocols = ListGpsProtocols();
    ASSERT_EQ(protocols.size(), 4u);
    EXPECT_EQ(protocols[0].strId, u"garmin");
    EXPECT_EQ(protocols[1].strId, u"nmea");
    EXPECT_EQ(protocols[3].strId, u"sirf100");
    EXPECT_FALSE(protocols[3].fEnabled);
    ports[0].fEnabled = false;
    protocols[1].fEnabled = false;
    ApplyGpsPage(ports, protocols);
    EXPECT_FALSE(IsPortEnabled(0));
    EXPECT_FALSE(ReadSettingBool(u"Enable_Protocol_nmea", true));
}

} // namespace
} // namespace velka
