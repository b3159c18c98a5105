// Localised resources: texts, menus, dialogs, icons, bitmaps and image
// strips looked up by identifier. The first lookup selects, once, a primary
// and a fallback module (the language module of the setting `Language`,
// else "0409.rll", else the program's own texts); a lookup tries the
// primary first. A text missing everywhere reads as "<??id>". The message
// boxes built on them are in shell/message_boxes.h.
#pragma once
#include "platform/win_types.h"
#include "shell/language.h"
#include "shell/resource_module.h"

#include <optional>
#include <string>
#include <vector>

namespace velka {

// Copies text id into the buffer (cchBuffer characters including the
// zero, longer texts are cut); returns the length written.
int LoadString(UINT uId, char16_t* pBuffer, int cchBuffer);
// Text id as a new string (at most 1023 characters).
std::u16string LoadStr(UINT uId);
// Formats the text of id (its first 127 characters; printf-style, %s takes
// const char16_t*).
std::u16string FormatMessageId(UINT uId, ...);
// The same into a caller's buffer; returns the length written.
int FormatMessageToBuffer(char16_t* pBuffer, int cchBuffer, UINT uId, ...);

// The module that holds dialog (menu) template id: the primary module when
// it has one, else the fallback module.
const CResourceModule& DialogModule(UINT uId);
const CResourceModule& MenuModule(UINT uId);
// Menu template id from the primary module, else from the fallback module.
std::optional<CMenuTemplate> LoadMenu(UINT uId);
// Icon and bitmap bytes from the primary module, else from the program's own
// module; null when neither has it. Identifier 0 is a caller's error.
const std::vector<BYTE>* LoadIcon(UINT uId);
const std::vector<BYTE>* LoadBitmap(WORD _wID);
// An image strip (a GIF picture 16 pixels high of 16x16 icons side by
// side), looked up like a bitmap; null when neither module has it.
const std::vector<BYTE>* LoadImageStrip(WORD _wID);

// The selected modules (selecting them if not done yet).
const CResourceModule& PrimaryModule();
const CResourceModule& FallbackModule();

// The file name of the language module of a language: "%04x.rll".
std::string LanguageModuleFileName(unsigned uLanguage);

// For tests: forget the selection (the next lookup selects again) and look
// for module files only in the given folder (empty: beside the program,
// then in the installed data folder).
void ResetResourceSelection();
void SetLanguageModuleFolder(const std::string& strFolder);

// The platform's text for an error number ("Unknown error %d" when none),
// at most 127 characters, without trailing line breaks.
std::u16string SystemErrorText(int nError);

// The main caption: "VELKA" until LoadMainCaption takes string 2111 of the
// selected modules (63 characters at most).
std::u16string MainCaption();
void LoadMainCaption();
void SetMainCaption(const std::u16string& strCaption);

// The version text (string 100).
inline constexpr const char16_t* c_szVersion = u"1.1.28.15";

} // namespace velka
