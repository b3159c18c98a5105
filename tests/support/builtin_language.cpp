// Linked into every test binary: the tests see the program's own texts and
// write exchange files in the Western code page whatever the machine's
// locale, unless a test selects them itself.
#include "shell/language.h"

namespace {
const bool g_fPinned = [] {
    velka::SetUserDefaultLangIdOverride(velka::c_langBuiltin);
    velka::SetSystemAnsiCodePageOverride(1252);
    return true;
}();
} // namespace
