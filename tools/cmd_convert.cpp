// velkatool convert: waypoints, routes and tracks from one exchange file
// into another, the formats chosen by the file extensions.
#include <cstdio>
#include <string>

#include "platform/mapped_file.h"
#include "platform/text.h"
#include "shell/message_boxes.h"
#include "shell/resources.h"
#include "shell/string_ids.h"
#include "tools/commands.h"
#include "waypoints/exchange_commands.h"
#include "waypoints/mapsource_records.h"

namespace velka::tool {
namespace {

enum What { wtAll, wtWaypoints, wtRoutes, wtTracks };

// The importer for a file: by extension, else the first whose probe accepts it.
const ExchangeFormat* InputFormat(const std::string& strPath, std::span<const BYTE> data) {
    for (const auto* pRegistry : {&RouteImporters(), &WaypointImporters()}) {
        const ExchangeFormat* p = FormatForExtension(*pRegistry, strPath);
        if (p && p->pfnProbe(data)) return p;
    }
    for (const auto* pRegistry : {&RouteImporters(), &WaypointImporters()})
        for (const ExchangeFormat& f : *pRegistry)
            if (f.pfnProbe(data)) return &f;
    return nullptr;
}

} // namespace

int RunConvert(const Args& args) {
    std::vector<std::string> files;
    What what = wtAll;
    for (const std::string& a : args) {
        if (a == "--waypoints") what = wtWaypoints;
        else if (a == "--routes") what = wtRoutes;
        else if (a == "--tracks") what = wtTracks;
        else if (!a.empty() && a[0] == '-') return UsageError("convert", "unknown option '" + a + "'");
        else files.push_back(a);
    }
    if (files.size() != 2) return UsageError("convert", "give an input and an output file");
    const std::string& strIn = files[0];
    const std::string& strOut = files[1];

    CMappedFile file;
    if (!file.Open(strIn)) {
        ShowOpenFileError(FromUtf8(strIn), file.LastError());
        return c_nExitFailed;
    }
    const ExchangeFormat* pIn = InputFormat(strIn, file.Bytes());
    if (!pIn) {
        ShowError(IDS_BAD_FILE_FORMAT, FromUtf8(strIn).c_str());
        return c_nExitFailed;
    }
    const bool fRoutesOut = what == wtAll || what == wtRoutes;
    const ExchangeFormat* pOut = nullptr;
    if (what == wtTracks) {
        pOut = FormatForExtension(TrackExporters(), strOut);
        if (!pOut) return UsageError("convert", "tracks are written to .gdb, .gpx or .mps files");
    } else {
        if (fRoutesOut) pOut = FormatForExtension(RouteExporters(), strOut);
        if (!pOut) pOut = FormatForExtension(WaypointExporters(), strOut);
        if (!pOut) return UsageError("convert", "unknown output format: " + strOut);
        if (what == wtRoutes && !pOut->fRoutes)
            return UsageError("convert", "routes are written to .gdb, .rte or .gpx files");
    }

    CWaypointStore store;
    std::vector<Track> tracks;
    ImportTarget target(store);
    target.m_fWaypointsOnly = what == wtWaypoints;
    target.m_pTracks = what == wtAll || what == wtTracks ? &tracks : nullptr;
    target.m_newer = nvAccept;
    // Tracks of the MapSource files are read whatever their version.
    if (what == wtTracks && ReadMapSourceTracks(file.Bytes(), tracks, &target.m_warnings)) {
    } else if (!pIn->pfnImport(file.Bytes(), target)) {
        for (const CError& warning : target.m_warnings) PrintError(warning);
        PrintError(target.m_error);
        if (!target.m_error.HasText())
            std::fprintf(stderr, "velkatool convert: %s: the file could not be read\n", strIn.c_str());
        return c_nExitFailed;
    }
    for (const CError& warning : target.m_warnings) PrintError(warning);
    file.Close();
    if (what == wtTracks) store.Clear();
    const bool fRoutes = fRoutesOut && pOut->fRoutes;
    const bool fTracks = what == wtAll || what == wtTracks;
    CError error;
    if (!pOut->pfnExport(strOut, store, fRoutes, fTracks ? &tracks : nullptr, error)) {
        PrintError(error);
        return c_nExitFailed;
    }
    const bool fTrackFormat = FormatForExtension(TrackExporters(), strOut) != nullptr;
    std::printf("%zu waypoints, %zu routes, %zu tracks written to %s\n",
                what == wtTracks ? 0 : store.LiveWaypointCount(), fRoutes ? store.LiveRouteCount() : 0,
                fTracks && fTrackFormat ? tracks.size() : 0, strOut.c_str());
    // What the input holds but the output format cannot: said, and the
    // conversion counts as incomplete.
    const std::size_t cRoutesLeft = what == wtAll && !fRoutes ? store.LiveRouteCount() : 0;
    const std::size_t cTracksLeft = fTracks && !fTrackFormat ? tracks.size() : 0;
    if (cRoutesLeft)
        std::fprintf(stderr, "velkatool convert: %zu routes not written: %s holds no routes\n", cRoutesLeft,
                     strOut.c_str());
    if (cTracksLeft)
        std::fprintf(stderr, "velkatool convert: %zu tracks not written: %s holds no tracks\n", cTracksLeft,
                     strOut.c_str());
    return cRoutesLeft || cTracksLeft ? c_nExitFailed : c_nExitOk;
}

} // namespace velka::tool
