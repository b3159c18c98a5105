#include "tools/gps_replay.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "gps/garmin.h"
#include "gps/nmea.h"
#include "gps/nmea_text.h"
#include "gps/positioning.h"
#include "gps/sirf.h"

namespace velka::tool {
namespace {

// Positioning's own sink, with the clock left alone and each fix and loss
// reported to the caller.
class CReplaySink : public IGpsSink {
public:
    CReplaySink(const std::function<void()>& fnFix, const std::function<void()>& fnNoPosition)
        : m_fnFix(fnFix), m_fnNoPosition(fnNoPosition) {}
    void OnFix(const GpsFix& fix) override {
        if (fix.dwFlags == 0) return;
        PositioningSink().OnFix(fix);
        ++m_cFixes;
        if (m_fnFix) m_fnFix();
    }
    void UpdateLastPosition(float fLon, float fLat, float fCourse, bool fCourseValid, float fSpeed,
                            bool fSpeedValid) override {
        PositioningSink().UpdateLastPosition(fLon, fLat, fCourse, fCourseValid, fSpeed, fSpeedValid);
    }
    void ResetSatellites(int cCapacity) override { PositioningSink().ResetSatellites(cCapacity); }
    void AddSatellite(const GpsSatellite& sat) override { PositioningSink().AddSatellite(sat); }
    void SatellitesCompleted() override { PositioningSink().SatellitesCompleted(); }
    double FixupGPSEpoch(double dTime) override { return PositioningSink().FixupGPSEpoch(dTime); }
    double FixupClock(double dTime) override { return dTime; }
    void ReportNoPosition() override {
        if (m_fnNoPosition) m_fnNoPosition();
    }
    void CountChecksumError() override { PositioningSink().CountChecksumError(); }
    unsigned m_cFixes = 0;

private:
    const std::function<void()>& m_fnFix;
    const std::function<void()>& m_fnNoPosition;
};

} // namespace

std::string DetectCaptureKind(const std::string& strPath) {
    std::FILE* pIn = std::fopen(strPath.c_str(), "rb");
    if (!pIn) return {};
    static unsigned char buffer[8192];
    const std::size_t cb = std::fread(buffer, 1, sizeof buffer, pIn);
    std::fclose(pIn);
    std::size_t i = 0;
    bool fLineStart = true;
    while (i < cb && (!fLineStart || buffer[i] == '#')) fLineStart = buffer[i++] == '\n';
    const std::string_view rest(reinterpret_cast<const char*>(buffer + i), cb - i);
    if (rest.find("\xA0\xA2") != std::string_view::npos) return "sirf";
    if (rest.find('$') != std::string_view::npos && rest.find('\x10') == std::string_view::npos) return "nmea";
    return "garmin";
}

ReplayResult ReplayCapture(const std::string& strKind, const std::string& strPath, const std::function<void()>& fnFix,
                           const std::function<void()>& fnNoPosition) {
    ReplayResult result;
    std::FILE* pIn = strPath == "-" ? stdin : std::fopen(strPath.c_str(), "rb");
    if (!pIn) return result;
    result.fOpened = true;
    CReplaySink sink(fnFix, fnNoPosition);
    static char buffer[1 << 16];
    if (strKind == "nmea") {
        CNmea0183Protocol decoder(4800, true);
        decoder.m_pSink = &sink;
        decoder.Start();
        CNmeaTextFeeder feeder(&decoder);
        for (;;) {
            const std::size_t cb = std::fread(buffer, 1, sizeof buffer, pIn);
            if (cb > 0) feeder.Feed(std::string_view(buffer, cb));
            if (cb < sizeof buffer) break;
        }
        feeder.Finish();
    } else {
        // Binary: only the comment lines heading the capture are skipped
        // ('#' bytes occur inside frames); reads of 4096 bytes as a port
        // delivers them.
        CGarminProtocol garmin;
        CSiRFProtocol sirf;
        CGpsProtocol* pDecoder = strKind == "garmin" ? static_cast<CGpsProtocol*>(&garmin) : &sirf;
        pDecoder->m_pSink = &sink;
        bool fHeader = true, fLineStart = true;
        for (;;) {
            const std::size_t cb = std::fread(buffer, 1, 4096, pIn);
            std::size_t i = 0;
            while (fHeader && i < cb) {
                if (fLineStart && buffer[i] != '#') {
                    fHeader = false;
                    break;
                }
                fLineStart = buffer[i] == '\n';
                ++i;
            }
            if (cb > i) pDecoder->OnData(reinterpret_cast<const BYTE*>(buffer + i), static_cast<DWORD>(cb - i));
            if (cb < 4096) break;
        }
    }
    result.fReadError = std::ferror(pIn) != 0;
    if (pIn != stdin) std::fclose(pIn);
    result.cFixes = sink.m_cFixes;
    return result;
}

} // namespace velka::tool
