#include "shell/settings.h"

#include <vector>

#include "platform/debug.h"
#include "platform/text.h"

namespace velka {

HKEY g_hkeySettings = nullptr;

namespace {
bool g_fSettingsOpened = false;

bool EnsureOpen() {
    if (!g_fSettingsOpened) SettingsOpen();
    VELKA_ASSERT(g_hkeySettings != NULL);
    return g_hkeySettings != nullptr;
}
} // namespace

void SettingsOpen() {
    if (g_fSettingsOpened) return;
    g_fSettingsOpened = true;
    HKEY h = nullptr;
    if (RegCreateKeyEx(HKEY_CURRENT_USER, c_szSettingsKey, &h) == ERROR_SUCCESS) g_hkeySettings = h;
}

void SettingsClose() {
    if (g_hkeySettings) RegCloseKey(g_hkeySettings);
    g_hkeySettings = nullptr;
    g_fSettingsOpened = false;
}

bool SettingsUnavailable() { return g_fSettingsOpened && !g_hkeySettings; }

int ReadSettingInt(const char16_t* szName, int nDefault) {
    if (!EnsureOpen()) return nDefault;
    DWORD dwType = 0;
    DWORD dwValue = 0;
    DWORD cb = sizeof dwValue;
    if (RegQueryValueEx(g_hkeySettings, szName, &dwType, reinterpret_cast<BYTE*>(&dwValue), &cb) ==
            ERROR_SUCCESS &&
        dwType == REG_DWORD && cb == sizeof dwValue)
        return static_cast<int>(dwValue);
    return nDefault;
}

bool ReadSettingBool(const char16_t* szName, bool fDefault) {
    return ReadSettingInt(szName, fDefault ? 1 : 0) != 0;
}

void ReadSettingString(const char16_t* szName, char16_t* pBuffer, std::size_t cchBuffer,
                       const char16_t* szDefault) {
    const char16_t* szFallback = szDefault ? szDefault : u"";
    if (!EnsureOpen()) {
        CopyToBuffer(pBuffer, cchBuffer, szFallback);
        return;
    }
    if (cchBuffer != 0) pBuffer[0] = 0;
    DWORD dwType = 0;
    DWORD cb = static_cast<DWORD>(cchBuffer * 2);
    LONG rc = RegQueryValueEx(g_hkeySettings, szName, &dwType, reinterpret_cast<BYTE*>(pBuffer), &cb);
    if (rc == ERROR_SUCCESS && dwType == REG_SZ) {
        if (cchBuffer != 0) {
            std::size_t cch = cb / 2;
            pBuffer[cch < cchBuffer ? cch : cchBuffer - 1] = 0;
        }
        return;
    }
    CopyToBuffer(pBuffer, cchBuffer, szFallback);
}

std::u16string ReadSettingString(const char16_t* szName, std::size_t cchBuffer,
                                 const char16_t* szDefault) {
    std::vector<char16_t> buf(cchBuffer + 1, 0);
    ReadSettingString(szName, buf.data(), cchBuffer, szDefault);
    return std::u16string(buf.data());
}

void WriteSettingInt(const char16_t* szName, int nValue) {
    if (!EnsureOpen()) return;
    DWORD dw = static_cast<DWORD>(nValue);
    RegSetValueEx(g_hkeySettings, szName, REG_DWORD, reinterpret_cast<const BYTE*>(&dw), sizeof dw);
}

void WriteSettingBool(const char16_t* szName, bool fValue) { WriteSettingInt(szName, fValue ? 1 : 0); }

void WriteSettingString(const char16_t* szName, const char16_t* szText) {
    if (!EnsureOpen()) return;
    const char16_t* sz = szText ? szText : u"";
    DWORD cb = static_cast<DWORD>((StrLenW(sz) + 1) * 2);
    RegSetValueEx(g_hkeySettings, szName, REG_SZ, reinterpret_cast<const BYTE*>(sz), cb);
}

void DeleteSetting(const char16_t* szName) {
    if (!EnsureOpen()) return;
    RegDeleteValue(g_hkeySettings, szName);
}

void DeleteAllSettings() {
    if (!EnsureOpen()) return;
    for (;;) {
        char16_t szName[100];
        DWORD cch = 100;
        if (RegEnumValue(g_hkeySettings, 0, szName, &cch, nullptr) != ERROR_SUCCESS) break;
        if (RegDeleteValue(g_hkeySettings, szName) != ERROR_SUCCESS) break;
    }
}

} // namespace velka
