// What the GPS and clock pages of the options dialog show and store: the
// port list with its states, the protocol list, the log switches and the
// clock correction settings. The pages themselves are drawn by the user
// interface; these give them their rows and apply their changes.
#pragma once
#include <string>
#include <vector>

namespace velka {

// "OptionsPage" values of the two pages.
constexpr int c_nOptionsPageGps = 2;
constexpr int c_nOptionsPageClock = 5;
// Stores the index of the page just opened.
void NoteOptionsPageOpened(int nPage);

struct GpsPortRow {
    int nIndex = 0;
    std::u16string strName;   // "COM%d:", kept under the path the user sees
    std::u16string strPath;   // the device path ("/dev/ttyUSB0")
    std::u16string strStatus; // 2022 "Свободен" or 2023 "Не доступен"
    std::u16string strDevice; // the device's name, or "-"
    bool fEnabled = false;    // "Enable_COM%d"
};

struct GpsProtocolRow {
    std::u16string strId;
    std::u16string strName;
    bool fEnabled = false; // "Enable_Protocol_%s"
};

// One row per port index that names a device: a port a reader holds counts
// as free; another is opened to see; a missing device or an invalid name
// leaves it out.
std::vector<GpsPortRow> ListGpsPorts();
// One row per registered protocol, sorted by id.
std::vector<GpsProtocolRow> ListGpsProtocols();
// Writes every row's check box back to its setting.
void ApplyGpsPage(const std::vector<GpsPortRow>& ports, const std::vector<GpsProtocolRow>& protocols);

// The device column: for a USB adapter the maker and product its USB
// device reports (sysfs), else the name in /dev/serial/by-id that links to
// the device, else "-".
std::u16string SerialDeviceName(const std::string& strPath);
// The same with another sysfs root and by-id folder.
std::u16string SerialDeviceName(const std::string& strPath, const std::string& strSysRoot,
                                const std::string& strByIdDir);

// A port as users know it: its device path and the receiver's name
// ("/dev/ttyUSB0 — u-blox 7"), the path alone when the device has no name,
// "COM%d:" when the index names no device.
std::u16string ComPortDisplayName(int nIndex);

struct GpsLogOptions {
    bool fLogComPorts = false;            // "LogCOMPorts"
    bool fElevationOverEllipsoid = false; // "GPSElevationIsOverEllipsoid"
};
GpsLogOptions ReadGpsLogOptions();
void ApplyGpsLogOptions(const GpsLogOptions& options);

// gpsd beside the ports: "UseGpsd" (absent counts as on: gpsd is used
// when it answers) and "GpsdServer".
struct GpsdOptions {
    bool fEnabled = true;
    std::u16string strServer;
};
GpsdOptions ReadGpsdOptions();
// Writes what differs from before; a server that is not host:port leaves
// the setting as it was. True when anything was written.
bool ApplyGpsdOptions(const GpsdOptions& before, const GpsdOptions& now);

struct ClockOptions {
    bool fFixupClock = true;      // "FixupClock"
    bool fFixupGPSEpoch = true;   // "FixupGPSEpoch"
    bool fFixupTimezone = false;  // "FixupTimezone" (stored only)
    std::u16string strThreshold;  // "FixupClockThreshold", ms, as typed
};
ClockOptions ReadClockOptions();
// A threshold below 500 is stored as 500; text that is not a number
// leaves the setting as it was.
void ApplyClockOptions(const ClockOptions& options);

} // namespace velka
