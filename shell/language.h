// Language identifiers (16-bit LANGIDs: 1049 the program's own language,
// 1033 English) and the user's default UI language, taken from the POSIX
// locale the way the desktop reports it.
#pragma once
#include "platform/win_types.h"

#include <string_view>

namespace velka {

using LANGID = WORD;

constexpr LANGID c_langBuiltin = 1049; // 0x0419, the built-in texts
constexpr LANGID c_langEnglish = 1033; // 0x0409

// The LANGID of a locale name "language[_territory][.codeset][@modifier]"
// (ru_RU.UTF-8 -> 1049, en_GB -> 2057, de -> 1031, sr_RS@latin -> 9242);
// a known language with an unknown territory gives that language's main
// LANGID; "C", "POSIX", empty and unknown names give 1033.
LANGID LangIdFromLocaleName(std::string_view strName);

// The user's default UI language: the first set of LC_ALL, LC_MESSAGES and
// LANG, mapped as above (the equivalent of GetUserDefaultLangID).
LANGID UserDefaultLangId();

// Tests pin the default language so that the machine's locale does not
// decide which texts they see; 0 removes the override.
void SetUserDefaultLangIdOverride(LANGID lang);

// The single-byte code page of the language's script, as Windows chooses
// its ANSI code page: 1251 for Cyrillic, 1250 for Central European, 1253
// Greek, 1254 Turkish, 1255 Hebrew, 1256 Arabic, 1257 Baltic, 1258
// Vietnamese, 874 Thai, else 1252.
UINT AnsiCodePageOfLanguage(LANGID lang);
// The code page of the texts in exchange files: that of the locale's
// character classes (the first set of LC_ALL, LC_CTYPE and LANG), the
// equivalent of GetACP. Tests pin it; 0 removes the override.
UINT SystemAnsiCodePage();
void SetSystemAnsiCodePageOverride(UINT uCodePage);

} // namespace velka
