#include "platform/ui_host.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "shell/string_ids.h"
#include "shell/string_table.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace velka {
namespace {

constexpr UINT c_cFixQualityNames = 12;
constexpr UINT c_cGaugeGroupTitles = 12;

TEST(BuiltinStrings, ParsesAndCarriesTheVersionAndReservedTexts) {
    const CStringTable& table = BuiltinStrings();
    ASSERT_GT(table.Size(), 600u); // a parse failure leaves the table empty
    ASSERT_NE(table.Find(100), nullptr);
    EXPECT_EQ(*table.Find(100), c_szVersion);
    ASSERT_NE(table.Find(2000), nullptr);
    EXPECT_EQ(*table.Find(2000), u"Не удается создать файл\n'%s'.\n(%s)");
    ASSERT_NE(table.Find(IDS_MENU_ZOOM_IN), nullptr);
    EXPECT_EQ(*table.Find(IDS_MENU_ZOOM_IN), u"Увеличить");
    for (UINT t = 0; t <= 220; ++t)
        EXPECT_NE(table.Find(2500 + t), nullptr) << t;
    for (UINT q = 0; q < c_cFixQualityNames; ++q)
        EXPECT_NE(table.Find(IDS_FIX_QUALITY_INVALID + q), nullptr);
    for (UINT g = 0; g < c_cGaugeGroupTitles; ++g)
        EXPECT_NE(table.Find(IDS_GAUGE_GROUP_TRIP1 + g), nullptr);
    EXPECT_EQ(*table.Find(IDS_GAUGE_GROUP_SYSTEM), u"Система");
}

TEST(EnglishModule, TranslatesEveryBuiltinTextWithTheSameConversions) {
    std::string strError;
    std::unique_ptr<CResourceModule> english =
        CResourceModule::LoadFile(test::SourcePath("data/runtime/0409.rll").string(), &strError);
    ASSERT_TRUE(english) << strError;
    EXPECT_EQ(english->FileName(), "0409.rll");
    for (const std::string& strProblem : CheckLanguageModule(*english)) ADD_FAILURE() << strProblem;
    EXPECT_EQ(english->Strings().Size(), BuiltinStrings().Size());
    EXPECT_EQ(*english->FindString(100), c_szVersion);
}

// Every name the code uses for a text stands for a text of both languages,
// and no two names share one by accident of a typo in the table.
TEST(NamedStrings, EveryNamedTextExistsInBothLanguages) {
    std::string strError;
    std::unique_ptr<CResourceModule> english =
        CResourceModule::LoadFile(test::SourcePath("data/runtime/0409.rll").string(), &strError);
    ASSERT_TRUE(english) << strError;
    ASSERT_GT(std::size(c_aNamedStrings), 200u);
    std::vector<UINT> ids;
    for (const CNamedString& named : c_aNamedStrings) {
        const std::u16string* pRussian = BuiltinStrings().Find(named.uId);
        const std::u16string* pEnglish = english->FindString(named.uId);
        EXPECT_TRUE(pRussian && !pRussian->empty()) << named.pszName << " has no built-in text";
        EXPECT_TRUE(pEnglish && !pEnglish->empty()) << named.pszName << " has no English text";
        ids.push_back(named.uId);
    }
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end()) << "two names for one text";
}

TEST(EnglishModule, AnEnglishDesktopSpeaksEnglish) {
    test::ScopedSettings settings;
    ResetResourceSelection();
    SetLanguageModuleFolder(test::SourcePath("data/runtime").string());
    SetUserDefaultLangIdOverride(LangIdFromLocaleName("en_US.UTF-8"));
    HeadlessUiHost().ClearBoxes();
    EXPECT_EQ(LoadStr(2200), u"Map");
    EXPECT_EQ(LoadStr(IDS_MENU_ZOOM_IN), u"Zoom In");
    EXPECT_EQ(FormatMessageId(2119, u"NMEA-0183", 3), u"NMEA-0183 on COM3");
    EXPECT_TRUE(HeadlessUiHost().Boxes().empty()); // the version matches
    SetUserDefaultLangIdOverride(c_langBuiltin);
    SetLanguageModuleFolder("");
    ResetResourceSelection();
}

TEST(EnglishModule, TheCheckNamesEveryKindOfFault) {
    test::TempDir dir;
    std::ofstream(dir.File("0407.rll")) << "100\t1.0\n2119\tCOM%d: %s\n2000\t%s %s\n2001\t100%% %s %s\n7\tx\n";
    std::unique_ptr<CResourceModule> module = CResourceModule::LoadFile(dir.File("0407.rll"));
    ASSERT_TRUE(module);
    std::vector<std::string> problems = CheckLanguageModule(*module);
    auto has = [&](const std::string& s) { return std::find(problems.begin(), problems.end(), s) != problems.end(); };
    EXPECT_TRUE(has("100: the version text must be \"1.1.28.15\""));
    EXPECT_TRUE(has("2119: conversions %d %s where the program has %s %d"));
    EXPECT_TRUE(has("2002: missing"));
    EXPECT_TRUE(has("7: not a text of the program"));
    EXPECT_FALSE(has("2000: missing"));
    EXPECT_EQ(std::count_if(problems.begin(), problems.end(), [](const std::string& s) { return s.rfind("2001", 0) == 0; }), 0);
    EXPECT_EQ(PrintfConversions(u"%-5.2lf%%x%c%"), (std::vector<std::u16string>{u"%-5.2lf", u"%c", u"%"}));
}

TEST(StringTable, RejectsDamagedTextsWhole) {
    CStringTable table;
    std::string strError;
    EXPECT_TRUE(table.Parse("# c\n\n1\ta\\tb\\\\c\\n\r\n2\t\n"));
    ASSERT_EQ(table.Size(), 2u);
    EXPECT_EQ(*table.Find(1), u"a\tb\\c\n");
    for (const char* sz :
         {"1\tok\n2\tbad\\x\n", "x\ta\n", "\ta\n", "12345678901\ta\n", "4294967296\ta\n",
          "1\ta\n1\tb\n", "1\t\xED\xA0\x80\n", "1\t\xC0\xAF\n", "1\tend\\", "@gif 1 a.gif\n"}) {
        EXPECT_FALSE(table.Parse(sz, &strError)) << sz;
        EXPECT_EQ(table.Size(), 0u);
    }
    std::vector<ResourceDeclaration> decls;
    EXPECT_TRUE(table.Parse("@menu 100 menus/main.txt\n@gif 161 strip.gif\n", nullptr, &decls));
    ASSERT_EQ(decls.size(), 2u);
    EXPECT_EQ(decls[0].uType, c_rtMenu);
    EXPECT_EQ(decls[0].strFile, "menus/main.txt");
    for (const char* sz : {"@menu 100 /etc/passwd\n", "@menu 100 a/../../b\n", "@menu 0 a\n",
                           "@png 1 a\n", "@menu 1 a\n@menu 1 b\n", "@menu 1\n", "@menu x a\n"})
        EXPECT_FALSE(table.Parse(sz, nullptr, &decls)) << sz;
}

} // namespace
} // namespace velka
