// Start-up self-checks of the geometry kernel (development builds): the
// point algorithms, distance, course and geoid height hold their reference
// values. They only assert and change no state.
#pragma once

namespace velka {

void RunGeometrySelfChecks();

} // namespace velka
