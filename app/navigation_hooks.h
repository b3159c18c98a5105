// Routes, guidance, spoken prompts and the route page in the navigator:
// the prompt player over ALSA, the one navigator, page 1 and the hooks the
// shell and the map page call.
#pragma once
#include "shell/subsystem_hooks.h"

namespace velka {

void InstallNavigationHooks(CSubsystemHooks& h, bool fHeadless);

} // namespace velka
