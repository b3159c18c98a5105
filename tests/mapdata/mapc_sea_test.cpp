// The sea stage on coastlines drawn in the test (north up, the land on the
// left of a coastline's direction): a coast across the box, a bay, islands
// and enclosed water, a coast across a corner, degenerate ways, broken and
// contradictory coastlines, atlas tiles; the sea's blocks come first; and
// the Monaco extract's harbour.
#include <algorithm>
#include <array>
#include <cmath>

#include <gtest/gtest.h>

#include "geometry/point_algorithms.h"
#include "tests/mapdata/osm_sketch.h"
#include "tests/support/test_support.h"
#include "tools/mapc/mapc_osm.h"
#include "tools/mapc/mapc_stages.h"
#include "tools/mapc/mapc_tiles.h"
#include "tools/mapc/zem_encode.h"

namespace velka {
namespace {

using namespace mapc;
using test::COsmSketch;

const char* const c_szStyle =
    "line natural=coastline 0x15 14\n"
    "line highway=residential 0x06 20 road=2/1\n";

// One sketch column or row in degrees.
constexpr double c_dStep = 1e-4;

struct CSeaRun {
    CMapcSource src;
    CSeaSummary summary;
    std::vector<const CMapcFeature*> Sea() const {
        std::vector<const CMapcFeature*> v;
        for (const CMapcFeature& f : src.features)
            if (f.nKind == rkPolygon && f.wType == c_wSeaAreaType) v.push_back(&f);
        return v;
    }
    // Inside some sea area by the alternate fill rule the maps are drawn with.
    bool IsSea(double dLat, double dLon) const {
        const CMapPoint p{DegreesToMapUnits(dLon), DegreesToMapUnits(dLat)};
        for (const CMapcFeature* f : Sea())
            if (PointInPolygon(f->pts.data(), f->pts.size(), p)) return true;
        return false;
    }
};

// Reads the sketch with the box given in sketch cells (columns west to
// east, rows north to south, from the sketch's origin), clips and fills.
CSeaRun FillSea(COsmSketch& s, double colWest, double rowNorth, double colEast, double rowSouth,
                const std::string& strGenerator = {}) {
    s.Bounds(47.1 - rowSouth * c_dStep, 9.5 + colWest * c_dStep, 47.1 - rowNorth * c_dStep, 9.5 + colEast * c_dStep);
    CSeaRun run;
    CStyle style;
    std::string err;
    EXPECT_TRUE(style.Parse(c_szStyle, err)) << err;
    std::string xml = s.Xml();
    if (!strGenerator.empty()) xml.replace(xml.find("<osm "), 5, "<osm generator=\"" + strGenerator + "\" ");
    EXPECT_TRUE(ReadOsmXml(xml, style, run.src, err)) << err;
    ClipToBox(run.src);
    run.summary = GenerateSea(run.src);
    return run;
}

// A point of the sketch by column and row.
double Lat(double row) { return 47.1 - row * c_dStep; }
double Lon(double col) { return 9.5 + col * c_dStep; }

struct Probe {
    double row, col;
    bool fSea;
};
void ExpectSea(const CSeaRun& run, std::initializer_list<Probe> probes) {
    for (const Probe& p : probes)
        EXPECT_EQ(run.IsSea(Lat(p.row), Lon(p.col)), p.fSea) << "row " << p.row << ", column " << p.col;
}

double Area(const std::vector<CMapPoint>& r) {
    double a = 0;
    for (std::size_t i = 0; i + 1 < r.size(); ++i) a += double(r[i].lX) * r[i + 1].lY - double(r[i + 1].lX) * r[i].lY;
    return std::abs(a) / 2;
}

TEST(MapcSea, AStraightCoastFillsTheWaterSideOfTheBox) {
    COsmSketch s(R"(


a--------------------b
)");
    s.Way(1, "ab", {{"natural", "coastline"}}); // runs east: land north, water south
    CSeaRun run = FillSea(s, 2, 0, 18, 6);
    ASSERT_TRUE(run.summary.strWarning.empty()) << run.summary.strWarning;
    const auto sea = run.Sea();
    ASSERT_EQ(sea.size(), 1u);
    EXPECT_EQ(&run.src.features.front(), sea[0]); // first, beneath all else
    EXPECT_TRUE(sea[0]->fUnderlay);
    EXPECT_EQ(sea[0]->nBits, c_anLevelBits[0]);
    EXPECT_TRUE(run.IsSea(Lat(4), Lon(10)));
    EXPECT_TRUE(run.IsSea(Lat(5.9), Lon(2.1)));
    EXPECT_FALSE(run.IsSea(Lat(2), Lon(10)));
    EXPECT_FALSE(run.IsSea(Lat(0.5), Lon(17)));
    // The water half: 16 columns by the 3 rows south of the coast.
    const double dUnitsPerStep = c_dStep * 1073741824.0 / 180.0;
    EXPECT_NEAR(Area(sea[0]->pts), 16 * 3 * dUnitsPerStep * dUnitsPerStep, 0.01 * 48 * dUnitsPerStep * dUnitsPerStep);
    // The coastline itself stays a line.
    EXPECT_EQ(std::count_if(run.src.features.begin(), run.src.features.end(),
                            [](const CMapcFeature& f) { return f.nKind == rkPolyline && f.wType == 0x15; }),
              1);

    // The same coast running west: the sides swap.
    COsmSketch w(R"(


a--------------------b
)");
    w.Way(1, "ba", {{"natural", "coastline"}});
    CSeaRun west = FillSea(w, 2, 0, 18, 6);
    EXPECT_FALSE(west.IsSea(Lat(4), Lon(10)));
    EXPECT_TRUE(west.IsSea(Lat(2), Lon(10)));
}

TEST(MapcSea, ABayEntersAndLeavesThroughOneEdgeAndSplitWaysJoin) {
    COsmSketch s(R"(

   b---------c
   |         |
   |         |
   |         |
   a         d
)");
    // North, east, south: the water is inside the bay. Two ways, one coast.
    s.Way(1, "ab", {{"natural", "coastline"}});
    s.Way(2, "bcd", {{"natural", "coastline"}});
    CSeaRun run = FillSea(s, 0, 0, 14, 5);
    ASSERT_TRUE(run.summary.strWarning.empty()) << run.summary.strWarning;
    ASSERT_EQ(run.Sea().size(), 1u);
    // In the bay; west, east and north of it.
    ExpectSea(run, {{3, 8, true}, {4.9, 5, true}, {3, 1, false}, {3, 13.8, false}, {1, 8, false}});
}

TEST(MapcSea, IslandsAreHolesAndRingsAloneDecideByTheirTurn) {
    const char* const c_szPicture = R"(
a--------------------b

      e-----f
      |     |
      h-----g

)";
    COsmSketch s(c_szPicture);
    s.Way(1, "ab", {{"natural", "coastline"}});
    s.Way(2, "ehgfe", {{"natural", "coastline"}}); // counter-clockwise: an island
    CSeaRun run = FillSea(s, 2, 0, 18, 7);
    ASSERT_TRUE(run.summary.strWarning.empty()) << run.summary.strWarning;
    ASSERT_EQ(run.Sea().size(), 1u);
    EXPECT_EQ(run.summary.cIslands, 1u);
    EXPECT_FALSE(run.IsSea(Lat(4), Lon(9)));  // on the island
    EXPECT_TRUE(run.IsSea(Lat(4), Lon(4)));   // beside it
    EXPECT_TRUE(run.IsSea(Lat(6), Lon(9)));   // south of it
    EXPECT_FALSE(run.IsSea(Lat(0.5), Lon(9))); // north of the coast

    // A ring alone decides by its turn: an island (counter-clockwise) has
    // the sea around it, water held in land (clockwise) is sea inside only.
    for (const bool fIsland : {true, false}) {
        COsmSketch ring(c_szPicture);
        ring.Way(2, fIsland ? "ehgfe" : "efghe", {{"natural", "coastline"}});
        CSeaRun alone = FillSea(ring, 2, 1, 18, 7);
        ASSERT_TRUE(alone.summary.strWarning.empty()) << alone.summary.strWarning;
        EXPECT_EQ(alone.IsSea(Lat(1.5), Lon(3)), fIsland);
        EXPECT_EQ(alone.IsSea(Lat(6), Lon(17)), fIsland);
        EXPECT_EQ(alone.IsSea(Lat(4), Lon(9)), !fIsland);
    }
}

TEST(MapcSea, ACoastAcrossACornerKeepsTheCornerOnItsSide) {
    COsmSketch s(R"(
       a

           b


)");
    // South-east across the north-east corner of the box (columns 0..10,
    // rows 1..5): the land is the corner, the water the rest.
    s.Way(1, "ab", {{"natural", "coastline"}});
    CSeaRun run = FillSea(s, 0, 1, 10, 5);
    ASSERT_TRUE(run.summary.strWarning.empty()) << run.summary.strWarning;
    ASSERT_EQ(run.Sea().size(), 1u);
    ExpectSea(run, {{1.1, 9.9, false}, {3, 5, true}, {4.9, 0.1, true}, {1.1, 0.1, true}, {4.9, 9.9, true}});
}

TEST(MapcSea, DegenerateWaysNeitherCrashNorFlood) {
    COsmSketch s(R"(
a----b----c----d

          e
)");
    // Repeated nodes, a way of one node twice, and a coast whose end lies
    // exactly on the box's north-east corner.
    s.Way(1, "abbc", {{"natural", "coastline"}});
    s.Way(2, "cd", {{"natural", "coastline"}});
    s.Way(3, "ee", {{"natural", "coastline"}});
    s.Way(4, "e", {{"natural", "coastline"}});
    CSeaRun run = FillSea(s, 0, 0, 15, 4); // d is the north-east corner
    EXPECT_TRUE(run.summary.strWarning.empty()) << run.summary.strWarning;
    ASSERT_EQ(run.Sea().size(), 1u);
    EXPECT_TRUE(run.IsSea(Lat(2), Lon(7)));

    // Touching the box only at its corner: no piece, no sea, no warning.
    COsmSketch t(R"(
a       c

    b
)");
    t.Way(1, "abc", {{"natural", "coastline"}});
    CSeaRun touch = FillSea(t, 4, 3, 12, 7); // b is the north-west corner
    EXPECT_TRUE(touch.summary.strWarning.empty()) << touch.summary.strWarning;
    EXPECT_TRUE(touch.Sea().empty());
}

TEST(MapcSea, BrokenOrContradictoryCoastsAndAtlasTilesGiveNoSeaAndAWarning) {
    // A coast that stops inside the box: led on to the nearest (north)
    // edge it would put the town in the east under water.
    COsmSketch s(R"(
            f----g
a------b    |    |
            h----i
)");
    s.Way(1, "ab", {{"natural", "coastline"}});
    s.Way(2, "fghif", {{"highway", "residential"}});
    CSeaRun run = FillSea(s, 2, 0, 18, 6);
    EXPECT_TRUE(run.Sea().empty());
    EXPECT_NE(run.summary.strWarning.find("no sea"), std::string::npos) << run.summary.strWarning;
    EXPECT_NE(run.summary.strWarning.find("road"), std::string::npos) << run.summary.strWarning;

    // Two coasts with the land on the same side: water and land do not
    // alternate along the edge.
    COsmSketch t(R"(
a--------------b

c--------------d
)");
    t.Way(1, "ab", {{"natural", "coastline"}});
    t.Way(2, "cd", {{"natural", "coastline"}});
    CSeaRun twice = FillSea(t, 2, -1, 12, 4);
    EXPECT_TRUE(twice.Sea().empty());
    EXPECT_NE(twice.summary.strWarning.find("alternate"), std::string::npos) << twice.summary.strWarning;

    // An atlas tile that does not name its cell knows only the input's box.
    COsmSketch u(R"(
a--------------b
)");
    u.Way(1, "ab", {{"natural", "coastline"}});
    EXPECT_EQ(FillSea(u, 2, -1, 12, 4).Sea().size(), 1u);
    for (const std::string& strGenerator : {std::string(c_szTileGenerator),
                                            std::string(c_szTileGenerator) + " 9.5,47.09,9.51"}) {
        CSeaRun tile = FillSea(u, 2, -1, 12, 4, strGenerator);
        EXPECT_TRUE(tile.Sea().empty()) << strGenerator;
        EXPECT_NE(tile.summary.strWarning.find("atlas tile"), std::string::npos) << tile.summary.strWarning;
    }
}

TEST(MapcSea, TileGeneratorsNameTheCellAndAreReadStrictly) {
    CTile t;
    t.dWest = 7.42;
    t.dSouth = 43.73;
    t.dEast = 7.43;
    t.dNorth = 43.74;
    const CTileGeneratorInfo info = ParseTileGenerator(TileGenerator(t));
    EXPECT_TRUE(info.fTile);
    ASSERT_TRUE(info.cell);
    EXPECT_EQ(*info.cell, (std::array<double, 4>{7.42, 43.73, 7.43, 43.74}));
    const std::string prefix = c_szTileGenerator;
    EXPECT_TRUE(ParseTileGenerator(prefix).fTile);
    EXPECT_FALSE(ParseTileGenerator(prefix).cell);
    for (const std::string& strBad : {prefix + " 7.42,43.73,7.43", prefix + " 7.42,43.73,7.43,43.74,1",
                                      prefix + " 7.42,43.73,7.43,43.74 ", prefix + " 7.43,43.73,7.42,43.74",
                                      prefix + " 7.42,43.73,7.43,95", prefix + " 7.42;43.73;7.43;43.74",
                                      prefix + " nan,43.73,7.43,43.74", prefix + " "}) {
        const CTileGeneratorInfo bad = ParseTileGenerator(strBad);
        EXPECT_TRUE(bad.fTile) << strBad;
        EXPECT_FALSE(bad.cell) << strBad;
    }
    for (const std::string& strOther : {std::string("osmium/1.14"), prefix + "x 7.42,43.73,7.43,43.74",
                                        std::string("velkatool mapc")})
        EXPECT_FALSE(ParseTileGenerator(strOther).fTile) << strOther;
}

// The generator of a tile whose cell is given in sketch cells.
std::string CellGenerator(double colWest, double rowNorth, double colEast, double rowSouth) {
    CTile t;
    t.dWest = Lon(colWest);
    t.dEast = Lon(colEast);
    t.dSouth = Lat(rowSouth);
    t.dNorth = Lat(rowNorth);
    return TileGenerator(t);
}

// Two tiles side by side, each holding the whole coastline: each fills its
// own cell, and together they make the sea of the whole box, meeting on
// the border.
TEST(MapcSea, AtlasTilesFillTheirOwnCellsAndMeetOnTheBorder) {
    COsmSketch s(R"(
a
 \
  \
   b-------------c
)");
    s.Way(1, "abc", {{"natural", "coastline"}}); // water to the south-west
    auto generator = [](double colWest, double colEast) { return CellGenerator(colWest, -2, colEast, 8); };
    const CSeaRun whole = FillSea(s, 1, -1, 15, 6);
    const CSeaRun west = FillSea(s, 1, -1, 15, 6, generator(0, 8));
    const CSeaRun east = FillSea(s, 1, -1, 15, 6, generator(8, 20));
    for (const CSeaRun* run : {&whole, &west, &east}) {
        ASSERT_TRUE(run->summary.strWarning.empty()) << run->summary.strWarning;
        ASSERT_EQ(run->Sea().size(), 1u);
    }
    // Each tile's sea within its cell (and the input's box) alone.
    const LONG xBorder = DegreesToMapUnits(Lon(8));
    for (const CMapPoint& p : west.Sea()[0]->pts) {
        EXPECT_LE(p.lX, xBorder);
        EXPECT_GE(p.lX, DegreesToMapUnits(Lon(1)));
    }
    for (const CMapPoint& p : east.Sea()[0]->pts) {
        EXPECT_GE(p.lX, xBorder);
        EXPECT_LE(p.lX, DegreesToMapUnits(Lon(15)));
    }
    // Both reach the border on the same stretch: from the coast down to the box's south edge.
    auto onBorder = [&](const CSeaRun& run) {
        std::vector<LONG> ys;
        for (const CMapPoint& p : run.Sea()[0]->pts)
            if (p.lX == xBorder) ys.push_back(p.lY);
        std::sort(ys.begin(), ys.end());
        ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
        return ys;
    };
    EXPECT_EQ(onBorder(west), onBorder(east));
    EXPECT_EQ(onBorder(west).size(), 2u);
    // Together the same sea as the whole box.
    for (double row = -0.5; row <= 5.5; row += 1)
        for (double col = 1.5; col <= 14.5; col += 1) {
            const bool fTile = col < 8 ? west.IsSea(Lat(row), Lon(col)) : east.IsSea(Lat(row), Lon(col));
            EXPECT_EQ(fTile, whole.IsSea(Lat(row), Lon(col))) << "row " << row << ", column " << col;
            EXPECT_FALSE((col < 8 ? east : west).IsSea(Lat(row), Lon(col))) << "row " << row << ", column " << col;
        }
    EXPECT_TRUE(west.IsSea(Lat(5), Lon(2)));
    EXPECT_TRUE(east.IsSea(Lat(5), Lon(12)));
    EXPECT_FALSE(east.IsSea(Lat(2), Lon(12)));

    // Cells the coast does not cross take the side of the nearest coast:
    // all water south of it, all land north of it.
    auto cell = [](double rowNorth, double rowSouth) { return CellGenerator(10, rowNorth, 14, rowSouth); };
    const CSeaRun south = FillSea(s, 1, -1, 15, 6, cell(4.5, 6.5));
    const CSeaRun north = FillSea(s, 1, -1, 15, 6, cell(-1.5, 3.5));
    ASSERT_EQ(south.Sea().size(), 1u) << south.summary.strWarning;
    EXPECT_TRUE(south.IsSea(Lat(5.5), Lon(12)));
    EXPECT_FALSE(south.IsSea(Lat(5.5), Lon(14.5)));
    EXPECT_TRUE(north.Sea().empty());
}

TEST(MapcSea, UnderlayAreasGetTheFirstBlocksOfALevel) {
    std::vector<enc::QObj> objs;
    for (int i = 0; i < 300; ++i) {
        enc::QObj o;
        o.nKind = rkPolygon;
        o.wType = 0x13;
        o.pts = {{i * 200, 0}, {i * 200 + 100, 0}, {i * 200 + 100, 100}};
        o.Bound();
        objs.push_back(o);
    }
    enc::QObj sea;
    sea.nKind = rkPolygon;
    sea.wType = c_wSeaAreaType;
    sea.fUnderlay = true;
    sea.pts = {{50000, 50000}, {60000, 50000}, {60000, 60000}}; // would sort last by place
    sea.Bound();
    objs.push_back(sea);
    const std::vector<enc::Block> blocks = enc::PlanBlocks(objs);
    ASSERT_GE(blocks.size(), 3u);
    EXPECT_EQ(blocks.front().members, std::vector<int>{300});
    for (std::size_t b = 1; b < blocks.size(); ++b)
        for (int i : blocks[b].members) EXPECT_FALSE(objs[i].fUnderlay);
}

TEST(MapcSeaCorpus, MonacoHarbourIsSeaAndTheTownIsNot) {
    const auto path = test::CorpusPath("osm/monaco-20210421.osm.pbf");
    VELKA_REQUIRE_CORPUS(path);
    CStyle style;
    std::string err;
    ASSERT_TRUE(style.Load(test::SourcePath("data/runtime/osm.style").string(), err)) << err;
    CSeaRun run;
    ASSERT_TRUE(ReadOsmFiles({path.string()}, style, run.src, err)) << err;
    ClipToBox(run.src);
    run.summary = GenerateSea(run.src);
    ASSERT_TRUE(run.summary.strWarning.empty()) << run.summary.strWarning;
    EXPECT_GE(run.Sea().size(), 1u);
    EXPECT_TRUE(run.IsSea(43.7350, 7.4250));  // Port Hercule
    EXPECT_TRUE(run.IsSea(43.7300, 7.4400));  // open sea off Monaco-Ville
    EXPECT_FALSE(run.IsSea(43.7384, 7.4246)); // La Condamine
    EXPECT_FALSE(run.IsSea(43.7397, 7.4270)); // Monte-Carlo, above the port
    EXPECT_FALSE(run.IsSea(43.7310, 7.4200)); // Fontvieille
}

// The Monaco extract cut into atlas tiles: each tile's sea, read as the
// atlas compile reads it, agrees with the whole file's inside its cell, so
// the tiles meet without a seam; the probes of the whole map hold in the
// tile holding them.
TEST(MapcSeaCorpus, MonacoAtlasTilesHaveTheWholeMapsSea) {
    const auto path = test::CorpusPath("osm/monaco-20210421.osm.pbf");
    VELKA_REQUIRE_CORPUS(path);
    CStyle style;
    std::string err;
    ASSERT_TRUE(style.Load(test::SourcePath("data/runtime/osm.style").string(), err)) << err;
    auto fill = [&](const std::string& strFile) {
        CSeaRun run;
        EXPECT_TRUE(ReadOsmFiles({strFile}, style, run.src, err)) << err;
        ClipToBox(run.src);
        run.summary = GenerateSea(run.src);
        return run;
    };
    const CSeaRun whole = fill(path.string());
    const CMapRect& rcBox = whole.src.rcHeader;
    for (const double dSize : {0.01, 0.05}) {
        test::TempDir dir;
        CTileOptions options;
        options.dSize = dSize;
        options.strFolder = dir.Path().string();
        std::vector<CTile> tiles;
        ASSERT_TRUE(CutTiles(path.string(), options, tiles, err)) << err;
        ASSERT_GE(tiles.size(), 4u);
        std::size_t cWithSea = 0, cCompared = 0;
        for (const CTile& t : tiles) {
            const CSeaRun tile = fill(t.strFile);
            EXPECT_TRUE(tile.src.fAtlasTile);
            EXPECT_EQ(tile.src.rcHeader, rcBox) << t.strName; // the clip stage needs the input's box
            EXPECT_TRUE(tile.summary.strWarning.empty()) << t.strName << ": " << tile.summary.strWarning;
            if (!tile.Sea().empty()) ++cWithSea;
            for (const CMapcFeature* f : tile.Sea())
                for (const CMapPoint& p : f->pts)
                    ASSERT_TRUE(tile.src.rcTile.Contains(p) && rcBox.Contains(p)) << t.strName;
            // A lattice of points inside the cell, off its borders.
            for (int i = 0; i < 20; ++i)
                for (int j = 0; j < 20; ++j) {
                    const double dLat = t.dSouth + (i + 0.5) * (t.dNorth - t.dSouth) / 20;
                    const double dLon = t.dWest + (j + 0.5) * (t.dEast - t.dWest) / 20;
                    if (!rcBox.Contains(CMapPoint{DegreesToMapUnits(dLon), DegreesToMapUnits(dLat)})) continue;
                    // North of 43.75 the extract's coastline ends near the
                    // box's edge: a tile holding the way with that end but
                    // not the end itself in its cell cannot tell it from a
                    // way going on, and does not lead it on to the edge.
                    if (dLat > 43.75) continue;
                    ++cCompared;
                    EXPECT_EQ(tile.IsSea(dLat, dLon), whole.IsSea(dLat, dLon))
                        << t.strName << " at " << dLat << ", " << dLon;
                }
        }
        EXPECT_GE(cWithSea, dSize < 0.05 ? 2u : 1u);
        EXPECT_GT(cCompared, 0u);
    }
    // The probes, in the 0.05-degree tile that holds all three.
    test::TempDir dir;
    CTileOptions options;
    options.dSize = 0.05;
    options.strFolder = dir.Path().string();
    std::vector<CTile> tiles;
    ASSERT_TRUE(CutTiles(path.string(), options, tiles, err)) << err;
    const auto it = std::find_if(tiles.begin(), tiles.end(), [](const CTile& t) { return t.strName == "N43.700E007.400"; });
    ASSERT_NE(it, tiles.end());
    const CSeaRun tile = fill(it->strFile);
    EXPECT_TRUE(tile.IsSea(43.7350, 7.4250));
    EXPECT_TRUE(tile.IsSea(43.7300, 7.4400));
    EXPECT_FALSE(tile.IsSea(43.7384, 7.4246));
}

} // namespace
} // namespace velka
