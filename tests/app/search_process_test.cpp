// The search commands of the navigator's menu, run as a process on the
// demo map without a screen: a city found by a prefix is shown on the
// map (the view centres on it), an address found by street and number
// starts guidance there, and the nearest objects come nearest first.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/velka_process.h"

namespace velka {
namespace {

using namespace test;

// The "dialog: find: row N: ..." cells of the last listing before a mark.
std::vector<std::string> RowCells(const std::string& strErr, int nRow, std::size_t posBefore = std::string::npos) {
    const std::string key = "dialog: find: row " + std::to_string(nRow) + ": ";
    const std::size_t pos = strErr.rfind(key, posBefore);
    std::vector<std::string> cells;
    if (pos == std::string::npos) return cells;
    std::istringstream line(strErr.substr(pos + key.size(), strErr.find('\n', pos) - pos - key.size()));
    std::string cell;
    while (std::getline(line, cell, '|')) {
        const std::size_t b = cell.find_first_not_of(' '), e = cell.find_last_not_of(' ');
        cells.push_back(b == std::string::npos ? std::string() : cell.substr(b, e - b + 1));
    }
    return cells;
}

// The town's place node in the demo map's source.
bool TownPosition(double& dLat, double& dLon) {
    const std::string osm = test::ReadFile(std::string(VELKA_BINARY_DIR) + "/bin/demo/demo.osm");
    const std::size_t posTag = osm.find("<tag k=\"place\" v=\"town\"/>");
    const std::size_t posNode = osm.rfind("<node ", posTag);
    if (posTag == std::string::npos || posNode == std::string::npos) return false;
    const std::size_t posLat = osm.find("lat=\"", posNode), posLon = osm.find("lon=\"", posNode);
    if (posLat > posTag || posLon > posTag) return false;
    dLat = std::atof(osm.c_str() + posLat + 5);
    dLon = std::atof(osm.c_str() + posLon + 5);
    return true;
}

TEST(SearchProcess, CityFoundByAPrefixIsShownOnTheMap) {
    CUserHome home;
    CVelka v(home, "city", {"--screenshot", home.File("city.png"), c_strDemoMap},
             {"VELKA_HEADLESS_MENU=1", "VELKA_HEADLESS_COMMANDS=40091", "VELKA_HEADLESS_FIND=city=вел;show"});
    ASSERT_EQ(v.Wait(60s), 0) << v.Err();
    const std::string err = v.Err();
    // The dialog selects the city the prefix finds, shows it and closes;
    // the view is centred on the city (the town's place node).
    EXPECT_NE(err.find("dialog: find: city 0: Велкоград"), std::string::npos) << err;
    const std::size_t posCentre = err.find("dialog: find: map centre ");
    ASSERT_NE(posCentre, std::string::npos) << err;
    long long x = 0, y = 0;
    ASSERT_EQ(std::sscanf(err.c_str() + posCentre, "dialog: find: map centre %lld %lld", &x, &y), 2);
    double dLat = 0, dLon = 0;
    ASSERT_TRUE(TownPosition(dLat, dLon));
    EXPECT_NEAR(x * 180.0 / 1073741824.0, dLon, 1e-4);
    EXPECT_NEAR(y * 180.0 / 1073741824.0, dLat, 1e-4);
    EXPECT_NE(err.find("dialog: find: closed with a choice"), std::string::npos) << err;
}

TEST(SearchProcess, AddressFoundByStreetAndNumberIsGoneTo) {
    CUserHome home;
    CVelka v(home, "address", {"--screenshot", home.File("address.png"), c_strDemoMap},
             {"VELKA_HEADLESS_MENU=1", "VELKA_HEADLESS_COMMANDS=40076",
              "VELKA_HEADLESS_FIND=city=вел;street=Центральная;house=13;search;goto"});
    ASSERT_EQ(v.Wait(60s), 0) << v.Err();
    const std::string err = v.Err();
    const std::vector<std::string> first = RowCells(err, 0);
    ASSERT_GE(first.size(), 6u) << err;
    EXPECT_EQ(first[4], "улица Центральная, 13") << err;
    EXPECT_EQ(first[5], "Велкоград") << err;
    // Guidance runs to it: stop guidance is enabled in the menu the
    // screenshot shows (before it was not).
    ASSERT_NE(err.find("dialog: find: goto"), std::string::npos) << err;
    const std::size_t posMenu = err.rfind("menu:", err.find("velka: screenshot"));
    ASSERT_NE(posMenu, std::string::npos) << err;
    EXPECT_NE(err.substr(0, err.find("dialog: find: goto")).find("40024-"), std::string::npos) << err;
    EXPECT_NE(err.substr(posMenu, err.find('\n', posMenu) - posMenu).find("40024+"), std::string::npos) << err;
}

TEST(SearchProcess, NearestObjectsComeNearestFirst) {
    CUserHome home;
    CVelka v(home, "nearest", {"--screenshot", home.File("nearest.png"), c_strDemoMap},
             {"VELKA_HEADLESS_MENU=1", "VELKA_HEADLESS_COMMANDS=40091,40090",
              "VELKA_HEADLESS_FIND=city=вел;show;radius=0.5;name=Кафе;search;select=0;show"});
    ASSERT_EQ(v.Wait(60s), 0) << v.Err();
    const std::string err = v.Err();
    const std::size_t posShow = err.rfind("dialog: find: show");
    ASSERT_NE(posShow, std::string::npos) << err;
    double dLast = -1;
    int cRows = 0;
    for (int r = 0;; ++r) {
        const std::vector<std::string> cells = RowCells(err, r, posShow);
        if (cells.size() < 2) break;
        ++cRows;
        EXPECT_NE(cells[0].find("Кафе"), std::string::npos) << cells[0];
        const double d = std::atof(cells[1].c_str()) * (cells[1].find("км") != std::string::npos ? 1000 : 1);
        EXPECT_GE(d, dLast) << cells[1];
        EXPECT_LE(d, 500.0) << cells[1];
        dLast = d;
    }
    EXPECT_GE(cRows, 1) << err;
    EXPECT_NE(err.find("dialog: find: map centre", posShow), std::string::npos) << err;
}

} // namespace
} // namespace velka
