// The languages offered by the options dialog: the built-in texts, then
// every usable module file in LANGID order, each named in its own words;
// and storing a choice only when it changes what the next start shows.
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/text.h"
#include "shell/language_choice.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

void WriteModule(const std::string& strPath, const std::string& strName) {
    std::ofstream(strPath) << "100\t1.1.28.15\n200342\t" << strName << "\n";
}

TEST(LanguageChoice, ModulesBesideTheProgramAndInTheDataFolder) {
    test::TempDir a, b;
    WriteModule(a.File("0409.rll"), "English");
    WriteModule(a.File("0407.rll"), "Deutsch");
    WriteModule(b.File("0407.rll"), "Deutsch (installed)"); // the first folder wins
    WriteModule(b.File("040c.rll"), "Français");
    std::ofstream(b.File("0410.rll")) << "100\t1.1.28.15\nnot a table line\n"; // damaged
    WriteModule(b.File("0416.txt"), "not a module name");
    WriteModule(b.File("040C.rll"), "upper case is not looked for");
    WriteModule(b.File("0419.rll"), "the built-in language needs no module");
    std::ofstream(b.File("0415.rll")) << "100\t1.1.28.15\n"; // no name of its own

    std::vector<LanguageChoice> list = ListLanguages({a.Path().string(), b.Path().string()});
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[0].lang, c_langBuiltin);
    EXPECT_EQ(list[0].strName, u"Русский");
    EXPECT_TRUE(list[0].strPath.empty());
    EXPECT_EQ(list[1].lang, 0x0407);
    EXPECT_EQ(list[1].strName, u"Deutsch");
    EXPECT_EQ(list[1].strPath, a.File("0407.rll"));
    EXPECT_EQ(list[2].lang, 0x0409);
    EXPECT_EQ(list[3].lang, 0x040c);
    EXPECT_EQ(ToUtf8(list[3].strName), "Français");
    EXPECT_EQ(list[4].lang, 0x0415);
    EXPECT_EQ(list[4].strName, u"0415.rll");

    // A missing folder adds nothing.
    EXPECT_EQ(ListLanguages({a.File("none")}).size(), 1u);
}

TEST(LanguageChoice, StoredOnlyWhenTheNextStartChanges) {
    test::ScopedSettings settings;
    test::TempDir modules;
    WriteModule(modules.File("0409.rll"), "English");
    SetUserDefaultLangIdOverride(c_langBuiltin);
    SetLanguageModuleFolder(modules.Path().string());
    ResetResourceSelection();
    LANGID pending = EffectiveLanguage();
    EXPECT_EQ(pending, c_langBuiltin);
    EXPECT_FALSE(ApplyLanguageChoice(c_langBuiltin, &pending));
    EXPECT_EQ(ReadSettingInt(u"Language", 0), 0) << "nothing stored";
    EXPECT_TRUE(ApplyLanguageChoice(c_langEnglish, &pending));
    EXPECT_EQ(ReadSettingInt(u"Language", 0), c_langEnglish);
    EXPECT_FALSE(ApplyLanguageChoice(c_langEnglish, &pending)) << "a second apply asks for no second restart";
    EXPECT_TRUE(ApplyLanguageChoice(c_langBuiltin, &pending)) << "back to the language shown now";
    EXPECT_EQ(ReadSettingInt(u"Language", 0), c_langBuiltin);

    // After a restart in English the module is the effective language.
    WriteSettingInt(u"Language", c_langEnglish);
    ResetResourceSelection();
    EXPECT_EQ(EffectiveLanguage(), c_langEnglish);
    // A language without a module shows English, the fallback.
    WriteSettingInt(u"Language", 0x0407);
    ResetResourceSelection();
    EXPECT_EQ(EffectiveLanguage(), c_langEnglish);

    SetLanguageModuleFolder("");
    SetUserDefaultLangIdOverride(0);
    ResetResourceSelection();
}

} // namespace
} // namespace velka
