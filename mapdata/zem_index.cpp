// The native map's search indexes: the cities index (countries, regions,
// cities and the name tables of addresses), the objects index by category,
// the record locator and the decoding of a record into a find item.
#include <algorithm>
#include <cmath>

#include "geometry/point_algorithms.h"
#include "mapdata/collation.h"
#include "mapdata/label_interpret.h"
#include "mapdata/map_scales.h"
#include "mapdata/search_params.h"
#include "mapdata/zem_parser.h"

namespace velka {

using namespace zem;

namespace {

constexpr std::size_t c_cchItemName = 64;

// Appends ", " and the part of a region or country name after its first
// "|" (the whole name when it has none), unless that is empty.
void AppendPart(std::u16string& text, std::u16string_view name) {
    const std::size_t bar = name.find(u'|');
    if (bar != std::u16string_view::npos) name.remove_prefix(bar + 1);
    if (name.empty()) return;
    text += u", ";
    text += name;
}

void CopyText(std::u16string_view s, char16_t* p, std::size_t cch) {
    const std::size_t n = std::min(s.size(), cch - 1);
    std::copy_n(s.data(), n, p);
    p[n] = 0;
}

// The cities query: entries read in place, one item cached.
class CZemCitiesQuery : public CCitiesQuery {
public:
    explicit CZemCitiesQuery(CZemParser& parser) : m_parser(parser) {}
    DWORD Locale() const override { return m_parser.Locale(); }
    DWORD Count() const override { return m_parser.Pai().cCities; }
    bool Item(DWORD dwIndex, CCityItem& item, DWORD dwFlags) override {
        if (m_fCached && dwIndex == m_dwCachedIndex && dwFlags == m_dwCachedFlags) {
            item = m_cached;
            return true;
        }
        if (!m_parser.CityItem(dwIndex, item, dwFlags)) return false;
        m_cached = item;
        m_dwCachedIndex = dwIndex;
        m_dwCachedFlags = dwFlags;
        m_fCached = true;
        return true;
    }
    DWORD FindFirst(std::u16string_view prefix) override {
        return FindFirstSorted(Count(), prefix, CCollator::ForLcid(Locale()), [&](DWORD i) {
            CCityItem item;
            return Item(i, item, 0) ? std::u16string(item.szText) : std::u16string();
        });
    }

private:
    CZemParser& m_parser;
    CCityItem m_cached;
    DWORD m_dwCachedIndex = 0;
    DWORD m_dwCachedFlags = 0;
    bool m_fCached = false;
};

// The objects of one category and city, optionally of one type.
class CZemObjectsQuery : public CObjectsQuery {
public:
    struct Selected {
        DWORD nEntry; // relative to the first entry
        int nKind;    // the kind of the entry's type pair
    };
    CZemObjectsQuery(CZemParser& parser, DWORD nFirst, std::vector<Selected> selected)
        : m_parser(parser), m_nFirst(nFirst), m_vecSelected(std::move(selected)) {}
    DWORD Locale() const override { return m_parser.Locale(); }
    DWORD Count() const override { return static_cast<DWORD>(m_vecSelected.size()); }
    bool Item(DWORD dwIndex, CFindItem& item, DWORD dwFlags) override {
        if (dwIndex >= m_vecSelected.size()) return false;
        const CZemObjectsIndex& oi = m_parser.ObjectsIndex();
        const std::uint64_t nEntry = std::uint64_t{m_nFirst} + m_vecSelected[dwIndex].nEntry;
        if (nEntry >= oi.cEntries) return false;
        DWORD dwRef = 0;
        if (!m_parser.ReadBitsAt(oi.dwEntries, nEntry * (oi.cRefBits + oi.cTypeBits), oi.cRefBits, dwRef))
            return false;
        const std::uint64_t dwOffset = std::uint64_t{oi.dwRecordBase} + dwRef;
        if (dwOffset > 0xFFFFFFFFu) return false;
        return m_parser.DecodeFindItem(static_cast<DWORD>(dwOffset), m_vecSelected[dwIndex].nKind, item, m_ptRef,
                                       m_dCos, dwFlags);
    }
    DWORD FindFirst(std::u16string_view prefix) override {
        return FindFirstSorted(Count(), prefix, CCollator::ForLcid(Locale()), [&](DWORD i) {
            CFindItem item;
            return Item(i, item, c_dwFindDisplayName) ? std::u16string(item.szName) : std::u16string();
        });
    }
    void SetReferencePoint(const CMapPoint& pt) override {
        m_ptRef = pt;
        m_dCos = CosineOfLatitude(pt.lY);
    }

private:
    CZemParser& m_parser;
    DWORD m_nFirst;
    std::vector<Selected> m_vecSelected;
    CMapPoint m_ptRef;
    double m_dCos = 1.0;
};

} // namespace

bool CZemParser::ReadDword(std::uint64_t nOffset, DWORD& v) const {
    if (nOffset + 4 > m_cFileSize) return false;
    const BYTE* p = m_pData + nOffset;
    v = DWORD{p[0]} | DWORD{p[1]} << 8 | DWORD{p[2]} << 16 | DWORD{p[3]} << 24;
    return true;
}

bool CZemParser::ReadBitsAt(DWORD dwArea, std::uint64_t nBit, unsigned cBits, DWORD& v) const {
    v = 0;
    if (cBits > 32) return false;
    const std::uint64_t nByte = dwArea + nBit / 8;
    const std::uint64_t nLastByte = dwArea + (nBit + cBits + 7) / 8; // one past
    if (nByte > m_cFileSize || nLastByte > m_cFileSize) return false;
    CBitReader br(m_pData + nByte, m_pEnd, static_cast<unsigned>(nBit % 8));
    v = br.ReadBits(cBits);
    return !br.Failed();
}

void CZemParser::ReadIndexHeaders() {
    m_pai = CZemPai();
    m_objectsIndex = CZemObjectsIndex();
    m_fObjectsIndex = false;
    m_vecLocator.clear();
    m_fLocator = false;
    const DWORD dwPai = HeaderDword(c_ofsCities);
    if (dwPai != 0 && std::uint64_t{dwPai} + c_cbPai <= m_cFileSize) {
        DWORD v[12] = {};
        const std::size_t cFields = std::uint64_t{dwPai} + c_cbPaiNames <= m_cFileSize ? 12 : 6;
        for (std::size_t i = 0; i < cFields; ++i) ReadDword(std::uint64_t{dwPai} + 4 * i, v[i]);
        m_pai = {v[0], v[1], v[2], v[3], v[4], v[5], {v[6], v[8], v[10]}, {v[7], v[9], v[11]}};
        // A count the file cannot hold is cut to the entries that lie in it,
        // so a damaged count makes no search allocate or walk past the data.
        // (The region and country counts stay: they set the cities' bit widths.)
        auto fit = [this](DWORD dwCount, DWORD dwOffset, std::uint64_t cBitsPerEntry) {
            if (dwOffset >= m_cFileSize) return DWORD{0};
            const std::uint64_t cFit = (m_cFileSize - dwOffset) * 8 / std::max<std::uint64_t>(cBitsPerEntry, 1);
            return static_cast<DWORD>(std::min<std::uint64_t>(dwCount, cFit));
        };
        const std::uint64_t R = m_dwBitsInLabelReference;
        const unsigned G = m_pai.cRegions ? BitLen(m_pai.cRegions - 1) : 0;
        m_pai.cCities = fit(m_pai.cCities, m_pai.dwCitiesOffset, R + G + 1);
        for (int t = 0; t < 3; ++t) m_pai.acNames[t] = fit(m_pai.acNames[t], m_pai.adwNameTable[t], R);
    }
    const DWORD dwObjects = HeaderDword(c_ofsObjectsIndex);
    if (dwObjects != 0 && std::uint64_t{dwObjects} + c_cbObjectsIndex <= m_cFileSize) {
        DWORD v[13] = {};
        for (std::size_t i = 0; i < 13; ++i) ReadDword(std::uint64_t{dwObjects} + 4 * i, v[i]);
        CZemObjectsIndex& oi = m_objectsIndex;
        oi = {v[0], v[1], v[2], v[3], v[4], v[5], v[7], v[8], v[9], v[12]};
        m_fObjectsIndex = oi.cRefBits <= 32 && oi.cTypeBits <= 32 && oi.cCountBits <= 32;
        if (!m_fObjectsIndex) oi = CZemObjectsIndex();
    }
}

bool CZemParser::HasCitiesIndex() const { return m_pHeader && HeaderDword(c_ofsCities) != 0; }
bool CZemParser::HasObjectsIndex() const { return m_pHeader && HeaderDword(c_ofsObjectsIndex) != 0; }

std::unique_ptr<CCitiesQuery> CZemParser::CreateCitiesQuery() {
    if (!HasCitiesIndex()) return nullptr;
    return std::make_unique<CZemCitiesQuery>(*this);
}

bool CZemParser::NameTableEntry(int nTable, DWORD dwIndex, std::u16string& str) {
    str.clear();
    if (nTable < 0 || nTable > 2 || dwIndex >= m_pai.acNames[nTable]) return false;
    DWORD dwRef = 0;
    if (!ReadBitsAt(m_pai.adwNameTable[nTable], std::uint64_t{dwIndex} * m_dwBitsInLabelReference,
                    m_dwBitsInLabelReference, dwRef))
        return false;
    const std::uint64_t dwLabel = std::uint64_t{m_dwLabelsOffset} + dwRef;
    if (dwLabel >= m_cFileSize) return false;
    char16_t raw[c_cchItemName];
    const int n = ReadLabelAt(static_cast<DWORD>(dwLabel), raw, c_cchItemName);
    if (n < 0) return false;
    for (int i = 0; i < n && str.size() < c_cchItemName - 1; ++i) {
        const char16_t c = raw[i];
        if (c == 0x1E || c == 0x1F) str += u' ';
        else if (c >= 1 && c <= 29) continue;
        else str += c;
    }
    return true;
}

bool CZemParser::CityName(DWORD dwIndex, std::u16string& strName) {
    strName.clear();
    if (dwIndex >= m_pai.cCities) return false;
    const DWORD R = m_dwBitsInLabelReference;
    const unsigned G = m_pai.cRegions ? BitLen(m_pai.cRegions - 1) : 0;
    const std::uint64_t nBit = std::uint64_t{dwIndex} * (R + G + 1);
    DWORD dwHasPosition = 0, dwRef = 0;
    if (!ReadBitsAt(m_pai.dwCitiesOffset, nBit + G, 1, dwHasPosition) ||
        !ReadBitsAt(m_pai.dwCitiesOffset, nBit + G + 1, R, dwRef))
        return false;
    const std::uint64_t dwTarget = std::uint64_t{m_dwLabelsOffset} + dwRef;
    if (dwTarget >= m_cFileSize) return false;
    if (dwHasPosition) {
        CFindItem fi;
        if (!DecodeFindItem(static_cast<DWORD>(dwTarget), rkPoint, fi, CMapPoint{}, 1.0, 3)) return false;
        strName = fi.szName;
        return true;
    }
    char16_t raw[c_cchItemName];
    const int n = ReadLabelAt(static_cast<DWORD>(dwTarget), raw, c_cchItemName);
    if (n < 0) return false;
    strName.assign(raw, static_cast<std::size_t>(n));
    return true;
}

bool CZemParser::CityItem(DWORD dwIndex, CCityItem& item, DWORD dwFlags) {
    item = CCityItem();
    if (dwIndex >= m_pai.cCities) return false;
    const DWORD R = m_dwBitsInLabelReference;
    const unsigned C = m_pai.cCountries ? BitLen(m_pai.cCountries - 1) : 0;
    const unsigned G = m_pai.cRegions ? BitLen(m_pai.cRegions - 1) : 0;
    const std::uint64_t nBit = std::uint64_t{dwIndex} * (R + G + 1);
    DWORD dwRegion = 0, dwHasPosition = 0, dwRef = 0;
    if (!ReadBitsAt(m_pai.dwCitiesOffset, nBit, G, dwRegion) ||
        !ReadBitsAt(m_pai.dwCitiesOffset, nBit + G, 1, dwHasPosition) ||
        !ReadBitsAt(m_pai.dwCitiesOffset, nBit + G + 1, R, dwRef))
        return false;
    const std::uint64_t dwTarget = std::uint64_t{m_dwLabelsOffset} + dwRef;
    if (dwTarget >= m_cFileSize) return false;
    item.fHasPosition = dwHasPosition != 0;
    if ((dwFlags & c_dwCityPosition) && item.fHasPosition) {
        CFindItem fi;
        if (DecodeFindItem(static_cast<DWORD>(dwTarget), rkPoint, fi, CMapPoint{}, 1.0,
                           c_dwFindPoint | c_dwFindScale)) {
            item.x = fi.ptRepresentative.lX;
            item.y = fi.ptRepresentative.lY;
            item.wScale = fi.wScale;
        } else {
            item.fHasPosition = false;
        }
    }
    // The name: the point record's label, or the bare label.
    std::u16string text;
    if (!CityName(dwIndex, text)) return false;
    // Region and country, when their indexes are in range.
    auto nameAt = [&](DWORD dwArea, std::uint64_t nRefBit, std::u16string& s) {
        DWORD r = 0;
        char16_t buf[c_cchItemName];
        if (!ReadBitsAt(dwArea, nRefBit, R, r) || std::uint64_t{m_dwLabelsOffset} + r >= m_cFileSize) return false;
        const int k = ReadLabelAt(m_dwLabelsOffset + r, buf, c_cchItemName);
        if (k < 0) return false;
        s.assign(buf, static_cast<std::size_t>(k));
        return true;
    };
    std::u16string region, country;
    if (dwRegion < m_pai.cRegions) {
        const std::uint64_t nRegionBit = std::uint64_t{dwRegion} * (R + C);
        DWORD dwCountry = 0;
        if (nameAt(m_pai.dwRegionsOffset, nRegionBit + C, region)) {
            AppendPart(text, region);
            if (ReadBitsAt(m_pai.dwRegionsOffset, nRegionBit, C, dwCountry) && dwCountry < m_pai.cCountries &&
                nameAt(m_pai.dwCountriesOffset, std::uint64_t{dwCountry} * R, country))
                AppendPart(text, country);
        }
    }
    CopyText(text, item.szText, CCityItem::c_cchText);
    return true;
}

bool CZemParser::FindCategory(short nKey, CZemCategory& cat) const {
    if (!m_fObjectsIndex) return false;
    const CZemObjectsIndex& oi = m_objectsIndex;
    if (oi.cbStride < 12) return false;
    for (std::uint64_t n = oi.nFirstCategory; n < oi.nEndCategory; ++n) {
        const std::uint64_t dwEntry = std::uint64_t{oi.dwCategories} + n * oi.cbStride;
        if (dwEntry + 12 > m_cFileSize) return false;
        const BYTE* p = m_pData + dwEntry;
        if (static_cast<short>(p[0] | p[1] << 8) != nKey) continue;
        DWORD dwList = 0, dwFirst = 0;
        ReadDword(dwEntry + 4, dwList);
        ReadDword(dwEntry + 8, dwFirst);
        cat.dwEntry = static_cast<DWORD>(dwEntry);
        cat.nKey = nKey;
        cat.cTypes = static_cast<WORD>(p[2] | p[3] << 8);
        const std::uint64_t dwTypeList = dwEntry + dwList;
        cat.dwTypeList = dwTypeList < m_cFileSize ? static_cast<DWORD>(dwTypeList) : m_cFileSize;
        cat.nFirstEntry = dwFirst;
        cat.dwCounts = static_cast<DWORD>(dwEntry + 12);
        return true;
    }
    return false;
}

bool CZemParser::CategoryType(const CZemCategory& cat, DWORD t, int& nKind, WORD& wType) const {
    if (t >= cat.cTypes) return false;
    DWORD k = 0, w = 0;
    if (!ReadBitsAt(cat.dwTypeList, std::uint64_t{t} * 18, 2, k) ||
        !ReadBitsAt(cat.dwTypeList, std::uint64_t{t} * 18 + 2, 16, w))
        return false;
    nKind = static_cast<int>(k);
    wType = static_cast<WORD>(w);
    return true;
}

bool CZemParser::IsTypeIndexed(int nKind, short nCategory, WORD wType) const {
    if (nKind < 0 || nKind >= rkMax) return false;
    CZemCategory cat;
    if (!FindCategory(nCategory, cat)) return false;
    if (wType == 0xFFFF) return true;
    for (DWORD t = 0; t < cat.cTypes; ++t) {
        int k = 0;
        WORD w = 0;
        if (!CategoryType(cat, t, k, w)) return false;
        if (k == nKind && w == wType) return true;
    }
    return false;
}

bool CZemParser::GroupStart(const CZemCategory& cat, std::int64_t nGroup, std::uint64_t& skip) {
    GroupStarts& starts = m_groupStarts[cat.dwEntry];
    std::vector<std::uint64_t>& sums = starts.sums;
    while (static_cast<std::uint64_t>(nGroup) >= sums.size() && !starts.fUnreadable) {
        DWORD v = 0;
        starts.fUnreadable = !ReadBitsAt(cat.dwCounts, (sums.size() - 1) * std::uint64_t{m_objectsIndex.cCountBits},
                                         m_objectsIndex.cCountBits, v);
        if (!starts.fUnreadable) sums.push_back(sums.back() + v);
    }
    if (static_cast<std::uint64_t>(nGroup) >= sums.size()) return false;
    skip = sums[static_cast<std::size_t>(nGroup)];
    return true;
}

std::unique_ptr<CObjectsQuery> CZemParser::CreateObjectsQuery(int nCity, int nKind, short nCategory,
                                                              WORD wType) {
    if (!HasObjectsIndex()) return nullptr;
    std::vector<CZemObjectsQuery::Selected> selected;
    const CZemObjectsIndex& oi = m_objectsIndex;
    // Group 0 holds the objects with no city, group c + 1 those of city c.
    const std::int64_t nGroup = std::int64_t{nCity} + 1;
    CZemCategory cat;
    DWORD nFirst = 0;
    if (nGroup >= 0 && nGroup <= m_pai.cCities && FindCategory(nCategory, cat)) {
        std::uint64_t skip = 0;
        DWORD n = 0;
        bool fOk = GroupStart(cat, nGroup, skip);
        fOk = fOk && ReadBitsAt(cat.dwCounts, static_cast<std::uint64_t>(nGroup) * oi.cCountBits, oi.cCountBits, n);
        const std::uint64_t first = std::uint64_t{cat.nFirstEntry} + skip;
        // The count must fit the entries that remain.
        if (fOk && first <= oi.cEntries && n <= oi.cEntries - first && oi.cRefBits + oi.cTypeBits > 0) {
            nFirst = static_cast<DWORD>(first);
            // Type pairs of the category: which type index to keep, and the
            // kind each index decodes with.
            std::vector<int> kinds(cat.cTypes, nKind);
            DWORD t = cat.cTypes;
            for (DWORD i = 0; i < cat.cTypes; ++i) {
                WORD w = 0;
                if (!CategoryType(cat, i, kinds[i], w)) break;
                if (t == cat.cTypes && w == wType && kinds[i] == nKind) t = i;
            }
            for (DWORD l = 0; l < n; ++l) {
                DWORD ti = 0;
                if (!ReadBitsAt(oi.dwEntries, (first + l) * (oi.cRefBits + oi.cTypeBits) + oi.cRefBits,
                                oi.cTypeBits, ti))
                    break;
                if (wType == 0xFFFF || ti == t) {
                    const int k = ti < kinds.size() ? kinds[ti] : nKind;
                    if (k >= 0 && k < rkMax) selected.push_back({l, k});
                }
            }
        }
    }
    return std::make_unique<CZemObjectsQuery>(*this, nFirst, std::move(selected));
}

bool CZemParser::LocateRecord(DWORD dwOffset, CZemBlock& block, std::size_t& nLevel) {
    if (!m_fLocator) {
        // One pass over every block header, finest level first.
        for (std::size_t l = m_levels.size(); l-- > 0;) {
            CZemBlock b;
            std::size_t n = 0;
            for (bool f = FirstBlock(l, b); f; f = NextBlock(l, n++, b))
                m_vecLocator.push_back({b.dwDataOffset, l, b});
        }
        std::stable_sort(m_vecLocator.begin(), m_vecLocator.end(),
                         [](const BlockRef& a, const BlockRef& b) { return a.dwDataOffset < b.dwDataOffset; });
        m_fLocator = true;
    }
    // The last block whose data starts at or before the offset.
    auto it = std::upper_bound(m_vecLocator.begin(), m_vecLocator.end(), dwOffset,
                               [](DWORD o, const BlockRef& b) { return o < b.dwDataOffset; });
    if (it == m_vecLocator.begin()) return false; // below every block's data
    --it;
    nLevel = it->nLevel;
    block = it->block;
    return true;
}

bool CZemParser::DecodeFindItem(DWORD dwOffset, int nKind, CFindItem& item, const CMapPoint& ptRef, double dCos,
                                DWORD dwFlags) {
    if (nKind < 0 || nKind >= rkMax) return false;
    if (dwFlags & c_dwFindMapName) {
        std::u16string_view name(m_szFileName);
        const std::size_t slash = name.find_last_of(u"/\\");
        if (slash != std::u16string_view::npos) name.remove_prefix(slash + 1);
        CopyText(name, item.szMapName, std::size(item.szMapName));
    }
    if (dwOffset >= m_cFileSize || !m_fObjectTables || !m_fLabelTables) return false;
    CZemBlock block;
    std::size_t nLevel = m_levels.empty() ? 0 : m_levels.size() - 1;
    const bool fNameOnly = dwFlags == 2 || dwFlags == 3;
    if (!fNameOnly && !LocateRecord(dwOffset, block, nLevel)) return false;
    CBitReader br(m_pData + dwOffset, m_pEnd);
    CZemObject obj;
    char16_t raw[c_cchItemName];
    if (!DecodeObject(br, nKind, block, nLevel, obj, raw, c_cchItemName)) {
        // Name-only requests decode without a block; a failure after the
        // label still leaves the name and type.
        if (!fNameOnly || obj.cRawLabel == 0) return false;
    }
    item.wType = obj.wType;
    item.nKind = nKind;
    CopyText(std::u16string_view(raw, obj.cRawLabel), item.szName, std::size(item.szName));
    if (dwFlags & c_dwFindDisplayName) {
        int nShield = 0;
        char16_t display[c_cDisplayLabelMax];
        const int n = LabelInterpret(nKind, obj.wType, m_fMetres, true, raw, obj.cRawLabel,
                                     display, &nShield);
        CopyText(std::u16string_view(display, static_cast<std::size_t>(std::max(n, 0))), item.szName,
                 std::size(item.szName));
    }
    if (fNameOnly) return true;
    if (dwFlags & c_dwFindScale) item.wScale = static_cast<WORD>(ScaleIndexForCode(m_levels[nLevel].wBits));
    const CMapPoint* pts = m_vecPoints.data();
    const std::size_t n = obj.cPoints;
    if (n == 0) return false;
    // A point, or a line or area reduced to its only point.
    if (nKind == rkPoint || n == 1) {
        if (dwFlags & (c_dwFindPoint | c_dwFindNearest)) item.ptRepresentative = item.ptNearest = pts[0];
    } else {
        const float k = static_cast<float>(std::clamp(dCos, 0.0, 1.0));
        if (dwFlags & c_dwFindPoint) {
            if (nKind == rkPolygon) {
                CMapRect rc = CMapRect::MakeEmpty();
                rc.Add(pts, n);
                const CMapPoint c{static_cast<LONG>((std::int64_t{rc.left} + rc.right) / 2),
                                  static_cast<LONG>((std::int64_t{rc.top} + rc.bottom) / 2)};
                item.ptRepresentative = n >= 3 && PointInPolygon(pts, n, c) ? c : pts[0];
            } else {
                const CMapPoint& a = pts[n / 2 - 1];
                const CMapPoint& b = pts[n / 2];
                item.ptRepresentative = {a.lX / 2 + b.lX / 2, a.lY / 2 + b.lY / 2};
            }
        }
        if (dwFlags & c_dwFindNearest) {
            CMapRect rc = CMapRect::MakeEmpty();
            rc.Add(pts, n);
            std::size_t iSeg = 0;
            if (nKind == rkPolygon && n >= 3 && rc.Contains(ptRef) && PointInPolygon(pts, n, ptRef))
                item.ptNearest = ptRef;
            else
                NearestPointOnPolyline(pts, n, ptRef, k, nKind == rkPolygon, item.ptNearest, iSeg);
        }
    }
    // Address attributes.
    if ((dwFlags & (c_dwFindSettlement | c_dwFindPostcode | c_dwFindStreet | c_dwFindHouse)) && m_fAddressData &&
        obj.fAddress) {
        if ((dwFlags & c_dwFindSettlement) && obj.adwAddress[0]) {
            CCityItem city;
            if (CityItem(obj.adwAddress[0] - 1, city, 1)) CopyText(city.szText, item.szSettlement, 64);
        }
        static constexpr DWORD c_aFlag[3] = {c_dwFindPostcode, c_dwFindStreet, c_dwFindHouse};
        char16_t* const aOut[3] = {item.szPostcode, item.szStreet, item.szHouse};
        const std::size_t aCch[3] = {std::size(item.szPostcode), std::size(item.szStreet), std::size(item.szHouse)};
        for (int t = 0; t < 3; ++t) {
            std::u16string s;
            if ((dwFlags & c_aFlag[t]) && obj.adwAddress[t + 1] && NameTableEntry(t, obj.adwAddress[t + 1] - 1, s))
                CopyText(s, aOut[t], aCch[t]);
        }
    }
    return true;
}

} // namespace velka
