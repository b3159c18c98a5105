#include "gps/com_port.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <linux/serial.h>
#include <mutex>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "gps/gps_log.h"
#include "platform/debug.h"
#include "platform/text.h"
#include "shell/settings.h"

namespace velka {
namespace {

std::mutex g_devicesMutex;
std::vector<std::string> g_overrideDevices;

// Device numbers in a name such as "ttyUSB12" (-1 when none).
int TrailingNumber(const std::string& s) {
    std::size_t i = s.size();
    while (i > 0 && s[i - 1] >= '0' && s[i - 1] <= '9') --i;
    if (i == s.size()) return -1;
    return std::stoi(s.substr(i));
}

bool UartPresent(const std::string& strName) {
    std::ifstream in("/sys/class/tty/" + strName + "/type");
    int nType = 0;
    return (in >> nType) && nType != 0;
}

speed_t SpeedOf(DWORD dwBaud) {
    switch (dwBaud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return B4800;
    }
}

long long NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Waits for the descriptor to become ready; false on time-out.
bool PollFor(int fd, short events, long long msTimeout) {
    pollfd p{fd, events, 0};
    int rc;
    do {
        rc = ::poll(&p, 1, static_cast<int>(std::max(0LL, msTimeout)));
    } while (rc < 0 && errno == EINTR);
    return rc > 0;
}

bool HungUp(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

} // namespace

std::vector<std::string> FindSerialDevices() {
    // Order: USB serial adapters, ACM modems, Bluetooth serial, UARTs.
    static const char* const c_aszPrefixes[] = {"ttyUSB", "ttyACM", "rfcomm", "ttyS"};
    std::vector<std::string> result;
    for (const char* szPrefix : c_aszPrefixes) {
        std::vector<std::pair<int, std::string>> found;
        std::string prefix = szPrefix;
        if (DIR* d = ::opendir("/dev")) {
            while (dirent* e = ::readdir(d)) {
                std::string name = e->d_name;
                if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
                int n = TrailingNumber(name);
                if (n < 0 || std::to_string(n) != name.substr(prefix.size())) continue;
                if (prefix == "ttyS" && !UartPresent(name)) continue;
                found.emplace_back(n, "/dev/" + name);
            }
            ::closedir(d);
        }
        std::sort(found.begin(), found.end());
        for (auto& f : found) result.push_back(f.second);
    }
    return result;
}

void SetComPortDeviceList(std::vector<std::string> devices) {
    std::lock_guard<std::mutex> lock(g_devicesMutex);
    g_overrideDevices = std::move(devices);
}

std::string ComPortDevicePath(int nIndex) {
    {
        std::lock_guard<std::mutex> lock(g_devicesMutex);
        if (!g_overrideDevices.empty())
            return nIndex >= 0 && static_cast<std::size_t>(nIndex) < g_overrideDevices.size()
                       ? g_overrideDevices[static_cast<std::size_t>(nIndex)]
                       : std::string();
    }
    std::u16string setting = ReadSettingString(FormatW(u"Device_COM%d", nIndex).c_str(), 260, u"");
    if (!setting.empty()) return ToUtf8(setting);
    std::vector<std::string> devices = FindSerialDevices();
    if (nIndex >= 0 && static_cast<std::size_t>(nIndex) < devices.size())
        return devices[static_cast<std::size_t>(nIndex)];
    return "";
}

CComPort::~CComPort() { Close(); }

bool CComPort::Fail(int nErrno) {
    switch (nErrno) {
    case ENOENT:
    case ENXIO:
    case ENODEV: m_dwLastError = ERROR_FILE_NOT_FOUND_; break;
    case EACCES:
    case EPERM: m_dwLastError = ERROR_ACCESS_DENIED_; break;
    case EBUSY:
    case EWOULDBLOCK: m_dwLastError = ERROR_SHARING_VIOLATION_; break;
    case ENAMETOOLONG:
    case ENOTDIR: m_dwLastError = ERROR_INVALID_NAME_; break;
    default: m_dwLastError = ERROR_GEN_FAILURE_; break;
    }
    return false;
}

bool CComPort::Vanished(int nErrno) {
    m_fGone = true;
    Fail(nErrno);
    m_dwLastError = ERROR_DEVICE_REMOVED_;
    return false;
}

bool CComPort::Open(int nIndex, DWORD dwAccess) {
    std::string path = ComPortDevicePath(nIndex);
    if (path.empty()) {
        Close();
        m_strName = FormatW(u"COM%d:", nIndex);
        m_dwLastError = ERROR_FILE_NOT_FOUND_;
        return false;
    }
    return OpenPath(path, nIndex, dwAccess);
}

bool CComPort::OpenPath(const std::string& strPath, int nIndex, DWORD dwAccess) {
    Close();
    m_strName = FormatW(u"COM%d:", nIndex);
    m_strPath = strPath;
    int flags = O_NOCTTY | O_NONBLOCK | O_CLOEXEC;
    bool fRead = (dwAccess & GENERIC_READ_) != 0, fWrite = (dwAccess & GENERIC_WRITE_) != 0;
    flags |= fRead && fWrite ? O_RDWR : fWrite ? O_WRONLY : O_RDONLY;
    int fd = ::open(strPath.c_str(), flags);
    if (fd < 0) return Fail(errno);
    // No sharing: a second opener of the same device fails.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int e = errno;
        ::close(fd);
        return Fail(e);
    }
    if (!::isatty(fd)) {
        // Only terminals (serial devices and pseudo-terminals) are ports.
        ::close(fd);
        m_dwLastError = ERROR_INVALID_NAME_;
        return false;
    }
    m_fd = fd;
    m_dwLastError = 0;
    m_fHaveCounts = false;
    m_fGone = false;
    return true;
}

void CComPort::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool CComPort::SetState(DWORD dwBaudRate, BYTE btByteSize, bool fParity, BYTE btStopBits) {
    VELKA_ASSERT(IsValid());
    termios tio{};
    if (::tcgetattr(m_fd, &tio) != 0) return Fail(errno);
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    switch (btByteSize) {
    case 5: tio.c_cflag |= CS5; break;
    case 6: tio.c_cflag |= CS6; break;
    case 7: tio.c_cflag |= CS7; break;
    default: tio.c_cflag |= CS8; break;
    }
    if (fParity) tio.c_cflag |= PARENB;
    if (btStopBits != 0) tio.c_cflag |= CSTOPB;
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, SpeedOf(dwBaudRate));
    ::cfsetospeed(&tio, SpeedOf(dwBaudRate));
    if (::tcsetattr(m_fd, TCSANOW, &tio) != 0) return Fail(errno);
    return true;
}

bool CComPort::SetQueues(DWORD, DWORD) {
    VELKA_ASSERT(IsValid());
    return IsValid();
}

bool CComPort::Purge() {
    VELKA_ASSERT(IsValid());
    if (::tcflush(m_fd, TCIOFLUSH) != 0) return Fail(errno);
    return true;
}

bool CComPort::SetTimeouts(const COMMTIMEOUTS& timeouts) {
    VELKA_ASSERT(IsValid());
    m_timeouts = timeouts;
    return IsValid();
}

bool CComPort::ClearCommError(DWORD* pdwErrors, DWORD* pcbInQueue) {
    VELKA_ASSERT(IsValid());
    if (pdwErrors) *pdwErrors = 0;
    if (pcbInQueue) *pcbInQueue = 0;
    if (!IsValid()) {
        m_dwLastError = 6; // ERROR_INVALID_HANDLE
        return false;
    }
    int cb = 0;
    if (::ioctl(m_fd, FIONREAD, &cb) != 0)
        return errno == EIO || errno == ENXIO || errno == ENODEV ? Vanished(errno) : Fail(errno);
    if (pcbInQueue) *pcbInQueue = cb > 0 ? static_cast<DWORD>(cb) : 0;
    if (cb <= 0) {
        // A hung-up line with nothing left to read: the device is gone.
        if (HungUp(m_fd)) return Vanished(EIO);
    }
    // Real UARTs count line errors; a change since the last call is reported.
    serial_icounter_struct ic{};
    if (::ioctl(m_fd, TIOCGICOUNT, &ic) == 0) {
        int counts[5] = {ic.buf_overrun, ic.overrun, ic.parity, ic.frame, ic.brk};
        static const DWORD c_adwBits[5] = {CE_RXOVER, CE_OVERRUN, CE_RXPARITY, CE_FRAME, CE_BREAK};
        DWORD dwErrors = 0;
        if (m_fHaveCounts)
            for (int i = 0; i < 5; ++i)
                if (counts[i] != m_anCounts[i]) dwErrors |= c_adwBits[i];
        std::copy(counts, counts + 5, m_anCounts);
        m_fHaveCounts = true;
        if (pdwErrors) *pdwErrors = dwErrors;
    }
    return true;
}

bool CComPort::Read(BYTE* pb, DWORD cb, DWORD* pcbRead) {
    VELKA_ASSERT(IsValid());
    DWORD got = 0;
    if (pcbRead) *pcbRead = 0;
    if (!IsValid()) return false;
    const COMMTIMEOUTS& t = m_timeouts;
    long long start = NowMs();
    long long total = static_cast<long long>(t.ReadTotalTimeoutMultiplier) * cb + t.ReadTotalTimeoutConstant;
    bool fOk = true;
    while (got < cb) {
        ssize_t n = ::read(m_fd, pb + got, cb - got);
        if (n > 0) {
            got += static_cast<DWORD>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            // EIO, ENXIO, ENODEV: the receiver was unplugged or the far end
            // of a pseudo-terminal has closed.
            fOk = errno == EIO || errno == ENXIO || errno == ENODEV ? Vanished(errno) : Fail(errno);
            break;
        }
        if (n == 0) {
            // Nothing queued (raw mode without a minimum count), or a line
            // that hung up.
            if (HungUp(m_fd)) fOk = Vanished(EIO);
            break;
        }
        long long now = NowMs();
        long long wait = total > 0 || t.ReadIntervalTimeout == 0 ? start + total - now : 0;
        if (got > 0 && t.ReadIntervalTimeout > 0)
            wait = total > 0 ? std::min<long long>(wait, t.ReadIntervalTimeout) : t.ReadIntervalTimeout;
        if (wait <= 0 || !PollFor(m_fd, POLLIN, wait)) break;
    }
    if (pcbRead) *pcbRead = got;
    return fOk;
}

bool CComPort::Write(const BYTE* pb, DWORD cb, DWORD* pcbWritten) {
    VELKA_ASSERT(IsValid());
    if (pcbWritten) *pcbWritten = 0;
    if (!IsValid()) return false;
    const COMMTIMEOUTS& t = m_timeouts;
    long long total = static_cast<long long>(t.WriteTotalTimeoutMultiplier) * cb + t.WriteTotalTimeoutConstant;
    long long deadline = NowMs() + (total > 0 ? total : 1000);
    DWORD done = 0;
    while (done < cb) {
        ssize_t n = ::write(m_fd, pb + done, cb - done);
        if (n > 0) {
            done += static_cast<DWORD>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            Fail(errno);
            break;
        }
        if (!PollFor(m_fd, POLLOUT, deadline - NowMs())) {
            m_dwLastError = 1460; // ERROR_TIMEOUT
            break;
        }
    }
    if (pcbWritten) *pcbWritten = done;
    return done == cb;
}

void WritePort(CComPort* pPort, const BYTE* pb, DWORD cb) {
    DWORD cbWritten = 0;
    if (!pPort->Write(pb, cb, &cbWritten))
        GpsLog(u"WriteFile() failed on %s (error code %d).", pPort->Name(),
               static_cast<int>(pPort->LastError()));
    GpsLogData(pPort, cb, pb, true);
}

} // namespace velka
