#include <filesystem>

#include <gtest/gtest.h>

#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/message_boxes.h"
#include "shell/resources.h"
#include "tests/support/test_support.h"
#include "tests/waypoints/oracle.h"
#include "waypoints/waypoint_commands.h"
#include "waypoints/waypoint_store.h"

namespace velka {
namespace {

std::u16string U(const char* s) { return FromUtf8(s); }

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { HeadlessUiHost().ClearBoxes(); }
    test::ScopedSettings m_settings;
    test::TempDir m_dir;
    CWaypointStore m_store;
};

TEST_F(StoreTest, NamesTakeTheFirstFreeNumber) {
    const std::u16string n1 = U("001"), n3 = U("003");
    m_store.CreateWaypoint(0, 0, 0, std::nullopt, &n1);
    m_store.CreateWaypoint(0, 0, 0, std::nullopt, &n3);
    Waypoint* w = m_store.CreateWaypoint(10, 20, 0, 5.0f, nullptr);
    EXPECT_EQ(w->strName, U("002"));
    EXPECT_EQ(m_store.Waypoints().front().get(), w); // new ones first
    EXPECT_TRUE(w->HasAltitude());
    EXPECT_EQ(w->wType, 18);
    EXPECT_EQ(w->btShow, 1);
    EXPECT_FALSE(m_store.Waypoints()[1]->HasAltitude());
    // A deleted waypoint frees its name.
    m_store.DeleteWaypoint(m_store.Waypoints()[2].get());
    EXPECT_EQ(m_store.FreeWaypointName(), U("001"));

    m_store.CreateRoute(&n1, 1.0);
    m_store.CreateRoute(&n3, 1.0);
    Route* r = m_store.CreateRoute(nullptr, 0);
    EXPECT_EQ(r->strName, U("002"));
    EXPECT_GT(r->dTime, 40000.0); // the current time
    EXPECT_EQ(m_store.CopyRoute(*r)->strName, U("002 (1)"));
    EXPECT_EQ(m_store.CopyRoute(*r)->strName, U("002 (2)"));
}

TEST_F(StoreTest, DeletingWaypointsAndRoutesKeepsReferencesRight) {
    Waypoint* a = m_store.CreateWaypoint(100, 200, 0, std::nullopt, nullptr);
    Waypoint* b = m_store.CreateWaypoint(300, 400, 0, std::nullopt, nullptr);
    b->dwFlags |= wfRouteOwned;
    Route* r1 = m_store.CreateRoute(nullptr, 1);
    Route* r2 = m_store.CreateRoute(nullptr, 1);
    m_store.AppendPoint(*r1, test::RefPoint(a));
    m_store.AppendPoint(*r1, test::RefPoint(b));
    m_store.AppendPoint(*r2, test::RefPoint(b));
    EXPECT_EQ(a->cRefs, 1);
    EXPECT_EQ(b->cRefs, 2);

    // The point of a deleted waypoint keeps its place.
    m_store.DeleteWaypoint(a);
    EXPECT_TRUE(a->IsDeleted());
    EXPECT_EQ(r1->points[0].pWaypoint, nullptr);
    EXPECT_EQ(r1->points[0].X(), 100);
    EXPECT_EQ(r1->points[0].Y(), 200);

    // The active route is refused with message 2181, a warning for the
    // caller to show; the store itself shows nothing.
    m_store.SetActiveRoute(r1);
    const CError refused = m_store.DeleteRoute(r1);
    EXPECT_EQ(refused.code, ErrorCode::ActiveRouteNotDeleted);
    EXPECT_EQ(ErrorText(refused), LoadStr(2181));
    EXPECT_EQ(ErrorIcon(refused), MB_ICONWARNING);
    EXPECT_TRUE(HeadlessUiHost().Boxes().empty());
    EXPECT_FALSE(r1->IsDeleted());
    m_store.SetActiveRoute(nullptr);

    // A route-owned waypoint goes with the last route using it.
    EXPECT_EQ(m_store.DeleteRoute(r2), CError());
    EXPECT_EQ(b->cRefs, 1);
    EXPECT_FALSE(b->IsDeleted());
    EXPECT_EQ(m_store.DeleteRoute(r1), CError());
    EXPECT_EQ(b->cRefs, 0);
    EXPECT_TRUE(b->IsDeleted());
    EXPECT_EQ(m_store.LiveRouteCount(), 0u);
}

TEST_F(StoreTest, WaypointNearPicksTheClosestInsideTheRadius) {
    // Map units: semicircles / 2. Around 60 degrees north a unit of x is half as long.
    const LONG lY = static_cast<LONG>(60.0 / 180.0 * 2147483648.0);
    const double dUnitsPerMetre = 1073741824.0 / 2e7;
    Waypoint* near = m_store.CreateWaypoint(static_cast<LONG>(2 * 2 * 40 * dUnitsPerMetre), lY, 0, {}, nullptr);
    m_store.CreateWaypoint(static_cast<LONG>(2 * 2 * 70 * dUnitsPerMetre), lY, 0, {}, nullptr);
    const CMapPoint pt{0, lY / 2};
    EXPECT_EQ(m_store.WaypointNear(pt, 50), near); // 40 m east at cos 0.5
    EXPECT_EQ(m_store.WaypointNear(pt, 30), nullptr);
    m_store.DeleteWaypoint(near);
    EXPECT_NE(m_store.WaypointNear(pt, 80), nullptr);
    EXPECT_EQ(m_store.WaypointNear(pt, 50), nullptr);
}

TEST_F(StoreTest, WaypointsOnlyStoreIsWrittenAsWrAndReadBackIdentically) {
    Waypoint* w = m_store.CreateWaypoint(-5, 7, 45000.5, 123.5f, nullptr);
    w->strComment = U("Комментарий");
    w->strText3 = U("third");
    w->strText4 = U("fourth");
    w->wType = 0x1234;
    w->btShow = 2;
    w->dwFlags |= wfProximity | wfTemperature;
    w->fProximity = 50;
    w->fTemperature = -3.5f;
    m_store.CreateWaypoint(1, 2, 0, std::nullopt, nullptr);
    const std::vector<BYTE> data = m_store.Serialize();
    ASSERT_GT(data.size(), 5u);
    EXPECT_EQ(data[0], 'W');
    EXPECT_EQ(data[1], 'R');
    EXPECT_EQ(data[2], 2);
    EXPECT_EQ(data[3], 40);
    EXPECT_EQ(data[4], 4);
    CWaypointStore back;
    ASSERT_TRUE(back.Parse(data));
    ASSERT_EQ(back.Waypoints().size(), 2u);
    EXPECT_FALSE(back.Waypoints()[0]->HasAltitude());
    const Waypoint& b = *back.Waypoints()[1];
    EXPECT_EQ(b.lX, -5);
    EXPECT_EQ(b.lY, 7);
    EXPECT_EQ(b.dTime, 45000.5);
    EXPECT_EQ(b.fAltitude, 123.5f);
    EXPECT_EQ(b.wType, 0x1234);
    EXPECT_EQ(b.btShow, 2);
    EXPECT_EQ(b.strComment, U("Комментарий"));
    EXPECT_EQ(b.strText4, U("fourth"));
    EXPECT_EQ(b.fTemperature, -3.5f);
    EXPECT_EQ(back.Serialize(), data);
}

TEST_F(StoreTest, RoutePointsAreStoredWithTheirFlags) {
    Waypoint* kept = m_store.CreateWaypoint(1, 1, 0, std::nullopt, nullptr);
    Waypoint* gone = m_store.CreateWaypoint(50, 60, 0, std::nullopt, nullptr);
    Route* r = m_store.CreateRoute(nullptr, 2);
    m_store.AppendPoint(*r, test::RefPoint(kept));
    m_store.AppendPoint(*r, test::RefPoint(gone));
    m_store.AppendPoint(*r, test::PlainPoint(7, 8, rkRouting | rkManoeuvre, 300));
    m_store.AppendPoint(*r, test::PlainPoint(9, 10, rkVia, 200, U("Main St")));
    m_store.AppendPoint(*r, test::PlainPoint(11, 12, rkRoundaboutEntry, 0, {}, 3));
    // A point whose waypoint is gone is written with that waypoint's position.
    gone->dwFlags |= wfDeleted;

    const std::vector<BYTE> data = m_store.Serialize();
    EXPECT_EQ(data[0], 'R');
    EXPECT_EQ(data[2], 12);
    CWaypointStore back;
    ASSERT_TRUE(back.Parse(data));
    ASSERT_EQ(back.Waypoints().size(), 1u);
    ASSERT_EQ(back.Routes().size(), 1u);
    const auto& pts = back.Routes()[0]->points;
    ASSERT_EQ(pts.size(), 5u);
    EXPECT_EQ(pts[0].pWaypoint, back.Waypoints()[0].get());
    EXPECT_EQ(back.Waypoints()[0]->cRefs, 1);
    EXPECT_EQ(pts[0].btStorage, 0x01);
    EXPECT_EQ(pts[1].pWaypoint, nullptr);
    EXPECT_EQ(pts[1].btStorage, 0x02);
    EXPECT_EQ(pts[1].lX, 50);
    EXPECT_EQ(pts[1].lY, 60);
    EXPECT_EQ(pts[2].btStorage, 0x02 | 0x04 | 0x40); // 300 as uint32
    EXPECT_EQ(pts[2].dwValue, 300u);
    EXPECT_EQ(pts[2].btKind, rkRouting | rkManoeuvre);
    EXPECT_EQ(pts[3].btStorage, 0x02 | 0x10 | 0x20); // 200 as one byte, a name
    EXPECT_EQ(pts[3].dwValue, 200u);
    EXPECT_EQ(pts[3].strName, U("Main St"));
    EXPECT_EQ(pts[3].btKind, rkVia);
    EXPECT_EQ(pts[4].btStorage, 0x02 | 0x04); // value 0: neither
    EXPECT_EQ(pts[4].btExtra, 3);
    EXPECT_EQ(back.Serialize(), data);
}

TEST_F(StoreTest, ReaderSkipsToTheEntriesWhateverTheHeaderLength) {
    m_store.CreateWaypoint(42, 43, 0, std::nullopt, nullptr);
    std::vector<BYTE> data = m_store.Serialize();
    // A longer header with fields this reader does not know.
    data[2] = 7;
    data.insert(data.begin() + 5, {0xAA, 0xBB, 0xCC, 0xDD, 0xEE});
    CWaypointStore back;
    ASSERT_TRUE(back.Parse(data));
    ASSERT_EQ(back.Waypoints().size(), 1u);
    EXPECT_EQ(back.Waypoints()[0]->lX, 42);
}

TEST_F(StoreTest, SaveAndLoadGoThroughTheFile) {
    const std::string strPath = m_dir.File("sub/Waypoints.bin");
    m_store.CreateWaypoint(1, 2, 0, std::nullopt, nullptr);
    Route* r = m_store.CreateRoute(nullptr, 3);
    m_store.AppendPoint(*r, test::RefPoint(m_store.Waypoints()[0].get()));
    m_store.SetActiveRoute(r);
    ASSERT_EQ(m_store.Save(strPath), CError());
    CWaypointStore back;
    EXPECT_EQ(back.Load(strPath), CError());
    EXPECT_EQ(back.LiveWaypointCount(), 1u);
    EXPECT_EQ(back.LiveRouteCount(), 1u);
    EXPECT_EQ(back.ActiveRoute(), nullptr); // setting Navigation is not 1
    EXPECT_TRUE(HeadlessUiHost().Boxes().empty());
    // A missing file is an empty store, quietly.
    EXPECT_EQ(back.Load(m_dir.File("none.bin")), CError());
    EXPECT_EQ(back.Waypoints().size(), 0u);
    EXPECT_TRUE(HeadlessUiHost().Boxes().empty());
}

TEST_F(StoreTest, DamagedFileIsReportedAndKeptAside) {
    const std::string strPath = m_dir.File("Waypoints.bin");
    m_store.CreateWaypoint(1, 2, 0, std::nullopt, nullptr);
    m_store.CreateWaypoint(3, 4, 0, std::nullopt, nullptr);
    std::vector<BYTE> good = m_store.Serialize();

    for (int nCase = 0; nCase < 2; ++nCase) {
        HeadlessUiHost().ClearBoxes();
        std::vector<BYTE> bad = good;
        if (nCase == 0) bad[0] = 'X';                    // neither magic
        else bad.resize(bad.size() - 3);                 // the last waypoint cut short
        {
            std::FILE* f = std::fopen(strPath.c_str(), "wb");
            std::fwrite(bad.data(), 1, bad.size(), f);
            std::fclose(f);
        }
        CWaypointStore back;
        const CError damaged = back.Load(strPath);
        EXPECT_EQ(damaged.code, ErrorCode::WaypointsFileDamaged);
        EXPECT_EQ(ErrorText(damaged), LoadStr(2130));
        // The box is the caller's: the store shows none.
        EXPECT_TRUE(HeadlessUiHost().Boxes().empty());
        ShowErrorBox(damaged);
        ASSERT_EQ(HeadlessUiHost().Boxes().size(), 1u);
        EXPECT_EQ(HeadlessUiHost().Boxes()[0].strText, LoadStr(2130));
        EXPECT_EQ(HeadlessUiHost().Boxes()[0].uStyle, MB_ICONERROR);
        EXPECT_EQ(back.LiveWaypointCount(), nCase == 0 ? 0u : 1u);
        // The next save writes a new file and leaves the damaged one alone.
        EXPECT_EQ(back.Save(), CError());
        const std::string strAside = m_dir.File(nCase == 0 ? "Waypoints.bin.damaged" : "Waypoints.bin.damaged-1");
        ASSERT_TRUE(std::filesystem::exists(strAside));
        EXPECT_EQ(test::ReadFile(strAside), std::string(bad.begin(), bad.end()));
        CWaypointStore again;
        EXPECT_EQ(again.Load(strPath), CError());
    }
}

TEST_F(StoreTest, SaveReportsAFileThatCannotBeWritten) {
    m_store.CreateWaypoint(1, 2, 0, std::nullopt, nullptr);
    // The folder is a file: nothing can be created under it.
    const std::string strFile = m_dir.File("plain");
    std::fclose(std::fopen(strFile.c_str(), "wb"));
    const CError error = m_store.Save(strFile + "/Waypoints.bin");
    EXPECT_EQ(error.code, ErrorCode::CannotCreateFolder);
    // The text names the folder, as the box always did.
    ASSERT_FALSE(error.args.empty());
    EXPECT_EQ(error.args[0], CErrorArg(FromUtf8(strFile)));
    EXPECT_TRUE(HeadlessUiHost().Boxes().empty());
    EXPECT_EQ(m_store.LiveWaypointCount(), 1u);
}

TEST_F(StoreTest, WaypointCommandsAskSaveAndMove) {
    const std::string strPath = m_dir.File("Waypoints.bin");
    ASSERT_EQ(m_store.Load(strPath), CError());
    GpsFix fix;
    fix.SetAltitude(321.0f);
    Waypoint* w = BeginNewWaypoint(m_store, CMapPoint{1000, -2000}, &fix);
    EXPECT_EQ(w->lX, 2000);
    EXPECT_EQ(w->lY, -4000);
    EXPECT_EQ(w->fAltitude, 321.0f);
    EXPECT_GT(w->dTime, 40000.0);
    Waypoint* cancelled = BeginNewWaypoint(m_store, CMapPoint{0, 0}, nullptr);
    EXPECT_FALSE(cancelled->HasAltitude());
    CancelNewWaypoint(m_store, cancelled);
    EXPECT_TRUE(cancelled->IsDeleted());
    EXPECT_EQ(ConfirmNewWaypoint(m_store, w), CError());
    EXPECT_TRUE(std::filesystem::exists(strPath));

    CWaypointMover mover;
    mover.Begin(w);
    const StoreChange moved = mover.DropAt(m_store, CMapPoint{5, 6});
    EXPECT_TRUE(moved.fChanged);
    EXPECT_EQ(moved.error, CError());
    EXPECT_EQ(w->lX, 10);
    EXPECT_FALSE(mover.IsMoving());

    // Asked through the user interface's box: no, then yes.
    HeadlessUiHost().ScriptAnswers({IDNO, IDYES});
    EXPECT_FALSE(DeleteWaypointAsked(m_store, w, AskQuestionBox).fChanged);
    EXPECT_FALSE(w->IsDeleted());
    EXPECT_TRUE(DeleteWaypointAsked(m_store, w, AskQuestionBox).fChanged);
    EXPECT_TRUE(w->IsDeleted());
    const auto boxes = HeadlessUiHost().Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].strText, FormatMessageId(2139, w->strName.c_str()));
    EXPECT_EQ(boxes[0].uStyle, MB_YESNO | MB_ICONQUESTION);
    HeadlessUiHost().ScriptAnswers({});
    CWaypointStore back;
    ASSERT_EQ(back.Load(strPath), CError());
    EXPECT_EQ(back.LiveWaypointCount(), 0u);
}

TEST_F(StoreTest, RefusedDeleteQuestionsChangeAndSaveNothing) {
    const std::string strPath = m_dir.File("Waypoints.bin");
    ASSERT_EQ(m_store.Load(strPath), CError());
    const std::u16string name = U("Home"), routeName = U("Trip");
    Waypoint* w = m_store.CreateWaypoint(1, 2, 0, std::nullopt, &name);
    Route* r = m_store.CreateRoute(&routeName, 1);
    m_store.AppendPoint(*r, test::RefPoint(w));
    ASSERT_EQ(m_store.Save(), CError());
    const std::string saved = test::ReadFile(strPath);

    std::vector<CError> questions;
    const AskFn no = [&](const CError& q) {
        questions.push_back(q);
        return false;
    };
    for (const StoreChange& change : {DeleteWaypointAsked(m_store, w, no), DeleteAllWaypointsAsked(m_store, no),
                                      DeleteRouteAsked(m_store, r, no)}) {
        EXPECT_FALSE(change.fChanged);
        EXPECT_EQ(change.error, CError());
    }
    // The texts the boxes showed before.
    ASSERT_EQ(questions.size(), 3u);
    EXPECT_EQ(ErrorText(questions[0]), FormatMessageId(2139, name.c_str()));
    EXPECT_EQ(ErrorText(questions[1]), LoadStr(2164));
    EXPECT_EQ(ErrorText(questions[2]), FormatMessageId(2180, routeName.c_str()));
    for (const CError& q : questions) EXPECT_EQ(ErrorIcon(q), MB_ICONQUESTION);
    // Without a way to ask, the answer is no.
    EXPECT_FALSE(DeleteAllWaypointsAsked(m_store, AskFn{}).fChanged);

    EXPECT_FALSE(w->IsDeleted());
    EXPECT_FALSE(r->IsDeleted());
    EXPECT_EQ(w->cRefs, 1);
    EXPECT_EQ(test::ReadFile(strPath), saved);
    EXPECT_TRUE(HeadlessUiHost().Boxes().empty());
}

TEST_F(StoreTest, CommandsReturnTheRefusalAndTheSaveError) {
    Route* active = m_store.CreateRoute(nullptr, 1);
    Route* other = m_store.CreateRoute(nullptr, 1);
    m_store.SetActiveRoute(active);
    const AskFn yes = [](const CError&) { return true; };
    const StoreChange refused = DeleteRouteAsked(m_store, active, yes);
    EXPECT_FALSE(refused.fChanged);
    EXPECT_EQ(refused.error.code, ErrorCode::ActiveRouteNotDeleted);
    EXPECT_FALSE(active->IsDeleted());
    // Deleting them all keeps the active one and says so.
    EXPECT_EQ(m_store.DeleteAllRoutes().code, ErrorCode::ActiveRouteNotDeleted);
    EXPECT_FALSE(active->IsDeleted());
    EXPECT_TRUE(other->IsDeleted());

    // A store whose folder is a file: the change stays in memory and the
    // save's error comes back with it.
    const std::string strFile = m_dir.File("plain");
    std::fclose(std::fopen(strFile.c_str(), "wb"));
    CWaypointStore blocked;
    EXPECT_EQ(blocked.Load(strFile + "/Waypoints.bin").code, ErrorCode::CannotOpenFile);
    Waypoint* w = blocked.CreateWaypoint(1, 2, 0, std::nullopt, nullptr);
    EXPECT_EQ(ConfirmNewWaypoint(blocked, w).code, ErrorCode::CannotCreateFolder);
    CWaypointMover mover;
    mover.Begin(w);
    const StoreChange moved = mover.DropAt(blocked, CMapPoint{5, 6});
    EXPECT_TRUE(moved.fChanged);
    EXPECT_EQ(moved.error.code, ErrorCode::CannotCreateFolder);
    EXPECT_EQ(w->lX, 10);
    const StoreChange deleted = DeleteWaypointAsked(blocked, w, yes);
    EXPECT_TRUE(deleted.fChanged);
    EXPECT_EQ(deleted.error.code, ErrorCode::CannotCreateFolder);
    EXPECT_TRUE(w->IsDeleted());
    EXPECT_TRUE(HeadlessUiHost().Boxes().empty());
}

} // namespace
} // namespace velka
