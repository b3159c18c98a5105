// Finding the objects nearest to a point: within a radius, of the types a
// type-filter row stands for, optionally with a part of their name; sorted
// by the distance to each object's nearest point, which the hits report.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "mapdata/map_parser.h"
#include "mapdata/map_queries.h"
#include "mapdata/search_params.h"
#include "search/search_status.h"

namespace velka {

struct CNearestRequest {
    CMapPoint ptRef;                // map units
    double dRadiusMetres = 1000;    // clamped to [0, c_dMaxSearchRadiusMetres]
    std::size_t cTypeCookie = 0;    // row of the type-filter table
    std::u16string strName;         // part of the name; empty: any object
    int nScaleCode = 0;             // with fUseViewLevel: the view's level
    bool fUseViewLevel = false;
};

struct CNearestHit {
    CFindItem item;                 // name, settlement, points, type, kind, map name
    double dDistanceMetres = 0;     // to the nearest point
    double dAzimuth = 0;            // degrees from north to the nearest point, [0, 360)
};

struct CNearestResult {
    SearchStatus status = SearchStatus::Ok;
    std::vector<CNearestHit> hits;  // nearest first
};

// Whether two items are one object that two maps of an atlas both hold
// (tiles keep the ways crossing their borders whole): the same kind, type
// and name from different maps, their nearest points within a few metres.
bool IsSameObjectCut(const CFindItem& a, const CFindItem& b);
constexpr double c_dSameObjectMetres = 5;

// Hits nearest first; an object held by several maps of an atlas is
// reported once.
CNearestResult FindNearestObjects(CMapParser& map, const CNearestRequest& request,
                                  CSearchProgress* pProgress = nullptr);

} // namespace velka
