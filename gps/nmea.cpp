#include "gps/nmea.h"

#include <algorithm>
#include <cstring>

#include "gps/com_port.h"
#include "gps/gps_log.h"
#include "platform/clock.h"
#include "platform/debug.h"

namespace velka {
namespace {

constexpr DWORD c_msHandOverLimit = 6000;
constexpr double c_dFeet = 0.3048;

const double c_adPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9,
                            1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};

int HexDigit(BYTE b) {
    if (b >= '0' && b <= '9') return b - '0';
    if (b >= 'A' && b <= 'F') return b - 'A' + 10;
    if (b >= 'a' && b <= 'f') return b - 'a' + 10;
    return -1;
}

bool Is(const BYTE* p, const char* sz) { return std::memcmp(p, sz, 6) == 0; }
// The sentence name after a two-letter talker.
bool Is3(const BYTE* p, const char* sz) { return std::memcmp(p + 2, sz, 4) == 0; }

// A sentence address: 2 to 9 upper-case letters or digits, then a comma
// (random bytes after a '$' almost never are one).
bool IsAddress(const BYTE* p, const BYTE* pEnd) {
    int c = 0;
    for (; p < pEnd && ((*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9')); ++p) ++c;
    return c >= 2 && c <= 9 && p < pEnd && *p == ',';
}

// "*HH" before the line's end (CR LF, LF or nothing) matching the XOR of
// the bytes after the '$'.
bool HasGoodChecksum(const BYTE* pLine, const BYTE* pEnd) {
    while (pEnd > pLine && (pEnd[-1] == '\n' || pEnd[-1] == '\r')) --pEnd;
    if (pEnd - pLine < 4 || pEnd[-3] != '*') return false;
    BYTE bSum = 0;
    for (const BYTE* p = pLine + 1; p < pEnd - 3; ++p) bSum ^= *p;
    const int hi = HexDigit(pEnd[-2]), lo = HexDigit(pEnd[-1]);
    return hi >= 0 && lo >= 0 && ((hi << 4) | lo) == bSum;
}

} // namespace

double NmeaReadReal(const char* p, const char* e) {
    while (p < e && (*p == ' ' || *p == '\t')) ++p;
    bool fNegative = false;
    if (p < e && (*p == '-' || *p == '+')) fNegative = *p++ == '-';
    // Up to 18 significant digits are exact in the integer; more are
    // scaled (a field that long is noise anyway).
    unsigned long long ull = 0;
    int cDigits = 0, nScale = 0;
    for (; p < e && *p >= '0' && *p <= '9'; ++p) {
        if (cDigits < 18) {
            ull = ull * 10 + static_cast<unsigned>(*p - '0');
            if (ull) ++cDigits;
        } else {
            ++nScale;
        }
    }
    double d;
    if (p < e && *p == '.') {
        ++p;
        int cFraction = 0;
        for (; p < e && *p >= '0' && *p <= '9'; ++p)
            if (cDigits < 18 && cFraction < 18) {
                ull = ull * 10 + static_cast<unsigned>(*p - '0');
                if (ull) ++cDigits;
                ++cFraction;
            }
        d = static_cast<double>(ull) / c_adPow10[cFraction];
    } else {
        d = static_cast<double>(ull);
    }
    for (; nScale > 0; --nScale) d *= 10;
    return fNegative ? -d : d;
}

int NmeaReadInt(const char* p, const char* e) {
    while (p < e && (*p == ' ' || *p == '\t')) ++p;
    bool fNegative = false;
    if (p < e && (*p == '-' || *p == '+')) fNegative = *p++ == '-';
    long long n = 0;
    for (; p < e && *p >= '0' && *p <= '9'; ++p)
        if (n < 100000000000LL) n = n * 10 + (*p - '0');
    if (n > 0x7FFFFFFF) n = 0x7FFFFFFF;
    return static_cast<int>(fNegative ? -n : n);
}

namespace {
const char* C(const BYTE* p) { return reinterpret_cast<const char*>(p); }
} // namespace

CNmea0183Protocol::CNmea0183Protocol(DWORD dwBaudRate, bool fNoPortSetup)
    : m_dwBaudRate(dwBaudRate), m_fNoPortSetup(fNoPortSetup) {
    m_fix.Empty();
    m_dwLastData = m_dwLastHandOver = GetTickCount();
    m_dwSilenceLimit = fNoPortSetup ? 10000 : 5000;
}

void CNmea0183Protocol::Start() {
    if (!m_fNoPortSetup) {
        VELKA_ASSERT(m_pPort != NULL);
        if (m_pPort) {
            m_pPort->SetState(m_dwBaudRate, 8, false, 0);
            m_pPort->SetQueues(4096, 4096);
            m_pPort->Purge();
        }
    }
    m_dwSilenceLimit = m_fNoPortSetup ? 10000 : 5000;
    m_fHasData = false;
    m_cbBuffered = 0;
    m_cbSpan = 0;
    m_fInSpan = false;
    m_fLineDone = false;
    m_fLineEnded = false;
    m_fNoiseLogged = false;
    m_dwLastData = GetTickCount();
}

int CNmea0183Protocol::Overflow() {
    GpsLog(u"NMEA-0183 buffer overflow! (%s)", m_pPort ? m_pPort->Name() : u"");
    return c_nGpsGiveUp;
}

bool CNmea0183Protocol::ToleratesNoise(DWORD dwNow) const {
    return m_fChecked && dwNow - m_dwLastChecked <= m_dwSilenceLimit;
}

int CNmea0183Protocol::OnData(const BYTE* pb, DWORD cb) {
    DWORD dwNow = GetTickCount();
    if (cb == 0 || !pb) {
        if (dwNow - m_dwLastData > m_dwSilenceLimit) {
            GpsLog(u"Long silence detected (NMEA-0183, %s).", m_pPort ? m_pPort->Name() : u"");
            return c_nGpsGiveUp;
        }
        return c_nGpsUndecided;
    }
    m_dwLastData = dwNow;
    m_dwNow = dwNow;
    if (m_fHasData && dwNow - m_dwLastHandOver > c_msHandOverLimit) HandOver();

    // The stream is cut into spans, each from a '$' to the next one: the
    // span's first line is the sentence, the rest is noise. The state lives
    // across reads, so where a read ends changes nothing. While
    // checksummed sentences keep coming, noise (a burst of binary data,
    // line garbage) is skipped; a stream that never had one is refused,
    // which ends an attempt at the wrong bit rate quickly.
    const BYTE* p = pb;
    const BYTE* const pEnd = pb + cb;
    while (p < pEnd) {
        if (*p == '$') {
            if (!EndSpan()) return c_nGpsGiveUp;
            m_abBuffer[0] = '$';
            m_cbBuffered = 1;
            m_cbSpan = 1;
            m_fInSpan = true;
            m_fLineDone = false;
            ++p;
            continue;
        }
        // The bytes up to the next '$' or the end of the read.
        const BYTE* pStop = static_cast<const BYTE*>(std::memchr(p, '$', static_cast<std::size_t>(pEnd - p)));
        if (!pStop) pStop = pEnd;
        if (m_fInSpan && !m_fLineDone) {
            const BYTE* pNl = static_cast<const BYTE*>(std::memchr(p, '\n', static_cast<std::size_t>(pStop - p)));
            const BYTE* pLineEnd = pNl ? pNl + 1 : pStop;
            const std::size_t cbLine = static_cast<std::size_t>(pLineEnd - p);
            if (m_cbBuffered + cbLine < c_cbBuffer) {
                std::memcpy(m_abBuffer + m_cbBuffered, p, cbLine);
                m_cbBuffered += cbLine;
                if (pNl) {
                    // A whole line: the sentence is taken now.
                    ParseLine(m_abBuffer, m_abBuffer + m_cbBuffered);
                    m_fLineDone = true;
                    m_fLineEnded = true;
                }
            } else {
                // No sentence is that long: the line is noise.
                m_fLineDone = true;
                m_fLineEnded = false;
            }
        }
        const std::size_t cbRun = static_cast<std::size_t>(pStop - p);
        m_cbSpan = m_cbSpan + cbRun < c_cbSpanLimit ? m_cbSpan + cbRun : c_cbSpanLimit;
        if (m_cbSpan >= c_cbBuffer) {
            // More bytes without a '$' than a sentence and its line end can
            // take: noise, skipped only while it is tolerated.
            if (!ToleratesNoise(m_dwNow)) return Overflow();
            if (!m_fNoiseLogged) GpsLog(u"NMEA-0183 noise skipped (%s)", m_pPort ? m_pPort->Name() : u"");
            m_fNoiseLogged = true;
        }
        p = pStop;
    }
    return m_fHasData ? c_nGpsRecognised : c_nGpsUndecided;
}

bool CNmea0183Protocol::EndSpan() {
    if (!m_fInSpan) return true;
    m_fInSpan = false;
    m_fNoiseLogged = false;
    // "$$": a doubled start character opens no sentence of its own.
    if (m_cbSpan == 1) return true;
    if (!m_fLineDone) {
        // Cut short by the next '$' (bytes lost on the way): the part is
        // parsed as a sentence without checksum would be.
        ParseLine(m_abBuffer, m_abBuffer + m_cbBuffered);
        m_fLineDone = true;
        m_fLineEnded = false;
    }
    if (m_cbSpan > 8) {
        m_fHasData = true;
        return true;
    }
    // A complete line too short for any sentence: not NMEA at this rate,
    // unless checksummed sentences show that it is.
    if (m_fLineEnded && !ToleratesNoise(m_dwNow)) {
        GpsLog(u"Valid NMEA-0183 sentence is not recognized (%s).", m_pPort ? m_pPort->Name() : u"");
        return false;
    }
    return true;
}

void CNmea0183Protocol::Finish() {
    EndSpan();
    m_cbBuffered = 0;
    m_cbSpan = 0;
    if (m_fHasData) HandOver();
}

void CNmea0183Protocol::ParseLine(const BYTE* pStart, const BYTE* pEnd) {
    const BYTE* pLine = pStart;
    while (pLine < pEnd) {
        const BYTE* pNl = static_cast<const BYTE*>(std::memchr(pLine, '\n', static_cast<std::size_t>(pEnd - pLine)));
        const BYTE* pLineEnd = pNl ? pNl + 1 : pEnd;
        if (*pLine == '$' && pEnd - pLine > 8) {
            const BYTE* pSentenceEnd = pLineEnd;
            bool fGood = true;
            if (pLineEnd - pLine > 5 && pLineEnd[-5] == '*') {
                BYTE bSum = 0;
                for (const BYTE* p = pLine + 1; p < pLineEnd - 5; ++p) bSum ^= *p;
                int hi = HexDigit(pLineEnd[-4]), lo = HexDigit(pLineEnd[-3]);
                if (hi < 0 || lo < 0 || ((hi << 4) | lo) != bSum) {
                    fGood = false;
                    ++m_cChecksumErrors;
                    m_pSink->CountChecksumError();
                    GpsLog(u"Check sum failed! (NMEA-0183, %s)", m_pPort ? m_pPort->Name() : u"");
                }
                pSentenceEnd = pLineEnd - 5;
            }
            // A sentence whose checksum matches (also one ending in a bare
            // line feed, which is otherwise taken unchecked) shows that
            // this is NMEA at the right bit rate: noise is then skipped.
            if (fGood && (pSentenceEnd != pLineEnd || HasGoodChecksum(pLine, pLineEnd))) {
                m_fChecked = true;
                m_dwLastChecked = m_dwNow;
            }
            if (fGood) {
                if (IsAddress(pLine + 1, pSentenceEnd)) ++m_cSentences;
                ParseSentence(pLine + 1, pSentenceEnd);
            }
        }
        pLine = pLineEnd;
    }
}

void CNmea0183Protocol::ParseSentence(const BYTE* pName, const BYTE* pEnd) {
    if (pEnd - pName < 6) return;
    Field f[c_cMaxFields + 1];
    int cf = 0;
    const BYTE* p = pName + 6;
    // Fields end at a comma; the sentence at the checksum or the line end.
    for (;;) {
        const BYTE* q = p;
        while (q < pEnd && *q != ',' && *q != '*' && *q != '\r' && *q != '\n') ++q;
        if (cf < c_cMaxFields) {
            ++cf;
            f[cf].p = p;
            f[cf].e = q;
        }
        if (q >= pEnd || *q != ',') break;
        p = q + 1;
    }

    // The fix sentences and the depth and temperature sentences are taken
    // from any talker (a multi-constellation receiver reports its solution
    // as "GN", an instrument bus as "IN"); the satellite sentences only
    // from the GPS talker, since other constellations number their
    // satellites differently.
    BYTE abName[6];
    std::memcpy(abName, pName, 6);
    if (abName[0] != 'P' && (Is3(abName, "RMC,") || Is3(abName, "GGA,") || Is3(abName, "GLL,") ||
                             Is3(abName, "VTG,"))) {
        abName[0] = 'G';
        abName[1] = 'P';
    } else if (abName[0] != 'P' && (Is3(abName, "DPT,") || Is3(abName, "DBT,") || Is3(abName, "MTW,"))) {
        abName[0] = 'S';
        abName[1] = 'D';
    }

    auto Real = [&](int i) { return NmeaReadReal(C(f[i].p), C(f[i].e)); };
    if (Is(abName, "GPRMC,")) {
        Rmc(f, cf);
    } else if (Is(abName, "GPGGA,")) {
        Gga(f, cf);
    } else if (Is(abName, "GPGLL,")) {
        Gll(f, cf);
    } else if (Is(abName, "GPGSA,")) {
        Gsa(f, cf);
    } else if (Is(abName, "GPGSV,")) {
        Gsv(f, cf);
    } else if (Is(abName, "PGRMZ,")) {
        if (cf >= 1 && f[1].Present())
            m_fix.SetAltitude(static_cast<float>(Real(1) * (cf >= 2 && f[2].At(0) == 'f' ? c_dFeet : 1.0)));
    } else if (Is(abName, "PGRME,")) {
        if (cf >= 1 && f[1].Present())
            m_fix.SetHorzError(static_cast<float>(Real(1) * (cf >= 2 && f[2].At(0) == 'M' ? 1.0 : c_dFeet)));
        if (cf >= 3 && f[3].Present())
            m_fix.SetVertError(static_cast<float>(Real(3) * (cf >= 4 && f[4].At(0) == 'M' ? 1.0 : c_dFeet)));
    } else if (Is(abName, "HCHDG,")) {
        if (cf >= 1 && f[1].Present()) m_fix.SetCourse(static_cast<float>(Real(1)));
    } else if (Is(abName, "SDDPT,")) {
        if (cf >= 1 && f[1].Present()) m_fix.SetDepth(static_cast<float>(Real(1)));
    } else if (Is(abName, "SDDBT,")) {
        if (cf >= 4 && f[3].Present() && f[4].At(0) == 'M') m_fix.SetDepth(static_cast<float>(Real(3)));
    } else if (Is(abName, "SDMTW,")) {
        if (cf >= 2 && f[1].Present() && f[2].At(0) == 'C') m_fix.SetWaterTemp(static_cast<float>(Real(1)));
    }
    // GPVTG and PGRMM are recognised and carry nothing we take; other
    // sentences count as valid without contributing.
}

void CNmea0183Protocol::EpochCheck(const Field& time) {
    if (!time.Present()) return;
    int nTimeOfDay = NmeaReadInt(C(time.p), C(time.p + std::min<std::size_t>(time.Size(), 6)));
    if (nTimeOfDay != m_nLastTimeOfDay) {
        m_nLastTimeOfDay = nTimeOfDay;
        HandOver();
    }
}

void CNmea0183Protocol::HandOver() {
    m_pSink->OnFix(m_fix);
    GpsFix old = m_fix;
    m_fix.Empty();
    // Values of sentences that do not come every second carry over.
    if (old.Has(gfVDOP)) m_fix.SetVDOP(old.fVDOP);
    if (old.Has(gfDepth)) m_fix.SetDepth(old.fDepth);
    if (old.Has(gfWaterTemp)) m_fix.SetWaterTemp(old.fWaterTemp);
    m_fHasData = false;
    m_dwLastHandOver = GetTickCount();
}

bool CNmea0183Protocol::ReadPosition(const Field& lat, const Field& ns, const Field& lon, const Field& ew) {
    if (!lat.Present() || !lon.Present()) return false;
    const char* pLat = C(lat.p);
    const char* pLon = C(lon.p);
    double dLatDeg = NmeaReadInt(pLat, pLat + std::min<std::size_t>(2, lat.Size()));
    double dLatMin = lat.Size() > 2 ? NmeaReadReal(pLat + 2, C(lat.e)) : 0;
    double dLonDeg = NmeaReadInt(pLon, pLon + std::min<std::size_t>(3, lon.Size()));
    double dLonMin = lon.Size() > 3 ? NmeaReadReal(pLon + 3, C(lon.e)) : 0;
    // Minutes of 60 or more, or a position off the globe, is line noise in
    // a sentence that carried no checksum: no position at all.
    if (dLatMin < 0 || dLatMin >= 60 || dLonMin < 0 || dLonMin >= 60) return false;
    double dLat = dLatDeg + dLatMin / 60.0;
    double dLon = dLonDeg + dLonMin / 60.0;
    if (ns.At(0) == 'S') dLat = -dLat;
    if (ew.At(0) == 'W') dLon = -dLon;
    if (!IsPlausiblePosition(dLat, dLon)) return false;
    m_fix.SetPosition(static_cast<float>(dLon), static_cast<float>(dLat));
    return true;
}

void CNmea0183Protocol::ClearForInvalidQuality() {
    m_fix.SetQuality(0);
    m_fix.dwFlags &= ~static_cast<DWORD>(gfPosition | gfHorzError | gfAltitude | gfVertError | gfHDOP | gfVDOP);
}

void CNmea0183Protocol::Rmc(const Field* f, int cf) {
    Field none;
    auto F = [&](int i) -> const Field& { return i <= cf ? f[i] : none; };
    EpochCheck(F(1));
    if (F(2).At(0) != 'A') return;
    bool fPosition = ReadPosition(F(3), F(4), F(5), F(6));
    float fSpeed = 0, fCourse = 0;
    bool fSpeedValid = false, fCourseValid = false;
    if (F(7).Present() && IsPlausibleSpeed(NmeaReadReal(C(F(7).p), C(F(7).e)) * 1.852)) {
        fSpeed = static_cast<float>(NmeaReadReal(C(F(7).p), C(F(7).e)) * 1.852);
        m_fix.SetSpeed(fSpeed);
        fSpeedValid = true;
    }
    if (F(8).Present()) {
        fCourse = static_cast<float>(NmeaReadReal(C(F(8).p), C(F(8).e)));
        m_fix.SetCourse(fCourse);
        fCourseValid = true;
    }
    if (F(10).Present()) {
        double d = NmeaReadReal(C(F(10).p), C(F(10).e));
        m_fix.SetMagVar(static_cast<float>(F(11).At(0) == 'E' ? d : -d));
    }
    const Field& date = F(9);
    const Field& time = F(1);
    if (date.Size() >= 6 && time.Size() >= 6) {
        auto Two = [](const Field& fld, std::size_t i) { return NmeaReadInt(C(fld.p + i), C(fld.p + i + 2)); };
        int yy = Two(date, 4);
        SYSTEMTIME st;
        st.wYear = static_cast<WORD>(yy < 80 ? 2000 + yy : 1900 + yy);
        st.wMonth = static_cast<WORD>(Two(date, 2));
        st.wDay = static_cast<WORD>(Two(date, 0));
        st.wHour = static_cast<WORD>(Two(time, 0));
        st.wMinute = static_cast<WORD>(Two(time, 2));
        st.wSecond = static_cast<WORD>(Two(time, 4));
        double t = 0;
        if (SystemTimeToVariantTime(st, &t)) {
            if (time.Size() > 6 && time.At(6) == '.') t += NmeaReadReal(C(time.p + 6), C(time.e)) / 86400.0;
            t = m_pSink->FixupGPSEpoch(t);
            m_pSink->FixupClock(t);
            m_fix.SetTime(t);
        }
    }
    if (fPosition)
        m_pSink->UpdateLastPosition(m_fix.fLongitude, m_fix.fLatitude, fCourse, fCourseValid, fSpeed,
                                    fSpeedValid);
}

void CNmea0183Protocol::Gga(const Field* f, int cf) {
    Field none;
    auto F = [&](int i) -> const Field& { return i <= cf ? f[i] : none; };
    auto Real = [&](int i) { return NmeaReadReal(C(F(i).p), C(F(i).e)); };
    EpochCheck(F(1));
    ReadPosition(F(2), F(3), F(4), F(5));
    if (F(7).Present()) m_fix.SetSatellites(NmeaReadInt(C(F(7).p), C(F(7).e)));
    if (F(8).Present()) m_fix.SetHDOP(static_cast<float>(Real(8)));
    bool fInvalid = false;
    if (F(6).Present()) {
        static const int c_anQuality[] = {0, 3, 5, 6, 7, 8, 9, 10, 11};
        char ch = F(6).At(0);
        if (ch == '0')
            fInvalid = true;
        else
            m_fix.SetQuality(ch >= '1' && ch <= '8' ? c_anQuality[ch - '0'] : 1);
    }
    if (F(9).Present()) m_fix.SetAltitude(static_cast<float>(Real(9) * (F(10).At(0) == 'M' ? 1.0 : c_dFeet)));
    if (F(11).Present())
        m_fix.SetGeoidHeight(static_cast<float>(Real(11) * (F(12).At(0) == 'M' ? 1.0 : c_dFeet)));
    if (F(13).Present()) m_fix.SetDiffAge(static_cast<float>(Real(13)));
    if (F(14).Present()) m_fix.SetDiffStation(static_cast<short>(NmeaReadInt(C(F(14).p), C(F(14).e))));
    // An invalid fix keeps none of the position values of this epoch.
    if (fInvalid) ClearForInvalidQuality();
}

void CNmea0183Protocol::Gll(const Field* f, int cf) {
    Field none;
    auto F = [&](int i) -> const Field& { return i <= cf ? f[i] : none; };
    EpochCheck(F(5));
    if (F(6).At(0) == 'A') ReadPosition(F(1), F(2), F(3), F(4));
}

void CNmea0183Protocol::Gsa(const Field* f, int cf) {
    Field none;
    auto F = [&](int i) -> const Field& { return i <= cf ? f[i] : none; };
    m_satellitesUsed.clear();
    m_satellitesUsed.reserve(12);
    for (int i = 3; i <= 14; ++i)
        if (F(i).Present()) m_satellitesUsed.push_back(NmeaReadInt(C(F(i).p), C(F(i).e)));
    if (F(16).Present()) m_fix.SetHDOP(static_cast<float>(NmeaReadReal(C(F(16).p), C(F(16).e))));
    if (F(17).Present()) m_fix.SetVDOP(static_cast<float>(NmeaReadReal(C(F(17).p), C(F(17).e))));
    if (F(2).Present()) {
        switch (F(2).At(0)) {
        case '1': ClearForInvalidQuality(); break;
        case '2': m_fix.SetQuality(2); break;
        case '3': m_fix.SetQuality(3); break;
        default: m_fix.SetQuality(1); break;
        }
    }
}

void CNmea0183Protocol::Gsv(const Field* f, int cf) {
    Field none;
    auto F = [&](int i) -> const Field& { return i <= cf ? f[i] : none; };
    auto Int = [&](int i) { return NmeaReadInt(C(F(i).p), C(F(i).e)); };
    int cMessages = Int(1), nMessage = Int(2);
    if (nMessage == 1) m_pSink->ResetSatellites(Int(3));
    for (int k = 0; k < 4; ++k) {
        int i = 4 + 4 * k;
        if (!F(i).Present()) continue;
        GpsSatellite sat;
        sat.nPRN = Int(i);
        sat.nElevation = Int(i + 1);
        sat.nAzimuth = Int(i + 2);
        sat.nSNR = Int(i + 3);
        sat.nState = std::find(m_satellitesUsed.begin(), m_satellitesUsed.end(), sat.nPRN) !=
                             m_satellitesUsed.end()
                         ? 2
                         : 1;
        m_pSink->AddSatellite(sat);
    }
    if (nMessage == cMessages) m_pSink->SatellitesCompleted();
}

} // namespace velka
