// Errors as values. A parser, importer, exporter or command that fails
// returns what happened (a code naming its text in the string table) and
// the values the text is formatted with; the user interface turns it into
// a message box and the command line into a line on standard error, both
// with the same text.
#pragma once
#include <functional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "platform/win_types.h"
#include "shell/string_ids.h"

namespace velka {

enum class ErrorCode : UINT {
    None = 0,
    Declined = 1, // the user answered no to a question: nothing more to say
    CannotCreateFile = IDS_CANNOT_CREATE_FILE,     // path, system text
    CannotOpenFile = IDS_CANNOT_OPEN_FILE,         // path, system text
    CannotReadFile = IDS_CANNOT_READ_FILE,         // path, system text
    CannotWriteFile = IDS_CANNOT_WRITE_FILE,       // path, system text
    CannotCreateFolder = IDS_CANNOT_CREATE_FOLDER, // path, system text
    CannotDelete = IDS_CANNOT_DELETE,              // path, system text
    CannotRename = IDS_CANNOT_RENAME,              // old path, new path, system text
    OutOfMemory = IDS_OUT_OF_MEMORY,
    BadFileFormat = IDS_BAD_FILE_FORMAT,           // path
    MapEnciphered = IDS_MAP_ENCIPHERED,
    MapBadTextCoding = IDS_MAP_BAD_TEXT_CODING,    // coding number
    UnknownDatum = IDS_WPT_UNKNOWN_DATUM,          // datum name
    GdbNewerVersion = IDS_GDB_NEWER_VERSION,       // a warning (or a question)
    MpsNewerVersion = IDS_MPS_NEWER_VERSION,       // a warning
    WaypointsFileDamaged = IDS_WAYPOINTS_FILE_DAMAGED,
    MapSourceFileTruncated = IDS_MAPSOURCE_FILE_TRUNCATED, // a warning: the records before the cut were taken
    ActiveRouteNotDeleted = IDS_ACTIVE_ROUTE_NOT_DELETED,  // a warning
    ComPortCrashed = IDS_CRASH_COM_PORT,                   // port number
    // Questions asked before a delete (yes/no with the question mark).
    AskDeleteFile = IDS_ASK_DELETE_FILE,                   // path
    AskDeleteWaypoint = IDS_ASK_DELETE_WAYPOINT,           // waypoint name
    AskDeleteAllWaypoints = IDS_ASK_DELETE_ALL_WAYPOINTS,
    AskDeleteRoute = IDS_ASK_DELETE_ROUTE,                 // route name
};

using CErrorArg = std::variant<int, std::u16string>;

struct CError {
    ErrorCode code = ErrorCode::None;
    std::vector<CErrorArg> args;

    CError() = default;
    CError(ErrorCode c, std::vector<CErrorArg> a = {}) : code(c), args(std::move(a)) {}
    // True when something went wrong (declining included).
    explicit operator bool() const { return code != ErrorCode::None; }
    // True when there is a text to show (not None, not Declined).
    bool HasText() const { return code != ErrorCode::None && code != ErrorCode::Declined; }
    UINT StringId() const { return static_cast<UINT>(code); }
    friend bool operator==(const CError&, const CError&) = default;
};

// A file error: the path and the platform's text for the error number.
CError FileError(ErrorCode code, const std::u16string& strPath, int nError);
CError RenameError(const std::u16string& strOld, const std::u16string& strNew, int nError);

// The text of the error in the selected language, formatted with its
// arguments (empty for None and Declined).
std::u16string ErrorText(const CError& error);
// The box icon of the error: warnings for the version notices and the
// refused route, the question mark for the delete questions, else error.
UINT ErrorIcon(const CError& error);

// A question asked in the middle of a job (a newer file version, a delete):
// true to go on. The caller decides how to ask; an empty function declines.
using AskFn = std::function<bool(const CError& question)>;

} // namespace velka
