// Result objects a map parser hands to searches: the cities query of a
// map's cities index, the objects query of its objects index and the
// found-objects lists, with the items they return.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "geometry/map_types.h"
#include "platform/win_types.h"

namespace velka {

class CCollator;

// One city of a cities query: "city, region, country".
struct CCityItem {
    static constexpr std::size_t c_cchText = 64;
    char16_t szText[c_cchText] = {};
    LONG x = 0, y = 0;  // map units; only when asked for and present
    WORD wScale = 0;    // view scale index suited to showing the city
    bool fHasPosition = false;
};

// Flags of an item request: which fields of a find item to fill.
constexpr DWORD c_dwFindDisplayName = 0x2;
constexpr DWORD c_dwFindSettlement = 0x4;
constexpr DWORD c_dwFindPostcode = 0x8;
constexpr DWORD c_dwFindStreet = 0x10;
constexpr DWORD c_dwFindHouse = 0x20;
constexpr DWORD c_dwFindMapName = 0x40;
constexpr DWORD c_dwFindPoint = 0x80;
constexpr DWORD c_dwFindNearest = 0x100;
constexpr DWORD c_dwFindScale = 0x200;
// The city index that makes FindByAddress accept objects of every city
// (-1 accepts only objects in no city).
constexpr int c_nAnyCity = -2;

// The city-item flag asking for position and scale.
constexpr DWORD c_dwCityPosition = 0x2;

// One found object. Postcode and house number hold up to 16 characters
// and the map name up to 64, each with its terminator.
struct CFindItem {
    char16_t szName[64] = {};
    char16_t szSettlement[64] = {};
    char16_t szPostcode[17] = {};
    char16_t szStreet[64] = {};
    char16_t szHouse[17] = {};
    char16_t szMapName[65] = {};
    CMapPoint ptRepresentative;
    CMapPoint ptNearest;
    WORD wScale = 0;
    WORD wType = 0;
    int nKind = rkPoint;
};

class CCitiesQuery {
public:
    virtual ~CCitiesQuery() = default;
    virtual DWORD Locale() const = 0;
    virtual DWORD Count() const = 0;
    // False when the city's name cannot be read.
    virtual bool Item(DWORD dwIndex, CCityItem& item, DWORD dwFlags) = 0;
    // The first item whose text starts with (or sorts after) the prefix.
    virtual DWORD FindFirst(std::u16string_view prefix) = 0;
};

class CFindList {
public:
    virtual ~CFindList() = default;
    virtual DWORD Locale() const { return 0; }
    virtual DWORD Count() const { return 0; }
    virtual bool Item(DWORD /*dwIndex*/, CFindItem& /*item*/, DWORD /*dwFlags*/) { return false; }
    virtual DWORD FindFirst(std::u16string_view /*prefix*/) { return 0; }
    virtual void SetReferencePoint(const CMapPoint& /*pt*/) {}
};

class CObjectsQuery : public CFindList {};

// Find first over a list sorted under the collator: a binary search on
// the whole texts, then a prefix check of the last candidate. An empty
// prefix or fewer than two items give 0.
DWORD FindFirstSorted(DWORD cItems, std::u16string_view prefix, const CCollator& collator,
                      const std::function<std::u16string(DWORD)>& textOf);

} // namespace velka
