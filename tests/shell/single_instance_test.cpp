// The single-instance socket: a command line whose handling shows a modal
// box while the second start hangs up; a frozen first instance; a runtime
// folder or socket that belongs to someone else.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocalServer>
#include <QTimer>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "platform/paths.h"
#include "platform/qt/single_instance.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::chmod(dir.Path().c_str(), 0700);
        const char* v = std::getenv("XDG_RUNTIME_DIR");
        if (v) strOldRuntime = v;
        ::setenv("XDG_RUNTIME_DIR", dir.Path().c_str(), 1);
        if (!QCoreApplication::instance()) pApp = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override {
        if (strOldRuntime.empty())
            ::unsetenv("XDG_RUNTIME_DIR");
        else
            ::setenv("XDG_RUNTIME_DIR", strOldRuntime.c_str(), 1);
    }
    // Runs an event loop, as the window's, until the condition holds or 5 s pass.
    static bool Pump(const std::function<bool()>& fnDone) {
        QEventLoop loop;
        QElapsedTimer t;
        t.start();
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (fnDone() || t.elapsed() > 5000) loop.quit();
        });
        poll.start(10);
        loop.exec();
        return fnDone();
    }

    test::TempDir dir;
    std::string strOldRuntime;
    int argc = 1;
    char szName[8] = "test";
    char* argv[2] = {szName, nullptr};
    std::unique_ptr<QCoreApplication> pApp;
};

TEST_F(SingleInstanceTest, CommandLineShowingABoxOutlivesTheHangUp) {
    CSingleInstance server;
    std::u16string got;
    int cHandled = 0;
    ASSERT_TRUE(server.Listen(nullptr, [&](const std::u16string& s) {
        got = s;
        // A modal error box (a missing map): a nested event loop while the
        // second start, answered, hangs up.
        QEventLoop loop;
        QTimer::singleShot(500, &loop, &QEventLoop::quit);
        loop.exec();
        ++cHandled;
    }));
    for (int k = 0; k < 3; ++k) {
        std::atomic<int> result{-1};
        std::thread client([&] { result = static_cast<int>(CSingleInstance::HandOver(u"/missing.zem", 3000)); });
        EXPECT_TRUE(Pump([&] { return cHandled == k + 1; })) << k;
        client.join();
        EXPECT_EQ(result, static_cast<int>(HandOverResult::Accepted));
        EXPECT_EQ(got, u"/missing.zem");
    }
}

TEST_F(SingleInstanceTest, FrozenInstanceIsNotRunBeside) {
    // A listening socket whose owner never reads: connected, never answered.
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string path = CSingleInstance::SocketPath();
    ASSERT_LT(path.size(), sizeof addr.sun_path);
    std::strcpy(addr.sun_path, path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    EXPECT_EQ(CSingleInstance::HandOver(u"x.zem", 300), HandOverResult::NotAnswering);
    ::close(fd);
    // Its socket left behind after it died: nobody runs.
    EXPECT_EQ(CSingleInstance::HandOver(u"x.zem", 300), HandOverResult::NoInstance);
}

TEST_F(SingleInstanceTest, ForeignSocketOrRuntimeFolderIsNeverUsed) {
    if (::geteuid() != 0) GTEST_SKIP() << "making files of another user needs root";
    QLocalServer foreign;
    ASSERT_TRUE(foreign.listen(QString::fromStdString(CSingleInstance::SocketPath())));
    ASSERT_EQ(::chown(CSingleInstance::SocketPath().c_str(), 65534, 65534), 0);
    EXPECT_EQ(CSingleInstance::HandOver(u"/secret/map.zem", 300), HandOverResult::NoInstance);
    QCoreApplication::processEvents();
    EXPECT_FALSE(foreign.hasPendingConnections()) << "the command line went to another user";
    foreign.close();

    // A runtime folder of another user, or one that others may enter.
    const std::string other = dir.File("other");
    ::mkdir(other.c_str(), 0700);
    ASSERT_EQ(::chown(other.c_str(), 65534, 65534), 0);
    const std::string open = dir.File("open");
    ::mkdir(open.c_str(), 0700);
    ::chmod(open.c_str(), 0777);
    for (const std::string& bad : {other, open}) {
        ::setenv("XDG_RUNTIME_DIR", bad.c_str(), 1);
        const std::string used = RuntimeDir();
        EXPECT_NE(used, bad);
        struct stat st {};
        ASSERT_EQ(::lstat(used.c_str(), &st), 0) << used;
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_uid, ::geteuid());
        EXPECT_EQ(st.st_mode & 077, 0u) << used;
    }
}

} // namespace
} // namespace velka
