// Routes, guidance, spoken prompts and the route page in the navigator:
// the prompt player over ALSA, the one navigator, page 1, and what the
// shell and the map page call of them (wired by the composition root).
#pragma once
#include <memory>

#include "mapdata/paint_context.h"
#include "shell/page.h"
#include "waypoints/waypoint_store.h"

namespace velka {

// Headless runs answer the route properties dialog from the environment
// and show no routing progress window.
void SetNavigationHeadless(bool fHeadless);
// The route properties dialog (or its headless form); true when changed.
bool EditRouteProperties(Route& route);
// Page 1.
std::unique_ptr<CPage> CreateRoutePage();

// Start-up: the store is read with the routes' angles derived, the
// navigator created, and a route left active with Navigation on is
// followed again (or the demo route). Shutdown: the store saved, the
// navigator and the sound output gone.
void StartNavigation();
void StopNavigation();
void ShowRouteList();                        // 40133
bool IsGuidanceActive();
void StopGuidance();
void StepGuidance();                         // a new position
// The prompt player: the next queued sound, a buffer played, stop.
void PlayNextSound();
void SoundBufferDone();
void StopSound();

// Map layers: the routes, and the bearing line to the guidance target.
bool DrawRoutesLayer(CPaintContext& pc);
bool DrawBearingLayer(CPaintContext& pc);

} // namespace velka
