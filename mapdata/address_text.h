// Address texts compared the way users type them: names folded to one
// case, and house numbers in a normal form in which "30б", "30Б", "30-Б"
// and "30 b" are one number, and "7Б с3", "7б стр. 3" and "7b building 3"
// name the same building.
#pragma once
#include <string>
#include <string_view>

namespace velka {

// The text with case folded (full Unicode folding), "ё" as "е", runs of
// spaces as one space and no spaces at either end.
std::u16string FoldText(std::u16string_view text);

// The normal form of a house number: folded; Cyrillic letters written in
// Latin; words for building and block shortened to "s" and "k", words for
// letter and house dropped; spaces, hyphens and dots removed; digits, letters
// and "/" kept.
std::u16string HouseNumberKey(std::u16string_view text);

// Containment of already normalised texts; an empty part is contained.
inline bool ContainsText(std::u16string_view text, std::u16string_view part) {
    return part.empty() || text.find(part) != std::u16string_view::npos;
}

} // namespace velka
