#include "gps/gpsd.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "gps/gps_log.h"
#include "gps/positioning.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

using json = nlohmann::json;

constexpr std::size_t c_cchMaxLine = 64 * 1024; // gpsd's longest reports are a few kilobytes
constexpr int c_msConnect = 2000;
constexpr int c_msPoll = 200;
constexpr DWORD c_msFirstPause = 1000;
constexpr DWORD c_msLongestPause = 30000;
constexpr const char c_szWatch[] = "?WATCH={\"enable\":true,\"json\":true};\n";

// A number member, or false when absent or not a finite number.
bool Number(const json& j, const char* szName, double* pd) {
    auto it = j.find(szName);
    if (it == j.end() || !it->is_number()) return false;
    const double d = it->get<double>();
    if (!std::isfinite(d)) return false;
    *pd = d;
    return true;
}

int ParseDigits(std::string_view s, std::size_t pos, std::size_t n, bool* pfOk) {
    int v = 0;
    for (std::size_t i = pos; i < pos + n; ++i) {
        if (i >= s.size() || s[i] < '0' || s[i] > '9') {
            *pfOk = false;
            return 0;
        }
        v = v * 10 + (s[i] - '0');
    }
    return v;
}

// gpsd's mode (1 no fix, 2 2D, 3 3D) and status (2 DGPS, 3 RTK fixed, 4
// RTK float, 5 dead reckoning, 6 GNSS and dead reckoning, 7 time only, 8
// simulated) as the fix quality codes.
int Quality(int nMode, int nStatus) {
    if (nMode < 2) return 0;
    switch (nStatus) {
    case 2: return nMode == 2 ? 4 : 5;
    case 3: return 7;
    case 4: return 8;
    case 5:
    case 6: return 9;
    case 8: return 11;
    default: return nMode == 2 ? 2 : 3;
    }
}

class CSocket {
public:
    ~CSocket() { Close(); }
    void Close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }
    bool Connect(const CGpsdAddress& addr);
    bool SendAll(const char* p, std::size_t cb);
    int Fd() const { return m_fd; }

private:
    int m_fd = -1;
};

bool CSocket::Connect(const CGpsdAddress& addr) {
    Close();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* pList = nullptr;
    if (::getaddrinfo(addr.strHost.c_str(), addr.strPort.c_str(), &hints, &pList) != 0) return false;
    for (addrinfo* p = pList; p && m_fd < 0; p = p->ai_next) {
        int fd = ::socket(p->ai_family, p->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, p->ai_protocol);
        if (fd < 0) continue;
        bool fOk = ::connect(fd, p->ai_addr, p->ai_addrlen) == 0;
        if (!fOk && errno == EINPROGRESS) {
            pollfd pfd{fd, POLLOUT, 0};
            int nError = 0;
            socklen_t cbError = sizeof nError;
            fOk = ::poll(&pfd, 1, c_msConnect) == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &nError, &cbError) == 0 &&
                  nError == 0;
        }
        if (fOk)
            m_fd = fd;
        else
            ::close(fd);
    }
    ::freeaddrinfo(pList);
    return m_fd >= 0;
}

bool CSocket::SendAll(const char* p, std::size_t cb) {
    while (cb) {
        pollfd pfd{m_fd, POLLOUT, 0};
        if (::poll(&pfd, 1, c_msConnect) != 1) return false;
        const ssize_t n = ::send(m_fd, p, cb, MSG_NOSIGNAL);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return false;
        p += n;
        cb -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

bool ParseGpsdAddress(std::u16string_view strText, CGpsdAddress* pAddress) {
    std::string s = ToUtf8(strText);
    s.erase(0, s.find_first_not_of(" \t"));
    s.erase(s.find_last_not_of(" \t") + 1); // npos + 1: all blank, all erased
    std::string strHost = s, strPort = "2947";
    if (!s.empty() && s[0] == '[') {
        const std::size_t e = s.find(']');
        if (e == std::string::npos) return false;
        strHost = s.substr(1, e - 1);
        if (e + 1 < s.size()) {
            if (s[e + 1] != ':') return false;
            strPort = s.substr(e + 2);
        }
    } else if (const std::size_t c = s.find(':'); c != std::string::npos && s.find(':', c + 1) == std::string::npos) {
        strHost = s.substr(0, c);
        strPort = s.substr(c + 1);
    }
    if (strHost.empty() || strPort.empty() || strPort.size() > 5 ||
        !std::all_of(strPort.begin(), strPort.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
        return false;
    const int nPort = std::stoi(strPort);
    if (nPort < 1 || nPort > 65535) return false;
    pAddress->strHost = strHost;
    pAddress->strPort = std::to_string(nPort);
    return true;
}

int GpsdSetting() { return ReadSettingInt(u"UseGpsd", -1); }
std::u16string GpsdServer() { return ReadSettingString(u"GpsdServer", 128, c_szDefaultGpsdServer); }

bool ParseGpsdTime(std::string_view s, double* pdTime) {
    // YYYY-MM-DDTHH:MM:SS[.fff]Z
    if (s.size() < 20 || s[4] != '-' || s[7] != '-' || s[10] != 'T' || s[13] != ':' || s[16] != ':' ||
        s.back() != 'Z')
        return false;
    bool fOk = true;
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(ParseDigits(s, 0, 4, &fOk));
    st.wMonth = static_cast<WORD>(ParseDigits(s, 5, 2, &fOk));
    st.wDay = static_cast<WORD>(ParseDigits(s, 8, 2, &fOk));
    st.wHour = static_cast<WORD>(ParseDigits(s, 11, 2, &fOk));
    st.wMinute = static_cast<WORD>(ParseDigits(s, 14, 2, &fOk));
    st.wSecond = static_cast<WORD>(ParseDigits(s, 17, 2, &fOk));
    double dFraction = 0;
    if (s.size() > 20) {
        if (s[19] != '.') return false;
        double dScale = 0.1;
        for (std::size_t i = 20; i + 1 < s.size(); ++i, dScale /= 10) {
            if (s[i] < '0' || s[i] > '9') return false;
            dFraction += (s[i] - '0') * dScale;
        }
    } else if (s.size() != 20) {
        return false;
    }
    if (!fOk || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 || st.wDay > 31 || st.wHour > 23 ||
        st.wMinute > 59 || st.wSecond > 60)
        return false;
    double d = 0;
    if (!SystemTimeToVariantTime(st, &d)) return false;
    *pdTime = d + dFraction / 86400.0;
    return true;
}

int CGpsdDecoder::OnData(const BYTE* pb, std::size_t cb) {
    for (std::size_t i = 0; i < cb; ++i) {
        const char ch = static_cast<char>(pb[i]);
        if (ch == '\n') {
            if (!m_fOverlong) OnLine(m_strLine);
            m_strLine.clear();
            m_fOverlong = false;
        } else if (m_strLine.size() < c_cchMaxLine) {
            m_strLine += ch;
        } else {
            m_fOverlong = true;
        }
    }
    return m_fRecognised ? c_nGpsRecognised : c_nGpsUndecided;
}

void CGpsdDecoder::OnLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
    if (line.empty() || line.front() != '{') return;
    const json j = json::parse(line, nullptr, false);
    if (j.is_discarded() || !j.is_object()) return;
    auto it = j.find("class");
    if (it == j.end() || !it->is_string()) return;
    const std::string& strClass = it->get_ref<const std::string&>();
    if (strClass == "TPV")
        OnTpv(&j);
    else if (strClass == "SKY")
        OnSky(&j);
}

void CGpsdDecoder::OnTpv(const void* pReport) {
    const json& j = *static_cast<const json*>(pReport);
    m_fRecognised = true;
    GpsFix fix;
    fix.Empty();
    double d = 0;
    const int nMode = Number(j, "mode", &d) ? static_cast<int>(d) : 0;
    const int nStatus = Number(j, "status", &d) ? static_cast<int>(d) : 1;
    fix.SetQuality(Quality(nMode, nStatus));
    if (auto it = j.find("time"); it != j.end() && it->is_string()) {
        double t = 0;
        if (ParseGpsdTime(it->get_ref<const std::string&>(), &t)) {
            t = m_sink.FixupGPSEpoch(t);
            m_sink.FixupClock(t);
            fix.SetTime(t);
        }
    }
    double dLat = 0, dLon = 0;
    const bool fPosition = nMode >= 2 && Number(j, "lat", &dLat) && Number(j, "lon", &dLon) &&
                           std::fabs(dLat) <= 90 && std::fabs(dLon) <= 180;
    if (fPosition) fix.SetPosition(static_cast<float>(dLon), static_cast<float>(dLat));
    if (nMode >= 3 && (Number(j, "altMSL", &d) || Number(j, "alt", &d))) fix.SetAltitude(static_cast<float>(d));
    if (Number(j, "geoidSep", &d)) fix.SetGeoidHeight(static_cast<float>(d));
    if (fPosition) {
        double dx = 0, dy = 0;
        if (Number(j, "eph", &d))
            fix.SetHorzError(static_cast<float>(d));
        else if (Number(j, "epx", &dx) && Number(j, "epy", &dy))
            fix.SetHorzError(static_cast<float>(std::hypot(dx, dy)));
        if (Number(j, "epv", &d)) fix.SetVertError(static_cast<float>(d));
    }
    float fSpeed = 0, fCourse = 0;
    const bool fSpeedValid = fPosition && Number(j, "speed", &d) && d >= 0;
    if (fSpeedValid) {
        fSpeed = static_cast<float>(d * 3.6); // m/s to km/h
        fix.SetSpeed(fSpeed);
    }
    const bool fCourseValid = fPosition && Number(j, "track", &d) && d >= 0 && d < 360.5;
    if (fCourseValid) {
        fCourse = static_cast<float>(d);
        fix.SetCourse(fCourse);
    }
    if (fPosition && Number(j, "climb", &d)) fix.SetVertSpeed(static_cast<float>(d));
    if (Number(j, "magvar", &d)) fix.SetMagVar(static_cast<float>(d));
    if (m_cUsed >= 0) fix.SetSatellites(m_cUsed);
    if (fPosition && m_fHDOP >= 0) fix.SetHDOP(m_fHDOP);
    if (fPosition && m_fVDOP >= 0) fix.SetVDOP(m_fVDOP);
    if (fPosition) m_sink.UpdateLastPosition(fix.fLongitude, fix.fLatitude, fCourse, fCourseValid, fSpeed, fSpeedValid);
    m_sink.OnFix(fix);
}

void CGpsdDecoder::OnSky(const void* pReport) {
    const json& j = *static_cast<const json*>(pReport);
    m_fRecognised = true;
    double d = 0;
    if (Number(j, "hdop", &d) && d >= 0) m_fHDOP = static_cast<float>(d);
    if (Number(j, "vdop", &d) && d >= 0) m_fVDOP = static_cast<float>(d);
    auto it = j.find("satellites");
    if (it == j.end() || !it->is_array()) {
        if (Number(j, "uSat", &d) && d >= 0) m_cUsed = static_cast<int>(d);
        return;
    }
    const json& sats = *it;
    const int cSats = static_cast<int>(std::min<std::size_t>(sats.size(), 256));
    m_sink.ResetSatellites(cSats);
    int cUsed = 0;
    for (int i = 0; i < cSats; ++i) {
        const json& s = sats[static_cast<std::size_t>(i)];
        if (!s.is_object()) continue;
        GpsSatellite sat;
        if (Number(s, "PRN", &d)) sat.nPRN = static_cast<int>(d);
        if (Number(s, "el", &d)) sat.nElevation = static_cast<int>(std::lround(d));
        if (Number(s, "az", &d)) sat.nAzimuth = static_cast<int>(std::lround(d));
        if (Number(s, "ss", &d)) sat.nSNR = static_cast<int>(std::lround(d));
        auto itUsed = s.find("used");
        const bool fUsed = itUsed != s.end() && itUsed->is_boolean() && itUsed->get<bool>();
        sat.nState = fUsed ? 2 : 1;
        cUsed += fUsed;
        m_sink.AddSatellite(sat);
    }
    m_sink.SatellitesCompleted();
    m_cUsed = Number(j, "uSat", &d) && d >= 0 ? static_cast<int>(d) : cUsed;
}

int RunGpsdReader(CEvent* pStop, CEvent* pFound, bool fAuto) {
    const std::u16string strServer = GpsdServer();
    CGpsdAddress addr;
    if (!ParseGpsdAddress(strServer, &addr)) {
        GpsLog(u"gpsd: the server '%s' is not host:port.", strServer.c_str());
        return 1;
    }
    const std::u16string strName = LoadStr(IDS_GPSD_NAME);
    DWORD msPause = c_msFirstPause;
    bool fEverConnected = false;
    while (!pStop->IsSet()) {
        CSocket sock;
        if (!sock.Connect(addr) || !sock.SendAll(c_szWatch, sizeof c_szWatch - 1)) {
            if (fAuto && !fEverConnected) {
                GpsLog(u"gpsd: no answer at %s.", strServer.c_str());
                return 1;
            }
            if (pStop->Wait(msPause)) break;
            msPause = std::min(msPause * 2, c_msLongestPause);
            continue;
        }
        fEverConnected = true;
        GpsLog(u"gpsd: connected to %s.", strServer.c_str());
        // Searching: another source may win the race first.
        const bool fOthersWon = pFound->IsSet();
        if (fOthersWon) return 0;
        SetGpsStatus(IDS_GPS_SEARCHING, strName.c_str());
        CGpsdDecoder decoder(PositioningSink());
        bool fSearching = true;
        for (;;) {
            if (pStop->IsSet()) return 0;
            if (fSearching && pFound->IsSet()) return 0;
            pollfd pfd{sock.Fd(), POLLIN, 0};
            const int n = ::poll(&pfd, 1, c_msPoll);
            if (n < 0 && errno != EINTR) break;
            if (n <= 0) continue;
            BYTE buf[4096];
            const ssize_t cb = ::recv(sock.Fd(), buf, sizeof buf, 0);
            if (cb < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (cb <= 0) break; // gpsd went away
            if (decoder.OnData(buf, static_cast<std::size_t>(cb)) == c_nGpsRecognised && fSearching) {
                fSearching = false;
                msPause = c_msFirstPause;
                pFound->Set();
                SetGpsStatus(IDS_GPS_CONNECTED_VIA_DEVICE, strName.c_str(), strServer.c_str());
                SetGpsIndicator(0);
            }
        }
        GpsLog(u"gpsd: connection to %s lost.", strServer.c_str());
        if (!fSearching) {
            // The race is open again while gpsd is away.
            pFound->Reset();
            SetGpsStatus(IDS_GPS_PROTOCOL_ERROR);
            SetGpsIndicator(-1);
            ReportNoPosition();
        }
        if (pStop->Wait(msPause)) break;
        msPause = std::min(msPause * 2, c_msLongestPause);
    }
    return 0;
}

} // namespace velka
