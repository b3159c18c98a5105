// Reads the track records of a MapSource database (GDB) or document (MPS)
// file one point at a time, as positioning's simulation replays them:
// each point becomes a fix with its position, time, altitude and depth,
// and with speed, course and vertical speed worked out from the point
// before it.
#pragma once
#include <memory>
#include <span>
#include <string>

#include "gps/gps_fix.h"
#include "gps/track_source.h"
#include "platform/mapped_file.h"
#include "waypoints/exchange.h"
#include "waypoints/mapsource_records.h"

namespace velka {

class CTrackReader {
public:
    // Maps the file; false (with errno in *pnError) when it cannot be
    // opened or is not a MapSource file.
    bool Open(const std::string& strPath, int* pnError = nullptr);
    // Reads from bytes the caller keeps alive; false when they are not a
    // MapSource file.
    bool Attach(std::span<const BYTE> data);
    void Close();
    bool IsOpen() const { return m_flavour != msfNone; }

    // The next point as a fix (emptied first); false when the last track is
    // used up.
    bool NextPoint(GpsFix& fix);
    // Back to the first point of the first track, forgetting the previous point.
    void Rewind();

private:
    bool NextTrack();

    CMappedFile m_file;
    std::span<const BYTE> m_data;
    MapSourceFlavour m_flavour = msfNone;
    CRecordWalker m_walker{std::span<const BYTE>()};
    Track m_track;
    std::size_t m_iPoint = 0;
    bool m_fPrevious = false;
    TrackPoint m_previous;
};

// The simulation's track source over a MapSource file; null when the file
// cannot be read.
std::unique_ptr<IGpsTrackSource> OpenTrackSource(const std::string& strPath);

} // namespace velka
