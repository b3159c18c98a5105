// The navigator as a desktop user meets it, run as a process on the
// offscreen platform: every menu command whose code is in the program is
// enabled, File > Open Map opens the map chosen in the dialog, About Map
// and About name the map and its attribution, and on a 2x screen the
// pages draw with twice the pixels.
#include <gtest/gtest.h>

#include <QImage>
#include <map>
#include <set>
#include <sstream>

#include "shell/menu_commands.h"
#include "tests/support/velka_process.h"

namespace velka {
namespace {

using namespace test;

// The last "menu:" line before the screenshot (shutdown closes the map
// and updates the menu again): command -> enabled.
std::map<UINT, bool> LastMenuState(const std::string& strErr) {
    std::map<UINT, bool> state;
    const std::size_t pos = strErr.rfind("menu:", strErr.find("velka: screenshot"));
    if (pos == std::string::npos) return state;
    std::istringstream line(strErr.substr(pos + 5, strErr.find('\n', pos) - pos - 5));
    std::string item;
    while (line >> item) state[static_cast<UINT>(std::stoul(item))] = item.back() == '+';
    return state;
}

// Commands that are disabled by their rule in this state (no help; no
// route guidance running), and commands whose code has not landed in the
// program yet. A command in the second list whose hook gets assigned must
// leave the list: the test then insists that it is enabled.
const std::set<UINT> c_setDisabledByRule = {ID_HELP, ID_STOP_GUIDANCE};
const std::set<UINT> c_setNotYetInTheProgram = {};

TEST(DesktopProcess, EveryMenuCommandWithItsCodeInTheProgramIsEnabled) {
    CUserHome home;
    CVelka v(home, "menu", {"--screenshot", home.File("menu.png"), c_strDemoMap}, {"VELKA_HEADLESS_MENU=1"});
    ASSERT_EQ(v.Wait(30s), 0) << v.Err();
    const std::map<UINT, bool> state = LastMenuState(v.Err());
    ASSERT_EQ(state.size(), MenuCommands().size()) << v.Err();
    for (UINT uId : MenuCommands()) {
        const bool fEnabled = state.at(uId);
        if (c_setDisabledByRule.count(uId))
            EXPECT_FALSE(fEnabled) << uId << " is disabled by its rule";
        else if (c_setNotYetInTheProgram.count(uId))
            EXPECT_FALSE(fEnabled) << uId << " is enabled: take it off the not-yet list";
        else
            EXPECT_TRUE(fEnabled) << uId << " has its code in the program but stays disabled";
    }
}

TEST(DesktopProcess, OpenMapFromTheMenuThenAboutMapAndAboutShowItAndItsAttribution) {
    CUserHome home;
    CVelka v(home, "open", {"--screenshot", home.File("open.png")},
             {"VELKA_HEADLESS_MENU=1", "VELKA_HEADLESS_COMMANDS=40037,57601,40037,40003",
              "VELKA_HEADLESS_OPEN_MAP=" + c_strDemoMap});
    ASSERT_EQ(v.Wait(30s), 0) << v.Err();
    const std::string err = v.Err();
    // Before the map is open About Map is disabled and does nothing; the
    // dialog offers all formats first, then each registered one.
    EXPECT_NE(err.find("dialog: open map: [Все форматы (Index.zidx *.img *.zem);;Атлас ГИС Велка (Index.zidx);;"
                       "Карта Garmin (*.img);;Карта ГИС Велка (*.zem)] "
                       "filter 0"),
              std::string::npos)
        << err;
    const std::size_t posInfo = err.find("information: Карта: ");
    ASSERT_NE(posInfo, std::string::npos) << err;
    EXPECT_GT(posInfo, err.find("velka: command 57601"));
    EXPECT_NE(err.find("Файл: " + c_strDemoMap, posInfo), std::string::npos) << err;
    const std::size_t posAbout = err.find("information: VELKA\nВерсия 1.");
    ASSERT_NE(posAbout, std::string::npos) << err;
    EXPECT_NE(err.find("Лицензия: GNU General Public License", posAbout), std::string::npos);
    EXPECT_NE(err.find("Данные карт:\n\u00A9 OpenStreetMap contributors, ODbL", posAbout), std::string::npos) << err;
    EXPECT_TRUE(LastMenuState(err).at(ID_MAP_INFO));
}

// Aligned 2 x 2 pixel blocks of the lower part of the picture (the map,
// below the menu bar) that are not one colour: none when a 1x picture was
// merely scaled up.
int FineBlocks(const QImage& image) {
    int c = 0;
    for (int y = image.height() / 3 & ~1; y + 1 < image.height(); y += 2)
        for (int x = 0; x + 1 < image.width(); x += 2) {
            const QRgb p = image.pixel(x, y);
            c += image.pixel(x + 1, y) != p || image.pixel(x, y + 1) != p || image.pixel(x + 1, y + 1) != p;
        }
    return c;
}

TEST(DesktopProcess, OnA2xScreenThePagesDrawWithTwiceThePixels) {
    QImage images[2];
    for (int k = 0; k < 2; ++k) {
        CUserHome home;
        // The same window size on both screens: the screen of the 2x run has
        // half the logical size.
        home.WriteSettings({{u"WindowX", 0}, {u"WindowY", 0}, {u"WindowWidth", 280}, {u"WindowHeight", 260}});
        const std::string strPng = home.File("shot.png");
        CVelka v(home, "hidpi", {"--screenshot", strPng, c_strDemoMap},
                 {k ? "QT_SCALE_FACTOR=2" : "QT_SCALE_FACTOR=1"});
        ASSERT_EQ(v.Wait(30s), 0) << v.Err();
        ASSERT_TRUE(images[k].load(QString::fromStdString(strPng))) << v.Err();
    }
    EXPECT_EQ(images[1].width(), 2 * images[0].width());
    EXPECT_EQ(images[1].height(), 2 * images[0].height());
    EXPECT_GT(FineBlocks(images[1]), 200);
}

} // namespace
} // namespace velka
