// Single-byte texts of the exchange files: the Windows ANSI code page
// (1252, Western European) to and from UTF-16, and UTF-8 for the newer
// database version.
#pragma once
#include <string>
#include <string_view>

namespace velka {

std::u16string AnsiToUtf16(std::string_view text);
// Characters outside the code page become '?'.
std::string Utf16ToAnsi(std::u16string_view text);
// A text for the NUL-terminated fields: as above, NUL becoming a blank.
std::string ExportAnsiText(std::u16string_view text);

} // namespace velka
