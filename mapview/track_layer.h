// The on-screen track as a layer of the map frame.
#pragma once
#include "mapdata/paint_context.h"

namespace velka {

// Draws the on-screen track into the frame; true when the frame was
// interrupted.
bool DrawTrackLayer(CPaintContext& pc);

} // namespace velka
