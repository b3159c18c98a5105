#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cmath>
#include <cstring>
#include <pugixml.hpp>
#include <filesystem>
#include <fstream>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>
#include <thread>

#include "platform/clock.h"
#include "platform/ui_host.h"
#include "shell/notifications.h"
#include "shell/posted_boxes.h"
#include "shell/settings.h"
#include "tests/tracks/track_test_support.h"
#include "tracks/file_utils.h"
#include "tracks/file_writer.h"
#include "tracks/semicircles.h"
#include "tracks/track_recorder.h"
#include "tracks/visual_track.h"

namespace velka {
namespace {

using test::MakeFix;
using test::ReadTrackFile;
using test::TrackFiles;

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

std::string LE32(DWORD dw) {
    return Bytes({static_cast<int>(dw & 0xFF), static_cast<int>((dw >> 8) & 0xFF),
                  static_cast<int>((dw >> 16) & 0xFF), static_cast<int>(dw >> 24)});
}

std::string LEDouble(double d) {
    std::string s(8, '\0');
    std::memcpy(s.data(), &d, 8);
    return s;
}

const std::string c_strHeader = std::string("MsRcd\0", 6) + Bytes({2, 0, 0, 0, 'D', 0x68, 0}) +
                                Bytes({0x1A, 0, 0, 0, 'A', 0x9D, 0x01, 0x4B, 0x47, 0}) +
                                std::string("Mar  5 2006\0" "20:01:36\0", 21);
const std::string c_strEnd = Bytes({2, 0, 0, 0, 'V', 0, 1});

TEST(TrackRecording, FirstPointLayoutIsCompleteOnDiskBeforeClose) {
    test::ScopedTracks scope;
    WriteSettingInt(u"TrackNumber", 7);
    StartRecording();
    EXPECT_TRUE(IsRecording());
    GpsFix fix = MakeFix(55.75, -37.625);
    fix.SetAltitude(150.5f);
    fix.SetTime(test::OleFromUnix(1700000000)); // 2023-11-14 22:13:20 UTC
    fix.SetDepth(2.25f);
    AddTrackPoint(fix);

    const std::string point = LE32(static_cast<DWORD>(DegreesToSemicircles(55.75))) +
                              LE32(static_cast<DWORD>(DegreesToSemicircles(-37.625))) +
                              Bytes({1}) + LEDouble(150.5) + Bytes({1}) + LE32(1700000000) +
                              Bytes({1}) + LEDouble(2.25);
    ASSERT_EQ(point.size(), c_cbTrackPoint);
    EXPECT_EQ(DegreesToSemicircles(55.75), 665123408);
    const std::string expected = c_strHeader + LE32(10 + 1 + 4 + 4 + 31) + "T" +
                                 std::string("Track 007\0", 10) + Bytes({0}) + LE32(0) + LE32(1) +
                                 point + c_strEnd;
    ASSERT_EQ(c_strHeader.size(), c_cbTrackFileHeader);

    auto files = TrackFiles(scope.Folder());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(test::ReadFile(files[0]), expected); // readable while still recording
    EXPECT_EQ(TrackFilePath(), files[0].string());
    EXPECT_EQ(ReadSettingInt(u"TrackNumber", 0), 8);

    CloseTrackFile();
    EXPECT_FALSE(IsRecording());
    EXPECT_EQ(test::ReadFile(files[0]), expected); // and the same bytes once closed
    EXPECT_TRUE(TrackFilePath().empty());

    // Named after the local time: YYYY-MM-DD_HH-MM-SS.mps.
    const std::string name = files[0].filename().string();
    EXPECT_EQ(name.size(), 23u) << name;
    EXPECT_EQ(name.substr(19), ".mps");
    EXPECT_EQ(name[10], '_');
}

TEST(TrackRecording, ThreePointsOfTrack000GiveLength112) {
    test::ScopedTracks scope;
    WriteSettingInt(u"TrackNumber", 1000); // above 999 at file creation: back to 0
    StartRecording();
    for (int i = 0; i < 3; ++i) AddTrackPoint(MakeFix(10 + i * 0.001, 20));
    CloseTrackFile();
    auto files = TrackFiles(scope.Folder());
    ASSERT_EQ(files.size(), 1u);
    const std::string bytes = test::ReadFile(files[0]);
    EXPECT_EQ(bytes.substr(44, 5), LE32(112) + "T");
    EXPECT_EQ(bytes.substr(49, 10), std::string("Track 000\0", 10));
    EXPECT_EQ(bytes.substr(64, 4), LE32(3));
    EXPECT_EQ(bytes.size(), 44u + 5 + 112 + 7);
    EXPECT_EQ(bytes.substr(bytes.size() - 7), c_strEnd);
    EXPECT_EQ(ReadSettingInt(u"TrackNumber", 0), 1);
}

TEST(TrackRecording, PositionLossBeginsOneNewTrack) {
    test::ScopedTracks scope;
    WriteSettingInt(u"TrackNumber", 998);
    StartRecording();
    StartNewTrack(); // no file yet: nothing
    AddTrackPoint(MakeFix(1, 2));
    AddTrackPoint(MakeFix(1.001, 2));
    StartNewTrack();
    StartNewTrack(); // lost twice with no point between: still one new track
    auto files = TrackFiles(scope.Folder());
    ASSERT_EQ(files.size(), 1u);
    CTrackFileContents open = ReadTrackFile(files[0]);
    ASSERT_EQ(open.tracks.size(), 2u);
    EXPECT_TRUE(open.tracks[1].points.empty());
    AddTrackPoint(MakeFix(1.002, 2));
    StartNewTrack();
    AddTrackPoint(MakeFix(1.003, 2)); // the number goes on past 999 inside a file
    CloseTrackFile();

    CTrackFileContents c = ReadTrackFile(files[0]);
    ASSERT_EQ(c.tracks.size(), 3u);
    EXPECT_EQ(c.tracks[0].strName, "Track 998");
    EXPECT_EQ(c.tracks[1].strName, "Track 999");
    EXPECT_EQ(c.tracks[2].strName, "Track 1000");
    EXPECT_EQ(c.tracks[0].points.size(), 2u);
    EXPECT_EQ(c.tracks[1].points.size(), 1u);
    EXPECT_EQ(c.tracks[2].points.size(), 1u);
    for (const auto& t : c.tracks) EXPECT_EQ(t.cbSlack, 0u);
    EXPECT_EQ(std::string(c.recordTypes.begin(), c.recordTypes.end()), "DATTTV");
    EXPECT_EQ(c.cbTrailing, 0u);
    EXPECT_EQ(ReadSettingInt(u"TrackNumber", 0), 1001);
}

TEST(TrackRecording, AbsentValuesAreZeroAndFixesWithoutPositionAreSkipped) {
    test::ScopedTracks scope;
    StartRecording();
    GpsFix noPosition;
    noPosition.SetAltitude(100);
    AddTrackPoint(noPosition);
    EXPECT_TRUE(TrackFiles(scope.Folder()).empty());
    AddTrackPoint(MakeFix(-45.5, 170.25));
    CloseTrackFile();
    auto files = TrackFiles(scope.Folder());
    ASSERT_EQ(files.size(), 1u);
    const std::string bytes = test::ReadFile(files[0]);
    const std::string point = bytes.substr(bytes.size() - 7 - 31, 31);
    EXPECT_EQ(point.substr(0, 4), LE32(static_cast<DWORD>(DegreesToSemicircles(-45.5))));
    EXPECT_EQ(point.substr(8), std::string(23, '\0'));
}

TEST(TrackRecording, NotRecordingOrNoPointsLeavesNoFile) {
    test::ScopedTracks scope;
    AddTrackPoint(MakeFix(1, 1)); // recording is off
    StartRecording();
    CloseTrackFile();
    EXPECT_TRUE(TrackFiles(scope.Folder()).empty());
    EXPECT_FALSE(IsRecording());
}

TEST(TrackRecording, EveryStartBeginsANewFileAndNeverOverwrites) {
    test::ScopedTracks scope;
    StartRecording();
    AddTrackPoint(MakeFix(1, 1));
    StartRecording(); // closes the first file
    AddTrackPoint(MakeFix(2, 2));
    StartRecording();
    AddTrackPoint(MakeFix(3, 3));
    CloseTrackFile();
    auto files = TrackFiles(scope.Folder());
    ASSERT_EQ(files.size(), 3u); // within one second the later names get (1), (2)
    unsigned cPoints = 0;
    for (const auto& f : files) {
        CTrackFileContents c = ReadTrackFile(f);
        ASSERT_EQ(c.tracks.size(), 1u);
        cPoints += static_cast<unsigned>(c.tracks[0].points.size());
    }
    EXPECT_EQ(cPoints, 3u);
}

TEST(TrackRecording, CreationFailureIsShownAndTheNextPointRetries) {
    test::ScopedTracks scope;
    CHeadlessUiHost& host = HeadlessUiHost();
    host.ClearBoxes();
    const std::string blocked = scope.Folder() + "/file";
    { std::FILE* f = std::fopen(blocked.c_str(), "w"); std::fclose(f); }
    SetTracksFolder(blocked + "/sub"); // below a regular file: cannot be made
    TakePostedErrors();
    host.TakePosted();
    StartRecording();
    // Points come on the GPS reader thread: the box is queued for the
    // user-interface thread, once however many points fail.
    AddTrackPoint(MakeFix(5, 5));
    AddTrackPoint(MakeFix(5.1, 5));
    EXPECT_TRUE(host.Boxes().empty()) << "no widget on the reader thread";
    auto texts = TakePostedErrors();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find(u".mps"), std::u16string::npos);
    auto posted = host.TakePosted();
    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(posted[0].uMsg, WM_POSTED_ERROR);
    EXPECT_TRUE(IsRecording());
    SetTracksFolder(scope.Folder());
    AddTrackPoint(MakeFix(6, 6));
    CloseTrackFile();
    auto files = TrackFiles(scope.Folder());
    ASSERT_EQ(files.size(), 1u);
    CTrackFileContents c = ReadTrackFile(files[0]);
    ASSERT_EQ(c.tracks.size(), 1u);
    EXPECT_EQ(c.tracks[0].points.size(), 1u); // the dropped point stays dropped
    host.ClearBoxes();
}

TEST(TrackRecording, MenuCommandTogglesRecordingAndTheOnScreenTrack) {
    test::ScopedTracks scope;
    EXPECT_TRUE(ToggleRecordTrack());
    EXPECT_TRUE(ReadSettingBool(u"RecordTrack", false));
    EXPECT_TRUE(IsRecording());
    EXPECT_TRUE(IsVisualTrackEnabled());
    AddTrackPoint(MakeFix(1, 1));
    EXPECT_FALSE(ToggleRecordTrack());
    EXPECT_FALSE(ReadSettingBool(u"RecordTrack", true));
    EXPECT_FALSE(IsRecording());
    EXPECT_FALSE(IsVisualTrackEnabled());
    EXPECT_EQ(TrackFiles(scope.Folder()).size(), 1u);

    // Start-up: recording follows the setting.
    StartTrackRecording();
    EXPECT_FALSE(IsRecording());
    WriteSettingBool(u"RecordTrack", true);
    StartTrackRecording();
    EXPECT_TRUE(IsRecording());
    StopTrackRecording();
    EXPECT_FALSE(IsRecording());
}

// A real drive: the nine track logs of a MapSource database (as GPSBabel
// converted them to GPX) recorded fix by fix, with a position loss between
// logs, read back point for point.
TEST(TrackRecording, RealDriveReadsBackWithEveryPointNameAndTime) {
    const auto gpx = test::CorpusPath("exchange/gdb/gdb-sample.gdb.gpx");
    VELKA_REQUIRE_CORPUS(gpx);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(gpx.c_str()));
    struct Expected {
        double dLat, dLon, dEle;
        long long t;
    };
    std::vector<std::vector<Expected>> logs;
    for (pugi::xml_node trk : doc.child("gpx").children("trk")) {
        logs.emplace_back();
        for (pugi::xml_node seg : trk.children("trkseg"))
            for (pugi::xml_node pt : seg.children("trkpt")) {
                int y, mo, d, h, mi, s;
                ASSERT_EQ(std::sscanf(pt.child_value("time"), "%d-%d-%dT%d:%d:%dZ", &y, &mo, &d, &h,
                                      &mi, &s), 6);
                const long long t = DaysFromCivil(y, static_cast<unsigned>(mo),
                                                  static_cast<unsigned>(d)) * 86400 +
                                    h * 3600 + mi * 60 + s;
                logs.back().push_back({pt.attribute("lat").as_double(),
                                       pt.attribute("lon").as_double(),
                                       std::atof(pt.child_value("ele")), t});
            }
    }
    ASSERT_EQ(logs.size(), 9u);

    test::ScopedTracks scope;
    StartRecording();
    std::size_t cTotal = 0;
    for (const auto& log : logs) {
        for (const Expected& e : log) {
            GpsFix fix = MakeFix(e.dLat, e.dLon);
            fix.SetAltitude(static_cast<float>(e.dEle));
            fix.SetTime(test::OleFromUnix(e.t));
            AddTrackPoint(fix);
            ++cTotal;
        }
        StartNewTrack();
    }
    EXPECT_EQ(cTotal, 747u);
    CloseTrackFile();

    auto files = TrackFiles(scope.Folder());
    ASSERT_EQ(files.size(), 1u);
    CTrackFileContents c = ReadTrackFile(files[0]);
    ASSERT_EQ(c.tracks.size(), 10u); // the last position loss left an empty track
    EXPECT_TRUE(c.tracks[9].points.empty());
    for (std::size_t k = 0; k < logs.size(); ++k) {
        const CTrackFileTrack& t = c.tracks[k];
        char szName[32];
        std::snprintf(szName, sizeof szName, "Track %03zu", k);
        EXPECT_EQ(t.strName, szName);
        ASSERT_EQ(t.points.size(), logs[k].size());
        for (std::size_t i = 0; i < t.points.size(); ++i) {
            const CTrackFilePoint& p = t.points[i];
            // The fix carries single precision: within 1e-5 degrees (1 m).
            EXPECT_NEAR(SemicirclesToDegrees(p.lLatitude), logs[k][i].dLat, 1e-5);
            EXPECT_NEAR(SemicirclesToDegrees(p.lLongitude), logs[k][i].dLon, 1e-5);
            EXPECT_TRUE(p.fAltitude && p.fTime && !p.fDepth);
            EXPECT_NEAR(p.dAltitude, logs[k][i].dEle, 1e-3);
            EXPECT_EQ(p.dwTime, static_cast<DWORD>(logs[k][i].t));
        }
    }
}

// The reader used by these checks reads a file written by another program.
TEST(TrackRecording, CheckReaderReadsAForeignTrackFile) {
    const auto mps = test::CorpusPath("exchange/mps/mps-track.mps");
    VELKA_REQUIRE_CORPUS(mps);
    CTrackFileContents c = ReadTrackFile(mps);
    ASSERT_EQ(c.tracks.size(), 1u);
    EXPECT_EQ(c.tracks[0].strName, "Track");
    EXPECT_EQ(c.tracks[0].points.size(), c.tracks[0].cDeclaredPoints);
    EXPECT_GT(c.tracks[0].points.size(), 10u);
    EXPECT_TRUE(c.fEndRecord);
}

TEST(TrackFileReader, RejectsDamagedFilesWithoutReadingOutside) {
    test::ScopedTracks scope;
    StartRecording();
    for (int i = 0; i < 4; ++i) AddTrackPoint(MakeFix(i, i));
    CloseTrackFile();
    const std::string good = test::ReadFile(TrackFiles(scope.Folder()).at(0));
    auto parse = [](const std::string& s) {
        CTrackFileContents c;
        std::string error;
        return ParseTrackFile({reinterpret_cast<const BYTE*>(s.data()), s.size()}, &c, &error);
    };
    EXPECT_TRUE(parse(good));
    for (std::size_t n = 0; n < good.size(); ++n) EXPECT_FALSE(parse(good.substr(0, n))) << n;
    std::string badCount = good;
    badCount[64] = 100; // more points than the record holds
    EXPECT_FALSE(parse(badCount));
    std::string hugeLength = good;
    hugeLength[47] = '\x7F';
    EXPECT_FALSE(parse(hugeLength));
    std::string noName = good.substr(0, 49) + std::string(good.size() - 49, 'x');
    EXPECT_FALSE(parse(noName));
}

// Recording while the main thread turns recording off and on: every file
// left behind is complete.
TEST(TrackRecording, ReaderThreadAndMainThreadShareTheRecorder) {
    test::ScopedTracks scope;
    StartRecording();
    std::atomic<bool> fStop{false};
    std::thread reader([&] {
        for (int i = 0; !fStop; ++i) {
            AddTrackPoint(MakeFix(50 + i * 1e-5, 10));
            if (i % 7 == 0) StartNewTrack();
        }
    });
    for (int k = 0; k < 20; ++k) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        StartRecording();
    }
    fStop = true;
    reader.join();
    CloseTrackFile();
    for (const auto& f : TrackFiles(scope.Folder())) {
        CTrackFileContents c = ReadTrackFile(f);
        EXPECT_FALSE(c.tracks.empty());
        for (const auto& t : c.tracks) EXPECT_EQ(t.cbSlack, 0u);
    }
}


// After every single physical write the file on disk is a complete track
// file holding every point recorded before the current one.
struct CWriteWatch {
    static inline std::string s_strFolder;
    static inline unsigned s_cPointsDone = 0;
    static inline unsigned s_cWrites = 0;
    static inline unsigned s_cFailures = 0;
    static void Observe(int) {
        ++s_cWrites;
        auto files = test::TrackFiles(s_strFolder);
        // Before the first point the file is written under a temporary
        // name: it appears only complete.
        if (files.empty() && s_cPointsDone == 0) return;
        if (files.size() != 1) {
            ++s_cFailures;
            return;
        }
        const std::string bytes = test::ReadFile(files[0]);
        CTrackFileContents c;
        std::string error;
        if (!ParseTrackFile({reinterpret_cast<const BYTE*>(bytes.data()), bytes.size()}, &c,
                            &error)) {
            ADD_FAILURE() << "after write " << s_cWrites << ": " << error;
            ++s_cFailures;
            return;
        }
        unsigned cPoints = 0;
        for (const auto& t : c.tracks) cPoints += static_cast<unsigned>(t.points.size());
        if (cPoints < s_cPointsDone || cPoints > s_cPointsDone + 1) {
            ADD_FAILURE() << "after write " << s_cWrites << ": " << cPoints << " points, "
                          << s_cPointsDone << " recorded";
            ++s_cFailures;
        }
    }
};

TEST(TrackRecording, FileIsCompleteAfterEveryPhysicalWrite) {
    test::ScopedTracks scope;
    CWriteWatch::s_strFolder = scope.Folder();
    CWriteWatch::s_cPointsDone = 0;
    CWriteWatch::s_cWrites = 0;
    CWriteWatch::s_cFailures = 0;
    StartRecording();
    SetPhysicalWriteObserverForTest(&CWriteWatch::Observe);
    for (unsigned i = 0; i < 40; ++i) {
        if (i % 15 == 14) StartNewTrack();
        GpsFix fix = MakeFix(-33.9 + i * 1e-4, 18.4); // a negative latitude too
        fix.SetTime(test::OleFromUnix(1700000000 + i));
        AddTrackPoint(fix);
        CWriteWatch::s_cPointsDone = i + 1;
    }
    CloseTrackFile();
    SetPhysicalWriteObserverForTest(nullptr);
    EXPECT_EQ(CWriteWatch::s_cFailures, 0u);
    EXPECT_GE(CWriteWatch::s_cWrites, 4u * 40);
    CTrackFileContents c = ReadTrackFile(TrackFiles(scope.Folder()).at(0));
    EXPECT_EQ(c.tracks.size(), 3u);
}


// A file size limit stands in for a full disk: points that do not fit are
// dropped, the file stays complete, and recording goes on once there is
// room again.
TEST(TrackRecording, FullDiskDropsPointsAndKeepsTheFileComplete) {
    test::ScopedTracks scope;
    WriteSettingInt(u"TrackNumber", 0); // the settings store is written before the limit
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    // Header, a "Track 000" record with 10 points, the end record and a
    // few bytes to spare.
    const rlim_t cbLimit = 44 + 5 + 19 + 10 * 31 + 7 + 20;
    StartRecording();
    AddTrackPoint(MakeFix(1, 1)); // the file exists before the limit
    rlimit limited = old;
    limited.rlim_cur = cbLimit;
    TakePostedErrors();
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    for (int i = 1; i < 30; ++i) AddTrackPoint(MakeFix(1 + i * 1e-4, 1));
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);
    EXPECT_EQ(TakePostedErrors().size(), 1u) << "the user is told once";
    auto files = TrackFiles(scope.Folder());
    ASSERT_EQ(files.size(), 1u);
    CTrackFileContents full = ReadTrackFile(files[0]);
    ASSERT_EQ(full.tracks.size(), 1u);
    EXPECT_EQ(full.tracks[0].points.size(), 10u);
    EXPECT_EQ(full.tracks[0].cbSlack, 0u);

    AddTrackPoint(MakeFix(2, 2)); // room again
    CloseTrackFile();
    CTrackFileContents after = ReadTrackFile(files[0]);
    ASSERT_EQ(after.tracks.size(), 1u);
    ASSERT_EQ(after.tracks[0].points.size(), 11u);
    EXPECT_EQ(after.tracks[0].points[10].lLatitude, DegreesToSemicircles(2.0));
    EXPECT_EQ(after.cbTrailing, 0u);
}

TEST(TrackRecording, FileThatCannotTakeItsFirstRecordIsACreationFailure) {
    test::ScopedTracks scope;
    WriteSettingInt(u"TrackNumber", 0);
    CHeadlessUiHost& host = HeadlessUiHost();
    host.ClearBoxes();
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limited = old;
    limited.rlim_cur = 20;
    StartRecording();
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    AddTrackPoint(MakeFix(1, 1));
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);
    EXPECT_TRUE(TrackFiles(scope.Folder()).empty()); // the stub was removed
    EXPECT_EQ(TakePostedErrors().size(), 1u);
    AddTrackPoint(MakeFix(1, 1)); // the next point tries again
    CloseTrackFile();
    ASSERT_EQ(TrackFiles(scope.Folder()).size(), 1u);
    host.ClearBoxes();
}

TEST(TrackRecording, LeftoversOfAKilledRunAreCleanedAtStart) {
    test::ScopedTracks scope;
    std::filesystem::create_directories(scope.Folder());
    const std::string empty = scope.Folder() + "/2024-05-01_10-00-00.mps";
    const std::string stale = scope.Folder() + "/.velka-track-999999999.tmp";
    const std::string mine = scope.Folder() + "/.velka-track-" + std::to_string(::getpid()) + ".tmp";
    std::ofstream(empty, std::ios::binary) << "";
    std::ofstream(stale, std::ios::binary) << "MsRcd";
    StartRecording();
    EXPECT_FALSE(std::filesystem::exists(empty)) << "an empty track file is no track file";
    EXPECT_FALSE(std::filesystem::exists(stale));
    AddTrackPoint(MakeFix(3, 3));
    EXPECT_FALSE(std::filesystem::exists(mine)) << "the temporary name is gone once the file is in place";
    CloseTrackFile();
    auto files = TrackFiles(scope.Folder());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(ReadTrackFile(files[0]).tracks.size(), 1u);
}

// A real full disk: a small tmpfs of our own (needs root; skipped
// otherwise) filled while recording.
TEST(TrackRecording, FilledTmpfsTellsOnceKeepsTheFileValidAndResumes) {
    test::ScopedTracks scope;
    WriteSettingInt(u"TrackNumber", 0);
    const std::string mnt = scope.Folder() + "-tmpfs";
    std::filesystem::create_directories(mnt);
    if (::geteuid() != 0 || ::mount("velka-test", mnt.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "mounting a tmpfs needs root";
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{mnt};
    SetTracksFolder(mnt);
    TakePostedErrors();
    StartRecording();
    AddTrackPoint(MakeFix(1, 1));
    // Fill the rest of the file system.
    {
        std::FILE* f = std::fopen((mnt + "/filler").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::string block(1024, 'x');
        while (std::fwrite(block.data(), 1, block.size(), f) == block.size() && std::fflush(f) == 0) {
        }
        std::fclose(f);
    }
    for (int i = 1; i < 200; ++i) AddTrackPoint(MakeFix(1 + i * 1e-4, 1));
    EXPECT_EQ(TakePostedErrors().size(), 1u) << "one message for the whole outage";
    auto files = TrackFiles(mnt);
    ASSERT_EQ(files.size(), 1u);
    CTrackFileContents full = ReadTrackFile(files[0]); // valid while full
    ASSERT_EQ(full.tracks.size(), 1u);
    const std::size_t cBefore = full.tracks[0].points.size();

    std::filesystem::remove(mnt + "/filler"); // space returns
    AddTrackPoint(MakeFix(2, 2));
    CloseTrackFile();
    CTrackFileContents after = ReadTrackFile(files[0]);
    ASSERT_EQ(after.tracks.size(), 1u);
    ASSERT_EQ(after.tracks[0].points.size(), cBefore + 1);
    EXPECT_EQ(after.tracks[0].points.back().lLatitude, DegreesToSemicircles(2.0));
    EXPECT_TRUE(TakePostedErrors().empty());
}

} // namespace
} // namespace velka
