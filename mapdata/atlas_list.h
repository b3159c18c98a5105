// The atlases the user has: one sub-key per atlas under
// HKEY_LOCAL_MACHINE "Software\Velka\MapCollections", named by the user,
// with the folder ("Path") and how many maps its last indexing found
// ("Maps", missing until then).
#pragma once
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace velka {

struct CAtlasListEntry {
    std::u16string strName;
    std::u16string strFolder;
    int nMaps = -1; // -1: not recorded
    friend bool operator==(const CAtlasListEntry&, const CAtlasListEntry&) = default;
};

inline constexpr char16_t c_szAtlasListKey[] = u"Software\\Velka\\MapCollections";
constexpr std::size_t c_cchAtlasFolder = 260;

// In the store's order.
std::vector<CAtlasListEntry> ReadAtlasList();
// Adds or replaces the atlas of this name; false when the name is empty or
// holds a backslash, the folder is longer than 260 characters, or the
// store refuses.
bool WriteAtlasEntry(const CAtlasListEntry& entry);
bool RemoveAtlasEntry(const std::u16string& strName);

} // namespace velka
