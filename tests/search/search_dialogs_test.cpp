// The search dialogs on the offscreen Qt platform over an in-memory map:
// what they keep in the settings (validated on reading), typing a prefix
// selects the row find-first gives, the commands act on the selection,
// cities without a position, the column menu and its kept state, and the
// type chooser's modes.
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QListView>
#include <QTableView>
#include <QTreeWidget>
#include <cstdlib>
#include <functional>

#include <gtest/gtest.h>

#include "gauges/units.h"
#include "platform/ui_host.h"
#include "search/find_city_dialogs.h"
#include "search/find_search_dialogs.h"
#include "search/search_dialogs.h"
#include "search/search_progress_window.h"
#include "search/find_settings.h"
#include "search/type_chooser.h"
#include "search/type_filter_table.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "tests/mapdata/osm_sketch.h"
#include "tests/search/fake_search_map.h"
#include "tests/search/search_map.h"
#include "tests/support/qt_app.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

using test::CFakeSearchMap;

// Types a text as the keyboard would (textEdited follows).
void QTest_TypeInto(QLineEdit* p, const QString& s) {
    p->setFocus();
    p->insert(s);
}

class SearchDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        test::QtApp();
        HeadlessUiHost().ClearBoxes();
        WriteAutoType(false);
        m_map.m_cities = {{u"Алма", {100, 200}}, {u"Мозырь", {300, 400}}, {u"Москва", {500, 600}},
                          {u"Мурманск", {700, 800}, false}, {u"Омск", {900, 1000}}};
        for (int i = 0; i < 30; ++i)
            m_map.m_cities.push_back({u"Ясень " + std::u16string(1, static_cast<char16_t>(u'А' + i)), {i, i}});
        m_map.m_objects = {{u"Кафе Берёзка", 2, rkPoint, 0x2A00, 0x2A00, {510, 610}},
                           {u"Аптека", 2, rkPoint, 0x2E05, 0x2E00, {520, 620}},
                           {u"Бар", 2, rkPoint, 0x2A01, 0x2A00, {530, 630}},
                           {u"Вокзал", 2, rkPoint, 0x2F08, 0x2F00, {540, 640}},
                           {u"Ресторан", 2, rkPoint, 0x2A01, 0x2A00, {550, 650}},
                           {u"Кафе Ромашка", 2, rkPoint, 0x2A00, 0x2A00, {560, 660}},
                           {u"Столовая", 1, rkPoint, 0x2A00, 0x2A00, {570, 670}}};
        SearchUi().fnShowOnMap = [this](const CFindTarget& t) { m_shown.push_back(t); };
        SearchUi().fnGoTo = [this](const CFindTarget& t) { m_gone.push_back(t); };
        SearchUi().fnReferencePoint = [] { return CMapPoint{0, 0}; };
    }
    void TearDown() override { SearchUi() = {}; }

    static int Current(const QListView* p) { return p->currentIndex().row(); }

    test::ScopedSettings m_settings;
    CFakeSearchMap m_map;
    std::vector<CFindTarget> m_shown, m_gone;
};

TEST_F(SearchDialogs, SettingsReadBackValidatedAndPerDialogCookies) {
    // Each dialog keeps its own cookie; the row its chooser leaves out, or
    // a row past the table, reads as the default.
    WriteSettingInt(u"Find_TypeCookie", 420);
    WriteSettingInt(u"FindCityPlaces_TypeCookie", 0);
    EXPECT_EQ(ReadTypeCookie(tmNearest), 0u);
    EXPECT_EQ(ReadTypeCookie(tmInCity), 1u);
    WriteTypeCookie(tmNearest, 24);
    WriteTypeCookie(tmInCity, 420);
    EXPECT_EQ(ReadTypeCookie(tmNearest), 24u);
    EXPECT_EQ(ReadTypeCookie(tmInCity), 420u);
    for (int n : {421, -1, 1 << 30}) {
        WriteSettingInt(u"Find_TypeCookie", n);
        EXPECT_EQ(ReadTypeCookie(tmNearest), 0u) << n;
    }
    WriteTypeCookie(tmNearest, 420); // refused
    EXPECT_EQ(ReadSettingInt(u"Find_TypeCookie", -7), 1 << 30);

    // List states: the count must be eight, the order a permutation.
    WriteSettingString(u"FindNearest_Headers", u"8 0 1 2 3 4 5 6 7 100 60 50 0 120 90 40 30 ");
    ASSERT_TRUE(ReadFindListState(fkNearest));
    EXPECT_EQ(ReadFindListState(fkNearest)->widths[3], 0);
    for (const char16_t* sz : {u"9 0 1 2 3 4 5 6 7 8 1 1 1 1 1 1 1 1 1 ", u"8 0 0 2 3 4 5 6 7 1 1 1 1 1 1 1 1 ",
                               u"8 0 1 2 3 4 5 6 7 1 1 1 1 1 1 1 ", u"2147483647 0 1"}) {
        WriteSettingString(u"FindByAddress_Headers", sz);
        EXPECT_FALSE(ReadFindListState(fkAddress)) << QString::fromStdU16String(sz).toStdString();
    }
    EXPECT_FALSE(ReadFindListState(fkCity));

    // Find_City beyond the list selects the first city; Find_Distance out
    // of range reads as 1000 m.
    WriteFindCity(40);
    EXPECT_EQ(ReadFindCity(5), 0);
    EXPECT_EQ(ReadFindCity(41), 40);
    EXPECT_EQ(ReadFindCity(0), -1);
    WriteSettingInt(u"Find_Distance", -5);
    EXPECT_EQ(ReadFindRadius(), 1000u);
}

TEST_F(SearchDialogs, RadiusShownAndTypedInTheDistanceUnit) {
    EXPECT_EQ(FormatRadius(1000, duStatute), u"0.6");
    EXPECT_EQ(FormatRadius(1000, duMetric), u"1.0");
    EXPECT_EQ(FormatRadius(1852, duNautical), u"1.0");
    EXPECT_EQ(ParseRadius(u"2", duStatute), 3219u);
    EXPECT_EQ(ParseRadius(u"1,5", duMetric), 1500u);
    EXPECT_EQ(ParseRadius(u" 0.0004 ", duMetric), 0u);
    // Negative and huge radii are clamped; text that is no number is refused.
    EXPECT_EQ(ParseRadius(u"-3", duMetric), 0u);
    EXPECT_EQ(ParseRadius(u"1e30", duMetric), c_dwMaxRadius);
    EXPECT_FALSE(ParseRadius(u"", duMetric));
    EXPECT_FALSE(ParseRadius(u"2 km", duMetric));
    EXPECT_FALSE(ParseRadius(u"nan", duMetric));
}

TEST_F(SearchDialogs, CityDialogSelectsTheFindFirstRowAndShowsTheCity) {
    CFindCityDialog dlg(m_map, m_map.CreateCitiesQuery(), nullptr);
    dlg.resize(248, 330);
    dlg.show();
    QApplication::processEvents();
    QListView* pList = dlg.CityView();
    EXPECT_EQ(Current(pList), 0); // Find_City unset
    EXPECT_FALSE(dlg.ResultView());

    dlg.CityEdit()->setText(QStringLiteral("мо"));
    EXPECT_EQ(Current(pList), 1); // Мозырь: find-first of "мо"
    dlg.CityEdit()->setText(QStringLiteral("Моск"));
    EXPECT_EQ(Current(pList), 2);
    // Clearing the field leaves the selection as it is.
    dlg.CityEdit()->setText(QString());
    EXPECT_EQ(Current(pList), 2);
    // A prefix after every name selects the last city, scrolled so that
    // seven rows stand above it.
    dlg.CityEdit()->setText(QStringLiteral("Ясень Л"));
    QApplication::processEvents();
    EXPECT_EQ(Current(pList), 16);
    EXPECT_EQ(pList->indexAt(QPoint(2, 2)).row(), 9);

    // Cities without a position are red.
    EXPECT_EQ(dlg.CityModel()->data(dlg.CityModel()->index(3), Qt::ForegroundRole).value<QBrush>().color(),
              QColor(255, 0, 0));
    EXPECT_FALSE(dlg.CityModel()->data(dlg.CityModel()->index(2), Qt::ForegroundRole).isValid());

    // Show on the map with a city without a position: message 2162, the
    // dialog stays.
    dlg.CityEdit()->setText(QStringLiteral("Мур"));
    EXPECT_TRUE(dlg.ShowAction()->isEnabled());
    dlg.ShowAction()->trigger();
    EXPECT_TRUE(m_shown.empty());
    ASSERT_EQ(HeadlessUiHost().Boxes().size(), 1u);
    EXPECT_NE(HeadlessUiHost().Boxes()[0].strText.find(u"населённом пункте"), std::u16string::npos);
    EXPECT_TRUE(dlg.isVisible());

    dlg.CityEdit()->setText(QStringLiteral("Моск"));
    dlg.ShowAction()->trigger();
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].pt.lX, 500);
    EXPECT_EQ(m_shown[0].pt.lY, 600);
    EXPECT_EQ(m_shown[0].wScale, 5);
    EXPECT_EQ(m_shown[0].strText, u"Москва");
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(ReadSettingInt(u"Find_City", -1), 2);
}

TEST_F(SearchDialogs, CityDialogOpensOnTheStoredCityAndGoesThere) {
    WriteFindCity(4);
    CFindCityDialog dlg(m_map, m_map.CreateCitiesQuery(), nullptr);
    EXPECT_EQ(Current(dlg.CityView()), 4);
    dlg.GoToAction()->trigger();
    ASSERT_EQ(m_gone.size(), 1u);
    EXPECT_EQ(m_gone[0].strText, u"Омск");
    EXPECT_EQ(m_gone[0].pt.lX, 900);
}

TEST_F(SearchDialogs, ObjectsInCityFollowTheCityTypeAndTypedName) {
    WriteFindCity(2); // Москва
    CFindInCityDialog dlg(m_map, m_map.CreateCitiesQuery(), 2, nullptr); // "Предприятия питания"
    dlg.resize(248, 330);
    dlg.show();
    CFindResultModel* pModel = dlg.ResultModel();
    ASSERT_EQ(pModel->rowCount(), 4);
    EXPECT_EQ(pModel->data(pModel->index(0, fcName), Qt::DisplayRole).toString(), QStringLiteral("Бар"));
    EXPECT_EQ(pModel->data(pModel->index(0, fcType), Qt::DisplayRole).toString(), QStringLiteral("0 0x2a01"));
    EXPECT_EQ(pModel->data(pModel->index(0, fcMapFile), Qt::DisplayRole).toString(), QStringLiteral("fake.zem"));
    // Nothing selected yet: the commands wait for a row.
    EXPECT_FALSE(dlg.ShowAction()->isEnabled());
    EXPECT_FALSE(dlg.GoToAction()->isEnabled());

    dlg.NameEdit()->setText(QStringLiteral("кафе р"));
    EXPECT_EQ(dlg.SelectedResult(), 2); // find-first: Кафе Ромашка
    EXPECT_TRUE(dlg.ShowAction()->isEnabled());
    dlg.NameEdit()->setText(QStringLiteral("Я"));
    EXPECT_EQ(dlg.SelectedResult(), 3); // after every name: the last row

    // Another city asks the map again.
    dlg.CityEdit()->setText(QStringLiteral("Мозырь"));
    EXPECT_EQ(pModel->rowCount(), 1);
    // A group searches each of its categories, merged by name.
    dlg.CityEdit()->setText(QStringLiteral("Москва"));
    dlg.SetCookie(1); // "Полезные объекты"
    ASSERT_EQ(pModel->rowCount(), 6);
    QStringList names;
    for (int r = 0; r < 6; ++r) names << pModel->data(pModel->index(r, fcName), Qt::DisplayRole).toString();
    EXPECT_EQ(names.join(u','), QStringLiteral("Аптека,Бар,Вокзал,Кафе Берёзка,Кафе Ромашка,Ресторан"));
    EXPECT_EQ(ReadTypeCookie(tmInCity), 1u);
    // "Все типы" is not a choice here.
    dlg.SetCookie(0);
    EXPECT_EQ(dlg.Cookie(), 1u);

    dlg.NameEdit()->setText(QStringLiteral("Вок"));
    dlg.ShowAction()->trigger();
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].strText, u"Вокзал");
    EXPECT_EQ(m_shown[0].pt.lX, 540);
    EXPECT_EQ(m_shown[0].wScale, 3);
}

TEST_F(SearchDialogs, ColumnMenuHidesAndShowsAndTheStateIsKept) {
    WriteFindCity(2);
    {
        CFindInCityDialog dlg(m_map, m_map.CreateCitiesQuery(), 2, nullptr);
        QHeaderView* pHeader = dlg.ResultView()->horizontalHeader();
        EXPECT_FALSE(pHeader->isSectionHidden(fcDistance));
        dlg.ToggleColumn(fcDistance);
        EXPECT_TRUE(pHeader->isSectionHidden(fcDistance));
        EXPECT_TRUE(pHeader->isSectionHidden(fcType));
        dlg.ToggleColumn(fcType);
        EXPECT_FALSE(pHeader->isSectionHidden(fcType));
        EXPECT_GE(pHeader->sectionSize(fcType), 1);
        pHeader->moveSection(pHeader->visualIndex(fcAddress), 0);
        dlg.reject();
    }
    const auto state = ReadFindListState(fkInCity);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->order[0], fcAddress);
    EXPECT_EQ(state->widths[fcDistance], 0);
    EXPECT_GT(state->widths[fcType], 0);
    CFindInCityDialog again(m_map, m_map.CreateCitiesQuery(), 2, nullptr);
    QHeaderView* pHeader = again.ResultView()->horizontalHeader();
    EXPECT_TRUE(pHeader->isSectionHidden(fcDistance));
    EXPECT_FALSE(pHeader->isSectionHidden(fcType));
    EXPECT_EQ(pHeader->logicalIndex(0), fcAddress);
}

TEST_F(SearchDialogs, TypeChooserLeavesOutItsModesRowAndNestsTheTable) {
    const TypeNameFn names = [](int, WORD w) { return w == 0x2B01 ? std::u16string(u"Мотель") : std::u16string(); };
    CTypeChooserDialog nearest(tmNearest, 24, names, {}, nullptr);
    QTreeWidget* pTree = nearest.Tree();
    EXPECT_EQ(nearest.Chosen(), 24u);
    EXPECT_EQ(pTree->topLevelItemCount(), 7); // eight groups without "Прочие объекты"
    EXPECT_EQ(pTree->topLevelItem(0)->text(0), QStringLiteral("Все типы"));
    EXPECT_TRUE(pTree->topLevelItem(0)->font(0).bold());
    // Category 24 under group 1 holds its five types; its own row is open.
    const QTreeWidgetItem* pHotels = pTree->currentItem();
    EXPECT_EQ(pHotels->parent(), pTree->topLevelItem(1));
    EXPECT_EQ(pHotels->childCount(), 5);
    EXPECT_EQ(pHotels->child(1)->text(0), QStringLiteral("Мотель"));
    EXPECT_EQ(pHotels->child(2)->text(0), QString()); // unknown to the map
    EXPECT_FALSE(nearest.Select(420));

    CTypeChooserDialog inCity(tmInCity, 0, names, {}, nullptr);
    EXPECT_EQ(inCity.Tree()->topLevelItemCount(), 7);
    EXPECT_NE(inCity.Tree()->topLevelItem(0)->text(0), QStringLiteral("Все типы"));
    EXPECT_TRUE(inCity.Select(420));
    EXPECT_EQ(inCity.Chosen(), 420u);
    // Every row of the table but the left-out one stands in the tree once.
    int cItems = 0;
    for (QTreeWidgetItemIterator it(inCity.Tree()); *it; ++it) ++cItems;
    EXPECT_EQ(cItems, 420);
    // The menu's check mark is Find_AutoType.
    EXPECT_FALSE(inCity.AutoTypeAction()->isChecked());
    inCity.AutoTypeAction()->trigger();
    EXPECT_TRUE(ReadAutoType());
}

// Metres east of the reference point (0, 0) in map units (53.7 a metre).
CMapPoint East(int nMetres) { return {static_cast<std::int32_t>(nMetres * 53.68709), 0}; }

std::u16string DistanceText(const CMapPoint& pt) {
    CFindItem item;
    item.ptRepresentative = item.ptNearest = pt;
    return FindCellText(item, fcDistance, {0, 0}, fpNearest, {});
}

TEST_F(SearchDialogs, NearestDialogKeepsItsInputsAndListsByTheNearestPoint) {
    g_UnitOptions.nDistanceUnit = duStatute;
    WriteFindText(c_szFindName, u"а");
    m_map.m_objects = {{u"Вокзал", 0, rkPoint, 0x2F08, 0x2F00, East(300)},
                       // A long street: its middle lies far, its nearest point close.
                       {u"Улица Ленина", 0, rkPolyline, 0x06, 0x0001, East(5000), East(40)},
                       {u"Кафе", 0, rkPoint, 0x2A00, 0x2A00, East(120)},
                       {u"Далёкая аптека", 0, rkPoint, 0x2E05, 0x2E00, East(9000)},
                       {u"Почта", 0, rkPoint, 0x2F05, 0x2F00, East(60)}};
    CFindNearestDialog dlg(m_map, 0, nullptr);
    dlg.resize(248, 330);
    dlg.show();
    EXPECT_EQ(dlg.RadiusEdit()->text(), QStringLiteral("0.6")); // 1000 m in statute miles
    EXPECT_EQ(dlg.UnitLabel()->text(), QStringLiteral("ми"));
    EXPECT_EQ(dlg.NameEdit()->text(), QStringLiteral("а"));
    dlg.RadiusEdit()->setText(QString());
    QTest_TypeInto(dlg.RadiusEdit(), QStringLiteral("2"));
    EXPECT_EQ(ReadFindRadius(), 3219u);
    dlg.RadiusEdit()->setText(QString());
    QTest_TypeInto(dlg.RadiusEdit(), QStringLiteral("3"));
    EXPECT_EQ(ReadFindRadius(), 4828u);

    dlg.SearchButton()->click();
    CFindResultModel* pModel = dlg.ResultModel();
    ASSERT_EQ(pModel->rowCount(), 4); // the pharmacy lies beyond 3 miles
    QStringList names;
    for (int r = 0; r < pModel->rowCount(); ++r) names << pModel->data(pModel->index(r, fcName), Qt::DisplayRole).toString();
    EXPECT_EQ(names.join(u','), QStringLiteral("Улица Ленина,Почта,Кафе,Вокзал"));
    // The distance shown is the one sorted by: to the street's nearest point.
    EXPECT_EQ(pModel->data(pModel->index(0, fcDistance), Qt::DisplayRole).toString().toStdU16String(),
              DistanceText(East(40)));
    EXPECT_EQ(dlg.SelectedResult(), 0);
    EXPECT_TRUE(dlg.GoToAction()->isEnabled());
    dlg.GoToAction()->trigger();
    ASSERT_EQ(m_gone.size(), 1u);
    EXPECT_EQ(m_gone[0].strText, u"Улица Ленина");
    EXPECT_EQ(m_gone[0].pt, East(5000));
    g_UnitOptions.nDistanceUnit = duMetric;
}

TEST_F(SearchDialogs, NearestSearchCancelledOrEmptyShowsTheMessageAndAnEmptyList) {
    m_map.m_objects = {{u"Кафе", 0, rkPoint, 0x2A00, 0x2A00, East(120)}};
    CFindNearestDialog dlg(m_map, 0, nullptr);
    dlg.show();
    dlg.SearchButton()->click();
    ASSERT_EQ(dlg.ResultModel()->rowCount(), 1);
    EXPECT_TRUE(HeadlessUiHost().Boxes().empty());
    // Another type empties the list.
    dlg.SetCookie(24);
    EXPECT_EQ(dlg.ResultModel()->rowCount(), 0);
    EXPECT_EQ(ReadTypeCookie(tmNearest), 24u);
    dlg.SearchButton()->click();
    EXPECT_EQ(dlg.ResultModel()->rowCount(), 1);
    // The cancel button of the progress window, pressed while the map searches.
    QString strCaption;
    m_map.m_fnDuringSearch = [&strCaption] {
        for (QWidget* p : QApplication::topLevelWidgets())
            if (auto* pProgress = dynamic_cast<CSearchProgressWindow*>(p)) {
                strCaption = pProgress->Caption()->text();
                if (auto* pButton = pProgress->findChild<QPushButton*>()) pButton->click();
            }
    };
    dlg.SearchButton()->click();
    EXPECT_EQ(dlg.ResultModel()->rowCount(), 0);
    ASSERT_EQ(HeadlessUiHost().Boxes().size(), 1u);
    EXPECT_EQ(HeadlessUiHost().Boxes()[0].strText, LoadStr(2147));
    EXPECT_EQ(strCaption.toStdU16String(), LoadStr(2157));
    EXPECT_FALSE(dlg.ShowAction()->isEnabled());
    m_map.m_fnDuringSearch = nullptr;
    dlg.RadiusEdit()->setText(QStringLiteral("0.05"));
    dlg.SearchButton()->click();
    EXPECT_EQ(dlg.ResultModel()->rowCount(), 0);
    EXPECT_EQ(HeadlessUiHost().Boxes().size(), 2u);
}

TEST_F(SearchDialogs, AddressDialogSearchesTheSelectedCityAndKeepsItsFields) {
    WriteFindText(c_szFindStreet, u"Ленина");
    WriteFindCity(2);
    m_map.m_objects = {{u"", 2, rkPoint, 0x13, 0, {10, 10}, {INT32_MIN, 0}, u"улица Ленина", u"7Б", u"101000"},
                       {u"", 2, rkPoint, 0x13, 0, {20, 20}, {INT32_MIN, 0}, u"улица Ленина", u"5", u"101000"},
                       {u"", 1, rkPoint, 0x13, 0, {30, 30}, {INT32_MIN, 0}, u"улица Ленина", u"5", u"200000"}};
    CFindAddressDialog dlg(m_map, m_map.CreateCitiesQuery(), nullptr);
    dlg.resize(248, 330);
    dlg.show();
    EXPECT_EQ(dlg.StreetEdit()->text(), QStringLiteral("Ленина"));
    EXPECT_TRUE(dlg.SearchButton()->isEnabled());
    dlg.SearchButton()->click();
    CFindResultModel* pModel = dlg.ResultModel();
    ASSERT_EQ(pModel->rowCount(), 2);
    EXPECT_NE(pModel->data(pModel->index(0, fcAddress), Qt::DisplayRole).toString().indexOf(QStringLiteral("Ленина")), -1);
    EXPECT_EQ(pModel->data(pModel->index(0, fcPostcode), Qt::DisplayRole).toString(), QStringLiteral("101000"));
    dlg.HouseEdit()->setText(QStringLiteral("9"));
    dlg.ZipEdit()->setText(QStringLiteral("101000"));
    dlg.SearchButton()->click();
    EXPECT_EQ(pModel->rowCount(), 0);
    ASSERT_EQ(HeadlessUiHost().Boxes().size(), 1u);
    dlg.reject();
    EXPECT_EQ(ReadFindText(c_szFindNumber), u"9");
    EXPECT_EQ(ReadFindText(c_szFindZip), u"101000");
    EXPECT_EQ(ReadFindText(c_szFindStreet), u"Ленина");
}

// Every control of a dialog lies inside it, lists show a few rows; with
// VELKA_SCREENSHOT_DIR set, the dialog's picture is saved there.
void ExpectFits(QDialog& dlg, const QSize& size, const std::string& strName) {
    dlg.resize(size);
    dlg.show();
    QApplication::processEvents();
    EXPECT_LE(dlg.width(), size.width()) << strName;
    EXPECT_LE(dlg.height(), size.height()) << strName;
    for (QWidget* p : dlg.findChildren<QWidget*>()) {
        if (!p->isVisible() || !(qobject_cast<QLineEdit*>(p) || qobject_cast<QPushButton*>(p) ||
                                 qobject_cast<QAbstractItemView*>(p)))
            continue;
        const QRect rc(p->mapTo(&dlg, QPoint(0, 0)), p->size());
        EXPECT_TRUE(dlg.rect().contains(rc)) << strName << ": " << p->metaObject()->className();
        if (qobject_cast<QAbstractItemView*>(p) && !qobject_cast<QHeaderView*>(p)) {
            EXPECT_GE(p->height(), 48) << strName;
        }
        if (qobject_cast<QLineEdit*>(p)) {
            EXPECT_GE(p->width(), 40) << strName;
        }
    }
    if (const char* szDir = std::getenv("VELKA_SCREENSHOT_DIR"))
        dlg.grab().save(QString::fromStdString(std::string(szDir) + "/" + strName + "-" + std::to_string(size.width()) +
                                               "x" + std::to_string(size.height()) + ".png"));
    dlg.hide();
}

TEST_F(SearchDialogs, DialogsFitTheHandheldWindowAndADesktop) {
    WriteFindCity(2);
    for (const QSize& size : {QSize(248, 330), QSize(800, 600)}) {
        CFindCityDialog city(m_map, m_map.CreateCitiesQuery(), nullptr);
        ExpectFits(city, size, "city");
        CFindInCityDialog inCity(m_map, m_map.CreateCitiesQuery(), 2, nullptr);
        inCity.NameEdit()->setText(QStringLiteral("Кафе"));
        ExpectFits(inCity, size, "objects");
        CFindAddressDialog address(m_map, m_map.CreateCitiesQuery(), nullptr);
        ExpectFits(address, size, "address");
        CFindNearestDialog nearest(m_map, 24, nullptr);
        ExpectFits(nearest, size, "nearest");
        CTypeChooserDialog chooser(tmNearest, 24, MapTypeNames(&m_map), TypeSampleIcon, nullptr);
        ExpectFits(chooser, size, "types");
    }
}

TEST_F(SearchDialogs, TypeChooserOpensFirstWhenAutomaticAndItsChoiceIsKept) {
    WriteAutoType(true);
    WriteTypeCookie(tmNearest, 43);
    std::vector<std::string> seen;
    // Each modal window in turn: the chooser (on the kept row: take 24),
    // then the dialog (close it).
    std::function<void()> fnStep = [&] {
        QWidget* p = QApplication::activeModalWidget();
        if (auto* pChooser = dynamic_cast<CTypeChooserDialog*>(p)) {
            seen.push_back("chooser " + std::to_string(pChooser->Chosen().value_or(999)));
            pChooser->Select(24);
            pChooser->accept();
        } else if (auto* pDialog = dynamic_cast<CFindNearestDialog*>(p)) {
            seen.push_back("nearest " + std::to_string(pDialog->Cookie()));
            pDialog->reject();
            return;
        }
        QTimer::singleShot(20, fnStep);
    };
    QTimer::singleShot(20, fnStep);
    RunFindNearestDialog(m_map, nullptr);
    EXPECT_EQ(seen, (std::vector<std::string>{"chooser 43", "nearest 24"}));
    EXPECT_EQ(ReadTypeCookie(tmNearest), 24u);
}

TEST_F(SearchDialogs, ADialogLetsGoOfAMapAboutToClose) {
    // The running dialog empties its lists, ignores typing and closes;
    // a chooser running before its dialog ends the opening.
    bool fMapOpen = true;
    SearchUi().fnIsMapOpen = [&](const CMapParser*) { return fMapOpen; };
    std::vector<std::string> seen;
    QTimer::singleShot(30, [&] {
        auto* pDialog = dynamic_cast<CFindInCityDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(pDialog);
        seen.push_back("rows " + std::to_string(pDialog->ResultModel()->rowCount()));
        const int cQueries = m_map.m_cObjectQueries;
        fMapOpen = false;
        ReleaseSearchDialogMap();
        seen.push_back("rows " + std::to_string(pDialog->ResultModel()->rowCount()) + ", cities " +
                       std::to_string(pDialog->CityModel()->rowCount()));
        pDialog->CityEdit()->setText(QStringLiteral("Мо"));
        pDialog->NameEdit()->setText(QStringLiteral("Кафе"));
        seen.push_back(std::string(pDialog->isVisible() ? "visible" : "closed") + ", new queries " +
                       std::to_string(m_map.m_cObjectQueries - cQueries));
    });
    WriteFindCity(2);
    WriteTypeCookie(tmInCity, 2);
    RunFindInCityDialog(m_map, nullptr);
    EXPECT_EQ(seen, (std::vector<std::string>{"rows 4", "rows 0, cities 0", "closed, new queries 0"}));

    fMapOpen = true;
    WriteAutoType(true);
    QTimer::singleShot(30, [&] {
        fMapOpen = false;
        ReleaseSearchDialogMap();
        QTimer::singleShot(100, [&] {
            seen.push_back(QApplication::activeModalWidget() ? "a dialog opened" : "none");
            if (QWidget* p = QApplication::activeModalWidget()) p->close();
        });
    });
    RunFindNearestDialog(m_map, nullptr);
    for (int i = 0; i < 50 && seen.size() < 4; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[3], "none");
}

TEST_F(SearchDialogs, DialogsRefuseMapsWithoutTheirIndexes) {
    m_map.m_fIndexes = false;
    // A dialog that opened despite the check would wait here: close it.
    QTimer::singleShot(2000, [] {
        if (QWidget* p = QApplication::activeModalWidget()) p->close();
    });
    RunFindCityDialog(m_map, nullptr);
    RunFindInCityDialog(m_map, nullptr);
    RunFindAddressDialog(m_map, nullptr);
    const auto boxes = HeadlessUiHost().Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].strText, LoadStr(2145));
    EXPECT_EQ(boxes[1].strText, LoadStr(2145));
    EXPECT_EQ(boxes[2].strText, LoadStr(2146));
}

} // namespace
} // namespace velka

namespace velka {
namespace {

// The dialogs over a compiled map: its cities index's find-first and
// positions, its objects index's categories.
class SearchDialogsOnACompiledMap : public ::testing::Test {
protected:
    void SetUp() override {
        test::QtApp();
        WriteAutoType(false);
        test::COsmSketch s(R"(
 M  a  b           O            Z

 c

                   Y
)");
        s.Tag('M', {{"place", "town"}, {"name", "Москва"}})
            .Tag('O', {{"place", "village"}, {"name", "Омск"}})
            .Tag('Z', {{"place", "village"}, {"name", "Мозырь"}})
            .Tag('Y', {{"place", "village"}, {"name", "Алма"}})
            .Tag('a', {{"amenity", "cafe"}, {"name", "Кафе Ромашка"}})
            .Tag('b', {{"amenity", "restaurant"}, {"name", "Ресторан Волга"}})
            .Tag('c', {{"amenity", "cafe"}, {"name", "Кафе Берёзка"}});
        std::string strError;
        m_map = test::CompileXmlForSearch(s.Xml(), strError);
        ASSERT_TRUE(m_map.pMap) << strError;
        SearchUi().fnShowOnMap = [this](const CFindTarget& t) { m_shown.push_back(t); };
    }
    void TearDown() override { SearchUi() = {}; }

    test::ScopedSettings m_settings;
    test::CCompiledMap m_map;
    std::vector<CFindTarget> m_shown;
};

TEST_F(SearchDialogsOnACompiledMap, TypedPrefixesSelectWhatFindFirstGives) {
    CMapParser& map = *m_map.pMap;
    std::unique_ptr<CCitiesQuery> pCities = map.CreateCitiesQuery();
    ASSERT_TRUE(pCities);
    ASSERT_GE(pCities->Count(), 4u);
    CFindCityDialog city(map, map.CreateCitiesQuery(), nullptr);
    for (const char16_t* sz : {u"мо", u"Моз", u"ом", u"а", u"я"}) {
        city.CityEdit()->setText(QString::fromStdU16String(sz));
        EXPECT_EQ(static_cast<DWORD>(city.SelectedCity()), std::min(pCities->FindFirst(sz), pCities->Count() - 1))
            << QString::fromStdU16String(sz).toStdString();
    }
    city.CityEdit()->setText(QStringLiteral("Моск"));
    CCityItem item;
    ASSERT_TRUE(pCities->Item(static_cast<DWORD>(city.SelectedCity()), item, c_dwCityPosition));
    EXPECT_EQ(std::u16string(item.szText).rfind(u"Москва", 0), 0u);
    ASSERT_TRUE(item.fHasPosition);
    city.ShowAction()->trigger();
    ASSERT_EQ(m_shown.size(), 1u);
    EXPECT_EQ(m_shown[0].pt, (CMapPoint{item.x, item.y}));

    // The food places of Москва, by name; typing selects find-first's row.
    WriteFindCity(static_cast<int>(pCities->FindFirst(u"Москва")));
    CFindInCityDialog objects(map, map.CreateCitiesQuery(), 2, nullptr);
    CFindResultModel* pModel = objects.ResultModel();
    ASSERT_EQ(pModel->rowCount(), 3);
    EXPECT_EQ(pModel->data(pModel->index(0, fcName), Qt::DisplayRole).toString(), QStringLiteral("Кафе Берёзка"));
    objects.NameEdit()->setText(QStringLiteral("кафе р"));
    EXPECT_EQ(objects.SelectedResult(), static_cast<int>(pModel->Rows()->FindFirst(u"кафе р")));
    EXPECT_EQ(objects.SelectedResult(), 1);
    objects.NameEdit()->setText(QStringLiteral("Рест"));
    EXPECT_EQ(objects.SelectedResult(), 2);
}

} // namespace
} // namespace velka
