// A recording process killed with SIGKILL leaves a complete track file:
// every point it reported written is in it, at most one more.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/tracks/track_test_support.h"

namespace velka {
namespace {

// velkatool track record as a child process: fixes go to its standard
// input, "point N" lines come back once point N is on disk.
class CRecorderProcess {
public:
    CRecorderProcess(const std::string& strFolder, const std::string& strSettingsDb) {
        std::signal(SIGPIPE, SIG_IGN);
        int toChild[2], fromChild[2];
        if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) return;
        const std::string tool = std::string(VELKA_BINARY_DIR) + "/bin/velkatool";
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(toChild[0], 0);
            ::dup2(fromChild[1], 1);
            ::execl(tool.c_str(), tool.c_str(), "--settings-db", strSettingsDb.c_str(), "track",
                    "record", "--dir", strFolder.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        m_fdIn = toChild[1];
        m_fdOut = fromChild[0];
    }
    ~CRecorderProcess() {
        Kill();
        if (m_fdIn >= 0) ::close(m_fdIn);
        if (m_fdOut >= 0) ::close(m_fdOut);
    }
    bool Started() const { return m_pid > 0; }

    void Send(const std::string& lines) {
        std::size_t done = 0;
        while (done < lines.size()) {
            ssize_t n = ::write(m_fdIn, lines.data() + done, lines.size() - done);
            if (n <= 0) return;
            done += static_cast<std::size_t>(n);
        }
    }
    // Reads reports until point n was reported (or the output ends).
    unsigned WaitFor(unsigned n) {
        while (m_cLastAck < n && ReadMore()) {}
        return m_cLastAck;
    }
    void Kill() {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
    }
    // After the kill: the last point reported before the process died.
    unsigned DrainReports() {
        while (ReadMore()) {}
        return m_cLastAck;
    }

private:
    bool ReadMore() {
        char buf[4096];
        ssize_t n = ::read(m_fdOut, buf, sizeof buf);
        if (n <= 0) return false;
        m_strPending.append(buf, static_cast<std::size_t>(n));
        std::size_t eol;
        while ((eol = m_strPending.find('\n')) != std::string::npos) {
            unsigned k = 0;
            if (std::sscanf(m_strPending.c_str(), "point %u", &k) == 1) m_cLastAck = k;
            m_strPending.erase(0, eol + 1);
        }
        return true;
    }

    pid_t m_pid = -1;
    int m_fdIn = -1;
    int m_fdOut = -1;
    std::string m_strPending;
    unsigned m_cLastAck = 0;
};

std::string FixLine(unsigned i) {
    char sz[96];
    std::snprintf(sz, sizeof sz, "%.6f %.6f %u %u\n", 43.7 + i * 1e-5, 7.42 + i * 1e-5, 100 + i % 50,
                  1700000000 + i);
    return sz;
}

unsigned PointsOnDisk(const std::string& strFolder, bool* pfClean) {
    auto files = test::TrackFiles(strFolder);
    EXPECT_EQ(files.size(), 1u);
    if (files.size() != 1) return 0;
    CTrackFileContents c = test::ReadTrackFile(files[0]);
    unsigned cPoints = 0;
    *pfClean = true;
    for (std::size_t k = 0; k < c.tracks.size(); ++k) {
        cPoints += static_cast<unsigned>(c.tracks[k].points.size());
        if (c.tracks[k].cbSlack) *pfClean = false;
        // Times run on without a gap: no point is lost in the middle.
        for (std::size_t i = 0; i < c.tracks[k].points.size(); ++i)
            EXPECT_TRUE(c.tracks[k].points[i].fTime);
    }
    EXPECT_TRUE(c.fEndRecord);
    return cPoints;
}

TEST(TrackRecordingKill, KilledBetweenFixesLosesNothing) {
    test::ScopedTracks scope;
    CRecorderProcess child(scope.Folder(), scope.SettingsDb());
    ASSERT_TRUE(child.Started());
    for (unsigned i = 1; i <= 40; ++i) {
        child.Send(FixLine(i));
        ASSERT_EQ(child.WaitFor(i), i);
        if (i == 20) child.Send("break\n");
    }
    child.Kill();
    bool fClean = false;
    EXPECT_EQ(PointsOnDisk(scope.Folder(), &fClean), 40u);
    EXPECT_TRUE(fClean);
    CTrackFileContents c = test::ReadTrackFile(test::TrackFiles(scope.Folder()).at(0));
    ASSERT_EQ(c.tracks.size(), 2u);
    EXPECT_EQ(c.tracks[0].points.size(), 20u);
    EXPECT_EQ(c.tracks[1].points.front().dwTime, 1700000021u);
}

TEST(TrackRecordingKill, KilledAtAnyInstantKeepsEveryReportedPoint) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 12; ++round) {
        test::ScopedTracks scope;
        CRecorderProcess child(scope.Folder(), scope.SettingsDb());
        ASSERT_TRUE(child.Started());
        std::string burst;
        for (unsigned i = 1; i <= 20000; ++i) burst += FixLine(i);
        child.Send(burst.substr(0, 64 * 1024 / 2)); // within the pipe's capacity
        child.WaitFor(1 + rng() % 400);
        child.Kill();
        const unsigned cReported = child.DrainReports();
        bool fClean = false;
        const unsigned cOnDisk = PointsOnDisk(scope.Folder(), &fClean);
        EXPECT_GE(cOnDisk, cReported) << "round " << round;
        EXPECT_LE(cOnDisk, cReported + 1) << "round " << round;
    }
}

} // namespace
} // namespace velka
