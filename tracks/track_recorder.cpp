#include "tracks/track_recorder.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/text.h"
#include "shell/posted_boxes.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "tracks/file_utils.h"
#include "tracks/file_writer.h"
#include "tracks/semicircles.h"
#include "tracks/visual_track.h"

namespace velka {
namespace {

// The file header: signature, format version record 'D' and application
// record 'A' with the fixed version, data bytes and build date and time.
constexpr BYTE c_abHeader[c_cbTrackFileHeader] = {
    'M', 's', 'R', 'c', 'd', 0,                                  // signature
    0x02, 0x00, 0x00, 0x00, 'D', 0x68, 0x00,                     // version
    0x1A, 0x00, 0x00, 0x00, 'A', 0x9D, 0x01, 0x4B, 0x47, 0x00,   // application
    'M', 'a', 'r', ' ', ' ', '5', ' ', '2', '0', '0', '6', 0,    // build date
    '2', '0', ':', '0', '1', ':', '3', '6', 0};                  // build time
constexpr BYTE c_abEndRecord[c_cbTrackEndRecord] = {0x02, 0x00, 0x00, 0x00, 'V', 0x00, 0x01};
constexpr unsigned c_nMaxTrackNumber = 999;
constexpr const char* c_szTrackTempPrefix = ".velka-track-";

// Recorder state, all under the track-file lock (re-entered when a new
// file begins its first track).
std::recursive_mutex g_trackLock;
bool g_fRecording = false;
std::unique_ptr<CFileWriter> g_pFileWriter;
int g_fdTrack = -1;
std::string g_strFileName;
std::u16string g_strShortName;
bool g_fTrackOpen = false;
DWORD g_dwRecordStart = 0;
DWORD g_dwCountPosition = 0;
DWORD g_cPointsInTrack = 0;
bool g_fPointsInFile = false;
unsigned g_nNextTrackNumber = 0;
DWORD g_dwLastSync = 0;
// An outage already told to the user (a full disk, a folder that cannot be
// written): one box for it, not one per fix; cleared when writing works again.
bool g_fWriteErrorTold = false;
bool g_fCreateErrorTold = false;

void PutDWord(BYTE* p, DWORD dw) {
    p[0] = static_cast<BYTE>(dw);
    p[1] = static_cast<BYTE>(dw >> 8);
    p[2] = static_cast<BYTE>(dw >> 16);
    p[3] = static_cast<BYTE>(dw >> 24);
}

void PutDouble(BYTE* p, double d) {
    std::uint64_t u = 0;
    std::memcpy(&u, &d, 8);
    for (int i = 0; i < 8; ++i) p[i] = static_cast<BYTE>(u >> (8 * i));
}

// Patches the open record's length and point count for everything written
// so far and returns to the end.
void FinishTrack() {
    CFileWriter& w = *g_pFileWriter;
    const DWORD dwEnd = w.GetPosition();
    w.Seek(g_dwRecordStart);
    w.WriteDWord(dwEnd - g_dwRecordStart - 5);
    w.Seek(g_dwCountPosition);
    w.WriteDWord(g_cPointsInTrack);
    w.Seek(dwEnd);
}

// Appends data at the end of the file (a point of the open track, or the
// header of a new track record) so that the file on disk is a complete
// track file after every single physical write: first the end record
// beyond the old one (readers still stop at the old one), then the open
// record's length (a reader skips to the new end record), then the data
// over the old end record, then the point count. A kill at any moment
// loses at most the point being written. Only the first write makes the
// file longer: when it fails (a full disk) nothing else is written and the
// data is dropped, false. Synced to the medium every few seconds.
bool AppendSafely(const BYTE* pData, DWORD cb) {
    CFileWriter& w = *g_pFileWriter;
    const DWORD dwEnd = w.GetPosition(); // where the end record lies
    if (w.BufferedBytes() == dwEnd) {
        // Nothing is on disk yet: the file header, this record and the end
        // record go out in one write.
        w.WriteBytes(pData, cb);
        w.WriteBytes(c_abEndRecord, sizeof c_abEndRecord);
        w.Seek(dwEnd + cb);
        return !w.Failed();
    }
    w.Seek(dwEnd + cb);
    w.WriteBytes(c_abEndRecord, sizeof c_abEndRecord);
    w.Flush();
    if (w.Failed()) {
        w.Seek(dwEnd);
        // The file on disk still ends at its old end record; cut off any
        // part of this write that did reach it.
        const int nCut = ::ftruncate(g_fdTrack, dwEnd + static_cast<off_t>(sizeof c_abEndRecord));
        (void)nCut; // a failure leaves bytes that readers never reach
        return false;
    }
    if (g_fTrackOpen) {
        w.Seek(g_dwRecordStart);
        w.WriteDWord(dwEnd + cb - g_dwRecordStart - 5);
    }
    w.Seek(dwEnd);
    w.WriteBytes(pData, cb);
    if (g_fTrackOpen) {
        w.Seek(g_dwCountPosition);
        w.WriteDWord(g_cPointsInTrack);
    }
    w.Seek(dwEnd + cb);
    const DWORD dwNow = GetTickCount();
    if (dwNow - g_dwLastSync >= c_dwTrackSyncInterval) {
        ::fdatasync(g_fdTrack);
        g_dwLastSync = dwNow;
    }
    return true;
}

// Tells the user once per outage, through the user-interface thread (this
// runs on the GPS reader thread).
void WriteFailed() {
    if (g_fWriteErrorTold) return;
    g_fWriteErrorTold = true;
    int nError = g_pFileWriter->LastError();
    PostWriteFileError(FromUtf8(g_strFileName), nError ? nError : ENOSPC);
}

void WriteWorked() { g_fWriteErrorTold = false; }

// Closes the file without a word more; removed when it has no point.
void CloseFile() {
    g_pFileWriter.reset();
    ::fdatasync(g_fdTrack);
    ::close(g_fdTrack);
    g_fdTrack = -1;
    if (!g_fPointsInFile) ::unlink(g_strFileName.c_str());
    g_strFileName.clear();
    g_strShortName.clear();
    g_fTrackOpen = false;
}

// Creates the next track file, named after the local time; a name already
// taken (two files in one second, or the clock set back) gets "(1)", "(2)",
// ... so that an earlier track is never overwritten. The file is written
// under a temporary name first and appears under its own name only with its
// header and first record complete, so that a kill can never leave an empty
// or partial track file. False with the path and errno on failure.
bool CreateTrackFile(std::string* pstrPath, int* pnError) {
    int nFolderError = 0;
    EnsureTracksFolder(&nFolderError);
    const std::string folder = TracksFolder();
    const SYSTEMTIME st = GetLocalTime();
    char szBase[64];
    std::snprintf(szBase, sizeof szBase, "%d-%02d-%02d_%02d-%02d-%02d", st.wYear, st.wMonth,
                  st.wDay, st.wHour, st.wMinute, st.wSecond);
    std::string name = std::string(szBase) + ".mps";
    *pstrPath = folder + "/" + name;
    const std::string temp = folder + "/" + c_szTrackTempPrefix + std::to_string(::getpid()) + ".tmp";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        *pnError = errno;
        return false;
    }
    g_fdTrack = fd;
    g_strFileName = *pstrPath;
    g_strShortName = FromUtf8(name);
    g_pFileWriter = std::make_unique<CFileWriter>(fd);
    g_pFileWriter->WriteBytes(c_abHeader, sizeof c_abHeader);
    g_fPointsInFile = false;
    g_fTrackOpen = false;
    g_cPointsInTrack = 0;
    g_dwLastSync = GetTickCount();
    g_nNextTrackNumber = static_cast<unsigned>(ReadSettingInt(u"TrackNumber", 0));
    if (g_nNextTrackNumber > c_nMaxTrackNumber) g_nNextTrackNumber = 0;
    StartNewTrack();
    int nError = g_fTrackOpen ? 0 : g_pFileWriter->LastError();
    if (g_fTrackOpen && ::fdatasync(fd) != 0) nError = errno;
    for (unsigned n = 1; !nError; ++n) {
        if (::link(temp.c_str(), pstrPath->c_str()) == 0) break;
        if (errno != EEXIST || n > 999) {
            nError = errno;
            break;
        }
        name = std::string(szBase) + "(" + std::to_string(n) + ").mps";
        *pstrPath = folder + "/" + name;
    }
    ::unlink(temp.c_str());
    if (nError) {
        // Not even the first record could be written: a creation failure.
        *pnError = nError;
        g_fPointsInFile = true; // nothing to remove under the real name
        CloseFile();
        return false;
    }
    g_strFileName = *pstrPath;
    g_strShortName = FromUtf8(name);
    return true;
}

// Leftovers of a run that was killed: temporary files of processes that no
// longer exist, and empty track files (older versions created the file
// before writing its header).
void RemoveLeftovers() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(TracksFolder(), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(c_szTrackTempPrefix, 0) == 0) {
            const long pid = std::atol(name.c_str() + std::strlen(c_szTrackTempPrefix));
            if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
                std::filesystem::remove(entry.path(), ec);
        } else if (entry.path().extension() == ".mps" && entry.is_regular_file(ec) &&
                   entry.file_size(ec) == 0) {
            std::filesystem::remove(entry.path(), ec);
        }
    }
}

} // namespace

void MakeTrackPoint(const GpsFix& fix, BYTE abPoint[c_cbTrackPoint]) {
    std::memset(abPoint, 0, c_cbTrackPoint);
    PutDWord(abPoint + 0, static_cast<DWORD>(DegreesToSemicircles(fix.fLatitude)));
    PutDWord(abPoint + 4, static_cast<DWORD>(DegreesToSemicircles(fix.fLongitude)));
    if (fix.Has(gfAltitude)) {
        abPoint[8] = 1;
        PutDouble(abPoint + 9, fix.fAltitude);
    }
    if (fix.Has(gfTime)) {
        abPoint[17] = 1;
        double dSeconds = std::floor((fix.dTime - 25569.0) * 86400.0 + 0.5);
        if (!(dSeconds > -4.0e12 && dSeconds < 4.0e12)) dSeconds = 0;
        PutDWord(abPoint + 18, static_cast<DWORD>(static_cast<std::int64_t>(dSeconds)));
    }
    if (fix.Has(gfDepth)) {
        abPoint[22] = 1;
        PutDouble(abPoint + 23, fix.fDepth);
    }
}

void StartRecording() {
    std::lock_guard lock(g_trackLock);
    if (g_pFileWriter) CloseTrackFile();
    RemoveLeftovers();
    g_fRecording = true;
}

void CloseTrackFile() {
    std::lock_guard lock(g_trackLock);
    g_fRecording = false;
    if (!g_pFileWriter) return;
    if (g_fTrackOpen) FinishTrack();
    g_fTrackOpen = false;
    g_pFileWriter->WriteBytes(c_abEndRecord, sizeof c_abEndRecord);
    g_pFileWriter->Flush();
    CloseFile();
}

bool RecordTrackPoint(const GpsFix& fix) {
    std::unique_lock lock(g_trackLock);
    if (!g_fRecording || !fix.Has(gfPosition)) return false;
    if (!g_pFileWriter) {
        std::string path;
        int nError = 0;
        if (!CreateTrackFile(&path, &nError)) {
            // Told once, on the user-interface thread; the next point tries
            // again quietly.
            if (!g_fCreateErrorTold) {
                g_fCreateErrorTold = true;
                PostCreateFileError(FromUtf8(path), nError);
            }
            return false;
        }
        g_fCreateErrorTold = false;
    }
    // A track record that could not be written (a full disk) is tried
    // again first; without one the point is dropped.
    if (!g_fTrackOpen) StartNewTrack();
    if (!g_fTrackOpen) {
        WriteFailed();
        return false;
    }
    BYTE abPoint[c_cbTrackPoint];
    MakeTrackPoint(fix, abPoint);
    ++g_cPointsInTrack;
    if (!AppendSafely(abPoint, sizeof abPoint)) {
        --g_cPointsInTrack;
        WriteFailed();
        return false;
    }
    WriteWorked();
    g_fPointsInFile = true;
    return true;
}

void AddTrackPoint(const GpsFix& fix) { RecordTrackPoint(fix); }


void StartNewTrack() {
    std::lock_guard lock(g_trackLock);
    if (!g_pFileWriter) return;
    if (g_fTrackOpen && g_cPointsInTrack == 0) return;
    if (g_fTrackOpen) FinishTrack();
    g_fTrackOpen = false;

    char szName[32];
    const int cName = std::snprintf(szName, sizeof szName, "Track %03u", g_nNextTrackNumber);
    ++g_nNextTrackNumber;
    WriteSettingInt(u"TrackNumber", static_cast<int>(g_nNextTrackNumber));

    // The record as it stands with no points: length and count are final
    // at once (31000 and 1000 would only be placeholders until patched).
    BYTE abRecord[48];
    const DWORD cbName = static_cast<DWORD>(cName) + 1;
    const DWORD cbData = cbName + 1 + 4 + 4;
    PutDWord(abRecord, cbData);
    abRecord[4] = 'T';
    std::memcpy(abRecord + 5, szName, cbName);
    abRecord[5 + cbName] = 0;                 // display flag
    PutDWord(abRecord + 6 + cbName, 0);       // colour
    PutDWord(abRecord + 10 + cbName, 0);      // point count
    const DWORD dwStart = g_pFileWriter->GetPosition();
    if (!AppendSafely(abRecord, 5 + cbData)) return;
    g_dwRecordStart = dwStart;
    g_dwCountPosition = dwStart + 10 + cbName;
    g_cPointsInTrack = 0;
    g_fTrackOpen = true;
}

bool IsRecording() {
    std::lock_guard lock(g_trackLock);
    return g_fRecording;
}

std::string TrackFilePath() {
    std::lock_guard lock(g_trackLock);
    return g_strFileName;
}

std::u16string TrackFileShortName() {
    std::lock_guard lock(g_trackLock);
    return g_strShortName;
}

void StartTrackRecording() {
    if (ReadSettingBool(u"RecordTrack", false)) StartRecording();
}

void StopTrackRecording() { CloseTrackFile(); }

bool ToggleRecordTrack() {
    const bool fOn = !ReadSettingBool(u"RecordTrack", false);
    WriteSettingBool(u"RecordTrack", fOn);
    if (fOn) {
        StartRecording();
        EnableVisualTrack();
    } else {
        CloseTrackFile();
        DisableVisualTrack();
    }
    return fOn;
}

} // namespace velka
