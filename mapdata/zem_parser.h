// CZemParser: the native vector map, read in place from its mapping.
// Besides the parser slots it offers the pieces searches and routing use:
// the zoom levels, a block walker and the object record decoder.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "geometry/map_types.h"
#include "mapdata/map_parser.h"
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
    DWORD adwAddress[4] = {};
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
        for (bool f = FirstBlock(nLevel, block); f; f = NextBlock(nLevel, nBlock++, block)) {
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
