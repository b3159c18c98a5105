// The compiler's search indexes, read back by the reader: cities with their
// positions, addresses from tags, associatedStreet relations and
// addr:interpolation ways, streets merged per name and city; and on a real
// extract, every place and every house number.
#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include <gtest/gtest.h>
#include <osmium/handler.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/visitor.hpp>

#include "mapdata/collation.h"
#include "mapdata/map_parser.h"
#include "mapdata/zem_parser.h"
#include "platform/text.h"
#include "tests/mapdata/osm_sketch.h"
#include "tests/support/test_support.h"
#include "tools/mapc/mapc_osm.h"
#include "tools/mapc/mapc_places.h"
#include "tools/mapc/mapc_stages.h"

namespace velka {
namespace {

using namespace mapc;
using test::COsmSketch;

const char* const c_szStyle =
    "point place=town 0x0800 16\n"
    "point place=village 0x0C00 18\n"
    "point amenity=cafe 0x2A0E 24\n"
    "line highway=residential 0x06 22 road=2/4\n"
    "area building=* 0x13 24\n";

// Compiles a sketch through every stage and opens the result.
std::unique_ptr<CMapParser> Compile(const COsmSketch& s, std::vector<BYTE>& bytes, CIndexSummary& sum) {
    CStyle style;
    std::string err;
    EXPECT_TRUE(style.Parse(c_szStyle, err)) << err;
    CMapcSource src;
    EXPECT_TRUE(ReadOsmXml(s.Xml(), style, src, err)) << err;
    CMapcOptions options;
    CMapcMap map;
    SetHeaderFacts(options, src, map);
    ExpandInterpolations(src);
    map.indexes = BuildIndexes(src, map.dwLocale, sum);
    const CRoadGraph g = BuildRoadGraph(src);
    map.cNodes = g.cNodes;
    map.levels = GeneraliseLevels(src.features, g, {18, 24});
    EXPECT_TRUE(EncodeZem(map, bytes, err)) << err;
    return OpenMapMemory(u"sketch.zem", bytes.data(), bytes.size(), c_dwOpenAll);
}

struct Address {
    std::u16string street, house, city;
};

// Every record with address attributes at the finest level.
std::vector<Address> Addresses(CZemParser& zem) {
    std::vector<Address> out;
    std::vector<char16_t> raw(256);
    zem.ForEachObject(zem.LevelCount() - 1, raw.data(), raw.size(), [&](int, const CZemBlock&, const CZemObject& o) {
        if (!o.fAddress) return;
        Address a;
        if (o.adwAddress[2]) zem.NameTableEntry(1, o.adwAddress[2] - 1, a.street);
        if (o.adwAddress[3]) zem.NameTableEntry(2, o.adwAddress[3] - 1, a.house);
        if (o.adwAddress[0]) zem.CityName(o.adwAddress[0] - 1, a.city);
        out.push_back(a);
    });
    return out;
}

TEST(MapcIndexes, CitiesAddressesAndStreetsComeBack) {
    COsmSketch s(R"(
 V      a----b----c                                                S   f---g
        |                                                              |
   h    d      p  q  r  t                                              e
 i---j--k
)");
    s.Tag('V', {{"place", "town"}, {"name", "Vaduz"}});
    s.Tag('S', {{"place", "village"}, {"name", "Schaan"}});
    // A name used twice: "Städtle" in both places, once cut in two.
    s.Way(1, "ab", {{"highway", "residential"}, {"name", "Städtle"}});
    s.Way(2, "bc", {{"highway", "residential"}, {"name", "Städtle"}});
    s.Way(3, "fg", {{"highway", "residential"}, {"name", "Städtle"}});
    s.Way(4, "ad", {{"highway", "residential"}, {"name", "Aeule"}});
    s.Way(5, "fe", {{"highway", "residential"}, {"name", "Feld"}});
    // A building with its address, an address-only node, a café with one.
    s.Way(6, "hijh", {{"building", "yes"}, {"addr:street", "Aeule"}, {"addr:housenumber", "3"}});
    s.Tag('k', {{"addr:street", "Aeule"}, {"addr:housenumber", "5"}, {"addr:postcode", "9490"}});
    s.Tag('e', {{"amenity", "cafe"}, {"name", "Feldcafé"}, {"addr:street", "Feld"},
                {"addr:housenumber", "1"}, {"addr:city", "Schaan"}});
    // House numbers 2 and 8 with an even interpolation between them.
    s.Tag('p', {{"addr:street", "Städtle"}, {"addr:housenumber", "2"}});
    s.Tag('t', {{"addr:street", "Städtle"}, {"addr:housenumber", "8"}});
    s.Way(7, "pqrt", {{"addr:interpolation", "even"}});
    // A house named into its street by an associatedStreet relation.
    s.Tag('d', {{"addr:housenumber", "7"}});
    s.Relation(40, {{"node", COsmSketch::NodeId('d'), "house"}, {"way", 4, "street"}},
               {{"type", "associatedStreet"}, {"name", "Aeule"}});

    std::vector<BYTE> bytes;
    CIndexSummary sum;
    auto parser = Compile(s, bytes, sum);
    ASSERT_TRUE(parser);
    auto* zem = dynamic_cast<CZemParser*>(parser.get());
    ASSERT_TRUE(zem);
    EXPECT_EQ(zem->Locale(), 1033u);
    EXPECT_NE(zem->HeaderDword(zem::c_ofsFlags) & zem::c_dwFlagMergeCities, 0u);

    // Cities sorted, each at its place node.
    auto cities = parser->CreateCitiesQuery();
    ASSERT_TRUE(cities);
    ASSERT_EQ(cities->Count(), 2u);
    CCityItem item;
    ASSERT_TRUE(cities->Item(0, item, c_dwCityPosition));
    EXPECT_EQ(std::u16string(item.szText), u"Schaan");
    ASSERT_TRUE(item.fHasPosition);
    const auto [latS, lonS] = s.LatLon('S');
    // Within half a unit of the finest level (2^7 map units).
    EXPECT_NEAR(item.y * 180.0 / 1073741824.0, latS, 1.1e-5);
    EXPECT_NEAR(item.x * 180.0 / 1073741824.0, lonS, 1.1e-5);
    ASSERT_TRUE(cities->Item(1, item, c_dwCityPosition));
    EXPECT_EQ(std::u16string(item.szText), u"Vaduz");
    EXPECT_TRUE(item.fHasPosition);
    EXPECT_EQ(sum.cCities, 2u);

    // Addresses: tags, address-only node, relation, interpolation.
    std::multiset<std::tuple<std::u16string, std::u16string, std::u16string>> got;
    for (const Address& a : Addresses(*zem)) got.insert({a.street, a.house, a.city});
    for (auto want : {std::tuple<std::u16string, std::u16string, std::u16string>{u"Aeule", u"3", u"Vaduz"},
                      {u"Aeule", u"5", u"Vaduz"}, {u"Aeule", u"7", u"Vaduz"}, {u"Feld", u"1", u"Schaan"},
                      {u"Städtle", u"2", u"Vaduz"}, {u"Städtle", u"4", u"Vaduz"}, {u"Städtle", u"6", u"Vaduz"},
                      {u"Städtle", u"8", u"Vaduz"}})
        EXPECT_EQ(got.count(want), 1u) << std::string(std::get<1>(want).begin(), std::get<1>(want).end());
    EXPECT_EQ(sum.cAddresses, 8u);
    EXPECT_EQ(sum.cNoStreet, 0u);
    EXPECT_EQ(sum.cNoCity, 0u);

    // Streets: one entry per name and city, sorted within each city.
    ASSERT_TRUE(parser->IsTypeIndexed(rkPolyline, 0x0001, 0x0006));
    auto streets = [&](int nCity) {
        std::vector<std::u16string> names;
        auto q = parser->CreateObjectsQuery(nCity, rkPolyline, 0x0001, 0xFFFF);
        CFindItem fi;
        for (DWORD i = 0; i < q->Count(); ++i)
            if (q->Item(i, fi, c_dwFindDisplayName)) names.push_back(fi.szName);
        return names;
    };
    EXPECT_EQ(streets(1), (std::vector<std::u16string>{u"Aeule", u"Städtle"}));
    EXPECT_EQ(streets(0), (std::vector<std::u16string>{u"Feld", u"Städtle"}));
    EXPECT_TRUE(streets(-1).empty());
    auto cafes = parser->CreateObjectsQuery(0, rkPoint, 0x2A00, 0x2A0E);
    ASSERT_EQ(cafes->Count(), 1u);
    CFindItem fi;
    ASSERT_TRUE(cafes->Item(0, fi, 0x3FE));
    EXPECT_EQ(std::u16string(fi.szName), u"Feldcafé");
    EXPECT_EQ(std::u16string(fi.szStreet), u"Feld");
    EXPECT_EQ(std::u16string(fi.szSettlement), u"Schaan");
    EXPECT_EQ(cafes->FindFirst(u"feld"), 0u);
}

// Addresses (street, number) inside the extract's box and places in an
// OpenStreetMap file, read with libosmium. The data reaches beyond the box
// for relation members; the compiler keeps what the box holds.
struct CountHandler : osmium::handler::Handler {
    osmium::Box box;
    std::size_t cHouseNumbers = 0;
    std::multiset<std::pair<std::string, std::string>> addresses;
    std::set<std::string> places;
    std::map<osmium::object_id_type, bool> wayInBox;
    void Address(const osmium::TagList& tags, bool fInBox) {
        const char* house = tags.get_value_by_key("addr:housenumber");
        if (!house || !fInBox) return;
        ++cHouseNumbers;
        const char* street = tags.get_value_by_key("addr:street");
        addresses.emplace(street ? street : "", house);
    }
    void node(const osmium::Node& n) {
        Address(n.tags(), box.contains(n.location()));
        const char* p = n.tags().get_value_by_key("place");
        const char* name = n.tags().get_value_by_key("name");
        if (p && name && (!std::strcmp(p, "city") || !std::strcmp(p, "town") || !std::strcmp(p, "village") ||
                          !std::strcmp(p, "hamlet")))
            places.insert(name);
    }
    void way(const osmium::Way& w) {
        bool fIn = false;
        for (const osmium::NodeRef& nr : w.nodes()) fIn = fIn || (nr.location().valid() && box.contains(nr.location()));
        wayInBox[w.id()] = fIn;
        Address(w.tags(), fIn);
    }
    void relation(const osmium::Relation& r) {
        if (!r.tags().has_tag("type", "multipolygon")) return;
        bool fIn = false;
        for (const osmium::RelationMember& m : r.members())
            if (m.type() == osmium::item_type::way) fIn = fIn || wayInBox[m.ref()];
        Address(r.tags(), fIn);
    }
};

// A real extract, its expected map locale and the least house numbers it holds.
struct Extract {
    const char* pszFile;
    DWORD dwLocale;
    std::size_t cMinHouseNumbers;
};

class MapcIndexesOnExtract : public testing::TestWithParam<Extract> {};

// Liechtenstein has German names with umlauts, the Moscow centre Cyrillic
// names with ё and addr:street on buildings.
TEST_P(MapcIndexesOnExtract, KeepsEveryPlaceAndHouseNumberInOrder) {
    const auto path = test::CorpusPath(std::string("osm/") + GetParam().pszFile);
    VELKA_REQUIRE_CORPUS(path);
    CountHandler count;
    {
        osmium::io::Reader reader{path.string()};
        count.box = reader.header().box();
        using Index = osmium::index::map::FlexMem<osmium::unsigned_object_id_type, osmium::Location>;
        Index index;
        osmium::handler::NodeLocationsForWays<Index> locations{index};
        locations.ignore_errors();
        osmium::apply(reader, locations, count);
        reader.close();
    }
    CStyle style;
    std::string err;
    ASSERT_TRUE(style.Load(test::SourcePath("data/runtime/osm.style").string(), err)) << err;
    CMapcOptions options;
    options.inputs = {path.string()};
    CMapcMap map;
    CIndexSummary sum;
    ASSERT_TRUE(CompileOsm(options, style, map, err, &sum)) << err;
    std::vector<BYTE> bytes;
    CMapcStats stats;
    ASSERT_TRUE(EncodeZem(map, bytes, err, &stats)) << err;
    auto parser = OpenMapMemory(u"li.zem", bytes.data(), bytes.size(), c_dwOpenAll);
    auto* zem = dynamic_cast<CZemParser*>(parser.get());
    ASSERT_TRUE(zem);
    EXPECT_EQ(zem->Locale(), GetParam().dwLocale);

    // Every place node is a city with its position, in collation order.
    auto cities = parser->CreateCitiesQuery();
    std::set<std::u16string> names;
    const CCollator& coll = CCollator::ForLcid(zem->Locale());
    std::u16string prev;
    for (DWORD i = 0; i < cities->Count(); ++i) {
        CCityItem item;
        ASSERT_TRUE(cities->Item(i, item, c_dwCityPosition));
        std::u16string name;
        ASSERT_TRUE(zem->CityName(i, name));
        if (item.fHasPosition) names.insert(name);
        EXPECT_FALSE(coll.Less(item.szText, prev)) << i;
        prev = item.szText;
    }
    for (const std::string& p : count.places) EXPECT_TRUE(names.count(FromUtf8(p))) << p;
    // Every house number, on an object with its street.
    std::size_t cWithHouse = 0, cWithStreet = 0;
    std::multiset<std::pair<std::string, std::string>> missing = count.addresses;
    for (const Address& a : Addresses(*zem)) {
        cWithHouse += !a.house.empty();
        cWithStreet += !a.house.empty() && !a.street.empty();
        auto it = missing.find({ToUtf8(a.street), ToUtf8(a.house)});
        if (it != missing.end()) missing.erase(it);
    }
    for (const auto& [street, house] : missing) ADD_FAILURE() << "no address " << street << " " << house;
    EXPECT_GE(cWithHouse, count.cHouseNumbers);
    EXPECT_GE(count.cHouseNumbers, GetParam().cMinHouseNumbers);
    EXPECT_GE(cWithStreet * 10, cWithHouse * 9);
    // The index share of a city extract stays small.
    EXPECT_LT(double(stats.cbCitiesIndex + stats.cbObjectsIndex) / bytes.size(), 0.25);
}

INSTANTIATE_TEST_SUITE_P(Corpus, MapcIndexesOnExtract,
                         testing::Values(Extract{"liechtenstein-20150727.osm.pbf", 1033, 1000},
                                         Extract{"moscow-center-20200720.osm.pbf", 1049, 400}),
                         [](const testing::TestParamInfo<Extract>& param) {
                             const char* psz = param.param.pszFile;
                             return std::string(psz, std::strcspn(psz, "-"));
                         });

} // namespace
} // namespace velka
