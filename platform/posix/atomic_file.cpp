#include "platform/atomic_file.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace velka {
namespace fs = std::filesystem;

namespace {

bool Fail(int* pnError, int nError) {
    if (pnError) *pnError = nError;
    return false;
}

} // namespace

bool ResolveOutputPath(const std::string& strPath, std::string* pstrTarget, int* pnError) {
    std::string path = strPath;
    for (int i = 0; i < 40; ++i) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            *pstrTarget = path;
            return true;
        }
        char buf[PATH_MAX];
        ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
        if (n < 0) return Fail(pnError, errno);
        std::string link(buf, static_cast<std::size_t>(n));
        // A relative link is relative to the folder holding it.
        path = link[0] == '/' ? link : (fs::path(path).parent_path() / link).string();
    }
    return Fail(pnError, ELOOP);
}

bool CanWriteOutput(const std::string& strPath, int* pnError) {
    std::string target;
    int nError = 0;
    if (!ResolveOutputPath(strPath, &target, &nError)) return Fail(pnError, nError);
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))
            return ::access(target.c_str(), W_OK) == 0 || Fail(pnError, errno);
        if (S_ISDIR(st.st_mode)) return Fail(pnError, EISDIR);
        if (!S_ISREG(st.st_mode)) return Fail(pnError, EINVAL);
    }
    std::string dir = fs::path(target).parent_path().string();
    if (dir.empty()) dir = ".";
    if (::stat(dir.c_str(), &st) != 0) return Fail(pnError, errno);
    if (!S_ISDIR(st.st_mode)) return Fail(pnError, ENOTDIR);
    return ::access(dir.c_str(), W_OK) == 0 || Fail(pnError, errno);
}

void RemoveStaleTemporaries(const std::string& strPath) {
    std::string target;
    if (!ResolveOutputPath(strPath, &target)) return;
    const fs::path path(target);
    const std::string prefix = path.filename().string() + ".tmp-";
    std::error_code ec;
    fs::path dir = path.parent_path();
    for (const auto& entry : fs::directory_iterator(dir.empty() ? fs::path(".") : dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string digits = name.substr(prefix.size());
        if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) continue;
        const pid_t pid = static_cast<pid_t>(std::stol(digits));
        if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH) fs::remove(entry.path(), ec);
    }
}

CAtomicFile::~CAtomicFile() { Abandon(); }

void CAtomicFile::Abandon() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_strTemp.empty()) ::unlink(m_strTemp.c_str());
    m_strTemp.clear();
}

bool CAtomicFile::Open(const std::string& strPath, int* pnError) {
    Abandon();
    int nError = 0;
    if (!ResolveOutputPath(strPath, &m_strTarget, &nError)) return Fail(pnError, nError);
    struct stat st {};
    mode_t mode = 0666; // narrowed by the umask, as for any new file
    bool fExisting = false;
    if (::stat(m_strTarget.c_str(), &st) == 0) {
        if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) {
            // A device or a pipe is a stream: written in place, never replaced.
            m_fDirect = true;
            m_fd = ::open(m_strTarget.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
            return m_fd >= 0 || Fail(pnError, errno);
        }
        if (S_ISDIR(st.st_mode)) return Fail(pnError, EISDIR);
        if (!S_ISREG(st.st_mode)) return Fail(pnError, EINVAL);
        mode = st.st_mode & 07777;
        fExisting = true;
    }
    m_fDirect = false;
    m_strTemp = m_strTarget + ".tmp-" + std::to_string(::getpid());
    m_fd = ::open(m_strTemp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_EXCL | O_CLOEXEC, mode);
    if (m_fd < 0 && errno == EEXIST) {
        // A leftover of an earlier run with the same process id.
        ::unlink(m_strTemp.c_str());
        m_fd = ::open(m_strTemp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_EXCL | O_CLOEXEC, mode);
    }
    if (m_fd < 0) {
        nError = errno;
        m_strTemp.clear();
        return Fail(pnError, nError);
    }
    // An existing file keeps its permissions.
    if (fExisting) ::fchmod(m_fd, mode);
    return true;
}

bool CAtomicFile::Write(const void* pData, std::size_t cb, int* pnError) {
    if (m_fd < 0) return Fail(pnError, EBADF);
    const char* p = static_cast<const char*>(pData);
    while (cb > 0) {
        ssize_t n = ::write(m_fd, p, cb);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(pnError, errno);
        }
        if (n == 0) return Fail(pnError, EIO);
        p += n;
        cb -= static_cast<std::size_t>(n);
    }
    return true;
}

bool CAtomicFile::Commit(int* pnError) {
    if (m_fd < 0) return Fail(pnError, EBADF);
    int nError = 0;
    if (!m_fDirect && ::fsync(m_fd) != 0) nError = errno;
    if (::close(m_fd) != 0 && !nError) nError = errno;
    m_fd = -1;
    if (m_fDirect) return !nError || Fail(pnError, nError);
    if (!nError && ::rename(m_strTemp.c_str(), m_strTarget.c_str()) != 0) nError = errno;
    if (nError) {
        ::unlink(m_strTemp.c_str());
        m_strTemp.clear();
        return Fail(pnError, nError);
    }
    m_strTemp.clear();
    // Make the rename itself durable.
    std::string dir = fs::path(m_strTarget).parent_path().string();
    int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

} // namespace velka
