// The compiler's stages one by one, on small inputs drawn in the test:
// reading one-way streets, clipping, splitting roads at junctions, turn
// restrictions, a multipolygon with a hole, generalisation, shared labels,
// Huffman statistics, block layout and the header.
#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

#include "mapdata/zem_bits.h"
#include "mapdata/zem_format.h"
#include "tests/mapdata/osm_sketch.h"
#include "tools/mapc/mapc_osm.h"
#include "tools/mapc/mapc_stages.h"
#include "tools/mapc/zem_encode.h"

namespace velka {
namespace {

using namespace mapc;
using test::COsmSketch;

const char* const c_szStyle =
    "line highway=primary 0x03 16 road=5/1\n"
    "line highway=residential 0x06 22 road=2/4\n"
    "area natural=water 0x3C 20\n"
    "area building=* 0x13 24\n"
    "point amenity=cafe 0x2A0E 24\n";

CMapcSource Read(const COsmSketch& sketch) {
    CStyle style;
    std::string err;
    EXPECT_TRUE(style.Parse(c_szStyle, err)) << err;
    CMapcSource src;
    EXPECT_TRUE(ReadOsmXml(sketch.Xml(), style, src, err)) << err;
    return src;
}

const CMapcFeature* FeatureOfWay(const CMapcSource& src, OsmId way) {
    for (const CMapcFeature& f : src.features)
        if (f.wayId == way) return &f;
    return nullptr;
}

TEST(MapcRead, OneWayStreetsKeepTheirDirection) {
    COsmSketch s(R"(
  a---b---c
  d---e---f
  g---h---i
)");
    s.Way(1, "abc", {{"highway", "residential"}, {"oneway", "yes"}, {"name", "Forward"}});
    s.Way(2, "def", {{"highway", "residential"}, {"oneway", "-1"}});
    s.Way(3, "ghi", {{"highway", "residential"}});
    s.Tag('a', {{"amenity", "cafe"}, {"name", "Corner"}});
    s.Tag('d', {{"shop", "nothing-styled"}});
    const CMapcSource src = Read(s);
    const CMapcFeature* fwd = FeatureOfWay(src, 1);
    const CMapcFeature* back = FeatureOfWay(src, 2);
    const CMapcFeature* both = FeatureOfWay(src, 3);
    ASSERT_TRUE(fwd && back && both);
    EXPECT_TRUE(fwd->fOneWay);
    EXPECT_EQ(fwd->strLabel, u"Forward");
    EXPECT_EQ(fwd->nodeIds.front(), COsmSketch::NodeId('a'));
    EXPECT_TRUE(fwd->wRoadFlags & 0x40);
    // oneway=-1: the way is turned round so that it runs the allowed way.
    EXPECT_TRUE(back->fOneWay);
    EXPECT_EQ(back->nodeIds.front(), COsmSketch::NodeId('f'));
    EXPECT_GT(back->pts.front().lX, back->pts.back().lX);
    EXPECT_FALSE(both->fOneWay);
    EXPECT_FALSE(both->wRoadFlags & 0x40);
    EXPECT_EQ(both->wRoadFlags & 7, 2); // speed class of the rule
    std::size_t cPoints = 0;
    for (const CMapcFeature& f : src.features) cPoints += f.nKind == rkPoint;
    EXPECT_EQ(cPoints, 1u);
    EXPECT_GT(src.tNewest, 0);
}

TEST(MapcRead, MultipolygonWithAHoleJoinsTheHoleByACut) {
    COsmSketch s(R"(
a-----------b
|  e----f   |
|  |    |   |
|  h----g   |
d-----------c
)");
    s.Way(10, "abcda", {});
    s.Way(11, "efghe", {});
    s.Relation(20, {{"way", 10, "outer"}, {"way", 11, "inner"}}, {{"type", "multipolygon"}, {"natural", "water"}});
    const CMapcSource src = Read(s);
    ASSERT_EQ(src.features.size(), 1u);
    const CMapcFeature& f = src.features[0];
    EXPECT_EQ(f.nKind, rkPolygon);
    EXPECT_EQ(f.wType, 0x3C);
    // Outer ring (5 points), the cut out, the hole (5), back to the hole's
    // start and along the cut home.
    EXPECT_EQ(f.pts.size(), 5u + 1 + 5 + 1 + 1);
    const auto [latE, lonE] = s.LatLon('e');
    const CMapPoint e{DegreesToMapUnits(lonE), DegreesToMapUnits(latE)};
    EXPECT_NE(std::find(f.pts.begin(), f.pts.end(), e), f.pts.end());
    EXPECT_EQ(f.pts.back(), f.pts.front());
}

TEST(MapcClip, ObjectsWhollyOutsideTheBoxAreLeftOut) {
    COsmSketch s(R"(
a--b            c--d
)");
    s.Way(1, "ab", {{"highway", "residential"}});
    s.Way(2, "cd", {{"highway", "residential"}});
    const auto [latB, lonB] = s.LatLon('b');
    s.Bounds(latB - 1e-3, lonB - 1e-3, latB + 1e-3, lonB + 1e-4);
    CMapcSource src = Read(s);
    ASSERT_EQ(src.features.size(), 2u);
    ClipToBox(src);
    ASSERT_EQ(src.features.size(), 1u);
    EXPECT_EQ(src.features[0].wayId, 1);
}

TEST(MapcRoadGraph, RoadsSplitAtJunctionsAndEnds) {
    COsmSketch s(R"(
a---b---c---x
    |
    d
)");
    s.Way(1, "abcx", {{"highway", "residential"}});
    s.Way(2, "bd", {{"highway", "residential"}});
    const CMapcSource src = Read(s);
    const CRoadGraph g = BuildRoadGraph(src);
    EXPECT_EQ(g.cNodes, 4u); // a, b, x and d; c only shapes the road
    EXPECT_TRUE(g.IsNode(COsmSketch::NodeId('a')));
    EXPECT_TRUE(g.IsNode(COsmSketch::NodeId('b')));
    EXPECT_FALSE(g.IsNode(COsmSketch::NodeId('c')));
    EXPECT_TRUE(g.IsNode(COsmSketch::NodeId('d')));

    // The finest level keeps every node point even where simplification
    // would drop it, with its node number; coarser levels carry none.
    const std::vector<CMapcLevel> levels = GeneraliseLevels(src.features, g, {18, 24});
    ASSERT_EQ(levels.size(), 2u);
    for (const CMapcObject& o : levels[1].objects) {
        ASSERT_EQ(o.nodes.size(), o.points.size());
        EXPECT_GE(o.nRoadId, 0);
        if (o.points.size() >= 3) {
            EXPECT_EQ(o.nodes[1], g.nodeNumber.at(COsmSketch::NodeId('b')));
        }
    }
    for (const CMapcObject& o : levels[0].objects) EXPECT_TRUE(o.nodes.empty());
}

TEST(MapcRestrictions, NoAndOnlyTurnsBecomeForbiddenNodeTriples) {
    COsmSketch s(R"(
    n
    |
w---v---e
    |
    s
)");
    s.Way(1, "wv", {{"highway", "residential"}});
    s.Way(2, "vn", {{"highway", "residential"}});
    s.Way(3, "ve", {{"highway", "residential"}});
    s.Way(4, "vs", {{"highway", "residential"}});
    const OsmId v = COsmSketch::NodeId('v');
    s.Relation(30, {{"way", 1, "from"}, {"node", v, "via"}, {"way", 2, "to"}},
               {{"type", "restriction"}, {"restriction", "no_left_turn"}});
    s.Relation(31, {{"way", 4, "from"}, {"node", v, "via"}, {"way", 1, "to"}},
               {{"type", "restriction"}, {"restriction", "only_left_turn"}});
    // Over a via way that does not lead from the from way to the to way:
    // read, but it places no turn.
    s.Relation(32, {{"way", 3, "from"}, {"way", 2, "via"}, {"way", 1, "to"}},
               {{"type", "restriction"}, {"restriction", "no_u_turn"}});
    const CMapcSource src = Read(s);
    ASSERT_EQ(src.restrictions.size(), 3u);
    const CRoadGraph g = BuildRoadGraph(src);
    RestrictionSummary summary;
    const std::vector<CMapcRestriction> r = ResolveRestrictions(src, g, &summary);
    EXPECT_EQ(summary.dropped.size(), 1u);
    auto node = [&](char c) { return g.nodeNumber.at(COsmSketch::NodeId(c)); };
    auto has = [&](char a, char b, char c) {
        return std::any_of(r.begin(), r.end(), [&](const CMapcRestriction& x) {
            return x.lFromNode == node(a) && x.lNode == node(b) && x.lToNode == node(c);
        });
    };
    EXPECT_TRUE(has('w', 'v', 'n'));
    // only_left_turn from s: every other exit (north, east) is forbidden;
    // turning back down the same road is not.
    EXPECT_TRUE(has('s', 'v', 'n'));
    EXPECT_TRUE(has('s', 'v', 'e'));
    EXPECT_FALSE(has('s', 'v', 'w'));
    EXPECT_FALSE(has('w', 'v', 'e'));
    EXPECT_EQ(r.size(), 3u);
    for (const CMapcRestriction& x : r) {
        ASSERT_GE(x.nFromRoad, 0);
        ASSERT_GE(x.nToRoad, 0);
        const auto& from = src.features[x.nFromRoad].nodeIds;
        const auto& to = src.features[x.nToRoad].nodeIds;
        EXPECT_NE(std::find(from.begin(), from.end(), v), from.end());
        EXPECT_NE(std::find(to.begin(), to.end(), v), to.end());
        EXPECT_NE(x.nFromRoad, x.nToRoad);
    }
}

TEST(MapcGeneralise, CoarseLevelsDropSmallObjectsAndSimplify) {
    COsmSketch s(R"(
a-b-c-d-e-f-g-h-i-j-k-l-m-n-o-p-q-r-s-t-u-v-w-x-y-z

A-B
| |
D-C
)");
    s.Way(1, "abcdefghijklmnopqrstuvwxyz", {{"highway", "primary"}});
    s.Way(2, "ABCDA", {{"building", "yes"}});
    const CMapcSource src = Read(s);
    const CRoadGraph g = BuildRoadGraph(src);
    const std::vector<CMapcLevel> levels = GeneraliseLevels(src.features, g, {20, 22, 24});
    ASSERT_EQ(levels.size(), 3u);
    // The building's rule starts at 24 bits, the road's at 16.
    EXPECT_EQ(levels[0].objects.size(), 1u);
    EXPECT_EQ(levels[2].objects.size(), 2u);
    // A straight road keeps only its ends at the coarse levels.
    EXPECT_EQ(levels[0].objects[0].points.size(), 2u);
    for (const CMapcObject& o : levels[2].objects)
        if (o.nKind == rkPolyline) {
            EXPECT_EQ(o.points.size(), 2u);
        }

    std::vector<CMapPoint> flat{{0, 0}, {100, 3}, {200, 0}, {300, -2}, {400, 0}};
    std::vector<char> keep(flat.size(), 0);
    keep[1] = 2; // forced
    Simplify(flat, keep, 10);
    EXPECT_EQ(keep, (std::vector<char>{1, 2, 0, 0, 1}));
    const std::vector<CMapPoint> peak{{0, 0}, {100, 50}, {200, 0}};
    for (double tol : {10.0, 100.0}) {
        std::vector<char> k(3, 0);
        Simplify(peak, k, tol);
        EXPECT_EQ(k[1] != 0, tol < 50) << tol;
    }
}

CMapcObject Obj(int nKind, WORD wType, std::u16string label, std::vector<CMapPoint> pts) {
    CMapcObject o;
    o.nKind = nKind;
    o.wType = wType;
    o.strLabel = std::move(label);
    o.points = std::move(pts);
    return o;
}

TEST(MapcEncodeStages, ANameUsedTwiceIsSharedOnceUsedOnceStaysInline) {
    CMapcMap map;
    CMapcLevel fine;
    fine.nBits = 24;
    const LONG u = 128;
    fine.objects = {Obj(rkPolyline, 6, u"Twice", {{0, 0}, {10 * u, 0}}),
                    Obj(rkPolyline, 6, u"Twice", {{0, 5 * u}, {10 * u, 5 * u}}),
                    Obj(rkPolyline, 6, u"Once", {{0, 9 * u}, {10 * u, 9 * u}}),
                    Obj(rkPoint, 0x2A0E, u"Twice", {{3 * u, 3 * u}})}; // other encoding
    map.levels = {fine};
    std::string err;
    enc::CQuantised q;
    ASSERT_TRUE(enc::QuantiseLevels(map, q, err)) << err;
    ASSERT_EQ(q.labels.Items().size(), 3u);
    enc::CCodes codes;
    enc::BuildCodes(q, codes);
    // Statistics: the shared text once, the inline texts per use.
    EXPECT_TRUE(codes(zem::tblChars1).Has(u'T'));
    EXPECT_TRUE(codes(zem::tblChars1).Has(u'O'));
    EXPECT_TRUE(codes(zem::tblChars3).Has(u'T'));
    EXPECT_TRUE(codes(zem::tblLineTypes).Has(6));
    EXPECT_TRUE(codes(zem::tblPointTypes).Has(0x2A0E));
    EXPECT_FALSE(codes(zem::tblPointCount).Empty());
    enc::CLabelArea area;
    enc::WriteLabelArea(q.labels, codes, area);
    int cShared = 0;
    for (const enc::Label& lb : q.labels.Items()) {
        EXPECT_EQ(lb.lAreaOffset >= 0, lb.text == u"Twice" && lb.nEncoding == zem::c_nLabelInline1);
        cShared += lb.lAreaOffset >= 0;
    }
    EXPECT_EQ(cShared, 1);
    ASSERT_FALSE(area.bytes.empty());
    EXPECT_EQ(area.bytes[0] & 3, zem::c_nLabelInline1);
}

TEST(MapcEncodeStages, BlocksHoldAtMostTheirShareAndLieFinestFirst) {
    CMapcMap map;
    CMapcLevel coarse, fine;
    coarse.nBits = 16;
    fine.nBits = 24;
    for (int i = 0; i < 450; ++i)
        fine.objects.push_back(Obj(rkPoint, 0x2A0E, u"", {{(i % 30) * 4096, (i / 30) * 4096}}));
    coarse.objects.push_back(Obj(rkPoint, 0x2A0E, u"", {{0, 0}}));
    map.levels = {coarse, fine};
    std::string err;
    enc::CQuantised q;
    ASSERT_TRUE(enc::QuantiseLevels(map, q, err));
    const std::vector<enc::Block> planned = enc::PlanBlocks(q.levels[1]);
    ASSERT_GE(planned.size(), 3u);
    std::size_t cAll = 0;
    for (const enc::Block& b : planned) {
        EXPECT_LE(b.members.size(), enc::c_cMaxPerBlock);
        cAll += b.members.size();
        for (int i : b.members) {
            EXPECT_GE(q.levels[1][i].minX, b.x);
            EXPECT_LE(q.levels[1][i].maxX, b.x + b.w);
        }
    }
    EXPECT_EQ(cAll, 450u);

    enc::CCodes codes;
    enc::BuildCodes(q, codes);
    enc::CLabelArea area;
    enc::WriteLabelArea(q.labels, codes, area);
    enc::CBlocks blocks;
    CMapcStats stats;
    ASSERT_TRUE(enc::EncodeBlocks(q, codes, area, blocks, stats, err));
    EXPECT_EQ(stats.cObjects[rkPoint], 450u);
    std::vector<BYTE> out;
    enc::CLayout layout;
    ASSERT_TRUE(enc::LayOutFile(codes, blocks, area, out, layout, stats, err));
    // Block tables and data of the finest level come first.
    EXPECT_LT(layout.ofsBlockTable[1], layout.ofsBlockTable[0]);
    EXPECT_LT(blocks.levels[1].back().dwDataOffset, blocks.levels[0].front().dwDataOffset);
    EXPECT_EQ(layout.ofsTables, zem::c_cbHeader);
    EXPECT_EQ(layout.ofsLabels, out.size() - area.bytes.size());

    enc::WriteRestrictions(map, blocks, q.cNodes, out, layout, stats);
    EXPECT_EQ(layout.cRestrictions, 0u);
    map.strName = u"Sketch";
    map.dwLocale = 1033;
    enc::WriteHeader(map, q, blocks, area, layout, out);
    EXPECT_EQ(std::memcmp(out.data(), "GZEM", 4), 0);
    auto u32 = [&](std::size_t o) { return out[o] | out[o + 1] << 8 | out[o + 2] << 16 | std::uint32_t(out[o + 3]) << 24; };
    EXPECT_EQ(u32(zem::c_ofsFileSize), out.size());
    EXPECT_EQ(u32(zem::c_ofsLocale), 1033u);
    EXPECT_EQ(u32(zem::c_ofsLevelCount), 2u);
    EXPECT_EQ(u32(layout.ofsLevels), layout.ofsBlockTable[0]);        // coarsest entry first
    EXPECT_EQ(u32(layout.ofsLevels + 8), layout.ofsBlockTable[1]);
    EXPECT_EQ(out[zem::c_ofsName], 'S');
}

} // namespace
} // namespace velka
