// The settings store: named integer, boolean and string values under the
// per-user key "Software\Velka\Velkanav". Every read names its default; a
// missing value, one of the wrong type or size, or a string longer than the
// caller's buffer reads as the default. When the store cannot be opened
// every read gives its default and writes are skipped.
#pragma once
#include <string>

#include "platform/registry.h"

namespace velka {

inline constexpr const char16_t* c_szSettingsKey = u"Software\\Velka\\Velkanav";

extern HKEY g_hkeySettings;

// Opens the key once (a failed open is not retried until SettingsClose).
void SettingsOpen();
void SettingsClose();
// True once an open was tried and failed (the program runs on defaults).
bool SettingsUnavailable();

int ReadSettingInt(const char16_t* szName, int nDefault);
bool ReadSettingBool(const char16_t* szName, bool fDefault);
// Fills the buffer (cchBuffer characters including the zero).
void ReadSettingString(const char16_t* szName, char16_t* pBuffer, std::size_t cchBuffer,
                       const char16_t* szDefault);
// The same with a buffer of cchBuffer characters of the caller's choosing.
std::u16string ReadSettingString(const char16_t* szName, std::size_t cchBuffer,
                                 const char16_t* szDefault);

void WriteSettingInt(const char16_t* szName, int nValue);
void WriteSettingBool(const char16_t* szName, bool fValue);
// A null text writes the empty string.
void WriteSettingString(const char16_t* szName, const char16_t* szText);
void DeleteSetting(const char16_t* szName);
// Deletes every value of the key (sub-keys stay). A value whose name has
// 100 characters or more stops the loop.
void DeleteAllSettings();

} // namespace velka
