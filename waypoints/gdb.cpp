// MapSource GPS database (GDB) import and export.
#include <cstring>
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "platform/debug.h"

#include "platform/clock.h"
#include "platform/text.h"
#include "shell/string_ids.h"
#include "waypoints/ansi_text.h"
#include "waypoints/export_file.h"
#include "waypoints/mapsource_records.h"

namespace velka {
namespace {

constexpr WORD c_wVersion1 = 107; // 'k'
constexpr WORD c_wVersion2 = 108; // 'l'
constexpr WORD c_wVersion3 = 109; // 'm', texts in UTF-8

struct WaypointTail {
    bool fDepth = false;
    bool fTemp = false;
    bool fTime = false;
    double dDepth = 0;
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
    bool fAlt = false, fProx = false;
    double dAlt = 0, dProx = 0;
    LONG lDisplay = 0, lColor = 0, lIcon = 0;
    if (!ReadText(r, &w->strName) || !r.Read(lClass) || !ReadText(r, nullptr) || !r.Skip(22) ||
        !r.Read(w->lY) || !r.Read(w->lX) || !ReadOptionalDouble(r, fAlt, dAlt) ||
        !ReadText(r, &w->strComment) || !ReadOptionalDouble(r, fProx, dProx) ||
        !r.Read(lDisplay) || !r.Read(lColor) || !r.Read(lIcon))
        return nullptr;
    if (lClass != 0) w->dwFlags |= wfRouteOwned;
    if (fAlt) w->fAltitude = static_cast<float>(dAlt);
    else w->dwFlags |= wfNoAltitude;
    if (fProx) {
        w->dwFlags |= wfProximity;
        w->fProximity = static_cast<float>(dProx);
    }
    w->btShow = lDisplay >= 0 && lDisplay < 4 ? static_cast<BYTE>(lDisplay) : BYTE(wsIconAndName);
    const WORD wIcon = static_cast<WORD>(lIcon & 0xFFFF);
    w->wType = wIcon < 0x4000 ? wIcon : c_wDefaultWaypointType;

    // The fields after the icon. In version 109 files the zero word after
    // the depth is a text (the street address, which BaseCamp fills)
    // and a byte.
    WaypointTail tail;
    if (!ReadTail(r, false, tail) && (m_wVersion < c_wVersion3 || !ReadTail(r, true, tail))) {
        if (m_wVersion < c_wVersion3) return nullptr;
        return w; // an unknown layout: the values above are kept
    }
    if (tail.fDepth) w->fDepth = static_cast<float>(tail.dDepth);
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
               ReadOptionalDouble(r, t.fDepth, t.dDepth);
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

bool AcceptVersion(WORD wVersion, ImportTarget& target) {
    if (wVersion < c_wVersion3) return true;
    const CError notice(ErrorCode::GdbNewerVersion);
    if (wVersion > c_wVersion3 || target.m_newer == nvRefuse) {
        target.m_error = notice;
        return false;
    }
    if (target.m_newer == nvAccept) {
        target.m_warnings.push_back(notice);
        return true;
    }
    if (target.m_fnAsk && target.m_fnAsk(notice)) return true;
    target.m_error = CError(ErrorCode::Declined);
    return false;
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
            if (!AcceptVersion(wVersion, target)) return false;
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
    // A file cut short gives its whole records and says that it is damaged.
    if (!walker.ReachedEnd()) target.m_warnings.push_back(CError(ErrorCode::MapSourceFileTruncated));
    target.Commit(std::move(waypoints), std::move(routes), std::move(tracks));
    return true;
}

} // namespace velka

namespace velka {
namespace {

void WriteCString(CFileWriter& fw, const std::string& s) {
    fw.WriteText(s.data(), s.size());
    fw.WriteByte(0);
}

void WriteSubclass(CFileWriter& fw) {
    fw.WriteFill(4, 0);
    fw.WriteFill(12, 0xFF);
    fw.WriteFill(2, 0);
    fw.WriteFill(4, 0xFF);
}

void WritePoint(CFileWriter& fw, LONG lLat, LONG lLon) {
    fw.WriteDWord(static_cast<DWORD>(lLat));
    fw.WriteDWord(static_cast<DWORD>(lLon));
    fw.WriteByte(0);
}

void WriteWaypointRecord(CFileWriter& fw, const Waypoint& w, const std::string& strName) {
    const std::string strComment = ExportAnsiText(w.strComment);
    const std::string strText3 = ExportAnsiText(w.strText3);
    const bool fAlt = w.HasAltitude();
    const bool fDepth = w.fDepth != 0;
    const bool fProx = (w.dwFlags & wfProximity) != 0;
    const bool fTemp = (w.dwFlags & wfTemperature) != 0;
    const DWORD dwSeconds = w.dTime != 0 ? OleToUnixSeconds(w.dTime) : 0;
    const bool fTime = dwSeconds != 0;
    const DWORD dwLen = static_cast<DWORD>(strName.size() + 1 + 4 + 1 + 22 + 8 + 1 + (fAlt ? 8 : 0) +
                                           strComment.size() + 1 + 1 + (fProx ? 8 : 0) + 12 + 3 +
                                           1 + 1 + (fDepth ? 8 : 0) + 2 + 4 + 1 + strText3.size() +
                                           1 + 2 + 1 + (fTemp ? 8 : 0) + 1 + (fTime ? 4 : 0));
    fw.WriteDWord(dwLen);
    fw.WriteByte('W');
    const DWORD cPos = fw.GetPosition();
    WriteCString(fw, strName);
    fw.WriteDWord((w.dwFlags & wfRouteOwned) ? 12 : 0);
    fw.WriteByte(0); // country
    WriteSubclass(fw);
    fw.WriteDWord(static_cast<DWORD>(w.lY));
    fw.WriteDWord(static_cast<DWORD>(w.lX));
    fw.WriteByte(fAlt);
    if (fAlt) WriteRawDouble(fw, w.fAltitude);
    WriteCString(fw, strComment);
    fw.WriteByte(fProx);
    if (fProx) WriteRawDouble(fw, w.fProximity);
    fw.WriteDWord(w.btShow);
    fw.WriteDWord(0); // colour
    fw.WriteDWord(w.wType);
    fw.WriteFill(3, 0); // city, state, facility
    fw.WriteByte(0);
    fw.WriteByte(fDepth);
    if (fDepth) WriteRawDouble(fw, w.fDepth);
    fw.WriteWord(0);
    fw.WriteDWord(0);
    fw.WriteByte(0);
    WriteCString(fw, strText3);
    fw.WriteWord(0);
    fw.WriteByte(fTemp);
    if (fTemp) WriteRawDouble(fw, w.fTemperature);
    fw.WriteByte(fTime);
    if (fTime) fw.WriteDWord(dwSeconds);
    VELKA_ASSERT(fw.GetPosition() - cPos == dwLen);
}

void WriteRouteRecord(CFileWriter& fw, const Route& route, const std::string& strName,
                      const std::unordered_map<const Waypoint*, const std::string*>& exportNames) {
    std::vector<const RoutePoint*> links;
    for (const RoutePoint& pt : route.points)
        if (pt.pWaypoint && exportNames.count(pt.pWaypoint)) links.push_back(&pt);
    const DWORD cStart = fw.GetPosition();
    fw.WriteDWord(0); // length, patched below
    fw.WriteByte('R');
    const DWORD cPos = fw.GetPosition();
    WriteCString(fw, strName);
    fw.WriteByte(0); // auto-named
    fw.WriteByte(0); // corners follow
    const CMapRect rc = route.Bounds();
    WritePoint(fw, rc.bottom, rc.right);
    WritePoint(fw, rc.top, rc.left);
    fw.WriteDWord(static_cast<DWORD>(links.size()));
    for (std::size_t i = 0; i < links.size(); ++i) {
        const RoutePoint& pt = *links[i];
        const bool fLast = i + 1 == links.size();
        WriteCString(fw, *exportNames.at(pt.pWaypoint));
        BYTE head[27] = {};
        BYTE block[23] = {};
        const LONG lMinus1 = -1, l3 = 3;
        const LONG lCount = fLast ? 0 : 2;
        for (std::size_t off : {9u, 13u, 17u, 23u}) std::memcpy(head + off, &lMinus1, 4);
        std::memcpy(block + 1, &l3, 4);
        std::memcpy(block + 5, &lMinus1, 4);
        std::memcpy(block + 19, &lCount, 4);
        fw.WriteBytes(head, sizeof head);
        fw.WriteBytes(block, sizeof block);
        if (fLast) {
            fw.WriteByte(1);
            break;
        }
        const RoutePoint& next = *links[i + 1];
        WritePoint(fw, pt.Y(), pt.X());
        WritePoint(fw, next.Y(), next.X());
        fw.WriteByte(0);
        WritePoint(fw, std::max(pt.Y(), next.Y()), std::max(pt.X(), next.X()));
        WritePoint(fw, std::min(pt.Y(), next.Y()), std::min(pt.X(), next.X()));
    }
    WriteCString(fw, ExportAnsiText(route.strText3));
    const DWORD cEnd = fw.GetPosition();
    fw.Seek(cStart);
    fw.WriteDWord(cEnd - cPos);
    fw.Seek(cEnd);
}

// The bytes of one track point: position, then altitude, time, depth and
// temperature, each a flag byte followed by the value when it is present.
std::size_t TrackPointSize(const TrackPoint& p) {
    return 8 + 1 + (p.fAltitude ? 8 : 0) + 1 + (p.fTime ? 4 : 0) + 1 + (p.fDepth ? 8 : 0) + 1 +
           (p.fTemperature ? 8 : 0);
}

// A 'T' record: name, display flag (1, shown), colour (0, the default),
// point count, the points, and the track's link text (empty), which ends
// the record in version 107 and 108 databases.
void WriteTrackRecord(CFileWriter& fw, const Track& track, const std::string& strName) {
    std::size_t cb = strName.size() + 1 + 1 + 4 + 4 + 1;
    for (const TrackPoint& p : track.points) cb += TrackPointSize(p);
    const DWORD dwLen = static_cast<DWORD>(cb);
    fw.WriteDWord(dwLen);
    fw.WriteByte('T');
    const DWORD cPos = fw.GetPosition();
    WriteTrackHead(fw, strName, 1, track.points.size());
    for (const TrackPoint& p : track.points) {
        fw.WriteDWord(static_cast<DWORD>(p.lLat));
        fw.WriteDWord(static_cast<DWORD>(p.lLon));
        fw.WriteByte(p.fAltitude);
        if (p.fAltitude) WriteRawDouble(fw, p.dAltitude);
        fw.WriteByte(p.fTime);
        if (p.fTime) fw.WriteDWord(p.dwTime);
        fw.WriteByte(p.fDepth);
        if (p.fDepth) WriteRawDouble(fw, p.dDepth);
        fw.WriteByte(p.fTemperature);
        if (p.fTemperature) WriteRawDouble(fw, p.dTemperature);
    }
    fw.WriteByte(0); // link text
    VELKA_ASSERT(fw.GetPosition() - cPos == dwLen);
}

// Every track with points, under names unique in the file; a track
// without a name is called as the recorder calls its tracks.
void WriteTrackRecords(CFileWriter& fw, const std::vector<Track>& tracks) {
    std::vector<const Track*> written;
    std::vector<std::u16string> givenNames;
    for (const Track& t : tracks) {
        if (t.points.empty()) continue;
        written.push_back(&t);
        givenNames.push_back(t.strName.empty()
                                 ? FormatW(u"Track %03d", static_cast<int>(written.size() - 1))
                                 : t.strName);
    }
    std::vector<const std::u16string*> names;
    for (const std::u16string& s : givenNames) names.push_back(&s);
    const std::vector<std::u16string> exportNames = UniqueExportNames(names);
    for (std::size_t i = 0; i < written.size(); ++i)
        WriteTrackRecord(fw, *written[i], ExportAnsiText(exportNames[i]));
}

} // namespace

std::vector<std::u16string> UniqueExportNames(const std::vector<const std::u16string*>& names) {
    std::unordered_map<std::u16string, int> earlier;
    std::unordered_set<std::u16string> used;
    for (const std::u16string* p : names) used.insert(*p);
    std::vector<std::u16string> out;
    out.reserve(names.size());
    for (const std::u16string* p : names) {
        int& n = earlier[*p];
        if (n == 0) {
            out.push_back(*p);
        } else {
            // A generated name must not meet another entry's own name.
            std::u16string s;
            for (int k = n;; ++k) {
                s = FormatW(u"%s (%d)", p->c_str(), k);
                if (!used.count(s)) break;
            }
            used.insert(s);
            out.push_back(std::move(s));
        }
        ++n;
    }
    return out;
}

bool ExportGdb(const std::string& strPath, const CWaypointStore& store, bool fRoutes,
               const std::vector<Track>* pTracks, CError& error) {
    CExportFile file(error);
    if (!file.Create(strPath)) return false;
    CFileWriter& fw = file.Writer();
    static const BYTE c_abHead[54] = {
        'M', 's', 'R', 'c', 'f', 0, 2, 0, 0, 0, 'D', 'k', 0, 26, 0, 0, 0, 'A',
        0x58, 0x02, 'K', 'G', 0, 'M', 'a', 'r', ' ', ' ', '5', ' ', '2', '0', '0', '6', 0,
        '2', '0', ':', '0', '1', ':', '3', '6', 0, 'M', 'a', 'p', 'S', 'o', 'u', 'r', 'c', 'e', 0};
    fw.WriteBytes(c_abHead, sizeof c_abHead);

    std::vector<const Waypoint*> waypoints;
    std::vector<const std::u16string*> names;
    for (const auto& p : store.Waypoints())
        if (!p->IsDeleted() && !p->strName.empty()) {
            waypoints.push_back(p.get());
            names.push_back(&p->strName);
        }
    const std::vector<std::u16string> exportNames = UniqueExportNames(names);
    std::vector<std::string> ansiNames(exportNames.size());
    std::unordered_map<const Waypoint*, const std::string*> byWaypoint;
    byWaypoint.reserve(waypoints.size());
    for (std::size_t i = 0; i < waypoints.size(); ++i) {
        ansiNames[i] = ExportAnsiText(exportNames[i]);
        byWaypoint.emplace(waypoints[i], &ansiNames[i]);
        WriteWaypointRecord(fw, *waypoints[i], ansiNames[i]);
    }
    if (fRoutes) {
        std::vector<const Route*> routes;
        std::vector<const std::u16string*> routeNames;
        for (const auto& p : store.Routes())
            if (!p->IsDeleted() && !p->strName.empty() && !p->points.empty()) {
                routes.push_back(p.get());
                routeNames.push_back(&p->strName);
            }
        const std::vector<std::u16string> exportRouteNames = UniqueExportNames(routeNames);
        for (std::size_t i = 0; i < routes.size(); ++i)
            WriteRouteRecord(fw, *routes[i], ExportAnsiText(exportRouteNames[i]), byWaypoint);
    }
    if (pTracks) WriteTrackRecords(fw, *pTracks);
    static const BYTE c_abTail[7] = {2, 0, 0, 0, 'V', 0, 1};
    fw.WriteBytes(c_abTail, sizeof c_abTail);
    return file.Commit();
}

} // namespace velka
