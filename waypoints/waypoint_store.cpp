#include "waypoints/waypoint_store.h"

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <unordered_set>

#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "platform/debug.h"
#include "platform/mapped_file.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "shell/string_ids.h"
#include "tracks/file_utils.h"
#include "waypoints/byte_reader.h"

namespace velka {
namespace {

constexpr BYTE c_cbWaypointRecord = 40;
constexpr BYTE c_cWaypointTexts = 4;
constexpr BYTE c_cbRouteRecord = 16;
constexpr BYTE c_cRouteTexts = 3;

enum StorageFlag : BYTE {
    sfWaypoint = 0x01,
    sfPosition = 0x02,
    sfKind = 0x04,
    sfSpeed = 0x08,
    sfName = 0x10,
    sfValueByte = 0x20,
    sfValueDword = 0x40,
};

class CBuffer {
public:
    template <class T> void Put(T v) {
        const BYTE* p = reinterpret_cast<const BYTE*>(&v);
        m_data.insert(m_data.end(), p, p + sizeof(T));
    }
    void PutText(const std::u16string& s) {
        Put(static_cast<DWORD>(s.size()));
        const BYTE* p = reinterpret_cast<const BYTE*>(s.data());
        m_data.insert(m_data.end(), p, p + s.size() * 2);
    }
    void PutAt(std::size_t pos, DWORD v) { std::memcpy(m_data.data() + pos, &v, 4); }
    std::size_t Size() const { return m_data.size(); }
    std::vector<BYTE> Take() { return std::move(m_data); }

private:
    std::vector<BYTE> m_data;
};

bool ReadText(CByteReader& r, std::u16string* pText) {
    DWORD cch = 0;
    if (!r.Read(cch)) return false;
    const BYTE* p = nullptr;
    if (cch > r.Left() / 2 || !r.ReadBytes(std::size_t(cch) * 2, p)) return r.Fail();
    if (pText) {
        pText->resize(cch);
        std::memcpy(pText->data(), p, std::size_t(cch) * 2);
    }
    return true;
}

std::u16string Numbered(int n) { return FormatW(u"%03d", n); }

template <class List, class Pred> std::u16string FirstFree(const List& list, Pred fnLive) {
    std::unordered_set<std::u16string> used;
    for (const auto& p : list)
        if (fnLive(*p)) used.insert(p->strName);
    for (int n = 1;; ++n) {
        std::u16string s = Numbered(n);
        if (!used.count(s)) return s;
    }
}

// Keeps a damaged file aside under a name no later save uses.
void KeepAside(const std::string& strPath) {
    std::error_code ec;
    std::string strAside = strPath + ".damaged";
    for (int n = 1; std::filesystem::exists(strAside, ec); ++n)
        strAside = strPath + ".damaged-" + std::to_string(n);
    std::filesystem::rename(strPath, strAside, ec);
    if (ec) std::filesystem::copy_file(strPath, strAside, ec);
}

} // namespace

CMapRect Route::Bounds() const {
    CMapRect rc = CMapRect::MakeEmpty();
    for (const RoutePoint& pt : points) rc.Add(pt.X(), pt.Y());
    return rc;
}

std::size_t CWaypointStore::LiveWaypointCount() const {
    std::size_t c = 0;
    for (const auto& p : m_waypoints) c += !p->IsDeleted();
    return c;
}

std::size_t CWaypointStore::LiveRouteCount() const {
    std::size_t c = 0;
    for (const auto& p : m_routes) c += !p->IsDeleted();
    return c;
}

std::u16string CWaypointStore::FreeWaypointName() const {
    return FirstFree(m_waypoints, [](const Waypoint& w) { return !w.IsDeleted(); });
}

std::u16string CWaypointStore::FreeRouteName() const {
    return FirstFree(m_routes, [](const Route& r) { return !r.IsDeleted(); });
}

Waypoint* CWaypointStore::CreateWaypoint(LONG lX, LONG lY, double dTime,
                                         std::optional<float> altitude,
                                         const std::u16string* pName) {
    auto p = std::make_unique<Waypoint>();
    p->lX = lX;
    p->lY = lY;
    p->dTime = dTime;
    if (altitude) p->fAltitude = *altitude;
    else p->dwFlags |= wfNoAltitude;
    p->strName = pName ? *pName : FreeWaypointName();
    return AddWaypoint(std::move(p));
}

Waypoint* CWaypointStore::AddWaypoint(std::unique_ptr<Waypoint> pWaypoint) {
    VELKA_ASSERT(pWaypoint->wType < 0x4000);
    VELKA_ASSERT(pWaypoint->btShow < 0x4);
    m_waypoints.push_front(std::move(pWaypoint));
    return m_waypoints.front().get();
}

void CWaypointStore::AddWaypointsInOrder(std::vector<std::unique_ptr<Waypoint>> waypoints) {
    for (auto it = waypoints.rbegin(); it != waypoints.rend(); ++it) AddWaypoint(std::move(*it));
}

void CWaypointStore::DeleteWaypoint(Waypoint* pWaypoint) {
    if (!pWaypoint || pWaypoint->IsDeleted()) return;
    for (auto& pRoute : m_routes) {
        if (pRoute->IsDeleted()) continue;
        for (RoutePoint& pt : pRoute->points) {
            if (pt.pWaypoint != pWaypoint) continue;
            pt.lX = pWaypoint->lX;
            pt.lY = pWaypoint->lY;
            pt.pWaypoint = nullptr;
            if (pWaypoint->cRefs) --pWaypoint->cRefs;
        }
    }
    pWaypoint->dwFlags |= wfDeleted;
}

void CWaypointStore::DeleteAllWaypoints() {
    for (auto& p : m_waypoints) DeleteWaypoint(p.get());
}

Waypoint* CWaypointStore::WaypointNear(CMapPoint pt, double dRadius) const {
    // Map units: 2^30 per 180 degrees, about 2e7 m along a meridian.
    const double dUnits = dRadius * 1073741824.0 / 2e7;
    const double dCos = std::cos(pt.lY * M_PI / 1073741824.0);
    const double dHalfWidth = dCos > 1e-9 ? dUnits / dCos : 4.0e9;
    Waypoint* pBest = nullptr;
    double dBest = dUnits * dUnits;
    for (const auto& p : m_waypoints) {
        if (p->IsDeleted()) continue;
        const double dx = p->lX / 2.0 - pt.lX;
        const double dy = p->lY / 2.0 - pt.lY;
        if (std::fabs(dy) > dUnits || std::fabs(dx) > dHalfWidth) continue;
        const double d = dx * dCos * dx * dCos + dy * dy;
        if (d <= dBest) {
            dBest = d;
            pBest = p.get();
        }
    }
    return pBest;
}

Route* CWaypointStore::CreateRoute(const std::u16string* pName, double dTime) {
    auto p = std::make_unique<Route>();
    p->strName = pName ? *pName : FreeRouteName();
    p->dTime = dTime != 0 ? dTime : NowUtcOle();
    return AddRoute(std::move(p));
}

Route* CWaypointStore::AddRoute(std::unique_ptr<Route> pRoute) {
    m_routes.push_front(std::move(pRoute));
    return m_routes.front().get();
}

void CWaypointStore::AddRoutesInOrder(std::vector<std::unique_ptr<Route>> routes) {
    for (auto it = routes.rbegin(); it != routes.rend(); ++it) AddRoute(std::move(*it));
}

Route* CWaypointStore::CopyRoute(const Route& route) {
    std::unordered_set<std::u16string> used;
    for (const auto& p : m_routes)
        if (!p->IsDeleted()) used.insert(p->strName);
    std::u16string strName;
    for (int n = 1;; ++n) {
        strName = FormatW(u"%s (%d)", route.strName.c_str(), n);
        if (!used.count(strName)) break;
    }
    auto p = std::make_unique<Route>(route);
    p->strName = strName;
    p->dwFlags &= ~DWORD(rfActive | rfDeleted);
    for (RoutePoint& pt : p->points)
        if (pt.pWaypoint && pt.pWaypoint->cRefs < 255) ++pt.pWaypoint->cRefs;
    return AddRoute(std::move(p));
}

CError CWaypointStore::DeleteRoute(Route* pRoute) {
    if (!pRoute || pRoute->IsDeleted()) return {};
    if (pRoute == m_pActiveRoute) return CError(ErrorCode::ActiveRouteNotDeleted);
    for (RoutePoint& pt : pRoute->points) {
        Waypoint* pw = pt.pWaypoint;
        if (!pw) continue;
        if (pw->cRefs) --pw->cRefs;
        // A waypoint made for this route goes with it once nothing else uses it.
        if ((pw->dwFlags & wfRouteOwned) && pw->cRefs == 0) pw->dwFlags |= wfDeleted;
    }
    pRoute->dwFlags |= rfDeleted;
    return {};
}

CError CWaypointStore::DeleteAllRoutes() {
    CError refused;
    for (auto& p : m_routes)
        if (CError error = DeleteRoute(p.get())) refused = std::move(error);
    return refused;
}

void CWaypointStore::AppendPoint(Route& route, RoutePoint point) {
    if (point.pWaypoint) {
        if (point.pWaypoint->cRefs < 255) ++point.pWaypoint->cRefs;
        point.lX = point.pWaypoint->lX;
        point.lY = point.pWaypoint->lY;
    }
    route.points.push_back(std::move(point));
}

void CWaypointStore::SetActiveRoute(Route* pRoute) {
    if (m_pActiveRoute) m_pActiveRoute->dwFlags &= ~DWORD(rfActive);
    m_pActiveRoute = pRoute;
    if (pRoute) pRoute->dwFlags |= rfActive;
}

void CWaypointStore::Clear() {
    m_routes.clear();
    m_waypoints.clear();
    m_pActiveRoute = nullptr;
}

std::vector<BYTE> CWaypointStore::Serialize() const {
    const bool fRoutes = LiveRouteCount() > 0;
    CBuffer b;
    b.Put<BYTE>(fRoutes ? 'R' : 'W');
    b.Put<BYTE>(fRoutes ? 'W' : 'R');
    b.Put<BYTE>(fRoutes ? 12 : 2);
    b.Put<BYTE>(c_cbWaypointRecord);
    b.Put<BYTE>(c_cWaypointTexts);
    std::size_t posCount = 0;
    if (fRoutes) {
        posCount = b.Size();
        b.Put<DWORD>(0);
        b.Put<BYTE>(c_cbRouteRecord);
        b.Put<BYTE>(c_cRouteTexts);
        b.Put<DWORD>(static_cast<DWORD>(LiveRouteCount()));
    }
    std::unordered_map<const Waypoint*, DWORD> ordinals;
    ordinals.reserve(m_waypoints.size());
    for (const auto& p : m_waypoints) {
        const Waypoint& w = *p;
        if (w.IsDeleted()) continue;
        ordinals.emplace(&w, static_cast<DWORD>(ordinals.size()));
        b.Put<DWORD>(w.dwFlags & ~DWORD(wfDeleted));
        b.Put<LONG>(w.lX);
        b.Put<LONG>(w.lY);
        b.Put<double>(w.dTime);
        b.Put<float>(w.fAltitude);
        b.Put<float>(w.fDepth);
        b.Put<BYTE>(static_cast<BYTE>(w.wType & 0xFF));
        b.Put<BYTE>(static_cast<BYTE>((w.btShow & 3) | ((w.wType >> 8) & 0x3F) << 2));
        b.Put<BYTE>(w.btReserved);
        b.Put<BYTE>(w.cRefs);
        b.Put<float>(w.fProximity);
        b.Put<float>(w.fTemperature);
        b.PutText(w.strName);
        b.PutText(w.strComment);
        b.PutText(w.strText3);
        b.PutText(w.strText4);
    }
    if (!fRoutes) return b.Take();
    b.PutAt(posCount, static_cast<DWORD>(ordinals.size()));
    for (const auto& p : m_routes) {
        const Route& r = *p;
        if (r.IsDeleted()) continue;
        b.Put<DWORD>(r.dwFlags);
        b.Put<double>(r.dTime);
        b.Put<DWORD>(r.dwColor);
        b.PutText(r.strName);
        b.PutText(r.strText2);
        b.PutText(r.strText3);
        b.Put<DWORD>(static_cast<DWORD>(r.points.size()));
        for (const RoutePoint& pt : r.points) {
            BYTE f = pt.btStorage;
            auto it = pt.pWaypoint ? ordinals.find(pt.pWaypoint) : ordinals.end();
            if (it != ordinals.end()) {
                f = BYTE((f | sfWaypoint) & ~sfPosition);
            } else {
                f = BYTE((f & ~(sfWaypoint | sfName | sfValueByte | sfValueDword)) | sfPosition);
                if (!pt.strName.empty()) f |= sfName;
                if (pt.dwValue >= 1 && pt.dwValue <= 255) f |= sfValueByte;
                else if (pt.dwValue > 255) f |= sfValueDword;
            }
            if (pt.btKind != rkVia) f |= sfKind;
            else f &= BYTE(~sfKind);
            b.Put<BYTE>(f);
            if (f & sfWaypoint) b.Put<DWORD>(it->second);
            if (f & sfPosition) {
                b.Put<LONG>(pt.X());
                b.Put<LONG>(pt.Y());
            }
            if (f & sfKind) b.Put<BYTE>(pt.btKind);
            if (f & sfSpeed) b.Put<BYTE>(BYTE((pt.btSpeed & 7) | (pt.btRoadClass & 7) << 3));
            if (f & sfName) b.PutText(pt.strName);
            if (f & sfValueByte) b.Put<BYTE>(static_cast<BYTE>(pt.dwValue));
            if (f & sfValueDword) b.Put<DWORD>(pt.dwValue);
            if (pt.btKind & rkRoundaboutEntry) b.Put<BYTE>(pt.btExtra);
        }
    }
    return b.Take();
}

namespace {
std::function<void(Route&)>& RouteLoadedHook() {
    static std::function<void(Route&)> s_fn;
    return s_fn;
}
} // namespace

void SetRouteLoadedHook(std::function<void(Route&)> fn) { RouteLoadedHook() = std::move(fn); }

bool CWaypointStore::Parse(std::span<const BYTE> data) {
    Clear();
    CByteReader r(data);
    BYTE m0 = 0, m1 = 0, cbHeader = 0;
    if (!r.Read(m0) || !r.Read(m1) || !r.Read(cbHeader)) return false;
    const bool fRoutes = m0 == 'R' && m1 == 'W';
    if (!fRoutes && !(m0 == 'W' && m1 == 'R')) return false;
    CByteReader h;
    if (!r.Sub(cbHeader, h)) return false;
    BYTE cbWaypoint = 0, cWaypointTexts = 0, cbRoute = 0, cRouteTexts = 0;
    DWORD cWaypoints = 0xFFFFFFFF, cRoutes = 0;
    h.Read(cbWaypoint);
    h.Read(cWaypointTexts);
    if (fRoutes) {
        if (!h.Read(cWaypoints) || !h.Read(cbRoute) || !h.Read(cRouteTexts) || !h.Read(cRoutes))
            return false;
        if (cbRoute < c_cbRouteRecord) return false;
    }
    if (!h.Ok() || cbWaypoint < c_cbWaypointRecord || cWaypointTexts < c_cWaypointTexts) return false;

    std::vector<Waypoint*> byOrdinal;
    std::vector<std::unique_ptr<Waypoint>> waypoints;
    bool fComplete = true;
    for (DWORD i = 0; i < cWaypoints; ++i) {
        if (!fRoutes && r.AtEnd()) break;
        CByteReader rec;
        auto w = std::make_unique<Waypoint>();
        BYTE btType = 0, btShow = 0;
        if (!r.Sub(cbWaypoint, rec) || !rec.Read(w->dwFlags) || !rec.Read(w->lX) ||
            !rec.Read(w->lY) || !rec.Read(w->dTime) || !rec.Read(w->fAltitude) ||
            !rec.Read(w->fDepth) || !rec.Read(btType) || !rec.Read(btShow) ||
            !rec.Read(w->btReserved) || !rec.Read(w->cRefs) || !rec.Read(w->fProximity) ||
            !rec.Read(w->fTemperature)) {
            fComplete = false;
            break;
        }
        w->dwFlags &= ~DWORD(wfDeleted);
        w->cRefs = 0;
        w->wType = static_cast<WORD>(btType | (btShow >> 2) << 8);
        w->btShow = btShow & 3;
        std::u16string* texts[4] = {&w->strName, &w->strComment, &w->strText3, &w->strText4};
        bool fOk = true;
        for (BYTE t = 0; t < cWaypointTexts && fOk; ++t) fOk = ReadText(r, t < 4 ? texts[t] : nullptr);
        if (!fOk) {
            fComplete = false;
            break;
        }
        byOrdinal.push_back(w.get());
        waypoints.push_back(std::move(w));
    }
    if (fRoutes && byOrdinal.size() != cWaypoints) fComplete = false;

    std::vector<std::unique_ptr<Route>> routes;
    for (DWORD i = 0; fComplete && i < cRoutes; ++i) {
        auto route = std::make_unique<Route>();
        CByteReader rec;
        DWORD cPoints = 0;
        bool fOk = r.Sub(cbRoute, rec) && rec.Read(route->dwFlags) && rec.Read(route->dTime) &&
                   rec.Read(route->dwColor);
        std::u16string* texts[3] = {&route->strName, &route->strText2, &route->strText3};
        for (BYTE t = 0; t < cRouteTexts && fOk; ++t) fOk = ReadText(r, t < 3 ? texts[t] : nullptr);
        route->dwFlags &= ~DWORD(rfDeleted); // only live routes are written
        fOk = fOk && r.Read(cPoints) && cPoints <= r.Left();
        for (DWORD k = 0; fOk && k < cPoints; ++k) {
            RoutePoint pt;
            BYTE f = 0;
            fOk = r.Read(f);
            pt.btStorage = f;
            if (fOk && (f & sfWaypoint)) {
                DWORD dwOrdinal = 0;
                fOk = r.Read(dwOrdinal);
                if (fOk && dwOrdinal < byOrdinal.size()) pt.pWaypoint = byOrdinal[dwOrdinal];
            }
            if (fOk && (f & sfPosition)) fOk = r.Read(pt.lX) && r.Read(pt.lY);
            if (fOk && (f & sfKind)) fOk = r.Read(pt.btKind);
            if (fOk && (f & sfSpeed)) {
                BYTE bt = 0;
                fOk = r.Read(bt);
                pt.btSpeed = bt & 7;
                pt.btRoadClass = (bt >> 3) & 7;
            }
            if (fOk && (f & sfName)) fOk = ReadText(r, &pt.strName);
            if (fOk && (f & sfValueByte)) {
                BYTE bt = 0;
                fOk = r.Read(bt);
                pt.dwValue = bt;
            }
            if (fOk && (f & sfValueDword)) fOk = r.Read(pt.dwValue);
            if (fOk && (pt.btKind & rkRoundaboutEntry)) fOk = r.Read(pt.btExtra);
            if (!fOk) break;
            if (pt.pWaypoint) {
                pt.lX = pt.pWaypoint->lX;
                pt.lY = pt.pWaypoint->lY;
            }
            route->points.push_back(std::move(pt));
        }
        if (!fOk) {
            fComplete = false;
            break;
        }
        routes.push_back(std::move(route));
    }
    // References count once their route was read whole.
    for (const auto& rt : routes)
        for (const RoutePoint& pt : rt->points)
            if (pt.pWaypoint && pt.pWaypoint->cRefs < 255) ++pt.pWaypoint->cRefs;
    if (RouteLoadedHook())
        for (auto& rt : routes) RouteLoadedHook()(*rt);
    for (auto& w : waypoints) m_waypoints.push_back(std::move(w));
    for (auto& rt : routes) m_routes.push_back(std::move(rt));
    return fComplete;
}

std::string CWaypointStore::DefaultPath() {
    return TracksFolder() + "/Waypoints.bin";
}

CError CWaypointStore::Load(const std::string& strPath) {
    Clear();
    m_strPath = strPath;
    RemoveStaleTemporaries(strPath);
    CMappedFile file;
    if (!file.Open(strPath)) {
        if (file.LastError() == ENOENT) return {};
        return FileError(ErrorCode::CannotOpenFile, FromUtf8(strPath), file.LastError());
    }
    const bool fOk = Parse(file.Bytes());
    file.Close();
    CError error;
    if (!fOk) {
        // What could be read stays loaded; the file itself is kept for the
        // user, since the next save would replace it with less.
        error = CError(ErrorCode::WaypointsFileDamaged);
        KeepAside(strPath);
    }
    for (auto& p : m_routes) {
        if (!(p->dwFlags & rfActive)) continue;
        if (!m_pActiveRoute && ReadSettingInt(u"Navigation", 0) == 1) m_pActiveRoute = p.get();
        else p->dwFlags &= ~DWORD(rfActive);
    }
    return error;
}

CError CWaypointStore::Save(const std::string& strPath) const {
    std::vector<BYTE> data = Serialize();
    int nError = 0;
    std::filesystem::path folder = std::filesystem::path(strPath).parent_path();
    if (!folder.empty() && !EnsureDirectory(folder.string(), &nError))
        return FileError(ErrorCode::CannotCreateFolder, FromUtf8(folder.string()), nError);
    if (!WriteFileAtomic(strPath, data.data(), data.size(), &nError))
        return FileError(ErrorCode::CannotCreateFile, FromUtf8(strPath), nError);
    return {};
}

CError CWaypointStore::Save() const { return Save(m_strPath.empty() ? DefaultPath() : m_strPath); }

std::u16string WaypointTypeName(WORD wType) { return LoadStr(IDS_SYMBOL_FIRST + wType); }

} // namespace velka
