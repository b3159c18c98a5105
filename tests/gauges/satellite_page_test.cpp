// The satellite page: the sky plot's pixels offscreen for a known table,
// bars that stay inside their chart however many satellites there are,
// and only filled table entries drawn.
#include <QImage>

#include <gtest/gtest.h>

#include "gauges/satellite_page.h"
#include "gps/positioning.h"
#include "platform/qt/qt_canvas.h"
#include "platform/recording_canvas.h"
#include "shell/screen.h"
#include "shell/settings.h"
#include "tests/support/qt_app.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

GpsSatellite Sat(int nPRN, int nElevation, int nAzimuth, int nSNR, int nState) {
    return GpsSatellite{nPRN, nElevation, nAzimuth, nSNR, nState};
}

COLORREF Pixel(const QImage& image, int x, int y) {
    const QRgb c = image.pixel(x, y);
    return RGB(qRed(c), qGreen(c), qBlue(c));
}

TEST(SkyPlot, GeometryAndRampIndex) {
    SetScreenMetrics({});
    const CSkyPlot portrait = SkyPlot(240, 320);
    EXPECT_EQ(portrait.nRadius, 60);
    EXPECT_EQ(portrait.xCentre, 120);
    EXPECT_EQ(portrait.yCentre, 80);
    EXPECT_EQ(portrait.At(90, 123), (POINT{120, 80}));
    EXPECT_EQ(portrait.At(0, 90), (POINT{180, 80}));
    EXPECT_EQ(portrait.At(0, 180), (POINT{120, 140}));
    EXPECT_EQ(portrait.At(-5, 0), (POINT{120, 20})); // below the horizon: on it
    const CSkyPlot landscape = SkyPlot(320, 240);
    EXPECT_EQ(landscape.xCentre, 68);
    EXPECT_EQ(landscape.yCentre, 68);
    EXPECT_EQ(StrengthIndex(-10, 50), 0);
    EXPECT_EQ(StrengthIndex(49, 50), 31);
    EXPECT_EQ(StrengthIndex(25, 50), 16);
}

TEST(SatellitePage, SkyPlotPixels) {
    test::QtApp();
    test::ScopedSettings settings;
    SettingsOpen();
    SetScreenMetrics({});
    CSkyView view;
    view.vecSatellites = {Sat(12, 90, 0, 45, 2), Sat(7, 0, 90, 30, 1), Sat(3, 45, 270, 60, 2)};
    CSatellitePage page;
    CQtCanvas dc(240, 320);
    page.Draw(dc, view);
    // A strength of 60 raised the scale to 61.
    EXPECT_EQ(page.StrengthScale(), 61);
    const QImage image = dc.Image();
    EXPECT_EQ(Pixel(image, 2, 2), RGB(0xB5, 0xF8, 0xE3));             // background
    EXPECT_EQ(Pixel(image, 120 + 45, 80 - 10), RGB(0x9B, 0xE7, 0xF7)); // sky between the rings
    // The used satellite overhead: green ramp entry 45 * 32 / 60 = 24.
    const int a = 255 - 24 * 255 / 31;
    EXPECT_EQ(Pixel(image, 120, 80 - 2), RGB(0, 255 - 3 * a / 4, 0));
    // The one only in view, on the east horizon: red ramp entry 30 * 32 / 60 = 16.
    EXPECT_EQ(Pixel(image, 180 - 2, 80 - 2), RGB(((16 * 255 / 62) & 0x7F) | 0x80, 0, 0));
    // The used satellite at elevation 45 in the west sits on the inner ring.
    const QRgb west = image.pixel(90 + 2, 80 - 2);
    EXPECT_GT(qGreen(west), 200);
    EXPECT_EQ(qRed(west), 0);
    SettingsClose();
}

TEST(SatellitePage, BarsStayInTheirChart) {
    SetScreenMetrics({});
    CSkyView view;
    for (int i = 0; i < 30; ++i) view.vecSatellites.push_back(Sat(i + 1, 30, i * 12, i == 0 ? -5 : 40, i % 2 + 1));
    CSatellitePage page;
    CRecordingCanvas dc(240, 320);
    page.Draw(dc, view);
    // Portrait chart: x from 3 to 237, bottom at 80 + 60 + 60 = 200, 50 high.
    int cBars = 0;
    for (const CCanvasCall& c : dc.CallsOf("FillRect")) {
        if (c.brush.crColor != RGB(0, 255, 0) && c.brush.crColor != RGB(255, 0, 0)) continue;
        ++cBars;
        EXPECT_GE(c.rc.left, 3);
        EXPECT_LE(c.rc.right, 237);
        EXPECT_GE(c.rc.top, 150);
        EXPECT_LE(c.rc.bottom, 200);
        EXPECT_LT(c.rc.top, c.rc.bottom);
    }
    EXPECT_EQ(cBars, 30);
}

TEST(SatellitePage, OnlyFilledEntriesAreRead) {
    test::ScopedSettings settings;
    SettingsOpen();
    ResetPositioningForTest();
    ResetSatelliteTable(12);
    AddSatellite(Sat(5, 40, 100, 33, 2));
    AddSatellite(Sat(9, 10, 200, 20, 1));
    const CSkyView view = ReadSkyView();
    ASSERT_EQ(view.vecSatellites.size(), 2u);
    EXPECT_EQ(view.vecSatellites[1].nPRN, 9);
    ResetSatelliteTable(0);
    SettingsClose();
}

} // namespace
} // namespace velka
