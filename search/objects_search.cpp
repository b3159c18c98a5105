#include "search/objects_search.h"

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "mapdata/collation.h"
#include "mapdata/zidx_parser.h"
#include "search/type_filter_set.h"
#include "search/type_filter_table.h"

namespace velka {

namespace {

// The category of the named streets.
constexpr WORD c_wStreetsKey = 0x0001;

constexpr DWORD c_dwObjectFlags =
    c_dwFindDisplayName | c_dwFindSettlement | c_dwFindMapName | c_dwFindPoint | c_dwFindScale;

CObjectsIndexQuery CategoryQuery(const CTypeFilterEntry& e) {
    return {static_cast<int>(e.dwKind), static_cast<short>(e.wSimplifiedType), 0xFFFF};
}

// The items sorted by name under the collation; nothing found when none.
CObjectsResult Finished(CObjectsResult r, DWORD dwLocale) {
    const CCollator& coll = CCollator::ForLcid(dwLocale);
    std::stable_sort(r.items.begin(), r.items.end(),
                     [&](const CFindItem& a, const CFindItem& b) { return coll.Less(a.szName, b.szName); });
    if (r.items.empty()) r.status = SearchStatus::NothingFound;
    return r;
}

// The objects of the request's type row and prefix in each of the cities
// (-1: none), unsorted, each with its city; dwLocale becomes the lists'.
template <class Take>
void CollectObjects(CMapParser& map, const CObjectsRequest& request, const std::vector<int>& cities, DWORD& dwLocale,
                    Take&& take) {
    for (const CObjectsIndexQuery& q : ObjectsIndexQueries(request.cTypeCookie)) {
        for (int nCity : cities) {
            std::unique_ptr<CObjectsQuery> pQuery = map.CreateObjectsQuery(nCity, q.nKind, q.nCategory, q.wType);
            if (!pQuery) continue;
            dwLocale = pQuery->Locale();
            const CCollator& coll = CCollator::ForLcid(dwLocale);
            const std::u16string& prefix = request.strPrefix;
            for (DWORD i = prefix.empty() ? 0 : pQuery->FindFirst(prefix); i < pQuery->Count(); ++i) {
                CFindItem item;
                if (!pQuery->Item(i, item, c_dwObjectFlags)) continue;
                if (!prefix.empty()) {
                    const std::u16string_view name(item.szName);
                    // The list is sorted: the first name not starting with the prefix ends the run.
                    if (coll.Compare(name.substr(0, prefix.size()), prefix) != 0) break;
                }
                take(item, nCity);
            }
        }
    }
}

CObjectsResult FindObjectsInEachMap(CZidxParser& atlas, const CObjectsRequest& request) {
    CObjectsResult r;
    if (!IsValidTypeCookie(static_cast<long long>(request.cTypeCookie))) {
        r.status = SearchStatus::BadRequest;
        return r;
    }
    // A street of a city is listed once by each map holding some of its
    // ways: the first map's item stands for it. The maps' lists are taken
    // city by city, for the city's text.
    std::set<std::pair<std::u16string, std::u16string>> streets, streetsOfMap;
    for (std::size_t k = 0; k < atlas.MapCount(); ++k) {
        const std::shared_ptr<CMapParser> p = atlas.SearchMember(k);
        if (!p || !p->HasObjectsIndex()) continue;
        std::unique_ptr<CCitiesQuery> pCities = p->CreateCitiesQuery();
        std::vector<int> cities{-1};
        std::vector<std::u16string> texts{u""};
        for (DWORD c = 0; pCities && c < pCities->Count(); ++c) {
            CCityItem city;
            cities.push_back(static_cast<int>(c));
            texts.push_back(pCities->Item(c, city, 0) ? city.szText : u"");
        }
        streetsOfMap.clear();
        DWORD dwLocale = 0;
        CollectObjects(*p, request, cities, dwLocale, [&](const CFindItem& item, int nCity) {
            if (item.nKind == rkPolyline && CategoryKeyOf(item.nKind, item.wType) == c_wStreetsKey) {
                std::pair<std::u16string, std::u16string> key{item.szName, texts[static_cast<std::size_t>(nCity + 1)]};
                if (streets.count(key)) return;
                streetsOfMap.insert(std::move(key));
            }
            r.items.push_back(item);
        });
        streets.insert(streetsOfMap.begin(), streetsOfMap.end());
    }
    return Finished(std::move(r), atlas.Locale());
}

} // namespace

std::vector<CObjectsIndexQuery> ObjectsIndexQueries(std::size_t cCookie) {
    std::vector<CObjectsIndexQuery> out;
    if (cCookie >= c_cTypeFilters) return out;
    const CTypeFilterEntry& e = g_aTypeFilters[cCookie];
    if (e.wLevel == 2) {
        out.push_back({static_cast<int>(e.dwKind), static_cast<short>(e.wSimplifiedType), e.wType});
    } else if (e.wLevel == 1 || e.wSimplifiedType == c_wOtherObjectsKey) {
        out.push_back(CategoryQuery(e));
    } else {
        // Every category of the group; all types: every category and the
        // objects in none.
        const bool fAll = cCookie == 0;
        for (std::size_t i = fAll ? 0 : cCookie + 1; i < c_cTypeFilters; ++i) {
            const CTypeFilterEntry& c = g_aTypeFilters[i];
            if (!fAll && c.wLevel == 0) break;
            const bool fDup = std::any_of(out.begin(), out.end(), [&](const CObjectsIndexQuery& q) {
                return q.nCategory == static_cast<short>(c.wSimplifiedType);
            });
            if ((c.wLevel == 1 || (fAll && c.wSimplifiedType == c_wOtherObjectsKey)) && !fDup)
                out.push_back(CategoryQuery(c));
        }
    }
    return out;
}

CObjectsResult FindObjects(CMapParser& map, const CObjectsRequest& request) {
    CObjectsResult r;
    if (!map.HasObjectsIndex()) {
        r.status = SearchStatus::NoObjectsIndex;
        return r;
    }
    // Every city of an atlas is every city of each of its maps: each map is
    // opened once instead of once for each atlas city.
    if (CZidxParser* pAtlas = AsAtlas(&map); pAtlas && request.nCity == c_nAnyCity)
        return FindObjectsInEachMap(*pAtlas, request);
    std::unique_ptr<CCitiesQuery> pCities = map.CreateCitiesQuery();
    const long long cCities = pCities ? pCities->Count() : 0;
    if (!IsValidTypeCookie(static_cast<long long>(request.cTypeCookie)) || request.nCity < c_nAnyCity ||
        request.nCity >= cCities) {
        r.status = SearchStatus::BadRequest;
        return r;
    }
    std::vector<int> cities;
    if (request.nCity == c_nAnyCity)
        for (long long c = -1; c < cCities; ++c) cities.push_back(static_cast<int>(c));
    else
        cities.push_back(request.nCity);
    DWORD dwLocale = 0;
    CollectObjects(map, request, cities, dwLocale, [&](const CFindItem& item, int) { r.items.push_back(item); });
    return Finished(std::move(r), dwLocale);
}

} // namespace velka
