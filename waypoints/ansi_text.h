// Single-byte texts of the exchange files to and from UTF-16, in the
// system's ANSI code page (the locale's, see SystemAnsiCodePage: 1251 for a
// Russian user, 1252 Western European by default), and UTF-8 for the newer
// database version.
#pragma once
#include <string>
#include <string_view>

#include "platform/win_types.h"

namespace velka {

std::u16string AnsiToUtf16(std::string_view text);
// Characters outside the code page become '?'.
std::string Utf16ToAnsi(std::u16string_view text);
// The same in a code page given (874, 1250 to 1258; others read as 1252).
std::u16string AnsiToUtf16(std::string_view text, UINT uCodePage);
std::string Utf16ToAnsi(std::u16string_view text, UINT uCodePage);
// A text for the NUL-terminated fields: as above, NUL becoming a blank.
std::string ExportAnsiText(std::u16string_view text);

} // namespace velka
