// velkatool mapc: compiles OpenStreetMap files into a native map, and
// velkatool demotown: writes the demo town's OSM source and its drive.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <algorithm>

#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "tools/cmd_mapc_atlas.h"
#include "tools/commands.h"
#include "tools/mapc/demotown.h"
#include "tools/mapc/mapc_osm.h"
#include "tools/mapc/mapc_places.h"
#include "tools/mapc/zem_writer.h"

namespace velka::tool {

namespace {

bool WriteOut(const char* szCommand, const std::string& strPath, const void* p, std::size_t cb) {
    int nError = 0;
    if (WriteFileAtomic(strPath, p, cb, &nError)) return true;
    std::fprintf(stderr, "velkatool %s: cannot write '%s': %s\n", szCommand, strPath.c_str(),
                 std::strerror(nError));
    return false;
}

} // namespace

int RunMapc(const Args& args) {
    mapc::CMapcOptions options;
    std::string strOut, strStyle, strName;
    bool fQuiet = false;
    CMapcAtlasOptions atlas;
    atlas.cJobs = std::max(1u, std::thread::hardware_concurrency());
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const char* what) -> const std::string* {
            if (i + 1 >= args.size()) return nullptr;
            (void)what;
            return &args[++i];
        };
        if (a == "-o") {
            const std::string* v = value("output");
            if (!v) return UsageError("mapc", "-o needs a file name");
            strOut = *v;
        } else if (a == "--name") {
            const std::string* v = value("name");
            if (!v) return UsageError("mapc", "--name needs a text");
            options.strName = FromUtf8(*v);
            strName = *v;
        } else if (a == "--style") {
            const std::string* v = value("style");
            if (!v) return UsageError("mapc", "--style needs a file name");
            strStyle = *v;
            atlas.passOn.insert(atlas.passOn.end(), {"--style", *v});
        } else if (a == "--atlas") {
            const std::string* v = value("atlas");
            if (!v) return UsageError("mapc", "--atlas needs a folder");
            atlas.strAtlas = *v;
        } else if (a == "--tile-size") {
            const std::string* v = value("tile size");
            char* pEnd = nullptr;
            atlas.dTileSize = v ? std::strtod(v->c_str(), &pEnd) : 0;
            if (!v || *pEnd || !(atlas.dTileSize >= 0.01 && atlas.dTileSize <= 10))
                return UsageError("mapc", "--tile-size takes degrees, 0.01 .. 10");
        } else if (a.rfind("-j", 0) == 0) {
            // "-j N" or "-jN".
            const std::string* v = a.size() > 2 ? &a : value("jobs");
            const long n = v ? std::strtol(v->c_str() + (a.size() > 2 ? 2 : 0), nullptr, 10) : 0;
            if (n < 1 || n > 256) return UsageError("mapc", "-j takes 1 .. 256");
            atlas.cJobs = static_cast<std::size_t>(n);
        } else if (a == "--no-index") {
            options.fIndexes = false;
            atlas.passOn.push_back(a);
        } else if (a == "--lcid" || a == "--locale") {
            const std::string* v = value("lcid");
            if (!v) return UsageError("mapc", "--lcid needs a number");
            options.dwLocale = static_cast<DWORD>(std::strtoul(v->c_str(), nullptr, 0));
            atlas.passOn.insert(atlas.passOn.end(), {"--lcid", *v});
        } else if (a == "--quiet") {
            fQuiet = true;
        } else if (!a.empty() && a[0] == '-') {
            return UsageError("mapc", "unknown option '" + a + "'");
        } else {
            options.inputs.push_back(a);
        }
    }
    if (options.inputs.empty()) return UsageError("mapc", "no input files");
    if (!atlas.strAtlas.empty()) {
        if (!strOut.empty()) return UsageError("mapc", "-o and --atlas exclude each other");
        if (options.inputs.size() != 1) return UsageError("mapc", "--atlas takes one input file");
        atlas.strInput = options.inputs[0];
        atlas.strName = strName;
        atlas.fQuiet = fQuiet;
        return RunMapcAtlas(atlas);
    }
    if (strOut.empty()) return UsageError("mapc", "no output file (-o OUT.zem)");
    // Checked before the compilation, which can take minutes.
    if (int nError = 0; !CanWriteOutput(strOut, &nError)) {
        std::fprintf(stderr, "velkatool mapc: cannot write '%s': %s\n", strOut.c_str(), std::strerror(nError));
        return c_nExitFailed;
    }
    options.fProgress = !fQuiet;
    options.progress = [](const std::string& s) { std::fprintf(stderr, "%s\n", s.c_str()); };

    mapc::CStyle style;
    std::string strError;
    if (strStyle.empty()) strStyle = FindDataFile("osm.style");
    if (!style.Load(strStyle, strError)) {
        std::fprintf(stderr, "velkatool mapc: %s\n", strError.c_str());
        return c_nExitFailed;
    }
    mapc::CMapcMap map;
    map.strName = options.strName;
    mapc::CIndexSummary summary;
    if (!mapc::CompileOsm(options, style, map, strError, &summary)) {
        std::fprintf(stderr, "velkatool mapc: %s\n", strError.c_str());
        return c_nExitFailed;
    }
    for (const std::string& strWarning : map.warnings) std::fprintf(stderr, "mapc: warning: %s\n", strWarning.c_str());
    std::vector<BYTE> bytes;
    mapc::CMapcStats stats;
    if (!mapc::EncodeZem(map, bytes, strError, &stats)) {
        std::fprintf(stderr, "velkatool mapc: %s\n", strError.c_str());
        return c_nExitFailed;
    }
    if (!WriteOut("mapc", strOut, bytes.data(), bytes.size())) return c_nExitFailed;
    // Restrictions: what was written and what was dropped, and why.
    map.restrictionSummary.cWritten = stats.cRestrictionRecords;
    if (stats.cRestrictionsDropped)
        map.restrictionSummary.Drop("its roads were not found in the written records", stats.cRestrictionsDropped);
    if (!fQuiet || !map.restrictionSummary.dropped.empty())
        std::fprintf(stderr, "mapc: %s\n", map.restrictionSummary.Text().c_str());
    if (!fQuiet)
        std::fprintf(stderr,
                     "mapc: wrote %s: %zu bytes, %zu points, %zu polylines, %zu polygons, %zu "
                     "blocks, %u road nodes, %zu turn restriction records\n",
                     strOut.c_str(), bytes.size(), stats.cObjects[0], stats.cObjects[1],
                     stats.cObjects[2], stats.cBlocks, map.cNodes, stats.cRestrictionRecords);
    if (!fQuiet && options.fIndexes)
        std::fprintf(stderr,
                     "mapc: indexes: %zu cities, %zu streets, %zu addresses, %zu indexed objects; %zu "
                     "addresses without a street, %zu without a city; %zu + %zu index bytes\n",
                     summary.cCities, summary.cStreets, summary.cAddresses, summary.cIndexed, summary.cNoStreet,
                     summary.cNoCity, stats.cbCitiesIndex, stats.cbObjectsIndex);
    return c_nExitOk;
}

int RunDemotown(const Args& args) {
    std::string strOut, strDrive;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" && i + 1 < args.size()) strOut = args[++i];
        else if (args[i] == "--drive" && i + 1 < args.size()) strDrive = args[++i];
        else return UsageError("demotown", "unknown argument '" + args[i] + "'");
    }
    if (strOut.empty()) return UsageError("demotown", "no output file (-o demo.osm)");
    if (strDrive.empty()) {
        const std::size_t slash = strOut.find_last_of('/');
        strDrive = (slash == std::string::npos ? std::string() : strOut.substr(0, slash + 1)) +
                   "demo_drive.csv";
    }
    const std::string osm = mapc::DemoTownOsm();
    const std::string drive = mapc::DemoTownDrive();
    if (!WriteOut("demotown", strOut, osm.data(), osm.size())) return c_nExitFailed;
    if (!WriteOut("demotown", strDrive, drive.data(), drive.size())) return c_nExitFailed;
    return c_nExitOk;
}

} // namespace velka::tool
