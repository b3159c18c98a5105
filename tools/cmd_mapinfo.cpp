// velkatool info and dump: a map's header facts and its objects as JSON,
// for every registered map format. Objects are gathered by drawing the
// map into a paint context whose "screen" is the map itself (map units),
// so the output is exactly what the map draws at a level.
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "mapdata/dump_context.h"
#include "mapdata/map_parser.h"
#include "mapdata/map_scales.h"
#include "mapdata/zem_parser.h"
#include "platform/text.h"
#include "tools/commands.h"

namespace velka::tool {

namespace {

using json = nlohmann::json;

double ToDegrees(LONG v) { return v * 180.0 / 1073741824.0; }
LONG FromDegrees(double d) {
    return static_cast<LONG>(std::clamp(d * 1073741824.0 / 180.0, -2147483648.0, 2147483647.0));
}

constexpr CMapRect c_rcWorld = CDumpContext::c_rcWorld;

const char* KindName(int nKind) {
    return nKind == rkPoint ? "point" : nKind == rkPolyline ? "polyline" : "polygon";
}

std::unique_ptr<CMapParser> OpenForTool(const char* szCommand, const std::string& strPath) {
    CError error;
    std::unique_ptr<CMapParser> p = OpenMapFile(FromUtf8(strPath), c_dwOpenAll, &error);
    if (!p) {
        PrintError(error);
        std::fprintf(stderr, "velkatool %s: cannot open '%s' as a map\n", szCommand, strPath.c_str());
    }
    return p;
}

} // namespace

int RunInfo(const Args& args) {
    if (args.size() != 1) return UsageError("info", "expected one map file");
    std::unique_ptr<CMapParser> pMap = OpenForTool("info", args[0]);
    if (!pMap) return c_nExitFailed;
    WORD wYear = 0;
    BYTE btMonth = 0, btDay = 0;
    char16_t szName[64] = {}, szNotes[128] = {};
    pMap->GetInfo(&wYear, &btMonth, &btDay, szName, 64, szNotes, 128);
    char szDate[32];
    if (btDay)
        std::snprintf(szDate, sizeof szDate, "%04u-%02u-%02u", wYear, btMonth, btDay);
    else
        std::snprintf(szDate, sizeof szDate, "%04u-%02u", wYear, btMonth);
    json j;
    j["file"] = args[0];
    j["size"] = pMap->FileSize();
    j["name"] = ToUtf8(szName);
    j["date"] = szDate;
    j["notes"] = ToUtf8(szNotes);
    const CMapRect& rc = pMap->Bounds();
    j["bounds"] = {{"west", ToDegrees(rc.left)}, {"south", ToDegrees(rc.top)},
                   {"east", ToDegrees(rc.right)}, {"north", ToDegrees(rc.bottom)}};
    j["finest_scale"] = pMap->FinestScale();
    j["coarsest_scale"] = pMap->CoarsestScale();
    auto count = [&](int nCode) {
        CDumpContext dc(c_rcWorld, nCode);
        pMap->Draw(dc, dc);
        std::size_t c[3] = {};
        for (const auto& o : dc.m_objects) ++c[o.nKind];
        return json{{"point", c[rkPoint]}, {"polyline", c[rkPolyline]}, {"polygon", c[rkPolygon]}};
    };
    if (auto* pZem = dynamic_cast<CZemParser*>(pMap.get())) {
        j["format"] = "zem";
        char szSource[9] = {};
        std::memcpy(szSource, pZem->Data() + zem::c_ofsSource, 8);
        j["source"] = szSource;
        j["locale"] = pZem->Locale();
        j["road_nodes"] = pZem->NodeCount();
        j["turn_restrictions"] = pZem->RestrictionCount();
        json levels = json::array();
        for (std::size_t i = 0; i < pZem->LevelCount(); ++i) {
            const CZemLevel& l = pZem->Level(i);
            levels.push_back({{"bits", l.wBits}, {"blocks", l.cBlocks}, {"objects", count(l.wBits)}});
        }
        j["levels"] = levels;
        j["objects"] = levels.empty() ? count(31) : levels.back()["objects"];
    } else {
        j["format"] = "other";
        j["objects"] = count(31);
    }
    std::printf("%s\n", j.dump(2).c_str());
    return c_nExitOk;
}

int RunDump(const Args& args) {
    std::string strPath;
    int nLevel = -1;
    CMapRect rcView = c_rcWorld;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--level" && i + 1 < args.size()) {
            nLevel = std::atoi(args[++i].c_str());
        } else if (args[i] == "--bbox" && i + 1 < args.size()) {
            double w, s, e, n;
            if (std::sscanf(args[++i].c_str(), "%lf,%lf,%lf,%lf", &w, &s, &e, &n) != 4 || w > e || s > n)
                return UsageError("dump", "--bbox takes W,S,E,N in degrees");
            rcView = {FromDegrees(w), FromDegrees(s), FromDegrees(e), FromDegrees(n)};
        } else if (strPath.empty() && args[i][0] != '-') {
            strPath = args[i];
        } else {
            return UsageError("dump", "unknown argument '" + args[i] + "'");
        }
    }
    if (strPath.empty()) return UsageError("dump", "expected a map file");
    std::unique_ptr<CMapParser> pMap = OpenForTool("dump", strPath);
    if (!pMap) return c_nExitFailed;
    int nCode = 31;
    if (auto* pZem = dynamic_cast<CZemParser*>(pMap.get())) {
        if (nLevel >= static_cast<int>(pZem->LevelCount()))
            return UsageError("dump", "the map has " + std::to_string(pZem->LevelCount()) + " levels");
        if (nLevel >= 0) nCode = pZem->Level(static_cast<std::size_t>(nLevel)).wBits;
    } else if (nLevel >= 0) {
        nCode = c_anScaleBits[std::min<std::size_t>(static_cast<std::size_t>(nLevel), c_cScales - 1)];
    }
    CDumpContext dc(rcView, nCode);
    pMap->Draw(dc, dc);
    for (const auto& o : dc.m_objects) {
        json pts = json::array();
        for (const CMapPoint& p : o.points) pts.push_back({ToDegrees(p.lX), ToDegrees(p.lY)});
        json j{{"kind", KindName(o.nKind)}, {"type", o.wType}, {"label", ToUtf8(o.strLabel)}};
        if (o.nKind == rkPolyline) j["oneway"] = o.fOneWay;
        j["points"] = pts;
        std::printf("%s\n", j.dump().c_str());
    }
    for (const auto& m : dc.m_messages) std::fprintf(stderr, "velkatool dump: %s\n", ToUtf8(m).c_str());
    return c_nExitOk;
}

} // namespace velka::tool
