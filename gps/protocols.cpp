// The registration records of the GPS protocols. Each registration pushes
// its record at the head of the list, so the last registered is probed
// first: the list reads "sirf100", "nmea9600", "nmea", "garmin".
#include "gps/gps_protocol.h"
#include "gps/garmin.h"
#include "gps/nmea.h"
#include "gps/sirf.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

CGpsProtocol* CreateNmea4800() { return new CNmea0183Protocol(4800); }
CGpsProtocol* CreateNmea9600() { return new CNmea0183Protocol(9600); }
CGpsProtocol* CreateGarmin() { return new CGarminProtocol(); }
CGpsProtocol* CreateSiRF() { return new CSiRFProtocol(); }

struct CRegistration {
    CRegistration(GpsProtocolInfo* p, PfnCreateGpsProtocol pfn, const char16_t* szId, UINT uNameId,
                  bool fEnabled) {
        Register(p, pfn, szId, uNameId, fEnabled);
    }
};

GpsProtocolInfo g_infoGarmin;
GpsProtocolInfo g_infoNmea;
GpsProtocolInfo g_infoNmea9600;
GpsProtocolInfo g_infoSiRF;

const CRegistration g_regGarmin(&g_infoGarmin, CreateGarmin, u"garmin", IDS_PROTOCOL_GARMIN, true);
const CRegistration g_regNmea(&g_infoNmea, CreateNmea4800, u"nmea", IDS_PROTOCOL_NMEA, true);
const CRegistration g_regNmea9600(&g_infoNmea9600, CreateNmea9600, u"nmea9600", IDS_PROTOCOL_NMEA_9600, false);
const CRegistration g_regSiRF(&g_infoSiRF, CreateSiRF, u"sirf100", IDS_PROTOCOL_SIRF, false);

} // namespace

GpsProtocolInfo* RegisteredGpsProtocols() { return &g_infoSiRF; }

} // namespace velka
