// The GPS protocol framework: the abstract decoder, the registration list
// of protocols (the order in which a port is probed) and the reader loop
// that drives one decoder on one open port.
#pragma once
#include <string>

#include "gps/gps_fix.h"
#include "platform/win_types.h"

namespace velka {

class CComPort;
class CEvent;

// Where a decoder delivers what it decodes. Positioning is the sink of the
// navigator; tools and tests put their own in its place.
class IGpsSink {
public:
    virtual ~IGpsSink() = default;
    virtual void OnFix(const GpsFix& fix) = 0;
    virtual void UpdateLastPosition(float fLon, float fLat, float fCourse, bool fCourseValid,
                                    float fSpeed, bool fSpeedValid) = 0;
    virtual void ResetSatellites(int cCapacity) = 0;
    virtual void AddSatellite(const GpsSatellite& sat) = 0;
    virtual void SatellitesCompleted() = 0;
    virtual double FixupGPSEpoch(double dTime) = 0;
    virtual double FixupClock(double dTime) = 0;
    // The receiver reports no usable position.
    virtual void ReportNoPosition() = 0;
    virtual void CountChecksumError() = 0;
};

// Positioning's sink (the process-wide positioning state).
IGpsSink& PositioningSink();

// Decoder results of OnData.
constexpr int c_nGpsUndecided = 0;
constexpr int c_nGpsRecognised = 1;
constexpr int c_nGpsGiveUp = 2;

class CGpsProtocol {
public:
    virtual ~CGpsProtocol() = default;
    virtual void Start() = 0;
    virtual void Stop() = 0;
    virtual bool UsesQueueStatus() { return true; }
    // Bytes read from the port (none: the decoder's time check).
    virtual int OnData(const BYTE* pb, DWORD cb) = 0;

    CComPort* m_pPort = nullptr;
    IGpsSink* m_pSink = &PositioningSink();
};

using PfnCreateGpsProtocol = CGpsProtocol* (*)();

struct GpsProtocolInfo {
    PfnCreateGpsProtocol pfnCreate = nullptr;
    const char16_t* szId = nullptr; // "Enable_Protocol_%s"
    UINT uNameId = 0;               // display name in the string table
    bool fEnabledByDefault = false;
    GpsProtocolInfo* pNext = nullptr;

    // The display name, from the string table of the current language.
    std::u16string DisplayName() const;
    // "Enable_Protocol_%s" with its registration default.
    bool IsEnabled() const;
    void SetEnabled(bool fEnabled) const;
};

// Fills the record and pushes it at the head of the list.
void Register(GpsProtocolInfo* pInfo, PfnCreateGpsProtocol pfnCreate, const char16_t* szId,
              UINT uNameId, bool fEnabledByDefault);
// Head of the list of registered protocols (probing order).
GpsProtocolInfo* GpsProtocols();

// Drives the decoder on the open port until it gives up (false) or the
// caller must stop probing this port: stop requested or another port
// recognised its data first (true).
bool RunProtocol(CGpsProtocol* pProtocol, const GpsProtocolInfo* pInfo, CComPort* _pPort,
                 int nIndex, CEvent* pStopEvent, CEvent* pFoundEvent);

// The name ClearCommError's error word is logged with.
const char16_t* CommErrorName(DWORD dwErrors);

} // namespace velka
