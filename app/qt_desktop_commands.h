// The desktop commands of the main menu that the shell leaves to the
// program: File > Open Map (57601) with the file dialog over the registered
// map formats, File > About Map (40037) and Tools > About (40003).
#pragma once
#include <string>

namespace velka {

// The About box's text: caption, version, licence and the attribution of
// the open map.
std::u16string AboutText();

// 57601: the open dialog over the map formats (filter index in/out); empty
// when cancelled. Headless (fHeadless), the dialog is written to stderr as
// "dialog: open map: ..." and answered with VELKA_HEADLESS_OPEN_MAP (a
// path; empty or unset cancels).
std::u16string ChooseMapFile(int* pnFilter, bool fHeadless);
// 40037: the open map's description in a box (nothing without a map).
void ShowMapInfo();
// 40003: the About box.
void ShowAbout();

} // namespace velka
