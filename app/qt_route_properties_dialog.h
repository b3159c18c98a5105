// The properties of a route (40121 on a route of the map): its name, the
// two free texts and its colour. Headless, the dialog is written to stderr
// and changes nothing.
#pragma once
#include "waypoints/waypoint_store.h"

class QWidget;

namespace velka {

// True when the user confirmed and something changed.
bool RunRoutePropertiesDialog(Route& route, QWidget* pParent);
bool HeadlessRouteProperties(Route& route);

} // namespace velka
