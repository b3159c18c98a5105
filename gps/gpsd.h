// gpsd as a position source beside the serial ports: its JSON protocol on
// a TCP socket (default localhost:2947, setting "GpsdServer"). The reader
// asks for ?WATCH={"enable":true,"json":true}, decodes TPV reports into
// fixes and SKY reports into the satellite table, takes part in the port
// race like a port (the first source whose data is recognised wins), and
// reconnects with a growing pause when gpsd goes away. The setting
// "UseGpsd" turns it on (1) or off (0); absent, it is on when gpsd answers
// at start.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "gps/gps_fix.h"
#include "gps/gps_protocol.h"
#include "platform/win_types.h"

namespace velka {

class CEvent;

constexpr const char16_t* c_szDefaultGpsdServer = u"localhost:2947";

struct CGpsdAddress {
    std::string strHost;
    std::string strPort;
};
// "host", "host:port" or "[v6-address]:port" (port 2947 when none); false
// for an empty host or a port that is not 1 to 65535.
bool ParseGpsdAddress(std::u16string_view strText, CGpsdAddress* pAddress);

// "UseGpsd": 1 on, 0 off, -1 not set (on when gpsd answers).
int GpsdSetting();
std::u16string GpsdServer();

// gpsd's reports, line by line, into a sink. Lines longer than gpsd ever
// sends are skipped whole; malformed JSON is skipped.
class CGpsdDecoder {
public:
    explicit CGpsdDecoder(IGpsSink& sink) : m_sink(sink) {}
    // Bytes from the socket; c_nGpsRecognised once a TPV or SKY report
    // came (gpsd serves a receiver), else c_nGpsUndecided.
    int OnData(const BYTE* pb, std::size_t cb);
    void OnLine(std::string_view line);
    bool Recognised() const { return m_fRecognised; }

private:
    void OnTpv(const void* pReport);
    void OnSky(const void* pReport);

    IGpsSink& m_sink;
    std::string m_strLine;
    bool m_fOverlong = false;
    bool m_fRecognised = false;
    // From the latest SKY, for the next fixes.
    int m_cUsed = -1;
    float m_fHDOP = -1, m_fVDOP = -1;
};

// gpsd's ISO 8601 UTC time ("2024-05-01T12:34:56.250Z") as an OLE date;
// false when malformed.
bool ParseGpsdTime(std::string_view text, double* pdTime);

// The reader thread's work: until pStop is set. fAuto: give up (return 1)
// when gpsd does not answer the first time. Returns 0 when stopped.
int RunGpsdReader(CEvent* pStop, CEvent* pFound, bool fAuto);

} // namespace velka
