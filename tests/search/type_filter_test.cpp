// The type-filter table: its shape, describing rows and expanding them.
#include <map>

#include <gtest/gtest.h>

#include "search/type_filter_table.h"

namespace velka {
namespace {

TEST(TypeFilterTable, HasItsGroupsCategoriesAndSingleTypesInTreeOrder) {
    std::map<int, int> byLevel, singlesByKind;
    for (std::size_t i = 0; i < c_cTypeFilters; ++i) {
        const CTypeFilterEntry& e = g_aTypeFilters[i];
        ++byLevel[e.wLevel];
        if (e.wLevel == 2) {
            ++singlesByKind[static_cast<int>(e.dwKind)];
            EXPECT_EQ(e.wTitle, 0) << i;
            EXPECT_NE(e.wType, c_wAnyType) << i;
            ASSERT_GT(i, 0u);
            // A single type follows its category or a sibling, and carries
            // the category's key.
            const CTypeFilterEntry& prev = g_aTypeFilters[i - 1];
            EXPECT_GE(prev.wLevel, 1) << i;
            EXPECT_EQ(prev.wSimplifiedType, e.wSimplifiedType) << i;
        } else {
            EXPECT_NE(e.wTitle, 0) << i;
            EXPECT_EQ(e.wType, c_wAnyType) << i;
        }
        if (e.wLevel == 1) {
            EXPECT_LE(g_aTypeFilters[i - 1].wLevel, 2) << i;
        }
    }
    EXPECT_EQ(byLevel[0], 8);
    EXPECT_EQ(byLevel[1], 26);
    EXPECT_EQ(byLevel[2], 387);
    EXPECT_EQ(singlesByKind[0], 288);
    EXPECT_EQ(singlesByKind[1], 25);
    EXPECT_EQ(singlesByKind[2], 74);
    EXPECT_EQ(g_aTypeFilters[147].wSimplifiedType, 0x0001);
    EXPECT_EQ(g_aTypeFilters[147].dwKind, 1u);
    EXPECT_EQ(g_aTypeFilters[420].wTitle, 3522);
    EXPECT_EQ(g_aTypeFilters[420].wSimplifiedType, c_wOtherObjectsKey);
}

TEST(TypeFilterTable, ExpandsGroupsCategoriesAndSingleTypes) {
    EXPECT_TRUE(ExpandTypeFilter(0).fAll);
    EXPECT_TRUE(ExpandTypeFilter(125).fAll);
    const CTypeSelection hotels = ExpandTypeFilter(24);
    EXPECT_FALSE(hotels.fAll);
    ASSERT_EQ(hotels.types.size(), 5u);
    for (WORD t = 0x2B00; t <= 0x2B04; ++t) EXPECT_TRUE(hotels.Contains(rkPoint, t)) << t;
    EXPECT_FALSE(hotels.Contains(rkPolygon, 0x2B00));
    // "Отдых" stands as a group (331) and as the category with key 0x4A00.
    EXPECT_TRUE(ExpandTypeFilter(331).fAll);
    const CTypeSelection rest = ExpandTypeFilter(334);
    EXPECT_EQ(rest.types.size(), 8u);
    EXPECT_TRUE(rest.Contains(rkPoint, 0x4A00));
    // Streets mix kinds: lines and two area types.
    const CTypeSelection streets = ExpandTypeFilter(147);
    EXPECT_EQ(streets.types.size(), 21u);
    EXPECT_TRUE(streets.Contains(rkPolyline, 0x0006));
    EXPECT_TRUE(streets.Contains(rkPolygon, 0x006A));
    EXPECT_FALSE(streets.Contains(rkPolygon, 0x0006));
    // A single type row.
    const CTypeSelection one = ExpandTypeFilter(25);
    ASSERT_EQ(one.types.size(), 1u);
    EXPECT_EQ(one.types[0], (std::pair<int, WORD>{rkPoint, 0x2B00}));
    // "Прочие объекты" names objects in no category: it expands to none.
    EXPECT_TRUE(ExpandTypeFilter(420).types.empty());
    EXPECT_FALSE(ExpandTypeFilter(420).fAll);
}

TEST(TypeFilterTable, DescribesRowsByStringOrByTheMapsTypeName) {
    auto names = [](int nKind, WORD wType) -> std::u16string {
        return nKind == rkPoint && wType == 0x2B00 ? u"Hotel" : u"";
    };
    const CTypeFilterDescription hotels = DescribeTypeFilter(24, names);
    EXPECT_EQ(hotels.strTitle, u"Гостиницы, кемпинги");
    EXPECT_EQ(hotels.wSimplifiedType, 0x2B00);
    EXPECT_EQ(hotels.wType, c_wAnyType);
    EXPECT_EQ(DescribeTypeFilter(25, names).strTitle, u"Hotel");
    EXPECT_EQ(DescribeTypeFilter(26, names).strTitle, u""); // unknown to the map
    EXPECT_EQ(DescribeTypeFilter(0, names).strTitle, u"Все типы");
}

TEST(TypeFilterTable, CategoryKeysOfTypes) {
    EXPECT_EQ(CategoryKeyOf(rkPoint, 0x2A0E), 0x2A00);
    EXPECT_EQ(CategoryKeyOf(rkPolyline, 0x0006), 0x0001);
    EXPECT_EQ(CategoryKeyOf(rkPolygon, 0x0006), 0x6400);
    EXPECT_EQ(CategoryKeyOf(rkPolyline, 0x0044), 0x6500); // a line and an area type in one category
    EXPECT_EQ(CategoryKeyOf(rkPolygon, 0x0044), 0x6500);
    EXPECT_EQ(CategoryKeyOf(rkPoint, 0x7777), c_wOtherObjectsKey);
    EXPECT_EQ(CategoryKeyOf(rkPoint, 0x0100), 0x0100);
}

} // namespace
} // namespace velka
