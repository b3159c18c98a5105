// The real navigator as a child process on the offscreen platform, with
// private XDG folders per user home: start it, wait for lines on its
// standard error, signal it and collect its exit code.
#pragma once
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "shell/settings.h"
#include "tests/support/test_support.h"

extern char** environ;

namespace velka::test {

using namespace std::chrono_literals;

// The demo map the build makes.
inline const std::string c_strDemoMap = std::string(VELKA_BINARY_DIR) + "/bin/demo/demo.zem";

class CUserHome {
public:
    CUserHome() {
        for (const char* sz : {"config", "runtime", "state", "data"}) ::mkdir(m_dir.File(sz).c_str(), 0700);
    }
    std::vector<std::string> Env() const {
        std::vector<std::string> env;
        for (char** p = environ; *p; ++p) {
            std::string s = *p;
            if (s.rfind("XDG_", 0) == 0 || s.rfind("QT_QPA_PLATFORM=", 0) == 0 || s.rfind("VELKA_", 0) == 0 ||
                s.rfind("LANG", 0) == 0 || s.rfind("LC_", 0) == 0)
                continue;
            env.push_back(s);
        }
        env.push_back("XDG_CONFIG_HOME=" + m_dir.File("config"));
        env.push_back("XDG_RUNTIME_DIR=" + m_dir.File("runtime"));
        env.push_back("XDG_STATE_HOME=" + m_dir.File("state"));
        env.push_back("XDG_DATA_HOME=" + m_dir.File("data"));
        env.push_back("QT_QPA_PLATFORM=offscreen");
        // The checks read the built-in texts: a Russian desktop selects them.
        env.push_back("LANG=ru_RU.UTF-8");
        return env;
    }
    std::string File(const std::string& s) const { return m_dir.File(s); }

    // Writes integer settings into this user's store before a start.
    void WriteSettings(const std::vector<std::pair<std::u16string, int>>& values) const {
        SettingsClose();
        RegSetDatabasePath(m_dir.File("config") + "/velka/settings.db");
        for (const auto& [strName, n] : values) WriteSettingInt(strName.c_str(), n);
        SettingsClose();
        RegShutdown();
        RegSetDatabasePath("");
    }
    // Reads one setting of this user's store.
    int SafeExit() const {
        SettingsClose();
        RegSetDatabasePath(m_dir.File("config") + "/velka/settings.db");
        int n = ReadSettingInt(u"SafeExit", -1);
        SettingsClose();
        RegShutdown();
        RegSetDatabasePath("");
        return n;
    }

private:
    TempDir m_dir;
};

class CVelka {
public:
    CVelka(const CUserHome& home, const std::string& strName, std::vector<std::string> args = {},
           std::vector<std::string> extraEnv = {}, std::string exe = std::string(VELKA_BINARY_DIR) + "/bin/velka")
        : m_strErr(home.File(strName + ".err")) {
        std::vector<std::string> argv{exe};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<std::string> env = home.Env();
        env.insert(env.end(), extraEnv.begin(), extraEnv.end());
        std::vector<char*> pargv, penv;
        for (auto& s : argv) pargv.push_back(s.data());
        pargv.push_back(nullptr);
        for (auto& s : env) penv.push_back(s.data());
        penv.push_back(nullptr);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 2, m_strErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        EXPECT_EQ(posix_spawn(&m_pid, exe.c_str(), &fa, nullptr, pargv.data(), penv.data()), 0);
        posix_spawn_file_actions_destroy(&fa);
    }
    ~CVelka() {
        if (m_pid > 0 && !m_fReaped) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    std::string Err() const { return ReadFile(m_strErr); }
    bool WaitFor(const std::string& strText, std::chrono::milliseconds timeout = 15s) const {
        auto until = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < until) {
            if (Err().find(strText) != std::string::npos) return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }
    void Signal(int n) const { ::kill(m_pid, n); }
    // The exit code, -signal when killed, or 1000 on time-out.
    int Wait(std::chrono::milliseconds timeout = 15s) {
        auto until = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < until) {
            int status = 0;
            pid_t r = ::waitpid(m_pid, &status, WNOHANG);
            if (r == m_pid) {
                m_fReaped = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
            }
            std::this_thread::sleep_for(20ms);
        }
        return 1000;
    }

private:
    std::string m_strErr;
    pid_t m_pid = -1;
    bool m_fReaped = false;
};

} // namespace velka::test
