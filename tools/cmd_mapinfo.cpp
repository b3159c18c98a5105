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

#include "mapdata/collation.h"
#include "mapdata/dump_context.h"
#include "mapdata/img_parser.h"
#include "mapdata/map_parser.h"
#include "mapdata/map_scales.h"
#include "mapdata/zem_parser.h"
#include "platform/text.h"
#include "tools/commands.h"

namespace velka::tool {

namespace {

using json = nlohmann::json;

LONG FromDegrees(double d) {
    return static_cast<LONG>(std::clamp(d * 1073741824.0 / 180.0, -2147483648.0, 2147483647.0));
}

constexpr CMapRect c_rcWorld = CDumpContext::c_rcWorld;

const char* KindName(int nKind) {
    return nKind == rkPoint ? "point" : nKind == rkPolyline ? "polyline" : "polygon";
}

} // namespace

std::unique_ptr<CMapParser> OpenForTool(const char* szCommand, const std::string& strPath) {
    CError error;
    std::unique_ptr<CMapParser> p = OpenMapFile(FromUtf8(strPath), c_dwOpenAll, &error);
    if (!p) {
        PrintError(error);
        std::fprintf(stderr, "velkatool %s: cannot open '%s' as a map\n", szCommand, strPath.c_str());
    }
    return p;
}

int RunCities(const Args& args) {
    std::string strPath, strPrefix;
    bool fPrefix = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--prefix" && i + 1 < args.size()) {
            strPrefix = args[++i];
            fPrefix = true;
        } else if (!args[i].empty() && args[i][0] == '-') {
            return UsageError("cities", "unknown option '" + args[i] + "'");
        } else if (strPath.empty()) {
            strPath = args[i];
        } else {
            return UsageError("cities", "expected one map file");
        }
    }
    if (strPath.empty()) return UsageError("cities", "expected a map file");
    std::unique_ptr<CMapParser> pMap = OpenForTool("cities", strPath);
    if (!pMap) return c_nExitFailed;
    std::unique_ptr<CCitiesQuery> pCities = pMap->CreateCitiesQuery();
    if (!pCities) {
        std::fprintf(stderr, "velkatool cities: '%s' has no cities index\n", strPath.c_str());
        return c_nExitFailed;
    }
    auto* pZem = dynamic_cast<CZemParser*>(pMap.get());
    const std::u16string prefix = FromUtf8(strPrefix);
    const CCollator& coll = CCollator::ForLcid(pCities->Locale());
    DWORD i = fPrefix ? pCities->FindFirst(prefix) : 0;
    std::size_t cUnreadable = 0;
    for (; i < pCities->Count(); ++i) {
        CCityItem item;
        if (!pCities->Item(i, item, c_dwCityPosition)) {
            ++cUnreadable;
            continue;
        }
        const std::u16string text(item.szText);
        if (fPrefix && coll.Compare(std::u16string_view(text).substr(0, prefix.size()), prefix) != 0) break;
        std::u16string name;
        if (!pZem || !pZem->CityName(i, name)) name = text.substr(0, text.find(u", "));
        json j{{"index", i}, {"name", ToUtf8(name)}, {"text", ToUtf8(text)}, {"has_position", item.fHasPosition}};
        j["lat"] = item.fHasPosition ? json(ToDegrees(item.y)) : json(nullptr);
        j["lon"] = item.fHasPosition ? json(ToDegrees(item.x)) : json(nullptr);
        std::printf("%s\n", j.dump().c_str());
    }
    if (cUnreadable) {
        std::fprintf(stderr, "velkatool cities: %zu cities could not be read\n", cUnreadable);
        return c_nExitFailed;
    }
    return c_nExitOk;
}

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
        // The search indexes: entry counts and sizes in bytes (each index
        // reaches to the next section or the end of the file).
        const CZemPai& pai = pZem->Pai();
        const DWORD dwCities = pZem->HeaderDword(zem::c_ofsCities);
        const DWORD dwObjects = pZem->HeaderDword(zem::c_ofsObjectsIndex);
        const DWORD dwRestrictions = pZem->RestrictionCount() ? pZem->RestrictionOffset() : pZem->FileSize();
        const DWORD dwCitiesEnd = dwObjects ? dwObjects : dwRestrictions;
        const DWORD cbCities = dwCities && dwCitiesEnd > dwCities ? dwCitiesEnd - dwCities : 0;
        const DWORD cbObjects = dwObjects && dwRestrictions > dwObjects ? dwRestrictions - dwObjects : 0;
        j["indexes"] = {{"countries", pai.cCountries},
                        {"regions", pai.cRegions},
                        {"cities", pai.cCities},
                        {"postcodes", pai.acNames[0]},
                        {"streets", pai.acNames[1]},
                        {"house_numbers", pai.acNames[2]},
                        {"indexed_objects", pZem->ObjectsIndex().cEntries},
                        {"cities_index_bytes", cbCities},
                        {"objects_index_bytes", cbObjects},
                        {"share_of_map", pZem->FileSize() ? double(cbCities + cbObjects) / pZem->FileSize() : 0.0}};
    } else {
        j["format"] = dynamic_cast<CImgParser*>(pMap.get()) ? "img" : "other";
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
