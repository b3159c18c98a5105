// The searches on a sketched village: addresses with house numbers in
// their normal form, numbers typed with the street, near misses; nearest
// objects by type, name and radius; named objects by category; and the
// values the searches carry (type-filter bits, extents, progress).
#include <atomic>
#include <cmath>

#include <gtest/gtest.h>

#include "mapdata/address_text.h"
#include "mapdata/search_params.h"
#include "search/address_search.h"
#include "search/nearest_search.h"
#include "search/objects_search.h"
#include "search/type_filter_set.h"
#include "tests/mapdata/osm_sketch.h"
#include "tests/search/search_map.h"

namespace velka {
namespace {

using test::COsmSketch;

CMapPoint At(std::pair<double, double> ll) {
    return {static_cast<LONG>(std::lround(ll.second * 1073741824.0 / 180.0)),
            static_cast<LONG>(std::lround(ll.first * 1073741824.0 / 180.0))};
}

COsmSketch Village() {
    COsmSketch s(R"(
 V  a-----------b-----------c

    d  e     C     f  g
    h  i           j  k

    m-----------n
)");
    s.Tag('V', {{"place", "village"}, {"name", "Testdorf"}})
        .Tag('C', {{"amenity", "cafe"}, {"name", "Café Central"}, {"addr:street", "улица 8 Марта"},
                   {"addr:housenumber", "12"}})
        .Way(1, "abc", {{"highway", "residential"}, {"name", "Hauptstrasse"}})
        .Way(2, "deihd", {{"building", "yes"}, {"addr:street", "Hauptstrasse"}, {"addr:housenumber", "30б"},
                          {"addr:postcode", "9490"}})
        .Way(3, "fgkjf", {{"building", "yes"}, {"addr:street", "Hauptstrasse"}, {"addr:housenumber", "7Б с3"}})
        .Way(4, "mn", {{"highway", "residential"}, {"name", "улица 8 Марта"}});
    return s;
}

class VillageSearch : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string err;
        s_map = new test::CCompiledMap(test::CompileXmlForSearch(Village().Xml(), err));
        ASSERT_TRUE(s_map->pMap) << err;
    }
    static void TearDownTestSuite() {
        delete s_map;
        s_map = nullptr;
    }
    CMapParser& Map() { return *s_map->pMap; }
    CAddressResult Address(const std::u16string& street, const std::u16string& house, const std::u16string& zip = u"") {
        CAddressRequest req;
        req.strStreet = street;
        req.strHouse = house;
        req.strPostcode = zip;
        return FindAddresses(Map(), req);
    }
    static test::CCompiledMap* s_map;
};
test::CCompiledMap* VillageSearch::s_map = nullptr;

TEST(AddressText, HouseNumbersShareOneNormalForm) {
    for (const char16_t* s : {u"30б", u"30Б", u"30-Б", u"30 b", u" 30B "}) EXPECT_EQ(HouseNumberKey(s), u"30b");
    EXPECT_EQ(HouseNumberKey(u"7Б с3"), u"7bs3");
    EXPECT_EQ(HouseNumberKey(u"7б стр. 3"), u"7bs3");
    EXPECT_EQ(HouseNumberKey(u"7b building 3"), u"7bs3");
    EXPECT_EQ(HouseNumberKey(u"12 корп. 2"), u"12k2");
    EXPECT_NE(HouseNumberKey(u"12/3"), HouseNumberKey(u"123"));
    EXPECT_EQ(FoldText(u"  Улица   ЁЛОЧНАЯ "), u"улица елочная");
}

TEST(AddressText, NumberAtEitherEndOfTheStreetIsSplitOff) {
    std::u16string street, house;
    ASSERT_TRUE(SplitHouseNumber(u"12 Main Street", street, house));
    EXPECT_EQ(street, u"Main Street");
    EXPECT_EQ(house, u"12");
    ASSERT_TRUE(SplitHouseNumber(u"Landstrasse, 30b", street, house));
    EXPECT_EQ(street, u"Landstrasse");
    EXPECT_EQ(house, u"30b");
    ASSERT_TRUE(SplitHouseNumber(u"Тверская 7Б с3", street, house));
    EXPECT_EQ(street, u"Тверская");
    EXPECT_EQ(house, u"7Б с3");
    // A street named with a number: the number at the end first, then the
    // one at the start.
    const auto readings = HouseNumberReadings(u"8 Марта 12");
    ASSERT_EQ(readings.size(), 2u);
    EXPECT_EQ(readings[0], (std::pair<std::u16string, std::u16string>{u"8 Марта", u"12"}));
    EXPECT_EQ(readings[1], (std::pair<std::u16string, std::u16string>{u"Марта 12", u"8"}));
    EXPECT_FALSE(SplitHouseNumber(u"Main Street", street, house));
    EXPECT_FALSE(SplitHouseNumber(u"12", street, house));
}

TEST_F(VillageSearch, HouseNumbersMatchInTheirNormalForm) {
    for (const char16_t* house : {u"30б", u"30Б", u"30-Б", u"30 b"}) {
        const CAddressResult r = Address(u"haupt", house);
        ASSERT_EQ(r.hits.size(), 1u);
        EXPECT_EQ(std::u16string(r.hits[0].item.szHouse), u"30б");
        EXPECT_EQ(r.hits[0].rank, MatchRank::Prefix); // the street was typed in part
        EXPECT_EQ(std::u16string(r.hits[0].item.szPostcode), u"9490");
    }
    const CAddressResult b = Address(u"Hauptstrasse", u"7b building 3");
    ASSERT_EQ(b.hits.size(), 1u);
    EXPECT_EQ(std::u16string(b.hits[0].item.szHouse), u"7Б с3");
    EXPECT_EQ(b.hits[0].rank, MatchRank::Exact);
    // "7" is in both "7Б с3" and... only there; "3" in both numbers.
    EXPECT_EQ(Address(u"Hauptstrasse", u"3").hits.size(), 2u);
}

TEST_F(VillageSearch, NumberTypedWithTheStreetAndNearMisses) {
    for (const char16_t* typed : {u"30б Hauptstrasse", u"Hauptstrasse 30б"}) {
        const CAddressResult r = Address(typed, u"");
        ASSERT_EQ(r.hits.size(), 1u);
        EXPECT_EQ(r.strHouse, u"30б");
        EXPECT_EQ(r.hits[0].rank, MatchRank::Exact);
    }
    const CAddressResult both = Address(u"улица 8 Марта 12", u"");
    ASSERT_EQ(both.hits.size(), 1u);
    EXPECT_EQ(both.strStreet, u"улица 8 Марта");
    // A number that belongs to the street name is kept there.
    const CAddressResult march = Address(u"8 Марта", u"");
    ASSERT_FALSE(march.hits.empty());
    EXPECT_EQ(std::u16string(march.hits[0].item.szHouse), u"12");
    EXPECT_EQ(std::u16string(march.hits[0].item.szName), u"Café Central");
    // One typing error: suggestions, and only then.
    const CAddressResult typo = Address(u"Hauptstrase", u"");
    ASSERT_EQ(typo.hits.size(), 2u);
    for (const CAddressHit& h : typo.hits) EXPECT_EQ(h.rank, MatchRank::Suggestion);
    EXPECT_EQ(Address(u"Hbuptstrase", u"").status, SearchStatus::NothingFound);
    // The postcode is compared whole.
    EXPECT_EQ(Address(u"", u"", u"949").status, SearchStatus::NothingFound);
    EXPECT_EQ(Address(u"", u"", u"9490").hits.size(), 1u);
}

TEST_F(VillageSearch, CitiesByNameAndObjectsWithoutACity) {
    const std::vector<int> exact = FindCities(Map(), u"testdorf");
    ASSERT_EQ(exact.size(), 1u);
    EXPECT_EQ(FindCities(Map(), u"Test"), exact);
    EXPECT_TRUE(FindCities(Map(), u"Nowhere").empty());
    // City -1 keeps only the objects in no city; every city adds its own.
    auto pAny = Map().FindByAddress(c_nAnyCity, u"", u"", u"", nullptr);
    auto pNone = Map().FindByAddress(-1, u"", u"", u"", nullptr);
    auto pCity = Map().FindByAddress(exact[0], u"", u"", u"", nullptr);
    ASSERT_TRUE(pAny && pNone && pCity);
    EXPECT_EQ(pAny->Count(), 3u);
    EXPECT_EQ(pCity->Count(), pAny->Count()); // the village is the only city
    for (DWORD i = 0; i < pNone->Count(); ++i) {
        CFindItem item;
        ASSERT_TRUE(pNone->Item(i, item, c_dwFindSettlement));
        EXPECT_EQ(item.szSettlement[0], 0);
    }
}

TEST_F(VillageSearch, AddressSearchFailsAsValues) {
    std::atomic<bool> fCancel{true};
    CSearchProgress progress;
    progress.pfCancel = &fCancel;
    CAddressRequest req;
    req.strStreet = u"Haupt";
    EXPECT_EQ(FindAddresses(Map(), req, &progress).status, SearchStatus::Cancelled);
    EXPECT_EQ(Map().FindByAddress(c_nAnyCity, u"", u"Haupt", u"", &progress), nullptr);
    req.nCity = 1000;
    EXPECT_EQ(FindAddresses(Map(), req).status, SearchStatus::BadRequest);
    std::string err;
    test::CCompiledMap bare = test::CompileXmlForSearch(Village().Xml(), err, false);
    ASSERT_TRUE(bare.pMap) << err;
    EXPECT_EQ(FindAddresses(*bare.pMap, {}).status, SearchStatus::NoCitiesIndex);
    EXPECT_EQ(bare.pMap->FindByAddress(-1, u"", u"", u"", nullptr), nullptr);
    EXPECT_EQ(FindObjects(*bare.pMap, {}).status, SearchStatus::NoObjectsIndex);
}

TEST_F(VillageSearch, NearestByTypeNameAndRadius) {
    const COsmSketch s = Village();
    CNearestRequest req;
    req.ptRef = At(s.LatLon('C'));
    req.dRadiusMetres = 5;
    req.strName = u"Central";
    CNearestResult r = FindNearestObjects(Map(), req);
    ASSERT_EQ(r.hits.size(), 1u);
    // Radius 0 at the point as the map holds it.
    req.ptRef = r.hits[0].item.ptRepresentative;
    req.dRadiusMetres = 0;
    req.strName.clear();
    r = FindNearestObjects(Map(), req);
    ASSERT_FALSE(r.hits.empty());
    EXPECT_EQ(std::u16string(r.hits[0].item.szName), u"Café Central");
    EXPECT_NEAR(r.hits[0].dDistanceMetres, 0.0, 0.5);
    req.dRadiusMetres = -50; // taken as 0
    EXPECT_EQ(FindNearestObjects(Map(), req).hits.size(), r.hits.size());

    req.dRadiusMetres = 200;
    r = FindNearestObjects(Map(), req);
    ASSERT_GE(r.hits.size(), 4u);
    for (std::size_t i = 1; i < r.hits.size(); ++i) EXPECT_LE(r.hits[i - 1].dDistanceMetres, r.hits[i].dDistanceMetres);
    for (const CNearestHit& h : r.hits) EXPECT_LE(h.dDistanceMetres, 201.0);
    // Street a-c runs two rows (about 22 m) north of the cafe.
    const auto street = std::find_if(r.hits.begin(), r.hits.end(),
                                     [](const CNearestHit& h) { return h.item.szName == std::u16string(u"Hauptstrasse"); });
    ASSERT_NE(street, r.hits.end());
    EXPECT_NEAR(street->dDistanceMetres, 22.2, 1.5);
    EXPECT_NEAR(street->dAzimuth, 0.0, 1.0);
    // The two-point street is represented by its midpoint.
    const auto march = std::find_if(r.hits.begin(), r.hits.end(), [](const CNearestHit& h) {
        return h.item.szName == std::u16string(u"улица 8 Марта");
    });
    ASSERT_NE(march, r.hits.end());
    const CMapPoint m = At(s.LatLon('m')), n = At(s.LatLon('n'));
    EXPECT_NEAR(march->item.ptRepresentative.lX, (std::int64_t{m.lX} + n.lX) / 2, 130); // one grid step
    EXPECT_NEAR(march->item.ptRepresentative.lY, m.lY, 130);

    req.strName = u"CENTRAL";
    std::vector<UINT> stages;
    std::vector<int> positions;
    CSearchProgress progress{0, 100, nullptr, [&](int nPos) { positions.push_back(nPos); },
                             [&](UINT id) { stages.push_back(id); }};
    r = FindNearestObjects(Map(), req, &progress);
    ASSERT_EQ(r.hits.size(), 1u);
    EXPECT_EQ(stages, std::vector<UINT>{c_idsSorting});
    ASSERT_FALSE(positions.empty());
    EXPECT_EQ(positions.back(), 0); // reading the one item starts the second stage
    req.cTypeCookie = 24; // lodging
    EXPECT_EQ(FindNearestObjects(Map(), req).status, SearchStatus::NothingFound);
    req.cTypeCookie = 2; // food
    EXPECT_EQ(FindNearestObjects(Map(), req).hits.size(), 1u);
    req.cTypeCookie = 421;
    EXPECT_EQ(FindNearestObjects(Map(), req).status, SearchStatus::BadRequest);

    // Straight through the parser: an empty filter finds nothing, a filter
    // set all everything; inside a building the building is at distance 0.
    CTypeFilter none;
    const CMapPoint inside = At({(s.LatLon('d').first + s.LatLon('i').first) / 2,
                                 (s.LatLon('d').second + s.LatLon('i').second) / 2});
    auto pNone = Map().FindNearest(0, false, inside.lX, inside.lY, 200, &none, u"", nullptr);
    ASSERT_NE(pNone, nullptr);
    EXPECT_EQ(pNone->Count(), 0u);
    CNearestRequest in;
    in.ptRef = inside;
    in.dRadiusMetres = 1;
    r = FindNearestObjects(Map(), in);
    ASSERT_FALSE(r.hits.empty());
    EXPECT_EQ(r.hits[0].item.nKind, rkPolygon);
    EXPECT_EQ(r.hits[0].item.ptNearest, inside);
}

TEST_F(VillageSearch, NamedObjectsByCategoryAndPrefix) {
    CObjectsRequest req;
    req.cTypeCookie = 2; // food
    CObjectsResult r = FindObjects(Map(), req);
    ASSERT_EQ(r.items.size(), 1u);
    EXPECT_EQ(std::u16string(r.items[0].szName), u"Café Central");
    req.strPrefix = u"caf";
    EXPECT_EQ(FindObjects(Map(), req).items.size(), 1u);
    req.strPrefix = u"x";
    EXPECT_EQ(FindObjects(Map(), req).status, SearchStatus::NothingFound);
    req.strPrefix.clear();
    req.cTypeCookie = 0; // every category and the objects in none
    r = FindObjects(Map(), req);
    EXPECT_GE(r.items.size(), 1u);
    req.cTypeCookie = 1; // the group of the food category
    EXPECT_EQ(FindObjects(Map(), req).items.size(), 1u);
    req.nCity = 5000;
    EXPECT_EQ(FindObjects(Map(), req).status, SearchStatus::BadRequest);
}

TEST(TypeFilterSet, RowsBecomeTheBitsOfTheirTypes) {
    auto count = [](const CTypeFilter& f) {
        std::size_t n = 0;
        for (int k = 0; k < rkMax; ++k)
            for (unsigned w = 0; w <= 0xFFFF; ++w) n += f.Test(k, static_cast<WORD>(w));
        return n;
    };
    EXPECT_EQ(count(TypeFilterOf(0)), 3u * 0x10000);
    const CTypeFilter hotels = TypeFilterOf(24);
    EXPECT_EQ(count(hotels), 5u);
    for (WORD w = 0x2B00; w <= 0x2B04; ++w) EXPECT_TRUE(hotels.Test(rkPoint, w));
    EXPECT_FALSE(hotels.Test(rkPolygon, 0x2B00));
    EXPECT_EQ(count(TypeFilterOf(413)), 5u); // aviation: its airports, not every type
    const CTypeFilter other = TypeFilterOf(420);
    EXPECT_FALSE(other.Test(rkPoint, 0x2A00));
    EXPECT_TRUE(other.Test(rkPolyline, 0x001C));
    EXPECT_TRUE(TypeFilterOf(421).IsEmpty());
    EXPECT_FALSE(IsValidTypeCookie(-1));
    EXPECT_FALSE(IsValidTypeCookie(421));
    CTypeFilter f;
    f.Set(7, 1); // no such kind
    EXPECT_TRUE(f.IsEmpty());
}

TEST(SearchExtent, ClampsAtThePolesAndForHugeOrNegativeRadii) {
    const CSearchExtent e = SearchExtent(0, 0, 1000);
    EXPECT_EQ(e.llY, std::lround(1000 / 20000000.0 * 1073741824.0));
    EXPECT_EQ(e.llX, e.llY);
    const LONG lat60 = 1073741824 / 3;
    EXPECT_NEAR(static_cast<double>(SearchExtent(0, lat60, 1000).llX), 2.0 * e.llY, 2);
    const CSearchExtent pole = SearchExtent(100, 1073741824 / 2, 1000);
    EXPECT_EQ(pole.rc.left, INT32_MIN);
    EXPECT_EQ(pole.rc.right, INT32_MAX);
    const CSearchExtent huge = SearchExtent(INT32_MAX - 5, INT32_MAX - 5, 1e30);
    EXPECT_LE(huge.rc.left, huge.rc.right);
    EXPECT_EQ(huge.rc.bottom, INT32_MAX);
    const CSearchExtent neg = SearchExtent(10, 10, -5);
    EXPECT_EQ(neg.rc, (CMapRect{10, 10, 10, 10}));
    EXPECT_EQ(SearchExtent(10, 10, std::nan("")).llY, 0);
}

TEST(SearchProgress, PartsSplitTheRangeAndTheFlagCancels) {
    std::vector<int> seen;
    std::atomic<bool> fCancel{false};
    CSearchProgress p{100, 200, &fCancel, [&](int n) { seen.push_back(n); }};
    const CSearchProgress second = p.Part(1, 4);
    EXPECT_EQ(second.nStart, 125);
    EXPECT_EQ(second.nEnd, 150);
    EXPECT_TRUE(second.Step(1, 2));
    EXPECT_EQ(seen.back(), 138);
    fCancel = true;
    EXPECT_FALSE(second.Step(2, 2));
}

} // namespace
} // namespace velka
