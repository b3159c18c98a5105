#include "waypoints/track_reader.h"

#include <cerrno>
#include <cmath>

namespace velka {
namespace {

double Degrees(LONG l) { return l * (180.0 / 2147483648.0); }

} // namespace

bool CTrackReader::Open(const std::string& strPath, int* pnError) {
    Close();
    if (!m_file.Open(strPath)) {
        if (pnError) *pnError = m_file.LastError();
        return false;
    }
    if (!Attach(m_file.Bytes())) {
        m_file.Close();
        if (pnError) *pnError = EINVAL;
        return false;
    }
    return true;
}

bool CTrackReader::Attach(std::span<const BYTE> data) {
    m_data = data;
    m_flavour = MapSourceSignature(data);
    Rewind();
    return m_flavour != msfNone;
}

void CTrackReader::Close() {
    m_flavour = msfNone;
    m_data = {};
    m_file.Close();
    Rewind();
}

void CTrackReader::Rewind() {
    m_walker = CRecordWalker(m_data);
    m_track = Track();
    m_iPoint = 0;
    m_fPrevious = false;
}

bool CTrackReader::NextTrack() {
    char chType = 0;
    CByteReader body;
    while (m_flavour != msfNone && m_walker.Next(chType, body)) {
        if (chType != 'T') continue;
        Track track;
        const bool fOk = m_flavour == msfDatabase ? ParseGdbTrack(body, track) : ParseMpsTrack(body, track);
        if (!fOk || track.points.empty()) continue;
        m_track = std::move(track);
        m_iPoint = 0;
        return true;
    }
    return false;
}

bool CTrackReader::NextPoint(GpsFix& fix) {
    if (m_iPoint >= m_track.points.size() && !NextTrack()) return false;
    const TrackPoint& pt = m_track.points[m_iPoint++];
    fix.Empty();
    const double dLat = Degrees(pt.lLat), dLon = Degrees(pt.lLon);
    fix.SetPosition(static_cast<float>(dLon), static_cast<float>(dLat));
    if (m_fPrevious) {
        const double dx = (dLon - Degrees(m_previous.lLon)) / 360.0 * 40000000.0 * std::cos(dLat * M_PI / 180.0);
        const double dy = (dLat - Degrees(m_previous.lLat)) / 360.0 * 40000000.0;
        if (pt.fTime && m_previous.fTime && pt.dwTime != m_previous.dwTime) {
            const double dt = static_cast<double>(pt.dwTime) - static_cast<double>(m_previous.dwTime);
            fix.SetSpeed(static_cast<float>(std::sqrt(dx * dx + dy * dy) * 3.6 / std::fabs(dt)));
            if (pt.fAltitude && m_previous.fAltitude)
                fix.SetVertSpeed(static_cast<float>((pt.dAltitude - m_previous.dAltitude) / dt));
        }
        if (dx != 0 || dy != 0) {
            double dCourse = 90.0 - std::atan2(dy, dx) * 180.0 / M_PI;
            if (dCourse < 0) dCourse += 360.0;
            fix.SetCourse(static_cast<float>(dCourse));
        }
    }
    m_previous = pt;
    m_fPrevious = true;
    if (pt.fTime) fix.SetTime(UnixSecondsToOle(pt.dwTime));
    if (pt.fAltitude) fix.SetAltitude(static_cast<float>(pt.dAltitude));
    if (pt.fDepth) fix.SetDepth(static_cast<float>(pt.dDepth));
    return true;
}

namespace {

class CTrackReaderSource : public IGpsTrackSource {
public:
    bool Open(const std::string& strPath) { return m_reader.Open(strPath); }
    bool NextPoint(GpsFix& fix) override { return m_reader.NextPoint(fix); }
    void Rewind() override { m_reader.Rewind(); }

private:
    CTrackReader m_reader;
};

} // namespace

std::unique_ptr<IGpsTrackSource> OpenTrackSource(const std::string& strPath) {
    auto pTrack = std::make_unique<CTrackReaderSource>();
    if (!pTrack->Open(strPath)) return nullptr;
    return pTrack;
}

} // namespace velka
