// velkatool decode nmea: an NMEA-0183 capture decoded as the navigator
// decodes it, one JSON line per fix handed to positioning, then a summary.
// velkatool listen: the real port search and protocol detection on one
// device, printing fixes as they arrive.
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <sys/stat.h>

#include "gps/com_port.h"
#include "gps/garmin.h"
#include "gps/nmea.h"
#include "gps/nmea_text.h"
#include "gps/positioning.h"
#include "gps/sirf.h"
#include "gps/track_source.h"
#include "platform/clock.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/notifications.h"
#include "shell/posted_boxes.h"
#include "shell/settings.h"
#include "tools/commands.h"

namespace velka::tool {
namespace {

void AppendFloat(std::string& out, const char* szKey, float f) {
    out += ",\"";
    out += szKey;
    out += "\":";
    char buf[32];
    if (!std::isfinite(f)) {
        out += "null";
        return;
    }
    auto r = std::to_chars(buf, buf + sizeof buf, f);
    out.append(buf, r.ptr);
}

void AppendInt(std::string& out, const char* szKey, long long n) {
    out += ",\"";
    out += szKey;
    out += "\":";
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, n);
    out.append(buf, r.ptr);
}

std::string DateTimeText(double dTime);

// OLE date to "YYYY-MM-DDThh:mm:ss.mmmZ".
void AppendTime(std::string& out, double dTime) {
    if (!std::isfinite(dTime) || dTime < -600000 || dTime > 3000000) {
        out += ",\"time\":null";
        return;
    }
    out += ",\"time\":\"" + DateTimeText(dTime) + "\"";
}

std::string DateTimeText(double dTime) {
    long long llMs = std::llround(dTime * 86400000.0);
    long long llDay = llMs >= 0 ? llMs / 86400000 : (llMs - 86399999) / 86400000;
    long long llMsOfDay = llMs - llDay * 86400000;
    // Civil date from days since 1970-01-01.
    long long z = llDay - 25569 + 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long y = yoe + era * 400;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    long long d = doy - (153 * mp + 2) / 5 + 1;
    long long m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2) ++y;
    char buf[160];
    std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld.%03lldZ", y, m, d,
                  llMsOfDay / 3600000, llMsOfDay / 60000 % 60, llMsOfDay / 1000 % 60, llMsOfDay % 1000);
    return buf;
}

std::string DateText(double dTime) { return DateTimeText(dTime).substr(0, 10); }

// One fix as a JSON object; absent values are left out.
std::string FixJson(const GpsFix& fix) {
    std::string out;
    out.reserve(256);
    if (fix.Has(gfTime)) AppendTime(out, fix.dTime);
    if (fix.Has(gfPosition)) {
        AppendFloat(out, "lat", fix.fLatitude);
        AppendFloat(out, "lon", fix.fLongitude);
    }
    if (fix.Has(gfAltitude)) AppendFloat(out, "alt", fix.fAltitude);
    if (fix.Has(gfGeoidHeight)) AppendFloat(out, "geoid", fix.fGeoidHeight);
    if (fix.Has(gfHDOP)) AppendFloat(out, "hdop", fix.fHDOP);
    if (fix.Has(gfVDOP)) AppendFloat(out, "vdop", fix.fVDOP);
    if (fix.Has(gfHorzError)) AppendFloat(out, "herr", fix.fHorzError);
    if (fix.Has(gfVertError)) AppendFloat(out, "verr", fix.fVertError);
    if (fix.Has(gfSpeed)) AppendFloat(out, "speed_kmh", fix.fSpeed);
    if (fix.Has(gfCourse)) AppendFloat(out, "course", fix.fCourse);
    if (fix.Has(gfMagVar)) AppendFloat(out, "magvar", fix.fMagVar);
    // -1 means the receiver does not tell.
    if (fix.Has(gfSatellites) && fix.nSatellites >= 0) AppendInt(out, "sats_used", fix.nSatellites);
    if (fix.Has(gfQuality)) AppendInt(out, "quality", fix.nQuality);
    if (fix.Has(gfDepth)) AppendFloat(out, "depth", fix.fDepth);
    if (fix.Has(gfWaterTemp)) AppendFloat(out, "temp", fix.fWaterTemp);
    if (out.empty()) return "{}";
    out[0] = '{';
    out += '}';
    return out;
}

// Stands in for positioning: prints every fix with data, moves dates by
// the epoch settings (read once), never touches the clock.
class CDecodeSink : public IGpsSink {
public:
    CDecodeSink(std::FILE* pOut, bool fEpochFix) : m_pOut(pOut) {
        m_fEpoch = fEpochFix && ReadSettingBool(u"FixupGPSEpoch", true);
        m_nEpoch = ReadSettingInt(u"GPSEpoch", -1);
        m_out.reserve(1 << 17);
    }
    ~CDecodeSink() override { Flush(); }
    CDecodeSink(const CDecodeSink&) = delete;
    CDecodeSink& operator=(const CDecodeSink&) = delete;

    void OnFix(const GpsFix& fix) override {
        if (fix.dwFlags == 0) return;
        ++m_cFixes;
        m_out += FixJson(fix);
        m_out += '\n';
        if (m_out.size() > (1 << 16)) Flush();
    }
    void UpdateLastPosition(float, float, float, bool, float, bool) override {}
    void ResetSatellites(int) override {}
    void AddSatellite(const GpsSatellite&) override {}
    void SatellitesCompleted() override {}
    double FixupGPSEpoch(double dTime) override {
        return FixupGPSEpochWith(dTime, m_fEpoch, m_nEpoch, EpochPivot());
    }
    double FixupClock(double dTime) override { return dTime; }
    void ReportNoPosition() override {}
    void CountChecksumError() override {}

    // False once a write failed (a full disk, a closed pipe).
    bool Flush() {
        if (!m_out.empty() && std::fwrite(m_out.data(), 1, m_out.size(), m_pOut) != m_out.size())
            m_fWriteFailed = true;
        m_out.clear();
        return !m_fWriteFailed;
    }
    unsigned FixCount() const { return m_cFixes; }
    // The rollover repair's window, told on standard error so that a
    // historical capture is not silently moved.
    void TellEpochWindow() const {
        if (!m_fEpoch) return;
        double dFrom = m_nEpoch < 0 ? EpochPivot() : 29226.0 + 7168.0 * m_nEpoch;
        std::string from = DateText(dFrom), to = DateText(dFrom + 7168.0);
        std::fprintf(stderr,
                     "velkatool decode: GPS dates are moved by 1024 weeks into %s .. %s "
                     "(week rollover repair; --no-epoch-fix keeps them as received)\n",
                     from.c_str(), to.c_str());
    }

private:
    std::FILE* m_pOut;
    std::string m_out;
    bool m_fEpoch = true;
    int m_nEpoch = -1;
    unsigned m_cFixes = 0;
    bool m_fWriteFailed = false;
};

// The summary and the final flush of standard output; a failed write (a
// full device) is an error, not a success with nothing written.
int FinishOutput(CDecodeSink& sink, const std::string& strSummary, bool fRecognised, const char* szWhat) {
    bool fWritten = sink.Flush();
    fWritten = std::fputs(strSummary.c_str(), stdout) >= 0 && fWritten;
    fWritten = std::fflush(stdout) == 0 && fWritten;
    if (!fWritten) {
        std::fprintf(stderr, "velkatool decode: cannot write the output: %s\n", std::strerror(errno));
        return c_nExitFailed;
    }
    if (!fRecognised) {
        std::fprintf(stderr, "velkatool decode: no %s recognised in the input\n", szWhat);
        return c_nExitFailed;
    }
    return c_nExitOk;
}

int DecodeNmea(const std::string& strInput, bool fEpochFix) {
    std::FILE* pIn = strInput == "-" ? stdin : std::fopen(strInput.c_str(), "rb");
    if (!pIn) {
        std::fprintf(stderr, "velkatool decode: cannot open %s: %s\n", strInput.c_str(), std::strerror(errno));
        return c_nExitFailed;
    }
    CDecodeSink sink(stdout, fEpochFix);
    sink.TellEpochWindow();
    CNmea0183Protocol decoder(4800, true);
    decoder.m_pSink = &sink;
    decoder.Start();
    CNmeaTextFeeder feeder(&decoder);
    static char buffer[1 << 16];
    bool fError = false;
    std::size_t cbTotal = 0;
    for (;;) {
        std::size_t cb = std::fread(buffer, 1, sizeof buffer, pIn);
        cbTotal += cb;
        if (cb > 0) feeder.Feed(std::string_view(buffer, cb));
        if (cb < sizeof buffer) {
            fError = std::ferror(pIn) != 0;
            break;
        }
    }
    feeder.Finish();
    if (pIn != stdin) std::fclose(pIn);
    if (fError) {
        std::fprintf(stderr, "velkatool decode: read error on %s\n", strInput.c_str());
        sink.Flush();
        return c_nExitFailed;
    }
    char szSummary[160];
    std::snprintf(szSummary, sizeof szSummary,
                  "{\"summary\":{\"sentences\":%u,\"checksum_errors\":%u,\"fixes\":%u}}\n",
                  decoder.SentenceCount(), decoder.ChecksumErrorCount(), sink.FixCount());
    // An empty input is no error; bytes without one NMEA sentence are.
    return FinishOutput(sink, szSummary, decoder.SentenceCount() > 0 || cbTotal == 0,
                        "NMEA-0183 sentence");
}

// The main window of listen: posted notifications wait in a queue.
class CListenHost : public IUiHost {
public:
    int MessageBox(const std::u16string& strText, const std::u16string&, UINT) override {
        std::fprintf(stderr, "%s\n", ToUtf8(strText).c_str());
        return IDOK;
    }
    bool PostMessage(UINT uMsg, WPARAM, LPARAM) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(uMsg);
        m_cv.notify_one();
        return true;
    }
    bool Next(UINT* puMsg, int msTimeout) {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_cv.wait_for(lock, std::chrono::milliseconds(msTimeout), [this] { return !m_queue.empty(); }))
            return false;
        *puMsg = m_queue.front();
        m_queue.pop_front();
        return true;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<UINT> m_queue;
};

// The boxes a reader thread wanted (a reader that failed), as the host
// prints its boxes.
void PrintPostedErrors() {
    for (const std::u16string& text : TakePostedErrors()) std::fprintf(stderr, "%s\n", ToUtf8(text).c_str());
}

std::atomic<bool> g_fInterrupted{false};
void OnSignal(int) { g_fInterrupted = true; }
bool NeverSetClock(const SYSTEMTIME&) { return false; }

int Listen(const Args& args) {
    std::string strDevice;
    double dSeconds = 0;
    bool fSetClock = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--seconds" && i + 1 < args.size())
            dSeconds = std::atof(args[++i].c_str());
        else if (args[i] == "--set-clock")
            fSetClock = true;
        else if (strDevice.empty())
            strDevice = args[i];
        else
            return UsageError("listen", "unexpected argument '" + args[i] + "'");
    }
    if (strDevice.empty()) return UsageError("listen", "a device is needed");
    if (!IsPortEnabled(0))
        std::fprintf(stderr, "velkatool listen: port COM0: is disabled (Enable_COM0 = 0)\n");

    // A device that is not there is an error, not an empty listen. (Only
    // looked at: opening and closing it would hang up a pseudo-terminal.)
    struct stat st {};
    const int nError = ::stat(strDevice.c_str(), &st) != 0 ? errno : S_ISCHR(st.st_mode) ? 0 : ENOTTY;
    if (nError) {
        std::fprintf(stderr, "velkatool listen: cannot use %s: %s\n", strDevice.c_str(), std::strerror(nError));
        return c_nExitFailed;
    }

    CListenHost host;
    SetUiHost(&host);
    SetComPortDeviceList({strDevice});
    EnableDemoTrack(false);
    EnableGpsdReader(false);
    if (!fSetClock) g_pfnSetSystemClock = NeverSetClock;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    InitPositioning();
    if (!IsPositioningRunning()) StartPositioning();
    DWORD dwStart = GetTickCount();
    unsigned cFixes = 0;
    bool fWriteFailed = false;
    while (!g_fInterrupted && !fWriteFailed && (dSeconds <= 0 || GetTickCount() - dwStart < dSeconds * 1000)) {
        UINT uMsg = 0;
        if (!host.Next(&uMsg, 100)) continue;
        ClearNotificationPending(uMsg);
        if (uMsg == WM_GPS_STATUS) {
            std::fprintf(stderr, "status: %s\n", ToUtf8(GetGpsStatusText()).c_str());
        } else if (uMsg == WM_GPS_FIX) {
            GpsFix fix = GetCurrentFix();
            if (fix.dwFlags != 0) {
                ++cFixes;
                if (std::printf("%s\n", FixJson(fix).c_str()) < 0 || std::fflush(stdout) != 0) fWriteFailed = true;
            }
        } else if (uMsg == WM_POSTED_ERROR) {
            PrintPostedErrors();
        }
    }
    ShutdownPositioning();
    PrintPostedErrors();
    SetUiHost(nullptr);
    SetComPortDeviceList({});
    if (fWriteFailed) {
        std::fprintf(stderr, "velkatool listen: cannot write the output: %s\n", std::strerror(errno));
        return c_nExitFailed;
    }
    if (cFixes == 0) {
        std::fprintf(stderr, "velkatool listen: no fix received from %s\n", strDevice.c_str());
        return c_nExitFailed;
    }
    return c_nExitOk;
}

// A binary capture: the comment lines that head a recorded log are
// skipped (only those: '#' bytes occur inside binary frames), the rest is
// fed in reads of up to 4096 bytes as a port delivers them.
int DecodeBinary(const std::string& strKind, const std::string& strInput, bool fEpochFix) {
    std::FILE* pIn = strInput == "-" ? stdin : std::fopen(strInput.c_str(), "rb");
    if (!pIn) {
        std::fprintf(stderr, "velkatool decode: cannot open %s: %s\n", strInput.c_str(), std::strerror(errno));
        return c_nExitFailed;
    }
    CDecodeSink sink(stdout, fEpochFix);
    sink.TellEpochWindow();
    CGarminProtocol garmin;
    CSiRFProtocol sirf;
    CGpsProtocol* pDecoder = strKind == "garmin" ? static_cast<CGpsProtocol*>(&garmin) : &sirf;
    pDecoder->m_pSink = &sink;
    static BYTE buffer[4096];
    bool fHeader = true, fLineStart = true, fError = false;
    std::size_t cbData = 0;
    for (;;) {
        std::size_t cb = std::fread(buffer, 1, sizeof buffer, pIn);
        std::size_t i = 0;
        while (fHeader && i < cb) {
            if (fLineStart && buffer[i] != '#') {
                fHeader = false;
                break;
            }
            fLineStart = buffer[i] == '\n';
            ++i;
        }
        if (cb > i) pDecoder->OnData(buffer + i, static_cast<DWORD>(cb - i));
        cbData += cb - i;
        if (cb < sizeof buffer) {
            fError = std::ferror(pIn) != 0;
            break;
        }
    }
    if (pIn != stdin) std::fclose(pIn);
    if (fError) {
        std::fprintf(stderr, "velkatool decode: read error on %s\n", strInput.c_str());
        sink.Flush();
        return c_nExitFailed;
    }
    char szSummary[160];
    unsigned cRecognised;
    if (strKind == "garmin") {
        std::snprintf(szSummary, sizeof szSummary,
                      "{\"summary\":{\"packets\":%u,\"checksum_errors\":%u,\"fixes\":%u}}\n",
                      garmin.PacketCount(), garmin.ChecksumErrorCount(), sink.FixCount());
        cRecognised = garmin.PacketCount();
    } else {
        std::snprintf(szSummary, sizeof szSummary, "{\"summary\":{\"messages\":%u,\"fixes\":%u}}\n",
                      sirf.MessageCount(), sink.FixCount());
        cRecognised = sirf.MessageCount();
    }
    return FinishOutput(sink, szSummary, cRecognised > 0 || cbData == 0,
                        strKind == "garmin" ? "Garmin packet" : "SiRF message");
}

} // namespace

int RunDecode(const Args& argsIn) {
    // --no-epoch-fix: dates as received (historical captures).
    Args args;
    bool fEpochFix = true;
    for (const std::string& a : argsIn) {
        if (a == "--no-epoch-fix")
            fEpochFix = false;
        else
            args.push_back(a);
    }
    if (args.empty() || (args[0] != "nmea" && args[0] != "garmin" && args[0] != "sirf"))
        return UsageError("decode", "decode [--no-epoch-fix] nmea|garmin|sirf [FILE]");
    if (args.size() > 2) return UsageError("decode", "too many arguments");
    std::string strInput = args.size() == 2 ? args[1] : "-";
    return args[0] == "nmea" ? DecodeNmea(strInput, fEpochFix) : DecodeBinary(args[0], strInput, fEpochFix);
}

int RunListen(const Args& args) { return Listen(args); }

} // namespace velka::tool
