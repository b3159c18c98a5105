#include "gps/gps_options.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "gps/com_port.h"
#include "gps/gps_protocol.h"
#include "gps/positioning.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "shell/string_ids.h"

namespace velka {

void NoteOptionsPageOpened(int nPage) { WriteSettingInt(u"OptionsPage", nPage); }

namespace {

// The first line of a small text file (sysfs attributes), at most 256 bytes.
std::string FirstLine(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::string line;
    char c = 0;
    while (line.size() < 256 && in.get(c) && c != '\n') line += c;
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
    return line;
}

std::filesystem::path Canonical(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::path real = std::filesystem::canonical(path, ec);
    return ec ? path : real;
}

// Maker and product of the USB device above a tty: the serial port's own
// device, its interface and the USB device are walked upwards; the first
// with a product name gives it, else the interface's name.
std::string UsbDeviceName(const std::filesystem::path& device, const std::filesystem::path& sysDevices) {
    std::error_code ec;
    if (!std::filesystem::exists(device, ec)) return {};
    std::string strInterface;
    std::filesystem::path dir = Canonical(device);
    for (int i = 0; i < 4 && !dir.empty() && dir != sysDevices && dir != dir.root_path(); ++i) {
        std::string product = FirstLine(dir / "product");
        if (!product.empty()) {
            std::string maker = FirstLine(dir / "manufacturer");
            if (maker.empty() || product.compare(0, maker.size(), maker) == 0) return product;
            return maker + " " + product;
        }
        if (strInterface.empty()) strInterface = FirstLine(dir / "interface");
        dir = dir.parent_path();
    }
    return strInterface;
}

// "usb-u-blox_AG_GPS_receiver-if00" -> "u-blox AG GPS receiver".
std::string ReadableById(std::string name) {
    for (const char* szBus : {"usb-", "pci-", "platform-"}) {
        const std::size_t n = std::strlen(szBus);
        if (name.compare(0, n, szBus) == 0) {
            name.erase(0, n);
            break;
        }
    }
    const std::size_t if_ = name.rfind("-if");
    if (if_ != std::string::npos && if_ > 0) name.erase(if_);
    std::replace(name.begin(), name.end(), '_', ' ');
    return name;
}

} // namespace

std::u16string SerialDeviceName(const std::string& strPath) {
    return SerialDeviceName(strPath, "/sys", "/dev/serial/by-id");
}

std::u16string SerialDeviceName(const std::string& strPath, const std::string& strSysRoot,
                                const std::string& strByIdDir) {
    namespace fs = std::filesystem;
    const fs::path real = Canonical(strPath);
    const std::string base = real.filename().string();
    if (!base.empty()) {
        const fs::path sys(strSysRoot);
        std::string name = UsbDeviceName(sys / "class" / "tty" / base / "device", Canonical(sys / "devices"));
        if (!name.empty()) return FromUtf8(name);
    }
    std::error_code ec;
    for (fs::directory_iterator it(strByIdDir, ec), end; !ec && it != end; it.increment(ec)) {
        if (Canonical(it->path()) == real) {
            std::string name = ReadableById(it->path().filename().string());
            if (!name.empty()) return FromUtf8(name);
        }
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
            row.strStatus = LoadStr(IDS_PORT_FREE);
        } else {
            CComPort port;
            if (port.Open(i, GENERIC_READ_ | GENERIC_WRITE_)) {
                row.strStatus = LoadStr(IDS_PORT_FREE);
            } else if (port.LastError() == ERROR_FILE_NOT_FOUND_ || port.LastError() == ERROR_INVALID_NAME_) {
                continue;
            } else {
                row.strStatus = LoadStr(IDS_PORT_UNAVAILABLE);
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
