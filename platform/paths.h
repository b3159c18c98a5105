// Where files live: XDG base folders, the documents folder, the program's
// own folder and the installed data folder.
#pragma once
#include <string>

namespace velka {

std::string ConfigHome();   // $XDG_CONFIG_HOME or ~/.config
std::string StateHome();    // $XDG_STATE_HOME or ~/.local/state
std::string DataHome();     // $XDG_DATA_HOME or ~/.local/share
std::string RuntimeDir();   // $XDG_RUNTIME_DIR, or a private folder (0700, the user's own)
std::string DocumentsDir(); // XDG_DOCUMENTS_DIR from user-dirs.dirs, or ~/Documents

// velka's own folders under the above (not created).
std::string VelkaConfigDir(); // ConfigHome()/velka
std::string VelkaStateDir();  // StateHome()/velka

// Folder of the running executable.
std::string ProgramDir();
// The installed data folder (share/velka beside the program's prefix).
std::string InstalledDataDir();
// A data file looked for beside the program first, then in the installed
// data folder; the first existing path, or the one beside the program.
std::string FindDataFile(const std::string& strName);

// Creates a folder and its parents; true when it exists as a folder after.
bool EnsureDirectory(const std::string& strPath, int* pnError = nullptr);

// The same for a folder only its owner may enter (0700): the settings and
// state folders, which hold where the user has been. An existing folder of
// the user's with wider permissions is narrowed.
bool EnsurePrivateDirectory(const std::string& strPath, int* pnError = nullptr);

// Writes bytes to a file atomically (CAtomicFile: symlinks followed,
// devices written in place, other non-regular files refused). False with
// errno in *pnError.
bool WriteFileAtomic(const std::string& strPath, const void* pData, std::size_t cb,
                     int* pnError = nullptr);

} // namespace velka
