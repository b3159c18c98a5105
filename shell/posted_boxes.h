// Error boxes wanted by a worker thread (the GPS reader recording a track,
// a reader that failed).
// Widgets live on the user-interface thread only, so the text is queued and
// the main window is asked, by WM_POSTED_ERROR, to show what is queued.
// A box that is already waiting is not queued twice.
#pragma once
#include <string>
#include <vector>

#include "platform/win_types.h"
#include "shell/error.h"

namespace velka {

// File errors (strings 2000 and 2003) from any thread.
void PostCreateFileError(const std::u16string& strPath, int nError);
void PostWriteFileError(const std::u16string& strPath, int nError);
// Any error with a text, from any thread.
void PostError(const CError& error);

// On the user-interface thread, for WM_POSTED_ERROR: shows the queued boxes.
void ShowPostedErrors();
// The texts waiting to be shown (tests and the command line).
std::vector<std::u16string> TakePostedErrors();

} // namespace velka
