// The encoder's stages, in the order EncodeZem runs them: labels and
// quantisation per level, Huffman statistics, the shared label area,
// block records, file layout, turn restrictions and the header. Each stage
// is a function of the previous stages' results, so each can be tested on
// its own.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "mapdata/zem_format.h"
#include "tools/mapc/zem_writer.h"

namespace velka::mapc::enc {

constexpr LONG c_lBias = 32768;      // deltas -32768 .. 32767
constexpr LONG c_lMaxDelta = 32767;
constexpr LONG c_lMaxExtent = 30000; // an object's extent in level units
constexpr LONG c_lCell = 32768;      // block grid; blocks stay below 65536 units
constexpr std::size_t c_cMaxPerBlock = 200;
constexpr std::size_t c_cMaxLabel = 120;
constexpr unsigned c_nMaxCodeBits = 24;

struct QPoint {
    LONG x;
    LONG y;
    friend bool operator==(const QPoint&, const QPoint&) = default;
};

// One object in level units, ready to be written into a block.
struct QObj {
    int nKind = rkPoint;
    WORD wType = 0;
    int nLabel = -1; // index into the label list
    bool fOneWay = false;
    bool fUnderlay = false;
    std::vector<QPoint> pts;
    std::vector<LONG> nodes; // empty when no routing data
    WORD wRoadFlags = 0;
    int nRoadId = -1;
    int nIndexId = -1;
    bool fAddress = false;
    DWORD adwAddress[4] = {};
    LONG minX = 0, minY = 0, maxX = 0, maxY = 0;
    void Bound();
};

// A distinct (encoding, text); texts used more than once live in the
// shared label area at lAreaOffset.
struct Label {
    unsigned nEncoding = zem::c_nLabelInline1;
    std::u16string text;
    int cUses = 0;
    long lAreaOffset = -1;
    bool Shared() const { return cUses >= 2; }
};

class CLabelList {
public:
    // The label of an object (-1 when it has none), counting one more use.
    int Add(const CMapcObject& o);
    // A name the indexes refer to: always stored in the shared label area.
    int AddShared(const std::u16string& text);
    std::vector<Label>& Items() { return m_items; }
    const std::vector<Label>& Items() const { return m_items; }

private:
    std::vector<Label> m_items;
    std::map<std::pair<unsigned, std::u16string>, int> m_index;
};

// Stage 1: every level quantised to its resolution, objects cut to the
// block extent, labels collected.
// The labels of the cities index's names.
struct CIndexLabels {
    std::vector<int> countries, regions, cities; // city: -1 when it references its point
    std::vector<int> names[3];
};

struct CQuantised {
    std::vector<std::vector<QObj>> levels; // coarsest first
    CLabelList labels;
    CIndexLabels indexLabels;
    bool fAddressData = false;
    DWORD acAddressValues[4] = {}; // largest value of each attribute
    CMapRect rcBounds = CMapRect::MakeEmpty();
    DWORD cNodes = 0; // road-graph nodes, grown where roads were cut
};
bool QuantiseLevels(const CMapcMap& map, CQuantised& q, std::string& strError);
// The names of the cities index, added to the label list.
void CollectIndexLabels(const CMapcMap& map, CQuantised& q);

// Helpers of stage 1, exposed for their tests.
void LimitSteps(QObj& o);
void FitObject(QObj&& o, std::vector<QObj>& out, DWORD* pcNodes);

// Stage 2: the ten decoding tables built from the data's own statistics.
struct CCodes {
    CHuffmanCode tables[zem::c_cTables];
    CHuffmanCode& operator()(int t) { return tables[t - 1]; }
    const CHuffmanCode& operator()(int t) const { return tables[t - 1]; }
    std::vector<BYTE> serialised; // tables 1-10 (and 11-14) as stored in the file
    DWORD acAddressWidth[4] = {};  // bits of the four address values
};
void BuildCodes(const CQuantised& q, CCodes& codes);

// Writes a label (its length and characters; the caller writes the 2-bit
// encoding first).
void WriteLabelText(CBitWriter& w, const Label& lb, const CCodes& codes);

// Stage 3: the shared label area; sets each shared label's offset.
struct CLabelArea {
    std::vector<BYTE> bytes;
    unsigned cRefBits = 0;
};
// References are at least cMinRefBits wide (the layout may need more
// than the label area: see NeededRefBits).
void WriteLabelArea(CLabelList& labels, const CCodes& codes, CLabelArea& area, unsigned cMinRefBits = 0);

// Stage 4: the blocks of every level with their three encoded sections.
struct Block {
    LONG x = 0, y = 0;
    LONG w = 0, h = 0;
    std::vector<int> members; // by index in the level's objects
    std::vector<BYTE> sections[3]; // polygons, polylines, points
    DWORD dwDataOffset = 0;
};
struct PendingRoad {
    std::size_t nLevel = 0, nBlock = 0;
    std::size_t ofsInSection = 0; // in the polyline section
    int nRoadId = -1;
    std::vector<LONG> nodes;
};
// Where the finest-level record of an indexed object was written.
struct RecordPos {
    std::size_t nBlock = 0;
    int nSection = 0; // 0 polygons, 1 polylines, 2 points
    std::size_t ofsInSection = 0;
};
struct CBlocks {
    std::vector<std::vector<Block>> levels; // coarsest first, as the quantised levels
    std::vector<PendingRoad> roads;
    std::map<int, RecordPos> records; // by index id
    // File offset of a record once the layout has placed the blocks.
    DWORD RecordOffset(const RecordPos& r) const;
    DWORD RecordOffset(int nIndexId) const; // 0 when not written
};
// Groups a level's objects into blocks: a grid of cells, then a quadtree
// inside each cell so that no block holds more than c_cMaxPerBlock objects;
// underlay objects (the sea) first, in blocks of their own.
std::vector<Block> PlanBlocks(const std::vector<QObj>& objs);
bool EncodeBlocks(const CQuantised& q, const CCodes& codes, const CLabelArea& area, CBlocks& blocks,
                  CMapcStats& stats, std::string& strError);

// Stage 5: the file laid out: header space, tables, level table, label
// area, then block tables and block data (finest level first). The label
// area lies before the blocks so that a reference from the label base can
// reach a point record (the cities index names a city by its place point).
struct CLayout {
    std::size_t ofsTables = 0, ofsLevels = 0, ofsLabels = 0, ofsRestrictions = 0;
    std::size_t ofsCities = 0, ofsObjects = 0;
    std::vector<std::size_t> ofsBlockTable; // per level, coarsest first
    DWORD cRestrictions = 0;
    unsigned cRoadBits = 0;
};
bool LayOutFile(const CCodes& codes, CBlocks& blocks, const CLabelArea& area, std::vector<BYTE>& out,
                CLayout& layout, CMapcStats& stats, std::string& strError);

// The label-reference width the layout needs: shared labels and the
// place points of cities, relative to the label base.
unsigned NeededRefBits(const CMapcMap& map, const CBlocks& blocks, const CLabelArea& area, const CLayout& layout);

// Stage 6: the cities index (PAI header, countries, regions, cities and
// the three name tables) and the objects index, appended to the file.
void WriteCitiesIndex(const CMapcMap& map, const CQuantised& q, const CBlocks& blocks, const CLabelArea& area,
                      std::vector<BYTE>& out, CLayout& layout, CMapcStats& stats);
void WriteObjectsIndex(const CMapcMap& map, const CBlocks& blocks, std::vector<BYTE>& out, CLayout& layout,
                       CMapcStats& stats);

// Stage 7: turn restrictions naming the road records by file offset.
void WriteRestrictions(const CMapcMap& map, const CBlocks& blocks, DWORD cNodes, std::vector<BYTE>& out,
                       CLayout& layout, CMapcStats& stats);

// Stage 8: level table and header.
void WriteHeader(const CMapcMap& map, const CQuantised& q, const CBlocks& blocks, const CLabelArea& area,
                 const CLayout& layout, std::vector<BYTE>& out);

// Little-endian stores into a byte vector.
void Put16(std::vector<BYTE>& v, std::size_t ofs, std::uint32_t x);
void Put32(std::vector<BYTE>& v, std::size_t ofs, std::uint32_t x);
void Append16(std::vector<BYTE>& v, std::uint32_t x);
void Append32(std::vector<BYTE>& v, std::uint32_t x);

} // namespace velka::mapc::enc
