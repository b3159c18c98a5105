// Exchange formats: the records they share (tracks for the command line
// and the track reader), what an import is asked to do and what it
// reports, and the four registries of waypoint and route importers and
// exporters that the file dialogs list.
#pragma once
#include <span>
#include <string>
#include <vector>

#include "platform/win_types.h"
#include "shell/error.h"
#include "waypoints/waypoint_store.h"

namespace velka {

struct TrackPoint {
    LONG lLat = 0; // semicircles
    LONG lLon = 0;
    bool fAltitude = false;
    bool fTime = false;
    bool fDepth = false;
    bool fTemperature = false;
    double dAltitude = 0;
    DWORD dwTime = 0; // seconds since 1970-01-01 UTC
    double dDepth = 0;
    double dTemperature = 0;
};

struct Track {
    std::u16string strName;
    std::vector<TrackPoint> points;
};

// How a newer database version than the tested ones is handled.
enum NewerVersionPolicy {
    nvAsk,    // message 2168 as a yes/no question through the target's m_fnAsk (the dialogs)
    nvAccept, // message 2168 as a warning, import goes on (command line)
    nvRefuse, // message 2168, nothing imported
};

struct ImportTarget {
    explicit ImportTarget(CWaypointStore& store) : m_store(store) {}
    CWaypointStore& m_store;
    bool m_fWaypointsOnly = false;          // read waypoint records only
    std::vector<Track>* m_pTracks = nullptr; // collect tracks when given
    NewerVersionPolicy m_newer = nvAsk;
    // Asks the user a yes/no question (nvAsk); without it the answer is no.
    AskFn m_fnAsk;
    // Out: why a file was refused, and the warnings of an import that went
    // on, for the caller to tell.
    CError m_error;
    std::vector<CError> m_warnings;
    // Puts what a file gave into the store (its order on top), counts the
    // route points' references and the totals, and hands over the tracks.
    void Commit(std::vector<std::unique_ptr<Waypoint>> waypoints,
                std::vector<std::unique_ptr<Route>> routes, std::vector<Track> tracks = {});
    // Out: what the import added.
    int m_cWaypoints = 0;
    int m_cRoutes = 0;
    int m_cTracks = 0;
};

// Importers add to the store only when the whole file was accepted; they
// return false with why a file was refused (version, datum) in the target's
// m_error.
using ProbeFn = bool (*)(std::span<const BYTE> data);
using ImportFn = bool (*)(std::span<const BYTE> data, ImportTarget& target);
// Exporters write the live waypoints (and routes when fRoutes, tracks when
// given); a file that cannot be written gives false and an error naming it.
using ExportFn = bool (*)(const std::string& strPath, const CWaypointStore& store, bool fRoutes,
                          const std::vector<Track>* pTracks, CError& error);

struct ExchangeFormat {
    UINT uFilterText;          // string id of the filter text
    const char16_t* szPattern; // "*.gdb"
    const char16_t* szExtension; // "gdb"
    ProbeFn pfnProbe;
    ImportFn pfnImport;        // importers
    ExportFn pfnExport;        // exporters
    bool fRoutes;              // true in the route registries
};

const std::vector<ExchangeFormat>& WaypointImporters();
const std::vector<ExchangeFormat>& WaypointExporters();
const std::vector<ExchangeFormat>& RouteImporters();
const std::vector<ExchangeFormat>& RouteExporters();
// The formats that hold tracks: their exporters write the tracks they are
// given beside the waypoints (and routes when asked).
const std::vector<ExchangeFormat>& TrackExporters();

// Time conversions of the MapSource files: seconds since 1970 and OLE dates.
DWORD OleToUnixSeconds(double dTime);
double UnixSecondsToOle(DWORD dwSeconds);

// Appends a point standing for a waypoint of the file and keeps the
// waypoint with the file's others (route files make one per point).
void AppendWaypointPoint(Route& route, std::unique_ptr<Waypoint> pWaypoint,
                         std::vector<std::unique_ptr<Waypoint>>& waypoints);

// A real number with a fixed count of decimals, independent of the locale.
std::string FormatFixed(double d, int nDecimals);

// The formats, one function set each.
bool ProbeGdb(std::span<const BYTE> data);
bool ImportGdb(std::span<const BYTE> data, ImportTarget& target);
bool ExportGdb(const std::string& strPath, const CWaypointStore& store, bool fRoutes,
               const std::vector<Track>* pTracks, CError& error);

bool ProbeMps(std::span<const BYTE> data);
bool ImportMps(std::span<const BYTE> data, ImportTarget& target);
bool ExportMps(const std::string& strPath, const CWaypointStore& store, bool fRoutes,
               const std::vector<Track>* pTracks, CError& error);

bool ProbeWpt(std::span<const BYTE> data);
bool ImportWpt(std::span<const BYTE> data, ImportTarget& target);
bool ExportWpt(const std::string& strPath, const CWaypointStore& store, bool fRoutes,
               const std::vector<Track>* pTracks, CError& error);

bool ProbeRte(std::span<const BYTE> data);
bool ImportRte(std::span<const BYTE> data, ImportTarget& target);
bool ExportRte(const std::string& strPath, const CWaypointStore& store, bool fRoutes,
               const std::vector<Track>* pTracks, CError& error);

bool ProbeGpx(std::span<const BYTE> data);
bool ImportGpx(std::span<const BYTE> data, ImportTarget& target);
bool ExportGpx(const std::string& strPath, const CWaypointStore& store, bool fRoutes,
               const std::vector<Track>* pTracks, CError& error);

// Export names: a name equal to an earlier one in list order gets " (N)"
// appended, N being the number of earlier ones with that name.
std::vector<std::u16string> UniqueExportNames(const std::vector<const std::u16string*>& names);

} // namespace velka
