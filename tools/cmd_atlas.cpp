// velkatool atlas: index a folder of native maps into an atlas, and show
// what an atlas index holds as JSON.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "mapdata/map_scales.h"
#include "mapdata/zidx_build.h"
#include "mapdata/zidx_parser.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "tools/commands.h"

namespace velka::tool {

namespace {

using json = nlohmann::json;

json BoundsJson(const CMapRect& rc) {
    return {{"west", ToDegrees(rc.left)}, {"south", ToDegrees(rc.top)}, {"east", ToDegrees(rc.right)},
            {"north", ToDegrees(rc.bottom)}};
}

// Progress on the terminal: the phase's text and its percentage, on one line.
CAtlasIndexHooks TerminalHooks(bool fQuiet) {
    CAtlasIndexHooks h;
    auto pPhase = std::make_shared<std::string>();
    h.fnPhase = [pPhase, fQuiet](UINT uId) {
        if (!fQuiet && !pPhase->empty()) std::fprintf(stderr, "\n");
        *pPhase = ToUtf8(LoadStr(uId));
    };
    h.fnProgress = [pPhase, fQuiet](int n) {
        if (!fQuiet) std::fprintf(stderr, "\r%s %3d%%", pPhase->c_str(), n);
        return true;
    };
    h.fnMessage = [fQuiet](const CError& e) {
        if (!fQuiet) std::fprintf(stderr, "\n");
        PrintError(e);
    };
    return h;
}

int RunAtlasIndex(const std::string& strFolder, bool fQuiet) {
    std::error_code ec;
    if (!std::filesystem::is_directory(strFolder, ec)) {
        std::fprintf(stderr, "velkatool atlas: '%s' is not a folder\n", strFolder.c_str());
        return c_nExitFailed;
    }
    const int n = ReindexAtlas(FromUtf8(strFolder), TerminalHooks(fQuiet));
    if (!fQuiet) std::fprintf(stderr, "\n");
    if (n <= 0) return c_nExitFailed;
    std::printf("%s\n", json{{"index", ToUtf8(AtlasIndexPath(FromUtf8(strFolder)))}, {"maps", n}}.dump().c_str());
    return c_nExitOk;
}

int RunAtlasInfo(const std::string& strPath) {
    std::unique_ptr<CMapParser> p = OpenForTool("atlas", strPath);
    if (!p) return c_nExitFailed;
    CZidxParser* pAtlas = AsAtlas(p.get());
    if (!pAtlas) {
        std::fprintf(stderr, "velkatool atlas: '%s' is a map, not an atlas\n", strPath.c_str());
        return c_nExitFailed;
    }
    const CZidxIndex& idx = pAtlas->Index();
    json maps = json::array();
    for (std::size_t k = 0; k < pAtlas->MapCount(); ++k) {
        const CZidxEntry& e = idx.maps[k];
        std::error_code ec;
        const bool fPresent = std::filesystem::exists(ToUtf8(pAtlas->MapPath(k)), ec);
        maps.push_back({{"name", ToUtf8(e.strName)},
                        {"bounds", BoundsJson(pAtlas->MapRect(k))},
                        {"finest_scale", ScaleIndexForCode(e.wFinestCode)},
                        {"coarsest_scale", ScaleIndexForCode(e.wCoarsestCode)},
                        {"finest_code", e.wFinestCode},
                        {"coarsest_code", e.wCoarsestCode},
                        {"stamp", e.dwStamp},
                        {"present", fPresent}});
    }
    const bool fCities = pAtlas->PrepareCities();
    json j{{"file", ToUtf8(pAtlas->FileName())},
           {"bounds", BoundsJson(pAtlas->Bounds())},
           {"finest_scale", pAtlas->FinestScale()},
           {"coarsest_scale", pAtlas->CoarsestScale()},
           {"locale", pAtlas->Locale()},
           {"has_cities_index", pAtlas->HasCitiesIndex()},
           {"has_objects_index", pAtlas->HasObjectsIndex()},
           {"cities", fCities ? pAtlas->DistinctCount() : 0},
           {"city_entries", idx.cities.size()},
           {"maps", maps}};
    std::printf("%s\n", j.dump(2).c_str());
    return c_nExitOk;
}

} // namespace

int RunAtlas(const Args& args) {
    bool fQuiet = false;
    Args rest;
    for (const std::string& a : args) {
        if (a == "--quiet") fQuiet = true;
        else if (!a.empty() && a[0] == '-') return UsageError("atlas", "unknown option '" + a + "'");
        else rest.push_back(a);
    }
    if (rest.size() != 2) return UsageError("atlas", "expected index DIR or info DIR|Index.zidx");
    if (rest[0] == "index") return RunAtlasIndex(rest[1], fQuiet);
    if (rest[0] == "info") return RunAtlasInfo(rest[1]);
    return UsageError("atlas", "unknown subcommand '" + rest[0] + "'");
}

} // namespace velka::tool
