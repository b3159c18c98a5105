// The texts of a result-list row (name, distance, azimuth, type, address,
// settlement, postal code, map file) and the names of object types as the
// open map gives them.
#pragma once
#include <string>

#include "geometry/map_types.h"
#include "mapdata/map_queries.h"
#include "search/find_settings.h"
#include "search/type_filter_table.h"

namespace velka {

class CMapParser;

// The point a row measures from the reference point: the nearest point
// where the list is ordered by it, the representative point otherwise.
enum FindPointChoice { fpRepresentative, fpNearest };
// The item flags a row fetches (everything the columns show, both points
// and the scale).
constexpr DWORD c_dwFindRowFlags = c_dwFindDisplayName | c_dwFindSettlement | c_dwFindPostcode | c_dwFindStreet | c_dwFindHouse |
                                   c_dwFindMapName | c_dwFindPoint | c_dwFindNearest | c_dwFindScale;

// Type names of the open map: the built-in names of the types its catalogue
// holds (empty for others); a map without a catalogue names every type the
// string table knows.
TypeNameFn MapTypeNames(CMapParser* pMap);

// Metres and initial course in degrees between two map points.
double MapDistance(const CMapPoint& a, const CMapPoint& b);
float MapAzimuth(const CMapPoint& from, const CMapPoint& to);

const CMapPoint& FindItemPoint(const CFindItem& item, FindPointChoice choice);
// The cell text of one column.
std::u16string FindCellText(const CFindItem& item, int nColumn, const CMapPoint& ptReference,
                            FindPointChoice choice, const TypeNameFn& typeName);
// The header of one column.
std::u16string FindColumnTitle(int nColumn);

} // namespace velka
