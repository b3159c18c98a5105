// A table of texts by identifier, read from our text format: one entry a
// line, "<id><TAB><text>", the text UTF-8 with the escapes \n \r \t \\ ;
// lines starting with '#' and empty lines are skipped. The same format
// serves the built-in table and the language modules ("%04x.rll").
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/win_types.h"

namespace velka {

class CStringTable {
public:
    // Parses the whole text; false (and an empty table) when any line is
    // malformed, so a damaged module is not used half-read.
    bool Parse(std::string_view text, std::string* pstrError = nullptr);
    const std::u16string* Find(UINT uId) const;
    std::size_t Size() const { return m_map.size(); }
    const std::unordered_map<UINT, std::u16string>& Entries() const { return m_map; }

private:
    std::unordered_map<UINT, std::u16string> m_map;
};

// Escapes a text for the format above.
std::string EscapeTableText(std::u16string_view text);

// The program's own texts (language 1049), built into the program.
const CStringTable& BuiltinStrings();

} // namespace velka
