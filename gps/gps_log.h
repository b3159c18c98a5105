// The GPS diagnostic log: lines to the debug output and, while the setting
// "LogCOMPorts" is on, to gps_log.txt (UTF-16LE) in velka's state folder.
#pragma once
#include <string>

#include "platform/win_types.h"

namespace velka {

class CComPort;

// Formats one message (printf-style, %s takes const char16_t*) and logs it
// as "hh:mm:ss@tttt> message".
void GpsLog(const char16_t* szFormat, ...);
// Logs bytes read from (fSent false) or written to a port.
void GpsLogData(const CComPort* pPort, DWORD cb, const BYTE* pb, bool fSent);

// The escaped text GpsLogData writes for the bytes: "\n", "\r", "\x%02X"
// for other bytes below 0x20 or from 0x80, every other byte as itself.
std::u16string EscapeGpsLogBytes(const BYTE* pb, DWORD cb);

// Where the log goes (default: the state folder); the log is opened on the
// first line after this call.
void SetGpsLogPath(const std::string& strPath);
std::string GpsLogPath();
// The size at which the log is moved to "gps_log.txt.1" (tests).
void SetGpsLogLimitForTest(std::size_t cbLimit);

} // namespace velka
