// The native map reader against a file built byte by byte (golden_map.h),
// the bit reader and decoding tables at their edges, and the drawing rules.
#include <gtest/gtest.h>

#include "mapdata/map_parser.h"
#include "mapdata/zem_bits.h"
#include "mapdata/zem_parser.h"
#include "mapdata/recording_paint.h"
#include "tests/mapdata/golden_map.h"

namespace velka {
namespace {

std::unique_ptr<CZemParser> OpenBytes(const std::vector<std::uint8_t>& bytes) {
    std::unique_ptr<CMapParser> p = OpenMapMemory(u"mem.zem", bytes.data(), bytes.size(), c_dwOpenAll);
    return std::unique_ptr<CZemParser>(dynamic_cast<CZemParser*>(p.release()));
}

CRecordingPaintContext ViewOf(const CMapParser& map, unsigned uIndex, int nCode) {
    CMapRect rc = map.Bounds();
    rc.Inflate(2000, 2000);
    return CRecordingPaintContext(rc, 1000, 1000, uIndex, nCode);
}

TEST(ZemGolden, HeaderFieldsDecodeAsWritten) {
    const auto bytes = test::GoldenMap();
    auto map = OpenBytes(bytes);
    ASSERT_TRUE(map);
    EXPECT_EQ(map->Bounds(), (CMapRect{128000, 256000, 130048, 257024}));
    EXPECT_EQ(map->FinestScale(), 7);    // code 24
    EXPECT_EQ(map->CoarsestScale(), 19); // code 16, searched from index 26 down
    EXPECT_EQ(map->FileSize(), 698u);
    EXPECT_EQ(map->Locale(), 1049u);
    EXPECT_TRUE(map->LabelsInMetres());
    EXPECT_FALSE(map->IsSourceGarmin());
    ASSERT_EQ(map->LevelCount(), 2u);
    EXPECT_EQ(map->Level(1).wBits, 24);
    EXPECT_EQ(map->Level(1).Shift(), 7u);
    EXPECT_EQ(map->Table(10).Maximum(), 2u);
    EXPECT_EQ(map->PointCapacity(), 3u);

    WORD wYear = 0;
    BYTE btMonth = 0, btDay = 99;
    char16_t szName[8], szNotes[3];
    map->GetInfo(&wYear, &btMonth, &btDay, szName, 8, szNotes, 3);
    EXPECT_EQ(wYear, 2025);
    EXPECT_EQ(btMonth, 7);
    EXPECT_EQ(btDay, 0); // month and year only
    EXPECT_EQ(std::u16string(szName), u"Tiny");
    EXPECT_EQ(std::u16string(szNotes), u"A|"); // cut at the caller's capacity
}

TEST(ZemGolden, BlocksAndRecordsDecodeAsWritten) {
    const auto bytes = test::GoldenMap();
    auto map = OpenBytes(bytes);
    ASSERT_TRUE(map);
    CZemBlock b;
    ASSERT_TRUE(map->FirstBlock(1, b));
    // Block 0 has three empty sections: the next header follows at once.
    EXPECT_EQ(b.pNext - bytes.data(), 667);
    for (int k = 0; k < rkMax; ++k) EXPECT_EQ(b.acbSection[k], 0u);
    ASSERT_TRUE(map->NextBlock(1, 0, b));
    EXPECT_EQ(b.rc, (CMapRect{128000, 256000, 130048, 257024}));
    EXPECT_EQ(b.apSection[rkPolygon] - bytes.data(), 686);
    EXPECT_EQ(b.apSection[rkPolyline] - bytes.data(), 689);
    EXPECT_EQ(b.apSection[rkPoint] - bytes.data(), 693);
    EXPECT_FALSE(map->NextBlock(1, 1, b));

    char16_t raw[16];
    CZemObject obj;
    CBitReader area(bytes.data() + 686, bytes.data() + 689);
    ASSERT_TRUE(map->DecodeObject(area, rkPolygon, b, 1, obj, raw, 16));
    EXPECT_EQ(obj.wType, 0x50);
    EXPECT_EQ(obj.nLabelEncoding, 0u);
    ASSERT_EQ(obj.cPoints, 3u);
    EXPECT_EQ(map->PointBuffer()[0], (CMapPoint{1003 << 7, 2002 << 7}));
    EXPECT_EQ(map->PointBuffer()[1], (CMapPoint{1004 << 7, 2002 << 7}));
    EXPECT_EQ(map->PointBuffer()[2], (CMapPoint{1003 << 7, 2002 << 7}));
    EXPECT_EQ(obj.pNext - bytes.data(), 689);

    CBitReader line(bytes.data() + 689, bytes.data() + 693);
    ASSERT_TRUE(map->DecodeObject(line, rkPolyline, b, 1, obj, raw, 16));
    EXPECT_EQ(obj.wType, 0x01); // the 9-bit code
    EXPECT_EQ(std::u16string(raw, obj.cRawLabel), u"AB");
    EXPECT_EQ(obj.dwLabelOffset, 689u);
    EXPECT_TRUE(obj.fOneWay);
    ASSERT_EQ(obj.cPoints, 2u);
    EXPECT_EQ(map->PointBuffer()[0], (CMapPoint{1000 << 7, 2008 << 7}));
    EXPECT_EQ(map->PointBuffer()[1], (CMapPoint{1001 << 7, 2008 << 7}));
    EXPECT_EQ(obj.pNext - bytes.data(), 693);

    CBitReader points(bytes.data() + 693, bytes.data() + 697);
    ASSERT_TRUE(map->DecodeObject(points, rkPoint, b, 1, obj, raw, 16));
    EXPECT_EQ(obj.wType, 0x2B01);
    EXPECT_TRUE(obj.fLabelReference);
    EXPECT_EQ(obj.dwLabelOffset, 697u);
    EXPECT_EQ(std::u16string(raw, obj.cRawLabel), u"BA");
    EXPECT_EQ(map->PointBuffer()[0], (CMapPoint{1005 << 7, 2007 << 7}));
    CBitReader second(obj.pNext, bytes.data() + 697);
    ASSERT_TRUE(map->DecodeObject(second, rkPoint, b, 1, obj, raw, 16));
    EXPECT_EQ(obj.nLabelEncoding, 0u);
    EXPECT_EQ(map->PointBuffer()[0], (CMapPoint{1016 << 7, 2000 << 7}));
    EXPECT_EQ(obj.pNext - bytes.data(), 697);
}

TEST(ZemGolden, DrawHandsEveryObjectToPaintersAndLabels) {
    const auto bytes = test::GoldenMap();
    auto map = OpenBytes(bytes);
    ASSERT_TRUE(map);
    auto pc = ViewOf(*map, 0, 24);
    CRecordingLabelStore labels;
    EXPECT_FALSE(map->Draw(pc, labels));
    ASSERT_EQ(pc.m_polygons.size(), 1u);
    EXPECT_EQ(pc.m_polygons[0].wType, 0x50);
    ASSERT_EQ(pc.m_polylines.size(), 1u);
    EXPECT_EQ(pc.m_polylines[0].points.size(), 2u);
    EXPECT_EQ(pc.m_cArrows, 1);
    ASSERT_EQ(labels.m_labels.size(), 3u);
    EXPECT_EQ(labels.m_labels[0].nKind, rkPolyline);
    EXPECT_EQ(labels.m_labels[0].strText, u"AB");
    EXPECT_EQ(labels.m_labels[0].source.dwLabelOffset, 689u);
    EXPECT_EQ(labels.m_labels[1].nKind, rkPoint);
    EXPECT_EQ(labels.m_labels[1].strText, u"BA");
    EXPECT_EQ(labels.m_labels[1].uIcon, 1000u + 0x2B);
    EXPECT_EQ(labels.m_labels[2].strText, u""); // the icon alone

    char16_t text[64];
    int nShield = -1;
    EXPECT_EQ(map->GetLabel(0, rkPolyline, 1, 689, text, &nShield), 2);
    EXPECT_EQ(std::u16string(text), u"AB");
    EXPECT_EQ(nShield, 0);
    EXPECT_EQ(map->GetLabel(0, rkPoint, 0x2B01, 697, text, &nShield), 2);
    EXPECT_EQ(std::u16string(text), u"BA");
    EXPECT_EQ(map->GetLabel(0, rkPoint, 0x2B01, 698, text, &nShield), 0); // outside the file

    // A coarser view chooses level 0, which has no blocks.
    auto coarse = ViewOf(*map, 20, 20);
    CRecordingLabelStore none;
    map->Draw(coarse, none);
    EXPECT_TRUE(coarse.m_polylines.empty());
    EXPECT_TRUE(none.m_labels.empty());
}

TEST(ZemGolden, TypeWithoutPenIsNotDrawnAndOffViewObjectsAreCulled) {
    const auto bytes = test::GoldenMap();
    auto map = OpenBytes(bytes);
    auto pc = ViewOf(*map, 0, 24);
    pc.m_noPenTypes.insert(0x01);
    CRecordingLabelStore labels;
    map->Draw(pc, labels);
    EXPECT_TRUE(pc.m_polylines.empty());
    EXPECT_EQ(pc.m_cArrows, 0);

    // A view east of the map sees no block at all.
    CRecordingPaintContext away({200000, 256000, 300000, 257024}, 100, 100, 0, 24);
    CRecordingLabelStore labels2;
    map->Draw(away, labels2);
    EXPECT_TRUE(away.m_polygons.empty());
    EXPECT_TRUE(labels2.m_labels.empty());
}

TEST(ZemGolden, ReferenceOutsideTheFileEndsTheSection) {
    auto bytes = test::GoldenMap();
    bytes[432] = 0xFF; // label area base far beyond the end
    bytes[433] = 0xFF;
    auto map = OpenBytes(bytes);
    ASSERT_TRUE(map);
    auto pc = ViewOf(*map, 0, 24);
    CRecordingLabelStore labels;
    map->Draw(pc, labels);
    // The polyline's inline label still draws; the points section stops at
    // its first record, so neither point is registered.
    ASSERT_EQ(labels.m_labels.size(), 1u);
    EXPECT_EQ(labels.m_labels[0].nKind, rkPolyline);
}

TEST(ZemGolden, GarminSourceHidesUrbanAreasIgnoringCase) {
    // The polygon type byte 0xA5 decodes to 0x50; patch the table's symbol
    // to 2 (an urban area) and compare the source tags.
    for (const char* tag : {"GARMIN", "garmin2"}) {
        auto bytes = test::GoldenMap(tag);
        bytes[606] = 0x02;
        auto map = OpenBytes(bytes);
        ASSERT_TRUE(map);
        auto pc = ViewOf(*map, 0, 24);
        CRecordingLabelStore labels;
        map->Draw(pc, labels);
        EXPECT_EQ(pc.m_polygons.size(), std::string(tag) == "GARMIN" ? 0u : 1u) << tag;
    }
    auto bytes = test::GoldenMap();
    bytes[606] = 0x4B; // never drawn
    auto map = OpenBytes(bytes);
    auto pc = ViewOf(*map, 0, 24);
    CRecordingLabelStore labels;
    map->Draw(pc, labels);
    EXPECT_TRUE(pc.m_polygons.empty());
}

TEST(ZemGolden, LevelResolution31UsesNoShift) {
    auto bytes = test::GoldenMap();
    bytes[649] = 31; // level 1 resolution
    auto map = OpenBytes(bytes);
    ASSERT_TRUE(map);
    EXPECT_EQ(map->Level(1).Shift(), 0u);
    CZemBlock b;
    ASSERT_TRUE(map->FirstBlock(1, b));
    ASSERT_TRUE(map->NextBlock(1, 0, b));
    EXPECT_EQ(b.rc, (CMapRect{1000, 2000, 1016, 2008}));
    bytes[649] = 32; // beyond 31 bits is not a level
    EXPECT_FALSE(OpenBytes(bytes));
}

TEST(ZemGolden, InterruptionIsCheckedEvery256Objects) {
    // The golden file with 601 point records: its labelled point, then 600
    // copies of the unlabelled one; the point section length takes 2 bytes.
    const auto golden = test::GoldenMap();
    std::vector<std::uint8_t> bytes(golden.begin(), golden.begin() + 667);
    const std::vector<std::uint8_t> block1 = {0xE8, 0x03, 0x00, 0x00, 0xD0, 0x07, 0x00, 0x00, 0x10,
                                              0x00, 0x08, 0x00, 0xAF, 0x02, 0x00, 0x25,
                                              0x03, 0x04, 0xB2, 0x04}; // data at 687; 3, 4, 1202
    bytes.insert(bytes.end(), block1.begin(), block1.end());
    bytes.insert(bytes.end(), golden.begin() + 686, golden.begin() + 695); // sections, first point
    for (int i = 0; i < 600; ++i) bytes.insert(bytes.end(), {0x40, 0x00});
    test::PutLE(bytes, 432, static_cast<std::uint32_t>(bytes.size()), 4);
    bytes.push_back(0x05); // the label area
    test::PutLE(bytes, 8, static_cast<std::uint32_t>(bytes.size()), 4);
    ASSERT_EQ(bytes.size(), 1897u);
    auto map = OpenBytes(bytes);
    ASSERT_TRUE(map);
    auto pc = ViewOf(*map, 0, 24);
    CRecordingLabelStore labels;
    EXPECT_FALSE(map->Draw(pc, labels));
    EXPECT_EQ(labels.m_labels.size(), 1u + 601u);
    EXPECT_EQ(pc.m_cPumps, 2); // 603 records: at 256 and 512

    auto restart = ViewOf(*map, 0, 24);
    restart.m_onPump = [](CRecordingPaintContext& c) { c.m_fRestart = true; };
    CRecordingLabelStore partial;
    EXPECT_TRUE(map->Draw(restart, partial));
    EXPECT_EQ(partial.m_labels.size(), 1u + 253u); // polygon, polyline, then points up to 255
}

// --- the bit reader and the tables ---------------------------------------

TEST(ZemBits, ReadsFromTheLowestBitAndCrossesBytes) {
    const BYTE data[] = {0xB4, 0x01, 0xFF};
    CBitReader br(data, data + 3);
    EXPECT_EQ(br.ReadBits(0), 0u);
    EXPECT_EQ(br.ReadBits(2), 0u);  // 0xB4 = 1011 0100
    EXPECT_EQ(br.ReadBits(3), 5u);  // bits 2-4: 1, 0, 1
    EXPECT_EQ(br.ReadBits(3), 5u);  // bits 5-7: 1, 0, 1
    EXPECT_EQ(br.Pointer(), data + 1); // ended on the byte boundary
    EXPECT_EQ(br.ReadBits(9), 0x101u);
    EXPECT_FALSE(br.Failed());
    EXPECT_EQ(br.ReadBits(16), 0u); // past the end
    EXPECT_TRUE(br.Failed());
}

std::vector<BYTE> Table(std::initializer_list<std::tuple<int, int, std::vector<BYTE>>> codes) {
    std::vector<BYTE> t{static_cast<BYTE>(codes.size()), 0};
    for (const auto& [sym, len, bits] : codes) {
        t.push_back(static_cast<BYTE>(sym));
        t.push_back(static_cast<BYTE>(sym >> 8));
        t.push_back(static_cast<BYTE>(len));
        t.insert(t.end(), bits.begin(), bits.end());
    }
    return t;
}

TEST(ZemBits, CodesOfLength0And8And9) {
    CZemTable t0;
    const auto zero = Table({{7, 0, {}}});
    ASSERT_TRUE(t0.Read(zero.data(), zero.data() + zero.size(), false));
    const BYTE any[] = {0xFF};
    CBitReader br0(any, any + 1);
    EXPECT_EQ(t0.Decode(br0), 7u);
    EXPECT_EQ(br0.Pointer(), any); // no bits consumed

    // An 8-bit code fills exactly one entry; a 9-bit one selects a child
    // table by its first 8 bits and fills the 128 child entries whose low
    // bit matches.
    CZemTable t;
    const auto codes = Table({{1, 8, {0x5A}}, {2, 9, {0x33, 0x01}}, {3, 2, {0x00}}});
    ASSERT_TRUE(t.Read(codes.data(), codes.data() + codes.size(), false));
    EXPECT_EQ(t.Maximum(), 3u);
    const BYTE a[] = {0x5A, 0x00};
    CBitReader bra(a, a + 2);
    EXPECT_EQ(t.Decode(bra), 1u);
    EXPECT_EQ(bra.Pointer(), a + 1);
    for (unsigned hi = 0; hi < 128; ++hi) {
        const BYTE b[] = {0x33, static_cast<BYTE>(1 | hi << 1)};
        CBitReader brb(b, b + 2);
        std::uint32_t v = 0;
        ASSERT_TRUE(t.Decode(brb, v));
        EXPECT_EQ(v, 2u);
        EXPECT_EQ(brb.Pointer(), b + 1);
        EXPECT_EQ(brb.BitIndex(), 1u);
    }
    const BYTE c[] = {0x33, 0x00}; // child entry with low bit 0: no code
    CBitReader brc(c, c + 2);
    std::uint32_t v = 0;
    EXPECT_FALSE(t.Decode(brc, v));
    const BYTE d[] = {0x33}; // the 9th bit is missing
    CBitReader brd(d, d + 1);
    EXPECT_FALSE(t.Decode(brd, v));
}

TEST(ZemBits, FixedWidthTablesAndMalformedTables) {
    const BYTE fixed[] = {1, 5, 0, 0, 0};
    CZemTable t;
    ASSERT_EQ(t.Read(fixed, fixed + 5, true), fixed + 5);
    EXPECT_TRUE(t.IsFixed());
    EXPECT_EQ(t.FixedWidth(), 3u); // bitlen(5)
    EXPECT_EQ(t.Maximum(), 4u);
    const BYTE huffman[] = {0, 1, 0, 9, 0, 0};
    ASSERT_EQ(t.Read(huffman, huffman + 6, true), huffman + 6);
    EXPECT_FALSE(t.IsFixed());
    EXPECT_EQ(t.Maximum(), 9u);

    EXPECT_EQ(t.Read(fixed, fixed + 4, true), nullptr);     // count cut off
    const auto cut = Table({{1, 9, {0x01, 0x00}}});
    EXPECT_EQ(t.Read(cut.data(), cut.data() + cut.size() - 1, false), nullptr);
    // A code that is a prefix of a longer one is not a code table.
    const auto prefix = Table({{1, 9, {0x01, 0x00}}, {2, 1, {0x01}}});
    EXPECT_EQ(t.Read(prefix.data(), prefix.data() + prefix.size(), false), nullptr);
}

} // namespace
} // namespace velka
