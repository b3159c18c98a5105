#include <gtest/gtest.h>

#include "shell/resources.h"
#include "shell/string_ids.h"
#include "shell/string_table.h"

namespace velka {
namespace {

TEST(BuiltinStrings, ParsesAndCarriesTheVersionAndReservedTexts) {
    const CStringTable& table = BuiltinStrings();
    ASSERT_GT(table.Size(), 600u); // a parse failure leaves the table empty
    ASSERT_NE(table.Find(100), nullptr);
    EXPECT_EQ(*table.Find(100), c_szVersion);
    ASSERT_NE(table.Find(2000), nullptr);
    EXPECT_EQ(*table.Find(2000), u"Не удается создать файл\n'%s'.\n(%s)");
    ASSERT_NE(table.Find(IDS_MENU_ZOOM_IN), nullptr);
    EXPECT_EQ(*table.Find(IDS_MENU_ZOOM_IN), u"Увеличить");
    ASSERT_NE(table.Find(2500 + 220), nullptr); // the last waypoint symbol
    EXPECT_EQ(*table.Find(IDS_GAUGE_GROUP_SYSTEM), u"Система");
}

} // namespace
} // namespace velka
