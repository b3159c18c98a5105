#include "platform/paths.h"

#include "platform/atomic_file.h"

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

namespace {

// A folder only this user may use, as the XDG rules ask of the runtime
// folder: a real folder (no link), owned by the user, mode 0700. Another
// local user could otherwise create it first, with a listening socket that
// receives our command lines.
bool IsPrivateFolder(const std::string& strPath) {
    struct stat st {};
    return ::lstat(strPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}

} // namespace

std::string RuntimeDir() {
    if (const char* v = std::getenv("XDG_RUNTIME_DIR"); v && *v == '/' && IsPrivateFolder(v)) return v;
    std::string dir = "/tmp/velka-runtime-" + std::to_string(::geteuid());
    ::mkdir(dir.c_str(), 0700);
    if (IsPrivateFolder(dir)) return dir;
    // Taken by someone else (or made with wider permissions): a folder in
    // the user's own state folder instead.
    dir = StateHome() + "/velka/runtime";
    EnsureDirectory(StateHome());
    EnsurePrivateDirectory(StateHome() + "/velka");
    ::mkdir(dir.c_str(), 0700);
    ::chmod(dir.c_str(), 0700);
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

bool EnsurePrivateDirectory(const std::string& strPath, int* pnError) {
    std::error_code ec;
    if (!fs::is_directory(strPath, ec)) {
        std::string parent = fs::path(strPath).parent_path().string();
        if (!parent.empty() && !EnsureDirectory(parent, pnError)) return false;
        if (::mkdir(strPath.c_str(), 0700) != 0 && errno != EEXIST) {
            if (pnError) *pnError = errno;
            return false;
        }
    }
    struct stat st {};
    if (::stat(strPath.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (pnError) *pnError = ENOTDIR;
        return false;
    }
    if (st.st_uid == ::geteuid() && (st.st_mode & 077) != 0) ::chmod(strPath.c_str(), st.st_mode & 0700);
    return true;
}

bool WriteFileAtomic(const std::string& strPath, const void* pData, std::size_t cb, int* pnError) {
    CAtomicFile file;
    return file.Open(strPath, pnError) && file.Write(pData, cb, pnError) && file.Commit(pnError);
}

} // namespace velka
