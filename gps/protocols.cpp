// The registration records of the GPS protocols. Each registration pushes
// its record at the head of the list, so the last registered is probed
// first: the list reads "nmea9600", "nmea".
#include "gps/gps_protocol.h"
#include "gps/nmea.h"

namespace velka {
namespace {

CGpsProtocol* CreateNmea4800() { return new CNmea0183Protocol(4800); }
CGpsProtocol* CreateNmea9600() { return new CNmea0183Protocol(9600); }

struct CRegistration {
    CRegistration(GpsProtocolInfo* p, PfnCreateGpsProtocol pfn, const char16_t* szId, UINT uNameId,
                  bool fEnabled) {
        Register(p, pfn, szId, uNameId, fEnabled);
    }
};

GpsProtocolInfo g_infoNmea;
GpsProtocolInfo g_infoNmea9600;

const CRegistration g_regNmea(&g_infoNmea, CreateNmea4800, u"nmea", 2241, true);
const CRegistration g_regNmea9600(&g_infoNmea9600, CreateNmea9600, u"nmea9600", 2242, false);

} // namespace

GpsProtocolInfo* RegisteredGpsProtocols() { return &g_infoNmea9600; }

} // namespace velka
