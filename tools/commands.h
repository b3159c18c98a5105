// velkatool's subcommands: each has a name, a one-line summary, its usage
// and a function that runs it with the remaining arguments.
#pragma once
#include "mapdata/map_parser.h"
#include "shell/error.h"
#include <memory>
#include <string>
#include <vector>

namespace velka::tool {

using Args = std::vector<std::string>;

struct Command {
    const char* szName;
    const char* szSummary;
    const char* szUsage;
    int (*pfnRun)(const Args& args);
};

// Every subcommand, in the order --help lists them.
const std::vector<Command>& Commands();

// Exit codes: 0 success, 1 the work failed, 2 bad usage.
constexpr int c_nExitOk = 0;
constexpr int c_nExitFailed = 1;
constexpr int c_nExitUsage = 2;

// Prints "velkatool <name>: <message>" to stderr and returns c_nExitUsage.
int UsageError(const char* szCommand, const std::string& strMessage);
// Prints an error value's text to stderr as "error: <text>" ("warning: ..."
// for warnings), the way the message boxes read; nothing for None.
void PrintError(const CError& error);
// Opens a map (native, IMG or atlas index) for a command; on failure prints
// the reason and "velkatool <name>: cannot open ..." and returns null.
std::unique_ptr<CMapParser> OpenForTool(const char* szCommand, const std::string& strPath);
// Map units to degrees, and "LAT,LON" in degrees to a map point (false
// when malformed or out of range).
double ToDegrees(LONG v);
bool ParseLatLon(const std::string& s, CMapPoint& pt);

int RunSettings(const Args& args);
int RunDecode(const Args& args);
int RunListen(const Args& args);
int RunStrings(const Args& args);
int RunGeo(const Args& args);
int RunSun(const Args& args);
int RunMapc(const Args& args);
int RunDemotown(const Args& args);
int RunInfo(const Args& args);
int RunCities(const Args& args);
int RunDump(const Args& args);
#ifdef VELKA_HAVE_RENDER
int RunRender(const Args& args);
int RunRenderWaypointIcons(const Args& args);
#endif
int RunTrack(const Args& args);
int RunGauges(const Args& args);
#ifdef VELKA_HAVE_RENDER
int RunRenderPage(const Args& args);
#endif
// True when the global --settings-db named the settings database.
extern bool g_fSettingsDbGiven;
int RunConvert(const Args& args);
int RunRoute(const Args& args);
int RunGuide(const Args& args);
int RunGraph(const Args& args);
int RunAddress(const Args& args);
int RunObjects(const Args& args);
int RunNearest(const Args& args);
int RunTypeFilter(const Args& args);

} // namespace velka::tool
