#include "waypoints/exchange_commands.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>

#include "platform/mapped_file.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "shell/string_ids.h"

namespace velka {

const std::vector<ExchangeFormat>& WaypointImporters() {
    static const std::vector<ExchangeFormat> registry = {
        {IDS_FILE_TYPE_GDB, u"*.gdb", u"gdb", ProbeGdb, ImportGdb, nullptr, false},
        {IDS_FILE_TYPE_MPS, u"*.mps", u"mps", ProbeMps, ImportMps, nullptr, false},
        {IDS_FILE_TYPE_WPT, u"*.wpt", u"wpt", ProbeWpt, ImportWpt, nullptr, false},
        {IDS_GPX_FILTER, u"*.gpx", u"gpx", ProbeGpx, ImportGpx, nullptr, false},
    };
    return registry;
}

const std::vector<ExchangeFormat>& WaypointExporters() {
    static const std::vector<ExchangeFormat> registry = {
        {IDS_FILE_TYPE_GDB, u"*.gdb", u"gdb", ProbeGdb, nullptr, ExportGdb, false},
        {IDS_FILE_TYPE_MPS, u"*.mps", u"mps", ProbeMps, nullptr, ExportMps, false},
        {IDS_FILE_TYPE_WPT, u"*.wpt", u"wpt", ProbeWpt, nullptr, ExportWpt, false},
        {IDS_GPX_FILTER, u"*.gpx", u"gpx", ProbeGpx, nullptr, ExportGpx, false},
    };
    return registry;
}

const std::vector<ExchangeFormat>& RouteImporters() {
    static const std::vector<ExchangeFormat> registry = {
        {IDS_FILE_TYPE_GDB, u"*.gdb", u"gdb", ProbeGdb, ImportGdb, nullptr, true},
        {IDS_FILE_TYPE_RTE, u"*.rte", u"rte", ProbeRte, ImportRte, nullptr, true},
        {IDS_GPX_FILTER, u"*.gpx", u"gpx", ProbeGpx, ImportGpx, nullptr, true},
    };
    return registry;
}

const std::vector<ExchangeFormat>& RouteExporters() {
    static const std::vector<ExchangeFormat> registry = {
        {IDS_FILE_TYPE_GDB, u"*.gdb", u"gdb", ProbeGdb, nullptr, ExportGdb, true},
        {IDS_FILE_TYPE_RTE, u"*.rte", u"rte", ProbeRte, nullptr, ExportRte, true},
        {IDS_GPX_FILTER, u"*.gpx", u"gpx", ProbeGpx, nullptr, ExportGpx, true},
    };
    return registry;
}

const std::vector<ExchangeFormat>& TrackExporters() {
    static const std::vector<ExchangeFormat> registry = {
        {IDS_FILE_TYPE_GDB, u"*.gdb", u"gdb", ProbeGdb, nullptr, ExportGdb, false},
        {IDS_FILE_TYPE_MPS, u"*.mps", u"mps", ProbeMps, nullptr, ExportMps, false},
        {IDS_GPX_FILTER, u"*.gpx", u"gpx", ProbeGpx, nullptr, ExportGpx, false},
    };
    return registry;
}

namespace {

const std::vector<ExchangeFormat>& Registry(ExchangeKind kind, bool fImport) {
    if (kind == ekWaypoints) return fImport ? WaypointImporters() : WaypointExporters();
    return fImport ? RouteImporters() : RouteExporters();
}

} // namespace

std::vector<std::pair<std::u16string, std::u16string>> ExchangeFilters(ExchangeKind kind, bool fImport) {
    const auto& registry = Registry(kind, fImport);
    std::vector<std::pair<std::u16string, std::u16string>> filters;
    std::u16string strAll;
    for (const ExchangeFormat& f : registry) {
        if (!strAll.empty()) strAll += u';';
        strAll += f.szPattern;
    }
    filters.emplace_back(LoadStr(IDS_FILE_FILTER_ALL), strAll);
    for (const ExchangeFormat& f : registry) filters.emplace_back(LoadStr(f.uFilterText), f.szPattern);
    return filters;
}

ExchangeImport ImportExchangeFile(const std::string& strPath, ExchangeKind kind, CWaypointStore& store,
                                  const AskFn& fnAsk) {
    ExchangeImport result;
    const std::u16string strName = FromUtf8(strPath);
    CMappedFile file;
    if (!file.Open(strPath)) {
        result.error = FileError(ErrorCode::CannotOpenFile, strName, file.LastError());
        return result;
    }
    const auto& registry = Registry(kind, true);
    const auto it = std::find_if(registry.begin(), registry.end(),
                                 [&](const ExchangeFormat& f) { return f.pfnProbe(file.Bytes()); });
    if (it == registry.end()) {
        result.error = CError(ErrorCode::BadFileFormat, {strName});
        return result;
    }
    ImportTarget target(store);
    target.m_fWaypointsOnly = kind == ekWaypoints;
    target.m_newer = nvAsk;
    target.m_fnAsk = fnAsk;
    const bool fAccepted = it->pfnImport(file.Bytes(), target);
    result.warnings = std::move(target.m_warnings);
    if (!fAccepted) {
        result.error = target.m_error ? target.m_error : CError(ErrorCode::BadFileFormat, {strName});
        return result;
    }
    result.cWaypoints = target.m_cWaypoints;
    result.cRoutes = target.m_cRoutes;
    if (result.Imported()) result.saveError = store.Save();
    return result;
}

std::u16string ProposedExportName(ExchangeKind kind) {
    return LoadStr(kind == ekWaypoints ? IDS_EXPORTED_WAYPOINTS : IDS_EXPORTED_ROUTES);
}

int LastExportFormat(ExchangeKind kind) {
    const int n = ReadSettingInt(kind == ekWaypoints ? u"WptExportFormat" : u"RteExportFormat", 0);
    const int c = static_cast<int>(Registry(kind, false).size());
    return n >= 0 && n < c ? n : 0;
}

CError ExportExchangeFile(const std::string& strPath, ExchangeKind kind, int iFormat,
                          const CWaypointStore& store) {
    const auto& registry = Registry(kind, false);
    iFormat = std::clamp(iFormat, 0, static_cast<int>(registry.size()) - 1);
    // The file's name and its contents agree: a name ending in another
    // format's extension gets that format; a name without a known one gets
    // the chosen format's extension.
    std::string strFile = strPath;
    if (const ExchangeFormat* pNamed = FormatForExtension(registry, strFile))
        iFormat = static_cast<int>(pNamed - registry.data());
    else
        strFile += "." + ToUtf8(registry[static_cast<std::size_t>(iFormat)].szExtension);
    WriteSettingInt(kind == ekWaypoints ? u"WptExportFormat" : u"RteExportFormat", iFormat);
    const ExchangeFormat& format = registry[static_cast<std::size_t>(iFormat)];
    CError error;
    if (!format.pfnExport(strFile, store, format.fRoutes, nullptr, error) && !error)
        error = FileError(ErrorCode::CannotWriteFile, FromUtf8(strFile), EIO);
    return error;
}

void ImportTarget::Commit(std::vector<std::unique_ptr<Waypoint>> waypoints,
                          std::vector<std::unique_ptr<Route>> routes, std::vector<Track> tracks) {
    for (const auto& route : routes)
        for (const RoutePoint& pt : route->points)
            if (pt.pWaypoint && pt.pWaypoint->cRefs < 255) ++pt.pWaypoint->cRefs;
    m_cWaypoints += static_cast<int>(waypoints.size());
    m_cRoutes += static_cast<int>(routes.size());
    m_store.AddWaypointsInOrder(std::move(waypoints));
    m_store.AddRoutesInOrder(std::move(routes));
    if (m_pTracks) {
        m_cTracks += static_cast<int>(tracks.size());
        for (Track& t : tracks) m_pTracks->push_back(std::move(t));
    }
}

void AppendWaypointPoint(Route& route, std::unique_ptr<Waypoint> pWaypoint,
                         std::vector<std::unique_ptr<Waypoint>>& waypoints) {
    RoutePoint pt;
    pt.pWaypoint = pWaypoint.get();
    pt.lX = pWaypoint->lX;
    pt.lY = pWaypoint->lY;
    route.points.push_back(std::move(pt));
    waypoints.push_back(std::move(pWaypoint));
}

std::string FormatFixed(double d, int nDecimals) {
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed, nDecimals);
    return res.ec == std::errc() ? std::string(buf, res.ptr) : std::string("0");
}

const ExchangeFormat* FormatForExtension(const std::vector<ExchangeFormat>& registry,
                                         const std::string& strPath) {
    const std::u16string strExt = FromUtf8(std::filesystem::path(strPath).extension().string());
    for (const ExchangeFormat& f : registry)
        if (strExt.size() > 1 && EqualNoCaseAscii(strExt.substr(1), f.szExtension)) return &f;
    return nullptr;
}

} // namespace velka
