// MapSource GPS database (GDB) import and export.
#include <cstring>
#include <unordered_map>

#include "platform/clock.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/resources.h"
#include "waypoints/ansi_text.h"
#include "waypoints/mapsource_records.h"

namespace velka {
namespace {

constexpr WORD c_wVersion1 = 107; // 'k'
constexpr WORD c_wVersion2 = 108; // 'l'
constexpr WORD c_wVersion3 = 109; // 'm', texts in UTF-8

struct WaypointTail {
    bool fProx = false;
    bool fTemp = false;
    bool fTime = false;
    double dProx = 0;
    double dTemp = 0;
    DWORD dwTime = 0;
    std::u16string strText3;
};

struct GdbPoint {
    LONG lLat = 0;
    LONG lLon = 0;
};

class CGdbReader {
public:
    explicit CGdbReader(WORD wVersion) : m_wVersion(wVersion) {}

    std::u16string Text(std::string_view s) const {
        return m_wVersion >= c_wVersion3 ? FromUtf8(s) : AnsiToUtf16(s);
    }
    bool ReadText(CByteReader& r, std::u16string* pText) const {
        std::string_view s;
        if (!r.ReadCString(s)) return false;
        if (pText) *pText = Text(s);
        return true;
    }
    static bool ReadPoint(CByteReader& r, GdbPoint& pt) {
        bool fAlt = false;
        double d = 0;
        return r.Read(pt.lLat) && r.Read(pt.lLon) && ReadOptionalDouble(r, fAlt, d);
    }

    std::unique_ptr<Waypoint> ReadWaypoint(CByteReader r) const;
    std::unique_ptr<Route> ReadRoute(
        CByteReader r, const std::unordered_map<std::u16string, Waypoint*>& byName) const;

private:
    bool ReadTail(CByteReader r, bool fStreet, WaypointTail& t) const;
    WORD m_wVersion;
};

std::unique_ptr<Waypoint> CGdbReader::ReadWaypoint(CByteReader r) const {
    auto w = std::make_unique<Waypoint>();
    LONG lClass = 0;
    bool fAlt = false, fDepth = false;
    double dAlt = 0, dDepth = 0;
    LONG lDisplay = 0, lColor = 0, lIcon = 0;
    if (!ReadText(r, &w->strName) || !r.Read(lClass) || !ReadText(r, nullptr) || !r.Skip(22) ||
        !r.Read(w->lY) || !r.Read(w->lX) || !ReadOptionalDouble(r, fAlt, dAlt) ||
        !ReadText(r, &w->strComment) || !ReadOptionalDouble(r, fDepth, dDepth) ||
        !r.Read(lDisplay) || !r.Read(lColor) || !r.Read(lIcon))
        return nullptr;
    if (lClass != 0) w->dwFlags |= wfRouteOwned;
    if (fAlt) w->fAltitude = static_cast<float>(dAlt);
    else w->dwFlags |= wfNoAltitude;
    w->fDepth = static_cast<float>(dDepth);
    w->btShow = lDisplay >= 0 && lDisplay < 4 ? static_cast<BYTE>(lDisplay) : BYTE(wsIconAndName);
    const WORD wIcon = static_cast<WORD>(lIcon & 0xFFFF);
    w->wType = wIcon < 0x4000 ? wIcon : c_wDefaultWaypointType;

    // The fields after the icon. In version 109 files the zero word after
    // the proximity is a text (the street address, which BaseCamp fills)
    // and a byte.
    WaypointTail tail;
    if (!ReadTail(r, false, tail) && (m_wVersion < c_wVersion3 || !ReadTail(r, true, tail))) {
        if (m_wVersion < c_wVersion3) return nullptr;
        return w; // an unknown layout: the values above are kept
    }
    if (tail.fProx) {
        w->dwFlags |= wfProximity;
        w->fProximity = static_cast<float>(tail.dProx);
    }
    if (tail.fTemp) {
        w->dwFlags |= wfTemperature;
        w->fTemperature = static_cast<float>(tail.dTemp);
    }
    if (tail.fTime) w->dTime = UnixSecondsToOle(tail.dwTime);
    w->strText3 = std::move(tail.strText3);
    return w;
}

bool CGdbReader::ReadTail(CByteReader r, bool fStreet, WaypointTail& t) const {
    WORD wUnknown = 0;
    BYTE fTime = 0;
    bool fOk = ReadText(r, nullptr) && ReadText(r, nullptr) && ReadText(r, nullptr) && r.Skip(1) &&
               ReadOptionalDouble(r, t.fProx, t.dProx);
    if (fStreet) fOk = fOk && ReadText(r, nullptr) && r.Skip(1);
    else fOk = fOk && r.Read(wUnknown) && wUnknown == 0;
    fOk = fOk && r.Skip(4) && ReadText(r, nullptr);
    if (fOk && m_wVersion >= c_wVersion3) {
        // A counted list of link texts takes the place of the single one.
        DWORD cLinks = 0;
        fOk = r.Read(cLinks) && cLinks <= r.Left();
        for (DWORD i = 0; fOk && i < cLinks; ++i) fOk = ReadText(r, i == 0 ? &t.strText3 : nullptr);
    } else if (fOk) {
        fOk = ReadText(r, &t.strText3);
    }
    fOk = fOk && r.Skip(2) && ReadOptionalDouble(r, t.fTemp, t.dTemp) && r.Read(fTime) &&
          (!fTime || r.Read(t.dwTime));
    t.fTime = fTime != 0;
    // Newer versions add the address, phone and postal fields at the end.
    return fOk && (m_wVersion >= c_wVersion3 || r.AtEnd());
}

std::unique_ptr<Route> CGdbReader::ReadRoute(
    CByteReader r, const std::unordered_map<std::u16string, Waypoint*>& byName) const {
    auto route = std::make_unique<Route>();
    BYTE btAutoNamed = 0, btMinMaxNotDefined = 0;
    GdbPoint pt;
    DWORD cLinks = 0;
    if (!ReadText(r, &route->strName) || !r.Read(btAutoNamed) || !r.Read(btMinMaxNotDefined))
        return nullptr;
    if (btMinMaxNotDefined == 0 && (!ReadPoint(r, pt) || !ReadPoint(r, pt))) return nullptr;
    if (!r.Read(cLinks) || cLinks > r.Left() / 52) return nullptr;
    const std::size_t cbLinkTail = m_wVersion == c_wVersion2 ? 8 : m_wVersion >= c_wVersion3 ? 10 : 0;
    GdbPoint last;
    bool fHaveLast = false;
    for (DWORD i = 0; i < cLinks; ++i) {
        std::u16string strName;
        BYTE bt = 0, btLastLink = 0;
        DWORD cPoints = 0;
        const BYTE* pBlock = nullptr;
        // The link's head repeats the waypoint's class, country and
        // subclass; the country is a text (empty in most files).
        if (!ReadText(r, &strName) || !r.Skip(4) || !ReadText(r, nullptr) || !r.Skip(22) ||
            !r.Peek(bt))
            return nullptr;
        if (bt == 0xFF && !r.Skip(8)) return nullptr;
        if (!r.ReadBytes(23, pBlock)) return nullptr;
        std::memcpy(&cPoints, pBlock + 19, 4);
        if (cPoints > r.Left() / 9) return nullptr;
        std::vector<GdbPoint> linkPoints(cPoints);
        for (DWORD k = 0; k < cPoints; ++k)
            if (!ReadPoint(r, linkPoints[k])) return nullptr;
        if (!r.Read(btLastLink)) return nullptr;
        const bool fLast = btLastLink != 0;
        if (fLast && cPoints != 0) return nullptr;
        if (!fLast && (!ReadPoint(r, pt) || !ReadPoint(r, pt))) return nullptr;
        if (!r.Skip(cbLinkTail)) return nullptr;

        auto it = byName.find(strName);
        Waypoint* pw = it != byName.end() ? it->second : nullptr;
        RoutePoint head;
        head.pWaypoint = pw;
        head.btKind = rkVia;
        head.strName = strName;
        if (!linkPoints.empty()) {
            head.lY = linkPoints[0].lLat;
            head.lX = linkPoints[0].lLon;
        } else if (fHaveLast) {
            head.lY = last.lLat;
            head.lX = last.lLon;
        } else if (pw) {
            head.lX = pw->lX;
            head.lY = pw->lY;
        }
        route->points.push_back(std::move(head));
        for (DWORD k = 1; k + 1 < cPoints; ++k) {
            RoutePoint inner;
            inner.btKind = 0;
            inner.lY = linkPoints[k].lLat;
            inner.lX = linkPoints[k].lLon;
            route->points.push_back(std::move(inner));
        }
        if (cPoints) {
            last = linkPoints.back();
            fHaveLast = true;
        }
        if (fLast) break;
    }
    if (m_wVersion < c_wVersion3) {
        if (!ReadText(r, &route->strText3) || !r.AtEnd()) return nullptr;
    }
    route->dTime = NowUtcOle();
    return route;
}

bool AcceptVersion(WORD wVersion, NewerVersionPolicy policy) {
    if (wVersion < c_wVersion3) return true;
    if (wVersion > c_wVersion3 || policy == nvRefuse) {
        ShowWarning(2168);
        return false;
    }
    if (policy == nvAccept) {
        ShowWarning(2168);
        return true;
    }
    const std::u16string strText = LoadStr(2168);
    return UiHost().MessageBox(strText, MainCaption(), MB_YESNO | MB_ICONWARNING) == IDYES;
}

} // namespace

bool ProbeGdb(std::span<const BYTE> data) { return MapSourceSignature(data) == msfDatabase; }

bool ImportGdb(std::span<const BYTE> data, ImportTarget& target) {
    if (!ProbeGdb(data)) return false;
    CRecordWalker walker(data);
    char chType = 0;
    CByteReader body;
    WORD wVersion = c_wVersion1;
    std::vector<std::unique_ptr<Waypoint>> waypoints;
    std::vector<std::unique_ptr<Route>> routes;
    std::vector<Track> tracks;
    std::unordered_map<std::u16string, Waypoint*> byName;
    while (walker.Next(chType, body)) {
        CGdbReader reader(wVersion);
        if (chType == 'D') {
            if (!body.Read(wVersion)) break;
            if (!AcceptVersion(wVersion, target.m_newer)) return false;
        } else if (chType == 'W') {
            if (auto w = reader.ReadWaypoint(body)) {
                byName.emplace(w->strName, w.get());
                waypoints.push_back(std::move(w));
            }
        } else if (chType == 'R' && !target.m_fWaypointsOnly) {
            if (auto route = reader.ReadRoute(body, byName)) routes.push_back(std::move(route));
        } else if (chType == 'T' && target.m_pTracks) {
            Track track;
            if (ParseGdbTrack(body, track)) tracks.push_back(std::move(track));
        } else if (chType == 'V') {
            break;
        }
    }
    // Point references are counted once the route sits in the store.
    for (auto& route : routes)
        for (RoutePoint& pt : route->points)
            if (pt.pWaypoint && pt.pWaypoint->cRefs < 255) ++pt.pWaypoint->cRefs;
    target.m_cWaypoints += static_cast<int>(waypoints.size());
    target.m_cRoutes += static_cast<int>(routes.size());
    target.m_cTracks += static_cast<int>(tracks.size());
    target.m_store.AddWaypointsInOrder(std::move(waypoints));
    target.m_store.AddRoutesInOrder(std::move(routes));
    if (target.m_pTracks)
        for (Track& t : tracks) target.m_pTracks->push_back(std::move(t));
    return true;
}

} // namespace velka
