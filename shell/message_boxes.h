// Message boxes: for errors returned as values (the error's text in the
// selected language and its icon) and for numbered texts, all with the main
// caption as title. Only the user interface and its command handlers show
// them; the libraries below return errors and questions as values.
#pragma once
#include <string>

#include "platform/ui_host.h" // the styles and answers (IDYES, IDNO)
#include "platform/win_types.h"
#include "shell/error.h"

namespace velka {

// Shows the error; nothing for None and Declined.
void ShowErrorBox(const CError& error);
// Asks the question as a yes/no box (the question mark for the delete
// questions, else a warning icon); true for yes.
bool AskQuestionBox(const CError& question);

// The message boxes: the text formatted into 520 characters, the main
// caption as title.
int ShowErrorText(const char16_t* szFormat, ...);
int ShowError(UINT uId, ...);
int ShowWarning(UINT uId, ...);
int ShowInformation(UINT uId, ...);
// Returns IDYES or IDNO.
int AskYesNo(UINT uId, ...);
// An error box that does not wait for the user (ShowNotice of the host).
void ShowErrorNotice(UINT uId, ...);

// File and resource errors (strings 2000, 2001, 2026, 2035, 2127, 40166).
void ShowCreateFileError(const std::u16string& strPath, int nError);
void ShowOpenFileError(const std::u16string& strPath, int nError);
void ShowCreateFolderError(const std::u16string& strPath, int nError);
void ShowRenameError(const std::u16string& strOld, const std::u16string& strNew, int nError);
void ShowOutOfMemory();
void ShowSoundError(int nCode);

} // namespace velka
