// CZidxParser: an atlas, a folder of native maps drawn and searched as one
// map through the folder's index file. Each draw picks the maps that suit
// the view, opens them on demand and closes the ones it no longer draws;
// searches run over the member maps and combine their lists.
#pragma once
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapdata/map_parser.h"
#include "mapdata/simple_cache.h"
#include "mapdata/type_catalogue.h"
#include "mapdata/zidx_file.h"

namespace velka {

class CZidxParser : public CMapParser {
public:
    explicit CZidxParser(CMapCreateInfo&& info);
    ~CZidxParser() override;

    void GetName(CMapName& name) const override;
    bool Open(DWORD dwFlags) override;
    bool Draw(CPaintContext& pc, CLabelStore& labels) override;
    int GetLabel(unsigned uScaleIndex, int nKind, WORD wType, DWORD dwLabelOffset,
                 char16_t* pText, int* pnShield) override;
    void GetInfo(WORD* pwYear, BYTE* pbtMonth, BYTE* pbtDay, char16_t* pName,
                 std::size_t cchName, char16_t* pNotes, std::size_t cchNotes) const override;
    CTypeCatalogue* GetTypes() override;
    std::unique_ptr<CCitiesQuery> CreateCitiesQuery() override;
    bool HasObjectsIndex() const override;
    bool IsTypeIndexed(int nKind, short nCategory, WORD wType) const override;
    std::unique_ptr<CObjectsQuery> CreateObjectsQuery(int nCity, int nKind, short nCategory,
                                                      WORD wType) override;
    bool HasCitiesIndex() const override;
    std::unique_ptr<CFindList> FindByAddress(int nCity, const std::u16string& strPostcode,
                                             const std::u16string& strStreet,
                                             const std::u16string& strHouse,
                                             CSearchProgress* pProgress) override;
    std::unique_ptr<CFindList> FindNearest(int nScaleCode, bool fUseViewLevel, LONG x, LONG y,
                                           DWORD dwRadiusMetres, const CTypeFilter* pFilter,
                                           const std::u16string& strName,
                                           CSearchProgress* pProgress) override;

    const CZidxIndex& Index() const { return m_index; }
    std::size_t MapCount() const { return m_index.maps.size(); }
    // Full path of map k.
    std::u16string MapPath(std::size_t k) const;
    // Map k's rectangle in map units.
    CMapRect MapRect(std::size_t k) const;
    // The collation every name list of the atlas is ordered and searched by.
    DWORD Locale() const { return m_index.dwLocale; }
    // Maps open now (those drawn last).
    std::size_t OpenMapCount() const;
    // The map drawn last (null when the last draw drew none).
    CMapParser* CurrentMap() const;
    // Member map numbers the last draw drew.
    std::vector<std::size_t> DrawnMaps() const;

    // The distinct cities of the atlas: city i covers the index entries
    // from DistinctStart(i) up to the next one's start. False when the
    // index has no usable city list.
    bool PrepareCities();
    DWORD DistinctCount() const { return static_cast<DWORD>(m_vecDistinct.size()); }
    // The entries of atlas city i (map, city of that map), first the one
    // without, then those with the duplicate flag.
    std::vector<CZidxCity> CityEntries(DWORD nCity) const;
    // The text of atlas city entry (name only, through the five-map cache),
    // or with position (the map opened afresh). False when unreadable.
    bool CityEntryItem(const CZidxCity& entry, CCityItem& item, DWORD dwFlags);
    // Name-only cache of city queries (for tests and the cache gauge).
    std::size_t CachedCityMaps() const { return m_pCityCache ? m_pCityCache->Loaded() : 0; }

    // Map k for a search (null when it cannot be opened): the maps searched
    // last stay open (every map of an atlas of up to c_cSearchCacheMost
    // maps), so what a map gathers on its first search (its tables, its
    // address records) serves the next searches; a search over more maps
    // than that opens them in turn.
    std::shared_ptr<CMapParser> SearchMember(std::size_t k);

    static constexpr std::size_t c_cCityCacheSlots = 5;
    static constexpr std::size_t c_cSearchCacheSlots = 5;  // at least
    static constexpr std::size_t c_cSearchCacheMost = 64;
    static constexpr unsigned c_uInfiniteDistance = 0xFFFFFFFFu;

    // Scale distance of a map with these codes at view scale code e.
    static unsigned ScaleDistance(int e, WORD wFinestCode, WORD wCoarsestCode);

private:
    struct CacheEntry {
        std::size_t nMap = 0;
        std::unique_ptr<CMapParser> pParser;
        unsigned uDistance = c_uInfiniteDistance;
        bool fUsed = false;
    };
    struct CityMap {
        std::unique_ptr<CMapParser> pParser; // declared first: outlives the query
        std::unique_ptr<CCitiesQuery> pQuery;
    };
    std::unique_ptr<CMapParser> OpenMember(std::size_t k, DWORD dwFlags) const;
    // The (map, city) pairs a search for atlas city nCity runs over; -1
    // stands for every map's objects without a city. False without cities.
    bool SearchEntries(int nCity, std::vector<CZidxCity>& entries);
    // Maps a search over (x, y) ± extents takes part in.
    std::vector<std::size_t> MapsForSearch(const CMapRect& rc, int nScaleCode, bool fUseViewLevel) const;

    CZidxIndex m_index;
    std::u16string m_strFolder; // with its trailing separator
    std::vector<CacheEntry> m_vecCache;
    std::size_t m_nCurrentMap = static_cast<std::size_t>(-1);
    bool m_fCitiesPrepared = false;
    std::vector<DWORD> m_vecDistinct;
    std::unique_ptr<SimpleCache<CityMap>> m_pCityCache;
    std::unique_ptr<SimpleCache<std::shared_ptr<CMapParser>>> m_pSearchCache;
    std::unique_ptr<CTypeCatalogue> m_pTypes;
};

// The native format's companion: the atlas index registration record.
CMapFormat& ZidxMapFormat();

// The path of the index in a folder ("folder/Index.zidx").
std::u16string AtlasIndexPath(const std::u16string& strFolder);
// The file a map path names: a folder stands for the atlas index in it
// (OpenMapFile and OpenMap take either).
std::u16string MapFilePath(const std::u16string& strPath);
// The atlas behind a parser (through a proxy), or null.
CZidxParser* AsAtlas(CMapParser* pParser);
// Opens the atlas in a folder (its index through the map formats), or null
// when the folder has no index (*pError then stays None) or it cannot be
// opened (*pError says why).
std::unique_ptr<CMapParser> OpenAtlas(const std::u16string& strFolder, CError* pError = nullptr);

} // namespace velka
