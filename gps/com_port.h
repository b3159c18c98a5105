// CComPort: a serial port in the manner of a Win32 communications handle,
// on POSIX termios. Port index n ("COM%d:") maps to a device path: the
// setting "Device_COM%d" when it names one (any path, a pseudo-terminal
// included), else the n-th serial device found (USB serial, ACM modems,
// Bluetooth serial, then UARTs that exist), in a stable order.
#pragma once
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace velka {

constexpr int c_cMinComPort = 0;
constexpr int c_cMaxComPort = 19;

// Win32 error codes the port reports through its last error.
constexpr DWORD ERROR_FILE_NOT_FOUND_ = 2;
constexpr DWORD ERROR_ACCESS_DENIED_ = 5;
constexpr DWORD ERROR_INVALID_NAME_ = 123;
constexpr DWORD ERROR_SHARING_VIOLATION_ = 32;
constexpr DWORD ERROR_GEN_FAILURE_ = 31;
constexpr DWORD ERROR_DEVICE_REMOVED_ = 1617;

// Access rights for Open.
constexpr DWORD GENERIC_READ_ = 0x80000000u;
constexpr DWORD GENERIC_WRITE_ = 0x40000000u;

// Communication error bits as ClearCommError reports them.
constexpr DWORD CE_RXOVER = 0x1;
constexpr DWORD CE_OVERRUN = 0x2;
constexpr DWORD CE_RXPARITY = 0x4;
constexpr DWORD CE_FRAME = 0x8;
constexpr DWORD CE_BREAK = 0x10;

struct COMMTIMEOUTS {
    DWORD ReadIntervalTimeout = 0;
    DWORD ReadTotalTimeoutMultiplier = 0;
    DWORD ReadTotalTimeoutConstant = 0;
    DWORD WriteTotalTimeoutMultiplier = 0;
    DWORD WriteTotalTimeoutConstant = 0;
};

// Serial devices of this machine in the default index order.
std::vector<std::string> FindSerialDevices();
// The device path of a port index ("" when none).
std::string ComPortDevicePath(int nIndex);
// Replaces the whole mapping (settings and search) for this process
// (velkatool listen): index n is entry n; an empty list restores it.
void SetComPortDeviceList(std::vector<std::string> devices);

class CComPort {
public:
    CComPort() = default;
    ~CComPort();
    CComPort(const CComPort&) = delete;
    CComPort& operator=(const CComPort&) = delete;

    // Opens the port of that index exclusively; false with LastError() set.
    bool Open(int nIndex, DWORD dwAccess);
    // Opens a device path directly under the given port name.
    bool OpenPath(const std::string& strPath, int nIndex, DWORD dwAccess);
    void Close();
    bool IsValid() const { return m_fd >= 0; }
    // The device went away under the open port (unplugged receiver, closed
    // far end of a pseudo-terminal): reading it again is useless, the port
    // must be closed and opened anew.
    bool IsGone() const { return m_fGone; }
    DWORD LastError() const { return m_dwLastError; }
    const char16_t* Name() const { return m_strName.c_str(); }
    const std::string& DevicePath() const { return m_strPath; }

    // Baud rate, byte size, parity on or off, stop-bits code (0 one, 1 one
    // and a half, 2 two).
    bool SetState(DWORD dwBaudRate, BYTE btByteSize, bool fParity, BYTE btStopBits);
    // Driver queue sizes: the kernel's queues serve; nothing to set.
    bool SetQueues(DWORD cbInput, DWORD cbOutput);
    // Discards unread input and unsent output.
    bool Purge();
    bool SetTimeouts(const COMMTIMEOUTS& timeouts);
    // Errors since the last call (CE_ bits) and the count of queued input bytes.
    bool ClearCommError(DWORD* pdwErrors, DWORD* pcbInQueue);
    // Reads up to cb bytes within the read time-outs; false on an error
    // (the bytes read so far are still counted).
    bool Read(BYTE* pb, DWORD cb, DWORD* pcbRead);
    // Writes all bytes within the write time-outs.
    bool Write(const BYTE* pb, DWORD cb, DWORD* pcbWritten);

private:
    bool Fail(int nErrno);
    bool Vanished(int nErrno);

    int m_fd = -1;
    DWORD m_dwLastError = 0;
    std::u16string m_strName;
    std::string m_strPath;
    COMMTIMEOUTS m_timeouts;
    // Line error counters at the previous ClearCommError (real UARTs only).
    bool m_fHaveCounts = false;
    int m_anCounts[5] = {};
    bool m_fGone = false;
};

// Writes bytes to the port; a failure is logged, and the bytes are logged
// as sent in any case.
void WritePort(CComPort* pPort, const BYTE* pb, DWORD cb);

} // namespace velka
