// Writing native map files: the model of a map as levels of objects in map
// units, and its encoding (quantisation per level, blocks, Huffman tables
// built from the data's own statistics, shared labels, routing data).
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "geometry/map_types.h"
#include "platform/win_types.h"

namespace velka::mapc {

struct CMapcObject {
    int nKind = rkPoint;
    WORD wType = 0;
    std::u16string strLabel;
    bool fOneWay = false; // draw direction arrows
    bool fUnderlay = false; // in blocks of its own drawn before all others
    std::vector<CMapPoint> points; // map units
    // Routing data, used at the finest level only: per point the node
    // number or -1 (empty when the line is no road), the road flags and the
    // road's identity for turn restrictions.
    std::vector<LONG> nodes;
    WORD wRoadFlags = 0;
    int nRoadId = -1;
    // Identity of the object for the search indexes (the same on every
    // level it appears on), -1 for none; the finest level's record is the
    // one the indexes point at.
    int nIndexId = -1;
    // Address attributes: 1-based indexes of the city and of the postcode,
    // street and house number in the name tables; 0 = not set.
    bool fAddress = false;
    DWORD adwAddress[4] = {};
};

// Turn restrictions read and dropped, with the reasons.
struct RestrictionSummary {
    std::size_t cRead = 0;
    std::size_t cWritten = 0; // turn records written to the map
    std::map<std::string, std::size_t> dropped;
    void Drop(const std::string& strReason, std::size_t n = 1) { dropped[strReason] += n; }
    std::string Text() const;
};

struct CMapcLevel {
    int nBits = 24;
    std::vector<CMapcObject> objects;
};

// A forbidden turn: from road nFromRoad through node lNode into nToRoad.
// lFromNode and lToNode are the neighbouring nodes along the two roads.
// btVehicles: bit v binds vehicle v (0 pedestrian .. 7 truck). With
// fContinues the turn and the next one form one forbidden row of turns
// (a restriction over via ways): the next turn starts on this one's to road.
struct CMapcRestriction {
    LONG lFromNode = 0;
    LONG lNode = 0;
    LONG lToNode = 0;
    int nFromRoad = -1;
    int nToRoad = -1;
    BYTE btVehicles = 0xFF;
    bool fContinues = false;
};

// The search indexes of a map: countries, regions and cities with the name
// tables of addresses (the cities index) and the named objects by category
// (the objects index).
struct CMapcRegion {
    std::u16string strName;
    DWORD nCountry = 0;
};
struct CMapcCity {
    std::u16string strName;
    DWORD nRegion = 0;
    int nPointId = -1; // nIndexId of its place point, -1 when it has no position
};
struct CMapcIndexEntry {
    int nIndexId = -1; // the record
    int nKind = rkPoint;
    WORD wType = 0;
    int nCity = -1;    // -1: no city
};
struct CMapcCategory {
    short nKey = 0;
    // Entries grouped by city (no city first, then city 0, 1, ...) and
    // sorted by name within a group.
    std::vector<CMapcIndexEntry> entries;
};
struct CMapcIndexes {
    bool fCities = false;  // write the cities index and the address attributes
    bool fObjects = false; // write the objects index
    bool fMergeCities = true;
    std::vector<std::u16string> countries;
    std::vector<CMapcRegion> regions;
    std::vector<CMapcCity> cities; // sorted by their item text
    std::vector<std::u16string> names[3]; // postcodes, streets, house numbers
    std::vector<CMapcCategory> categories;
};

struct CMapcMap {
    std::u16string strName;
    std::u16string strNotes; // "|" separates lines
    WORD wYear = 0;
    BYTE btMonth = 0;
    BYTE btDay = 0;
    std::string strSource = "OSM";
    DWORD dwLocale = 0;
    DWORD dwMapId = 0;
    bool fMetres = true;
    std::vector<CMapcLevel> levels; // coarsest first
    DWORD cNodes = 0;
    std::vector<CMapcRestriction> restrictions;
    RestrictionSummary restrictionSummary; // what the compiler read and dropped
    std::vector<std::string> warnings;     // what the compiler left out, and why
    CMapRect rcBounds = CMapRect::MakeEmpty(); // empty: computed from the objects
    CMapcIndexes indexes;
};

struct CMapcStats {
    std::size_t cObjects[3] = {};  // finest level, by kind
    std::size_t cRestrictionRecords = 0; // turn records written
    std::size_t cRestrictionsDropped = 0; // turns whose roads were not found
    std::size_t cBlocks = 0;
    std::size_t cbLabels = 0;
    std::size_t cbTables = 0;
    std::size_t cbObjects = 0;
    std::size_t cbCitiesIndex = 0;  // PAI, arrays and name tables
    std::size_t cbObjectsIndex = 0;
};

// Encodes the map; false with a message when it cannot be written (too
// much block data for the 24-bit offsets, too many blocks in a level).
bool EncodeZem(const CMapcMap& map, std::vector<BYTE>& out, std::string& strError,
               CMapcStats* pStats = nullptr);

// Little-endian bit writer: the first bit written is bit 0 of the first byte.
class CBitWriter {
public:
    void WriteBits(std::uint32_t v, unsigned n) {
        for (unsigned i = 0; i < n; ++i) {
            if (m_nBit == 0) m_bytes.push_back(0);
            if ((v >> i) & 1) m_bytes.back() = static_cast<BYTE>(m_bytes.back() | (1u << m_nBit));
            m_nBit = (m_nBit + 1) & 7;
        }
    }
    // Pads to the next byte boundary (records start on whole bytes).
    void Align() { m_nBit = 0; }
    std::size_t BitCount() const {
        return m_nBit ? (m_bytes.size() - 1) * 8 + m_nBit : m_bytes.size() * 8;
    }
    std::size_t Size() const { return m_bytes.size(); }
    std::vector<BYTE>& Bytes() { return m_bytes; }

private:
    std::vector<BYTE> m_bytes;
    unsigned m_nBit = 0;
};

// A Huffman code built from symbol counts: per symbol its length and its
// bits in stream order (first code bit lowest).
class CHuffmanCode {
public:
    void Count(std::uint32_t dwSymbol, std::uint64_t n = 1) { m_counts[dwSymbol] += n; }
    // Builds codes no longer than cMaxBits; a single symbol gets length 0.
    void Build(unsigned cMaxBits = 24);
    void Write(CBitWriter& bw, std::uint32_t dwSymbol) const;
    // The table as stored in the file.
    void Serialise(std::vector<BYTE>& out) const;
    bool Has(std::uint32_t dwSymbol) const { return m_codes.count(dwSymbol) != 0; }
    bool Empty() const { return m_counts.empty(); }
    std::uint32_t Maximum() const;

private:
    struct Code {
        unsigned cBits = 0;
        std::uint32_t dwBits = 0; // stream order
    };
    std::map<std::uint32_t, std::uint64_t> m_counts;
    std::map<std::uint32_t, Code> m_codes;
};

} // namespace velka::mapc
