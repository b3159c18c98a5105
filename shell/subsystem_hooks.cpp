#include "shell/subsystem_hooks.h"

#include "shell/file_pattern.h"

namespace velka {

CSubsystemHooks& SubsystemHooks() {
    static CSubsystemHooks hooks;
    return hooks;
}

void RunSelfChecks() {
    for (const auto& fn : SubsystemHooks().vecSelfChecks)
        if (fn) fn();
    FilePatternSelfCheck();
}

} // namespace velka
