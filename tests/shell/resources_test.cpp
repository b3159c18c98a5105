#include "platform/debug.h"
#include "platform/ui_host.h"
#include "shell/message_boxes.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "shell/string_ids.h"
#include "tests/support/test_support.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace velka {
namespace {

// Every test runs on its own settings and a private module folder, with the
// selection undone before and after.
class Resources : public ::testing::Test {
protected:
    void SetUp() override {
        ResetResourceSelection();
        SetLanguageModuleFolder(m_dir.Path().string());
        HeadlessUiHost().ClearBoxes();
        SetMainCaption(u"VELKA");
    }
    void TearDown() override {
        SetLanguageModuleFolder("");
        ResetResourceSelection();
        HeadlessUiHost().ClearBoxes();
        SetMainCaption(u"VELKA");
    }
    void Module(const std::string& strName, const std::string& strText) {
        std::ofstream(m_dir.File(strName), std::ios::binary) << strText;
    }
    void English(const std::string& strExtra = "") {
        Module("0409.rll",
               "100\t1.1.28.15\n2000\tCannot create file\\n'%s'.\\n(%s)\n2111\tVELKA EN\n" +
                   strExtra);
    }

    test::ScopedSettings m_settings;
    test::TempDir m_dir;
};

TEST_F(Resources, BuiltinLanguageNeverLooksForAModule) {
    WriteSettingInt(u"Language", 1049);
    Module("0419.rll", "100\t1.1.28.15\n2000\tfrom a file\n");
    English();
    EXPECT_EQ(LoadStr(2000), u"Не удается создать файл\n'%s'.\n(%s)");
    EXPECT_TRUE(PrimaryModule().IsProgram());
    EXPECT_TRUE(FallbackModule().IsProgram());
    EXPECT_TRUE(HeadlessUiHost().Boxes().empty());
}

TEST_F(Resources, DefaultLanguageComesFromTheLocaleWhenTheSettingIsAbsent) {
    English();
    SetUserDefaultLangIdOverride(c_langEnglish);
    EXPECT_EQ(LoadStr(2000), u"Cannot create file\n'%s'.\n(%s)");
    SetUserDefaultLangIdOverride(c_langBuiltin);
}

TEST_F(Resources, MissingOwnModuleUsesEnglishForBothAndNeverTheBuiltinTexts) {
    WriteSettingInt(u"Language", 1031); // German, no 0407.rll
    English();
    EXPECT_EQ(PrimaryModule().FileName(), "0409.rll");
    EXPECT_EQ(&PrimaryModule(), &FallbackModule());
    EXPECT_EQ(LoadStr(2000), u"Cannot create file\n'%s'.\n(%s)");
    // 2001 exists only in the built-in table, which is not consulted now.
    EXPECT_EQ(LoadStr(2001), u"<??2001>");
    EXPECT_TRUE(HeadlessUiHost().Boxes().empty());
}

TEST_F(Resources, NeitherModulePresentUsesTheBuiltinTextsWithoutWarning) {
    WriteSettingInt(u"Language", 1031);
    EXPECT_EQ(LoadStr(2001), u"Не удается открыть файл\n'%s'.\n(%s)");
    EXPECT_TRUE(PrimaryModule().IsProgram());
    EXPECT_TRUE(FallbackModule().IsProgram());
    EXPECT_EQ(LoadStr(99999), u"<??99999>");
    EXPECT_TRUE(HeadlessUiHost().Boxes().empty());
}

TEST_F(Resources, OwnModuleFallsBackToEnglishThenToTheBuiltinTexts) {
    WriteSettingInt(u"Language", 1031);
    Module("0407.rll", "100\t1.1.28.15\n2001\tKann Datei nicht öffnen\n");
    English();
    EXPECT_EQ(PrimaryModule().FileName(), "0407.rll");
    EXPECT_EQ(FallbackModule().FileName(), "0409.rll");
    EXPECT_EQ(LoadStr(2001), u"Kann Datei nicht öffnen");
    EXPECT_EQ(LoadStr(2000), u"Cannot create file\n'%s'.\n(%s)");
    EXPECT_EQ(LoadStr(2002), u"<??2002>");

    // Without 0409.rll the program's own texts are the fallback.
    std::filesystem::remove(m_dir.File("0409.rll"));
    ResetResourceSelection();
    EXPECT_TRUE(FallbackModule().IsProgram());
    EXPECT_EQ(LoadStr(2000), u"Не удается создать файл\n'%s'.\n(%s)");
}

TEST_F(Resources, VersionMismatchWarnsOnceAndTheModuleIsUsedAnyway) {
    WriteSettingInt(u"Language", 1031);
    Module("0407.rll", "100\t1.0.0.0\n2001\tKann Datei nicht öffnen\n");
    English();
    EXPECT_EQ(LoadStr(2001), u"Kann Datei nicht öffnen");
    LoadStr(2000);
    std::vector<RecordedBox> boxes = HeadlessUiHost().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].strText, u"WARNING:\nLocalization module '0407.rll' has incorrect version. "
                                u"Some text strings may apper incorrectly.");
    EXPECT_EQ(boxes[0].uStyle, MB_ICONERROR);

    // A module without a version text differs too.
    ResetResourceSelection();
    HeadlessUiHost().ClearBoxes();
    Module("0407.rll", "2001\tKann Datei nicht öffnen\n");
    LoadStr(2001);
    EXPECT_EQ(HeadlessUiHost().Boxes().size(), 1u);
}

TEST_F(Resources, ConcurrentFirstLookupsSelectOnce) {
    WriteSettingInt(u"Language", 1031);
    Module("0407.rll", "100\t0.9\n2001\tKann Datei nicht öffnen\n");
    std::vector<std::thread> threads;
    std::vector<std::u16string> results(8);
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&, i] { results[static_cast<std::size_t>(i)] = LoadStr(2001); });
    for (std::thread& t : threads)
        t.join();
    for (const std::u16string& s : results)
        EXPECT_EQ(s, u"Kann Datei nicht öffnen");
    EXPECT_EQ(HeadlessUiHost().Boxes().size(), 1u);
}

TEST_F(Resources, DamagedModuleCountsAsMissing) {
    WriteSettingInt(u"Language", 1031);
    English();
    for (const char* szDamage :
         {"100\t1.1.28.15\n2001\tbad \\q escape\n", "100\t1.1.28.15\nnot a line\n",
          "100\t1.1.28.15\n2001\t\xC3\x28\n", "100\t1.1.28.15\n2001\ta\n2001\tb\n",
          "100\t1.1.28.15\n@gif 7 missing.gif\n", "100\t1.1.28.15\n@gif 7 ../x.gif\n"}) {
        Module("0407.rll", szDamage);
        ResetResourceSelection();
        EXPECT_EQ(PrimaryModule().FileName(), "0409.rll") << szDamage;
    }
    // Damaged English as well: the built-in texts.
    Module("0409.rll", "100\t1.1.28.15\n2000\t\\");
    ResetResourceSelection();
    EXPECT_TRUE(PrimaryModule().IsProgram());
    EXPECT_TRUE(HeadlessUiHost().Boxes().empty());
}

TEST_F(Resources, StringBuffersAndFormatting) {
    WriteSettingInt(u"Language", 1031);
    std::string strLong(200, 'x');
    Module("0407.rll", "100\t1.1.28.15\n5\tabcdef\n6\t%d-%s\n7\t" + strLong + "%d\n");
    char16_t sz[4] = {u'?', u'?', u'?', u'?'};
    EXPECT_EQ(LoadString(5, sz, 4), 3);
    EXPECT_EQ(std::u16string(sz), u"abc");
    EXPECT_EQ(LoadString(5, sz, 0), 0);
    EXPECT_EQ(sz[0], u'a'); // a zero-sized buffer is left alone
    EXPECT_EQ(LoadString(77, sz, 4), 3);
    EXPECT_EQ(std::u16string(sz), u"<??");

    EXPECT_EQ(FormatMessageId(6, 42, u"км"), u"42-км");
    // The format is cut to 127 characters before formatting: the %d is lost.
    EXPECT_EQ(FormatMessageId(7, 5), std::u16string(127, u'x'));
    char16_t szOut[6];
    EXPECT_EQ(FormatMessageToBuffer(szOut, 6, 6, 12345, u"m"), 5);
    EXPECT_EQ(std::u16string(szOut), u"12345");
    EXPECT_EQ(FormatMessageId(4242), u"<??4242>");

    // The allocated copy holds up to 1023 characters.
    Module("0407.rll", "100\t1.1.28.15\n8\t" + std::string(1500, 'y') + "\n");
    ResetResourceSelection();
    EXPECT_EQ(LoadStr(8).size(), 1023u);
}

TEST_F(Resources, MessageBoxesAreRecordedWithCaptionStyleAndAnswers) {
    WriteSettingInt(u"Language", 1049);
    ShowError(2001, u"/tmp/a.zem", u"No such file or directory");
    ShowWarning(2118);
    ShowInformation(2190, 2, 7);
    HeadlessUiHost().ScriptAnswers({IDYES});
    EXPECT_EQ(AskYesNo(2139, u"001"), IDYES);
    EXPECT_EQ(AskYesNo(2164), IDNO); // the scripted default
    ShowErrorText(u"%s", std::u16string(700, u'z').c_str());
    std::vector<RecordedBox> boxes = HeadlessUiHost().Boxes();
    ASSERT_EQ(boxes.size(), 6u);
    EXPECT_EQ(boxes[0].strText,
              u"Не удается открыть файл\n'/tmp/a.zem'.\n(No such file or directory)");
    EXPECT_EQ(boxes[0].strCaption, u"VELKA");
    EXPECT_EQ(boxes[0].uStyle, MB_ICONERROR);
    EXPECT_EQ(boxes[1].uStyle, MB_ICONWARNING);
    EXPECT_EQ(boxes[2].strText, u"Импортировано маршрутов - 2, путевых точек - 7.");
    EXPECT_EQ(boxes[2].uStyle, MB_ICONINFORMATION);
    EXPECT_EQ(boxes[3].strText, u"Вы действительно хотите удалить путевую точку '001'?");
    EXPECT_EQ(boxes[3].uStyle, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(boxes[5].strText.size(), 519u); // a 520-character buffer

    // A missing string still gives the box a text.
    HeadlessUiHost().ClearBoxes();
    ShowError(31337);
    ASSERT_EQ(HeadlessUiHost().Boxes().size(), 1u);
    EXPECT_EQ(HeadlessUiHost().Boxes()[0].strText, u"<??31337>");
}

TEST_F(Resources, CaptionComesFromTheSelectedModule) {
    WriteSettingInt(u"Language", 1033);
    English();
    EXPECT_EQ(MainCaption(), u"VELKA");
    LoadMainCaption();
    EXPECT_EQ(MainCaption(), u"VELKA EN");
    ShowOutOfMemory();
    ASSERT_EQ(HeadlessUiHost().Boxes().size(), 1u);
    EXPECT_EQ(HeadlessUiHost().Boxes()[0].strCaption, u"VELKA EN");
    EXPECT_EQ(HeadlessUiHost().Boxes()[0].strText, u"<??2127>"); // not in this small module
}

TEST_F(Resources, FileErrorMessagesCarryTheSystemErrorText) {
    WriteSettingInt(u"Language", 1049);
    EXPECT_EQ(SystemErrorText(ENOENT), u"No such file or directory");
    EXPECT_EQ(SystemErrorText(987654), u"Unknown error 987654");
    EXPECT_EQ(SystemErrorText(-3), u"Unknown error -3");

    ShowRenameError(u"/a/old", u"/a/new", EACCES);
    ShowCreateFolderError(u"/ro/dir", EROFS);
    ShowSoundError(11);
    std::vector<RecordedBox> boxes = HeadlessUiHost().Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(
        boxes[0].strText,
        u"Не удается переименовать файл или папку\n'/a/old'\nв\n'/a/new'.\n(Permission denied)");
    EXPECT_EQ(boxes[1].strText, u"Не удается создать папку\n'/ro/dir'.\n(Read-only file system)");
    EXPECT_EQ(boxes[2].strText, u"Ошибка работы со звуком\n11");
    for (const RecordedBox& b : boxes)
        EXPECT_EQ(b.uStyle, MB_ICONERROR);
}

TEST_F(Resources, MenusDialogsAndImagesFollowTheirFallbacks) {
    WriteSettingInt(u"Language", 1031);
    Module("menu100.txt",
           "popup 200010\n  item 40009\n  separator\n  item 57601 157601\nend\nitem 40001\n");
    Module("strip.gif", "GIF89a-de");
    Module("0407.rll",
           "100\t1.1.28.15\n@menu 100 menu100.txt\n@gif 161 strip.gif\n@dialog 102 menu100.txt\n");
    Module("0409.rll", "100\t1.1.28.15\n@menu 211 menu100.txt\n");
    RegisterBuiltinResource(c_rtGif, 161, {'G', 'I', 'F', '8', '9', 'a'});
    RegisterBuiltinResource(c_rtBitmap, 5, {'B', 'M'});

    std::optional<CMenuTemplate> menu = LoadMenu(100);
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->items.size(), 2u);
    EXPECT_EQ(menu->items[0].kind, CMenuTemplateItem::mkPopup);
    EXPECT_EQ(menu->items[0].uTextId, IDS_POPUP_FILE);
    ASSERT_EQ(menu->items[0].children.size(), 3u);
    EXPECT_EQ(menu->items[0].children[0].uTextId, IDS_MENU_EXIT);
    EXPECT_EQ(menu->items[0].children[1].kind, CMenuTemplateItem::mkSeparator);
    EXPECT_EQ(menu->items[0].children[2].uCommand, 57601u);
    EXPECT_EQ(menu->items[1].uTextId, IDS_MENU_ZOOM_IN);
    EXPECT_EQ(MenuModule(100).FileName(), "0407.rll");
    EXPECT_EQ(MenuModule(211).FileName(), "0409.rll");
    EXPECT_TRUE(LoadMenu(211));
    EXPECT_FALSE(LoadMenu(212));
    EXPECT_EQ(DialogModule(102).FileName(), "0407.rll");
    EXPECT_EQ(DialogModule(103).FileName(), "0409.rll");

    // Images: primary, else the program's own; never the English module.
    const std::vector<BYTE>* pStrip = LoadImageStrip(161);
    ASSERT_NE(pStrip, nullptr);
    EXPECT_EQ(std::string(pStrip->begin(), pStrip->end()), "GIF89a-de");
    const std::vector<BYTE>* pBitmap = LoadBitmap(5);
    ASSERT_NE(pBitmap, nullptr);
    EXPECT_EQ(pBitmap->size(), 2u);
    EXPECT_EQ(LoadImageStrip(162), nullptr);
    EXPECT_EQ(LoadIcon(10), nullptr);
    unsigned cAssertions = AssertionCount();
    EXPECT_EQ(LoadImageStrip(0), nullptr); // a caller's error, reported
    EXPECT_EQ(AssertionCount(), cAssertions + 1);
}

TEST(MenuTemplate, RejectsMalformedTemplates) {
    auto parse = [](const std::string& s) {
        return ParseMenuTemplate(std::vector<BYTE>(s.begin(), s.end()));
    };
    EXPECT_TRUE(parse("# empty\n"));
    EXPECT_FALSE(parse("popup 1\nitem 2\n")); // unclosed
    EXPECT_FALSE(parse("end\n"));
    EXPECT_FALSE(parse("item\n"));
    EXPECT_FALSE(parse("item 12x\n"));
    EXPECT_FALSE(parse("item 1 2 3\n"));
    EXPECT_FALSE(parse("item 99999999999\n"));
    EXPECT_FALSE(parse("submenu 4\nend\n"));
    std::string deep;
    for (int i = 0; i < 9; ++i)
        deep += "popup 1\n";
    for (int i = 0; i < 9; ++i)
        deep += "end\n";
    EXPECT_FALSE(parse(deep));
    std::string many;
    for (int i = 0; i < 5000; ++i)
        many += "separator\n";
    EXPECT_FALSE(parse(many));
}

TEST(Language, LocaleNamesMapToLanguageIds) {
    EXPECT_EQ(LangIdFromLocaleName("ru_RU.UTF-8"), 1049);
    EXPECT_EQ(LangIdFromLocaleName("en_US"), 1033);
    EXPECT_EQ(LangIdFromLocaleName("en_GB.UTF-8"), 2057);
    EXPECT_EQ(LangIdFromLocaleName("de_DE@euro"), 1031);
    EXPECT_EQ(LangIdFromLocaleName("de_AT"), 0x0c07);
    EXPECT_EQ(LangIdFromLocaleName("de"), 1031);
    EXPECT_EQ(LangIdFromLocaleName("fr_XX"), 0x040c); // unknown territory: the main language
    EXPECT_EQ(LangIdFromLocaleName("pt_BR"), 0x0416);
    EXPECT_EQ(LangIdFromLocaleName("zh_TW.Big5"), 0x0404);
    EXPECT_EQ(LangIdFromLocaleName("sr_RS@latin"), 0x241a);
    EXPECT_EQ(LangIdFromLocaleName("uk-UA"), 0x0422);
    for (const char* sz : {"C", "POSIX", "C.UTF-8", "", "xx_YY", "klingon"})
        EXPECT_EQ(LangIdFromLocaleName(sz), 1033) << sz;
}

TEST(Language, UserDefaultFollowsThePosixPrecedence) {
    SetUserDefaultLangIdOverride(0);
    std::string saved[3];
    const char* names[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    for (int i = 0; i < 3; ++i)
        if (const char* sz = std::getenv(names[i])) saved[i] = sz;
    setenv("LANG", "de_DE.UTF-8", 1);
    setenv("LC_MESSAGES", "", 1);
    unsetenv("LC_ALL");
    EXPECT_EQ(UserDefaultLangId(), 1031);
    setenv("LC_MESSAGES", "ru_RU.UTF-8", 1);
    EXPECT_EQ(UserDefaultLangId(), 1049);
    setenv("LC_ALL", "en_US.UTF-8", 1);
    EXPECT_EQ(UserDefaultLangId(), 1033);
    for (int i = 0; i < 3; ++i)
        if (saved[i].empty())
            unsetenv(names[i]);
        else
            setenv(names[i], saved[i].c_str(), 1);
    SetUserDefaultLangIdOverride(c_langBuiltin);
}

} // namespace
} // namespace velka
