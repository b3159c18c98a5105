// Reading back the track files the recorder writes (MapSource .mps with
// track records): a bounds-checked walk over the records that never reads
// outside the data, for checks and the command line.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace velka {

struct CTrackFilePoint {
    std::int32_t lLatitude = 0;  // semicircles
    std::int32_t lLongitude = 0; // semicircles
    bool fAltitude = false;
    double dAltitude = 0;
    bool fTime = false;
    DWORD dwTime = 0; // seconds since 1970-01-01 UTC
    bool fDepth = false;
    double dDepth = 0;
};

struct CTrackFileTrack {
    std::string strName;
    BYTE btDisplay = 0;
    DWORD dwColour = 0;
    std::size_t ofsRecord = 0; // file offset of the record's length field
    DWORD dwLength = 0;
    DWORD cDeclaredPoints = 0;
    std::size_t cbSlack = 0; // record bytes after the points (skipped)
    std::vector<CTrackFilePoint> points;
};

struct CTrackFileContents {
    std::vector<char> recordTypes; // every record's type byte, in order
    std::vector<CTrackFileTrack> tracks;
    bool fEndRecord = false;      // the 'V' record was found
    std::size_t cbTrailing = 0;   // bytes after the end record
};

// False with a reason when the data is not a well-formed track file: no
// signature, a record running past the end, a track record whose name,
// fields or points do not fit its length, or no end record. Like MapSource
// readers, it skips bytes a track record has after its points.
bool ParseTrackFile(std::span<const BYTE> data, CTrackFileContents* pContents,
                    std::string* pstrError);

} // namespace velka
