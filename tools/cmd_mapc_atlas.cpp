// velkatool mapc --atlas: cuts a large OpenStreetMap file into tiles,
// compiles the tiles in parallel child processes and indexes them as an
// atlas. Everything is built in a temporary folder beside the target and
// moved into place only when every tile compiled, so a failed or
// interrupted run leaves the target as it was.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "mapdata/zidx_build.h"
#include "mapdata/zidx_file.h"
#include "platform/text.h"
#include "tools/cmd_mapc_atlas.h"
#include "tools/commands.h"
#include "tools/mapc/mapc_tiles.h"

extern char** environ;

namespace velka::tool {

namespace fs = std::filesystem;

namespace {

// The last lines a failed child wrote.
std::string Tail(const fs::path& log, std::size_t cLines) {
    std::ifstream in(log);
    std::vector<std::string> lines;
    for (std::string s; std::getline(in, s);) lines.push_back(s);
    std::string out;
    for (std::size_t i = lines.size() > cLines ? lines.size() - cLines : 0; i < lines.size(); ++i)
        out += "  " + lines[i] + "\n";
    return out;
}

// Starts "velkatool mapc TILE -o OUT --quiet ..." with its output going to
// a log file; the child's pid, or -1 with errno.
pid_t StartCompile(const std::vector<std::string>& argv, const fs::path& log) {
    std::vector<char*> av;
    for (const std::string& s : argv) av.push_back(const_cast<char*>(s.c_str()));
    av.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&fa, 1, 2);
    pid_t pid = -1;
    const int n = posix_spawn(&pid, "/proc/self/exe", &fa, nullptr, av.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (n != 0) {
        errno = n;
        return -1;
    }
    return pid;
}

// Whether a folder may be replaced by the atlas: it does not exist, is
// empty, or holds an atlas index.
bool MayReplace(const fs::path& dir, std::string& strWhy) {
    std::error_code ec;
    if (!fs::exists(dir, ec)) return true;
    if (!fs::is_directory(dir, ec)) {
        strWhy = "exists and is no folder";
        return false;
    }
    if (fs::is_empty(dir, ec) || fs::exists(dir / ToUtf8(c_szAtlasIndexName), ec)) return true;
    strWhy = "is a folder holding other files than an atlas; choose a new or empty folder";
    return false;
}

// Removes the temporary folders of earlier runs for this target whose
// process no longer runs (a run that was killed).
void RemoveStaleFolders(const fs::path& dir) {
    std::error_code ec;
    for (const char* szTag : {".tmp-", ".old-"}) {
        const std::string strPrefix = "." + dir.filename().string() + szTag;
        for (fs::directory_iterator it(dir.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
            const std::string strName = it->path().filename().string();
            if (strName.rfind(strPrefix, 0) != 0) continue;
            const long nPid = std::strtol(strName.c_str() + strPrefix.size(), nullptr, 10);
            if (nPid > 0 && kill(static_cast<pid_t>(nPid), 0) != 0 && errno == ESRCH) {
                std::error_code ecRemove;
                fs::remove_all(it->path(), ecRemove);
            }
        }
    }
}

class CTempFolder {
public:
    explicit CTempFolder(fs::path p) : m_path(std::move(p)) {}
    ~CTempFolder() {
        std::error_code ec;
        if (!m_fKept) fs::remove_all(m_path, ec);
    }
    const fs::path& Path() const { return m_path; }
    void Keep() { m_fKept = true; }

private:
    fs::path m_path;
    bool m_fKept = false;
};

} // namespace

int RunMapcAtlas(const CMapcAtlasOptions& o) {
    const fs::path target = fs::absolute(fs::path(o.strAtlas)).lexically_normal();
    const fs::path dir = target.has_filename() ? target : target.parent_path();
    std::string strWhy;
    if (!MayReplace(dir, strWhy)) {
        std::fprintf(stderr, "velkatool mapc: '%s' %s\n", o.strAtlas.c_str(), strWhy.c_str());
        return c_nExitFailed;
    }
    std::error_code ec;
    if (!fs::is_directory(dir.parent_path(), ec)) {
        std::fprintf(stderr, "velkatool mapc: the folder of '%s' does not exist\n", o.strAtlas.c_str());
        return c_nExitFailed;
    }
    RemoveStaleFolders(dir);
    CTempFolder temp(dir.parent_path() / ("." + dir.filename().string() + ".tmp-" + std::to_string(getpid())));
    const fs::path sources = temp.Path() / "tiles";
    if (!fs::create_directories(sources, ec)) {
        std::fprintf(stderr, "velkatool mapc: cannot create '%s': %s\n", sources.c_str(), ec.message().c_str());
        return c_nExitFailed;
    }

    // Cutting.
    mapc::CTileOptions to;
    to.dSize = o.dTileSize;
    to.strFolder = sources.string();
    if (!o.fQuiet) to.progress = [](int n) { std::fprintf(stderr, "\rmapc: cutting tiles %3d%%", n); };
    std::vector<mapc::CTile> tiles;
    std::string strError;
    const bool fCut = mapc::CutTiles(o.strInput, to, tiles, strError);
    if (!o.fQuiet) std::fprintf(stderr, "\n");
    if (!fCut) {
        std::fprintf(stderr, "velkatool mapc: %s\n", strError.c_str());
        return c_nExitFailed;
    }
    if (tiles.empty()) {
        std::fprintf(stderr, "velkatool mapc: '%s' has no nodes with a position\n", o.strInput.c_str());
        return c_nExitFailed;
    }

    // Compiling, at most cJobs at a time.
    std::size_t nNext = 0, cDone = 0;
    std::map<pid_t, std::size_t> running;
    std::string strFailed;
    auto report = [&] {
        if (!o.fQuiet) std::fprintf(stderr, "\rmapc: compiled %zu of %zu tiles", cDone, tiles.size());
    };
    report();
    while (cDone < tiles.size() && (strFailed.empty() || !running.empty())) {
        while (strFailed.empty() && running.size() < o.cJobs && nNext < tiles.size()) {
            const mapc::CTile& t = tiles[nNext];
            std::vector<std::string> argv{"velkatool", "mapc", t.strFile, "-o",
                                          (temp.Path() / (t.strName + ".zem")).string(), "--quiet"};
            argv.insert(argv.end(), o.passOn.begin(), o.passOn.end());
            argv.push_back("--name");
            argv.push_back(o.strName.empty() ? t.strName : o.strName + " " + t.strName);
            const pid_t pid = StartCompile(argv, sources / (t.strName + ".log"));
            if (pid < 0) {
                strFailed = t.strName + ": cannot start the compiler: " + std::strerror(errno);
                break;
            }
            running[pid] = nNext++;
        }
        if (running.empty()) break;
        int nStatus = 0;
        const pid_t pid = waitpid(-1, &nStatus, 0);
        if (pid < 0) {
            if (errno == EINTR) continue;
            strFailed = std::string("waiting for the compilers: ") + std::strerror(errno);
            break;
        }
        auto it = running.find(pid);
        if (it == running.end()) continue;
        const mapc::CTile& t = tiles[it->second];
        running.erase(it);
        ++cDone;
        report();
        if (!(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0) && strFailed.empty()) {
            strFailed = "tile " + t.strName + " failed";
            if (WIFSIGNALED(nStatus)) strFailed += std::string(" (") + strsignal(WTERMSIG(nStatus)) + ")";
            strFailed += ":\n" + Tail(sources / (t.strName + ".log"), 5);
        }
    }
    // A failure stops new tiles; the ones running are waited for.
    for (auto& [pid, n] : running) {
        int nStatus = 0;
        waitpid(pid, &nStatus, 0);
    }
    if (!o.fQuiet) std::fprintf(stderr, "\n");
    if (!strFailed.empty()) {
        std::fprintf(stderr, "velkatool mapc: %s", strFailed.c_str());
        if (strFailed.back() != '\n') std::fprintf(stderr, "\n");
        return c_nExitFailed;
    }
    fs::remove_all(sources, ec);
    for (const mapc::CTile& t : tiles)
        if (!mapc::ClipTileBounds((temp.Path() / (t.strName + ".zem")).string(), t)) {
            std::fprintf(stderr, "velkatool mapc: cannot update the tile '%s'\n", t.strName.c_str());
            return c_nExitFailed;
        }

    // Indexing, then moving the whole folder into place.
    CAtlasIndexHooks hooks;
    hooks.fnMessage = [](const CError& e) { PrintError(e); };
    const int cMaps = CreateZidx(FromUtf8(temp.Path().string()), hooks);
    if (cMaps <= 0) {
        std::fprintf(stderr, "velkatool mapc: indexing the tiles failed\n");
        return c_nExitFailed;
    }
    const fs::path old = dir.parent_path() / ("." + dir.filename().string() + ".old-" + std::to_string(getpid()));
    const bool fReplace = fs::exists(dir, ec);
    if (fReplace) fs::rename(dir, old, ec);
    if (!ec) fs::rename(temp.Path(), dir, ec);
    if (ec) {
        const std::string strWhyNot = ec.message();
        if (fReplace) fs::rename(old, dir, ec);
        std::fprintf(stderr, "velkatool mapc: cannot move the atlas into '%s': %s\n", dir.c_str(), strWhyNot.c_str());
        return c_nExitFailed;
    }
    temp.Keep();
    if (fReplace) fs::remove_all(old, ec);
    if (!o.fQuiet) std::fprintf(stderr, "mapc: wrote the atlas %s: %d maps\n", dir.c_str(), cMaps);
    return c_nExitOk;
}

} // namespace velka::tool
