#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

#include "platform/ui_host.h"
#include "shell/settings.h"
#include "tests/tracks/track_test_support.h"
#include "tracks/file_utils.h"
#include "tracks/semicircles.h"
#include "tracks/visual_track.h"

namespace velka {
namespace {


constexpr int c_cxView = 800;
constexpr int c_cyView = 600;

// A north-up view: map units relative to an origin, lStep units a pixel,
// rounded to the nearest pixel (fixes carry single-precision degrees).
struct CTestView {
    std::int32_t lX0 = 0;
    std::int32_t lY0 = 0;
    std::int32_t lStep = 4096;
    POINT operator()(const CMapPoint& p) const {
        return {static_cast<LONG>(std::lround((double(p.lX) - lX0) / lStep)),
                static_cast<LONG>(std::lround((double(lY0) - p.lY) / lStep))};
    }
};

// Degrees of the point that the view puts at pixel (x, y).
std::pair<float, float> DegreesAt(const CTestView& v, int x, int y) {
    const double dUnitsPerDegree = 1073741824.0 / 180.0;
    return {static_cast<float>((v.lX0 + x * v.lStep) / dUnitsPerDegree),
            static_cast<float>((v.lY0 - y * v.lStep) / dUnitsPerDegree)};
}

class VisualTrack : public ::testing::Test {
protected:
    void SetUp() override {
        m_view.lX0 = DegreesToSemicircles(7.4) / 2;
        m_view.lY0 = DegreesToSemicircles(43.75) / 2;
        ASSERT_EQ(OpenOnScreenTrack(), CError());
        EnableVisualTrack();
    }
    std::string RingPath() const { return m_scope.Folder() + "/Tracks.bin"; }
    CTrackLog Ring() const {
        CTrackLog log{};
        std::string bytes = test::ReadFile(RingPath());
        EXPECT_EQ(bytes.size(), c_cbTrackLog);
        if (bytes.size() == c_cbTrackLog) std::memcpy(&log, bytes.data(), c_cbTrackLog);
        return log;
    }
    void AddAt(int x, int y) {
        auto [lon, lat] = DegreesAt(m_view, x, y);
        AddVisualPoint(lon, lat);
    }
    CRecordingCanvas Draw(bool* pfDone = nullptr) {
        CRecordingCanvas canvas(c_cxView, c_cyView);
        bool fDone = DrawVisualTrack(canvas, m_view, [] { return false; }, c_cxView, c_cyView);
        if (pfDone) *pfDone = fDone;
        return canvas;
    }

    test::ScopedTracks m_scope;
    CTestView m_view;
};

TEST_F(VisualTrack, OpenCreatesAClearedRingThatPersists) {
    CTrackLog log = Ring();
    EXPECT_EQ(log.dwEnd, 0u);
    EXPECT_EQ(log.dwWrapped, 0u);
    AddAt(10, 10); // the first point after clearing starts a segment
    AddAt(20, 20);
    CloseOnScreenTrack();
    EXPECT_FALSE(IsVisualTrackMapped());
    log = Ring();
    EXPECT_EQ(log.dwEnd, 2u);
    EXPECT_TRUE(log.aPoints[0].dwLatitude & c_dwSegmentStart);
    EXPECT_FALSE(log.aPoints[1].dwLatitude & c_dwSegmentStart);

    ASSERT_EQ(OpenOnScreenTrack(), CError()); // kept across runs
    EXPECT_EQ(Ring().dwEnd, 2u);
    EXPECT_EQ(Draw().Polylines().size(), 1u);
}

TEST_F(VisualTrack, DamagedRingFilesAreCleared) {
    AddAt(1, 1);
    AddAt(2, 2);
    CloseOnScreenTrack();
    {   // a short file of junk
        int fd = ::open(RingPath().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        ASSERT_EQ(::write(fd, "junk", 4), 4);
        ::close(fd);
    }
    ASSERT_EQ(OpenOnScreenTrack(), CError());
    EXPECT_EQ(test::ReadFile(RingPath()), std::string(c_cbTrackLog, '\0'));
    AddAt(1, 1);
    CloseOnScreenTrack();
    {   // a longer file, and an impossible end index
        std::string bytes = test::ReadFile(RingPath());
        bytes += "tail";
        const DWORD dwEnd = 12345;
        std::memcpy(bytes.data(), &dwEnd, 4);
        int fd = ::open(RingPath().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(fd);
    }
    ASSERT_EQ(OpenOnScreenTrack(), CError());
    EXPECT_EQ(test::ReadFile(RingPath()), std::string(c_cbTrackLog, '\0'));
    CloseOnScreenTrack();
    {   // the right size but an impossible end index
        std::string bytes(c_cbTrackLog, '\x55');
        int fd = ::open(RingPath().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        ::close(fd);
    }
    ASSERT_EQ(OpenOnScreenTrack(), CError());
    EXPECT_EQ(Ring().dwEnd, 0u);
    EXPECT_TRUE(Draw().Polylines().empty());
}

TEST_F(VisualTrack, RingWrapsAndDrawsOldestFirst) {
    for (int i = 0; i < 10001; ++i) AddAt(i % 700, (i / 700) % 500);
    CTrackLog log = Ring();
    EXPECT_EQ(log.dwEnd, 1u);
    EXPECT_EQ(log.dwWrapped, 1u);
    // Index 0 now holds the 10001st point.
    EXPECT_EQ(VisualPointToMap(log.aPoints[0]).lX,
              DegreesToSemicircles(DegreesAt(m_view, 10000 % 700, 0).first) / 2);

    std::vector<CMapPoint> order;
    CRecordingCanvas canvas(c_cxView, c_cyView);
    DrawVisualTrack(
        canvas,
        [&](const CMapPoint& p) {
            order.push_back(p);
            return m_view(p);
        },
        [] { return false; }, c_cxView, c_cyView);
    ASSERT_EQ(order.size(), c_cMaxPoints);
    for (DWORD k = 0; k < c_cMaxPoints; ++k)
        ASSERT_EQ(order[k], VisualPointToMap(log.aPoints[(1 + k) % c_cMaxPoints])) << k;
}

TEST_F(VisualTrack, LongPathsSplitIntoJoinedPolylinesOf1000) {
    for (int i = 0; i < 2500; ++i) AddAt(i % 800, i / 800);
    CRecordingCanvas canvas = Draw();
    ASSERT_EQ(canvas.Polylines().size(), 3u);
    EXPECT_EQ(canvas.Polylines()[0].size(), 1000u);
    EXPECT_EQ(canvas.Polylines()[1].size(), 1000u);
    EXPECT_EQ(canvas.Polylines()[2].size(), 502u); // starts again at the last point drawn
    EXPECT_EQ(canvas.Polylines()[0].back(), canvas.Polylines()[1].front());
    EXPECT_EQ(canvas.Polylines()[1].back(), canvas.Polylines()[2].front());
    // The pen is selected once per pass: solid, 2 pixels, RGB(207, 4, 218).
    ASSERT_EQ(canvas.Pens().size(), 1u);
    EXPECT_EQ(canvas.Pens()[0], (CPenDesc{PS_SOLID, 2, RGB(207, 4, 218)}));
}

TEST_F(VisualTrack, BreaksAndFarPointsCutThePath) {
    AddAt(10, 10);
    AddAt(20, 10);
    BreakVisualTrack(); // both neighbours on screen, still not joined
    AddAt(30, 10);
    AddAt(40, 10);
    AddAt(5000, 10); // far outside: cuts
    AddAt(50, 10);
    AddAt(60, 10);
    AddAt(-900, 10); // more than a view width to the left
    AddAt(70, 10);   // a single visible point between two invisible ones
    AddAt(2000, 10);
    AddAt(1500, 100); // inside the margin of one view size: still drawn
    AddAt(1590, 100);
    CRecordingCanvas canvas = Draw();
    ASSERT_EQ(canvas.Polylines().size(), 4u);
    EXPECT_EQ(canvas.Polylines()[0], (std::vector<POINT>{{10, 10}, {20, 10}}));
    EXPECT_EQ(canvas.Polylines()[1], (std::vector<POINT>{{30, 10}, {40, 10}}));
    EXPECT_EQ(canvas.Polylines()[2], (std::vector<POINT>{{50, 10}, {60, 10}}));
    EXPECT_EQ(canvas.Polylines()[3], (std::vector<POINT>{{1500, 100}, {1590, 100}}));
}

TEST_F(VisualTrack, DisablingStopsAddingAndBreaksThePath) {
    AddAt(10, 10);
    AddAt(20, 20);
    DisableVisualTrack();
    AddAt(30, 30);
    EXPECT_EQ(Ring().dwEnd, 2u);
    EnableVisualTrack();
    AddAt(40, 40);
    AddAt(50, 50);
    CRecordingCanvas canvas = Draw();
    ASSERT_EQ(canvas.Polylines().size(), 2u);
    EXPECT_EQ(canvas.Polylines()[1].front(), (POINT{40, 40}));
}

TEST_F(VisualTrack, InterruptionStopsAtOnce) {
    for (int i = 0; i < 3000; ++i) AddAt(i % 800, i / 800);
    int cAsked = 0;
    CRecordingCanvas canvas(c_cxView, c_cyView);
    // Asked at the segment start of the first point, before the first
    // polyline, and before the second, which is not drawn.
    const bool fDone = DrawVisualTrack(canvas, m_view, [&] { return ++cAsked > 2; }, c_cxView,
                                       c_cyView);
    EXPECT_FALSE(fDone);
    EXPECT_EQ(cAsked, 3);
    EXPECT_EQ(canvas.Polylines().size(), 1u);
}

TEST_F(VisualTrack, LatitudeKeeps31BitsAndSign) {
    m_view = CTestView{0, 0, 1 << 20};
    AddVisualPoint(-179.5f, -89.5f);
    AddVisualPoint(179.5f, 90.0f); // the pole is clamped to the largest 31-bit value
    CTrackLog log = Ring();
    EXPECT_EQ(VisualPointToMap(log.aPoints[0]).lY, DegreesToSemicircles(-89.5) >> 1);
    EXPECT_EQ(VisualPointToMap(log.aPoints[0]).lX, DegreesToSemicircles(-179.5) >> 1);
    EXPECT_EQ(VisualPointToMap(log.aPoints[1]).lY, ((1 << 30) - 1) >> 1);
    EXPECT_TRUE(log.aPoints[0].dwLatitude & c_dwSegmentStart);
}

TEST(VisualTrackOpen, FailuresLeaveTheTrackUnmapped) {
    test::ScopedTracks scope;
    CHeadlessUiHost& host = HeadlessUiHost();
    host.ClearBoxes();
    // Another instance holds the ring.
    const std::string ring = scope.Folder() + "/Tracks.bin";
    int fd = ::open(ring.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const CError locked = OpenOnScreenTrack();
    ::close(fd);
    EXPECT_EQ(locked.code, ErrorCode::CannotCreateFile);
    EXPECT_NE(ErrorText(locked).find(u"Tracks.bin"), std::u16string::npos);
    EXPECT_TRUE(host.Boxes().empty()) << "the caller shows it";
    EXPECT_FALSE(IsVisualTrackMapped());
    EnableVisualTrack();
    AddVisualPoint(1, 1); // nothing to add to, nothing to draw
    CRecordingCanvas canvas(100, 100);
    EXPECT_TRUE(DrawVisualTrack(canvas, CTestView{}, [] { return false; }, 100, 100));
    EXPECT_TRUE(canvas.Polylines().empty());

    // A folder that cannot be made.
    SetTracksFolder(ring + "/sub");
    EXPECT_EQ(OpenOnScreenTrack().code, ErrorCode::CannotCreateFile);
    EXPECT_FALSE(IsVisualTrackMapped());
    EXPECT_TRUE(host.Boxes().empty());
    host.ClearBoxes();
}

TEST(VisualTrackOpen, FollowsRecordTrackAndTheScreenFactor) {
    test::ScopedTracks scope;
    WriteSettingBool(u"RecordTrack", true);
    ASSERT_EQ(OpenOnScreenTrack(2), CError());
    EXPECT_TRUE(IsVisualTrackEnabled());
    EXPECT_EQ(VisualTrackPen().nWidth, 3);
}

// The reader thread appends while the user-interface thread draws.
TEST_F(VisualTrack, ReaderThreadAddsWhileDrawing) {
    std::atomic<bool> fDone{false};
    std::thread reader([&] {
        for (int i = 0; i < 25000; ++i) {
            AddAt(i % 800, (i / 800) % 600);
            if (i % 333 == 0) BreakVisualTrack();
        }
        fDone = true;
    });
    for (int cDraws = 0; !fDone || cDraws == 0; ++cDraws) Draw();
    reader.join();
    // 25000 points with a break every 333: the last 10000 in the ring.
    EXPECT_GE(Draw().Polylines().size(), 10000u / 333);
    CTrackLog log = Ring();
    EXPECT_LT(log.dwEnd, c_cMaxPoints);
    EXPECT_EQ(log.dwWrapped, 1u);
}

} // namespace
} // namespace velka
