// velkatool address, objects, nearest and typefilter: the searches of the
// find dialogs on the command line, one JSON line per item.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

#include "mapdata/map_parser.h"
#include "platform/text.h"
#include "search/address_search.h"
#include "search/nearest_search.h"
#include "search/objects_search.h"
#include "search/type_filter_set.h"
#include "search/type_filter_table.h"
#include "shell/resources.h"
#include "tools/commands.h"
#ifdef VELKA_HAVE_RENDER
#include "mapview/styles.h"
#endif

namespace velka::tool {

namespace {

using json = nlohmann::json;

const char* KindName(int nKind) {
    return nKind == rkPoint ? "point" : nKind == rkPolyline ? "polyline" : "polygon";
}

std::string CityOf(const CFindItem& item) {
    const std::u16string_view s(item.szSettlement);
    return ToUtf8(std::u16string(s.substr(0, s.find(u", "))));
}

json ItemJson(const CFindItem& item) {
    return json{{"name", ToUtf8(item.szName)},
                {"city", CityOf(item)},
                {"lat", ToDegrees(item.ptRepresentative.lY)},
                {"lon", ToDegrees(item.ptRepresentative.lX)},
                {"kind", KindName(item.nKind)},
                {"type", item.wType}};
}

// Options of the form --name VALUE; the one positional argument is the map.
struct Options {
    std::string strMap;
    std::map<std::string, std::string> values;
};

// Fills o from args; a usage message when an option is unknown or lacks
// its value, or the map is missing.
bool ParseOptions(const char* szCommand, const Args& args, std::initializer_list<const char*> names, Options& o,
                  std::string& strError) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            const bool fKnown = std::any_of(names.begin(), names.end(), [&](const char* n) { return a == n; });
            if (!fKnown) {
                strError = "unknown option '" + a + "'";
                return false;
            }
            if (i + 1 >= args.size()) {
                strError = "option '" + a + "' needs a value";
                return false;
            }
            o.values[a] = args[++i];
        } else if (o.strMap.empty()) {
            o.strMap = a;
        } else {
            strError = "expected one map file";
            return false;
        }
    }
    if (o.strMap.empty()) strError = "expected a map file";
    (void)szCommand;
    return !o.strMap.empty();
}

bool ParseCookie(const std::string& s, std::size_t& cCookie) {
    char* pEnd = nullptr;
    errno = 0;
    const long long n = std::strtoll(s.c_str(), &pEnd, 10);
    if (s.empty() || *pEnd || errno || !IsValidTypeCookie(n)) return false;
    cCookie = static_cast<std::size_t>(n);
    return true;
}

// Prints the message of a status that has one; true when the search ran.
bool Report(const char* szCommand, SearchStatus status) {
    if (const UINT id = SearchStatusMessage(status))
        std::fprintf(stderr, "velkatool %s: %s\n", szCommand, ToUtf8(LoadStr(id)).c_str());
    return status == SearchStatus::Ok || status == SearchStatus::NothingFound;
}

// The cities a --city text names; false (with a message) when none.
bool ResolveCities(const char* szCommand, CMapParser& map, const Options& o, std::vector<int>& cities) {
    auto it = o.values.find("--city");
    if (it == o.values.end()) {
        cities = {c_nAnyCity};
        return true;
    }
    if (!map.HasCitiesIndex()) return Report(szCommand, SearchStatus::NoCitiesIndex) && false;
    cities = FindCities(map, FromUtf8(it->second));
    if (cities.empty()) std::fprintf(stderr, "velkatool %s: no city named '%s'\n", szCommand, it->second.c_str());
    return !cities.empty();
}

const char* RankName(MatchRank r) {
    switch (r) {
    case MatchRank::Exact: return "exact";
    case MatchRank::Prefix: return "prefix";
    case MatchRank::Contains: return "contains";
    case MatchRank::Suggestion: return "suggestion";
    }
    return "";
}

} // namespace

int RunAddress(const Args& args) {
    Options o;
    std::string err;
    if (!ParseOptions("address", args, {"--city", "--zip", "--street", "--house"}, o, err))
        return UsageError("address", err);
    std::unique_ptr<CMapParser> pMap = OpenForTool("address", o.strMap);
    if (!pMap) return c_nExitFailed;
    if (!pMap->HasCitiesIndex()) return Report("address", SearchStatus::NoCitiesIndex) ? c_nExitOk : c_nExitFailed;
    std::vector<int> cities;
    if (!ResolveCities("address", *pMap, o, cities)) return c_nExitFailed;
    CAddressRequest req;
    req.strPostcode = FromUtf8(o.values["--zip"]);
    req.strStreet = FromUtf8(o.values["--street"]);
    req.strHouse = FromUtf8(o.values["--house"]);
    std::vector<CAddressHit> hits;
    for (int nCity : cities) {
        req.nCity = nCity;
        CAddressResult r = FindAddresses(*pMap, req);
        if (r.status != SearchStatus::Ok && r.status != SearchStatus::NothingFound) {
            Report("address", r.status);
            return c_nExitFailed;
        }
        hits.insert(hits.end(), r.hits.begin(), r.hits.end());
    }
    std::stable_sort(hits.begin(), hits.end(), [](const CAddressHit& a, const CAddressHit& b) { return a.rank < b.rank; });
    if (hits.empty()) Report("address", SearchStatus::NothingFound);
    for (const CAddressHit& h : hits) {
        json j = ItemJson(h.item);
        j["street"] = ToUtf8(h.item.szStreet);
        j["house"] = ToUtf8(h.item.szHouse);
        j["zip"] = ToUtf8(h.item.szPostcode);
        j["match"] = RankName(h.rank);
        std::printf("%s\n", j.dump().c_str());
    }
    return c_nExitOk;
}

int RunObjects(const Args& args) {
    Options o;
    std::string err;
    if (!ParseOptions("objects", args, {"--city", "--filter", "--prefix"}, o, err)) return UsageError("objects", err);
    CObjectsRequest req;
    if (o.values.count("--filter") && !ParseCookie(o.values["--filter"], req.cTypeCookie))
        return UsageError("objects", "bad type filter '" + o.values["--filter"] + "' (0 to 420)");
    std::unique_ptr<CMapParser> pMap = OpenForTool("objects", o.strMap);
    if (!pMap) return c_nExitFailed;
    if (!pMap->HasObjectsIndex()) return Report("objects", SearchStatus::NoObjectsIndex) ? c_nExitOk : c_nExitFailed;
    std::vector<int> cities;
    if (!ResolveCities("objects", *pMap, o, cities)) return c_nExitFailed;
    req.strPrefix = FromUtf8(o.values["--prefix"]);
    std::size_t cPrinted = 0;
    for (int nCity : cities) {
        req.nCity = nCity;
        const CObjectsResult r = FindObjects(*pMap, req);
        if (r.status != SearchStatus::Ok && r.status != SearchStatus::NothingFound) {
            Report("objects", r.status);
            return c_nExitFailed;
        }
        for (const CFindItem& item : r.items) std::printf("%s\n", ItemJson(item).dump().c_str());
        cPrinted += r.items.size();
    }
    if (!cPrinted) Report("objects", SearchStatus::NothingFound);
    return c_nExitOk;
}

int RunNearest(const Args& args) {
    Options o;
    std::string err;
    if (!ParseOptions("nearest", args, {"--at", "--radius", "--filter", "--name"}, o, err))
        return UsageError("nearest", err);
    CNearestRequest req;
    if (!o.values.count("--at") || !ParseLatLon(o.values["--at"], req.ptRef))
        return UsageError("nearest", "expected --at LAT,LON");
    char* pEnd = nullptr;
    const std::string& strRadius = o.values["--radius"];
    req.dRadiusMetres = std::strtod(strRadius.c_str(), &pEnd);
    if (strRadius.empty() || *pEnd) return UsageError("nearest", "expected --radius METRES");
    if (o.values.count("--filter") && !ParseCookie(o.values["--filter"], req.cTypeCookie))
        return UsageError("nearest", "bad type filter '" + o.values["--filter"] + "' (0 to 420)");
    req.strName = FromUtf8(o.values["--name"]);
    std::unique_ptr<CMapParser> pMap = OpenForTool("nearest", o.strMap);
    if (!pMap) return c_nExitFailed;
    const CNearestResult r = FindNearestObjects(*pMap, req);
    if (!Report("nearest", r.status)) return c_nExitFailed;
    for (const CNearestHit& h : r.hits) {
        json j = ItemJson(h.item);
        j["nearest_lat"] = ToDegrees(h.item.ptNearest.lY);
        j["nearest_lon"] = ToDegrees(h.item.ptNearest.lX);
        j["distance_m"] = h.dDistanceMetres;
        j["azimuth"] = h.dAzimuth;
        std::printf("%s\n", j.dump().c_str());
    }
    return c_nExitOk;
}

int RunTypeFilter(const Args& args) {
    std::size_t cCookie = 0;
    if (args.size() != 2 || (args[0] != "describe" && args[0] != "expand"))
        return UsageError("typefilter", "expected describe or expand and a row number");
    if (!ParseCookie(args[1], cCookie)) return UsageError("typefilter", "bad row '" + args[1] + "' (0 to 420)");
    const CTypeFilterEntry& e = g_aTypeFilters[cCookie];
    if (args[0] == "describe") {
        TypeNameFn names;
#ifdef VELKA_HAVE_RENDER
        names = [](int nKind, WORD wType) { return TypeName(nKind, wType); };
#endif
        const CTypeFilterDescription d = DescribeTypeFilter(cCookie, names);
        const json j{{"index", cCookie},      {"level", e.wLevel},
                     {"title", ToUtf8(d.strTitle)}, {"kind", d.nKind},
                     {"simplified_type", d.wSimplifiedType}, {"type", d.wType}};
        std::printf("%s\n", j.dump().c_str());
        return c_nExitOk;
    }
    // What the searches look for: every type, or the listed ones.
    const CTypeFilter filter = TypeFilterOf(cCookie);
    std::vector<std::pair<int, WORD>> types;
    std::size_t cExcluded = 0;
    for (int nKind = 0; nKind < rkMax; ++nKind)
        for (unsigned w = 0; w <= 0xFFFF; ++w) {
            if (filter.Test(nKind, static_cast<WORD>(w))) types.push_back({nKind, static_cast<WORD>(w)});
            else ++cExcluded;
        }
    if (cExcluded < types.size()) {
        std::printf("%s\n", json{{"all", true}, {"except", cExcluded}}.dump().c_str());
        return c_nExitOk;
    }
    for (const auto& [nKind, wType] : types)
        std::printf("%s\n", json{{"kind", KindName(nKind)}, {"type", wType}}.dump().c_str());
    return c_nExitOk;
}

} // namespace velka::tool
