#include "tools/commands.h"

#include <cstdio>

namespace velka::tool {

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"settings", "read and write the navigator's settings",
         "settings dump | get NAME | set NAME (int N | str TEXT) | delete NAME", RunSettings},
        {"convert", "convert waypoints, routes and tracks between gdb, mps, wpt, rte and gpx files",
         "convert IN OUT [--waypoints|--routes|--tracks]", RunConvert},
    };
    return commands;
}

int UsageError(const char* szCommand, const std::string& strMessage) {
    std::fprintf(stderr, "velkatool %s: %s\n", szCommand, strMessage.c_str());
    for (const Command& c : Commands())
        if (std::string(c.szName) == szCommand) std::fprintf(stderr, "usage: velkatool %s\n", c.szUsage);
    return c_nExitUsage;
}

} // namespace velka::tool
