#include "tests/tracks/track_test_support.h"

#include <algorithm>

#include "tracks/file_utils.h"
#include "tracks/track_recorder.h"
#include "tracks/visual_track.h"

namespace velka::test {

ScopedTracks::ScopedTracks() {
    std::filesystem::create_directories(Folder());
    SetTracksFolder(Folder());
}

ScopedTracks::~ScopedTracks() {
    CloseTrackFile();
    CloseOnScreenTrack();
    DisableVisualTrack();
    SetTracksFolder("");
}

GpsFix MakeFix(double dLat, double dLon) {
    GpsFix fix;
    fix.SetPosition(static_cast<float>(dLon), static_cast<float>(dLat));
    return fix;
}

double OleFromUnix(long long t) { return static_cast<double>(t) / 86400.0 + 25569.0; }

std::vector<std::filesystem::path> TrackFiles(const std::string& strFolder) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(strFolder, ec))
        if (e.path().extension() == ".mps") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

CTrackFileContents ReadTrackFile(const std::filesystem::path& path) {
    const std::string bytes = ReadFile(path);
    CTrackFileContents contents;
    std::string error;
    const bool fOk = ParseTrackFile(
        {reinterpret_cast<const BYTE*>(bytes.data()), bytes.size()}, &contents, &error);
    EXPECT_TRUE(fOk) << path << ": " << error;
    return contents;
}

} // namespace velka::test
