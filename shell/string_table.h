// A table of texts by identifier, read from our text format: one entry a
// line, "<id><TAB><text>", the text UTF-8 with the escapes \n \r \t \\ ;
// lines starting with '#' and empty lines are skipped. The same format
// serves the built-in table and the language modules ("%04x.rll"). A
// language module may also declare resources other than texts, one a line:
// "@<type> <id> <file>", the type one of bitmap, menu, dialog, icon or gif,
// the file relative to the module's folder.
#pragma once
#include "platform/win_types.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velka {

// Resource types, numbered as the classic resource types; the image strip
// type (named "GIF" there) gets a number of its own.
constexpr UINT c_rtBitmap = 2;
constexpr UINT c_rtMenu = 4;
constexpr UINT c_rtDialog = 5;
constexpr UINT c_rtIcon = 14;
constexpr UINT c_rtGif = 0x10000;

struct ResourceDeclaration {
    UINT uType = 0;
    UINT uId = 0;
    std::string strFile; // relative to the module's folder, no ".." parts
};

class CStringTable {
public:
    // Parses the whole text; false (and an empty table) when any line is
    // malformed, so a damaged module is not used half-read. Resource lines
    // are accepted only when pResources is given.
    bool Parse(std::string_view text, std::string* pstrError = nullptr,
               std::vector<ResourceDeclaration>* pResources = nullptr);
    const std::u16string* Find(UINT uId) const;
    std::size_t Size() const { return m_map.size(); }
    const std::unordered_map<UINT, std::u16string>& Entries() const { return m_map; }

private:
    std::unordered_map<UINT, std::u16string> m_map;
};

// Escapes a text for the format above.
std::string EscapeTableText(std::u16string_view text);

// The printf conversions of a text in order ("%d", "%0.1f", "%s"; "%%" is
// none). A translation must keep them as they are.
std::vector<std::u16string> PrintfConversions(std::u16string_view text);

// The program's own texts (language 1049), built into the program.
const CStringTable& BuiltinStrings();

} // namespace velka
