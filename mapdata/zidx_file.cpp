#include "mapdata/zidx_file.h"

#include <algorithm>
#include <cstring>

#include "mapdata/zem_bits.h"

namespace velka {

using namespace zidx;

namespace {

void Put16(std::vector<BYTE>& v, std::size_t nAt, DWORD x) {
    v[nAt] = static_cast<BYTE>(x);
    v[nAt + 1] = static_cast<BYTE>(x >> 8);
}
void Put32(std::vector<BYTE>& v, std::size_t nAt, DWORD x) {
    for (int i = 0; i < 4; ++i) v[nAt + i] = static_cast<BYTE>(x >> (8 * i));
}
DWORD Get16(const BYTE* p) { return DWORD{p[0]} | DWORD{p[1]} << 8; }
DWORD Get32(const BYTE* p) { return DWORD{p[0]} | DWORD{p[1]} << 8 | DWORD{p[2]} << 16 | DWORD{p[3]} << 24; }

bool Fail(std::string* pstrWhy, const char* szWhy) {
    if (pstrWhy) *pstrWhy = szWhy;
    return false;
}

// Bits of an entry of the city list: flag, map index, city index.
struct CityWidths {
    unsigned cMapBits = 0;
    unsigned cCityBits = 0;
    unsigned Entry() const { return 1 + cMapBits + cCityBits; }
};

} // namespace

std::vector<BYTE> EncodeZidx(const CZidxIndex& idx) {
    const std::size_t cbTable = idx.maps.size() * c_cbEntry;
    const std::size_t nCities = c_cbHeader + cbTable;
    const bool fCities = idx.fCities && nCities <= c_dwCitiesOffsetMask;
    std::vector<BYTE> out(nCities, 0);
    std::memcpy(out.data(), "ZIDX", 4);
    Put16(out, 4, fCities ? 1 : 0);
    out[6] = static_cast<BYTE>(c_cbHeader);
    out[7] = static_cast<BYTE>(c_cbEntry);
    for (int i = 0; i < 4; ++i) Put32(out, 8 + 4 * i, static_cast<DWORD>(idx.alBounds[i]));
    const DWORD dwFlags = idx.dwIndexFlags & (c_dwHasCitiesIndex | c_dwHasObjectsIndex);
    Put32(out, 24, fCities ? static_cast<DWORD>(nCities) | dwFlags : 0);
    Put32(out, 28, fCities ? idx.dwLocale : 0);
    for (std::size_t k = 0; k < idx.maps.size(); ++k) {
        const CZidxEntry& e = idx.maps[k];
        const std::size_t n = c_cbHeader + k * c_cbEntry;
        for (std::size_t i = 0; i < std::min(e.strName.size(), c_cchName); ++i) Put16(out, n + 2 * i, e.strName[i]);
        Put32(out, n + 56, e.dwStamp);
        for (int i = 0; i < 4; ++i) Put32(out, n + 60 + 4 * i, static_cast<DWORD>(e.alBounds[i]));
        Put16(out, n + 76, e.wFinestCode);
        Put16(out, n + 78, e.wCoarsestCode);
    }
    if (!fCities) return out;

    CityWidths w;
    DWORD cLargest = 0;
    for (const CZidxCity& c : idx.cities) cLargest = std::max(cLargest, c.nCity + 1);
    w.cMapBits = BitLen(static_cast<std::uint32_t>(idx.maps.empty() ? 0 : idx.maps.size() - 1));
    w.cCityBits = BitLen(cLargest ? cLargest - 1 : 0);
    out.resize(nCities + c_cbCitiesHead, 0);
    Put32(out, nCities, static_cast<DWORD>(idx.cities.size()));
    out[nCities + 4] = static_cast<BYTE>(w.cMapBits);
    out[nCities + 5] = static_cast<BYTE>(w.cCityBits);
    // Bits from the lowest of each 32-bit little-endian word upwards, which
    // is the lowest bit of each byte upwards in file order.
    const std::uint64_t cBits = std::uint64_t{w.Entry()} * idx.cities.size();
    const std::size_t nBits = out.size();
    out.resize(nBits + static_cast<std::size_t>((cBits + 31) / 32 * 4), 0);
    std::uint64_t nBit = 0;
    auto put = [&](std::uint32_t v, unsigned c) {
        for (unsigned i = 0; i < c; ++i, ++nBit)
            if (v >> i & 1) out[nBits + static_cast<std::size_t>(nBit / 8)] |= static_cast<BYTE>(1u << (nBit % 8));
    };
    for (const CZidxCity& c : idx.cities) {
        put(c.fDuplicate ? 1 : 0, 1);
        put(c.nMap, w.cMapBits);
        put(c.nCity, w.cCityBits);
    }
    return out;
}

DWORD ZidxCitiesOffset(const BYTE* pData) { return Get32(pData + 24) & c_dwCitiesOffsetMask; }

bool ParseZidx(const BYTE* pData, std::size_t cbSize, CZidxIndex& idx, std::string* pstrWhy) {
    idx = {};
    if (!pData || cbSize < c_cbHeader || std::memcmp(pData, "ZIDX", 4) != 0 || Get16(pData + 4) > 1)
        return Fail(pstrWhy, "not an atlas index");
    const std::size_t nTable = pData[6];
    const std::size_t cbEntry = pData[7];
    // The table must follow the header and the entries must hold the 80
    // bytes read from each; a smaller size would divide by zero or read
    // one entry's fields from the next.
    if (nTable < c_cbHeader || nTable > cbSize) return Fail(pstrWhy, "the map table lies outside the file");
    if (cbEntry < c_cbEntry) return Fail(pstrWhy, "the map entries are too small");
    const DWORD dwWord = Get32(pData + 24);
    const std::size_t nCities = dwWord & c_dwCitiesOffsetMask;
    if (nCities && (nCities < nTable || nCities > cbSize))
        return Fail(pstrWhy, "the cities section lies outside the file");
    const std::size_t nTableEnd = nCities ? nCities : cbSize;
    const std::size_t cMaps = (nTableEnd - nTable) / cbEntry;
    if (cMaps == 0) return Fail(pstrWhy, "the atlas lists no maps");
    for (int i = 0; i < 4; ++i) idx.alBounds[i] = static_cast<LONG>(Get32(pData + 8 + 4 * i));
    idx.dwIndexFlags = dwWord & (c_dwHasCitiesIndex | c_dwHasObjectsIndex);
    idx.dwLocale = Get32(pData + 28);
    idx.fCities = nCities != 0;
    idx.maps.resize(cMaps);
    for (std::size_t k = 0; k < cMaps; ++k) {
        const BYTE* p = pData + nTable + k * cbEntry;
        CZidxEntry& e = idx.maps[k];
        for (std::size_t i = 0; i < c_cchName; ++i) {
            const char16_t ch = static_cast<char16_t>(Get16(p + 2 * i));
            if (!ch) break;
            e.strName += ch;
        }
        e.dwStamp = Get32(p + 56);
        for (int i = 0; i < 4; ++i) e.alBounds[i] = static_cast<LONG>(Get32(p + 60 + 4 * i));
        e.wFinestCode = static_cast<WORD>(Get16(p + 76));
        e.wCoarsestCode = static_cast<WORD>(Get16(p + 78));
    }
    return true;
}

bool ParseZidxCities(const BYTE* pData, std::size_t cbSize, CZidxIndex& idx, std::string* pstrWhy) {
    idx.cities.clear();
    if (!idx.fCities) return true;
    const std::size_t nCities = ZidxCitiesOffset(pData);
    if (nCities + c_cbCitiesHead > cbSize) return Fail(pstrWhy, "the cities section is cut short");
    const DWORD cTotal = Get32(pData + nCities);
    CityWidths w;
    w.cMapBits = pData[nCities + 4];
    w.cCityBits = pData[nCities + 5];
    if (w.cMapBits > 32 || w.cCityBits > 32) return Fail(pstrWhy, "the cities section has bad widths");
    // The total must fit the words that follow, so a damaged count cannot
    // make the reader run past the file or allocate without bound.
    const std::uint64_t cbBits = (std::uint64_t{w.Entry()} * cTotal + 31) / 32 * 4;
    const std::size_t nBits = nCities + c_cbCitiesHead;
    if (cbBits > cbSize - nBits) return Fail(pstrWhy, "the cities section is longer than the file");
    idx.cities.resize(cTotal);
    CBitReader br(pData + nBits, pData + cbSize);
    for (CZidxCity& c : idx.cities) {
        c.fDuplicate = br.ReadBit();
        c.nMap = br.ReadBits(w.cMapBits);
        c.nCity = br.ReadBits(w.cCityBits);
        if (c.nMap >= idx.maps.size()) {
            idx.cities.clear();
            return Fail(pstrWhy, "a city names a map the atlas does not list");
        }
    }
    // The first entry of a list starts a city whatever its flag says.
    if (!idx.cities.empty()) idx.cities.front().fDuplicate = false;
    if (!br.Failed()) return true;
    idx.cities.clear();
    return Fail(pstrWhy, "the cities section is cut short");
}

} // namespace velka
