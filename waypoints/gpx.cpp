// GPX 1.1: waypoints, routes and tracks, the exchange format of most GPS
// tools on Linux. Read with pugixml; written as text through the file writer.
#include <charconv>
#include <cmath>
#include <cstring>

#include <pugixml.hpp>

#include "platform/clock.h"
#include "platform/text.h"
#include "waypoints/export_file.h"
#include "waypoints/exchange.h"

namespace velka {
namespace {

bool ParseDouble(const char* sz, double& d) {
    std::string_view s(sz);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    const auto res = std::from_chars(s.data(), s.data() + s.size(), d);
    return res.ec == std::errc() && res.ptr == s.data() + s.size() && std::isfinite(d);
}

bool ReadPosition(const pugi::xml_node& n, LONG& lLat, LONG& lLon) {
    double dLat = 0, dLon = 0;
    if (!ParseDouble(n.attribute("lat").value(), dLat) || !ParseDouble(n.attribute("lon").value(), dLon))
        return false;
    if (std::fabs(dLat) > 90 || std::fabs(dLon) > 180) return false;
    lLat = static_cast<LONG>(std::llround(dLat * 2147483648.0 / 180.0));
    lLon = static_cast<LONG>(std::llround(std::min(dLon, 179.9999999) * 2147483648.0 / 180.0));
    return true;
}

// ISO 8601 date and time ("2005-04-26T14:27:21Z", fractions and zone
// offsets allowed) to seconds since 1970; false when it is not one.
bool ParseIsoTime(const char* sz, double& dSeconds) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, n = 0;
    if (std::sscanf(sz, "%4d-%2d-%2dT%2d:%2d:%n", &y, &mo, &d, &h, &mi, &n) != 5 || n == 0) return false;
    const char* p = sz + n;
    char* pEnd = nullptr;
    const double dSec = std::strtod(p, &pEnd);
    if (pEnd == p || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || !(dSec >= 0 && dSec < 61))
        return false;
    double dOffset = 0;
    if (*pEnd == '+' || *pEnd == '-') {
        int oh = 0, om = 0;
        if (std::sscanf(pEnd + 1, "%2d:%2d", &oh, &om) < 1) return false;
        dOffset = (*pEnd == '-' ? -1 : 1) * (oh * 3600.0 + om * 60.0);
    }
    dSeconds = static_cast<double>(DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d))) * 86400.0 +
               h * 3600.0 + mi * 60.0 + dSec - dOffset;
    return true;
}

void ReadCommon(const pugi::xml_node& n, Waypoint& w) {
    w.strName = FromUtf8(n.child_value("name"));
    w.strComment = FromUtf8(n.child("cmt") ? n.child_value("cmt") : n.child_value("desc"));
    double d = 0;
    if (n.child("ele") && ParseDouble(n.child_value("ele"), d)) w.fAltitude = static_cast<float>(d);
    else w.dwFlags |= wfNoAltitude;
    double dSeconds = 0;
    if (n.child("time") && ParseIsoTime(n.child_value("time"), dSeconds))
        w.dTime = dSeconds / 86400.0 + 25569.0;
}

void WriteEscaped(CFileWriter& fw, const std::u16string& s) {
    const std::string out = XmlEscape(ToUtf8(s));
    fw.WriteText(out.data(), out.size());
}

void WriteElement(CFileWriter& fw, const char* szIndent, const char* szName, const std::u16string& s) {
    if (s.empty()) return;
    fw.Printf("%s<%s>", szIndent, szName);
    WriteEscaped(fw, s);
    fw.Printf("</%s>\n", szName);
}

void WriteTime(CFileWriter& fw, const char* szIndent, double dSecondsSince1970) {
    const long long t = std::llround(dSecondsSince1970);
    const long long days = t >= 0 ? t / 86400 : (t - 86399) / 86400;
    const long long secs = t - days * 86400;
    SYSTEMTIME st;
    if (!VariantTimeToSystemTime(static_cast<double>(days) + 25569.0, &st)) return;
    fw.Printf("%s<time>%04d-%02d-%02dT%02d:%02d:%02dZ</time>\n", szIndent, st.wYear, st.wMonth, st.wDay,
              static_cast<int>(secs / 3600), static_cast<int>(secs / 60 % 60), static_cast<int>(secs % 60));
}

void WritePointOpen(CFileWriter& fw, const char* szIndent, const char* szTag, LONG lLat, LONG lLon) {
    const std::string a = FormatFixed(lLat * (180.0 / 2147483648.0), 9);
    const std::string b = FormatFixed(lLon * (180.0 / 2147483648.0), 9);
    fw.Printf("%s<%s lat=\"%s\" lon=\"%s\">\n", szIndent, szTag, a.c_str(), b.c_str());
}

void WriteWaypointBody(CFileWriter& fw, const char* szIndent, const Waypoint& w) {
    if (w.HasAltitude()) fw.Printf("%s<ele>%s</ele>\n", szIndent, FormatFixed(w.fAltitude, 3).c_str());
    if (w.dTime != 0) WriteTime(fw, szIndent, (w.dTime - 25569.0) * 86400.0);
    WriteElement(fw, szIndent, "name", w.strName);
    WriteElement(fw, szIndent, "cmt", w.strComment);
}

} // namespace

bool ProbeGpx(std::span<const BYTE> data) {
    // An XML document that names the gpx element near its start.
    std::string_view s(reinterpret_cast<const char*>(data.data()), std::min<std::size_t>(data.size(), 4096));
    if (s.substr(0, 3) == "\xEF\xBB\xBF") s.remove_prefix(3);
    const std::size_t first = s.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && s[first] == '<' && s.find("<gpx") != std::string_view::npos;
}

bool ImportGpx(std::span<const BYTE> data, ImportTarget& target) {
    pugi::xml_document doc;
    if (!doc.load_buffer(data.data(), data.size(), pugi::parse_default, pugi::encoding_utf8)) return false;
    pugi::xml_node gpx = doc.child("gpx");
    if (!gpx) return false;
    std::vector<std::unique_ptr<Waypoint>> waypoints;
    std::vector<std::unique_ptr<Route>> routes;
    std::vector<Track> tracks;
    for (pugi::xml_node n : gpx.children("wpt")) {
        auto w = std::make_unique<Waypoint>();
        if (!ReadPosition(n, w->lY, w->lX)) continue;
        ReadCommon(n, *w);
        waypoints.push_back(std::move(w));
    }
    if (!target.m_fWaypointsOnly) {
        for (pugi::xml_node r : gpx.children("rte")) {
            auto route = std::make_unique<Route>();
            route->strName = FromUtf8(r.child_value("name"));
            route->strText2 = FromUtf8(r.child_value("desc"));
            route->dTime = NowUtcOle();
            for (pugi::xml_node n : r.children("rtept")) {
                auto w = std::make_unique<Waypoint>();
                if (!ReadPosition(n, w->lY, w->lX)) continue;
                ReadCommon(n, *w);
                w->dwFlags |= wfRouteOwned;
                AppendWaypointPoint(*route, std::move(w), waypoints);
            }
            if (!route->points.empty()) routes.push_back(std::move(route));
        }
    }
    if (target.m_pTracks) {
        for (pugi::xml_node t : gpx.children("trk")) {
            for (pugi::xml_node seg : t.children("trkseg")) {
                Track track;
                track.strName = FromUtf8(t.child_value("name"));
                for (pugi::xml_node n : seg.children("trkpt")) {
                    TrackPoint pt;
                    if (!ReadPosition(n, pt.lLat, pt.lLon)) continue;
                    pt.fAltitude = n.child("ele") && ParseDouble(n.child_value("ele"), pt.dAltitude);
                    double dSeconds = 0;
                    if (n.child("time") && ParseIsoTime(n.child_value("time"), dSeconds) && dSeconds >= 0 &&
                        dSeconds < 4294967296.0) {
                        pt.fTime = true;
                        pt.dwTime = static_cast<DWORD>(std::llround(dSeconds));
                    }
                    track.points.push_back(pt);
                }
                tracks.push_back(std::move(track));
            }
        }
    }
    target.Commit(std::move(waypoints), std::move(routes), std::move(tracks));
    return true;
}

bool ExportGpx(const std::string& strPath, const CWaypointStore& store, bool fRoutes,
               const std::vector<Track>* pTracks, CError& error) {
    CExportFile file(error);
    if (!file.Create(strPath)) return false;
    CFileWriter& fw = file.Writer();
    fw.WriteString("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                   "<gpx version=\"1.1\" creator=\"Velka\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n");
    for (const auto& p : store.Waypoints()) {
        if (p->IsDeleted()) continue;
        WritePointOpen(fw, "  ", "wpt", p->lY, p->lX);
        WriteWaypointBody(fw, "    ", *p);
        fw.WriteString("  </wpt>\n");
    }
    if (fRoutes) {
        for (const auto& p : store.Routes()) {
            if (p->IsDeleted()) continue;
            fw.WriteString("  <rte>\n");
            WriteElement(fw, "    ", "name", p->strName);
            WriteElement(fw, "    ", "desc", p->strText2);
            for (const RoutePoint& pt : p->points) {
                WritePointOpen(fw, "    ", "rtept", pt.Y(), pt.X());
                if (pt.pWaypoint) WriteWaypointBody(fw, "      ", *pt.pWaypoint);
                else WriteElement(fw, "      ", "name", pt.strName);
                fw.WriteString("    </rtept>\n");
            }
            fw.WriteString("  </rte>\n");
        }
    }
    if (pTracks) {
        for (const Track& t : *pTracks) {
            fw.WriteString("  <trk>\n");
            WriteElement(fw, "    ", "name", t.strName);
            fw.WriteString("    <trkseg>\n");
            for (const TrackPoint& pt : t.points) {
                WritePointOpen(fw, "      ", "trkpt", pt.lLat, pt.lLon);
                if (pt.fAltitude) fw.Printf("        <ele>%s</ele>\n", FormatFixed(pt.dAltitude, 3).c_str());
                if (pt.fTime) WriteTime(fw, "        ", pt.dwTime);
                fw.WriteString("      </trkpt>\n");
            }
            fw.WriteString("    </trkseg>\n  </trk>\n");
        }
    }
    fw.WriteString("</gpx>\n");
    return file.Commit();
}

} // namespace velka
