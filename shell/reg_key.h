// CRegKey: owns one open key of the settings backend and closes it.
#pragma once
#include "platform/registry.h"

namespace velka {

class CRegKey {
public:
    CRegKey() = default;
    ~CRegKey();
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    // Opens an existing key; m_h stays null on failure. Returns the status.
    LONG Open(HKEY hParent, const char16_t* szSubKey);
    // Opens or creates the key (m_h must be null).
    LONG Create(HKEY hParent, const char16_t* szSubKey);
    void Close();

    bool IsOpen() const { return m_h != nullptr; }
    HKEY Handle() const { return m_h; }

    LONG ReadInt(const char16_t* szName, DWORD* pdwValue) const;
    // At most cchBuffer characters including the zero; szName null reads
    // the key's default value.
    LONG ReadString(const char16_t* szName, char16_t* pBuffer, DWORD cchBuffer) const;
    LONG WriteInt(const char16_t* szName, DWORD dwValue) const;
    // A null text writes a value of zero bytes.
    LONG WriteString(const char16_t* szName, const char16_t* szText) const;

    HKEY m_h = nullptr;
};

} // namespace velka
