// velkatool's subcommands: each has a name, a one-line summary, its usage
// and a function that runs it with the remaining arguments.
#pragma once
#include "shell/error.h"
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

int RunSettings(const Args& args);
int RunDecode(const Args& args);
int RunListen(const Args& args);
int RunStrings(const Args& args);
int RunGeo(const Args& args);
int RunSun(const Args& args);
int RunMapc(const Args& args);
int RunDemotown(const Args& args);
int RunInfo(const Args& args);
int RunDump(const Args& args);
#ifdef VELKA_HAVE_RENDER
int RunRender(const Args& args);
int RunRenderWaypointIcons(const Args& args);
#endif
int RunTrack(const Args& args);
int RunConvert(const Args& args);
int RunRoute(const Args& args);
int RunGuide(const Args& args);
int RunGraph(const Args& args);

} // namespace velka::tool
