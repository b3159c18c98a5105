#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "shell/settings.h"

#include "mapview/styles.h"
#include "platform/text.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

const std::string c_strHead = "ffffff\npolygons\n";

bool Parse(const std::string& s, CSkin& skin, int nFactor = 1) {
    return ParseSkin(s.data(), s.size(), skin, nFactor);
}
std::string FormatHex(int n) {
    char sz[16];
    std::snprintf(sz, sizeof sz, "%x", n);
    return sz;
}

TEST(SkinParser, ColoursByNameAndByHex) {
    CSkin skin;
    ASSERT_TRUE(Parse("ff8000 rest of the line\npolygons\n01 00 0 dkgreen 102030\npolylines\n", skin));
    EXPECT_EQ(skin.crBackground, 0x0080FFu);
    ASSERT_EQ(skin.polygons.size(), 1u);
    EXPECT_EQ(skin.polygons[0].crFill, RGB(0, 128, 0));
    EXPECT_EQ(skin.polygons[0].label.crColor, RGB(0x10, 0x20, 0x30));
    // Words match by prefix: "blackish" as the last field reads as black.
    ASSERT_TRUE(Parse(c_strHead + "01 00 0 white blackish\npolylines\n", skin));
    EXPECT_EQ(skin.polygons[0].label.crColor, RGB(0, 0, 0));
    // ...but not before another field.
    EXPECT_FALSE(Parse(c_strHead + "01 00 0 blackish white\npolylines\n", skin));
    EXPECT_FALSE(Parse(c_strHead + "01 00 0 fff white\npolylines\n", skin));
    EXPECT_FALSE(Parse(c_strHead + "01 00 0 gg0000 white\npolylines\n", skin));
}

TEST(SkinParser, FillKinds) {
    CSkin skin;
    ASSERT_TRUE(Parse(c_strHead + "01 00 0 red red\n02 00 -2 red red\n03 05 175 blue red\npolylines\n", skin));
    EXPECT_EQ(skin.polygons[0].nFill, c_nFillSolid);
    EXPECT_EQ(skin.polygons[0].brush.nKind, bkSolid);
    EXPECT_EQ(skin.polygons[1].nFill, c_nFillNone);
    EXPECT_EQ(skin.polygons[1].brush.nKind, bkNull);
    EXPECT_EQ(skin.polygons[2].nFill, 175);
    EXPECT_EQ(skin.polygons[2].brush.nKind, bkPattern);
    EXPECT_EQ(skin.polygons[2].brush.crColor, RGB(0, 0, 255)); // recoloured
    EXPECT_EQ(skin.polygons[2].wLast, 0x05);
    EXPECT_FALSE(Parse(c_strHead + "01 00 -1 red red\npolylines\n", skin));
    EXPECT_FALSE(Parse(c_strHead + "01 00 -175 red red\npolylines\n", skin));
}

TEST(SkinParser, PolylineLines) {
    CSkin skin;
    ASSERT_TRUE(Parse(c_strHead + "polylines\n# comment\n01 00 solid 4 8 dkred solid 2 6 ff0000 medium blue true\n"
                                  "16 00 dot 1 2 black none 0 0 black small black false\n",
                      skin));
    ASSERT_EQ(skin.polylines.size(), 2u);
    const CPolylineStyle& a = skin.polylines[0];
    EXPECT_TRUE(a.fPen1 && a.fPen2);
    EXPECT_EQ(a.pen1, (CPenDesc{PS_SOLID, 4, RGB(128, 0, 0)}));
    EXPECT_EQ(a.pen2.nWidth, 2);
    EXPECT_TRUE(a.fMediumFont);
    EXPECT_TRUE(a.fNearLine);
    EXPECT_EQ(a.label.crColor, RGB(0, 0, 255));
    EXPECT_FALSE(skin.polylines[1].fPen2);
    EXPECT_EQ(skin.polylines[1].pen1.nStyle, PS_DOT);
    // The width for other screen factors.
    ASSERT_TRUE(Parse(c_strHead + "polylines\n01 00 solid 4 8 red none 0 0 red small red true\n", skin, 2));
    EXPECT_EQ(skin.polylines[0].pen1.nWidth, 8);
    EXPECT_FALSE(Parse(c_strHead + "polylines\n01 00 thick 4 8 red none 0 0 red small red true\n", skin));
    EXPECT_FALSE(Parse(c_strHead + "polylines\n01 00 solid 4 red none 0 0 red small red true\n", skin));
    EXPECT_FALSE(Parse(c_strHead + "polylines\n01 00 solid 4 8 red none 0 0 red large red true\n", skin));
}

TEST(SkinParser, StructureErrors) {
    CSkin skin;
    EXPECT_FALSE(Parse("", skin));
    EXPECT_FALSE(Parse("ffffff\n01 00 0 red red\n", skin));      // no "polygons"
    EXPECT_FALSE(Parse("ffffff\npolygons\n01 00 0 red red\n", skin)); // no "polylines"
    EXPECT_FALSE(Parse("ffffff\npolygons\n10000 00 0 red red\npolylines\n", skin));
    std::string s(c_strHead);
    for (int i = 0; i < 256; ++i) s += FormatHex(i) + " 00 0 red red\n";
    // 256 polygon entries directly followed by "polylines" are accepted...
    EXPECT_TRUE(Parse(s + "polylines\n", skin));
    EXPECT_EQ(skin.polygons.size(), 256u);
    // ...one more is not.
    EXPECT_FALSE(Parse(s + "100 00 0 red red\npolylines\n", skin));
    std::string l = c_strHead + "polylines\n";
    for (int i = 0; i < 255; ++i) l += FormatHex(i) + " 00 solid 1 1 red none 0 0 red small red true\n";
    EXPECT_TRUE(Parse(l, skin));
    EXPECT_FALSE(Parse(l + "ff 00 solid 1 1 red none 0 0 red small red true\n", skin));
}

TEST(SkinParser, UnsortedEntriesAreSortedForTheSearch) {
    CSkin skin;
    ASSERT_TRUE(Parse(c_strHead + "3c 00 0 blue red\n01 00 0 red red\npolylines\n", skin));
    EXPECT_EQ(skin.polygons[0].wFirst, 0x01);
    EXPECT_EQ(FindStyleEntry(skin.polygons, 0x3C), 1);
}

TEST(SkinParser, ShippedSkinsParse) {
    for (const char* sz : {"data/runtime/day.skin", "data/runtime/night.skin"}) {
        const std::string s = test::ReadFile(test::SourcePath(sz));
        CSkin skin;
        ASSERT_TRUE(Parse(s, skin)) << sz;
        EXPECT_GT(skin.polygons.size(), 20u);
        EXPECT_GT(skin.polylines.size(), 15u);
        // The roads of the map compiler all have a pen.
        for (WORD w : {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x0C, 0x14, 0x1F})
            EXPECT_GE(FindStyleEntry(skin.polylines, w), 0) << sz << " " << w;
        // The IMG maps' extended road lines are cased roads like their class;
        // other extended lines keep the plain catch-all line.
        auto style = [&](WORD w) -> const CPolylineStyle& {
            const int i = FindStyleEntry(skin.polylines, w);
            EXPECT_GE(i, 0) << sz << " " << w;
            return skin.polylines[static_cast<std::size_t>(std::max(i, 0))];
        };
        for (WORD w : {0x8101, 0x8102, 0x8103, 0x8104}) {
            EXPECT_TRUE(style(w).fPen1 && style(w).fPen2) << sz << " " << w;
            EXPECT_EQ(style(w).pen2.crColor, style(static_cast<WORD>(w - 0x80FF)).pen2.crColor) << sz << " " << w;
        }
        for (WORD w : {0x8000, 0x8100, 0x8105, 0x9000, 0xFFFF}) {
            EXPECT_TRUE(style(w).fPen1 && !style(w).fPen2) << sz << " " << w;
            EXPECT_EQ(style(w).pen1.nWidth, 1) << sz << " " << w;
        }
    }
}

TEST(StyleLookup, BinarySearchOverRanges) {
    CMapStyles s;
    // 0x15 lies in 0x14-0x16; 0x17 has its own entry.
    const auto& v = s.BuiltInPolygons();
    const int i15 = FindStyleEntry(v, 0x15);
    ASSERT_GE(i15, 0);
    EXPECT_EQ(v[static_cast<std::size_t>(i15)].wFirst, 0x14);
    EXPECT_EQ(s.PolygonBrush(0x15).crColor, RGB(183, 233, 153));
    EXPECT_EQ(s.PolygonBrush(0x17).crColor, RGB(144, 192, 0));
    // Unknown types fall back to pattern 106.
    EXPECT_EQ(s.PolygonBrush(0x2000).nKind, bkPattern);
    EXPECT_EQ(s.PolygonBrush(0x2000), PatternBrush(106, 0xFFFFFFFF));
    // The last entry's range matches too.
    EXPECT_EQ(FindStyleEntry(v, 0x97), static_cast<int>(v.size()) - 1);
    EXPECT_EQ(s.PolylinePen1(0x2A), nullptr); // label only
    ASSERT_NE(s.PolylinePen2(0x01), nullptr);
    EXPECT_EQ(s.PolylinePen2(0x01)->crColor, RGB(196, 100, 66));
    // Unknown polylines: dotted red, no second pen.
    ASSERT_NE(s.PolylinePen1(0x70), nullptr);
    EXPECT_EQ(s.PolylinePen1(0x70)->nStyle, PS_DOT);
    EXPECT_EQ(s.PolylinePen2(0x70), nullptr);
    std::vector<CPolygonStyle> none;
    EXPECT_EQ(FindStyleEntry(none, 1), -1);
}

TEST(StyleLookup, PointIcons) {
    CMapStyles s;
    EXPECT_EQ(s.PointIcon(0x2F01), UINT{piFuel});
    EXPECT_EQ(s.PointIcon(0x2A07), UINT{piFood});   // general entry of type 0x2A
    EXPECT_EQ(s.PointIcon(0x1605), UINT{piBeacon}); // by the low byte
    EXPECT_EQ(s.PointIcon(0x6200), UINT{piNone});
    EXPECT_EQ(s.PointIcon(0x7700), UINT{piDefault});
}

TEST(NightMode, DayBetweenSunriseAndSunset) {
    const double dDay = 45000.0;
    EXPECT_EQ(CMapStyles::IsDayAt(dDay + 12.0 / 24, 6.0f, 18.0f), 1);
    EXPECT_EQ(CMapStyles::IsDayAt(dDay + 20.0 / 24, 6.0f, 18.0f), 0);
    EXPECT_EQ(CMapStyles::IsDayAt(dDay + 6.0 / 24, 6.0f, 18.0f), 1);
    // Sunset before sunrise in UT (far east or west): night between them.
    EXPECT_EQ(CMapStyles::IsDayAt(dDay + 12.0 / 24, 20.0f, 8.0f), 0);
    EXPECT_EQ(CMapStyles::IsDayAt(dDay + 22.0 / 24, 20.0f, 8.0f), 1);
    EXPECT_EQ(CMapStyles::IsDayAt(dDay, -100.0f, 8.0f), -1);
}

TEST(NightMode, FixedModesAndTheFifteenSecondRule) {
    test::ScopedSettings settings;
    test::TempDir dir;
    CMapStyles s;
    WriteSettingInt(u"NightMode", 0);
    s.ApplyNightMode();
    EXPECT_EQ(ReadSettingInt(u"NightMode", -1), 3); // 0 becomes automatic
    EXPECT_EQ(s.Skin(), nullptr);                   // no fix: nothing changes
}

TEST(TypeNames, FromTheStringTable) {
    EXPECT_EQ(ToUtf8(TypeName(rkPolygon, 1)), "Городcкая застройка крупного города");
    EXPECT_EQ(ToUtf8(TypeName(rkPolyline, 1)), "Автомагистраль");
    EXPECT_EQ(ToUtf8(TypeName(rkPoint, 0x0100)), "Мегаполис, свыше 10 млн.");
    EXPECT_EQ(ToUtf8(TypeName(rkPolygon, 0x7FF0)), "Неизвестный тип");
}

} // namespace
} // namespace velka

namespace velka {
namespace {

TEST(SkinParser, DamagedSkinsNeverReadOutsideTheirBytes) {
    const std::string base = test::ReadFile(test::SourcePath("data/runtime/day.skin"));
    std::uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    int cAccepted = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string s = base.substr(0, next() % (base.size() + 1));
        for (int k = next() % 8; k > 0 && !s.empty(); --k) s[next() % s.size()] = static_cast<char>(next() >> 13);
        // A copy exactly as long as the text, so reading past it is caught by the tools.
        std::vector<char> bytes(s.begin(), s.end());
        CSkin skin;
        if (ParseSkin(bytes.data(), bytes.size(), skin)) ++cAccepted;
        EXPECT_LE(skin.polygons.size(), 256u);
        EXPECT_LE(skin.polylines.size(), 255u);
    }
    EXPECT_GT(cAccepted, 0);
}

} // namespace
} // namespace velka
