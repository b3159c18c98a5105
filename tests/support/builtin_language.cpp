// Linked into every test binary: the tests see the program's own texts
// whatever the machine's locale, unless a test selects a language itself.
#include "shell/language.h"

namespace {
const bool g_fPinned = [] {
    velka::SetUserDefaultLangIdOverride(velka::c_langBuiltin);
    return true;
}();
} // namespace
