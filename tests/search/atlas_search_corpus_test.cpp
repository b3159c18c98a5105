// The searches on the atlas of the Liechtenstein tiles against the same
// searches on its member maps one by one, and its city list against the
// map compiled from the whole extract.
#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>

#include <gtest/gtest.h>

#include "mapdata/collation.h"
#include "search/address_search.h"
#include "search/nearest_search.h"
#include "search/objects_search.h"
#include "search/type_filter_table.h"
#include "tests/mapdata/liechtenstein_atlas.h"
#include "tests/search/search_map.h"

namespace velka {
namespace {

CMapPoint At(double dLat, double dLon) {
    return {static_cast<LONG>(std::lround(dLon * 1073741824.0 / 180.0)),
            static_cast<LONG>(std::lround(dLat * 1073741824.0 / 180.0))};
}

using AddressKey = std::tuple<std::u16string, std::u16string, LONG, LONG>;

std::vector<AddressKey> Keys(const CAddressResult& r) {
    std::vector<AddressKey> v;
    for (const CAddressHit& h : r.hits)
        v.emplace_back(h.item.szStreet, h.item.szHouse, h.item.ptRepresentative.lX, h.item.ptRepresentative.lY);
    std::sort(v.begin(), v.end());
    return v;
}

class LiechtensteinAtlasSearch : public test::LiechtensteinAtlas {
protected:
    std::unique_ptr<CMapParser> Member(std::size_t k) const { return OpenMapFile(m_pAtlas->MapPath(k), c_dwOpenAll); }
    // The map compiled from the whole extract, once per test program.
    static CMapParser* Whole() {
        static test::CCompiledMap s_whole;
        static std::string s_strError;
        if (!s_whole.pMap && s_strError.empty())
            s_whole = test::CompileForSearch(test::LiechtensteinExtract().string(), s_strError);
        EXPECT_TRUE(s_whole.pMap) << s_strError;
        return s_whole.pMap.get();
    }
};

// City texts of a map, by city index.
std::vector<std::u16string> CityTexts(CMapParser& map) {
    std::vector<std::u16string> v;
    auto q = map.CreateCitiesQuery();
    for (DWORD i = 0; q && i < q->Count(); ++i) {
        CCityItem item;
        v.push_back(q->Item(i, item, 0) ? item.szText : u"");
    }
    return v;
}

// The objects of a list: streets by name (a street of a city is listed
// once, at one of its ways: the whole map's first, an atlas's first tile
// holding some of them), the others by name, type and where they are.
struct ObjectKeys {
    using Key = std::tuple<std::u16string, WORD, LONG, LONG>;
    std::vector<Key> objects;
    std::vector<std::u16string> streets; // sorted
    explicit ObjectKeys(const CObjectsResult& r) {
        for (const CFindItem& i : r.items) {
            if (i.nKind == rkPolyline && CategoryKeyOf(i.nKind, i.wType) == 0x0001) streets.push_back(i.szName);
            else objects.emplace_back(i.szName, i.wType, i.ptRepresentative.lX, i.ptRepresentative.lY);
        }
        std::sort(objects.begin(), objects.end());
        std::sort(streets.begin(), streets.end());
    }
};

// Objects crossing a tile border are in every tile they touch but listed
// once, and take their city from places and municipalities of other
// tiles: each city's objects, those of no city and those of any city are
// the whole map's, and so are the addresses found in any city.
TEST_F(LiechtensteinAtlasSearch, ObjectsOfEveryCityAndAddressesAreTheWholeMaps) {
    CMapParser* pWhole = Whole();
    ASSERT_TRUE(pWhole);
    const std::vector<std::u16string> atlasCities = CityTexts(*m_pMap), wholeCities = CityTexts(*pWhole);
    ASSERT_EQ(atlasCities, wholeCities);
    std::size_t cObjects = 0;
    for (int nCity = -1; nCity < static_cast<int>(atlasCities.size()); ++nCity) {
        CObjectsRequest req;
        req.nCity = nCity;
        const ObjectKeys got(FindObjects(*m_pMap, req)), want(FindObjects(*pWhole, req));
        const std::string strCity = nCity < 0 ? "no city" : ToUtf8(atlasCities[static_cast<std::size_t>(nCity)]);
        EXPECT_EQ(got.objects, want.objects) << strCity;
        EXPECT_EQ(got.streets, want.streets) << strCity;
        cObjects += want.objects.size();
    }
    EXPECT_GT(cObjects, 500u);
    const ObjectKeys all(FindObjects(*m_pMap, {})), wholeAll(FindObjects(*pWhole, {}));
    EXPECT_EQ(all.objects, wholeAll.objects);
    EXPECT_EQ(all.streets, wholeAll.streets);
    for (const char16_t* street : {u"Landstrasse", u"Feld", u"weg", u"strasse"}) {
        CAddressRequest req;
        req.strStreet = street;
        req.fSuggestions = false;
        const std::vector<AddressKey> want = Keys(FindAddresses(*pWhole, req));
        EXPECT_FALSE(want.empty()) << ToUtf8(street);
        EXPECT_EQ(Keys(FindAddresses(*m_pMap, req)), want) << ToUtf8(street);
    }
}

TEST_F(LiechtensteinAtlasSearch, AddressesAreThoseOfTheMembersOneByOne) {
    for (const char16_t* street : {u"Landstrasse", u"Feld", u"weg"}) {
        CAddressRequest req;
        req.strStreet = street;
        req.fSuggestions = false;
        std::vector<AddressKey> want;
        for (std::size_t k = 0; k < m_pAtlas->MapCount(); ++k) {
            auto p = Member(k);
            ASSERT_TRUE(p);
            if (!p->HasCitiesIndex()) continue;
            const CAddressResult r = FindAddresses(*p, req);
            ASSERT_TRUE(r.status == SearchStatus::Ok || r.status == SearchStatus::NothingFound) << k;
            for (const AddressKey& key : Keys(r)) want.push_back(key);
        }
        std::sort(want.begin(), want.end());
        const CAddressResult got = FindAddresses(*m_pMap, req);
        EXPECT_EQ(got.status, SearchStatus::Ok);
        EXPECT_FALSE(want.empty()) << ToUtf8(street);
        EXPECT_EQ(Keys(got), want) << ToUtf8(street);
    }
}

TEST_F(LiechtensteinAtlasSearch, AddressesOfOneCityAreThoseOfItsMaps) {
    auto q = m_pAtlas->CreateCitiesQuery();
    ASSERT_TRUE(q);
    const DWORD n = q->FindFirst(u"Vaduz");
    CCityItem city;
    ASSERT_TRUE(q->Item(n, city, 0));
    ASSERT_EQ(std::u16string(city.szText).substr(0, 5), u"Vaduz");
    CAddressRequest req;
    req.strStreet = u"strasse";
    req.fSuggestions = false;
    std::vector<AddressKey> want;
    for (const CZidxCity& e : m_pAtlas->CityEntries(n)) {
        auto p = Member(e.nMap);
        ASSERT_TRUE(p);
        req.nCity = static_cast<int>(e.nCity);
        for (const AddressKey& key : Keys(FindAddresses(*p, req))) want.push_back(key);
    }
    std::sort(want.begin(), want.end());
    req.nCity = static_cast<int>(n);
    EXPECT_GT(want.size(), 10u);
    EXPECT_EQ(Keys(FindAddresses(*m_pMap, req)), want);
}

TEST_F(LiechtensteinAtlasSearch, AListOutlivesTheAtlasAndItsSearchCache) {
    std::unique_ptr<CFindList> pList = m_pMap->FindByAddress(c_nAnyCity, {}, u"Landstrasse", {}, nullptr);
    ASSERT_TRUE(pList);
    ASSERT_GT(pList->Count(), 0u);
    // More searches through the maps the atlas keeps open, then the atlas goes.
    for (std::size_t k = 0; k < 2 * CZidxParser::c_cSearchCacheSlots; ++k)
        EXPECT_TRUE(m_pMap->FindByAddress(c_nAnyCity, {}, u"weg", {}, nullptr));
    m_pMap.reset();
    CFindItem item;
    ASSERT_TRUE(pList->Item(pList->Count() - 1, item, c_dwFindStreet | c_dwFindPoint));
    EXPECT_NE(std::u16string(item.szStreet).find(u"Landstrasse"), std::u16string::npos);
}

// The nearest objects around points on and near the tile borders (47.1
// north, 9.6 east, where four tiles meet) are the members' together,
// nearest first, with a line cut at the border found once.
TEST_F(LiechtensteinAtlasSearch, NearestObjectsAcrossTileBordersAreTheMembersTogether) {
    std::size_t cTwins = 0, cMostMaps = 0;
    for (const CMapPoint& pt : {At(47.1, 9.52), At(47.1, 9.6), At(47.102, 9.598), At(47.16, 9.6)}) {
        CNearestRequest req;
        req.ptRef = pt;
        req.dRadiusMetres = 1000;
        std::vector<CNearestHit> members;
        for (std::size_t k = 0; k < m_pAtlas->MapCount(); ++k) {
            auto p = Member(k);
            ASSERT_TRUE(p);
            for (CNearestHit& h : FindNearestObjects(*p, req).hits) members.push_back(std::move(h));
        }
        const CNearestResult got = FindNearestObjects(*m_pMap, req);
        ASSERT_EQ(got.status, SearchStatus::Ok);
        EXPECT_TRUE(std::is_sorted(got.hits.begin(), got.hits.end(), [](const CNearestHit& a, const CNearestHit& b) {
            return a.dDistanceMetres < b.dDistanceMetres;
        }));
        std::set<std::u16string> maps;
        for (const CNearestHit& h : got.hits) maps.insert(h.item.szMapName);
        cMostMaps = std::max(cMostMaps, maps.size());
        auto same = [](const CNearestHit& a, const CNearestHit& b) {
            return a.item.nKind == b.item.nKind && a.item.wType == b.item.wType &&
                   std::u16string(a.item.szName) == b.item.szName && a.item.ptNearest == b.item.ptNearest &&
                   std::u16string(a.item.szMapName) == b.item.szMapName;
        };
        // Every hit is a member's, and every member's hit is found or
        // stands for a twin from another tile that is.
        for (const CNearestHit& h : got.hits)
            EXPECT_NE(std::find_if(members.begin(), members.end(), [&](const CNearestHit& m) { return same(m, h); }),
                      members.end())
                << ToUtf8(h.item.szName);
        for (const CNearestHit& m : members) {
            if (std::find_if(got.hits.begin(), got.hits.end(), [&](const CNearestHit& h) { return same(m, h); }) !=
                got.hits.end())
                continue;
            ++cTwins;
            EXPECT_NE(std::find_if(got.hits.begin(), got.hits.end(),
                                   [&](const CNearestHit& h) { return IsSameObjectCut(h.item, m.item); }),
                      got.hits.end())
                << "missing: " << ToUtf8(m.item.szName) << " of " << ToUtf8(m.item.szMapName);
        }
        // No two hits of different tiles are one object cut in two.
        for (std::size_t i = 0; i < got.hits.size(); ++i)
            for (std::size_t j = i + 1; j < got.hits.size(); ++j)
                EXPECT_FALSE(IsSameObjectCut(got.hits[i].item, got.hits[j].item)) << ToUtf8(got.hits[i].item.szName);
    }
    EXPECT_EQ(cMostMaps, 4u) << "where four tiles meet, all four answer";
    EXPECT_GT(cTwins, 0u) << "ways crossing a border are in both tiles";
}

TEST_F(LiechtensteinAtlasSearch, ObjectsOfEveryCityAreThoseOfEachCityAndNone) {
    using ObjectKey = std::tuple<std::u16string, WORD, LONG, LONG>;
    auto keys = [](const CObjectsResult& r) {
        std::vector<ObjectKey> v;
        for (const CFindItem& i : r.items) v.emplace_back(i.szName, i.wType, i.ptRepresentative.lX, i.ptRepresentative.lY);
        return v;
    };
    for (std::size_t cCookie : {std::size_t{0}, std::size_t{2}}) {
        CObjectsRequest req;
        req.cTypeCookie = cCookie;
        std::vector<ObjectKey> want;
        auto q = m_pAtlas->CreateCitiesQuery();
        ASSERT_TRUE(q);
        for (int nCity = -1; nCity < static_cast<int>(q->Count()); ++nCity) {
            req.nCity = nCity;
            for (const ObjectKey& k : keys(FindObjects(*m_pMap, req))) want.push_back(k);
        }
        req.nCity = c_nAnyCity;
        const CObjectsResult all = FindObjects(*m_pMap, req);
        const CCollator& coll = CCollator::ForLcid(m_pAtlas->Locale());
        EXPECT_TRUE(std::is_sorted(all.items.begin(), all.items.end(), [&](const CFindItem& a, const CFindItem& b) {
            return coll.Less(a.szName, b.szName);
        }));
        std::vector<ObjectKey> got = keys(all);
        std::sort(got.begin(), got.end());
        std::sort(want.begin(), want.end());
        EXPECT_GT(want.size(), 20u);
        EXPECT_EQ(got, want) << "type filter " << cCookie;
    }
}

TEST_F(LiechtensteinAtlasSearch, CitiesByPrefixAreThoseOfTheWholeMap) {
    CMapParser* pWhole = Whole();
    ASSERT_TRUE(pWhole);
    auto texts = [](CMapParser& map, std::u16string_view prefix) {
        auto q = map.CreateCitiesQuery();
        std::vector<std::u16string> v;
        if (!q) return v;
        const CCollator& coll = CCollator::ForLcid(q->Locale());
        for (DWORD i = q->FindFirst(prefix); i < q->Count(); ++i) {
            CCityItem item;
            if (!q->Item(i, item, 0)) continue;
            const std::u16string s = item.szText;
            if (coll.Compare(s.substr(0, prefix.size()), prefix) != 0) break;
            if (v.empty() || v.back() != s) v.push_back(s);
        }
        return v;
    };
    for (const char16_t* prefix : {u"", u"S", u"Sch", u"tr", u"V", u"Mal"}) {
        const std::vector<std::u16string> want = texts(*pWhole, prefix);
        EXPECT_FALSE(want.empty()) << ToUtf8(prefix);
        EXPECT_EQ(texts(*m_pMap, prefix), want) << ToUtf8(prefix);
    }
}

} // namespace
} // namespace velka
