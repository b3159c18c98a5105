// File-name pattern matching: a case-insensitive match of a name against a
// pattern in which '*' stands for any run of characters (also none) and
// '?' for exactly one character.
#pragma once
#include <string_view>

namespace velka {

bool MatchFileName(std::u16string_view name, std::u16string_view pattern);

// The start-up self-check of the matcher (asserts only).
void FilePatternSelfCheck();

} // namespace velka
