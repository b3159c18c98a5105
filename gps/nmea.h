// CNmea0183Protocol: NMEA-0183 text from a serial port. Cuts the stream
// into sentences, checks their checksums, gathers the sentences of one
// second into one fix and hands it to the sink; keeps the satellite table.
#pragma once
#include <vector>

#include "gps/gps_protocol.h"

namespace velka {

class CNmea0183Protocol : public CGpsProtocol {
public:
    explicit CNmea0183Protocol(DWORD dwBaudRate, bool fNoPortSetup = false);

    void Start() override;
    void Stop() override {}
    bool UsesQueueStatus() override { return !m_fNoPortSetup; }
    int OnData(const BYTE* pb, DWORD cb) override;

    // End of input (a file): parses the unfinished sentence and hands over
    // the fix under construction when it holds data.
    void Finish();

    // Counts for tools: sentences taken (checksum good or absent, with an
    // address of letters and digits) and checksum mismatches.
    unsigned SentenceCount() const { return m_cSentences; }
    unsigned ChecksumErrorCount() const { return m_cChecksumErrors; }

    static constexpr std::size_t c_cbBuffer = 256;

private:
    struct Field {
        const BYTE* p = nullptr;
        const BYTE* e = nullptr;
        bool Present() const { return e > p; }
        std::size_t Size() const { return static_cast<std::size_t>(e - p); }
        char At(std::size_t i) const { return i < Size() ? static_cast<char>(p[i]) : '\0'; }
    };
    static constexpr int c_cMaxFields = 24;

    // Takes the sentence of a line from its '$' (line end included when there).
    void ParseLine(const BYTE* pStart, const BYTE* pEnd);
    void ParseSentence(const BYTE* pName, const BYTE* pEnd);
    void HandOver();
    void EpochCheck(const Field& time);
    bool ReadPosition(const Field& lat, const Field& ns, const Field& lon, const Field& ew);
    void ClearForInvalidQuality();
    int Overflow();
    // Noise between sentences is skipped while checksummed sentences keep
    // arriving (the last one within the silence limit).
    bool ToleratesNoise(DWORD dwNow) const;
    // Closes the span that a '$' (or the end of input) ends: parses its
    // sentence when no line end did; false when the span shows that this
    // is no NMEA stream.
    bool EndSpan();

    void Rmc(const Field* f, int cf);
    void Gga(const Field* f, int cf);
    void Gll(const Field* f, int cf);
    void Gsa(const Field* f, int cf);
    void Gsv(const Field* f, int cf);

    DWORD m_dwBaudRate;
    bool m_fNoPortSetup;
    BYTE m_abBuffer[c_cbBuffer] = {};
    std::size_t m_cbBuffered = 0; // the current sentence line, from its '$'
    std::size_t m_cbSpan = 0;     // bytes since the last '$' (or the start), capped
    static constexpr std::size_t c_cbSpanLimit = 1u << 20;
    bool m_fInSpan = false;       // a '$' opened the current span
    bool m_fLineDone = false;     // its sentence line was taken or dropped
    bool m_fLineEnded = false;    // ... and it ended with a line feed
    bool m_fNoiseLogged = false;
    DWORD m_dwLastData = 0;
    DWORD m_dwLastHandOver = 0;
    bool m_fHasData = false;
    GpsFix m_fix;
    int m_nLastTimeOfDay = -1;
    DWORD m_dwSilenceLimit = 5000;
    std::vector<int> m_satellitesUsed;
    unsigned m_cSentences = 0;
    unsigned m_cChecksumErrors = 0;
    bool m_fChecked = false;
    DWORD m_dwLastChecked = 0;
    DWORD m_dwNow = 0; // the time of the read being decoded
};

// Number readers of the decoder, exposed for tests: leading blanks, an
// optional sign, digits and (for reals) a fraction; unreadable gives 0.
double NmeaReadReal(const char* p, const char* e);
int NmeaReadInt(const char* p, const char* e);

} // namespace velka
