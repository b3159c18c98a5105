// Track recording: while "RecordTrack" is on, every moved fix is appended
// to a MapSource track file (.mps) in the tracks folder, named after the
// local time of its first point. Each stretch of continuous positions is
// one track record "Track %03d" numbered from the setting "TrackNumber".
//
// The file on disk is a complete, readable track file after every point:
// the open record's length and point count are patched and the end record
// follows the last point, and the data is handed to the system at once and
// synced to the medium every few seconds, so that a crash, a kill or a
// power loss loses at most those last seconds.
//
// AddTrackPoint and StartNewTrack run on the GPS reader thread,
// StartRecording and CloseTrackFile on the main thread; the track-file lock
// serialises them. Code holding it never takes the positioning lock.
#pragma once
#include <cstddef>
#include <string>

#include "gps/gps_fix.h"
#include "platform/win_types.h"

namespace velka {

// Sizes of the records of a track file.
inline constexpr std::size_t c_cbTrackFileHeader = 44;
inline constexpr std::size_t c_cbTrackPoint = 31;
inline constexpr std::size_t c_cbTrackEndRecord = 7;
// Interval of syncing the open track file to the medium.
inline constexpr DWORD c_dwTrackSyncInterval = 5000;

// Closes an open track file, then accepts points (a new file begins with
// the next point).
void StartRecording();
// Stops accepting points; finishes the open track, writes the end record
// and closes the file, deleting it when no point was written.
void CloseTrackFile();
// Appends a moved fix; nothing unless recording and the fix has a position.
void AddTrackPoint(const GpsFix& fix);
// The same, telling whether the point reached the file (false also when
// not recording or without a position).
bool RecordTrackPoint(const GpsFix& fix);
// Makes the next point begin a new track record (after a position loss).
void StartNewTrack();

bool IsRecording();
// Full path (UTF-8) and bare name of the open track file; empty when none.
std::string TrackFilePath();
std::u16string TrackFileShortName();

// Start-up sequence: starts recording when "RecordTrack" is on. The guard
// of that step calls StopTrackRecording.
void StartTrackRecording();
void StopTrackRecording();

// The menu command "Записывать трек" (40062): flips "RecordTrack", starts
// or stops recording and enables or disables the on-screen track. Returns
// the new state; the caller refreshes the menu check marks.
bool ToggleRecordTrack();

// The 31 bytes of one track point made from a fix.
void MakeTrackPoint(const GpsFix& fix, BYTE abPoint[c_cbTrackPoint]);

} // namespace velka
