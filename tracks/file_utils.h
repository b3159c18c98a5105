// Small path and file-system helpers over UTF-16 path strings (POSIX paths,
// '/' separated), used by the file dialogs, positioning and the track
// recorder, and the tracks folder where track files and the on-screen
// track live.
#pragma once
#include <cstddef>
#include <string>

#include "shell/error.h"

namespace velka {

// Drops one final '/' when the path is longer than one character; returns
// the new length.
std::size_t RemoveTrailingSlash(std::u16string& strPath);
// Appends '/' unless the path already ends in one (an empty path stays empty).
void AddTrailingSlash(std::u16string& strPath);
// Removes the last component; a path in the root keeps "/", a bare name
// becomes empty.
void CutLastComponent(std::u16string& strPath);

bool FileExists(const std::u16string& strPath);
// Exists and is not a folder.
bool IsFile(const std::u16string& strPath);
// The pattern's last component may hold the wildcards * ? [..], matched
// without regard to case. True when anything matches (as a folder search
// would, "." and ".." included).
bool AnyFileMatches(const std::u16string& strPattern);
// Matches that are not folders.
unsigned CountMatchingFiles(const std::u16string& strPattern);
// "." or "..".
bool IsDotEntry(const std::u16string& strName);
bool IsDotEntry(const char* szName);

// Asks fnAsk AskDeleteFile (string 2027) with the path; on yes deletes the
// file or removes the (empty) folder. None when it was deleted, Declined
// on no (an empty fnAsk says no), CannotDelete with the path and the
// error when it could not be.
[[nodiscard]] CError DeleteWithConfirmation(const std::u16string& strPath, const AskFn& fnAsk);
// Renames folder/old to folder/new; a failure gives CannotRename with both
// paths and the error.
[[nodiscard]] CError RenameInFolder(const std::u16string& strFolder, const std::u16string& strOld,
                                    const std::u16string& strNew);
// Creates folder/"Новая папка" (string 2028), or while that exists the same
// name followed by "(1)", "(2)", ...; returns the new folder's name, or an
// empty string with CannotCreateFolder in error.
std::u16string CreateNewFolder(const std::u16string& strFolder, CError& error);

// The tracks folder: the documents folder + "/GPS Tracks and Waypoints"
// (or the folder set below), not created.
std::string TracksFolder();
// Creates the tracks folder when it is not a folder; false with errno in
// *pnError when it cannot be made.
bool EnsureTracksFolder(int* pnError = nullptr);
// Replaces the tracks folder (the command line's --dir, tests); an empty
// path restores the default.
void SetTracksFolder(const std::string& strFolder);

} // namespace velka
