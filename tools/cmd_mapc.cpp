// velkatool mapc: compiles OpenStreetMap files into a native map, and
// velkatool demotown: writes the demo town's OSM source and its drive.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/paths.h"
#include "platform/text.h"
#include "tools/commands.h"
#include "tools/mapc/demotown.h"
#include "tools/mapc/mapc_osm.h"
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
    std::string strOut, strStyle;
    bool fQuiet = false;
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
        } else if (a == "--style") {
            const std::string* v = value("style");
            if (!v) return UsageError("mapc", "--style needs a file name");
            strStyle = *v;
        } else if (a == "--lcid") {
            const std::string* v = value("lcid");
            if (!v) return UsageError("mapc", "--lcid needs a number");
            options.dwLocale = static_cast<DWORD>(std::strtoul(v->c_str(), nullptr, 0));
        } else if (a == "--quiet") {
            fQuiet = true;
        } else if (!a.empty() && a[0] == '-') {
            return UsageError("mapc", "unknown option '" + a + "'");
        } else {
            options.inputs.push_back(a);
        }
    }
    if (options.inputs.empty()) return UsageError("mapc", "no input files");
    if (strOut.empty()) return UsageError("mapc", "no output file (-o OUT.zem)");
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
    if (!mapc::CompileOsm(options, style, map, strError)) {
        std::fprintf(stderr, "velkatool mapc: %s\n", strError.c_str());
        return c_nExitFailed;
    }
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
