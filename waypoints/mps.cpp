// MapSource document (MPS) waypoints both ways, and its track records for
// the command line's conversions.
#include <cmath>
#include <cstring>

#include "platform/clock.h"
#include "platform/debug.h"
#include "shell/string_ids.h"
#include "waypoints/ansi_text.h"
#include "waypoints/export_file.h"
#include "waypoints/mapsource_records.h"

namespace velka {
namespace {

constexpr WORD c_wOldestVersion = 103; // MapSource 4.09

std::unique_ptr<Waypoint> ReadMpsWaypoint(CByteReader r) {
    auto w = std::make_unique<Waypoint>();
    std::string_view name, comment;
    BYTE fAlt = 0, fDepth = 0, fProx = 0;
    double dAlt = 0, dDepth = 0, dProx = 0;
    DWORD dwDisplay = 0, dwColor = 0, dwIcon = 0;
    if (!r.ReadCString(name) || !r.Skip(4 + 1 + 22) || !r.Read(w->lY) || !r.Read(w->lX) ||
        !r.Read(fAlt) || !r.Read(dAlt) || !r.ReadCString(comment) || !r.Read(fDepth) ||
        !r.Read(dDepth) || !r.Read(dwDisplay) || !r.Read(dwColor) || !r.Read(dwIcon) ||
        !r.Skip(4) || !r.Read(fProx) || !r.Read(dProx))
        return nullptr;
    w->strName = AnsiToUtf16(name);
    w->strComment = AnsiToUtf16(comment);
    if (fAlt) w->fAltitude = static_cast<float>(dAlt);
    else w->dwFlags |= wfNoAltitude;
    if (fDepth) w->fDepth = static_cast<float>(dDepth);
    w->btShow = dwDisplay < 4 ? static_cast<BYTE>(dwDisplay) : BYTE(wsIconAndName);
    w->btReserved = static_cast<BYTE>(dwColor & 0xFF);
    const WORD wIcon = static_cast<WORD>(dwIcon & 0xFFFF);
    w->wType = wIcon < 0x4000 ? wIcon : c_wDefaultWaypointType;
    if (fProx) {
        w->dwFlags |= wfProximity;
        w->fProximity = static_cast<float>(dProx);
    }
    w->dTime = NowUtcOle();
    return w;
}

// The 44-byte head of the document files: signature, version 'h' and the
// creator record.
void WriteMpsHead(CFileWriter& fw) {
    static const BYTE c_abHead[44] = {
        'M', 's', 'R', 'c', 'd', 0, 2, 0, 0, 0, 'D', 'h', 0, 26, 0, 0, 0, 'A', 0x9D, 0x01, 'K', 'G', 0,
        'M', 'a', 'r', ' ', ' ', '5', ' ', '2', '0', '0', '6', 0, '2', '0', ':', '0', '1', ':', '3', '6', 0};
    fw.WriteBytes(c_abHead, sizeof c_abHead);
}

void WriteMpsWaypoint(CFileWriter& fw, const Waypoint& w, const std::string& strName) {
    const std::string strComment = ExportAnsiText(w.strComment);
    const DWORD dwLen = static_cast<DWORD>(strName.size() + strComment.size() + 87);
    fw.WriteDWord(dwLen);
    fw.WriteByte('W');
    const DWORD cPos = fw.GetPosition();
    fw.WriteText(strName.data(), strName.size());
    fw.WriteByte(0);
    fw.WriteDWord(0); // class
    fw.WriteByte(0);  // country
    fw.WriteFill(4, 0);
    fw.WriteFill(12, 0xFF);
    fw.WriteFill(2, 0);
    fw.WriteFill(4, 0xFF);
    fw.WriteDWord(static_cast<DWORD>(w.lY));
    fw.WriteDWord(static_cast<DWORD>(w.lX));
    fw.WriteByte(w.HasAltitude());
    WriteRawDouble(fw, w.fAltitude);
    fw.WriteText(strComment.data(), strComment.size());
    fw.WriteByte(0);
    fw.WriteByte(w.fDepth != 0);
    WriteRawDouble(fw, w.fDepth);
    fw.WriteDWord(w.btShow);
    fw.WriteDWord(w.btReserved);
    fw.WriteDWord(w.wType);
    fw.WriteDWord(0);
    fw.WriteByte((w.dwFlags & wfProximity) != 0);
    WriteRawDouble(fw, w.fProximity);
    fw.WriteFill(7, 0);
    VELKA_ASSERT(fw.GetPosition() - cPos == dwLen);
}

void WriteMpsTrack(CFileWriter& fw, const Track& track) {
    const std::string strName = ExportAnsiText(track.strName);
    fw.WriteDWord(static_cast<DWORD>(strName.size() + 1 + 1 + 4 + 4 + track.points.size() * 31));
    fw.WriteByte('T');
    WriteTrackHead(fw, strName, 0, track.points.size());
    for (const TrackPoint& p : track.points) {
        fw.WriteDWord(static_cast<DWORD>(p.lLat));
        fw.WriteDWord(static_cast<DWORD>(p.lLon));
        fw.WriteByte(p.fAltitude);
        WriteRawDouble(fw, p.fAltitude ? p.dAltitude : 0.0);
        fw.WriteByte(p.fTime);
        fw.WriteDWord(p.fTime ? p.dwTime : 0);
        fw.WriteByte(p.fDepth);
        WriteRawDouble(fw, p.fDepth ? p.dDepth : 0.0);
    }
}

} // namespace

bool ProbeMps(std::span<const BYTE> data) { return MapSourceSignature(data) == msfDocument; }

bool ImportMps(std::span<const BYTE> data, ImportTarget& target) {
    if (!ProbeMps(data)) return false;
    CRecordWalker walker(data);
    char chType = 0;
    CByteReader body;
    std::vector<std::unique_ptr<Waypoint>> waypoints;
    std::vector<Track> tracks;
    while (walker.Next(chType, body)) {
        if (chType == 'D') {
            BYTE btVersion = 0;
            if (!body.Read(btVersion)) break;
            if (btVersion < c_wOldestVersion) {
                target.m_error = CError(ErrorCode::MpsNewerVersion);
                return false;
            }
        } else if (chType == 'W') {
            if (auto w = ReadMpsWaypoint(body)) waypoints.push_back(std::move(w));
        } else if (chType == 'T' && target.m_pTracks) {
            Track track;
            if (ParseMpsTrack(body, track)) tracks.push_back(std::move(track));
        } else if (chType == 'V') {
            break;
        }
    }
    // A file cut short gives its whole records and says that it is damaged.
    if (!walker.ReachedEnd()) target.m_warnings.push_back(CError(ErrorCode::MapSourceFileTruncated));
    target.Commit(std::move(waypoints), {}, std::move(tracks));
    return true;
}

bool ExportMps(const std::string& strPath, const CWaypointStore& store, bool,
               const std::vector<Track>* pTracks, CError& error) {
    CExportFile file(error);
    if (!file.Create(strPath)) return false;
    CFileWriter& fw = file.Writer();
    WriteMpsHead(fw);
    std::vector<const Waypoint*> waypoints;
    std::vector<const std::u16string*> names;
    for (const auto& p : store.Waypoints())
        if (!p->IsDeleted() && !p->strName.empty()) {
            waypoints.push_back(p.get());
            names.push_back(&p->strName);
        }
    const std::vector<std::u16string> exportNames = UniqueExportNames(names);
    for (std::size_t i = 0; i < waypoints.size(); ++i)
        WriteMpsWaypoint(fw, *waypoints[i], ExportAnsiText(exportNames[i]));
    if (pTracks)
        for (const Track& t : *pTracks) WriteMpsTrack(fw, t);
    static const BYTE c_abTail[7] = {2, 0, 0, 0, 'V', 0, 1};
    fw.WriteBytes(c_abTail, sizeof c_abTail);
    return file.Commit();
}

} // namespace velka
