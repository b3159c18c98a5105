// velkatool track: record fixes read from standard input into a track file
// the way the navigator records them, and show what a track file or the
// on-screen track ring holds.
//
//   track record [--dir DIR] [--ring] [OUT]
//       lines "LAT LON [ALT] [TIME] [DEPTH]" (degrees, metres, seconds since
//       1970 UTC; "-" for an absent value), or "break" for a position loss;
//       prints "point N" once each point is on disk and "file PATH" at the
//       end. With OUT (.mps, .gdb or .gpx) the recorded tracks are written
//       there in the format of its extension, and the recording is made in a
//       temporary folder unless --dir is given.
//   track dump FILE.mps                 the records of a track file
//   track ring [FILE]                   the on-screen track ring (Tracks.bin)
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <system_error>

#include "gps/gps_fix.h"
#include "platform/mapped_file.h"
#include "platform/text.h"
#include "shell/posted_boxes.h"
#include "tools/commands.h"
#include "tracks/file_utils.h"
#include "tracks/semicircles.h"
#include "tracks/track_file.h"
#include "tracks/track_recorder.h"
#include "tracks/visual_track.h"
#include "waypoints/exchange_commands.h"
#include "waypoints/mapsource_records.h"

namespace velka::tool {
namespace {

constexpr const char* c_szName = "track";

// One input line into a fix; false when it is not a fix line.
bool ParseFixLine(const std::string& line, GpsFix* pFix) {
    std::istringstream in(line);
    std::string field[5];
    int c = 0;
    while (c < 5 && in >> field[c]) ++c;
    if (c < 2) return false;
    auto number = [](const std::string& s, double* pd) {
        if (s == "-") return false;
        char* pEnd = nullptr;
        *pd = std::strtod(s.c_str(), &pEnd);
        return pEnd && *pEnd == 0 && pEnd != s.c_str();
    };
    double dLat = 0, dLon = 0, d = 0;
    if (!number(field[0], &dLat) || !number(field[1], &dLon)) return false;
    *pFix = GpsFix{};
    pFix->SetPosition(static_cast<float>(dLon), static_cast<float>(dLat));
    if (c > 2 && number(field[2], &d)) pFix->SetAltitude(static_cast<float>(d));
    if (c > 3 && number(field[3], &d)) pFix->SetTime(d / 86400.0 + 25569.0);
    if (c > 4 && number(field[4], &d)) pFix->SetDepth(static_cast<float>(d));
    return true;
}

// A folder of its own for a recording that is only a step towards OUT;
// removed with everything in it.
class CScratchFolder {
public:
    bool Create(const std::string& strBeside) {
        std::string strTemplate = strBeside + "/.velkatool-track-XXXXXX";
        if (!::mkdtemp(strTemplate.data())) return false;
        m_strPath = strTemplate;
        return true;
    }
    ~CScratchFolder() {
        std::error_code ec;
        if (!m_strPath.empty()) std::filesystem::remove_all(m_strPath, ec);
    }
    const std::string& Path() const { return m_strPath; }

private:
    std::string m_strPath;
};

// The tracks of the recorded file (none when nothing was recorded) into OUT.
bool WriteRecordedTracks(const std::string& strRecorded, const ExchangeFormat& out,
                         const std::string& strOut) {
    std::vector<Track> tracks;
    if (!strRecorded.empty()) {
        CMappedFile file;
        if (!file.Open(strRecorded) || !ReadMapSourceTracks(file.Bytes(), tracks)) {
            std::fprintf(stderr, "velkatool track: cannot read back %s\n", strRecorded.c_str());
            return false;
        }
    }
    const CWaypointStore none;
    CError error;
    if (out.pfnExport(strOut, none, false, &tracks, error)) return true;
    PrintError(error);
    return false;
}

int Record(const Args& args) {
    bool fRing = false;
    bool fDir = false;
    std::string strOut;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--dir" && i + 1 < args.size()) {
            SetTracksFolder(args[++i]);
            fDir = true;
        } else if (args[i] == "--ring") {
            fRing = true;
        } else if (strOut.empty() && !args[i].empty() && args[i][0] != '-') {
            strOut = args[i];
        } else {
            return UsageError(c_szName, "unknown argument '" + args[i] + "'");
        }
    }
    const ExchangeFormat* pOut = nullptr;
    CScratchFolder scratch;
    if (!strOut.empty()) {
        pOut = FormatForExtension(TrackExporters(), strOut);
        if (!pOut) return UsageError(c_szName, "tracks are written to .mps, .gdb or .gpx files");
        const std::filesystem::path parent = std::filesystem::path(strOut).parent_path();
        if (!fDir) {
            if (!scratch.Create(parent.empty() ? "." : parent.string())) {
                std::perror("velkatool track: temporary folder");
                return c_nExitFailed;
            }
            SetTracksFolder(scratch.Path());
        }
    }
    if (fRing) {
        if (const CError error = OpenOnScreenTrack()) {
            PrintError(error);
            return c_nExitFailed;
        }
        EnableVisualTrack();
    }
    StartRecording();
    std::string line;
    unsigned cPoints = 0, cLost = 0;
    std::string path;
    while (std::getline(std::cin, line)) {
        if (line == "break") {
            StartNewTrack();
            BreakVisualTrack();
            continue;
        }
        GpsFix fix;
        if (!ParseFixLine(line, &fix)) {
            if (!line.empty()) std::fprintf(stderr, "velkatool track: skipped line '%s'\n", line.c_str());
            continue;
        }
        ++cPoints;
        const bool fStored = RecordTrackPoint(fix);
        AddVisualPoint(fix.fLongitude, fix.fLatitude);
        if (path.empty()) path = TrackFilePath();
        // "point N" says the point is in the file; a lost one is said so.
        for (const std::u16string& text : TakePostedErrors())
            std::fprintf(stderr, "velkatool track: %s\n", ToUtf8(text).c_str());
        if (!fStored) {
            ++cLost;
            std::fprintf(stderr, "velkatool track: point %u not written\n", cPoints);
            continue;
        }
        std::printf("point %u\n", cPoints);
        std::fflush(stdout);
    }
    CloseTrackFile();
    if (fRing) CloseOnScreenTrack();
    if (cLost > 0) {
        std::fprintf(stderr, "velkatool track: %u of %u points were not written\n", cLost, cPoints);
        if (!path.empty()) std::printf("file %s\n", path.c_str());
        return c_nExitFailed;
    }
    if (pOut) {
        if (!WriteRecordedTracks(path, *pOut, strOut)) return c_nExitFailed;
        path = strOut;
    }
    if (!path.empty()) std::printf("file %s\n", path.c_str());
    return c_nExitOk;
}

int Dump(const Args& args) {
    if (args.size() != 2) return UsageError(c_szName, "dump takes one file");
    CMappedFile file;
    if (!file.Open(args[1])) {
        std::fprintf(stderr, "velkatool track: cannot open %s\n", args[1].c_str());
        return c_nExitFailed;
    }
    CTrackFileContents contents;
    std::string error;
    const bool fOk = ParseTrackFile(file.Bytes(), &contents, &error);
    std::printf("records %s\n", std::string(contents.recordTypes.begin(), contents.recordTypes.end()).c_str());
    for (const CTrackFileTrack& t : contents.tracks) {
        std::printf("track \"%s\" length %u points %u\n", t.strName.c_str(), t.dwLength,
                    t.cDeclaredPoints);
        for (const CTrackFilePoint& p : t.points) {
            std::printf("  %.7f %.7f", SemicirclesToDegrees(p.lLatitude), SemicirclesToDegrees(p.lLongitude));
            p.fAltitude ? std::printf(" %.2f", p.dAltitude) : std::printf(" -");
            p.fTime ? std::printf(" %u", p.dwTime) : std::printf(" -");
            p.fDepth ? std::printf(" %.2f\n", p.dDepth) : std::printf(" -\n");
        }
    }
    if (!fOk) {
        std::fprintf(stderr, "velkatool track: %s: %s\n", args[1].c_str(), error.c_str());
        return c_nExitFailed;
    }
    return c_nExitOk;
}

int Ring(const Args& args) {
    if (args.size() > 2) return UsageError(c_szName, "ring takes at most one file");
    const std::string path = args.size() == 2 ? args[1] : TracksFolder() + "/Tracks.bin";
    CMappedFile file;
    if (!file.Open(path)) {
        std::fprintf(stderr, "velkatool track: cannot open %s\n", path.c_str());
        return c_nExitFailed;
    }
    if (file.Size() != c_cbTrackLog) {
        std::printf("size %zu: not a ring (cleared at the next start)\n", file.Size());
        return c_nExitFailed;
    }
    const auto* pLog = reinterpret_cast<const CTrackLog*>(file.Data());
    if (pLog->dwEnd >= c_cMaxPoints) {
        std::printf("end %u: out of range (cleared at the next start)\n", pLog->dwEnd);
        return c_nExitFailed;
    }
    const DWORD cPoints = pLog->dwWrapped ? c_cMaxPoints : pLog->dwEnd;
    unsigned cSegments = 0;
    for (DWORD i = 0; i < cPoints; ++i)
        if (pLog->aPoints[i].dwLatitude & c_dwSegmentStart) ++cSegments;
    std::printf("end %u wrapped %u points %u segment starts %u\n", pLog->dwEnd,
                pLog->dwWrapped ? 1u : 0u, cPoints, cSegments);
    return c_nExitOk;
}

} // namespace

int RunTrack(const Args& args) {
    if (args.empty()) return UsageError(c_szName, "missing subcommand");
    if (args[0] == "record") return Record(args);
    if (args[0] == "dump") return Dump(args);
    if (args[0] == "ring") return Ring(args);
    return UsageError(c_szName, "unknown subcommand '" + args[0] + "'");
}

} // namespace velka::tool
