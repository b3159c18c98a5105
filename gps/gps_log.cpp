#include "gps/gps_log.h"

#include <cstdarg>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "gps/com_port.h"
#include "platform/clock.h"
#include "platform/debug.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "shell/settings.h"

namespace velka {
namespace {

constexpr std::size_t c_cchMessage = 4096;
// The log holds raw positions and grows with every read: at this size it is
// moved aside to "gps_log.txt.1" (replacing the older one) and started anew.
std::size_t g_cbLogLimit = 4u << 20;
std::size_t g_cbLogWritten = 0;

// The log file: opened once per process (or per SetGpsLogPath); a failed
// open is not retried.
std::mutex g_logMutex;
int g_fdLog = -1;
bool g_fLogOpenTried = false;
std::string g_strLogPath;

void WriteUtf16(int fd, const std::u16string& s) {
    std::string bytes;
    bytes.reserve(s.size() * 2);
    for (char16_t ch : s) {
        bytes.push_back(static_cast<char>(ch & 0xFF));
        bytes.push_back(static_cast<char>(ch >> 8));
    }
    const char* p = bytes.data();
    std::size_t cb = bytes.size();
    while (cb > 0) {
        ssize_t n = ::write(fd, p, cb);
        if (n <= 0) return;
        p += n;
        cb -= static_cast<std::size_t>(n);
    }
}

// Opens the log; true when it was opened by this call (the caller then
// writes the version and date lines).
// Opens (creates) the log file, private to the user: it holds where the
// user has been.
int OpenLogFile(const std::string& path, std::size_t* pcbSize) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    if ((st.st_mode & 077) != 0) ::fchmod(fd, 0600);
    *pcbSize = static_cast<std::size_t>(st.st_size);
    return fd;
}

bool OpenLogOnce() {
    std::lock_guard<std::mutex> lock(g_logMutex);
    if (g_fLogOpenTried) return false;
    g_fLogOpenTried = true;
    std::string path = GpsLogPath();
    std::string::size_type slash = path.rfind('/');
    if (slash != std::string::npos) EnsurePrivateDirectory(path.substr(0, slash));
    std::size_t cbSize = 0;
    int fd = OpenLogFile(path, &cbSize);
    if (fd < 0) return false;
    g_cbLogWritten = cbSize;
    if (cbSize == 0) {
        const char bom[2] = {static_cast<char>(0xFF), static_cast<char>(0xFE)};
        if (::write(fd, bom, 2) != 2) {
            ::close(fd);
            return false;
        }
        g_cbLogWritten += 2;
    }
    WriteUtf16(fd, u"-----------------------\r\n");
    g_cbLogWritten += 50;
    g_fdLog = fd;
    return true;
}

// Moves the full log aside and starts a new one (with its mark).
void RotateLocked() {
    const std::string path = GpsLogPath();
    ::close(g_fdLog);
    g_fdLog = -1;
    ::rename(path.c_str(), (path + ".1").c_str());
    std::size_t cbSize = 0;
    int fd = OpenLogFile(path, &cbSize);
    if (fd < 0) return;
    g_cbLogWritten = cbSize;
    if (cbSize == 0) {
        const char bom[2] = {static_cast<char>(0xFF), static_cast<char>(0xFE)};
        if (::write(fd, bom, 2) == 2) g_cbLogWritten += 2;
    }
    g_fdLog = fd;
}

} // namespace

void SetGpsLogPath(const std::string& strPath) {
    std::lock_guard<std::mutex> lock(g_logMutex);
    if (g_fdLog >= 0) ::close(g_fdLog);
    g_fdLog = -1;
    g_fLogOpenTried = false;
    g_strLogPath = strPath;
}

std::string GpsLogPath() {
    if (!g_strLogPath.empty()) return g_strLogPath;
    return VelkaStateDir() + "/gps_log.txt";
}

void GpsLog(const char16_t* szFormat, ...) {
    if (!ReadSettingBool(u"LogCOMPorts", false)) return;
    SYSTEMTIME st = GetLocalTime();
    if (OpenLogOnce()) {
        GpsLog(u"Version: %d.%d.%d.%d", 1, 1, 28, 15);
        GpsLog(u"Today: %d-%d-%02d", st.wYear, st.wMonth, st.wDay);
    }
    va_list args;
    va_start(args, szFormat);
    std::u16string message = FormatWV(szFormat, args);
    va_end(args);
    if (message.size() > c_cchMessage - 1) message.resize(c_cchMessage - 1);
    std::u16string line = FormatW(u"%02d:%02d:%02d@%04d> ", st.wHour, st.wMinute, st.wSecond,
                                  static_cast<int>(GetTickCount() % 10000));
    line += message;
    DebugOutput(ToUtf8(line));
    line += u"\r\n";
    std::lock_guard<std::mutex> lock(g_logMutex);
    if (g_fdLog < 0) return;
    if (g_cbLogWritten + line.size() * 2 > g_cbLogLimit) RotateLocked();
    if (g_fdLog >= 0) {
        WriteUtf16(g_fdLog, line);
        g_cbLogWritten += line.size() * 2;
    }
}

void SetGpsLogLimitForTest(std::size_t cbLimit) {
    std::lock_guard<std::mutex> lock(g_logMutex);
    g_cbLogLimit = cbLimit;
}

std::u16string EscapeGpsLogBytes(const BYTE* pb, DWORD cb) {
    std::u16string text;
    text.reserve(static_cast<std::size_t>(cb) * 4);
    static const char16_t c_szHex[] = u"0123456789ABCDEF";
    for (DWORD i = 0; i < cb; ++i) {
        BYTE b = pb[i];
        if (b >= 0x20 && b < 0x80) {
            text += static_cast<char16_t>(b);
        } else if (b == 0x0A) {
            text += u"\\n";
        } else if (b == 0x0D) {
            text += u"\\r";
        } else {
            text += u"\\x";
            text += c_szHex[b >> 4];
            text += c_szHex[b & 15];
        }
    }
    return text;
}

void GpsLogData(const CComPort* pPort, DWORD cb, const BYTE* pb, bool fSent) {
    if (!ReadSettingBool(u"LogCOMPorts", false)) return;
    std::u16string text = EscapeGpsLogBytes(pb, cb);
    const char16_t* szName = pPort ? pPort->Name() : u"";
    if (fSent)
        GpsLog(u"%s sent     %04d bytes: -->%s<--", szName, static_cast<int>(cb), text.c_str());
    else
        GpsLog(u"%s received %04d bytes: -->%s<--", szName, static_cast<int>(cb), text.c_str());
}

} // namespace velka
