// Message boxes for errors returned as values: the error's text in the
// selected language, its icon, the main caption as title.
#pragma once
#include "shell/error.h"

namespace velka {

// Shows the error; nothing for None and Declined.
void ShowErrorBox(const CError& error);
// Asks the question as a yes/no box with a warning icon; true for yes.
bool AskQuestionBox(const CError& question);

} // namespace velka
