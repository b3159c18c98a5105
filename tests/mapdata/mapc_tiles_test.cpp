// Cutting into atlas tiles: a way crossing a tile border is whole in both
// tiles and searched in one, a place comes to the neighbouring tile within
// its reach, and a tile keeps a copied place as a city only when one of
// its own objects belongs to it.
#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <osmium/io/any_input.hpp>
#include <osmium/osm.hpp>

#include "tests/mapdata/osm_sketch.h"
#include "tests/support/test_support.h"
#include "tools/mapc/mapc_osm.h"
#include "tools/mapc/mapc_style.h"
#include "tools/mapc/mapc_tiles.h"

namespace velka {
namespace {

using namespace mapc;
using test::COsmSketch;

// Row 0 lies at 47.1002 north, each row 0.0001 degree further south: the
// tile border at 47.1 runs between rows 1 and 3. P is a village south of
// it, the street a-e crosses the border with its middle node c north.
//
//     a-b-c
//         |
//
//         d-e
//       P
COsmSketch Sketch() {
    COsmSketch s("a-b-c\n"
                 "    |\n"
                 "\n"
                 "    d-e\n"
                 "  P\n",
                 47.1002, 9.5003);
    s.Tag('P', {{"place", "village"}, {"name", "Dorf"}});
    s.Tag('b', {{"highway", "crossing"}});
    s.Way(1, "abcde", {{"highway", "residential"}, {"name", "Feldweg"}});
    s.Way(2, "de", {{"highway", "service"}});
    return s;
}

// Per tile: "n1", "w2", ... with "*" after the copies.
using TileObjects = std::map<std::string, std::set<std::string>>;

TileObjects ReadTiles(const std::vector<CTile>& tiles) {
    TileObjects out;
    for (const CTile& t : tiles) {
        osmium::io::Reader reader{t.strFile};
        while (osmium::memory::Buffer buffer = reader.read())
            for (const osmium::OSMObject& o : buffer.select<osmium::OSMObject>())
                out[t.strName].insert(std::string(1, osmium::item_type_to_char(o.type())) + std::to_string(o.id()) +
                                      (o.tags().has_key(c_szTileCopyKey) ? "*" : ""));
        reader.close();
    }
    return out;
}

class MapcTiles : public testing::Test {
protected:
    void SetUp() override {
        const std::string strInput = m_dir.File("in.osm");
        std::ofstream(strInput) << Sketch().Xml();
        CTileOptions options;
        options.dSize = 0.01;
        options.strFolder = m_dir.Path().string();
        std::string err;
        ASSERT_TRUE(CutTiles(strInput, options, m_tiles, err)) << err;
        ASSERT_EQ(m_tiles.size(), 2u);
    }
    // The tile's compiled map.
    CMapcMap Compile(const CTile& t) {
        CStyle style;
        std::string err;
        EXPECT_TRUE(style.Load(test::SourcePath("data/runtime/osm.style").string(), err)) << err;
        CMapcOptions options;
        options.inputs = {t.strFile};
        CMapcMap map;
        EXPECT_TRUE(CompileOsm(options, style, map, err)) << err;
        return map;
    }
    test::TempDir m_dir;
    std::vector<CTile> m_tiles;
};

TEST_F(MapcTiles, ObjectsCrossingABorderAreWholeInBothTilesAndMarkedWhereTheyAreNotAtHome) {
    const std::string south = TileName(47.09 + 1e-9, 9.5 + 1e-9), north = TileName(47.1 + 1e-9, 9.5 + 1e-9);
    EXPECT_EQ(m_tiles[0].strName, south);
    EXPECT_EQ(m_tiles[1].strName, north);
    const TileObjects got = ReadTiles(m_tiles);
    auto id = [](char c) { return std::to_string(COsmSketch::NodeId(c)); };
    // The street's home is the tile of its middle node; its nodes come
    // whole, the tagged one marked; the village is copied north.
    const std::set<std::string> wantNorth{"n" + id('a'), "n" + id('b'),       "n" + id('c'), "n" + id('d'),
                                          "n" + id('e'), "n" + id('P') + "*", "w1"};
    const std::set<std::string> wantSouth{"n" + id('a'), "n" + id('b') + "*", "n" + id('c'), "n" + id('d'),
                                          "n" + id('e'), "n" + id('P'),       "w1*",         "w2"};
    EXPECT_EQ(got.at(north), wantNorth);
    EXPECT_EQ(got.at(south), wantSouth);
}

TEST_F(MapcTiles, ACopiedPlaceIsACityWhereAnObjectOfTheTileBelongsToIt) {
    auto indexed = [](const CMapcMap& map) {
        std::size_t c = 0;
        for (const CMapcCategory& cat : map.indexes.categories) c += cat.entries.size();
        return c;
    };
    // North: the street, in the village copied from the south.
    const CMapcMap mapNorth = Compile(m_tiles[1]);
    ASSERT_EQ(mapNorth.indexes.cities.size(), 1u);
    EXPECT_EQ(mapNorth.indexes.cities[0].strName, u"Dorf");
    EXPECT_GE(mapNorth.indexes.cities[0].nPointId, 0) << "a kept city keeps its position";
    ASSERT_EQ(indexed(mapNorth), 1u);
    for (const CMapcCategory& cat : mapNorth.indexes.categories)
        for (const CMapcIndexEntry& e : cat.entries) {
            EXPECT_EQ(e.nKind, rkPolyline);
            EXPECT_EQ(e.nCity, 0);
        }
    // South: the village itself; the street is the north's to list.
    const CMapcMap mapSouth = Compile(m_tiles[0]);
    ASSERT_EQ(mapSouth.indexes.cities.size(), 1u);
    EXPECT_EQ(mapSouth.indexes.cities[0].strName, u"Dorf");
    ASSERT_EQ(indexed(mapSouth), 1u);
    for (const CMapcCategory& cat : mapSouth.indexes.categories)
        for (const CMapcIndexEntry& e : cat.entries) EXPECT_EQ(e.nKind, rkPoint);
}

TEST_F(MapcTiles, ACopiedPlaceNoObjectBelongsToIsLeftOut) {
    // Without the street the north tile has nothing of the village's.
    const std::string strInput = m_dir.File("lone.osm");
    COsmSketch lone("a-b-c\n\n\n\n  P\n", 47.1002, 9.5003);
    lone.Tag('P', {{"place", "village"}, {"name", "Dorf"}});
    lone.Way(1, "abc", {{"highway", "track"}});
    std::ofstream(strInput) << lone.Xml();
    CTileOptions options;
    options.dSize = 0.01;
    options.strFolder = m_dir.Path().string();
    std::vector<CTile> tiles;
    std::string err;
    ASSERT_TRUE(CutTiles(strInput, options, tiles, err)) << err;
    ASSERT_EQ(tiles.size(), 2u);
    const CMapcMap mapNorth = Compile(tiles[1]);
    EXPECT_TRUE(mapNorth.indexes.cities.empty());
    for (const CMapcLevel& level : mapNorth.levels)
        for (const CMapcObject& o : level.objects) EXPECT_NE(o.nKind, rkPoint) << "the copied village is not drawn";
}

} // namespace
} // namespace velka
