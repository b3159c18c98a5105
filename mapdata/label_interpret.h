// Turning a raw map label into the text shown: control codes (shield
// classes, coarse-view abbreviations, separators) and numeric height and
// depth labels converted to the display's elevation unit.
#pragma once
#include <cstddef>

#include "platform/win_types.h"

namespace velka {

constexpr int c_cDisplayLabelMax = 64; // 63 characters and the terminator

// The display's elevation unit for numeric labels (metres by default);
// the shell sets it from the elevation unit option.
void SetLabelHeightUnitMetres(bool fMetres);
bool LabelHeightUnitMetres();

// nKind: rkPoint, rkPolyline, rkPolygon, or 3 for copyright texts.
// fMapMetres: the map's numbers are metres (else feet). fDetailed: the view's
// scale index is 11 or less. pDisplay holds c_cDisplayLabelMax characters.
// Returns the display length (0 = nothing to show).
int LabelInterpret(int nKind, WORD wType, bool fMapMetres, bool fDetailed, const char16_t* pRaw,
                   std::size_t cRaw, char16_t* pDisplay, int* pnShield);

} // namespace velka
