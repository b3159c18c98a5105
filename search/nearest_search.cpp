#include "search/nearest_search.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string_view>

#include "geometry/geodesy.h"
#include "search/type_filter_set.h"

namespace velka {

namespace {

constexpr DWORD c_dwNearestFlags =
    c_dwFindDisplayName | c_dwFindSettlement | c_dwFindPostcode | c_dwFindStreet | c_dwFindHouse | c_dwFindMapName |
    c_dwFindPoint | c_dwFindNearest | c_dwFindScale;

// Items read between two progress reports.
constexpr DWORD c_cItemsPerStep = 256;

float Degrees(LONG v) { return static_cast<float>(v * (180.0 / 1073741824.0)); }

double Metres(const CMapPoint& a, const CMapPoint& b) {
    return Distance(Degrees(a.lX), Degrees(a.lY), Degrees(b.lX), Degrees(b.lY));
}

// Drops the hits that repeat an earlier one from another map. Twins lie
// within a few metres of each other, so their distances differ by no more
// than that: only the hits just before each one need comparing.
void DropTwins(std::vector<CNearestHit>& hits) {
    std::vector<CNearestHit> kept;
    kept.reserve(hits.size());
    for (CNearestHit& h : hits) {
        bool fTwin = false;
        for (auto it = kept.rbegin();
             !fTwin && it != kept.rend() && h.dDistanceMetres - it->dDistanceMetres <= c_dSameObjectMetres; ++it)
            fTwin = IsSameObjectCut(it->item, h.item);
        if (!fTwin) kept.push_back(std::move(h));
    }
    hits = std::move(kept);
}

} // namespace

bool IsSameObjectCut(const CFindItem& a, const CFindItem& b) {
    return a.nKind == b.nKind && a.wType == b.wType && std::u16string_view(a.szName) == b.szName &&
           std::u16string_view(a.szMapName) != b.szMapName && Metres(a.ptNearest, b.ptNearest) <= c_dSameObjectMetres;
}

CNearestResult FindNearestObjects(CMapParser& map, const CNearestRequest& request, CSearchProgress* pProgress) {
    CNearestResult r;
    if (!IsValidTypeCookie(static_cast<long long>(request.cTypeCookie))) {
        r.status = SearchStatus::BadRequest;
        return r;
    }
    const CTypeFilter filter = TypeFilterOf(request.cTypeCookie);
    const double dRadius = std::isnan(request.dRadiusMetres)
                               ? 0.0
                               : std::clamp(request.dRadiusMetres, 0.0, c_dMaxSearchRadiusMetres);
    const CMapPoint& ref = request.ptRef;
    std::unique_ptr<CFindList> pList =
        map.FindNearest(request.nScaleCode, request.fUseViewLevel, ref.lX, ref.lY,
                        static_cast<DWORD>(std::lround(dRadius)), &filter, request.strName, pProgress);
    if (!pList) {
        r.status = SearchStatus::Cancelled;
        return r;
    }
    pList->SetReferencePoint(ref);
    // Reading the items and sorting them is the second stage.
    if (pProgress && pProgress->fnStage) pProgress->fnStage(c_idsSorting);
    r.hits.reserve(pList->Count());
    for (DWORD i = 0; i < pList->Count(); ++i) {
        if (pProgress && i % c_cItemsPerStep == 0 && !pProgress->Step(i, pList->Count())) {
            r.hits.clear();
            r.status = SearchStatus::Cancelled;
            return r;
        }
        CNearestHit hit;
        if (!pList->Item(i, hit.item, c_dwNearestFlags)) continue;
        const CMapPoint& p = hit.item.ptNearest;
        hit.dDistanceMetres = Metres(ref, p);
        hit.dAzimuth = p == ref ? 0.0 : Course(Degrees(ref.lX), Degrees(ref.lY), Degrees(p.lX), Degrees(p.lY));
        r.hits.push_back(std::move(hit));
    }
    // The distance shown is the one sorted by.
    std::stable_sort(r.hits.begin(), r.hits.end(), [](const CNearestHit& a, const CNearestHit& b) {
        return a.dDistanceMetres < b.dDistanceMetres;
    });
    DropTwins(r.hits);
    if (r.hits.empty()) r.status = SearchStatus::NothingFound;
    return r;
}

} // namespace velka
