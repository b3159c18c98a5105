// The desktop commands of the main menu that the shell leaves to the
// program: File > Open Map (57601) with the file dialog over the registered
// map formats, File > About Map (40037) and Tools > About (40003).
#pragma once
#include <string>

namespace velka {

struct CSubsystemHooks;

// The About box's text: caption, version, licence and the attribution of
// the open map.
std::u16string AboutText();

// Assigns fnChooseMapFile, fnMapInfo and fnAbout. Headless (fHeadless), the
// open dialog is written to stderr as "dialog: open map: ..." and answered
// with VELKA_HEADLESS_OPEN_MAP (a path; empty or unset cancels).
void InstallDesktopCommands(CSubsystemHooks& h, bool fHeadless);

} // namespace velka
