// The atlas index file ("Index.zidx"): a 32-byte header, one 80-byte entry
// per map (name, change stamp, bounds, scale codes) and optionally the
// merged city list of all maps, bit-packed in 32-bit little-endian words.
// Reading checks every header field against the file before trusting it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace velka {

inline constexpr char16_t c_szAtlasIndexName[] = u"Index.zidx";

namespace zidx {
constexpr std::size_t c_cbHeader = 32;
constexpr std::size_t c_cbEntry = 80;
constexpr std::size_t c_cchName = 28;   // UTF-16 characters of a map's file name
constexpr std::size_t c_cbCitiesHead = 6;
constexpr DWORD c_dwCitiesOffsetMask = 0x00FFFFFF;
constexpr DWORD c_dwHasCitiesIndex = 1u << 24;
constexpr DWORD c_dwHasObjectsIndex = 1u << 25;
} // namespace zidx

// One map of the atlas. Bounds are in half map units, as in the map header.
struct CZidxEntry {
    std::u16string strName;
    DWORD dwStamp = 0;          // low plus high half of the last-write time
    LONG alBounds[4] = {};      // left, top, right, bottom
    WORD wFinestCode = 0;       // scale code of map header 32
    WORD wCoarsestCode = 0;     // scale code of map header 34
    friend bool operator==(const CZidxEntry&, const CZidxEntry&) = default;
};

// One entry of the merged city list: city nCity of map nMap; fDuplicate
// when its text equals the previous entry's.
struct CZidxCity {
    bool fDuplicate = false;
    DWORD nMap = 0;
    DWORD nCity = 0;
    friend bool operator==(const CZidxCity&, const CZidxCity&) = default;
};

struct CZidxIndex {
    LONG alBounds[4] = {};      // half map units
    DWORD dwIndexFlags = 0;     // zidx::c_dwHasCitiesIndex, c_dwHasObjectsIndex
    DWORD dwLocale = 0;         // the collation of the city list
    bool fCities = false;       // a cities section is present
    std::vector<CZidxEntry> maps;
    std::vector<CZidxCity> cities;
};

// The whole file. The cities section is written when idx.fCities is set;
// the version is 1 then, else 0.
std::vector<BYTE> EncodeZidx(const CZidxIndex& idx);

// The header and map table; cities are left to ParseZidxCities. False with
// the reason when a field does not fit the file.
bool ParseZidx(const BYTE* pData, std::size_t cbSize, CZidxIndex& idx, std::string* pstrWhy = nullptr);
// The cities section (idx must come from ParseZidx on the same bytes):
// false when its head or its total does not fit the file or an entry
// names a map outside the table.
bool ParseZidxCities(const BYTE* pData, std::size_t cbSize, CZidxIndex& idx,
                     std::string* pstrWhy = nullptr);
// Where the cities section starts (0: none), from a header ParseZidx accepted.
DWORD ZidxCitiesOffset(const BYTE* pData);

} // namespace velka
