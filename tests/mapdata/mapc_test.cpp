// The map compiler: Huffman codes, the encoder read back by the reader,
// the style table, the demo town and its drive.
#include <array>
#include <cmath>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

#include "mapdata/map_parser.h"
#include "mapdata/zem_bits.h"
#include "mapdata/zem_parser.h"
#include "mapdata/recording_paint.h"
#include "tests/support/test_support.h"
#include "tools/mapc/demotown.h"
#include "tools/mapc/mapc_osm.h"
#include "tools/mapc/mapc_style.h"
#include "tools/mapc/zem_writer.h"

namespace velka {
namespace {

using namespace mapc;

TEST(MapcHuffman, CodesRoundTripThroughTheReaderTables) {
    std::mt19937 rng(7);
    for (unsigned cMax : {24u, 9u}) {
        CHuffmanCode code;
        std::vector<std::uint32_t> message;
        for (int i = 0; i < 3000; ++i) {
            // Skewed: a few common symbols and a long tail.
            const std::uint32_t s = rng() % 4 ? rng() % 8 : 100 + rng() % 600;
            code.Count(s);
            message.push_back(s);
        }
        code.Build(cMax);
        std::vector<BYTE> table;
        code.Serialise(table);
        CZemTable t;
        ASSERT_EQ(t.Read(table.data(), table.data() + table.size(), false), table.data() + table.size());
        CBitWriter bw;
        for (std::uint32_t s : message) code.Write(bw, s);
        CBitReader br(bw.Bytes().data(), bw.Bytes().data() + bw.Size());
        for (std::uint32_t s : message) ASSERT_EQ(t.Decode(br), s);
        EXPECT_FALSE(br.Failed());
    }
    CHuffmanCode single;
    single.Count(42, 10);
    single.Build();
    CBitWriter bw;
    single.Write(bw, 42);
    EXPECT_EQ(bw.BitCount(), 0u); // a lone symbol costs no bits
}

CMapcObject Obj(int nKind, WORD wType, std::u16string label, std::vector<CMapPoint> pts) {
    CMapcObject o;
    o.nKind = nKind;
    o.wType = wType;
    o.strLabel = std::move(label);
    o.points = std::move(pts);
    return o;
}

TEST(MapcEncoder, ObjectsComeBackAtTheirPlaceWithTheirLabels) {
    CMapcMap map;
    map.strName = u"Test";
    map.strSource = "GARMIN";
    CMapcLevel fine;
    fine.nBits = 24;
    const LONG u = 128; // one level unit
    fine.objects.push_back(Obj(rkPoint, 0x2B01, u"Hotel", {{1000 * u, 2000 * u}}));
    fine.objects.push_back(Obj(rkPoint, 0x2A00, u"Main Street", {{1010 * u, 2000 * u}}));
    fine.objects.push_back(Obj(rkPolyline, 0x06, u"Main Street",
                               {{900 * u, 1900 * u}, {1100 * u, 1900 * u}, {1100 * u, 2100 * u}}));
    fine.objects.push_back(Obj(rkPolygon, 0x02, u"Town", {{0, 0}, {500 * u, 0}, {500 * u, 500 * u}}));
    fine.objects.push_back(Obj(rkPolygon, 0x50, u"Wood", {{0, 0}, {50000 * u, 0}, {50000 * u, 40000 * u}}));
    CMapcObject longLine = Obj(rkPolyline, 0x01, u"", {{0, 0}, {100000 * u, 70000 * u}});
    longLine.fOneWay = true;
    fine.objects.push_back(longLine);
    CMapcLevel coarse;
    coarse.nBits = 16;
    coarse.objects.push_back(Obj(rkPolyline, 0x01, u"Main Street", {{0, 0}, {1 << 24, 1 << 24}}));
    map.levels = {coarse, fine};

    std::vector<BYTE> bytes;
    std::string err;
    CMapcStats stats;
    ASSERT_TRUE(EncodeZem(map, bytes, err, &stats)) << err;
    EXPECT_GT(stats.cbLabels, 0u); // "Main Street" is shared
    auto parser = OpenMapMemory(u"t", bytes.data(), bytes.size(), c_dwOpenAll);
    ASSERT_TRUE(parser);
    auto* zem = dynamic_cast<CZemParser*>(parser.get());
    ASSERT_TRUE(zem->IsSourceGarmin());

    CRecordingPaintContext pc({INT32_MIN / 2, INT32_MIN / 2, INT32_MAX / 2, INT32_MAX / 2}, 1 << 15,
                              1 << 15, 0, 24);
    CRecordingLabelStore labels;
    zem->Draw(pc, labels);
    // The long line was cut into pieces that join end to start.
    std::size_t cPieces = 0;
    for (const auto& l : pc.m_polylines) cPieces += l.wType == 0x01;
    EXPECT_GE(cPieces, 4u);
    EXPECT_GE(pc.m_cArrows, 4);
    // The Garmin source hides polygon type 2; the wood was clipped into cells.
    std::size_t cWood = 0;
    for (const auto& p : pc.m_polygons) {
        EXPECT_NE(p.wType, 0x02);
        cWood += p.wType == 0x50;
    }
    EXPECT_GE(cWood, 2u);

    // Exact places through the decoder.
    std::vector<std::pair<std::u16string, CMapPoint>> found;
    char16_t raw[128];
    zem->ForEachObject(1, raw, 128, [&](int, const CZemBlock&, const CZemObject& obj) {
        found.push_back({std::u16string(raw, obj.cRawLabel), zem->PointBuffer()[0]});
    });
    EXPECT_EQ(found.size(), stats.cObjects[0] + stats.cObjects[1] + stats.cObjects[2]);
    auto has = [&](const std::u16string& s, CMapPoint pt) {
        for (const auto& [t, q] : found)
            if (t == s && q == pt) return true;
        return false;
    };
    EXPECT_TRUE(has(u"Hotel", {1000 * u, 2000 * u}));
    EXPECT_TRUE(has(u"Main Street", {1010 * u, 2000 * u}));
    EXPECT_TRUE(has(u"Main Street", {900 * u, 1900 * u}));
}

TEST(MapcEncoder, RoadGraphAndRestrictionsAreWritten) {
    CMapcMap map;
    CMapcLevel fine;
    fine.nBits = 24;
    CMapcObject a = Obj(rkPolyline, 0x06, u"A", {{0, 0}, {12800, 0}, {25600, 0}});
    a.nodes = {0, -1, 1};
    a.wRoadFlags = 0x40 | 3;
    a.nRoadId = 0;
    CMapcObject b = Obj(rkPolyline, 0x06, u"B", {{25600, 0}, {25600, 12800}});
    b.nodes = {1, 2};
    b.nRoadId = 1;
    fine.objects = {a, b};
    map.levels = {fine};
    map.cNodes = 3;
    map.restrictions.push_back({0, 1, 2, 0, 1});
    map.restrictions.push_back({0, 1, 2, 5, 1}); // unknown road: left out
    std::vector<BYTE> bytes;
    std::string err;
    ASSERT_TRUE(EncodeZem(map, bytes, err)) << err;
    auto parser = OpenMapMemory(u"t", bytes.data(), bytes.size(), c_dwOpenAll);
    auto* zem = dynamic_cast<CZemParser*>(parser.get());
    ASSERT_TRUE(zem);
    EXPECT_EQ(zem->NodeCount(), 3u);
    EXPECT_EQ(zem->NodeBits(), 2u);
    ASSERT_EQ(zem->RestrictionCount(), 1u);

    CZemBlock blk;
    ASSERT_TRUE(zem->FirstBlock(0, blk));
    const BYTE* p = blk.apSection[rkPolyline];
    std::vector<std::pair<DWORD, std::vector<LONG>>> roads;
    while (p < blk.apSectionEnd[rkPolyline]) {
        CBitReader br(p, blk.apSectionEnd[rkPolyline]);
        CZemObject obj;
        std::vector<LONG> nodes;
        ASSERT_TRUE(zem->DecodeObject(br, rkPolyline, blk, 0, obj, nullptr, 0, &nodes));
        EXPECT_TRUE(obj.fNodeReferences);
        if (nodes.size() == 3) {
            EXPECT_EQ(obj.wRoadFlags, 0x43);
        }
        roads.push_back({static_cast<DWORD>(p - bytes.data()), nodes});
        p = obj.pNext;
    }
    ASSERT_EQ(roads.size(), 2u);
    // The restriction: nodes 0, 1, 2 and the two road records' offsets.
    CBitReader rr(bytes.data() + zem->RestrictionOffset(), bytes.data() + bytes.size());
    EXPECT_EQ(rr.ReadBits(2), 0u);
    EXPECT_EQ(rr.ReadBits(2), 1u);
    EXPECT_EQ(rr.ReadBits(2), 2u);
    const DWORD from = rr.ReadBits(zem->RoadOffsetBits());
    const DWORD to = rr.ReadBits(zem->RoadOffsetBits());
    for (const auto& [ofs, nodes] : roads) {
        if (nodes == std::vector<LONG>{0, -1, 1}) {
            EXPECT_EQ(from, ofs);
        }
        if (nodes == std::vector<LONG>{1, 2}) {
            EXPECT_EQ(to, ofs);
        }
    }
}

TEST(MapcStyle, ParsesRulesAndReportsBadLines) {
    CStyle style;
    std::string err;
    ASSERT_TRUE(style.Parse("# comment\nline highway=primary|secondary 0x03 16 road=5/1\n"
                            "area building=*,building=!no 0x13 24\n", err))
        << err;
    ASSERT_EQ(style.Rules().size(), 2u);
    EXPECT_TRUE(style.Rules()[0].fRoad);
    EXPECT_EQ(style.Rules()[0].nSpeedClass, 5);
    using Tags = std::map<std::string, std::string>;
    auto lookup = [](const void* p, const char* k) -> const char* {
        const auto& t = *static_cast<const Tags*>(p);
        auto it = t.find(k);
        return it == t.end() ? nullptr : it->second.c_str();
    };
    const Tags secondary{{"highway", "secondary"}}, house{{"building", "house"}}, no{{"building", "no"}};
    EXPECT_TRUE(style.Match(rkPolyline, &secondary, lookup));
    EXPECT_FALSE(style.Match(rkPolygon, &secondary, lookup));
    EXPECT_TRUE(style.Match(rkPolygon, &house, lookup));
    EXPECT_FALSE(style.Match(rkPolygon, &no, lookup));

    EXPECT_FALSE(style.Parse("blob highway=x 0x01 20\n", err));
    EXPECT_EQ(err, "line 1: unknown kind 'blob'");
    EXPECT_FALSE(style.Parse("\nline highway 0x01 20\n", err));
    EXPECT_EQ(err.rfind("line 2:", 0), 0u);
    EXPECT_FALSE(style.Parse("point amenity=x 0x2A00 30\n", err));
    EXPECT_FALSE(style.Parse("area amenity=x 0x05 20 road=1/1\n", err)); // roads are lines

    // The shipped style parses.
    EXPECT_TRUE(style.Load(test::SourcePath("data/runtime/osm.style").string(), err)) << err;
}

TEST(DemoTown, IsDeterministicAndCompilesWithWhatLaterFeaturesNeed) {
    const std::string osm = DemoTownOsm();
    EXPECT_EQ(osm, DemoTownOsm());
    for (const char* needle : {"junction\" v=\"roundabout", "oneway\" v=\"yes", "oneway\" v=\"-1",
                               "restriction\" v=\"no_left_turn", "addr:housenumber",
                               "highway\" v=\"motorway", "highway\" v=\"primary", "natural\" v=\"water",
                               "waterway\" v=\"river", "leisure\" v=\"park", "multipolygon",
                               "place\" v=\"town", "place\" v=\"village"})
        EXPECT_NE(osm.find(needle), std::string::npos) << needle;

    test::TempDir dir;
    const std::string path = dir.File("demo.osm");
    { std::ofstream(path) << osm; }
    CStyle style;
    std::string err;
    ASSERT_TRUE(style.Load(test::SourcePath("data/runtime/osm.style").string(), err)) << err;
    CMapcOptions options;
    options.inputs = {path};
    CMapcMap map;
    ASSERT_TRUE(CompileOsm(options, style, map, err)) << err;
    EXPECT_EQ(map.strName, u"demo");
    EXPECT_EQ(map.dwLocale, 1049u); // Cyrillic names
    EXPECT_EQ(map.wYear, 2026);
    EXPECT_GT(map.cNodes, 30u);
    // The no-left-turn becomes exactly one forbidden turn.
    EXPECT_EQ(map.restrictions.size(), 1u);
    std::size_t cRoundabout = 0, cOneWay = 0, cPlaces = 0, cForest = 0;
    for (const CMapcObject& o : map.levels.back().objects) {
        cRoundabout += o.nKind == rkPolyline && o.wType == 0x0C;
        cOneWay += o.nKind == rkPolyline && o.fOneWay;
        cPlaces += o.nKind == rkPoint && o.wType >= 0x0100 && o.wType <= 0x1100;
        cForest += o.nKind == rkPolygon && o.wType == 0x50;
    }
    EXPECT_EQ(cRoundabout, 1u);
    EXPECT_GE(cOneWay, 5u); // two streets, the roundabout, two carriageways
    EXPECT_EQ(cPlaces, 4u);
    EXPECT_EQ(cForest, 2u);
}

TEST(DemoTown, DriveLoopsRoundTheTownAtTownSpeeds) {
    std::istringstream in(DemoTownDrive());
    std::vector<std::array<double, 3>> rows;
    for (std::string line; std::getline(in, line);) {
        std::array<double, 3> r{};
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%lf,%lf", &r[0], &r[1], &r[2]), 3) << line;
        rows.push_back(r);
    }
    ASSERT_GT(rows.size(), 240u);
    EXPECT_LT(rows.size(), 400u); // about five minutes
    EXPECT_EQ(rows.front()[1], rows.back()[1]);
    EXPECT_EQ(rows.front()[2], rows.back()[2]);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i][0], rows[i - 1][0] + 1);
        const double dx = (rows[i][1] - rows[i - 1][1]) * 111320 * std::cos(55 * M_PI / 180);
        const double dy = (rows[i][2] - rows[i - 1][2]) * 111320;
        EXPECT_LT(std::hypot(dx, dy), 15.0) << i; // below 54 km/h
    }
}

} // namespace
} // namespace velka
