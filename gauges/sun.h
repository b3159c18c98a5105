// Sunrise and sunset by the almanac method (Almanac for Computers, Nautical
// Almanac Office, 1990), in 32-bit floats.
#pragma once

namespace velka {

// Returned when the sun neither rises nor sets that day at that place.
inline constexpr float c_fNoSunEvent = -100.0f;

// Time of sunrise (fRising) or sunset on a UTC calendar date at a place
// (degrees, east and north positive), in hours of Universal Time in [0, 24),
// or c_fNoSunEvent under polar night or polar day.
float SunRiseSet(int year, int month, int day, float lon, float lat, bool fRising);

// Day of the year by the almanac's integer formula (1 for 1 January).
int DayOfYear(int year, int month, int day);
// An angle brought into [0, 360) and hours into [0, 24).
float NormalizeDegrees(float _a);
float NormalizeHours(float _h);

} // namespace velka
