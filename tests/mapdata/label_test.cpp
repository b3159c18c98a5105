// Raw labels to display texts: control codes, shields, numeric heights
// and depths in the display's unit.
#include <gtest/gtest.h>

#include "geometry/map_types.h"
#include "mapdata/label_interpret.h"

namespace velka {
namespace {

struct UnitScope {
    explicit UnitScope(bool fMetres) { SetLabelHeightUnitMetres(fMetres); }
    ~UnitScope() { SetLabelHeightUnitMetres(true); }
};

std::u16string Show(int nKind, WORD wType, bool fMapMetres, bool fDetailed, std::u16string raw,
                    int* pnShield = nullptr) {
    char16_t out[c_cDisplayLabelMax];
    const int n = LabelInterpret(nKind, wType, fMapMetres, fDetailed, raw.data(), raw.size(), out,
                                 pnShield);
    EXPECT_EQ(std::u16string(out).size(), static_cast<std::size_t>(n));
    return out;
}

TEST(LabelInterpret, NumericHeightsAndDepthsFollowTheDisplayUnit) {
    {
        UnitScope metres(true);
        EXPECT_EQ(Show(rkPolyline, 0x21, false, true, u"100"), u"30"); // 100 ft
        EXPECT_EQ(Show(rkPoint, 0x6300, false, true, u"1000"), u"305");
        EXPECT_EQ(Show(rkPolyline, 0x21, false, true, u"hill"), u""); // not a number
        EXPECT_EQ(Show(rkPolyline, 0x21, true, true, u"100"), u"100"); // units agree
        EXPECT_EQ(Show(rkPolyline, 0x06, false, true, u"100"), u"100"); // not a contour
    }
    UnitScope feet(false);
    EXPECT_EQ(Show(rkPoint, 0x6200, true, true, u"12"), u"39.4"); // depth, one decimal
    EXPECT_EQ(Show(rkPolyline, 0x24, true, true, u"2"), u"6.6");
    // Summits: name, a space, the height converted as a whole number.
    EXPECT_EQ(Show(rkPoint, 0x6616, true, true, u"Peak\x1F" u"1000"), u"Peak 3281");
}

TEST(LabelInterpret, ControlCodesOfRoadNames) {
    const std::u16string abbrev = u"A\x1E" u"B";
    EXPECT_EQ(Show(rkPolyline, 6, true, true, abbrev), u"A B");
    EXPECT_EQ(Show(rkPolyline, 6, true, false, abbrev), u"B");
    const std::u16string cut = u"A\x1C" u"B";
    EXPECT_EQ(Show(rkPolyline, 6, true, true, cut), u"AB");
    EXPECT_EQ(Show(rkPolyline, 6, true, false, cut), u"A");
    EXPECT_EQ(Show(rkPolyline, 6, true, false, u"Long\x1B" u"Short"), u"Short");
    EXPECT_EQ(Show(rkPolyline, 6, true, true, u"Long\x1B" u"Short"), u"LongShort");
    EXPECT_EQ(Show(rkPolyline, 6, true, true, u"A\x1F" u"B"), u"A B");
    EXPECT_EQ(Show(rkPolyline, 6, true, false, u"A\x1F" u"B"), u"A");
    // Elsewhere the line codes are ignored.
    EXPECT_EQ(Show(rkPolygon, 0x50, true, false, abbrev), u"AB");
    EXPECT_EQ(Show(rkPolygon, 0x50, true, false, u"A\x1F" u"B"), u"AB");
    EXPECT_EQ(Show(rkPoint, 0x2B00, true, true, u"A\x1F" u"B"), u"A"); // other points end
    EXPECT_EQ(Show(3, 0, true, true, u"\x1F" u" 2020"), u"\u00A9 2020");
}

TEST(LabelInterpret, ShieldsInvalidCodesAndLength) {
    int nShield = 0;
    EXPECT_EQ(Show(rkPolyline, 1, true, true, u"\x03" u"E45", &nShield), u"E45");
    EXPECT_EQ(nShield, 3);
    EXPECT_EQ(Show(rkPolyline, 1, true, true, u"A\x07\x1A\x1D" u"B", &nShield), u"AB");
    EXPECT_EQ(nShield, 0);
    EXPECT_EQ(Show(rkPolyline, 1, true, true, std::u16string(u"AB\0CD", 5)), u"AB");
    EXPECT_EQ(Show(rkPoint, 0x2B00, true, true, std::u16string(100, u'x')).size(), 63u);
}

} // namespace
} // namespace velka
