#include "search/find_rows.h"

#include <cstdio>

#include "gauges/units.h"
#include "geometry/geodesy.h"
#include "mapdata/map_parser.h"
#include "mapdata/type_catalogue.h"
#include "mapview/map_position.h"
#include "mapview/styles.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/string_ids.h"

namespace velka {
namespace {

// Column headers (string ids; 0: not localised).
constexpr UINT c_auColumnTitles[c_cFindColumns] = {2148, 2014, 2011, 0, 2150, 2149, 2152, 2151};

} // namespace

TypeNameFn MapTypeNames(CMapParser* pMap) {
    CTypeCatalogue* pTypes = pMap ? pMap->GetTypes() : nullptr;
    const std::u16string strUnknown = LoadStr(IDS_UNKNOWN_TYPE);
    return [pTypes, strUnknown](int nKind, WORD wType) -> std::u16string {
        if (nKind < rkPoint || nKind > rkPolygon) return {};
        if (pTypes && !pTypes->Contains(nKind, wType)) return {};
        std::u16string s = TypeName(nKind, wType);
        return s == strUnknown ? std::u16string() : s;
    };
}

double MapDistance(const CMapPoint& a, const CMapPoint& b) {
    return Distance(static_cast<float>(UnitsToDegrees(a.lX)), static_cast<float>(UnitsToDegrees(a.lY)),
                    static_cast<float>(UnitsToDegrees(b.lX)), static_cast<float>(UnitsToDegrees(b.lY)));
}

float MapAzimuth(const CMapPoint& from, const CMapPoint& to) {
    return Course(static_cast<float>(UnitsToDegrees(from.lX)), static_cast<float>(UnitsToDegrees(from.lY)),
                  static_cast<float>(UnitsToDegrees(to.lX)), static_cast<float>(UnitsToDegrees(to.lY)));
}

const CMapPoint& FindItemPoint(const CFindItem& item, FindPointChoice choice) {
    return choice == fpNearest ? item.ptNearest : item.ptRepresentative;
}

std::u16string FindCellText(const CFindItem& item, int nColumn, const CMapPoint& ptReference,
                            FindPointChoice choice, const TypeNameFn& typeName) {
    const CMapPoint& pt = FindItemPoint(item, choice);
    switch (nColumn) {
    case fcName:
        if (item.szName[0] || !typeName) return item.szName;
        if (std::u16string s = typeName(item.nKind, item.wType); !s.empty()) return u"(" + s + u")";
        return {};
    case fcDistance: {
        std::u16string strValue, strUnit;
        FormatDistance(static_cast<float>(MapDistance(ptReference, pt)), strValue, strUnit);
        return strValue + u" " + strUnit;
    }
    case fcAzimuth: {
        std::u16string s;
        FormatAzimuth(MapAzimuth(ptReference, pt), s);
        return s;
    }
    case fcType: {
        char sz[32];
        std::snprintf(sz, sizeof sz, "%d 0x%04x", item.nKind, item.wType);
        return FromUtf8(sz);
    }
    case fcAddress: {
        char16_t sz[160] = {};
        FormatStreetAddress(item.szStreet, item.szHouse, sz, std::size(sz));
        return sz;
    }
    case fcSettlement: return item.szSettlement;
    case fcPostcode: return item.szPostcode;
    case fcMapFile: return item.szMapName;
    default: return {};
    }
}

std::u16string FindColumnTitle(int nColumn) {
    if (nColumn < 0 || nColumn >= c_cFindColumns) return {};
    return c_auColumnTitles[nColumn] ? LoadStr(c_auColumnTitles[nColumn]) : u"Type";
}

} // namespace velka
