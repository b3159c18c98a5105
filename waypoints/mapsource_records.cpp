#include "waypoints/mapsource_records.h"

#include <cmath>
#include <cstring>

#include "waypoints/ansi_text.h"

namespace velka {

MapSourceFlavour MapSourceSignature(std::span<const BYTE> data) {
    if (data.size() <= 44) return msfNone;
    if (std::memcmp(data.data(), "MsRcf", 6) == 0) return msfDatabase;
    if (std::memcmp(data.data(), "MsRcd", 6) == 0) return msfDocument;
    return msfNone;
}

CRecordWalker::CRecordWalker(std::span<const BYTE> data) : m_r(data) { m_r.Skip(6); }

bool CRecordWalker::Next(char& chType, CByteReader& body) {
    DWORD cb = 0;
    BYTE bt = 0;
    if (!m_r.Read(cb) || !m_r.Read(bt) || !m_r.Sub(cb, body)) return false;
    chType = static_cast<char>(bt);
    if (chType == 'V') m_fEnd = true;
    if (chType == 'A') {
        // The creator record may be followed by the program's name.
        for (std::string_view name : {std::string_view("MapSource", 10), std::string_view("BaseCamp", 9)}) {
            if (m_r.Left() >= name.size() && std::memcmp(m_r.Pos(), name.data(), name.size()) == 0) {
                m_r.Skip(name.size());
                break;
            }
        }
    }
    return true;
}

bool ReadOptionalDouble(CByteReader& r, bool& fPresent, double& d) {
    BYTE f = 0;
    if (!r.Read(f)) return false;
    fPresent = f != 0;
    if (fPresent && !r.Read(d)) return false;
    if (!fPresent) d = 0;
    return true;
}

void WriteTrackHead(CFileWriter& fw, const std::string& strName, BYTE btDisplay, std::size_t cPoints) {
    fw.WriteText(strName.data(), strName.size());
    fw.WriteByte(0);
    fw.WriteByte(btDisplay);
    fw.WriteDWord(0);
    fw.WriteDWord(static_cast<DWORD>(cPoints));
}

namespace {

bool ReadTrackHead(CByteReader& r, Track& track, DWORD& cPoints, std::size_t cbMinPoint) {
    std::string_view name;
    if (!r.ReadCString(name) || !r.Skip(5) || !r.Read(cPoints)) return false;
    if (cPoints > r.Left() / cbMinPoint) return false;
    track.strName = AnsiToUtf16(name);
    track.points.reserve(cPoints);
    return true;
}

} // namespace

bool ParseGdbTrack(CByteReader r, Track& track) {
    DWORD cPoints = 0;
    if (!ReadTrackHead(r, track, cPoints, 12)) return false;
    for (DWORD i = 0; i < cPoints; ++i) {
        TrackPoint pt;
        BYTE fTime = 0;
        if (!r.Read(pt.lLat) || !r.Read(pt.lLon) ||
            !ReadOptionalDouble(r, pt.fAltitude, pt.dAltitude) || !r.Read(fTime))
            return false;
        pt.fTime = fTime != 0;
        if (pt.fTime && !r.Read(pt.dwTime)) return false;
        if (!ReadOptionalDouble(r, pt.fDepth, pt.dDepth) ||
            !ReadOptionalDouble(r, pt.fTemperature, pt.dTemperature))
            return false;
        track.points.push_back(pt);
    }
    return true; // newer versions add fields after the points
}

bool ParseMpsTrack(CByteReader r, Track& track) {
    DWORD cPoints = 0;
    if (!ReadTrackHead(r, track, cPoints, 31)) return false;
    if (r.Left() != std::size_t(cPoints) * 31) return false;
    for (DWORD i = 0; i < cPoints; ++i) {
        TrackPoint pt;
        BYTE fAlt = 0, fTime = 0, fDepth = 0;
        if (!r.Read(pt.lLat) || !r.Read(pt.lLon) || !r.Read(fAlt) || !r.Read(pt.dAltitude) ||
            !r.Read(fTime) || !r.Read(pt.dwTime) || !r.Read(fDepth) || !r.Read(pt.dDepth))
            return false;
        pt.fAltitude = fAlt != 0;
        pt.fTime = fTime != 0;
        pt.fDepth = fDepth != 0;
        track.points.push_back(pt);
    }
    return true;
}

bool ReadMapSourceTracks(std::span<const BYTE> data, std::vector<Track>& tracks, std::vector<CError>* pWarnings) {
    const MapSourceFlavour flavour = MapSourceSignature(data);
    if (flavour == msfNone) return false;
    CRecordWalker walker(data);
    char chType = 0;
    CByteReader body;
    while (walker.Next(chType, body)) {
        if (chType != 'T') continue;
        Track track;
        if (flavour == msfDatabase ? ParseGdbTrack(body, track) : ParseMpsTrack(body, track))
            tracks.push_back(std::move(track));
    }
    if (!walker.ReachedEnd() && pWarnings) pWarnings->push_back(CError(ErrorCode::MapSourceFileTruncated));
    return true;
}

DWORD OleToUnixSeconds(double dTime) {
    const double d = std::round((dTime - 25569.0) * 86400.0);
    if (!(d >= 0)) return 0;
    if (d > 4294967295.0) return 0xFFFFFFFF;
    return static_cast<DWORD>(d);
}

double UnixSecondsToOle(DWORD dwSeconds) { return dwSeconds / 86400.0 + 25569.0; }

} // namespace velka
