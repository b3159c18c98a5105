// Localised resources: texts looked up by identifier in the selected
// language module, falling back as the module selection decides, and the
// message boxes built on them. A missing text reads as "<??id>".
#pragma once
#include <string>

#include "platform/win_types.h"

namespace velka {

// Copies text id into the buffer (cchBuffer characters including the
// zero); returns the length written.
int LoadString(UINT uId, char16_t* pBuffer, int cchBuffer);
// Text id as a new string.
std::u16string LoadStr(UINT uId);
// Formats the text of id (printf-style, %s takes const char16_t*).
std::u16string FormatMessageId(UINT uId, ...);

// The message boxes. Their caption is the main caption ("VELKA").
int ShowErrorText(const char16_t* szFormat, ...);
int ShowError(UINT uId, ...);
int ShowWarning(UINT uId, ...);
int ShowInformation(UINT uId, ...);
// Returns IDYES or IDNO.
int AskYesNo(UINT uId, ...);

// The platform's text for an error number ("Unknown error %d" when none),
// without trailing line breaks.
std::u16string SystemErrorText(int nError);

// File and resource errors (strings 2000-2003, 2025, 2026, 2035, 2127, 40166).
void ShowCreateFileError(const std::u16string& strPath, int nError);
void ShowOpenFileError(const std::u16string& strPath, int nError);
void ShowReadFileError(const std::u16string& strPath, int nError);
void ShowWriteFileError(const std::u16string& strPath, int nError);
void ShowCreateFolderError(const std::u16string& strPath, int nError);
void ShowDeleteError(const std::u16string& strPath, int nError);
void ShowRenameError(const std::u16string& strOld, const std::u16string& strNew, int nError);
void ShowOutOfMemory();
void ShowSoundError(int nCode);

// The main caption: "VELKA" until the language module gives string 2111.
const std::u16string& MainCaption();
void SetMainCaption(const std::u16string& strCaption);

// The version text (string 100).
inline constexpr const char16_t* c_szVersion = u"1.1.28.15";

} // namespace velka
