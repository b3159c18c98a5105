#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "mapview/map_labels.h"
#include "mapdata/recording_paint.h"
#include "mapview/styles.h"
#include "platform/debug.h"

namespace velka {
namespace {

// Without a measuring canvas a text is 7 pixels a character and 14 high.
class LabelStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_store.Clear(320, 240);
        m_style.font.nHeight = 14;
    }
    void Point(std::u16string_view text, int x, int y, WORD wPriority, UINT uIcon = 0) {
        m_store.AddPointLabel({}, 0x2A00, text, {x, y}, wPriority, &m_style, uIcon);
    }
    CMapLabelStore m_store;
    CLabelStyle m_style;
};

TEST_F(LabelStoreTest, GridHasCellsOfEightByFourPixels) {
    EXPECT_EQ(m_store.CellsW(), 320 / 8 + 1);
    EXPECT_EQ(m_store.CellsH(), 240 / 4 + 1);
    Point(u"abc", 16, 8, 5);
    m_store.Place();
    ASSERT_EQ(m_store.Records().size(), 1u);
    // 21 x 14 pixels right of the bare point, centred on it: from (21, 1)
    // to (42, 15) exclusive, columns 2..5, rows 0..3.
    const CLabelRecord& r = m_store.Records()[0];
    EXPECT_EQ(r.x + r.dxText, 21);
    EXPECT_EQ(r.y + r.dyText, 1);
    EXPECT_EQ(m_store.TextCell(2, 0), 0);
    EXPECT_EQ(m_store.TextCell(5, 3), 0);
    EXPECT_EQ(m_store.TextCell(6, 0), -1);
    EXPECT_EQ(m_store.TextCell(2, 4), -1);
}

TEST_F(LabelStoreTest, TiesKeepTheFirstLabel) {
    // Icons that would cover each other: their texts could go elsewhere.
    Point(u"first", 100, 100, 7, piInfo);
    Point(u"second", 104, 102, 7, piInfo);
    m_store.Place();
    ASSERT_EQ(m_store.Records().size(), 1u);
    EXPECT_EQ(m_store.Records()[0].strText, u"first");
}

TEST_F(LabelStoreTest, AMoreImportantLabelRegisteredLaterWins) {
    Point(u"village", 100, 100, 12, piVillage);
    Point(u"city", 104, 102, 4, piCityLarge);
    m_store.Place();
    ASSERT_EQ(m_store.Records().size(), 1u);
    EXPECT_EQ(m_store.Records()[0].strText, u"city");
    // A later, less important label loses against the placed city.
    Point(u"hamlet", 104, 102, 16, piVillage);
    m_store.Place();
    EXPECT_EQ(m_store.Records().size(), 1u);
}

TEST_F(LabelStoreTest, PointTypesRankBeforeTheParsersPriority) {
    // A shop registered first and a hospital on top of it: the hospital
    // stays although its parser priority is larger.
    m_store.AddPointLabel({}, 0x2E00, u"Shop", {100, 100}, 0x2E, &m_style, piShop);
    m_store.AddPointLabel({}, 0x3002, u"Hospital", {104, 100}, 0x30, &m_style, piMedical);
    m_store.Place();
    ASSERT_EQ(m_store.Records().size(), 1u);
    EXPECT_EQ(m_store.Records()[0].strText, u"Hospital");
    EXPECT_LT(CMapLabelStore::PointRank(0x0100), CMapLabelStore::PointRank(0x0800));
    EXPECT_LT(CMapLabelStore::PointRank(0x0800), CMapLabelStore::PointRank(0x2F01));
    EXPECT_LT(CMapLabelStore::PointRank(0x2F01), CMapLabelStore::PointRank(0x6616));
    EXPECT_LT(CMapLabelStore::PointRank(0x3002), CMapLabelStore::PointRank(0x2E00));
    EXPECT_LT(CMapLabelStore::LineRank(0x01), CMapLabelStore::LineRank(0x06));
}

TEST_F(LabelStoreTest, MinorPointsOnlyAtTheFinestScales) {
    auto placed = [&](unsigned uScale) {
        m_store.Clear(320, 240);
        m_store.SetScaleIndex(uScale);
        m_store.AddPointLabel({}, 0x2F01, u"Fuel", {40, 40}, 0x2F, &m_style, piFuel);
        m_store.AddPointLabel({}, 0x2A00, u"Cafe", {40, 120}, 0x2A, &m_style, piFood);
        m_store.AddPointLabel({}, 0x7700, u"Gate", {40, 200}, 0x77, &m_style, piDefault);
        m_store.Place();
        std::u16string s;
        for (const CLabelRecord& r : m_store.Records()) s += r.strText + u" ";
        return s;
    };
    EXPECT_EQ(placed(CMapLabelStore::c_uMinorScaleMax), u"Fuel Cafe Gate ");
    EXPECT_EQ(placed(CMapLabelStore::c_uMinorScaleMax + 1), u"Fuel Cafe ");
    EXPECT_EQ(placed(CMapLabelStore::c_uServiceScaleMax), u"Fuel Cafe ");
    EXPECT_EQ(placed(CMapLabelStore::c_uServiceScaleMax + 1), u"Fuel ");
    EXPECT_EQ(placed(12), u"Fuel ");
}

TEST_F(LabelStoreTest, AnIconAndItsTextArePlacedOrDroppedTogether) {
    Point(u"bank", 50, 50, 3, piBank);
    // Its icon would cover the bank's: neither icon nor text.
    Point(u"cafe", 60, 51, 20, piFood);
    // Its icon is free but every place for its text is taken: dropped too.
    Point(u"a very long name of a shop by the corner", 50, 75, 21, piShop);
    Point(u"x", 160, 75, 22, piShop);
    m_store.Place();
    ASSERT_EQ(m_store.Records().size(), 2u);
    EXPECT_EQ(m_store.Records()[0].strText, u"bank");
    EXPECT_EQ(m_store.Records()[1].strText, u"x");
    // The bank's text sits right of its icon, clear of it.
    const CLabelRecord& r = m_store.Records()[0];
    const CLabelBox icon = m_store.IconBox(r);
    for (const CLabelBox& b : m_store.TextBoxes(r)) {
        EXPECT_FALSE(b.Intersects(icon));
        EXPECT_GE(b.left, icon.right);
    }
    // A text that does not fit on the right goes to the left of its icon.
    Point(u"edge", 312, 150, 1, piInfo);
    m_store.Place();
    ASSERT_EQ(m_store.Records().size(), 3u);
    EXPECT_LT(m_store.Records()[2].dxText, 0);
}

TEST_F(LabelStoreTest, PointsOutsideTheClientAreaAddNothing) {
    Point(u"edge", 320, 10, 1, piInfo);
    Point(u"edge", 10, 240, 1, piInfo);
    Point(u"edge", -1, 10, 1, piInfo);
    EXPECT_TRUE(m_store.Records().empty());
    Point(u"in", 319, 239, 1, piInfo);
    m_store.Place();
    EXPECT_EQ(m_store.Records().size(), 1u);
}

TEST_F(LabelStoreTest, RoadLabelAnglesFollowTheLineNotItsDirection) {
    EXPECT_EQ(CMapLabelStore::LabelAngle(100, 0), 0);
    EXPECT_EQ(CMapLabelStore::LabelAngle(-100, 0), 0);
    // Lower left to upper right on the screen (y grows down): text rising at 45.
    EXPECT_EQ(CMapLabelStore::LabelAngle(100, -100), 45);
    EXPECT_EQ(CMapLabelStore::LabelAngle(-100, 100), 45);
    EXPECT_EQ(CMapLabelStore::LabelAngle(100, 100), -45);
    const int nVertical = CMapLabelStore::LabelAngle(0, 100);
    EXPECT_TRUE(nVertical == 90 || nVertical == -90);
}

TEST_F(LabelStoreTest, PolylineLabelsSitOnTheLongestSegment) {
    const POINT pts[3] = {{10, 100}, {20, 100}, {220, 100}};
    m_style.fNearLine = true;
    m_store.AddPolylineLabel({}, 0x06, u"Main", pts, 3, {}, &m_style, false);
    // A point label of a minor type over the road name is dropped.
    Point(u"x", 120, 96, 0xFE);
    // A shield is centred on the midpoint, unrotated.
    const POINT diag[2] = {{0, 200}, {100, 100}};
    m_store.AddPolylineLabel({}, 0x01, u"M1", diag, 2, {}, &m_style, true);
    // A line shorter than its text gets no label.
    const POINT shortLine[2] = {{0, 50}, {20, 50}};
    m_store.AddPolylineLabel({}, 0x06, u"Long street name", shortLine, 2, {}, &m_style, false);
    m_store.Place();
    ASSERT_EQ(m_store.Records().size(), 2u);
    // The motorway's shield ranks first.
    const CLabelRecord& shield = m_store.Records()[0];
    EXPECT_TRUE(shield.fShield);
    EXPECT_EQ(shield.font.nEscapement, 0);
    EXPECT_EQ(shield.x, 50 - 7);
    const CLabelRecord& r = m_store.Records()[1];
    EXPECT_EQ(r.strText, u"Main");
    EXPECT_EQ(r.font.nEscapement, 0);
    // Midpoint 120; half of 28 to the left, 0.6 x 14 above.
    EXPECT_EQ(r.x, 120 - 14);
    EXPECT_EQ(r.y, 100 - 8);
}

TEST_F(LabelStoreTest, ARoadNameIsShownOncePerStretch) {
    m_store.Clear(1600, 400);
    // Three pieces of one street along a line, the last far away, and a
    // crossing street whose name would cover the first.
    const POINT a[2] = {{10, 100}, {110, 100}};
    const POINT b[2] = {{120, 100}, {220, 100}};
    const POINT c[2] = {{1200, 100}, {1300, 100}};
    const POINT d[2] = {{60, 60}, {60, 140}};
    m_store.AddPolylineLabel({}, 0x06, u"Main", a, 2, {}, &m_style, false);
    m_store.AddPolylineLabel({}, 0x06, u"Main", b, 2, {}, &m_style, false);
    m_store.AddPolylineLabel({}, 0x06, u"Main", c, 2, {}, &m_style, false);
    m_store.AddPolylineLabel({}, 0x06, u"Cross", d, 2, {}, &m_style, false);
    m_store.Place();
    int cMain = 0, cCross = 0;
    for (const CLabelRecord& r : m_store.Records()) {
        cMain += r.strText == u"Main";
        cCross += r.strText == u"Cross";
    }
    EXPECT_EQ(cMain, 2);
    EXPECT_EQ(cCross, 0);
    // A vertical name's boxes stand upright.
    m_store.Clear(400, 400);
    m_store.AddPolylineLabel({}, 0x06, u"Upright", d, 2, {}, &m_style, false);
    m_store.Place();
    ASSERT_EQ(m_store.Records().size(), 1u);
    CLabelBox all{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (const CLabelBox& box : m_store.TextBoxes(m_store.Records()[0])) {
        all.left = std::min(all.left, box.left);
        all.top = std::min(all.top, box.top);
        all.right = std::max(all.right, box.right);
        all.bottom = std::max(all.bottom, box.bottom);
    }
    EXPECT_LE(all.right - all.left, 16);
    EXPECT_GE(all.bottom - all.top, 49);
}

TEST_F(LabelStoreTest, PolygonLabelsAreCentredAndNeedRoom) {
    const POINT square[4] = {{100, 100}, {200, 100}, {200, 160}, {100, 160}};
    m_store.AddPolygonLabel({}, 0x3C, u"Lake", square, 4, {}, &m_style);
    const POINT narrow[3] = {{10, 10}, {20, 10}, {15, 40}};
    m_store.AddPolygonLabel({}, 0x3C, u"Long lake name", narrow, 3, {}, &m_style);
    m_store.Place();
    ASSERT_EQ(m_store.Records().size(), 1u);
    EXPECT_EQ(m_store.Records()[0].x, 150 - 14);
    EXPECT_EQ(m_store.Records()[0].y, 130);
    EXPECT_EQ(m_store.Records()[0].wPriority, 0xFFFF);
}

TEST_F(LabelStoreTest, DrawingPumpsAndStopsWhenInterrupted) {
    for (int i = 0; i < 600; ++i) m_store.AddFreeText(i % 300, i % 200, u"w", m_style.font, 0, 0);
    CRecordingPaintContext pc({0, 0, 1000, 1000}, 320, 240, 5, 24);
    EXPECT_TRUE(m_store.DrawLabels(pc, 5));
    EXPECT_EQ(pc.m_cPumps, 4); // every 256 records, both passes
    pc.m_onPump = [](CRecordingPaintContext& c) { c.m_fRestart = true; };
    EXPECT_FALSE(m_store.DrawLabels(pc, 5));
}

} // namespace
} // namespace velka
