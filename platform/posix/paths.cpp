#include "platform/paths.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velka {
namespace fs = std::filesystem;

namespace {

std::string HomeDir() {
    if (const char* h = std::getenv("HOME"); h && *h) return h;
    if (passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/tmp";
}

std::string EnvOr(const char* szName, const std::string& strFallback) {
    const char* v = std::getenv(szName);
    // The XDG rules ignore relative paths.
    if (v && *v == '/') return v;
    return strFallback;
}

} // namespace

std::string ConfigHome() { return EnvOr("XDG_CONFIG_HOME", HomeDir() + "/.config"); }
std::string StateHome() { return EnvOr("XDG_STATE_HOME", HomeDir() + "/.local/state"); }
std::string DataHome() { return EnvOr("XDG_DATA_HOME", HomeDir() + "/.local/share"); }

std::string RuntimeDir() {
    if (const char* v = std::getenv("XDG_RUNTIME_DIR"); v && *v == '/') return v;
    std::string dir = "/tmp/velka-runtime-" + std::to_string(getuid());
    ::mkdir(dir.c_str(), 0700);
    return dir;
}

std::string DocumentsDir() {
    // user-dirs.dirs holds lines such as XDG_DOCUMENTS_DIR="$HOME/Documents".
    std::ifstream in(ConfigHome() + "/user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = "XDG_DOCUMENTS_DIR=";
        if (line.rfind(key, 0) != 0) continue;
        std::string v = line.substr(key.size());
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        if (v.rfind("$HOME", 0) == 0) v = HomeDir() + v.substr(5);
        if (!v.empty() && v[0] == '/' && v != HomeDir() && v != HomeDir() + "/") return v;
    }
    return HomeDir() + "/Documents";
}

std::string VelkaConfigDir() { return ConfigHome() + "/velka"; }
std::string VelkaStateDir() { return StateHome() + "/velka"; }

std::string ProgramDir() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return ".";
    return exe.parent_path().string();
}

std::string InstalledDataDir() {
    fs::path p = fs::path(ProgramDir()).parent_path() / "share" / "velka";
    return p.string();
}

std::string FindDataFile(const std::string& strName) {
    std::error_code ec;
    std::string beside = ProgramDir() + "/" + strName;
    if (fs::exists(beside, ec)) return beside;
    std::string installed = InstalledDataDir() + "/" + strName;
    if (fs::exists(installed, ec)) return installed;
    return beside;
}

bool EnsureDirectory(const std::string& strPath, int* pnError) {
    std::error_code ec;
    if (fs::is_directory(strPath, ec)) return true;
    fs::create_directories(strPath, ec);
    if (fs::is_directory(strPath)) return true;
    if (pnError) *pnError = ec ? ec.value() : ENOTDIR;
    return false;
}

bool WriteFileAtomic(const std::string& strPath, const void* pData, std::size_t cb, int* pnError) {
    std::string tmp = strPath + ".tmp-" + std::to_string(getpid());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    auto fail = [&](int err) {
        if (pnError) *pnError = err;
        if (fd >= 0) ::close(fd);
        ::unlink(tmp.c_str());
        return false;
    };
    if (fd < 0) return fail(errno);
    const char* p = static_cast<const char*>(pData);
    std::size_t left = cb;
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) return fail(errno);
    if (::close(fd) != 0) {
        fd = -1;
        return fail(errno);
    }
    fd = -1;
    if (::rename(tmp.c_str(), strPath.c_str()) != 0) return fail(errno);
    // Make the rename itself durable.
    std::string dir = fs::path(strPath).parent_path().string();
    int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

} // namespace velka
