// The demo map's source: a generated town with two villages around it,
// written as OpenStreetMap XML (deterministically, byte for byte the same
// on every run), and a drive around the town's streets for the simulated
// GPS. The town holds what the navigator's features need: named streets
// with house numbers, one-way streets, a roundabout, a turn restriction, a
// motorway and primary roads between the places, a lake and a river, a
// park and a forest with a clearing, and points of interest of many types.
#pragma once
#include <string>

namespace velka::mapc {

// The town as OSM XML.
std::string DemoTownOsm();
// The drive: one line per second, "seconds,lon,lat" (no header line),
// along connected streets of the town at town speeds for about five
// minutes, starting and ending at the same place.
std::string DemoTownDrive();

} // namespace velka::mapc
