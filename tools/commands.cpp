#include "tools/commands.h"

#include <cstdio>

#include "platform/text.h"
#include "platform/ui_host.h"

namespace velka::tool {

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"settings", "read and write the navigator's settings",
         "settings dump | get NAME | set NAME (int N | str TEXT) | delete NAME", RunSettings},
        {"decode", "decode a GPS capture into JSON lines of fixes", "decode nmea|garmin|sirf [FILE|-]", RunDecode},
        {"listen", "find the GPS protocol on a serial device and print its fixes",
         "listen DEVICE [--seconds N] [--set-clock]", RunListen},
        {"strings", "show texts in the chosen language, check language modules",
         "strings get ID... | list | check MODULE.rll", RunStrings},
        {"geo", "distance and course between two points, geoid height",
         "geo distance LAT1,LON1 LAT2,LON2 | course LAT1,LON1 LAT2,LON2 | geoid LAT,LON", RunGeo},
        {"sun", "time of sunrise or sunset in hours UT (-100: none that day)",
         "sun rise|set YYYY-MM-DD LAT,LON", RunSun},
        {"mapc", "compile OpenStreetMap data into a native map",
         "mapc INPUT.osm.pbf|.osm [MORE...] -o OUT.zem [--name NAME] [--style FILE] [--locale LCID] [--no-index] [--quiet]",
         RunMapc},
        {"demotown", "write the demo town (OSM XML) and its drive (CSV)",
         "demotown -o demo.osm [--drive demo_drive.csv]", RunDemotown},
        {"info", "print a map's header facts, levels and object counts as JSON", "info MAP",
         RunInfo},
        {"cities", "list a map's cities (from --prefix on) as JSON lines", "cities MAP [--prefix TEXT]",
         RunCities},
        {"dump", "print a map's objects as JSON lines",
         "dump MAP [--level N] [--bbox W,S,E,N]", RunDump},
#ifdef VELKA_HAVE_RENDER
        {"render", "draw a map as the map page draws it, into a PNG",
         "render MAP [--center LAT,LON] [--scale INDEX] [--size WxH] [--skin day|night] [--angle DEG] "
         "[--no-antialias] -o OUT.png",
         RunRender},
        {"render-waypoint-icons", "draw every waypoint icon with its type number into a PNG",
         "render-waypoint-icons OUT.png [--scale S] [--no-antialias]", RunRenderWaypointIcons},
        {"render-page", "draw the gauge or the satellite page after a GPS capture was replayed, into a PNG",
         "render-page gauges|satellites --replay FILE [--size WxH] -o OUT.png", RunRenderPage},
#endif
        {"gauges", "list the gauges; replay a GPS capture through the trip computer and the gauges",
         "gauges list | gauges replay nmea|garmin|sirf FILE [--keys k1,k2]", RunGauges},
        {"track", "record fixes into a track file; show track files and the on-screen track",
         "track record [--dir DIR] [--ring] [OUT.mps|OUT.gdb|OUT.gpx] < FIXES | dump FILE.mps | ring [FILE]", RunTrack},
        {"route", "find a road route on a native map, or one per line of a file of pairs",
         "route MAP --from LAT,LON --to LAT,LON [--via LAT,LON]... [--vehicle NAME] [--shortest] "
         "[--avoid tolls,uturns,highways,unpaved] [--course DEG --speed KMH] | route MAP --batch PAIRS.jsonl [options]",
         RunRoute},
        {"graph", "print the facts of a native map's road graph", "graph MAP", RunGraph},
        {"guide", "plan a route and replay guidance along it: the route, prompts, re-routes, arrival",
         "guide MAP --from LAT,LON --to LAT,LON [--via LAT,LON]... [--vehicle NAME] [--shortest] "
         "[--avoid tolls,uturns,highways,unpaved] (--simulate KMH | --drive TRACK|CAPTURE)",
         RunGuide},
        {"address", "find addresses by city, postcode, street and house number as JSON lines",
         "address MAP [--city TEXT] [--zip TEXT] [--street TEXT] [--house TEXT]", RunAddress},
        {"objects", "list the named objects of a type filter within a city as JSON lines",
         "objects MAP [--city TEXT] [--filter COOKIE] [--prefix TEXT]", RunObjects},
        {"nearest", "list the objects within a radius of a point, nearest first, as JSON lines",
         "nearest MAP --at LAT,LON --radius METRES [--filter COOKIE] [--name TEXT]", RunNearest},
        {"typefilter", "describe a row of the search type filters, or list the types it stands for",
         "typefilter describe|expand N", RunTypeFilter},
        {"convert", "convert waypoints, routes and tracks between gdb, mps, wpt, rte and gpx files",
         "convert IN OUT [--waypoints|--routes|--tracks]", RunConvert},
    };
    return commands;
}

void PrintError(const CError& error) {
    if (!error.HasText()) return;
    const char* szKind = ErrorIcon(error) == MB_ICONWARNING ? "warning" : "error";
    std::fprintf(stderr, "%s: %s\n", szKind, ToUtf8(ErrorText(error)).c_str());
}

int UsageError(const char* szCommand, const std::string& strMessage) {
    std::fprintf(stderr, "velkatool %s: %s\n", szCommand, strMessage.c_str());
    for (const Command& c : Commands())
        if (std::string(c.szName) == szCommand) std::fprintf(stderr, "usage: velkatool %s\n", c.szUsage);
    return c_nExitUsage;
}

} // namespace velka::tool
