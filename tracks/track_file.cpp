#include "tracks/track_file.h"

#include <cstring>

#include "tracks/track_recorder.h"

namespace velka {
namespace {

DWORD GetDWord(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
           (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
}

double GetDouble(const BYTE* p) {
    std::uint64_t u = 0;
    for (int i = 7; i >= 0; --i) u = (u << 8) | p[i];
    double d = 0;
    std::memcpy(&d, &u, 8);
    return d;
}

bool Fail(std::string* pstrError, const std::string& strReason) {
    if (pstrError) *pstrError = strReason;
    return false;
}

// One 'T' record's data (after the type byte).
bool ParseTrack(std::span<const BYTE> rec, CTrackFileTrack* pTrack, std::string* pstrError) {
    std::size_t i = 0;
    while (i < rec.size() && rec[i] != 0) ++i;
    if (i >= rec.size()) return Fail(pstrError, "track name not terminated");
    pTrack->strName.assign(reinterpret_cast<const char*>(rec.data()), i);
    ++i;
    if (rec.size() - i < 9) return Fail(pstrError, "track record too short");
    pTrack->btDisplay = rec[i];
    pTrack->dwColour = GetDWord(&rec[i + 1]);
    pTrack->cDeclaredPoints = GetDWord(&rec[i + 5]);
    i += 9;
    if (pTrack->cDeclaredPoints > (rec.size() - i) / c_cbTrackPoint)
        return Fail(pstrError, "track points run past the record");
    pTrack->points.reserve(pTrack->cDeclaredPoints);
    for (DWORD k = 0; k < pTrack->cDeclaredPoints; ++k, i += c_cbTrackPoint) {
        const BYTE* p = &rec[i];
        CTrackFilePoint pt;
        pt.lLatitude = static_cast<std::int32_t>(GetDWord(p));
        pt.lLongitude = static_cast<std::int32_t>(GetDWord(p + 4));
        pt.fAltitude = p[8] != 0;
        pt.dAltitude = GetDouble(p + 9);
        pt.fTime = p[17] != 0;
        pt.dwTime = GetDWord(p + 18);
        pt.fDepth = p[22] != 0;
        pt.dDepth = GetDouble(p + 23);
        pTrack->points.push_back(pt);
    }
    // Bytes after the points are skipped, as MapSource readers do.
    pTrack->cbSlack = rec.size() - i;
    return true;
}

} // namespace

bool ParseTrackFile(std::span<const BYTE> data, CTrackFileContents* pContents,
                    std::string* pstrError) {
    *pContents = {};
    static constexpr BYTE c_abSignature[6] = {'M', 's', 'R', 'c', 'd', 0};
    if (data.size() < sizeof c_abSignature ||
        std::memcmp(data.data(), c_abSignature, sizeof c_abSignature) != 0)
        return Fail(pstrError, "no MsRcd signature");
    std::size_t ofs = sizeof c_abSignature;
    while (ofs < data.size()) {
        if (data.size() - ofs < 5) return Fail(pstrError, "truncated record header");
        const DWORD dwLength = GetDWord(&data[ofs]);
        const char chType = static_cast<char>(data[ofs + 4]);
        if (dwLength > data.size() - ofs - 5) return Fail(pstrError, "record runs past the end");
        const std::span<const BYTE> rec = data.subspan(ofs + 5, dwLength);
        pContents->recordTypes.push_back(chType);
        if (chType == 'T') {
            CTrackFileTrack track;
            track.ofsRecord = ofs;
            track.dwLength = dwLength;
            if (!ParseTrack(rec, &track, pstrError)) return false;
            pContents->tracks.push_back(std::move(track));
        }
        ofs += 5 + static_cast<std::size_t>(dwLength);
        if (chType == 'V') {
            pContents->fEndRecord = true;
            pContents->cbTrailing = data.size() - ofs;
            return true;
        }
    }
    return Fail(pstrError, "no end record");
}

} // namespace velka
