#include "shell/reg_key.h"

#include "platform/debug.h"
#include "platform/text.h"

namespace velka {

CRegKey::~CRegKey() { Close(); }

void CRegKey::Close() {
    if (m_h) RegCloseKey(m_h);
    m_h = nullptr;
}

LONG CRegKey::Open(HKEY hParent, const char16_t* szSubKey) {
    Close();
    return RegOpenKeyEx(hParent, szSubKey, &m_h);
}

LONG CRegKey::Create(HKEY hParent, const char16_t* szSubKey) {
    VELKA_ASSERT(m_h == nullptr);
    return RegCreateKeyEx(hParent, szSubKey, &m_h);
}

LONG CRegKey::ReadInt(const char16_t* szName, DWORD* pdwValue) const {
    VELKA_ASSERT(m_h != nullptr);
    DWORD cb = sizeof(DWORD);
    DWORD dwType = 0;
    return RegQueryValueEx(m_h, szName, &dwType, reinterpret_cast<BYTE*>(pdwValue), &cb);
}

LONG CRegKey::ReadString(const char16_t* szName, char16_t* pBuffer, DWORD cchBuffer) const {
    VELKA_ASSERT(m_h != nullptr);
    DWORD cb = cchBuffer * 2;
    DWORD dwType = 0;
    LONG rc = RegQueryValueEx(m_h, szName, &dwType, reinterpret_cast<BYTE*>(pBuffer), &cb);
    if (rc == ERROR_SUCCESS && cchBuffer > 0) {
        // Make sure the text ends inside the buffer even if stored unterminated.
        DWORD cch = cb / 2;
        pBuffer[cch < cchBuffer ? cch : cchBuffer - 1] = 0;
    }
    return rc;
}

LONG CRegKey::WriteInt(const char16_t* szName, DWORD dwValue) const {
    VELKA_ASSERT(m_h != nullptr);
    return RegSetValueEx(m_h, szName, REG_DWORD, reinterpret_cast<const BYTE*>(&dwValue),
                         sizeof dwValue);
}

LONG CRegKey::WriteString(const char16_t* szName, const char16_t* szText) const {
    VELKA_ASSERT(m_h != nullptr);
    if (!szText) return RegSetValueEx(m_h, szName, REG_SZ, nullptr, 0);
    DWORD cb = static_cast<DWORD>((StrLenW(szText) + 1) * 2);
    return RegSetValueEx(m_h, szName, REG_SZ, reinterpret_cast<const BYTE*>(szText), cb);
}

} // namespace velka
