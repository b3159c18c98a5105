// UTF-16 text helpers: conversion to and from UTF-8, case-insensitive
// comparison of ASCII-range names, and a printf-style formatter for
// char16_t format strings (the texts of the string table are UTF-16).
#pragma once
#include <cstdarg>
#include <string>
#include <string_view>
#include <vector>

namespace velka {

std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

// Formats like swprintf: %s takes a const char16_t* (null prints "(null)"),
// %c a char16_t passed as int, %d %i %u %x %X %o %ld %lu %lld %llu %f %e %g
// with flags, width and precision (also '*'), %% a percent sign. %S takes a
// const char* (UTF-8).
std::u16string FormatW(const char16_t* szFormat, ...);
std::u16string FormatWV(const char16_t* szFormat, va_list args);

// Copies text into a buffer of cchBuffer characters, always terminated
// (truncates); does nothing when cchBuffer is 0.
void CopyToBuffer(char16_t* pBuffer, std::size_t cchBuffer, std::u16string_view text);

// Length of a zero-terminated UTF-16 string.
std::size_t StrLenW(const char16_t* sz);

// Case-insensitive equality for ASCII letters; other characters compare exactly.
bool EqualNoCaseAscii(std::u16string_view a, std::u16string_view b);

// UTF-8 text made safe for XML content and quoted attributes: & < > " as
// entities; control characters other than tab and line ends, which XML
// cannot carry, are left out.
std::string XmlEscape(std::string_view text);

// One command of a script "verb=argument;verb;...": the whole command, its
// verb and its argument (empty without '=').
struct ScriptCommand {
    std::string strCommand;
    std::string strVerb;
    std::string strArg;
};
// The script's commands in order; empty commands are left out.
std::vector<ScriptCommand> ParseCommandScript(std::string_view script);

} // namespace velka
