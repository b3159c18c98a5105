// velkatool gauges list: every gauge key with its group, resettable flag and
// place in the export. velkatool gauges replay: a capture fed through
// positioning, the trip computer and the gauges, one JSON line per fix with
// the chosen gauges' displayed texts, then the totals.
//
// Without --settings-db the gauges start from zero in a private store, so a
// replay never adds to the user's odometer; with it, the stored totals are
// read and written as the navigator would (a second run continues them).
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "gauges/gauge.h"
#include "gauges/area_gauge.h"
#include "gauges/trip_computer.h"
#include "gps/positioning.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "shell/settings.h"
#include "tools/commands.h"
#include "tools/gps_replay.h"

namespace velka::tool {
namespace {

using json = nlohmann::ordered_json;

constexpr const char* c_aszGroupKeys[c_cGaugeGroups] = {"trip1", "trip2",     "max",   "navigation",
                                                        "gpsdata", "altitude", "precision", "dgps",
                                                        "area",  "sonar",     "map",   "system"};

// What a cell shows: the value and its unit, "-" for no value.
std::string DisplayedText(CGaugeEntry& e) {
    std::u16string strValue, strUnit;
    e.m_pGauge->GetValueText(strValue, strUnit);
    if (strValue.empty()) return "-";
    return ToUtf8(strUnit.empty() ? strValue : strValue + u" " + strUnit);
}

int List() {
    RegSetDatabasePath(":memory:");
    SettingsOpen();
    RegisterGauges();
    CGaugeCatalogue& cat = *Gauges();
    // The export order: groups in their fixed order, each newest first.
    int nExport = 0;
    std::vector<int> order(cat.Entries().size());
    for (int g = 0; g < c_cGaugeGroups; ++g)
        for (CGaugeEntry* p : cat.Group(g).vecGauges) order[static_cast<std::size_t>(p->nRegistration)] = nExport++;
    std::vector<CGaugeEntry*> byRegistration(cat.Entries().rbegin(), cat.Entries().rend());
    for (CGaugeEntry* p : byRegistration) {
        json j{{"key", ToUtf8(p->strKey)},
               {"group", c_aszGroupKeys[p->nGroup]},
               {"resettable", p->fResettable},
               {"export_order", order[static_cast<std::size_t>(p->nRegistration)]},
               {"title", ToUtf8(p->strTitle)}};
        std::printf("%s\n", j.dump().c_str());
    }
    UnregisterGauges();
    SettingsClose();
    return c_nExitOk;
}

json Number(double d, int nDecimals) {
    if (!std::isfinite(d)) return nullptr;
    const double k = std::pow(10.0, nDecimals);
    return std::round(d * k) / k;
}

int Replay(const Args& args) {
    if (args.size() < 2 || (args[0] != "nmea" && args[0] != "garmin" && args[0] != "sirf"))
        return UsageError("gauges", "replay nmea|garmin|sirf FILE [--keys k1,k2]");
    const std::string strKind = args[0], strPath = args[1];
    std::vector<std::string> keys;
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--keys" && i + 1 < args.size()) {
            std::stringstream ss(args[++i]);
            for (std::string k; std::getline(ss, k, ',');)
                if (!k.empty()) keys.push_back(k);
        } else {
            return UsageError("gauges", "unexpected argument '" + args[i] + "'");
        }
    }
    if (!g_fSettingsDbGiven) RegSetDatabasePath(":memory:");
    SettingsOpen();
    RegisterGauges();
    CGaugeCatalogue& cat = *Gauges();
    std::vector<CGaugeEntry*> shown;
    if (keys.empty()) {
        shown.assign(cat.Entries().rbegin(), cat.Entries().rend());
    } else {
        for (const std::string& k : keys) {
            CGaugeEntry* p = cat.Find(FromUtf8(k));
            if (!p) {
                UnregisterGauges();
                SettingsClose();
                return UsageError("gauges", "no gauge '" + k + "' (see gauges list)");
            }
            shown.push_back(p);
        }
    }
    std::string out;
    auto onFix = [&] {
        cat.UpdateAll(GetCurrentFix());
        json j = json::object();
        for (CGaugeEntry* p : shown) j[ToUtf8(p->strKey)] = DisplayedText(*p);
        out += j.dump();
        out += '\n';
        if (out.size() > (1 << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    };
    auto onNoPosition = [&] { cat.PositionLostAll(); };
    const ReplayResult r = ReplayCapture(strKind, strPath, onFix, onNoPosition);
    std::fwrite(out.data(), 1, out.size(), stdout);
    int rc = c_nExitOk;
    if (!r.fOpened) {
        std::fprintf(stderr, "velkatool gauges: cannot open %s\n", strPath.c_str());
        rc = c_nExitFailed;
    } else {
        const CTripComputer& tc = TripComputer();
        const CTripRecord& t = tc.Trip(0);
        auto* pArea = dynamic_cast<CAreaGauge*>(cat.Find(u"area")->m_pGauge.get());
        const double dMax = tc.Extreme(teMaxElevation), dMin = tc.Extreme(teMinElevation);
        json totals{{"odometer_m", Number(tc.Odometer(), 3)},
                    {"tripodometer_m", Number(t.dOdometer, 3)},
                    {"triptime_moving_s", Number(t.dtMoving * 86400, 3)},
                    {"triptime_stopped_s", Number(t.dtStopped * 86400, 3)},
                    {"maxspeed_kmh", Number(tc.Extreme(teMaxSpeed), 1)},
                    {"maxelev_m", dMax > c_dNoMaxElevation ? Number(dMax, 1) : json(nullptr)},
                    {"minelev_m", dMin < c_dNoMinElevation ? Number(dMin, 1) : json(nullptr)},
                    {"area_m2", Number(pArea ? pArea->Area() : 0, 1)}};
        std::printf("%s\n", json{{"totals", totals}}.dump().c_str());
        if (r.fReadError) {
            std::fprintf(stderr, "velkatool gauges: read error on %s\n", strPath.c_str());
            rc = c_nExitFailed;
        }
    }
    UnregisterGauges();
    SettingsClose();
    return rc;
}

} // namespace

bool g_fSettingsDbGiven = false;

int RunGauges(const Args& args) {
    if (args.size() == 1 && args[0] == "list") return List();
    if (!args.empty() && args[0] == "replay") return Replay(Args(args.begin() + 1, args.end()));
    return UsageError("gauges", "gauges list | gauges replay nmea|garmin|sirf FILE [--keys k1,k2]");
}

} // namespace velka::tool
