// The searches on real extracts compiled by the map compiler, against what
// libosmium reads from the same files and distances from GeographicLib:
// addresses found by street and number near their place, places found by a
// prefix of their name, nearest objects with their distances; and the
// nearest search on Garmin maps.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>

#include <GeographicLib/Geodesic.hpp>
#include <gtest/gtest.h>
#include <osmium/handler.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/visitor.hpp>

#include "mapdata/address_text.h"
#include "mapdata/collation.h"
#include "platform/text.h"
#include "search/address_search.h"
#include "search/nearest_search.h"
#include "search/type_filter_table.h"
#include "tests/search/search_map.h"
#include "tests/support/test_support.h"
#include "tools/mapc/mapc_style.h"

namespace velka {
namespace {

const char* const c_aszExtracts[] = {"liechtenstein-20150727.osm.pbf", "andorra-20200501.osm.pbf",
                                     "monaco-20210421.osm.pbf", "moscow-center-20200720.osm.pbf"};
constexpr std::size_t c_cAddressSample = 300;

double Deg(LONG v) { return v * 180.0 / 1073741824.0; }

double GeoDistance(double lat1, double lon1, double lat2, double lon2) {
    double s = 0;
    GeographicLib::Geodesic::WGS84().Inverse(lat1, lon1, lat2, lon2, s);
    return s;
}

struct OsmBox {
    double minLat = 90, minLon = 180, maxLat = -90, maxLon = -180;
    void Add(const osmium::Location& l) {
        minLat = std::min(minLat, l.lat());
        maxLat = std::max(maxLat, l.lat());
        minLon = std::min(minLon, l.lon());
        maxLon = std::max(maxLon, l.lon());
    }
    bool Valid() const { return minLat <= maxLat; }
    // Geodesic distance from a point to the nearest point of the box.
    double DistanceFrom(double lat, double lon) const {
        return GeoDistance(lat, lon, std::clamp(lat, minLat, maxLat), std::clamp(lon, minLon, maxLon));
    }
};

struct OsmAddress {
    std::string street, house;
    OsmBox box;
};
struct OsmPoint {
    std::string name;
    double lat, lon;
};

// What the extract holds, read with libosmium.
class COsmFacts : public osmium::handler::Handler {
public:
    explicit COsmFacts(const mapc::CStyle& style, const osmium::Box& header) : m_style(style), m_header(header) {}
    static const char* Lookup(const void* p, const char* k) {
        return static_cast<const osmium::TagList*>(p)->get_value_by_key(k);
    }
    void node(const osmium::Node& n) {
        if (!n.location().valid() || !m_header.contains(n.location())) return;
        const osmium::TagList& t = n.tags();
        OsmBox box;
        box.Add(n.location());
        AddAddress(t, box);
        const char* name = t.get_value_by_key("name");
        if (!name) return;
        const char* place = t.get_value_by_key("place");
        if (place && (!std::strcmp(place, "city") || !std::strcmp(place, "town") || !std::strcmp(place, "village")))
            places.push_back({name, n.location().lat(), n.location().lon()});
        else if (m_style.Match(rkPoint, &t, Lookup))
            points.push_back({name, n.location().lat(), n.location().lon()});
    }
    void way(const osmium::Way& w) {
        OsmBox box;
        for (const auto& nr : w.nodes())
            if (nr.location().valid()) box.Add(nr.location());
        if (!box.Valid()) return;
        const osmium::Location centre((box.minLon + box.maxLon) / 2, (box.minLat + box.maxLat) / 2);
        if (m_header.contains(centre)) AddAddress(w.tags(), box);
    }
    std::vector<OsmAddress> addresses;
    std::vector<OsmPoint> places, points;

private:
    void AddAddress(const osmium::TagList& t, const OsmBox& box) {
        const char* street = t.get_value_by_key("addr:street");
        const char* house = t.get_value_by_key("addr:housenumber");
        if (street && house) addresses.push_back({street, house, box});
    }
    const mapc::CStyle& m_style;
    osmium::Box m_header;
};

struct Extract {
    test::CCompiledMap map;
    std::unique_ptr<COsmFacts> facts;
};

// Each extract compiled and read once for the whole test binary.
Extract* Load(const std::string& name, std::string& err) {
    static std::map<std::string, std::unique_ptr<Extract>> s_loaded;
    auto& p = s_loaded[name];
    if (p) return p->map.pMap ? p.get() : nullptr;
    p = std::make_unique<Extract>();
    const std::string path = test::CorpusPath("osm/" + name).string();
    p->map = test::CompileForSearch(path, err);
    if (!p->map.pMap) return nullptr;
    static mapc::CStyle s_style;
    if (!s_style.Load(test::SourcePath("data/runtime/osm.style").string(), err)) return nullptr;
    osmium::io::Reader header{path};
    osmium::Box box;
    const osmium::io::Header h = header.header();
    for (const auto& b : h.boxes()) box.extend(b);
    header.close();
    p->facts = std::make_unique<COsmFacts>(s_style, box);
    osmium::index::map::FlexMem<osmium::unsigned_object_id_type, osmium::Location> index;
    osmium::handler::NodeLocationsForWays<decltype(index)> locations(index);
    locations.ignore_errors();
    osmium::io::Reader reader{path};
    osmium::apply(reader, locations, *p->facts);
    return p.get();
}

class SearchCorpus : public testing::TestWithParam<const char*> {
protected:
    Extract* Get() {
        const auto path = test::CorpusPath(std::string("osm/") + GetParam());
        if (!std::filesystem::exists(path)) return nullptr;
        std::string err;
        Extract* e = Load(GetParam(), err);
        EXPECT_TRUE(e) << err;
        return e;
    }
};

TEST_P(SearchCorpus, AddressesAreFoundByStreetAndNumberNearTheirPlace) {
    VELKA_REQUIRE_CORPUS(test::CorpusPath(std::string("osm/") + GetParam()));
    Extract* e = Get();
    ASSERT_TRUE(e);
    std::vector<OsmAddress> sample = e->facts->addresses;
    if (sample.empty()) GTEST_SKIP() << "no addresses in " << GetParam();
    std::shuffle(sample.begin(), sample.end(), std::mt19937(20240611));
    sample.resize(std::min(sample.size(), c_cAddressSample));
    std::size_t cFound = 0;
    std::vector<std::string> missed;
    double dSlowestMs = 0;
    for (const OsmAddress& a : sample) {
        CAddressRequest req;
        req.strStreet = FromUtf8(a.street);
        req.strHouse = FromUtf8(a.house);
        req.fSuggestions = false;
        const auto t0 = std::chrono::steady_clock::now();
        const CAddressResult r = FindAddresses(*e->map.pMap, req);
        dSlowestMs = std::max(dSlowestMs, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        const bool fFound = std::any_of(r.hits.begin(), r.hits.end(), [&](const CAddressHit& h) {
            return HouseNumberKey(h.item.szHouse) == HouseNumberKey(req.strHouse) &&
                   a.box.DistanceFrom(Deg(h.item.ptRepresentative.lY), Deg(h.item.ptRepresentative.lX)) <= 60.0;
        });
        cFound += fFound;
        if (!fFound && missed.size() < 10) missed.push_back(a.street + " " + a.house);
    }
    const double dShare = 100.0 * static_cast<double>(cFound) / static_cast<double>(sample.size());
    std::printf("%s: %zu of %zu sampled addresses (of %zu) found within 60 m: %.1f %%; slowest query %.1f ms\n",
                GetParam(), cFound, sample.size(), e->facts->addresses.size(), dShare, dSlowestMs);
    RecordProperty("addresses_found_percent", std::to_string(dShare));
    for (const std::string& m : missed) std::printf("  missed: %s\n", m.c_str());
    EXPECT_GE(dShare, 95.0);
}

TEST_P(SearchCorpus, EveryPlaceIsFoundByAPrefixOfItsName) {
    VELKA_REQUIRE_CORPUS(test::CorpusPath(std::string("osm/") + GetParam()));
    Extract* e = Get();
    ASSERT_TRUE(e);
    std::unique_ptr<CCitiesQuery> pCities = e->map.pMap->CreateCitiesQuery();
    ASSERT_TRUE(pCities);
    const CCollator& coll = CCollator::ForLcid(pCities->Locale());
    std::size_t cFound = 0;
    for (const OsmPoint& p : e->facts->places) {
        const std::u16string name = FromUtf8(p.name);
        const std::u16string prefix = name.substr(0, std::min<std::size_t>(3, name.size()));
        bool fFound = false;
        for (DWORD i = pCities->FindFirst(prefix); i < pCities->Count() && !fFound; ++i) {
            CCityItem item;
            ASSERT_TRUE(pCities->Item(i, item, 0));
            const std::u16string_view text(item.szText);
            if (coll.Compare(text.substr(0, prefix.size()), prefix) != 0) break;
            fFound = FoldText(text.substr(0, text.find(u", "))) == FoldText(name);
        }
        cFound += fFound;
        EXPECT_TRUE(fFound) << p.name;
    }
    std::printf("%s: %zu of %zu places found by prefix\n", GetParam(), cFound, e->facts->places.size());
}

TEST_P(SearchCorpus, NearestObjectsMatchGeodesicDistances) {
    VELKA_REQUIRE_CORPUS(test::CorpusPath(std::string("osm/") + GetParam()));
    Extract* e = Get();
    ASSERT_TRUE(e);
    std::vector<OsmPoint> refs = e->facts->points;
    if (refs.empty()) GTEST_SKIP() << "no named points in " << GetParam();
    std::shuffle(refs.begin(), refs.end(), std::mt19937(7));
    refs.resize(std::min<std::size_t>(refs.size(), 15));
    constexpr double c_dRadius = 300;
    // The edge: map units scaled by one cosine against the ellipsoid, and
    // the finest level's grid of about 2.4 m.
    const double dEdge = 0.01 * c_dRadius + 5;
    std::size_t cExpected = 0, cMissing = 0;
    for (const OsmPoint& ref : refs) {
        CNearestRequest req;
        req.ptRef = {static_cast<LONG>(std::lround(ref.lon * 1073741824.0 / 180)),
                     static_cast<LONG>(std::lround(ref.lat * 1073741824.0 / 180))};
        req.dRadiusMetres = c_dRadius;
        const CNearestResult r = FindNearestObjects(*e->map.pMap, req);
        ASSERT_EQ(r.status, SearchStatus::Ok);
        for (std::size_t i = 0; i < r.hits.size(); ++i) {
            const CNearestHit& h = r.hits[i];
            const double d = GeoDistance(ref.lat, ref.lon, Deg(h.item.ptNearest.lY), Deg(h.item.ptNearest.lX));
            EXPECT_NEAR(h.dDistanceMetres, d, 0.5 + 0.003 * d);
            EXPECT_LE(d, c_dRadius + dEdge);
            if (i) {
                EXPECT_LE(r.hits[i - 1].dDistanceMetres, h.dDistanceMetres);
            }
        }
        // Every named point well inside the radius is listed, by its name.
        for (const OsmPoint& p : e->facts->points) {
            if (GeoDistance(ref.lat, ref.lon, p.lat, p.lon) > c_dRadius - dEdge) continue;
            ++cExpected;
            const std::u16string name = FoldText(FromUtf8(p.name).substr(0, 63));
            const bool fListed = std::any_of(r.hits.begin(), r.hits.end(), [&](const CNearestHit& h) {
                // Summits show their height after the name.
                return h.item.nKind == rkPoint && FoldText(h.item.szName).starts_with(name) &&
                       GeoDistance(p.lat, p.lon, Deg(h.item.ptNearest.lY), Deg(h.item.ptNearest.lX)) < 5;
            });
            if (!fListed && ++cMissing <= 5) ADD_FAILURE() << "not listed: " << p.name;
        }
    }
    std::printf("%s: %zu named points expected near %zu references, %zu missing\n", GetParam(), cExpected,
                refs.size(), cMissing);
}

INSTANTIATE_TEST_SUITE_P(Extracts, SearchCorpus, testing::ValuesIn(c_aszExtracts));

class ImgNearest : public testing::TestWithParam<const char*> {};

TEST_P(ImgNearest, FindsPointsByDistanceTypeAndName) {
    const auto path = test::CorpusPath(std::string("img/") + GetParam());
    VELKA_REQUIRE_CORPUS(path);
    std::unique_ptr<CMapParser> pMap = OpenMapFile(path.u16string(), c_dwOpenAll);
    ASSERT_TRUE(pMap);
    const CMapRect& rc = pMap->Bounds();
    CNearestRequest req;
    req.ptRef = {rc.CenterX(), rc.CenterY()};
    req.dRadiusMetres = 1500;
    const CNearestResult all = FindNearestObjects(*pMap, req);
    ASSERT_FALSE(all.hits.empty());
    for (std::size_t i = 0; i < all.hits.size(); ++i) {
        const CNearestHit& h = all.hits[i];
        EXPECT_EQ(h.item.nKind, rkPoint);
        const double d = GeoDistance(Deg(req.ptRef.lY), Deg(req.ptRef.lX), Deg(h.item.ptNearest.lY),
                                     Deg(h.item.ptNearest.lX));
        EXPECT_NEAR(h.dDistanceMetres, d, 0.5 + 0.003 * d);
        EXPECT_LE(d, req.dRadiusMetres * 1.01 + 5);
        if (i) {
            EXPECT_LE(all.hits[i - 1].dDistanceMetres, h.dDistanceMetres);
        }
    }
    // A labelled point: found at its place, by part of its name, and not by
    // a filter that leaves its type out.
    const auto it = std::find_if(all.hits.begin(), all.hits.end(),
                                 [](const CNearestHit& h) { return std::u16string_view(h.item.szName).size() >= 4; });
    ASSERT_NE(it, all.hits.end());
    CNearestRequest at = req;
    at.ptRef = it->item.ptNearest;
    at.dRadiusMetres = 0;
    at.strName = std::u16string(it->item.szName).substr(1, 3);
    const CNearestResult named = FindNearestObjects(*pMap, at);
    ASSERT_FALSE(named.hits.empty());
    EXPECT_EQ(named.hits[0].item.ptNearest, it->item.ptNearest);
    for (const CNearestHit& h : named.hits) EXPECT_TRUE(ContainsText(FoldText(h.item.szName), FoldText(at.strName)));
    at.strName.clear();
    at.cTypeCookie = 420; // other objects: none of the table's types
    for (const CNearestHit& h : FindNearestObjects(*pMap, at).hits)
        EXPECT_EQ(CategoryKeyOf(h.item.nKind, h.item.wType), c_wOtherObjectsKey);
    req.cTypeCookie = 2; // food
    for (const CNearestHit& h : FindNearestObjects(*pMap, req).hits)
        EXPECT_EQ(CategoryKeyOf(h.item.nKind, h.item.wType), 0x2a00) << h.item.wType;
}

INSTANTIATE_TEST_SUITE_P(Maps, ImgNearest,
                         testing::Values("liechtenstein-6bit-route.img", "monaco-latin1-plain.img",
                                         "andorra-latin1-lower-route.img", "moscow-center-cp1251-net.img",
                                         "moscow-center-unicode-lower-route.img"));

} // namespace
} // namespace velka
