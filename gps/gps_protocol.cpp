#include "gps/gps_protocol.h"

#include "gps/com_port.h"
#include "gps/gps_log.h"
#include "gps/positioning.h"
#include "platform/debug.h"
#include "platform/event.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

GpsProtocolInfo* g_pGpsProtocols = nullptr;

constexpr DWORD c_cbReadBuffer = 4096;
constexpr DWORD c_msPoll = 20;
constexpr DWORD c_msAfterLoss = 2000;

// Ends the protocol attempt by any path, exceptions included.
class CStopGuard {
public:
    explicit CStopGuard(CGpsProtocol* p) : m_p(p) {}
    ~CStopGuard() { m_p->Stop(); }
    CStopGuard(const CStopGuard&) = delete;
    CStopGuard& operator=(const CStopGuard&) = delete;

private:
    CGpsProtocol* m_p;
};

// The recognised port lost its data: give up the win, tell the user.
void LoseData(UINT uStatusId, CEvent* pStopEvent, CEvent* pFoundEvent) {
    pFoundEvent->Reset();
    SetGpsStatus(uStatusId);
    SetGpsIndicator(-1);
    pStopEvent->Wait(c_msAfterLoss);
}

} // namespace

std::u16string GpsProtocolInfo::DisplayName() const { return LoadStr(uNameId); }

bool GpsProtocolInfo::IsEnabled() const {
    return ReadSettingBool(FormatW(u"Enable_Protocol_%s", szId).c_str(), fEnabledByDefault);
}

void GpsProtocolInfo::SetEnabled(bool fEnabled) const {
    WriteSettingBool(FormatW(u"Enable_Protocol_%s", szId).c_str(), fEnabled);
}

void Register(GpsProtocolInfo* pInfo, PfnCreateGpsProtocol pfnCreate, const char16_t* szId,
              UINT uNameId, bool fEnabledByDefault) {
    pInfo->pfnCreate = pfnCreate;
    pInfo->szId = szId;
    pInfo->uNameId = uNameId;
    pInfo->fEnabledByDefault = fEnabledByDefault;
    pInfo->pNext = g_pGpsProtocols;
    g_pGpsProtocols = pInfo;
}

// Defined with the registration records, so that using the list links them.
GpsProtocolInfo* RegisteredGpsProtocols();

GpsProtocolInfo* GpsProtocols() {
    RegisteredGpsProtocols();
    return g_pGpsProtocols;
}

const char16_t* CommErrorName(DWORD dwErrors) {
    switch (dwErrors) {
    case 1: return u"RXOVER";
    case 2: return u"OVERRUN";
    case 4: return u"RXPARITY";
    case 8: return u"FRAME";
    case 16: return u"BREAK";
    case 256: return u"TXFULL";
    case 1024: return u"IOE";
    case 32768: return u"MODE";
    default: return u"<unknown>";
    }
}

bool RunProtocol(CGpsProtocol* pProtocol, const GpsProtocolInfo* pInfo, CComPort* _pPort,
                 int nIndex, CEvent* pStopEvent, CEvent* pFoundEvent) {
    VELKA_ASSERT(_pPort != NULL);
    if (!_pPort) return false;
    std::u16string strName = pInfo->DisplayName();
    SetGpsStatus(IDS_GPS_SEARCHING, strName.c_str());

    COMMTIMEOUTS timeouts;
    timeouts.ReadIntervalTimeout = 100;
    timeouts.ReadTotalTimeoutMultiplier = 10;
    timeouts.ReadTotalTimeoutConstant = 10;
    timeouts.WriteTotalTimeoutMultiplier = 10;
    timeouts.WriteTotalTimeoutConstant = 10;
    _pPort->SetTimeouts(timeouts);

    pProtocol->m_pPort = _pPort;
    pProtocol->Start();
    CStopGuard guard(pProtocol);

    const bool fQueueStatus = pProtocol->UsesQueueStatus();
    bool fSearching = true;
    BYTE buffer[c_cbReadBuffer];
    CEvent* events[2] = {pStopEvent, pFoundEvent};
    for (;;) {
        if (fSearching) {
            if (CEvent::WaitAny(events, c_msPoll) != c_nWaitTimeout) return true;
        } else if (pStopEvent->Wait(c_msPoll)) {
            return true;
        }

        DWORD cb = 12;
        if (fQueueStatus) {
            DWORD dwErrors = 0, cbInQueue = 0;
            if (!_pPort->ClearCommError(&dwErrors, &cbInQueue))
                GpsLog(u"ClearCommError() failed on %s (error code %d).", _pPort->Name(),
                       static_cast<int>(_pPort->LastError()));
            if (dwErrors != 0)
                GpsLog(u"%s error state is %s (%d).", _pPort->Name(), CommErrorName(dwErrors),
                       static_cast<int>(dwErrors));
            cb = cbInQueue;
        }

        int nResult;
        if (cb == 0) {
            nResult = pProtocol->OnData(nullptr, 0);
            if (nResult != c_nGpsGiveUp) continue;
            if (!fSearching) LoseData(IDS_GPS_NO_DATA, pStopEvent, pFoundEvent);
            return false;
        }
        DWORD cbRead = 0;
        if (!_pPort->Read(buffer, cb > c_cbReadBuffer - 1 ? c_cbReadBuffer : cb, &cbRead))
            GpsLog(u"ReadFile() failed on %s (error code %d).", _pPort->Name(),
                   static_cast<int>(_pPort->LastError()));
        GpsLogData(_pPort, cbRead, buffer, false);
        nResult = pProtocol->OnData(buffer, cbRead);
        if (nResult == c_nGpsGiveUp) break;
        if (nResult == c_nGpsRecognised && fSearching) {
            fSearching = false;
            pFoundEvent->Set();
            SetGpsStatus(IDS_GPS_CONNECTED_VIA, strName.c_str(), nIndex);
            SetGpsIndicator(0);
        }
    }
    if (!fSearching) LoseData(IDS_GPS_PROTOCOL_ERROR, pStopEvent, pFoundEvent);
    return false;
}

} // namespace velka
