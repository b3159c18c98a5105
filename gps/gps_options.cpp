#include "gps/gps_options.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>

#include "gps/com_port.h"
#include "gps/gps_protocol.h"
#include "gps/positioning.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/settings.h"

namespace velka {

void NoteOptionsPageOpened(int nPage) { WriteSettingInt(u"OptionsPage", nPage); }

std::u16string SerialDeviceName(const std::string& strPath) {
    char szReal[4096];
    std::string real = ::realpath(strPath.c_str(), szReal) ? std::string(szReal) : strPath;
    std::string base = real.substr(real.rfind('/') + 1);
    std::string sys = "/sys/class/tty/" + base + "/device";
    // A USB adapter names its product on the USB device, one or two levels
    // above the tty's interface.
    for (const char* szRel : {"/../product", "/../../product", "/product", "/interface"}) {
        std::ifstream in(sys + szRel);
        std::string line;
        if (std::getline(in, line) && !line.empty()) return FromUtf8(line);
    }
    return u"-";
}

std::vector<GpsPortRow> ListGpsPorts() {
    std::vector<GpsPortRow> rows;
    for (int i = c_cMinComPort; i <= c_cMaxComPort; ++i) {
        GpsPortRow row;
        row.nIndex = i;
        row.strName = FormatW(u"COM%d:", i);
        std::string path = ComPortDevicePath(i);
        if (IsPortInUse(i)) {
            row.strStatus = LoadStr(2022);
        } else {
            CComPort port;
            if (port.Open(i, GENERIC_READ_ | GENERIC_WRITE_)) {
                row.strStatus = LoadStr(2022);
            } else if (port.LastError() == ERROR_FILE_NOT_FOUND_ || port.LastError() == ERROR_INVALID_NAME_) {
                continue;
            } else {
                row.strStatus = LoadStr(2023);
            }
        }
        row.strDevice = path.empty() ? u"-" : SerialDeviceName(path);
        row.fEnabled = IsPortEnabled(i);
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<GpsProtocolRow> ListGpsProtocols() {
    std::vector<GpsProtocolRow> rows;
    for (GpsProtocolInfo* p = GpsProtocols(); p; p = p->pNext)
        rows.push_back({p->szId, p->DisplayName(), p->IsEnabled()});
    std::sort(rows.begin(), rows.end(), [](const GpsProtocolRow& a, const GpsProtocolRow& b) { return a.strId < b.strId; });
    return rows;
}

void ApplyGpsPage(const std::vector<GpsPortRow>& ports, const std::vector<GpsProtocolRow>& protocols) {
    for (const GpsPortRow& r : ports)
        if (r.nIndex >= c_cMinComPort && r.nIndex <= c_cMaxComPort) SetPortEnabled(r.nIndex, r.fEnabled);
    for (const GpsProtocolRow& r : protocols)
        WriteSettingBool(FormatW(u"Enable_Protocol_%s", r.strId.c_str()).c_str(), r.fEnabled);
}

GpsLogOptions ReadGpsLogOptions() {
    GpsLogOptions o;
    o.fLogComPorts = ReadSettingBool(u"LogCOMPorts", false);
    o.fElevationOverEllipsoid = ReadSettingBool(u"GPSElevationIsOverEllipsoid", false);
    return o;
}

void ApplyGpsLogOptions(const GpsLogOptions& o) {
    WriteSettingBool(u"LogCOMPorts", o.fLogComPorts);
    WriteSettingBool(u"GPSElevationIsOverEllipsoid", o.fElevationOverEllipsoid);
}

ClockOptions ReadClockOptions() {
    ClockOptions o;
    o.fFixupClock = ReadSettingBool(u"FixupClock", true);
    o.fFixupGPSEpoch = ReadSettingBool(u"FixupGPSEpoch", true);
    o.fFixupTimezone = ReadSettingBool(u"FixupTimezone", false);
    o.strThreshold = FormatW(u"%d", ReadSettingInt(u"FixupClockThreshold", 1500));
    return o;
}

void ApplyClockOptions(const ClockOptions& o) {
    WriteSettingBool(u"FixupClock", o.fFixupClock);
    WriteSettingBool(u"FixupGPSEpoch", o.fFixupGPSEpoch);
    WriteSettingBool(u"FixupTimezone", o.fFixupTimezone);
    std::string text = ToUtf8(o.strThreshold);
    std::size_t b = text.find_first_not_of(" \t"), e = text.find_last_not_of(" \t");
    if (b == std::string::npos) return;
    text = text.substr(b, e - b + 1);
    char* pEnd = nullptr;
    errno = 0;
    long n = std::strtol(text.c_str(), &pEnd, 10);
    if (pEnd == text.c_str() || *pEnd != '\0' || errno == ERANGE || n > INT_MAX) return;
    n = std::clamp<long>(n, 500, INT_MAX);
    WriteSettingInt(u"FixupClockThreshold", static_cast<int>(n));
}

} // namespace velka
