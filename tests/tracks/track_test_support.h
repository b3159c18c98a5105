// Shared by the track tests: a private tracks folder and settings store,
// fixes, and reading back the track files in a folder.
#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "gps/gps_fix.h"
#include "platform/recording_canvas.h"
#include "tests/support/test_support.h"
#include "tracks/track_file.h"

namespace velka::test {

// Settings and the tracks folder in private folders; recording and the
// on-screen track are closed again afterwards.
class ScopedTracks {
public:
    ScopedTracks();
    ~ScopedTracks();
    std::string Folder() const { return m_settings.Dir().File("tracks"); }
    std::string SettingsDb() const { return m_settings.DatabasePath(); }

private:
    ScopedSettings m_settings;
};

GpsFix MakeFix(double dLat, double dLon);
// Seconds since 1970 as an OLE date.
double OleFromUnix(long long t);

// The .mps files of a folder, sorted by name.
std::vector<std::filesystem::path> TrackFiles(const std::string& strFolder);
// Parses a file; fails the test when it is not a well-formed track file.
CTrackFileContents ReadTrackFile(const std::filesystem::path& path);

} // namespace velka::test
