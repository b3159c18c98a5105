#include <gtest/gtest.h>

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
    ASSERT_EQ(m_store.Records().size(), 1u);
    // 21 x 14 pixels from (16, 8): columns 2..4, rows 2..5.
    EXPECT_EQ(m_store.TextCell(2, 2), 0);
    EXPECT_EQ(m_store.TextCell(4, 5), 0);
    EXPECT_EQ(m_store.TextCell(5, 2), -1);
    EXPECT_EQ(m_store.TextCell(2, 6), -1);
}

TEST_F(LabelStoreTest, TiesKeepTheFirstLabel) {
    Point(u"first", 100, 100, 7);
    Point(u"second", 104, 102, 7);
    ASSERT_EQ(m_store.Records().size(), 1u);
    EXPECT_EQ(m_store.Records()[0].strText, u"first");
}

TEST_F(LabelStoreTest, AMoreImportantLabelEvictsAnEarlierText) {
    Point(u"village", 100, 100, 12);
    Point(u"city", 104, 102, 4);
    ASSERT_EQ(m_store.Records().size(), 2u);
    EXPECT_FALSE(m_store.Records()[0].fText); // the record stays, its text is not drawn
    EXPECT_TRUE(m_store.Records()[1].fText);
    // A less important label now loses against the city.
    Point(u"hamlet", 104, 102, 16);
    EXPECT_EQ(m_store.Records().size(), 2u);
}

TEST_F(LabelStoreTest, IconsKeepTheirPlaceWhenOnlyTheIconFits) {
    Point(u"bank", 50, 50, 3, piBank);
    Point(u"cafe", 60, 51, 20, piFood); // another icon cell, text overlaps
    ASSERT_EQ(m_store.Records().size(), 2u);
    EXPECT_FALSE(m_store.Records()[1].fText);
    EXPECT_EQ(m_store.Records()[1].uIcon, UINT{piFood});
    // The same icon cell: the less important icon is not added...
    Point(u"", 51, 49, 30, piShop);
    EXPECT_EQ(m_store.Records().size(), 2u);
    // ...a more important one hides the old icon.
    Point(u"", 51, 49, 1, piMedical);
    ASSERT_EQ(m_store.Records().size(), 3u);
    EXPECT_FALSE(m_store.Records()[0].fVisible);
}

TEST_F(LabelStoreTest, PointsOutsideTheClientAreaAddNothing) {
    Point(u"edge", 320, 10, 1, piInfo);
    Point(u"edge", 10, 240, 1, piInfo);
    Point(u"edge", -1, 10, 1, piInfo);
    EXPECT_TRUE(m_store.Records().empty());
    Point(u"in", 319, 239, 1, piInfo);
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
    ASSERT_EQ(m_store.Records().size(), 1u);
    const CLabelRecord& r = m_store.Records()[0];
    EXPECT_EQ(r.font.nEscapement, 0);
    // Midpoint 120; half of 28 to the left, 0.6 x 14 above.
    EXPECT_EQ(r.x, 120 - 14);
    EXPECT_EQ(r.y, 100 - 8);
    // Lines take no cells: a point label on top still fits.
    Point(u"x", 120, 96, 0xFFFE);
    EXPECT_EQ(m_store.Records().size(), 2u);
    // A shield is centred on the midpoint, unrotated.
    const POINT diag[2] = {{0, 200}, {100, 100}};
    m_store.AddPolylineLabel({}, 0x01, u"M1", diag, 2, {}, &m_style, true);
    ASSERT_EQ(m_store.Records().size(), 3u);
    EXPECT_TRUE(m_store.Records()[2].fShield);
    EXPECT_EQ(m_store.Records()[2].font.nEscapement, 0);
    EXPECT_EQ(m_store.Records()[2].x, 50 - 7);
    // A line shorter than its text gets no label.
    const POINT shortLine[2] = {{0, 50}, {20, 50}};
    m_store.AddPolylineLabel({}, 0x06, u"Long street name", shortLine, 2, {}, &m_style, false);
    EXPECT_EQ(m_store.Records().size(), 3u);
}

TEST_F(LabelStoreTest, PolygonLabelsAreCentredAndNeedRoom) {
    const POINT square[4] = {{100, 100}, {200, 100}, {200, 160}, {100, 160}};
    m_store.AddPolygonLabel({}, 0x3C, u"Lake", square, 4, {}, &m_style);
    ASSERT_EQ(m_store.Records().size(), 1u);
    EXPECT_EQ(m_store.Records()[0].x, 150 - 14);
    EXPECT_EQ(m_store.Records()[0].y, 130);
    EXPECT_EQ(m_store.Records()[0].wPriority, 0xFFFF);
    const POINT narrow[3] = {{10, 10}, {20, 10}, {15, 40}};
    m_store.AddPolygonLabel({}, 0x3C, u"Long lake name", narrow, 3, {}, &m_style);
    EXPECT_EQ(m_store.Records().size(), 1u);
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
