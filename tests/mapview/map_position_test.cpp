#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "gauges/units.h"
#include "mapview/map_position.h"
#include "platform/debug.h"
#include "platform/text.h"
#include "shell/screen.h"
#include "shell/settings.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

class MapPositionTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetScreenMetrics({});
        g_UnitOptions.nDistanceUnit = duMetric;
        SetAssertionSink([this](std::string_view s) { m_asserts.emplace_back(s); });
        m_pos.SetScreen(800, 600, {0, 0, 800, 600}, false);
    }
    void TearDown() override {
        SetAssertionSink(nullptr);
        g_UnitOptions.nDistanceUnit = duMetric;
    }
    test::ScopedSettings m_settings;
    std::vector<std::string> m_asserts;
    CMapPosition m_pos;
};

TEST_F(MapPositionTest, ScaleTableColumnsFollowTheirRule) {
    // Metric lengths are bar metres x factor / 40 in map units, truncated.
    for (unsigned i = 0; i < g_cScales; ++i) {
        const CScaleEntry& e = ScaleEntry(i);
        const double m = e.fMetricBar * (i >= 12 ? 1000.0 : 1.0);
        const double dExpected = m * e.nPixelFactor / 40.0 / c_dMetresPerUnit;
        EXPECT_NEAR(e.alLength[0], dExpected, std::max(1.5, dExpected * 1e-7)) << i;
        // Every scale's bar value is 40 pixels: its ratio gives the bar value back.
        EXPECT_LE(std::log2(e.alLength[0] / 8.0), 24.0) << i;
    }
    // Below index 9 both imperial columns hold feet; from 9 on miles.
    EXPECT_EQ(ScaleEntry(0).alLength[1], ScaleEntry(0).alLength[2]);
    EXPECT_EQ(ScaleEntry(0).alLength[1], static_cast<std::int32_t>(20 * 1000.0 / (c_dMetresPerUnit / 0.3048)));
    EXPECT_EQ(ScaleEntry(13).alLength[1], static_cast<std::int32_t>(10.0 / (c_dMetresPerUnit / 1852.0)));
    EXPECT_EQ(ScaleEntry(13).alLength[2], static_cast<std::int32_t>(10.0 / (c_dMetresPerUnit / 1609.3)));
}

TEST_F(MapPositionTest, ScaleBarLabelsInTheThreeUnitSystems) {
    EXPECT_EQ(ToUtf8(ScaleBarLabel(0, duMetric)), "5 м");
    EXPECT_EQ(ToUtf8(ScaleBarLabel(11, duMetric)), "800 м");
    EXPECT_EQ(ToUtf8(ScaleBarLabel(12, duMetric)), "1.2 км");
    EXPECT_EQ(ToUtf8(ScaleBarLabel(26, duMetric)), "800 км");
    EXPECT_EQ(ToUtf8(ScaleBarLabel(8, duNautical)), "800 фт");
    EXPECT_EQ(ToUtf8(ScaleBarLabel(9, duNautical)), "0.2 м.м");
    EXPECT_EQ(ToUtf8(ScaleBarLabel(15, duStatute)), "2.5 ми");
    EXPECT_EQ(ToUtf8(ScaleBarLabel(13, duStatute)), "1 ми");
}

TEST_F(MapPositionTest, SetScaleClampsAndWritesTheSetting) {
    WriteSettingInt(u"MapZoom", 40);
    m_pos.InitFromSettings();
    EXPECT_EQ(m_pos.ScaleIndex(), 26u);
    EXPECT_EQ(ReadSettingInt(u"MapZoom", 0), 26);
    ASSERT_FALSE(m_asserts.empty());
    EXPECT_NE(m_asserts[0].find("_cScaleIndex < g_cScales"), std::string::npos);
    m_pos.SetScale(13);
    EXPECT_EQ(m_pos.PixelCount(), 400 / 8);
    EXPECT_EQ(m_pos.CurrentArcs(), 1073741 / 8);
    // The unit system picks the ratio column.
    g_UnitOptions.nDistanceUnit = duStatute;
    m_pos.SetScale(13);
    EXPECT_EQ(m_pos.CurrentArcs(), ScaleEntry(13).alLength[2] / 8);
}

TEST_F(MapPositionTest, CenterIsClampedAtEightyDegreesAndWrittenBack) {
    WriteSettingInt(u"MapYc", 2 * 500000000);
    WriteSettingInt(u"MapXc", 2 * 123456);
    m_pos.InitFromSettings();
    EXPECT_EQ(m_pos.CenterY(), c_lMaxCenterY);
    EXPECT_EQ(m_pos.CenterX(), 123456);
    EXPECT_EQ(ReadSettingInt(u"MapYc", 0), 2 * c_lMaxCenterY);
    EXPECT_EQ(g_ptReference, (CMapPoint{123456, c_lMaxCenterY}));
    // cos(80 deg) x 255 = 44.3.
    EXPECT_EQ(m_pos.LatitudeFactor(), 44);
    m_pos.SetCenter(0, -600000000);
    EXPECT_EQ(m_pos.CenterY(), -c_lMaxCenterY);
}

TEST_F(MapPositionTest, MapToScreenAtAngleZero) {
    m_pos.SetCenter(DegreesToUnits(37.0), DegreesToUnits(55.0));
    m_pos.SetScale(10);
    const POINT a = m_pos.Anchor();
    EXPECT_EQ(a, (POINT{400, 300}));
    EXPECT_EQ(m_pos.MapToScreen(m_pos.Center()), a);
    const POINT n = m_pos.MapToScreen(m_pos.CenterX(), m_pos.CenterY() + 1000);
    EXPECT_EQ(n.x, a.x);
    EXPECT_EQ(a.y - n.y, 1000LL * m_pos.PixelCount() / m_pos.CurrentArcs());
    // East is squeezed by the latitude factor.
    const POINT e = m_pos.MapToScreen(m_pos.CenterX() + 100000, m_pos.CenterY());
    EXPECT_EQ(e.x - a.x, 100000LL * m_pos.PixelCount() * m_pos.LatitudeFactor() / (m_pos.CurrentArcs() * 255LL));
    // The anchor sits low when the map turns with the heading.
    m_pos.SetScreen(800, 600, {0, 0, 720, 600}, true);
    EXPECT_EQ(m_pos.Anchor(), (POINT{360, 450}));
}

TEST_F(MapPositionTest, ScreenToMapRoundTripsWithinAPixel) {
    // Unrotated the round trip is within one pixel; a rotation adds the
    // floors of its shifts, turned with the error: under three pixels.
    for (int nAngle : {0, 30, 90, 135, 271, -45}) {
        for (unsigned uScale : {0u, 7u, 13u, 20u, 26u}) {
            m_pos.SetCenter(DegreesToUnits(37.6), DegreesToUnits(55.75));
            m_pos.SetScale(uScale);
            m_pos.SetAngle(nAngle);
            const double dPixelY = double(m_pos.CurrentArcs()) / m_pos.PixelCount();
            const double dPixelX = dPixelY * 255.0 / m_pos.LatitudeFactor();
            const double cPixels = nAngle == 0 ? 1.0 : 3.0;
            for (int sx : {0, 123, 400, 799})
                for (int sy : {0, 300, 599}) {
                    const CMapPoint p = m_pos.ScreenToMap(sx, sy);
                    const CMapPoint m{p.lX + 12345 % (m_pos.CurrentArcs() + 1), p.lY - 777};
                    const POINT s = m_pos.MapToScreen(m);
                    const CMapPoint q = m_pos.ScreenToMap(s.x, s.y);
                    EXPECT_LE(std::abs(double(q.lX) - m.lX), cPixels * dPixelX + 1) << nAngle << " " << uScale;
                    EXPECT_LE(std::abs(double(q.lY) - m.lY), cPixels * dPixelY + 1) << nAngle << " " << uScale;
                }
        }
    }
}

TEST_F(MapPositionTest, RotationTurnsTheHeadingUp) {
    m_pos.SetScale(10);
    m_pos.SetAngle(90);
    EXPECT_EQ(m_pos.Cosine(), 0);
    EXPECT_EQ(m_pos.Sine(), 1024);
    EXPECT_EQ(ReadSettingInt(u"MapAngle", -1), 90);
    // Heading east: a point east of the centre is drawn above it.
    const POINT e = m_pos.MapToScreen(m_pos.CenterX() + 200000, m_pos.CenterY());
    EXPECT_NEAR(e.x, 400, 1);
    EXPECT_LT(e.y, 300);
}

TEST_F(MapPositionTest, PanningMovesTheMapWithThePointer) {
    m_pos.SetCenter(DegreesToUnits(37.6), DegreesToUnits(55.75));
    m_pos.SetScale(10);
    const CMapPoint before = m_pos.Center();
    const CMapPoint under = m_pos.ScreenToMap(400, 300);
    m_pos.PanByPixels(20, -10);
    // What was under the anchor now lies 20 right and 10 up.
    const POINT s = m_pos.MapToScreen(under);
    EXPECT_NEAR(s.x, 420, 1);
    EXPECT_NEAR(s.y, 290, 1);
    EXPECT_LT(m_pos.CenterX(), before.lX);
    EXPECT_LT(m_pos.CenterY(), before.lY);
    EXPECT_EQ(ReadSettingInt(u"MapXc", 0), 2 * m_pos.CenterX());
}

TEST_F(MapPositionTest, VisibleRectCoversTheClientArea) {
    m_pos.SetScale(12);
    m_pos.SetAngle(45);
    const CMapRect rc = m_pos.VisibleRect();
    for (POINT p : {POINT{0, 0}, POINT{799, 599}, POINT{0, 599}, POINT{799, 0}, POINT{400, 300}})
        EXPECT_TRUE(rc.Contains(m_pos.ScreenToMap(p.x, p.y)));
}

TEST_F(MapPositionTest, ZoomToRectPicksTheFinestScaleThatFits) {
    m_pos.SetCenter(DegreesToUnits(37.6), DegreesToUnits(55.75));
    const CMapRect rc{DegreesToUnits(37.5), DegreesToUnits(55.7), DegreesToUnits(37.7), DegreesToUnits(55.8)};
    m_pos.ZoomToRect(rc);
    const unsigned u = m_pos.ScaleIndex();
    ASSERT_GT(u, 0u);
    auto fits = [&](unsigned k) {
        m_pos.SetScale(k);
        const SIZE s = m_pos.ScreenExtent(rc);
        return s.cx <= 800 && s.cy <= 600;
    };
    EXPECT_TRUE(fits(u));
    EXPECT_FALSE(fits(u - 1));
    // An empty rectangle changes nothing.
    m_pos.SetScale(5);
    m_pos.ZoomToRect(CMapRect{10, 10, 10, 10});
    EXPECT_EQ(m_pos.ScaleIndex(), 5u);
    // A rectangle too big for every scale ends at the coarsest.
    m_pos.ZoomToRect(CMapRect{-1000000000, -400000000, 1000000000, 400000000});
    EXPECT_EQ(m_pos.ScaleIndex(), 26u);
}

TEST_F(MapPositionTest, LevelAndResolutionLookups) {
    m_pos.SetScale(10);
    EXPECT_EQ(m_pos.LevelForDrawing(), 22);
    WriteSettingInt(u"MapDetail", 2);
    EXPECT_EQ(m_pos.LevelForDrawing(), 23); // entry 8
    EXPECT_EQ(CMapPosition::ScaleForLevel(22), 12u);
    WriteSettingInt(u"MapDetail", 0);
    EXPECT_EQ(CMapPosition::ScaleForLevel(27), 3u);  // index 3 found before 2
    EXPECT_EQ(CMapPosition::ScaleForLevel(29), 0u);  // index 0 is never searched
    EXPECT_EQ(CMapPosition::ScaleForLevel(5), 0u);
    // 2 km bars of 40 pixels: 50 m a pixel.
    EXPECT_EQ(CMapPosition::ScaleForResolution(50.0), 13u);
    EXPECT_EQ(CMapPosition::ScaleForResolution(1e9), 0u);
    m_pos.SetScale(13);
    EXPECT_NEAR(m_pos.MetresPerPixel(), 50.0f, 0.1f);
    EXPECT_FALSE((m_pos.SetScale(0), m_pos.CanZoomIn()));
    EXPECT_FALSE((m_pos.SetScale(26), m_pos.CanZoomOut()));
}

TEST_F(MapPositionTest, ConversionsRoundAndHalveDoubledUnits) {
    EXPECT_EQ(DegreesToUnits(180.0), 1073741824);
    EXPECT_EQ(DegreesToUnits(-90.0), -536870912);
    EXPECT_EQ(DegreesToDoubledUnits(90.0), 1073741824);
    EXPECT_DOUBLE_EQ(DoubledUnitsToDegrees(-3), (-2 * 180.0) / 1073741824.0);
    EXPECT_EQ(MetresToUnits(20000000.0), 1073741824);
    EXPECT_EQ(MulDiv64(7, 3, 2), 11);   // 10.5 rounds away from zero
    EXPECT_EQ(MulDiv64(-7, 3, 2), -11);
    EXPECT_EQ(MulDiv64(1, 1, 0), -1);
}

} // namespace
} // namespace velka
