// The waypoint edit and list dialogs on the offscreen Qt platform: what OK
// and Cancel write, the refused entries, the list's sort and column state
// kept across openings, and its commands (delete, show on the map,
// properties, import and export) against a store saved in a private folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QtTest/QTest>
#include <cstdlib>
#include <filesystem>

#include "app/qt_waypoint_edit_dialog.h"
#include "app/composition_root.h"
#include "app/qt_waypoint_list_dialog.h"
#include "gauges/units.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "tests/support/qt_app.h"
#include "tests/support/test_support.h"
#include "tracks/semicircles.h"
#include "waypoints/waypoint_ui.h"

namespace velka {
namespace {

std::u16string U(const char* s) { return FromUtf8(s); }

// Every field of a waypoint, for "nothing changed" checks.
void ExpectSame(const Waypoint& a, const Waypoint& b) {
    EXPECT_EQ(a.dwFlags, b.dwFlags);
    EXPECT_EQ(a.lX, b.lX);
    EXPECT_EQ(a.lY, b.lY);
    EXPECT_EQ(a.dTime, b.dTime);
    EXPECT_EQ(a.fAltitude, b.fAltitude);
    EXPECT_EQ(a.fDepth, b.fDepth);
    EXPECT_EQ(a.wType, b.wType);
    EXPECT_EQ(a.btShow, b.btShow);
    EXPECT_EQ(a.fProximity, b.fProximity);
    EXPECT_EQ(a.fTemperature, b.fTemperature);
    EXPECT_EQ(a.strName, b.strName);
    EXPECT_EQ(a.strComment, b.strComment);
}

class WaypointDialogs_ : public ::testing::Test {
protected:
    void SetUp() override {
        test::QtApp();
        g_UnitOptions = UnitOptions{};
        SetUiHost(nullptr);
        HeadlessUiHost().ClearBoxes();
        HeadlessUiHost().ScriptAnswers({});
        HeadlessUiHost().m_nDefaultYesNo = IDNO;
        WaypointDialogs() = CWaypointDialogs{};
        WaypointDialogs().fnChanged = [this] { ++m_cChanged; };
        ASSERT_EQ(m_store.Load(StorePath()), CError());
    }
    void TearDown() override {
        WaypointDialogs() = CWaypointDialogs{};
        g_UnitOptions = UnitOptions{};
    }
    std::string StorePath() const { return m_dir.File("Waypoints.bin"); }
    // The store as saved.
    std::vector<std::u16string> SavedNames() const {
        CWaypointStore saved;
        EXPECT_EQ(saved.Load(StorePath()), CError());
        std::vector<std::u16string> names;
        for (const auto& p : saved.Waypoints()) names.push_back(p->strName);
        return names;
    }
    Waypoint* Add(const char* szName, double dLat, double dLon, std::optional<float> altitude, double dTime = 0) {
        const std::u16string strName = U(szName);
        return m_store.CreateWaypoint(DegreesToSemicircles(dLon), DegreesToSemicircles(dLat), dTime, altitude,
                                      &strName);
    }
    std::vector<std::u16string> RowNames(const CWaypointListDialog& dlg) const {
        std::vector<std::u16string> names;
        for (int r = 0; r < dlg.Model()->rowCount(); ++r) names.push_back(dlg.Model()->At(r)->strName);
        return names;
    }
    std::u16string LastBox() const {
        const auto boxes = HeadlessUiHost().Boxes();
        return boxes.empty() ? std::u16string() : boxes.back().strText;
    }

    test::ScopedSettings m_settings;
    test::TempDir m_dir;
    CWaypointStore m_store;
    int m_cChanged = 0;
};

// Edit dialog.

TEST_F(WaypointDialogs_, EditWritesEveryFieldIntoTheRecord) {
    Waypoint wp;
    wp.dwFlags = wfNoAltitude;
    wp.dTime = 45000.25;
    CWaypointEditDialog dlg(wp, false);
    EXPECT_EQ(dlg.windowTitle(), QtText(LoadStr(IDS_WPT_TITLE_PROPERTIES)));
    EXPECT_EQ(dlg.m_pSymbol->count(), c_cWaypointCount);
    EXPECT_EQ(dlg.m_pSymbol->currentData().toInt(), c_wDefaultWaypointType);
    EXPECT_EQ(dlg.m_pSymbol->itemText(0), QtText(LoadStr(2500)));
    EXPECT_EQ(dlg.m_pShow->currentText(), QtText(LoadStr(2166)));
    EXPECT_TRUE(dlg.m_pAltitude->text().isEmpty());
    EXPECT_EQ(dlg.m_pTime->text(), QtText(WaypointTimeText(45000.25)));

    dlg.m_pName->setText(QStringLiteral("  Родник  "));
    dlg.m_pComment->setText(QStringLiteral("у дороги"));
    dlg.m_pSymbol->setCurrentIndex(41);
    dlg.m_pShow->setCurrentIndex(2);
    dlg.m_pLatitude->setText(QStringLiteral("S33°30.000'"));
    dlg.m_pLongitude->setText(QStringLiteral("151.25"));
    dlg.m_pAltitude->setText(QStringLiteral("120,5"));
    dlg.m_pDepth->setText(QStringLiteral("3"));
    dlg.m_pProximity->setText(QStringLiteral("50"));
    dlg.m_pTemperature->setText(QStringLiteral("-4.5"));
    ASSERT_TRUE(dlg.Apply());
    EXPECT_EQ(wp.strName, U("Родник"));
    EXPECT_EQ(wp.strComment, U("у дороги"));
    EXPECT_EQ(wp.wType, 41);
    EXPECT_EQ(wp.btShow, wsIconAndDesc);
    EXPECT_EQ(wp.lY, DegreesToSemicircles(-33.5));
    EXPECT_EQ(wp.lX, DegreesToSemicircles(151.25));
    EXPECT_TRUE(wp.HasAltitude());
    EXPECT_FLOAT_EQ(wp.fAltitude, 120.5f);
    EXPECT_FLOAT_EQ(wp.fDepth, 3.0f);
    EXPECT_EQ(wp.dwFlags, static_cast<DWORD>(wfProximity | wfTemperature));
    EXPECT_FLOAT_EQ(wp.fProximity, 50.0f);
    EXPECT_FLOAT_EQ(wp.fTemperature, -4.5f);
    EXPECT_EQ(wp.dTime, 45000.25); // read-only
    EXPECT_TRUE(HeadlessUiHost().Boxes().empty());

    // In feet, entries are converted back to metres.
    g_UnitOptions.nElevationUnit = unFeet;
    CWaypointEditDialog feet(wp, false);
    EXPECT_EQ(feet.m_pAltitude->text(), QStringLiteral("395.3"));
    feet.m_pAltitude->setText(QStringLiteral("328.084"));
    ASSERT_TRUE(feet.Apply());
    EXPECT_NEAR(wp.fAltitude, 100.0f, 1e-3);
}

TEST_F(WaypointDialogs_, OkWithoutEditsKeepsTheStoredValuesExactly) {
    Waypoint wp;
    wp.strName = U(" A  "); // imported texts are kept as they are
    wp.strComment = U("two\nlines");
    wp.lX = 123456789; // finer than any position format shows
    wp.lY = -98765433;
    wp.fAltitude = 123.456f;
    wp.fDepth = 0.04f;
    wp.dwFlags = wfProximity | wfTemperature | wfRouteOwned;
    wp.fProximity = 12.345f;
    wp.fTemperature = 21.77f;
    wp.wType = 300; // an imported symbol beyond the known set
    wp.btShow = 3;
    const Waypoint before = wp;
    for (int f = pfSignedDegrees; f <= pfDegreesMinutesSeconds; ++f) {
        g_UnitOptions.nPositionFormat = f;
        CWaypointEditDialog dlg(wp, false);
        EXPECT_EQ(dlg.m_pSymbol->count(), c_cWaypointCount + 1);
        ASSERT_TRUE(dlg.Apply());
        ExpectSame(wp, before);
    }
    // Values hidden behind a clear flag stay too.
    Waypoint hidden;
    hidden.strName = U("B");
    hidden.dwFlags = wfNoAltitude;
    hidden.fAltitude = 3;
    hidden.fProximity = 7;
    hidden.fTemperature = 9;
    const Waypoint hiddenBefore = hidden;
    CWaypointEditDialog dlg(hidden, false);
    EXPECT_TRUE(dlg.m_pProximity->text().isEmpty());
    ASSERT_TRUE(dlg.Apply());
    ExpectSame(hidden, hiddenBefore);
}

TEST_F(WaypointDialogs_, EmptyFieldsClearTheirFlags) {
    Waypoint wp;
    wp.strName = U("A");
    wp.fAltitude = 50;
    wp.fDepth = 2;
    wp.dwFlags = wfProximity | wfTemperature;
    wp.fProximity = 10;
    wp.fTemperature = 5;
    CWaypointEditDialog dlg(wp, false);
    EXPECT_EQ(dlg.m_pAltitude->text(), QStringLiteral("50"));
    EXPECT_EQ(dlg.m_pProximity->text(), QStringLiteral("10"));
    for (QLineEdit* p : {dlg.m_pAltitude, dlg.m_pDepth, dlg.m_pProximity, dlg.m_pTemperature}) p->setText(QStringLiteral(" "));
    ASSERT_TRUE(dlg.Apply());
    EXPECT_FALSE(wp.HasAltitude());
    EXPECT_EQ(wp.dwFlags, static_cast<DWORD>(wfNoAltitude));
    EXPECT_EQ(wp.fAltitude, 0.0f);
    EXPECT_EQ(wp.fDepth, 0.0f);
    EXPECT_EQ(wp.fProximity, 0.0f);
    EXPECT_EQ(wp.fTemperature, 0.0f);
}

TEST_F(WaypointDialogs_, RefusedEntriesChangeNothing) {
    Waypoint wp;
    wp.strName = U("Keep");
    wp.lX = 1000;
    wp.lY = 2000;
    const Waypoint before = wp;
    // The field and its text; the message, and the label it names.
    struct Case {
        QLineEdit* CWaypointEditDialog::*pField;
        const char* szText;
        UINT uMessage;
        UINT uLabel;
    };
    const Case cases[] = {
        {&CWaypointEditDialog::m_pLatitude, "91", IDS_WPT_BAD_LATITUDE, 0},
        {&CWaypointEditDialog::m_pLatitude, "55 61", IDS_WPT_BAD_LATITUDE, 0},
        {&CWaypointEditDialog::m_pLongitude, "N37", IDS_WPT_BAD_LONGITUDE, 0},
        {&CWaypointEditDialog::m_pAltitude, "высоко", IDS_WPT_BAD_VALUE, IDS_WPT_ALTITUDE},
        {&CWaypointEditDialog::m_pProximity, "-5", IDS_WPT_BAD_VALUE, IDS_WPT_PROXIMITY},
        {&CWaypointEditDialog::m_pTemperature, "1e3", IDS_WPT_BAD_VALUE, IDS_WPT_TEMPERATURE},
        {&CWaypointEditDialog::m_pName, "   ", IDS_WPT_NAME_EMPTY, 0},
    };
    for (const Case& c : cases) {
        HeadlessUiHost().ClearBoxes();
        CWaypointEditDialog dlg(wp, false);
        dlg.m_pComment->setText(QStringLiteral("changed")); // not written either
        (dlg.*c.pField)->setText(QString::fromUtf8(c.szText));
        EXPECT_FALSE(dlg.Apply()) << c.szText;
        dlg.accept(); // refused: the dialog stays open
        EXPECT_NE(dlg.result(), QDialog::Accepted);
        ExpectSame(wp, before);
        const auto boxes = HeadlessUiHost().Boxes();
        ASSERT_EQ(boxes.size(), 2u) << c.szText;
        EXPECT_EQ(boxes[0].uStyle & 0xF0, MB_ICONERROR);
        std::u16string strExpected;
        if (c.uLabel) {
            std::u16string strLabel = LoadStr(c.uLabel);
            ASSERT_EQ(strLabel.back(), u':');
            strLabel.pop_back();
            strExpected = FormatMessageId(c.uMessage, strLabel.c_str(), U(c.szText).c_str());
        } else if (c.uMessage == IDS_WPT_NAME_EMPTY) {
            strExpected = LoadStr(c.uMessage);
        } else {
            strExpected = FormatMessageId(c.uMessage, U(c.szText).c_str());
        }
        EXPECT_EQ(boxes[0].strText, strExpected);
    }
}

// Runs the dialog modally and presses a button once it shows.
bool RunAndPress(Waypoint& wp, bool fNew, QDialogButtonBox::StandardButton button,
                 const std::function<void(CWaypointEditDialog&)>& fnEdit) {
    bool fPressed = false;
    QTimer::singleShot(0, [&] {
        auto* pDlg = dynamic_cast<CWaypointEditDialog*>(QApplication::activeModalWidget());
        if (!pDlg) return;
        EXPECT_EQ(pDlg->windowTitle(), QtText(LoadStr(fNew ? IDS_WPT_TITLE_NEW : IDS_WPT_TITLE_PROPERTIES)));
        fnEdit(*pDlg);
        pDlg->findChild<QDialogButtonBox*>()->button(button)->click();
        fPressed = true;
    });
    const bool fOk = RunWaypointEditDialog(wp, fNew, nullptr);
    EXPECT_TRUE(fPressed);
    return fOk;
}

TEST_F(WaypointDialogs_, OkAndCancelButtons) {
    Waypoint wp;
    wp.strName = U("Old");
    const Waypoint before = wp;
    auto fnEdit = [](CWaypointEditDialog& dlg) {
        dlg.m_pName->setText(QStringLiteral("New"));
        dlg.m_pAltitude->setText(QStringLiteral("7"));
    };
    EXPECT_FALSE(RunAndPress(wp, true, QDialogButtonBox::Cancel, fnEdit));
    ExpectSame(wp, before);
    EXPECT_TRUE(RunAndPress(wp, false, QDialogButtonBox::Ok, fnEdit));
    EXPECT_EQ(wp.strName, u"New");
    EXPECT_FLOAT_EQ(wp.fAltitude, 7.0f);
}

TEST_F(WaypointDialogs_, HeadlessEditAnswersAsScripted) {
    Waypoint wp;
    wp.strName = U("A");
    ::unsetenv("VELKA_HEADLESS_WAYPOINT_NAME");
    ::setenv("VELKA_HEADLESS_WAYPOINT_EDIT", "cancel", 1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(HeadlessWaypointEdit(wp, true));
    std::string strOut = testing::internal::GetCapturedStderr();
    EXPECT_NE(strOut.find("dialog: waypoint: " + ToUtf8(LoadStr(IDS_WPT_TITLE_NEW)) + ": A"), std::string::npos);
    EXPECT_NE(strOut.find("dialog: waypoint: cancel"), std::string::npos);
    ::setenv("VELKA_HEADLESS_WAYPOINT_EDIT", "ok", 1);
    ::setenv("VELKA_HEADLESS_WAYPOINT_NAME", "Scripted", 1);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(HeadlessWaypointEdit(wp, false));
    strOut = testing::internal::GetCapturedStderr();
    EXPECT_EQ(wp.strName, u"Scripted");
    EXPECT_NE(strOut.find("dialog: waypoint: ok"), std::string::npos);
    ::unsetenv("VELKA_HEADLESS_WAYPOINT_EDIT");
    ::unsetenv("VELKA_HEADLESS_WAYPOINT_NAME");
}

// List dialog.

TEST_F(WaypointDialogs_, ListShowsLiveWaypointsNewestFirst) {
    Add("first", 10, 20, 100.0f, 45000);
    Waypoint* p = Add("gone", 0, 0, std::nullopt);
    Add("last", -10.5, -20.25, std::nullopt);
    m_store.DeleteWaypoint(p);
    g_UnitOptions.nPositionFormat = pfSignedDegrees;
    CWaypointListDialog dlg(m_store);
    EXPECT_EQ(RowNames(dlg), (std::vector<std::u16string>{u"last", u"first"}));
    EXPECT_EQ(dlg.Model()->columnCount(), 6);
    EXPECT_EQ(dlg.Model()->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
              QtText(LoadStr(IDS_WPT_COLUMN_NAME + 2)));
    auto cell = [&](int r, int c) { return dlg.Model()->data(dlg.Model()->index(r, c), Qt::DisplayRole).toString(); };
    EXPECT_EQ(cell(0, wcPosition), QStringLiteral("-10.50000 -20.25000"));
    EXPECT_EQ(cell(1, wcAltitude), QtText(U("100 м")));
    // The first row is current, so the row commands are enabled.
    EXPECT_EQ(dlg.View()->currentIndex().row(), 0);
}

TEST_F(WaypointDialogs_, HeaderClickSortsAndTheSortIsRestored) {
    Add("b", 1, 1, 5.0f);
    Add("C", 2, 2, std::nullopt);
    Add("a", 3, 3, 1.0f);
    {
        CWaypointListDialog dlg(m_store);
        dlg.resize(600, 300);
        dlg.show();
        QHeaderView* pHeader = dlg.View()->horizontalHeader();
        auto click = [&](int nColumn) {
            const int x = pHeader->sectionViewportPosition(nColumn) + pHeader->sectionSize(nColumn) / 2;
            QTest::mouseClick(pHeader->viewport(), Qt::LeftButton, {}, QPoint(x, pHeader->height() / 2));
        };
        EXPECT_EQ(RowNames(dlg), (std::vector<std::u16string>{u"a", u"C", u"b"})); // list order
        dlg.View()->setCurrentIndex(dlg.Model()->index(1, 0));
        click(wcName);
        EXPECT_EQ(RowNames(dlg), (std::vector<std::u16string>{u"a", u"b", u"C"}));
        EXPECT_EQ(dlg.View()->currentIndex().row(), 2); // "C" stays current
        EXPECT_EQ(ReadSettingInt(u"Waypoints_SortCol", -5), wcName);
        click(wcName);
        EXPECT_EQ(RowNames(dlg), (std::vector<std::u16string>{u"C", u"b", u"a"}));
        EXPECT_EQ(ReadSettingInt(u"Waypoints_SortOrder", -5), 1);
        click(wcAltitude);
        EXPECT_EQ(ReadSettingInt(u"Waypoints_SortCol", -5), wcAltitude);
        EXPECT_EQ(RowNames(dlg), (std::vector<std::u16string>{u"C", u"a", u"b"}));
        dlg.reject();
    }
    CWaypointListDialog again(m_store);
    EXPECT_EQ(again.View()->horizontalHeader()->sortIndicatorSection(), wcAltitude);
    EXPECT_EQ(RowNames(again), (std::vector<std::u16string>{u"C", u"a", u"b"}));
    // A sort cleared by the header goes back to the list order.
    again.Model()->sort(-1, Qt::AscendingOrder);
    EXPECT_EQ(ReadSettingInt(u"Waypoints_SortCol", -5), -1);
    EXPECT_EQ(RowNames(again), (std::vector<std::u16string>{u"a", u"C", u"b"}));
}

TEST_F(WaypointDialogs_, ColumnOrderWidthsAndHiddenColumnsAreKept) {
    Add("a", 1, 1, std::nullopt);
    {
        CWaypointListDialog dlg(m_store);
        QHeaderView* pHeader = dlg.View()->horizontalHeader();
        dlg.ToggleColumn(wcComment);
        EXPECT_TRUE(pHeader->isSectionHidden(wcComment));
        pHeader->moveSection(pHeader->visualIndex(wcTime), 0);
        pHeader->resizeSection(wcName, 77);
        const ListColumnState state = dlg.ColumnState();
        EXPECT_EQ(state.order, (std::vector<int>{wcTime, wcName, wcSymbol, wcPosition, wcAltitude, wcComment}));
        EXPECT_EQ(state.widths[wcComment], 0);
        dlg.reject();
    }
    const std::u16string strKept = ReadSettingString(u"Waypoints_Headers", 256, u"");
    EXPECT_EQ(strKept, u"6 5 0 1 2 3 4 77 90 150 60 0 120 ");
    CWaypointListDialog again(m_store);
    QHeaderView* pHeader = again.View()->horizontalHeader();
    EXPECT_TRUE(pHeader->isSectionHidden(wcComment));
    EXPECT_EQ(pHeader->logicalIndex(0), wcTime);
    EXPECT_EQ(pHeader->sectionSize(wcName), 77);
    // Shown again: fitted, not zero.
    again.ToggleColumn(wcComment);
    EXPECT_FALSE(pHeader->isSectionHidden(wcComment));
    EXPECT_GT(pHeader->sectionSize(wcComment), 10);
    // The last shown column stays.
    for (int c = 0; c < c_cWaypointColumns; ++c) again.ToggleColumn(c);
    EXPECT_EQ(pHeader->hiddenSectionCount(), c_cWaypointColumns - 1);
    // A damaged state is ignored.
    WriteSettingString(u"Waypoints_Headers", u"6 0 0 0 0 0 0 1 1 1 1 1 1 ");
    CWaypointListDialog fresh(m_store);
    EXPECT_EQ(fresh.View()->horizontalHeader()->hiddenSectionCount(), 0);
    EXPECT_EQ(fresh.View()->horizontalHeader()->logicalIndex(0), wcName);
}

TEST_F(WaypointDialogs_, DeleteAsksAndSaves) {
    Add("keep", 1, 1, std::nullopt);
    Add("drop", 2, 2, std::nullopt);
    ASSERT_EQ(m_store.Save(), CError());
    CWaypointListDialog dlg(m_store);
    HeadlessUiHost().ScriptAnswers({IDNO, IDYES});
    dlg.Delete(0);
    EXPECT_EQ(LastBox(), FormatMessageId(2139, u"drop"));
    EXPECT_EQ(RowNames(dlg).size(), 2u);
    EXPECT_EQ(m_cChanged, 0);
    dlg.Delete(0);
    EXPECT_EQ(RowNames(dlg), (std::vector<std::u16string>{u"keep"}));
    EXPECT_EQ(SavedNames(), (std::vector<std::u16string>{u"keep"}));
    EXPECT_EQ(m_cChanged, 1);
    EXPECT_EQ(dlg.View()->currentIndex().row(), 0);

    HeadlessUiHost().ScriptAnswers({IDYES});
    dlg.DeleteAll();
    EXPECT_EQ(LastBox(), LoadStr(2164));
    EXPECT_EQ(dlg.Model()->rowCount(), 0);
    EXPECT_TRUE(SavedNames().empty());
    EXPECT_EQ(m_cChanged, 2);
    dlg.Delete(); // no row: nothing asked
    EXPECT_EQ(HeadlessUiHost().Boxes().size(), 3u);
}

TEST_F(WaypointDialogs_, ShowOnMapPassesMapUnitsAndCloses) {
    Waypoint* p = Add("here", 55.75, 37.62, std::nullopt);
    p->lX = -12345; // odd: map units are half, truncated
    {
        // Without a map side to take it the command is off.
        CWaypointListDialog dlg(m_store);
        dlg.ShowOnMap(0);
        EXPECT_NE(dlg.result(), QDialog::Accepted);
        EXPECT_FALSE(dlg.findChild<QPushButton*>(QString(), Qt::FindChildrenRecursively)->isEnabled());
    }
    std::optional<CMapPoint> shown;
    WaypointDialogs().fnShowOnMap = [&](CMapPoint pt) { shown = pt; };
    CWaypointListDialog dlg(m_store);
    EXPECT_TRUE(dlg.findChild<QPushButton*>()->isEnabled());
    dlg.ShowOnMap(0);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->lX, -6172);
    EXPECT_EQ(shown->lY, p->lY / 2);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
}

TEST_F(WaypointDialogs_, PropertiesEditSavesAndRefreshes) {
    Add("b", 1, 1, std::nullopt);
    Add("a", 2, 2, std::nullopt);
    WriteWaypointListSort({wcName, false});
    int cEdits = 0;
    WaypointDialogs().fnEdit = [&](Waypoint& wp, bool fNew) {
        EXPECT_FALSE(fNew);
        if (++cEdits > 1) return false; // later edits are cancelled
        wp.strName = u"z";
        return true;
    };
    CWaypointListDialog dlg(m_store);
    EXPECT_EQ(RowNames(dlg), (std::vector<std::u16string>{u"a", u"b"}));
    dlg.Properties(0);
    // Sorted again; the edited waypoint stays current.
    EXPECT_EQ(RowNames(dlg), (std::vector<std::u16string>{u"b", u"z"}));
    EXPECT_EQ(dlg.View()->currentIndex().row(), 1);
    EXPECT_EQ(SavedNames(), (std::vector<std::u16string>{u"z", u"b"}));
    EXPECT_EQ(m_cChanged, 1);
    dlg.Properties(0);
    EXPECT_EQ(m_cChanged, 1);
    // A double click opens the properties too.
    dlg.resize(600, 300);
    dlg.show();
    const QRect rect = dlg.View()->visualRect(dlg.Model()->index(0, 0));
    QTest::mouseClick(dlg.View()->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(dlg.View()->viewport(), Qt::LeftButton, {}, rect.center());
    EXPECT_EQ(cEdits, 3);
}

TEST_F(WaypointDialogs_, ImportOfACorpusFileAddsItsWaypoints) {
    const auto path = test::CorpusPath("exchange/gdb/cet-sample.gdb");
    VELKA_REQUIRE_CORPUS(path);
    CWaypointStore direct;
    ASSERT_EQ(direct.Load(m_dir.File("direct.bin")), CError());
    ASSERT_TRUE(ImportExchangeFile(path.string(), ekWaypoints, direct).Imported());
    ASSERT_GT(direct.LiveWaypointCount(), 0u);

    Add("mine", 1, 1, std::nullopt);
    CWaypointListDialog dlg(m_store);
    int cChooser = 0;
    dlg.m_fnChooser = [&](QWidget*, ExchangeKind kind, bool fImport) {
        ++cChooser;
        EXPECT_EQ(kind, ekWaypoints);
        EXPECT_TRUE(fImport);
        return std::optional(ExchangeFileChoice{path.string(), 0});
    };
    dlg.Import(ekWaypoints);
    EXPECT_EQ(cChooser, 1);
    EXPECT_EQ(dlg.Model()->rowCount(), static_cast<int>(direct.LiveWaypointCount()) + 1);
    EXPECT_EQ(SavedNames().size(), direct.LiveWaypointCount() + 1);
    EXPECT_EQ(m_cChanged, 1);
    EXPECT_EQ(dlg.Model()->At(0)->strName, direct.Waypoints().front()->strName);

    // A file no importer takes: message 2129 with its name, no change.
    const std::string strBad = m_dir.File("bad.gdb");
    {
        std::FILE* f = std::fopen(strBad.c_str(), "wb");
        std::fputs("not a waypoint file", f);
        std::fclose(f);
    }
    HeadlessUiHost().ClearBoxes();
    dlg.m_fnChooser = [&](QWidget*, ExchangeKind, bool) { return std::optional(ExchangeFileChoice{strBad, 0}); };
    dlg.Import(ekWaypoints);
    EXPECT_EQ(LastBox(), FormatMessageId(2129, FromUtf8(strBad).c_str()));
    EXPECT_EQ(m_cChanged, 1);
    // Cancelled choosers do nothing.
    dlg.m_fnChooser = [](QWidget*, ExchangeKind, bool) { return std::optional<ExchangeFileChoice>(); };
    dlg.Import(ekRoutes);
    dlg.Export(ekRoutes);
    EXPECT_EQ(m_cChanged, 1);
}

TEST_F(WaypointDialogs_, ExportThenImportGivesTheSameWaypoints) {
    Add("Alpha", 55.75, 37.62, 150.0f, 45000.5);
    // Latin-1 letters: the single-byte formats write code page 1252.
    Add("Bêta", -33.5, 151.25, std::nullopt, 45001.25);
    m_store.Waypoints().front()->strComment = u"comment";
    const auto& registry = WaypointExporters();
    for (int iFormat = 0; iFormat < static_cast<int>(registry.size()); ++iFormat) {
        const std::string strPath = m_dir.File("out" + std::to_string(iFormat) + "." +
                                               ToUtf8(registry[static_cast<std::size_t>(iFormat)].szExtension));
        CWaypointListDialog dlg(m_store);
        dlg.m_fnChooser = [&](QWidget*, ExchangeKind, bool fImport) {
            EXPECT_FALSE(fImport);
            return std::optional(ExchangeFileChoice{strPath, iFormat});
        };
        dlg.Export(ekWaypoints);
        EXPECT_EQ(LastExportFormat(ekWaypoints), iFormat);

        CWaypointStore back;
        ASSERT_EQ(back.Load(m_dir.File("back" + std::to_string(iFormat) + ".bin")), CError());
        CWaypointListDialog in(back);
        in.m_fnChooser = [&](QWidget*, ExchangeKind, bool) { return std::optional(ExchangeFileChoice{strPath, 0}); };
        in.Import(ekWaypoints);
        ASSERT_EQ(back.LiveWaypointCount(), 2u) << strPath;
        for (std::size_t i = 0; i < 2; ++i) {
            const Waypoint& a = *m_store.Waypoints()[i];
            const Waypoint& b = *back.Waypoints()[i];
            EXPECT_EQ(a.strName, b.strName) << strPath;
            EXPECT_NEAR(a.lX, b.lX, 300) << strPath; // text formats keep 6 decimals
            EXPECT_NEAR(a.lY, b.lY, 300) << strPath;
            EXPECT_EQ(a.HasAltitude(), b.HasAltitude()) << strPath;
            if (a.HasAltitude()) {
                EXPECT_NEAR(a.fAltitude, b.fAltitude, 0.01) << strPath;
            }
        }
        EXPECT_EQ(back.Waypoints()[0]->strComment, u"comment") << strPath;
    }
}

TEST_F(WaypointDialogs_, RouteImportReportsItsCounts) {
    const auto path = test::CorpusPath("exchange/ozi/ozi.rte");
    VELKA_REQUIRE_CORPUS(path);
    CWaypointListDialog dlg(m_store);
    dlg.m_fnChooser = [&](QWidget*, ExchangeKind kind, bool) {
        EXPECT_EQ(kind, ekRoutes);
        return std::optional(ExchangeFileChoice{path.string(), 0});
    };
    dlg.Import(ekRoutes);
    ASSERT_GT(m_store.LiveRouteCount(), 0u);
    EXPECT_EQ(LastBox(), FormatMessageId(2190, static_cast<int>(m_store.LiveRouteCount()),
                                         static_cast<int>(m_store.LiveWaypointCount())));
    EXPECT_EQ(dlg.Model()->rowCount(), static_cast<int>(m_store.LiveWaypointCount()));
    EXPECT_EQ(m_cChanged, 1);
}

// The file dialog itself: filters, the proposed name and the last format.
TEST_F(WaypointDialogs_, FileDialogProposesTheLastExportFormat) {
    WriteSettingInt(u"RteExportFormat", 1);
    const std::string strPath = m_dir.File("routes.rte");
    QStringList filters;
    QString strSelected, strProposed;
    QTimer::singleShot(0, [&] {
        auto* pDlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(pDlg);
        filters = pDlg->nameFilters();
        strSelected = pDlg->selectedNameFilter();
        strProposed = pDlg->selectedFiles().value(0);
        pDlg->grab().save(QString::fromUtf8(VELKA_BINARY_DIR "/test-output/waypoint_export_file.png"));
        pDlg->selectFile(QString::fromStdString(strPath));
        static_cast<QDialog*>(pDlg)->accept();
    });
    const auto choice = ChooseExchangeFileWithDialog(nullptr, ekRoutes, false);
    ASSERT_TRUE(choice);
    EXPECT_EQ(choice->strPath, strPath);
    EXPECT_EQ(choice->iFormat, 1);
    const auto expected = ExchangeFilters(ekRoutes, false);
    ASSERT_EQ(filters.size(), static_cast<qsizetype>(expected.size() - 1)); // no "all formats" to save in
    EXPECT_EQ(filters[1], QtText(expected[2].first) + QStringLiteral(" (*.rte)"));
    EXPECT_EQ(strSelected, filters[1]);
    EXPECT_TRUE(strProposed.endsWith(QtText(ProposedExportName(ekRoutes)) + QStringLiteral(".rte"))) << strProposed.toStdString();

    // The open dialog lists every pattern first.
    QTimer::singleShot(0, [&] {
        auto* pDlg = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_TRUE(pDlg);
        filters = pDlg->nameFilters();
        pDlg->reject();
    });
    EXPECT_FALSE(ChooseExchangeFileWithDialog(nullptr, ekWaypoints, true));
    ASSERT_FALSE(filters.isEmpty());
    EXPECT_EQ(filters[0], QtText(LoadStr(2276)) + QStringLiteral(" (*.gdb *.mps *.wpt *.gpx)"));
}

TEST_F(WaypointDialogs_, HeadlessListRunsItsScript) {
    // The program's own wiring of the waypoint dialogs, headless.
    CSubsystemHooks hooks;
    WireNavigation(hooks, true);
    ASSERT_TRUE(hooks.navigation.fnWaypointList);
    ASSERT_TRUE(WaypointDialogs().fnEdit);
    WaypointDialogs().fnChanged = [this] { ++m_cChanged; };
    CWaypointStore& store = TheWaypointStore();
    ASSERT_EQ(store.Load(m_dir.File("Headless.bin")), CError());
    const std::u16string n1 = u"one", n2 = u"two";
    store.CreateWaypoint(0, 0, 0, std::nullopt, &n1);
    store.CreateWaypoint(0, 0, 0, std::nullopt, &n2);
    const std::string strExport = m_dir.File("headless.wpt");
    ::setenv("VELKA_HEADLESS_WAYPOINT_LIST", ("sort=0;delete=0;export-waypoints=" + strExport + ",2;close").c_str(), 1);
    HeadlessUiHost().ScriptAnswers({IDYES});
    testing::internal::CaptureStderr();
    hooks.navigation.fnWaypointList();
    const std::string strOut = testing::internal::GetCapturedStderr();
    ::unsetenv("VELKA_HEADLESS_WAYPOINT_LIST");
    EXPECT_NE(strOut.find("dialog: waypoints: 2 rows"), std::string::npos) << strOut;
    EXPECT_NE(strOut.find("dialog: waypoints: row 0: one |"), std::string::npos) << strOut;
    EXPECT_NE(strOut.find("dialog: waypoints: closed"), std::string::npos) << strOut;
    ASSERT_EQ(store.LiveWaypointCount(), 1u);
    EXPECT_EQ(LiveWaypoints(store).front()->strName, u"two");
    EXPECT_EQ(m_cChanged, 1);
    EXPECT_NE(test::ReadFile(strExport).find("two"), std::string::npos);
    EXPECT_EQ(ReadSettingInt(u"WptExportFormat", 0), 2);
    store.Clear();
}

// The dialogs at the smallest window size: they fit, and pictures of
// them are written for a look (build folder, test-output).
TEST_F(WaypointDialogs_, DialogsFitASmallScreen) {
    Add("Родник у дороги", 55.75, 37.62, 150.0f, 45000.5);
    Add("002", -33.5, 151.25, std::nullopt, 45001.25);
    m_store.Waypoints().front()->strComment = u"Вода круглый год";
    const std::filesystem::path out = std::filesystem::path(VELKA_BINARY_DIR) / "test-output";
    std::filesystem::create_directories(out);
    const QSize small(248, 330);
    WaypointSymbolPixmap() = &DrawnWaypointSymbol;
    m_store.Waypoints().front()->wType = 8;
    EXPECT_EQ(DrawnWaypointSymbol(8).size(), QSize(18, 18));
    EXPECT_EQ(DrawnWaypointSymbol(c_wDefaultWaypointType).size(), QSize(32, 32));

    CWaypointEditDialog edit(*m_store.Waypoints().front(), false);
    EXPECT_LE(edit.minimumSizeHint().width(), small.width());
    EXPECT_LE(edit.minimumSizeHint().height(), small.height());
    edit.resize(small);
    edit.show();
    QApplication::processEvents();
    EXPECT_TRUE(edit.grab().save(QString::fromStdString((out / "waypoint_edit.png").string())));

    CWaypointListDialog list(m_store);
    EXPECT_LE(list.minimumSizeHint().width(), small.width());
    EXPECT_LE(list.minimumSizeHint().height(), small.height());
    list.resize(small);
    list.show();
    QApplication::processEvents();
    EXPECT_TRUE(list.grab().save(QString::fromStdString((out / "waypoint_list.png").string())));
    EXPECT_EQ(list.Model()->data(list.Model()->index(0, wcSymbol), Qt::DecorationRole).typeId(), QMetaType::QIcon);
    list.reject();
    WaypointSymbolPixmap() = nullptr;
}

} // namespace
} // namespace velka
