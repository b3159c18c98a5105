// CZemParser: the native vector map, read in place from its mapping.
// Besides the parser slots it offers the pieces searches and routing use:
// the zoom levels, a block walker and the object record decoder.
#pragma once
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "geometry/map_types.h"
#include "mapdata/map_parser.h"
#include "mapdata/map_queries.h"
#include "mapdata/zem_bits.h"
#include "mapdata/zem_format.h"
#include "platform/canvas.h"

namespace velka {

struct CZemLevel {
    DWORD dwBlocksOffset = 0; // first block header
    WORD cBlocks = 0;
    WORD wBits = 0;           // resolution b; level units are map units >> (31 - b)
    unsigned Shift() const { return 31u - wBits; }
};

// One block of a level, with its three sections located in the file.
struct CZemBlock {
    const BYTE* pHeader = nullptr;
    LONG x = 0; // origin, level units
    LONG y = 0;
    WORD wWidth = 0;
    WORD wHeight = 0;
    DWORD dwDataOffset = 0;
    DWORD acbSection[rkMax] = {};      // by ObjectKind
    const BYTE* apSection[rkMax] = {}; // by ObjectKind; end clamped to the file
    const BYTE* apSectionEnd[rkMax] = {};
    CMapRect rc;                       // map units
    const BYTE* pNext = nullptr;       // the next block header
};

// One decoded object record. Points go to the parser's point buffer.
// The PAI header of the cities index with its name tables (all 0 when the
// map has none, or when it would cross the end of the file).
struct CZemPai {
    DWORD dwCountriesOffset = 0, cCountries = 0;
    DWORD dwRegionsOffset = 0, cRegions = 0;
    DWORD dwCitiesOffset = 0, cCities = 0;
    DWORD adwNameTable[3] = {}; // postcodes, streets, house numbers
    DWORD acNames[3] = {};
};

// The objects index header.
struct CZemObjectsIndex {
    DWORD dwRecordBase = 0;
    DWORD cRefBits = 0;   // W1
    DWORD cTypeBits = 0;  // W2
    DWORD dwEntries = 0;
    DWORD cEntries = 0;
    DWORD dwCategories = 0;
    DWORD cbStride = 0;
    DWORD nFirstCategory = 0;
    DWORD nEndCategory = 0;
    DWORD cCountBits = 0; // W3
};

// One category of the objects index.
struct CZemCategory {
    DWORD dwEntry = 0;      // file offset of the category entry
    short nKey = 0;
    WORD cTypes = 0;
    DWORD dwTypeList = 0;   // file offset
    DWORD nFirstEntry = 0;
    DWORD dwCounts = 0;     // file offset of the per-city counts
};

struct CZemObject {
    unsigned nLabelEncoding = 0; // 0 none, else the label's own encoding (1 or 3)
    bool fLabelReference = false;
    DWORD dwLabelOffset = 0;
    std::size_t cRawLabel = 0;   // characters kept in the caller's label buffer
    WORD wType = 0;
    bool fNodeReferences = false;
    bool fRoadFlags = false;
    WORD wRoadFlags = 0;
    unsigned cPoints = 0;
    bool fOneWay = false;
    bool fAddress = false;
    bool fAddressExtra = false;  // the bit header flag 17 adds on lines and areas
    bool fAddressBit = false;    // whether that bit is present in this record
    DWORD adwAddress[4] = {};    // city, postcode, street, house number; 1-based, 0 = not set
    const BYTE* pRecord = nullptr;
    const BYTE* pNext = nullptr; // the next record
};

// State another subsystem keeps with an open native map (the road graph);
// it lives until the map is closed.
class CZemAttachment {
public:
    virtual ~CZemAttachment() = default;
};

class CZemParser : public CMapParser {
public:
    // The route search lives above the map reader; it installs itself here.
    using FindRouteHook = bool (*)(CZemParser& map, CRouteRequest& request);
    static void SetFindRouteHook(FindRouteHook pfn);

    explicit CZemParser(CMapCreateInfo&& info);
    ~CZemParser() override;

    bool Open(DWORD dwFlags) override;
    bool Draw(CPaintContext& pc, CLabelStore& labels) override;
    int GetLabel(unsigned uScaleIndex, int nKind, WORD wType, DWORD dwLabelOffset,
                 char16_t* pText, int* pnShield) override;
    void GetInfo(WORD* pwYear, BYTE* pbtMonth, BYTE* pbtDay, char16_t* pName,
                 std::size_t cchName, char16_t* pNotes, std::size_t cchNotes) const override;
    bool FindRoute(CRouteRequest& request) override;
    std::unique_ptr<CZemAttachment>& RoutingState() { return m_pRouting; }

    // Levels, from the coarsest (0) to the finest.
    std::size_t LevelCount() const { return m_levels.size(); }
    const CZemLevel& Level(std::size_t i) const { return m_levels[i]; }
    // The highest level whose resolution is not greater than the scale code.
    std::size_t SelectZoomLevel(int nScaleCode) const;

    // Blocks of a level, walked from the first: FirstBlock then NextBlock.
    // False at the end or when a header would cross the end of the file.
    bool FirstBlock(std::size_t nLevel, CZemBlock& block) const;
    bool NextBlock(std::size_t nLevel, std::size_t nIndex, CZemBlock& block) const;

    // Decodes the record at the reader's position in a section of kind
    // nKind. The raw label goes to pRaw (at most cchRaw - 1 characters kept;
    // pRaw may be null), the points in map units to PointBuffer(). False
    // when the record is malformed, which ends its section.
    bool DecodeObject(CBitReader& br, int nKind, const CZemBlock& block, std::size_t nLevel,
                      CZemObject& obj, char16_t* pRaw, std::size_t cchRaw,
                      std::vector<LONG>* pNodes = nullptr);
    const CMapPoint* PointBuffer() const { return m_vecPoints.data(); }

    // Decodes every record of a level in file order, kind by kind within a
    // block, calling fn(kind, block, object) with the points in
    // PointBuffer(). A malformed record ends its section.
    template <class Fn>
    void ForEachObject(std::size_t nLevel, char16_t* pRaw, std::size_t cchRaw, Fn&& fn) {
        CZemBlock block;
        std::size_t nBlock = 0;
        for (bool f = FirstBlock(nLevel, block); f; f = NextBlock(nLevel, nBlock++, block))
            ForEachObjectInBlock(block, nLevel, pRaw, cchRaw, fn);
    }
    // The same for the records of one block: fn(kind, block, object).
    template <class Fn>
    void ForEachObjectInBlock(const CZemBlock& block, std::size_t nLevel, char16_t* pRaw, std::size_t cchRaw,
                              Fn&& fn) {
        for (int nKind = 0; nKind < rkMax; ++nKind) {
            const BYTE* p = block.apSection[nKind];
            while (p < block.apSectionEnd[nKind]) {
                CBitReader br(p, block.apSectionEnd[nKind]);
                CZemObject obj;
                if (!DecodeObject(br, nKind, block, nLevel, obj, pRaw, cchRaw)) break;
                p = obj.pNext;
                fn(nKind, block, obj);
            }
        }
    }
    std::size_t PointCapacity() const { return m_vecPoints.size(); }

    // Header facts.
    bool IsSourceGarmin() const { return m_fSourceGarmin; }
    bool LabelsInMetres() const { return m_fMetres; }
    DWORD LabelsOffset() const { return m_dwLabelsOffset; }
    DWORD BitsInLabelReference() const { return m_dwBitsInLabelReference; }
    DWORD Locale() const { return m_dwLocale; }
    bool HasAddressData() const { return m_fAddressData; }
    DWORD NodeCount() const { return m_cNodes; }
    unsigned NodeBits() const { return m_cNodeBits; }
    DWORD RestrictionCount() const { return m_cRestrictions; }
    DWORD RestrictionOffset() const { return m_dwRestrictionOffset; }
    DWORD RoadOffsetBits() const { return m_cRoadOffsetBits; }
    DWORD HeaderDword(std::size_t nOffset) const;
    const CZemTable& Table(int nTable) const { return m_tables[nTable - 1]; }
    bool CanDraw() const { return m_fLabelTables && m_fObjectTables; }

    // The search indexes (the cities index and its name tables, the
    // objects index); every lookup checks its positions against the file.
    std::unique_ptr<CCitiesQuery> CreateCitiesQuery() override;
    bool HasObjectsIndex() const override;
    bool IsTypeIndexed(int nKind, short nCategory, WORD wType) const override;
    std::unique_ptr<CObjectsQuery> CreateObjectsQuery(int nCity, int nKind, short nCategory,
                                                      WORD wType) override;
    bool HasCitiesIndex() const override;
    // Objects with address attributes matching the texts (postcode whole,
    // street and house number contained, in their normal forms), walking
    // the finest level; null without a cities index or when cancelled.
    std::unique_ptr<CFindList> FindByAddress(int nCity, const std::u16string& strPostcode,
                                             const std::u16string& strStreet, const std::u16string& strHouse,
                                             CSearchProgress* pProgress) override;
    // Objects within the radius whose type passes the filter (null: every
    // type) and whose name contains the text; only blocks meeting the
    // search rectangle are read. Null when cancelled.
    std::unique_ptr<CFindList> FindNearest(int nScaleCode, bool fUseViewLevel, LONG x, LONG y,
                                           DWORD dwRadiusMetres, const CTypeFilter* pFilter,
                                           const std::u16string& strName, CSearchProgress* pProgress) override;
    const CZemPai& Pai() const { return m_pai; }
    const CZemObjectsIndex& ObjectsIndex() const { return m_objectsIndex; }
    // Reads cBits (<= 32) at bit nBit of the area at dwArea; false when that
    // crosses the end of the file.
    bool ReadBitsAt(DWORD dwArea, std::uint64_t nBit, unsigned cBits, DWORD& v) const;
    // Entry i of name table k (0 postcodes, 1 streets, 2 house numbers),
    // normalised; false when out of range or unreadable.
    bool NameTableEntry(int nTable, DWORD dwIndex, std::u16string& str);
    // City item i ("city, region, country"), with position and scale when
    // dwFlags holds c_dwCityPosition. False when the name cannot be read.
    bool CityItem(DWORD dwIndex, CCityItem& item, DWORD dwFlags);
    // The city's own name (the first part of its item text).
    bool CityName(DWORD dwIndex, std::u16string& strName);
    // The category of the objects index with this key (the first one).
    bool FindCategory(short nKey, CZemCategory& cat) const;
    // Pair t of a category's type list.
    bool CategoryType(const CZemCategory& cat, DWORD t, int& nKind, WORD& wType) const;
    // Decodes the record at a file offset into a find item (flags as in
    // map_queries.h), relative to a reference point whose latitude has the
    // cosine dCos.
    bool DecodeFindItem(DWORD dwOffset, int nKind, CFindItem& item, const CMapPoint& ptRef, double dCos,
                        DWORD dwFlags);
    // The block (and its level) holding the record at a file offset.
    bool LocateRecord(DWORD dwOffset, CZemBlock& block, std::size_t& nLevel);

    // Decodes a label at a file offset (its 2-bit encoding first) into
    // pRaw; returns the characters kept, or -1 when the offset is outside
    // the file or the label is malformed.
    int ReadLabelAt(DWORD dwOffset, char16_t* pRaw, std::size_t cchRaw);

    // Work limit of one draw, so a damaged file cannot make a frame endless.
    static constexpr std::size_t c_cMaxPoints = std::size_t{1} << 20;

private:
    bool DecodeLabel(CBitReader& br, unsigned nEncoding, char16_t* pRaw, std::size_t cchRaw,
                     std::size_t& cKept);
    bool Spend(std::size_t n);
    void ReadIndexHeaders();
    bool ReadDword(std::uint64_t nOffset, DWORD& v) const;

    struct BlockRef {
        DWORD dwDataOffset;
        std::size_t nLevel;
        CZemBlock block;
    };
    // What FindByAddress reads once and keeps: the name tables in the forms
    // it compares, and every record of the finest level with address
    // attributes (after a complete walk).
    struct AddressRecord {
        DWORD dwOffset;
        int nKind;
        DWORD adwAddress[4];
    };
    struct AddressCache {
        std::vector<std::u16string> postcodes, streets, houses;
        std::vector<AddressRecord> records;
        bool fRecords = false;
    };
    AddressCache& FoldedAddressNames();
    bool ReadAddressRecords(AddressCache& cache, CSearchProgress* pProgress);
    std::unique_ptr<AddressCache> m_pAddressNames;
    std::vector<BlockRef> m_vecLocator; // by data offset, built on first use
    bool m_fLocator = false;
    CZemPai m_pai;
    CZemObjectsIndex m_objectsIndex;
    bool m_fObjectsIndex = false;
    // Where city group g of a category starts, relative to its first
    // entry: the counts of the groups before it summed. The sums are kept
    // per category (by entry offset) and extended as far as asked, so
    // asking for every city in turn stays linear. False when a count
    // before it cannot be read.
    bool GroupStart(const CZemCategory& cat, std::int64_t nGroup, std::uint64_t& skip);
    struct GroupStarts {
        std::vector<std::uint64_t> sums{0}; // sums[g]: where group g starts
        bool fUnreadable = false;           // the count after the last sum cannot be read
    };
    std::unordered_map<DWORD, GroupStarts> m_groupStarts;

    const BYTE* m_pHeader = nullptr;
    const BYTE* m_pEnd = nullptr;
    CZemTable m_tables[zem::c_cTables];
    std::vector<CZemLevel> m_levels;
    bool m_fLabelTables = false;
    bool m_fObjectTables = false;
    bool m_fSourceGarmin = false;
    bool m_fMetres = false;
    DWORD m_dwLabelsOffset = 0;
    DWORD m_dwBitsInLabelReference = 0;
    DWORD m_dwLocale = 0;
    DWORD m_dwFlags = 0;
    bool m_fAddressData = false;
    bool m_fAddressBit = false;
    DWORD m_cNodes = 0;
    unsigned m_cNodeBits = 0;
    DWORD m_cRestrictions = 0;
    DWORD m_dwRestrictionOffset = 0;
    DWORD m_cRoadOffsetBits = 0;
    LONG m_lBiasX = 0;
    LONG m_lBiasY = 0;
    std::vector<CMapPoint> m_vecPoints;
    std::vector<POINT> m_vecScreen;
    std::size_t m_cWorkLeft = 0;
    bool m_fDrawing = false;
    std::unique_ptr<CZemAttachment> m_pRouting;
};

// The native format's registration record.
CMapFormat& ZemMapFormat();

} // namespace velka
