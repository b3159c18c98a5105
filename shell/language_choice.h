// The languages the user can choose on the options dialog: the program's
// own texts and every language module "%04x.rll" found beside the program
// or in the installed data folder. A module names its own language with
// text IDS_LANGUAGE_NAME, so the list reads in each language's own words.
#pragma once
#include <string>
#include <vector>

#include "shell/language.h"
#include "shell/string_ids.h"

namespace velka {

struct LanguageChoice {
    LANGID lang = 0;
    std::u16string strName; // the module's own name for its language
    std::string strPath;    // the module file; empty for the built-in texts
};

// The built-in language first, then one entry per language whose module
// loads, in LANGID order; a language found in several folders is taken
// from the first folder. Damaged modules are left out (they would not be
// used). Without folders: beside the program, then the installed data folder.
std::vector<LanguageChoice> ListLanguages(const std::vector<std::string>& folders = {});

// The language whose texts are shown now: that of the selected primary
// module (the built-in language when it is the program's own).
LANGID EffectiveLanguage();

// Stores the chosen language when it differs from *pPending, the language
// the next start shows (at first the effective one), and then makes it the
// pending one; true when it was stored (the program must restart to show it).
bool ApplyLanguageChoice(LANGID lang, LANGID* pPending);

} // namespace velka
