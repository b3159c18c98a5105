// The search dialogs in the navigator: showing a found entry on the map
// page and going to it with the navigator.
#pragma once
#include "shell/subsystem_hooks.h"

namespace velka {

void InstallSearchHooks(CSubsystemHooks& h, bool fHeadless);

} // namespace velka
