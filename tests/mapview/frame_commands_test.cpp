// The recorded map layer: replayed in the order recorded, with the pen,
// brush and antialiasing of each command, and the same picture whether
// drawn whole or as two bands on two threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <thread>

#include "mapview/frame_commands.h"
#include "platform/qt/qt_canvas.h"
#include "tests/support/qt_app.h"

namespace velka {
namespace {

class FrameCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::QtApp();
        CBrushDesc green;
        green.crColor = RGB(0, 160, 0);
        CBrushDesc hatched;
        hatched.nKind = bkHatch;
        hatched.nHatch = HS_CROSS;
        hatched.crColor = RGB(0, 0, 200);
        const POINT field[] = {{10, 10}, {190, 20}, {180, 190}, {20, 170}};
        m_list.AddFill(green, field, 4);
        const POINT marsh[] = {{60, 60}, {140, 60}, {140, 140}, {60, 140}};
        m_list.AddFill(hatched, marsh, 4);
        // A cased road across the band edge, a hairline and an arrow.
        const POINT road[] = {{0, 30}, {100, 95}, {200, 170}};
        m_list.AddLine({PS_SOLID, 7, RGB(90, 90, 90)}, true, road, 3);
        m_list.AddLine({PS_SOLID, 4, RGB(255, 255, 255)}, true, road, 3);
        const POINT path[] = {{30, 190}, {170, 5}};
        m_list.AddLine({PS_SOLID, 1, RGB(200, 0, 0)}, false, path, 2);
        const POINT arrow[] = {{100, 90}, {92, 102}, {108, 102}};
        CBrushDesc dark;
        dark.crColor = RGB(20, 20, 20);
        m_list.AddShape({PS_SOLID, 1, RGB(20, 20, 20)}, dark, arrow, 3);
    }
    void Prepare(ICanvas& dc) {
        CBrushDesc back;
        back.crColor = RGB(240, 236, 230);
        dc.FillRect({0, 0, 200, 200}, back);
        dc.SetBkMode(TRANSPARENT);
    }
    CFrameCommands m_list;
};

TEST_F(FrameCommandsTest, ReplaysInOrderWithEachCommandsStyle) {
    CQtCanvas dc(200, 200);
    Prepare(dc);
    ASSERT_EQ(m_list.Size(), 6u);
    EXPECT_TRUE(m_list.Replay(dc, true, nullptr));
    EXPECT_EQ(dc.GetPixel(30, 150), RGB(0, 160, 0));     // the field
    EXPECT_EQ(dc.GetPixel(150, 132), RGB(255, 255, 255)); // the road's fill over its casing, over the field
    EXPECT_EQ(dc.GetPixel(100, 100), RGB(20, 20, 20));   // the arrow last
    EXPECT_EQ(dc.GetPixel(5, 195), RGB(240, 236, 230));  // nothing outside
    // The hairline is not antialiased: its pixels are pure red or untouched.
    int cRed = 0;
    for (int y = 150; y < 190; ++y)
        for (int x = 20; x < 70; ++x) {
            const COLORREF c = dc.GetPixel(x, y);
            if (c == RGB(200, 0, 0)) ++cRed;
            else EXPECT_TRUE(c == RGB(0, 160, 0) || c == RGB(240, 236, 230)) << x << "," << y;
        }
    EXPECT_GT(cRed, 10);
    // Only the commands reaching the rows asked for are drawn: the field
    // (rows 10..190) is, the arrow (rows 90..102) is not.
    CQtCanvas rows(200, 200);
    Prepare(rows);
    EXPECT_TRUE(m_list.Replay(rows, true, nullptr, 150, 200));
    EXPECT_EQ(rows.GetPixel(30, 150), RGB(0, 160, 0));
    EXPECT_EQ(rows.GetPixel(100, 95), RGB(255, 255, 255)); // the road, no arrow over it
    // A stop request ends the replay early.
    m_list.Clear();
    EXPECT_TRUE(m_list.Empty());
    const POINT line[] = {{0, 0}, {10, 10}};
    for (int i = 0; i < 200; ++i) m_list.AddLine({PS_SOLID, 1, 0}, false, line, 2);
    int cAsked = 0;
    EXPECT_FALSE(m_list.Replay(dc, true, [&] { return ++cAsked == 2; }));
    EXPECT_EQ(cAsked, 2);
}

TEST_F(FrameCommandsTest, TwoBandsOnTwoThreadsGiveTheWholePicture) {
    CQtCanvas whole(200, 200);
    Prepare(whole);
    ASSERT_TRUE(m_list.Replay(whole, true, nullptr));
    CQtCanvas banded(200, 200);
    Prepare(banded);
    const int yMid = 96;
    std::unique_ptr<ICanvas> pLower = banded.CreateBand(yMid, 200);
    ASSERT_NE(pLower, nullptr);
    EXPECT_EQ(pLower->Height(), 200 - yMid);
    pLower->SetBkMode(TRANSPARENT);
    std::thread lower([&] { m_list.Replay(*pLower, true, nullptr, yMid); });
    banded.SetClipRect({0, 0, 200, yMid});
    ASSERT_TRUE(m_list.Replay(banded, true, nullptr, INT_MIN, yMid));
    lower.join();
    pLower.reset();
    // Antialiased edges may round a step apart, and a hairline that enters
    // the lower band from above may pick the other pixel at a tie; nothing
    // else differs, and no row at the band edge is left undrawn.
    int cDiffer = 0, cFar = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) {
            const COLORREF a = whole.GetPixel(x, y), b = banded.GetPixel(x, y);
            const int d = std::max({std::abs(int(GetRValue(a)) - int(GetRValue(b))),
                                    std::abs(int(GetGValue(a)) - int(GetGValue(b))),
                                    std::abs(int(GetBValue(a)) - int(GetBValue(b)))});
            if (d) ++cDiffer;
            if (d > 8) ++cFar;
        }
    EXPECT_LT(cDiffer, 100);
    EXPECT_LE(cFar, 4);
    // A band of a band, or an empty band, is refused.
    EXPECT_EQ(banded.CreateBand(150, 150), nullptr);
}

} // namespace
} // namespace velka
