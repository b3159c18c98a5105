// CImgParser: Garmin IMG maps. The container's directory gives the TRE,
// RGN, LBL and NET subfiles of one or more map tiles (a gmapsupp.img holds
// many tiles beside other subfiles); every tile is read in place and the
// tiles are drawn together, like the maps of an atlas.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "geometry/map_types.h"
#include "mapdata/map_parser.h"
#include "mapdata/map_queries.h"
#include "mapdata/type_catalogue.h"
#include "platform/canvas.h"

struct UConverter;

namespace velka {

// A bounded piece of bytes (a subfile or a section of one).
struct CImgBytes {
    const BYTE* p = nullptr;
    DWORD cb = 0;

    bool Has(std::uint64_t nOffset, std::uint64_t cbLength) const {
        return nOffset <= cb && cbLength <= cb - nOffset;
    }
    BYTE U8(std::uint64_t n) const { return Has(n, 1) ? p[n] : 0; }
    WORD U16(std::uint64_t n) const {
        return Has(n, 2) ? static_cast<WORD>(p[n] | p[n + 1] << 8) : 0;
    }
    DWORD U24(std::uint64_t n) const {
        return Has(n, 3) ? DWORD{p[n]} | DWORD{p[n + 1]} << 8 | DWORD{p[n + 2]} << 16 : 0;
    }
    DWORD U32(std::uint64_t n) const { return Has(n, 4) ? U24(n) | DWORD{p[n + 3]} << 24 : 0; }
    // A signed 24-bit value.
    LONG S24(std::uint64_t n) const {
        const DWORD v = U24(n);
        return static_cast<LONG>(v) - ((v & 0x800000u) ? 0x1000000 : 0);
    }
    // The part [nOffset, nOffset + cbLength) clamped to these bytes.
    CImgBytes Sub(std::uint64_t nOffset, std::uint64_t cbLength) const {
        if (nOffset >= cb) return {};
        const std::uint64_t cbLeft = cb - nOffset;
        return {p + nOffset, static_cast<DWORD>(cbLength < cbLeft ? cbLength : cbLeft)};
    }
};

// Section indexes of a subdivision, in the order they are stored.
enum ImgSection { isPoints = 0, isIndexedPoints = 1, isPolylines = 2, isPolygons = 3, isMax = 4 };

struct CImgLevel {
    BYTE btNumber = 0;
    bool fInherited = false;
    BYTE btBits = 24;
    WORD cSubdivisions = 0;
    std::size_t nFirstSubdivision = 0; // index into the tile's subdivisions
};

struct CImgSubdivision {
    DWORD dwRgnOffset = 0; // from the RGN data start
    BYTE btFlags = 0;      // content: 0x10 points, 0x20 indexed, 0x40 lines, 0x80 polygons
    LONG lCenterX = 0;     // Garmin units (24 bits to 360 degrees)
    LONG lCenterY = 0;
    DWORD dwHalfWidth = 0;
    DWORD dwHalfHeight = 0;
    BYTE btLevel = 0;
    unsigned nShift = 0;   // 24 - resolution
    CMapRect rc;           // map units
    // Section starts and ends within the RGN data; absent sections have
    // start = end = c_dwNone.
    DWORD adwStart[isMax] = {};
    DWORD adwEnd[isMax] = {};
    // Extended-type elements (areas, lines, points) within the tile's
    // extended sections; absent: start = end = c_dwNone.
    DWORD adwExtStart[3] = {};
    DWORD adwExtEnd[3] = {};
};

// The extended sections of a tile, indexed by ObjectKind reversed:
// ieAreas, ieLines, iePoints.
enum ImgExtSection { ieAreas = 0, ieLines = 1, iePoints = 2 };

// An extended type (written 0x1TTSS by the map tools: type byte TT, five
// subtype bits SS) as the 16-bit type code of the drawing and the type
// lists: above every standard type of its kind.
constexpr WORD ImgExtendedType(BYTE btType, BYTE btSubtype) {
    return static_cast<WORD>(0x8000 | btType << 5 | (btSubtype & 0x1F));
}

// One map tile: its subfiles and what Open decoded from them.
struct CImgTile {
    std::string strName;
    CImgBytes tre, rgn, lbl, net;
    CImgBytes rgnData;
    CImgBytes labelData;
    unsigned nLabelShift = 0;
    BYTE btCoding = 0; // 6, 9 or 10
    WORD wCodePage = 0;
    UConverter* pConverter = nullptr; // eight-bit labels; null: Latin-1
    CImgBytes poi;
    unsigned nPoiShift = 0;
    CImgBytes roads; // NET road data
    unsigned nRoadShift = 0;
    CImgBytes ext[3]; // extended areas, lines and points (RGN)
    std::vector<CImgLevel> levels;
    std::vector<CImgSubdivision> subdivisions;
    std::vector<DWORD> copyrights; // label offsets
    CMapRect rcBounds;
    DWORD dwLabelBase = 0; // first label identity of this tile (see CImgParser)
};

class CImgParser;

// What FindNearest found: points with their types, positions and labels,
// read as find items through the parser that found them.
class CImgFindList : public CFindList {
public:
    explicit CImgFindList(CImgParser& parser) : m_parser(parser) {}
    DWORD Count() const override { return static_cast<DWORD>(m_items.size()); }
    bool Item(DWORD dwIndex, CFindItem& item, DWORD dwFlags) override;

    struct Entry {
        int nKind = rkPoint;
        WORD wType = 0;
        CMapPoint pt;
        DWORD dwLabelOffset = 0;
        std::int64_t llDistance2 = 0; // squared distance, map units (x scaled)
    };
    std::vector<Entry> m_items;

private:
    CImgParser& m_parser;
};

// One decoded element (polygon, polyline or point).
struct CImgElement {
    WORD wType = 0;
    DWORD dwLabel = 0;       // label identity; c_dwNone when none
    bool fOneWay = false;
    unsigned cPoints = 0;    // in the parser's point buffer
};

class CImgParser : public CMapParser {
public:
    explicit CImgParser(CMapCreateInfo&& info);
    ~CImgParser() override;

    bool Open(DWORD dwFlags) override;
    bool Draw(CPaintContext& pc, CLabelStore& labels) override;
    int GetLabel(unsigned uScaleIndex, int nKind, WORD wType, DWORD dwLabelOffset,
                 char16_t* pText, int* pnShield) override;
    void GetInfo(WORD* pwYear, BYTE* pbtMonth, BYTE* pbtDay, char16_t* pName,
                 std::size_t cchName, char16_t* pNotes, std::size_t cchNotes) const override;
    CTypeCatalogue* GetTypes() override;
    std::unique_ptr<CFindList> FindNearest(int nScaleCode, bool fUseViewLevel, LONG x, LONG y,
                                           DWORD dwRadiusMetres, const CTypeFilter* pFilter,
                                           const std::u16string& strName,
                                           CSearchProgress* pProgress) override;

    static constexpr DWORD c_dwNone = 0xFFFFFFFFu;

    const std::vector<CImgTile>& Tiles() const { return m_tiles; }
    BYTE XorKey() const { return m_btXor; }
    DWORD BlockSize() const { return m_cbBlock; }
    // The level of a tile a view's scale code selects.
    std::size_t SelectLevel(const CImgTile& tile, int nScaleCode) const;

    // Raw label text (control codes kept) of a label identity; -1 when it
    // lies outside every tile's labels.
    int ReadRawLabel(DWORD dwLabel, char16_t* pRaw, std::size_t cchRaw) const;

    // Decodes the elements of one section of a subdivision, calling fn for
    // each; fn returns false to stop. Points go to PointBuffer(). Returns
    // false when fn stopped the walk.
    template <class Fn>
    bool ForEachElement(const CImgTile& tile, const CImgSubdivision& sub, int nSection, Fn&& fn);
    // The same for the extended-type elements of one kind (ImgExtSection).
    template <class Fn>
    bool ForEachExtElement(const CImgTile& tile, const CImgSubdivision& sub, int nExt, Fn&& fn);
    const CMapPoint* PointBuffer() const { return m_vecPoints.data(); }

    // Work bound of the bit-stream decoder (points of one element).
    static constexpr std::size_t c_cMaxElementPoints = 1u << 18;

private:
    bool OpenContainer();
    bool OpenTile(CImgTile& tile, bool* pfEnciphered, int* pnBadCoding);
    bool DecodeElement(const CImgTile& tile, const CImgSubdivision& sub, int nSection,
                       CImgBytes section, DWORD& nPos, CImgElement& el);
    bool DecodeExtElement(const CImgTile& tile, const CImgSubdivision& sub, int nExt,
                          CImgBytes section, DWORD& nPos, CImgElement& el);
    unsigned DecodeBitstream(const BYTE* p, DWORD cb, BYTE btInfo, bool fExtraBit,
                             unsigned nShift, LONG x0, LONG y0);
    DWORD LabelIdentity(const CImgTile& tile, DWORD dwField, bool fNet, bool fPoi) const;

    std::vector<BYTE> m_vecUnmasked;           // the file unmasked, when keyed
    std::vector<std::vector<BYTE>> m_vecPieces; // subfiles assembled from scattered blocks
    CImgBytes m_file;
    BYTE m_btXor = 0;
    DWORD m_cbBlock = 0;
    std::vector<CImgTile> m_tiles;
    std::vector<CMapPoint> m_vecPoints;
    std::vector<POINT> m_vecScreen;
    std::unique_ptr<CTypeCatalogue> m_pTypes;
};

// The IMG format's registration record.
CMapFormat& ImgMapFormat();

// Six-bit label text (the label's bytes from its start to the end of the
// label data): letters capitalised after spaces, digits, symbols, control
// codes and shield codes 1-6. Returns the characters kept (at most cchRaw - 1).
std::size_t DecodeSixBitLabel(const BYTE* p, std::size_t cb, char16_t* pRaw, std::size_t cchRaw);

// Eight-bit text in a code page (0: the default code page; 65001: UTF-8).
// The converter is null when the code page is unknown (Latin-1 is read then).
UConverter* OpenCodePageConverter(WORD wCodePage);
void CloseCodePageConverter(UConverter* p);
// Converts cb bytes (at most 1024 are read) and keeps at most cchOut - 1
// characters, never half a surrogate pair; returns the characters kept.
std::size_t DecodeEightBit(UConverter* pConverter, const BYTE* p, std::size_t cb, char16_t* pOut,
                           std::size_t cchOut);

} // namespace velka
