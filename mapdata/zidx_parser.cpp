#include "mapdata/zidx_parser.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cmath>
#include <filesystem>
#include <limits>

#include "mapdata/collation.h"
#include "mapdata/combined_list.h"
#include "mapdata/map_scales.h"
#include "mapdata/search_params.h"
#include "mapdata/paint_context.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/string_ids.h"

namespace velka {

namespace {

constexpr std::size_t c_nNone = static_cast<std::size_t>(-1);
// The objects index's category of the named streets (of lines).
constexpr short c_nStreetsCategory = 0x0001;

std::u16string FolderOf(const std::u16string& strPath) {
    const std::size_t k = strPath.find_last_of(u"/\\");
    return k == std::u16string::npos ? std::u16string() : strPath.substr(0, k + 1);
}

CMapRect HalfToMap(const LONG al[4]) { return {al[0] >> 1, al[1] >> 1, al[2] >> 1, al[3] >> 1}; }

// Whether a member map takes part in drawing a view: it meets the view and
// spans at least a third of its width or of its height.
bool LargeEnoughInView(const CMapRect& rcMap, const CMapRect& rcView) {
    if (!rcMap.Intersects(rcView)) return false;
    return 3 * std::int64_t{rcMap.Width()} >= rcView.Width() || 3 * std::int64_t{rcMap.Height()} >= rcView.Height();
}

// The cities query of an atlas: its distinct cities, read through the map
// that holds each one.
class CZidxCitiesQuery : public CCitiesQuery {
public:
    explicit CZidxCitiesQuery(CZidxParser& atlas) : m_atlas(atlas) {}
    DWORD Locale() const override { return m_atlas.Locale(); }
    DWORD Count() const override { return m_atlas.DistinctCount(); }
    bool Item(DWORD dwIndex, CCityItem& item, DWORD dwFlags) override {
        if (dwIndex >= Count()) return false;
        const std::vector<CZidxCity> entries = m_atlas.CityEntries(dwIndex);
        return !entries.empty() && m_atlas.CityEntryItem(entries.front(), item, dwFlags);
    }
    DWORD FindFirst(std::u16string_view prefix) override {
        return FindFirstSorted(Count(), prefix, CCollator::ForLcid(Locale()), [&](DWORD i) {
            CCityItem item;
            return Item(i, item, 0) ? std::u16string(item.szText) : std::u16string();
        });
    }

private:
    CZidxParser& m_atlas;
};

} // namespace

CZidxParser::CZidxParser(CMapCreateInfo&& info) : CMapParser(std::move(info)) {
    m_strFolder = FolderOf(m_szFileName);
}

CZidxParser::~CZidxParser() {
    // City queries and drawn maps hold parsers; release them before the
    // index mapping goes.
    m_pCityCache.reset();
    m_pSearchCache.reset();
    m_vecCache.clear();
}

bool CZidxParser::Open(DWORD) {
    std::string strWhy;
    if (!ParseZidx(m_pData, m_cFileSize, m_index, &strWhy)) {
        m_openError = CError(ErrorCode::BadFileFormat, {std::u16string(m_szFileName)});
        return false;
    }
    m_rcBounds = HalfToMap(m_index.alBounds);
    int nFinest = static_cast<int>(c_cScales), nCoarsest = -1;
    for (const CZidxEntry& e : m_index.maps) {
        nFinest = std::min(nFinest, ScaleIndexForCode(e.wFinestCode));
        nCoarsest = std::max(nCoarsest, ScaleIndexForCode(e.wCoarsestCode));
    }
    m_nFinestScale = nFinest;
    m_nCoarsestScale = std::max(nCoarsest, nFinest);
    return true;
}

std::u16string CZidxParser::MapPath(std::size_t k) const { return m_strFolder + m_index.maps[k].strName; }

CMapRect CZidxParser::MapRect(std::size_t k) const { return HalfToMap(m_index.maps[k].alBounds); }

std::unique_ptr<CMapParser> CZidxParser::OpenMember(std::size_t k, DWORD dwFlags) const {
    if (k >= m_index.maps.size()) return nullptr;
    return OpenMapFile(MapPath(k), dwFlags);
}

std::shared_ptr<CMapParser> CZidxParser::SearchMember(std::size_t k) {
    if (!m_pSearchCache)
        m_pSearchCache = std::make_unique<SimpleCache<std::shared_ptr<CMapParser>>>(
            std::clamp(m_index.maps.size(), c_cSearchCacheSlots, c_cSearchCacheMost), [this](int nMap) -> std::optional<std::shared_ptr<CMapParser>> {
                std::shared_ptr<CMapParser> p = OpenMember(static_cast<std::size_t>(nMap), c_dwOpenAll);
                if (!p) return std::nullopt;
                return p;
            });
    std::shared_ptr<CMapParser>* pp = m_pSearchCache->Get(static_cast<int>(k));
    return pp ? *pp : nullptr;
}

unsigned CZidxParser::ScaleDistance(int e, WORD wFinestCode, WORD wCoarsestCode) {
    if (e > wFinestCode) return static_cast<unsigned>(e - wFinestCode);
    if (e < wCoarsestCode) return c_uInfiniteDistance;
    return 0;
}

CMapParser* CZidxParser::CurrentMap() const {
    for (const CacheEntry& c : m_vecCache)
        if (c.nMap == m_nCurrentMap && c.pParser) return c.pParser.get();
    return nullptr;
}

std::size_t CZidxParser::OpenMapCount() const {
    return static_cast<std::size_t>(
        std::count_if(m_vecCache.begin(), m_vecCache.end(), [](const CacheEntry& c) { return c.pParser != nullptr; }));
}

std::vector<std::size_t> CZidxParser::DrawnMaps() const {
    std::vector<std::size_t> v;
    for (const CacheEntry& c : m_vecCache)
        if (c.pParser) v.push_back(c.nMap);
    return v;
}

void CZidxParser::GetName(CMapName& name) const {
    if (CMapParser* p = CurrentMap()) return p->GetName(name);
    name = {};
}

void CZidxParser::GetInfo(WORD* pwYear, BYTE* pbtMonth, BYTE* pbtDay, char16_t* pName, std::size_t cchName,
                          char16_t* pNotes, std::size_t cchNotes) const {
    if (CMapParser* p = CurrentMap()) return p->GetInfo(pwYear, pbtMonth, pbtDay, pName, cchName, pNotes, cchNotes);
    CMapParser::GetInfo(pwYear, pbtMonth, pbtDay, pName, cchName, pNotes, cchNotes);
}

bool CZidxParser::Draw(CPaintContext& pc, CLabelStore& labels) {
    const int e = pc.ScaleCode();
    const CMapRect& rcView = pc.VisibleRect();
    for (CacheEntry& c : m_vecCache) c.fUsed = false;
    unsigned uBest = c_uInfiniteDistance;
    for (std::size_t k = 0; k < m_index.maps.size(); ++k) {
        if (!LargeEnoughInView(MapRect(k), rcView)) continue;
        const CZidxEntry& entry = m_index.maps[k];
        const unsigned u = ScaleDistance(e, entry.wFinestCode, entry.wCoarsestCode);
        uBest = std::min(uBest, u);
        auto it = std::find_if(m_vecCache.begin(), m_vecCache.end(), [&](const CacheEntry& c) { return c.nMap == k; });
        if (it == m_vecCache.end()) {
            m_vecCache.push_back({});
            it = m_vecCache.end() - 1;
            it->nMap = k;
        }
        it->fUsed = true;
        it->uDistance = u;
    }
    if (uBest != c_uInfiniteDistance) {
        for (CacheEntry& c : m_vecCache) {
            if (!c.fUsed || c.uDistance != uBest) continue;
            if (!c.pParser) {
                CError error;
                c.pParser = OpenMapFile(MapPath(c.nMap), c_dwOpenAll, &error);
                if (!c.pParser) {
                    // The reason: the system's text of a file error, else the open error's text.
                    std::u16string strWhy = error.HasText() ? ErrorText(error) : SystemErrorText(EINVAL);
                    if (error.args.size() == 2 && std::holds_alternative<std::u16string>(error.args[1]))
                        strWhy = std::get<std::u16string>(error.args[1]);
                    pc.DrawMessage(FormatMessageId(IDS_CANNOT_READ_FILE, MapPath(c.nMap).c_str(), strWhy.c_str()));
                    continue;
                }
            }
            const bool fInterrupted = c.pParser->Draw(pc, labels);
            m_nCurrentMap = c.nMap;
            if (fInterrupted || pc.IsInterrupted()) return true;
        }
    }
    // Keep only the maps drawn now; the others are closed. The current map
    // is among those kept, or none is current.
    std::erase_if(m_vecCache, [&](const CacheEntry& c) {
        return !(c.fUsed && c.uDistance == uBest && uBest != c_uInfiniteDistance);
    });
    if (!CurrentMap()) m_nCurrentMap = c_nNone;
    return false;
}

int CZidxParser::GetLabel(unsigned, int, WORD, DWORD, char16_t* pText, int* pnShield) {
    // Labels name the member map that registered them.
    if (pText) pText[0] = 0;
    if (pnShield) *pnShield = 0;
    return 0;
}

CTypeCatalogue* CZidxParser::GetTypes() {
    if (m_pTypes) return m_pTypes.get();
    m_pTypes = std::make_unique<CTypeCatalogue>();
    for (std::size_t k = 0; k < m_index.maps.size(); ++k) {
        std::unique_ptr<CMapParser> p = OpenMember(k, c_dwOpenAll);
        CTypeCatalogue* pTypes = p ? p->GetTypes() : nullptr;
        if (!pTypes) continue;
        for (const CTypeCatalogue::Entry& t : pTypes->Entries())
            for (DWORD i = 0; i < t.cObjects; ++i) m_pTypes->Add(t.nKind, t.wType);
    }
    return m_pTypes.get();
}

bool CZidxParser::HasObjectsIndex() const { return (m_index.dwIndexFlags & zidx::c_dwHasObjectsIndex) != 0; }
bool CZidxParser::HasCitiesIndex() const { return (m_index.dwIndexFlags & zidx::c_dwHasCitiesIndex) != 0; }
bool CZidxParser::IsTypeIndexed(int, short, WORD) const { return true; }

// ---------------------------------------------------------------------------
// Cities.

bool CZidxParser::PrepareCities() {
    if (m_fCitiesPrepared) return !m_vecDistinct.empty();
    m_fCitiesPrepared = true;
    if (!ParseZidxCities(m_pData, m_cFileSize, m_index)) return false;
    for (DWORD i = 0; i < m_index.cities.size(); ++i)
        if (!m_index.cities[i].fDuplicate) m_vecDistinct.push_back(i);
    m_pCityCache = std::make_unique<SimpleCache<CityMap>>(c_cCityCacheSlots, [this](int nMap) -> std::optional<CityMap> {
        CityMap m;
        m.pParser = OpenMember(static_cast<std::size_t>(nMap), c_dwOpenAll);
        if (m.pParser) m.pQuery = m.pParser->CreateCitiesQuery();
        if (!m.pQuery) return std::nullopt;
        return m;
    });
    return !m_vecDistinct.empty();
}

std::vector<CZidxCity> CZidxParser::CityEntries(DWORD nCity) const {
    if (nCity >= m_vecDistinct.size()) return {};
    const DWORD nEnd = nCity + 1 < m_vecDistinct.size() ? m_vecDistinct[nCity + 1]
                                                        : static_cast<DWORD>(m_index.cities.size());
    return {m_index.cities.begin() + m_vecDistinct[nCity], m_index.cities.begin() + nEnd};
}

bool CZidxParser::CityEntryItem(const CZidxCity& entry, CCityItem& item, DWORD dwFlags) {
    // The cached maps are opened with all their tables, so they give
    // positions as well as texts: a map is not opened afresh per city.
    if (!m_pCityCache) return false;
    CityMap* pMap = m_pCityCache->Get(static_cast<int>(entry.nMap));
    return pMap && entry.nCity < pMap->pQuery->Count() && pMap->pQuery->Item(entry.nCity, item, dwFlags);
}

std::unique_ptr<CCitiesQuery> CZidxParser::CreateCitiesQuery() {
    if (!PrepareCities()) return nullptr;
    return std::make_unique<CZidxCitiesQuery>(*this);
}

// ---------------------------------------------------------------------------
// Searches over the member maps.

bool CZidxParser::SearchEntries(int nCity, std::vector<CZidxCity>& entries) {
    entries.clear();
    // City -1 asks for what has no city, and any city for everything: every
    // map's own.
    if (nCity < 0) {
        for (std::size_t k = 0; k < m_index.maps.size(); ++k) entries.push_back({false, static_cast<DWORD>(k), 0});
        return true;
    }
    if (!PrepareCities()) return false;
    entries = CityEntries(static_cast<DWORD>(nCity));
    return true;
}

std::unique_ptr<CObjectsQuery> CZidxParser::CreateObjectsQuery(int nCity, int nKind, short nCategory, WORD wType) {
    std::vector<CZidxCity> entries;
    if (!SearchEntries(nCity, entries)) return nullptr;
    std::vector<CCombinedList::Part> parts;
    for (const CZidxCity& c : entries) {
        std::shared_ptr<CMapParser> p = SearchMember(c.nMap);
        if (!p) continue;
        std::unique_ptr<CObjectsQuery> q = p->CreateObjectsQuery(nCity < 0 ? -1 : static_cast<int>(c.nCity), nKind,
                                                                 nCategory, wType);
        if (q) parts.push_back({std::move(p), std::move(q)});
    }
    if (parts.empty()) return nullptr;
    // A map lists a street of a city once, whatever number of ways it has;
    // the tiles an atlas is cut into do so each.
    const bool fStreets = nKind == rkPolyline && nCategory == c_nStreetsCategory;
    return std::make_unique<CCombinedList>(std::move(parts),
                                           fStreets ? CCombinedList::Order::ByNameOnce : CCombinedList::Order::ByName,
                                           Locale());
}

std::unique_ptr<CFindList> CZidxParser::FindByAddress(int nCity, const std::u16string& strPostcode,
                                                      const std::u16string& strStreet, const std::u16string& strHouse,
                                                      CSearchProgress* pProgress) {
    std::vector<CZidxCity> entries;
    if (!SearchEntries(nCity, entries)) return nullptr;
    std::vector<CCombinedList::Part> parts;
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const CZidxCity& c = entries[k];
        std::shared_ptr<CMapParser> p = SearchMember(c.nMap);
        if (!p || !p->HasCitiesIndex()) continue;
        // Each map reports into its share of the progress range.
        CSearchProgress part;
        if (pProgress) part = pProgress->Part(k, entries.size());
        std::unique_ptr<CFindList> l = p->FindByAddress(nCity < 0 ? nCity : static_cast<int>(c.nCity), strPostcode,
                                                        strStreet, strHouse, pProgress ? &part : nullptr);
        // A map with a cities index answers null only when cancelled.
        if (!l) return nullptr;
        parts.push_back({std::move(p), std::move(l)});
    }
    if (parts.empty()) return nullptr;
    return std::make_unique<CCombinedList>(std::move(parts), CCombinedList::Order::PartAfterPart, Locale());
}

std::vector<std::size_t> CZidxParser::MapsForSearch(const CMapRect& rc, int nScaleCode, bool fUseViewLevel) const {
    std::vector<std::size_t> v;
    unsigned uBest = c_uInfiniteDistance;
    for (std::size_t k = 0; k < m_index.maps.size(); ++k) {
        if (!MapRect(k).Intersects(rc)) continue;
        if (fUseViewLevel) {
            const unsigned u = ScaleDistance(nScaleCode, m_index.maps[k].wFinestCode, m_index.maps[k].wCoarsestCode);
            if (u > uBest) continue;
            if (u < uBest) v.clear(), uBest = u;
        }
        v.push_back(k);
    }
    return v;
}

std::unique_ptr<CFindList> CZidxParser::FindNearest(int nScaleCode, bool fUseViewLevel, LONG x, LONG y,
                                                    DWORD dwRadiusMetres, const CTypeFilter* pFilter,
                                                    const std::u16string& strName, CSearchProgress* pProgress) {
    const std::vector<std::size_t> maps = MapsForSearch(SearchExtent(x, y, dwRadiusMetres).rc, nScaleCode, fUseViewLevel);
    std::vector<CCombinedList::Part> parts;
    for (std::size_t i = 0; i < maps.size(); ++i) {
        std::shared_ptr<CMapParser> p = SearchMember(maps[i]);
        if (!p) continue;
        CSearchProgress part;
        if (pProgress) part = pProgress->Part(i, maps.size());
        std::unique_ptr<CFindList> l = p->FindNearest(nScaleCode, fUseViewLevel, x, y, dwRadiusMetres, pFilter, strName,
                                                      pProgress ? &part : nullptr);
        if (!l) return nullptr; // cancelled: partial results are dropped
        parts.push_back({std::move(p), std::move(l)});
    }
    return std::make_unique<CCombinedList>(std::move(parts), CCombinedList::Order::PartAfterPart, Locale());
}

// ---------------------------------------------------------------------------
// Registration and opening.

namespace {
std::unique_ptr<CMapParser> CreateZidx(CMapCreateInfo&& info) { return std::make_unique<CZidxParser>(std::move(info)); }
} // namespace

CMapFormat& ZidxMapFormat() {
    // The file dialog offers the index by its name; 202120 names the format.
    static CMapFormat format{nullptr, 202120, c_szAtlasIndexName, u"zidx", &CreateZidx, &ProbeZidx};
    return format;
}

std::u16string AtlasIndexPath(const std::u16string& strFolder) {
    std::u16string s = strFolder;
    if (!s.empty() && s.back() != u'/' && s.back() != u'\\') s += u'/';
    return s + c_szAtlasIndexName;
}

CZidxParser* AsAtlas(CMapParser* pParser) {
    if (auto* pProxy = dynamic_cast<CMapProxy*>(pParser)) pParser = pProxy->Inner();
    return dynamic_cast<CZidxParser*>(pParser);
}

std::unique_ptr<CMapParser> OpenAtlas(const std::u16string& strFolder, CError* pError) {
    if (pError) *pError = {};
    const std::u16string strIndex = AtlasIndexPath(strFolder);
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::path(ToUtf8(strIndex)), ec)) return nullptr;
    return OpenMap(strIndex, c_dwOpenAll, pError);
}

} // namespace velka
