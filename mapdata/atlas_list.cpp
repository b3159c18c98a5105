#include "mapdata/atlas_list.h"

#include "shell/reg_key.h"

namespace velka {

std::vector<CAtlasListEntry> ReadAtlasList() {
    std::vector<CAtlasListEntry> list;
    CRegKey root;
    if (root.Open(HKEY_LOCAL_MACHINE, c_szAtlasListKey) != ERROR_SUCCESS) return list;
    char16_t szName[256];
    for (DWORD i = 0; RegEnumKey(root.Handle(), i, szName, 256) == ERROR_SUCCESS; ++i) {
        CRegKey key;
        if (key.Open(root.Handle(), szName) != ERROR_SUCCESS) continue;
        CAtlasListEntry e;
        e.strName = szName;
        char16_t szPath[c_cchAtlasFolder + 1] = {};
        if (key.ReadString(u"Path", szPath, c_cchAtlasFolder + 1) == ERROR_SUCCESS) e.strFolder = szPath;
        DWORD dwMaps = 0;
        if (key.ReadInt(u"Maps", &dwMaps) == ERROR_SUCCESS) e.nMaps = static_cast<int>(dwMaps);
        list.push_back(std::move(e));
    }
    return list;
}

bool WriteAtlasEntry(const CAtlasListEntry& entry) {
    if (entry.strName.empty() || entry.strName.size() > 255 || entry.strName.find(u'\\') != std::u16string::npos ||
        entry.strFolder.size() > c_cchAtlasFolder)
        return false;
    CRegKey key;
    if (key.Create(HKEY_LOCAL_MACHINE, (std::u16string(c_szAtlasListKey) + u"\\" + entry.strName).c_str()) !=
        ERROR_SUCCESS)
        return false;
    if (key.WriteString(u"Path", entry.strFolder.c_str()) != ERROR_SUCCESS) return false;
    if (entry.nMaps >= 0) return key.WriteInt(u"Maps", static_cast<DWORD>(entry.nMaps)) == ERROR_SUCCESS;
    RegDeleteValue(key.Handle(), u"Maps");
    return true;
}

bool RemoveAtlasEntry(const std::u16string& strName) {
    CRegKey root;
    if (root.Open(HKEY_LOCAL_MACHINE, c_szAtlasListKey) != ERROR_SUCCESS) return false;
    return RegDeleteKey(root.Handle(), strName.c_str()) == ERROR_SUCCESS;
}

} // namespace velka
