// Encoder stages 5-7: where everything lies in the file, the turn
// restrictions that name road records by their offsets, and the header.
#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "mapdata/zem_bits.h"
#include "tools/mapc/zem_encode.h"
#include "tools/mapc/zem_restrictions.h"

namespace velka::mapc::enc {

using namespace zem;

void Put16(std::vector<BYTE>& v, std::size_t ofs, std::uint32_t x) {
    v[ofs] = static_cast<BYTE>(x);
    v[ofs + 1] = static_cast<BYTE>(x >> 8);
}
void Put32(std::vector<BYTE>& v, std::size_t ofs, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v[ofs + i] = static_cast<BYTE>(x >> (8 * i));
}
void Append32(std::vector<BYTE>& v, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<BYTE>(x >> (8 * i)));
}
void Append16(std::vector<BYTE>& v, std::uint32_t x) {
    v.push_back(static_cast<BYTE>(x));
    v.push_back(static_cast<BYTE>(x >> 8));
}

namespace {

unsigned LengthBytes(std::size_t n) { return n == 0 ? 0 : n < 256 ? 1 : n < 65536 ? 2 : 3; }

} // namespace

bool LayOutFile(const CCodes& codes, CBlocks& blocks, const CLabelArea& area, std::vector<BYTE>& out,
                CLayout& layout, CMapcStats& stats, std::string& strError) {
    const std::size_t cLevels = blocks.levels.size();
    out.assign(c_cbHeader, 0);
    layout.ofsTables = out.size();
    out.insert(out.end(), codes.serialised.begin(), codes.serialised.end());
    stats.cbTables = codes.serialised.size();
    layout.ofsLevels = out.size();
    out.resize(out.size() + cLevels * c_cbLevelEntry);
    layout.ofsLabels = out.size();
    out.insert(out.end(), area.bytes.begin(), area.bytes.end());
    stats.cbLabels = area.bytes.size();
    layout.ofsBlockTable.assign(cLevels, 0);
    std::size_t ofs = out.size();
    for (std::size_t k = cLevels; k-- > 0;) {
        layout.ofsBlockTable[k] = ofs;
        for (const Block& b : blocks.levels[k]) {
            ofs += c_cbBlockHeader;
            for (int s = 0; s < 3; ++s) ofs += LengthBytes(b.sections[s].size());
        }
    }
    for (std::size_t k = cLevels; k-- > 0;) {
        for (Block& b : blocks.levels[k]) {
            b.dwDataOffset = static_cast<DWORD>(ofs);
            for (int s = 0; s < 3; ++s) ofs += b.sections[s].size();
        }
    }
    if (ofs >= (std::size_t{1} << 24)) {
        strError = "the map's object data exceeds 16 MiB; split the input into several maps";
        return false;
    }
    for (std::size_t k = cLevels; k-- > 0;) {
        for (const Block& b : blocks.levels[k]) {
            Append32(out, static_cast<std::uint32_t>(b.x));
            Append32(out, static_cast<std::uint32_t>(b.y));
            Append16(out, static_cast<std::uint32_t>(b.w));
            Append16(out, static_cast<std::uint32_t>(b.h));
            std::uint32_t dw = b.dwDataOffset;
            for (int s = 0; s < 3; ++s) dw |= LengthBytes(b.sections[s].size()) << (24 + 2 * s);
            Append32(out, dw);
            for (int s = 0; s < 3; ++s) {
                const std::size_t n = b.sections[s].size();
                for (unsigned i = 0; i < LengthBytes(n); ++i) out.push_back(static_cast<BYTE>(n >> (8 * i)));
            }
        }
    }
    for (std::size_t k = cLevels; k-- > 0;) {
        for (const Block& b : blocks.levels[k]) {
            for (int s = 0; s < 3; ++s) {
                out.insert(out.end(), b.sections[s].begin(), b.sections[s].end());
                stats.cbObjects += b.sections[s].size();
            }
            ++stats.cBlocks;
        }
    }
    return true;
}

unsigned NeededRefBits(const CMapcMap& map, const CBlocks& blocks, const CLabelArea& area, const CLayout& layout) {
    std::uint32_t dwMax = area.bytes.empty() ? 0 : static_cast<std::uint32_t>(area.bytes.size() - 1);
    for (const CMapcCity& c : map.indexes.cities) {
        if (c.nPointId < 0) continue;
        const DWORD dw = blocks.RecordOffset(c.nPointId);
        if (dw > layout.ofsLabels) dwMax = std::max<std::uint32_t>(dwMax, dw - static_cast<DWORD>(layout.ofsLabels));
    }
    return BitLen(dwMax);
}

namespace {

// Appends a bit writer's bytes at a 4-byte boundary; returns the offset.
std::size_t AppendArea(std::vector<BYTE>& out, CBitWriter& bw) {
    while (out.size() % 4) out.push_back(0);
    const std::size_t ofs = out.size();
    out.insert(out.end(), bw.Bytes().begin(), bw.Bytes().end());
    return ofs;
}

} // namespace

void WriteCitiesIndex(const CMapcMap& map, const CQuantised& q, const CBlocks& blocks, const CLabelArea& area,
                      std::vector<BYTE>& out, CLayout& layout, CMapcStats& stats) {
    const CMapcIndexes& ix = map.indexes;
    if (!ix.fCities) return;
    const std::size_t ofsStart = out.size();
    const unsigned R = area.cRefBits;
    const std::vector<Label>& labels = q.labels.Items();
    auto ref = [&](int nLabel) { return static_cast<std::uint32_t>(labels[nLabel].lAreaOffset); };
    while (out.size() % 4) out.push_back(0);
    layout.ofsCities = out.size();
    out.resize(out.size() + c_cbPaiNames, 0);
    const unsigned C = ix.countries.empty() ? 0 : BitLen(static_cast<std::uint32_t>(ix.countries.size() - 1));
    const unsigned G = ix.regions.empty() ? 0 : BitLen(static_cast<std::uint32_t>(ix.regions.size() - 1));
    CBitWriter countries, regions, cities;
    for (int l : q.indexLabels.countries) countries.WriteBits(ref(l), R);
    for (std::size_t i = 0; i < ix.regions.size(); ++i) {
        regions.WriteBits(ix.regions[i].nCountry, C);
        regions.WriteBits(ref(q.indexLabels.regions[i]), R);
    }
    for (std::size_t i = 0; i < ix.cities.size(); ++i) {
        const CMapcCity& c = ix.cities[i];
        const DWORD dwPoint = c.nPointId >= 0 ? blocks.RecordOffset(c.nPointId) : 0;
        const bool fPosition = dwPoint > layout.ofsLabels;
        cities.WriteBits(c.nRegion, G);
        cities.WriteBits(fPosition, 1);
        if (fPosition) {
            cities.WriteBits(dwPoint - static_cast<DWORD>(layout.ofsLabels), R);
        } else {
            // A city whose point was not written keeps its bare name.
            cities.WriteBits(ref(q.indexLabels.cities[i]), R);
        }
    }
    const std::size_t p = layout.ofsCities;
    Put32(out, p + 0, static_cast<std::uint32_t>(AppendArea(out, countries)));
    Put32(out, p + 4, static_cast<std::uint32_t>(ix.countries.size()));
    Put32(out, p + 8, static_cast<std::uint32_t>(AppendArea(out, regions)));
    Put32(out, p + 12, static_cast<std::uint32_t>(ix.regions.size()));
    Put32(out, p + 16, static_cast<std::uint32_t>(AppendArea(out, cities)));
    Put32(out, p + 20, static_cast<std::uint32_t>(ix.cities.size()));
    for (int t = 0; t < 3; ++t) {
        CBitWriter names;
        for (int l : q.indexLabels.names[t]) names.WriteBits(ref(l), R);
        Put32(out, p + 24 + 8 * t, static_cast<std::uint32_t>(AppendArea(out, names)));
        Put32(out, p + 28 + 8 * t, static_cast<std::uint32_t>(ix.names[t].size()));
    }
    stats.cbCitiesIndex = out.size() - ofsStart;
}

void WriteObjectsIndex(const CMapcMap& map, const CBlocks& blocks, std::vector<BYTE>& out, CLayout& layout,
                       CMapcStats& stats) {
    const CMapcIndexes& ix = map.indexes;
    if (!ix.fObjects) return;
    const std::size_t ofsStart = out.size();
    // Record references from the first block's data.
    DWORD dwBase = 0xFFFFFFFF;
    for (const auto& level : blocks.levels)
        for (const Block& b : level) dwBase = std::min(dwBase, b.dwDataOffset);
    if (dwBase == 0xFFFFFFFF) dwBase = 0;
    std::uint32_t dwMaxRef = 0, cMaxTypes = 0, cMaxCount = 0;
    std::size_t cEntries = 0;
    const std::size_t cGroups = ix.cities.size() + 1;
    struct Cat {
        std::vector<std::pair<int, WORD>> types;
        std::vector<std::uint32_t> counts;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> entries; // reference, type index
    };
    std::vector<Cat> cats(ix.categories.size());
    for (std::size_t c = 0; c < ix.categories.size(); ++c) {
        Cat& cat = cats[c];
        cat.counts.assign(cGroups, 0);
        for (const CMapcIndexEntry& e : ix.categories[c].entries) {
            const DWORD dw = blocks.RecordOffset(e.nIndexId);
            if (dw < dwBase || dw == 0) continue;
            const std::pair<int, WORD> pair{e.nKind, e.wType};
            auto it = std::find(cat.types.begin(), cat.types.end(), pair);
            const auto t = static_cast<std::uint32_t>(it - cat.types.begin());
            if (it == cat.types.end()) cat.types.push_back(pair);
            cat.entries.push_back({dw - dwBase, t});
            ++cat.counts[static_cast<std::size_t>(e.nCity + 1)];
            dwMaxRef = std::max(dwMaxRef, dw - dwBase);
        }
        cMaxTypes = std::max<std::uint32_t>(cMaxTypes, static_cast<std::uint32_t>(cat.types.size()));
        for (std::uint32_t n : cat.counts) cMaxCount = std::max(cMaxCount, n);
        cEntries += cat.entries.size();
    }
    const unsigned W1 = BitLen(dwMaxRef);
    const unsigned W2 = cMaxTypes ? BitLen(cMaxTypes - 1) : 0;
    const unsigned W3 = BitLen(cMaxCount);
    const std::size_t cbCounts = (cGroups * W3 + 7) / 8;
    const std::size_t cbStride = (12 + cbCounts + 3) / 4 * 4;

    while (out.size() % 4) out.push_back(0);
    layout.ofsObjects = out.size();
    out.resize(out.size() + c_cbObjectsIndex, 0);
    const std::size_t ofsCategories = out.size();
    out.resize(out.size() + cats.size() * cbStride, 0);
    CBitWriter entries;
    std::uint32_t nFirst = 0;
    for (std::size_t c = 0; c < cats.size(); ++c) {
        const std::size_t e = ofsCategories + c * cbStride;
        CBitWriter types;
        for (const auto& [k, w] : cats[c].types) {
            types.WriteBits(static_cast<std::uint32_t>(k), 2);
            types.WriteBits(w, 16);
        }
        const std::size_t ofsTypes = AppendArea(out, types);
        Put16(out, e, static_cast<std::uint16_t>(ix.categories[c].nKey));
        Put16(out, e + 2, static_cast<std::uint32_t>(cats[c].types.size()));
        Put32(out, e + 4, static_cast<std::uint32_t>(ofsTypes - e));
        Put32(out, e + 8, nFirst);
        CBitWriter counts;
        for (std::uint32_t n : cats[c].counts) counts.WriteBits(n, W3);
        std::copy(counts.Bytes().begin(), counts.Bytes().end(), out.begin() + static_cast<std::ptrdiff_t>(e + 12));
        for (const auto& [r, t] : cats[c].entries) {
            entries.WriteBits(r, W1);
            entries.WriteBits(t, W2);
        }
        nFirst += static_cast<std::uint32_t>(cats[c].entries.size());
    }
    const std::size_t ofsEntries = AppendArea(out, entries);
    const std::size_t h = layout.ofsObjects;
    Put32(out, h + 0, dwBase);
    Put32(out, h + 4, W1);
    Put32(out, h + 8, W2);
    Put32(out, h + 12, static_cast<std::uint32_t>(ofsEntries));
    Put32(out, h + 16, static_cast<std::uint32_t>(cEntries));
    Put32(out, h + 20, static_cast<std::uint32_t>(ofsCategories));
    Put32(out, h + 28, static_cast<std::uint32_t>(cbStride));
    Put32(out, h + 32, 0);
    Put32(out, h + 36, static_cast<std::uint32_t>(cats.size()));
    Put32(out, h + 48, W3);
    stats.cbObjectsIndex = out.size() - ofsStart;
}

void WriteRestrictions(const CMapcMap& map, const CBlocks& blocks, DWORD cNodes, std::vector<BYTE>& out,
                       CLayout& layout, CMapcStats& stats) {
    std::vector<RoadPiece> roads;
    std::uint32_t dwMaxRoad = 0;
    for (const PendingRoad& r : blocks.roads) {
        const Block& b = blocks.levels[r.nLevel][r.nBlock];
        roads.push_back({r.nRoadId, r.nodes,
                         static_cast<DWORD>(b.dwDataOffset + b.sections[0].size() + r.ofsInSection)});
        dwMaxRoad = std::max(dwMaxRoad, roads.back().dwOffset);
    }
    layout.cRoadBits = BitLen(dwMaxRoad);
    const unsigned cNodeBits = cNodes ? BitLen(cNodes - 1) : 0;
    // Roads cut at block borders got new nodes from map.cNodes on.
    CBitWriter restr;
    layout.cRestrictions = static_cast<DWORD>(EncodeRestrictions(map.restrictions, roads, map.cNodes, cNodeBits,
                                                                 layout.cRoadBits, restr, stats.cRestrictionsDropped));
    stats.cRestrictionRecords = layout.cRestrictions;
    layout.ofsRestrictions = out.size();
    out.insert(out.end(), restr.Bytes().begin(), restr.Bytes().end());
}

void WriteHeader(const CMapcMap& map, const CQuantised& q, const CBlocks& blocks, const CLabelArea& area,
                 const CLayout& layout, std::vector<BYTE>& out) {
    // Level table, coarsest first.
    for (std::size_t k = 0; k < blocks.levels.size(); ++k) {
        const std::size_t e = layout.ofsLevels + k * c_cbLevelEntry;
        Put32(out, e, static_cast<std::uint32_t>(layout.ofsBlockTable[k]));
        Put16(out, e + 4, static_cast<std::uint32_t>(blocks.levels[k].size()));
        Put16(out, e + 6, static_cast<std::uint32_t>(map.levels[k].nBits));
    }
    std::memcpy(out.data() + c_ofsMagic, "GZEM", 4);
    Put32(out, c_ofsVersion, 1);
    Put32(out, c_ofsFileSize, static_cast<std::uint32_t>(out.size()));
    auto dbl = [](LONG v) {
        return static_cast<std::uint32_t>(std::clamp<std::int64_t>(std::int64_t{v} * 2, INT32_MIN, INT32_MAX));
    };
    Put32(out, c_ofsBounds, dbl(q.rcBounds.left));
    Put32(out, c_ofsBounds + 4, dbl(q.rcBounds.top));
    Put32(out, c_ofsBounds + 8, dbl(q.rcBounds.right));
    Put32(out, c_ofsBounds + 12, dbl(q.rcBounds.bottom));
    Put16(out, c_ofsFinestCode, static_cast<std::uint32_t>(map.levels.back().nBits));
    Put16(out, c_ofsCoarsestCode, static_cast<std::uint32_t>(map.levels.front().nBits));
    Put16(out, c_ofsYear, map.wYear);
    out[c_ofsMonth] = map.btMonth;
    out[c_ofsDay] = map.btDay;
    for (std::size_t i = 0; i < map.strName.size() && i < c_cchName; ++i) Put16(out, c_ofsName + 2 * i, map.strName[i]);
    for (std::size_t i = 0; i < map.strNotes.size() && i < c_cchNotes; ++i)
        Put16(out, c_ofsNotes + 2 * i, map.strNotes[i]);
    Put32(out, c_ofsMapId, map.dwMapId);
    Put32(out, c_ofsFlags, map.indexes.fCities && map.indexes.fMergeCities ? c_dwFlagMergeCities : 0);
    Put32(out, c_ofsCities, static_cast<std::uint32_t>(layout.ofsCities));
    Put32(out, c_ofsObjectsIndex, static_cast<std::uint32_t>(layout.ofsObjects));
    Put32(out, c_ofsTables, static_cast<std::uint32_t>(layout.ofsTables));
    Put32(out, c_ofsLabels, static_cast<std::uint32_t>(layout.ofsLabels));
    Put32(out, c_ofsLabelRefBits, area.cRefBits);
    Put32(out, c_ofsLevels, static_cast<std::uint32_t>(layout.ofsLevels));
    Put32(out, c_ofsLevelCount, static_cast<std::uint32_t>(blocks.levels.size()));
    Put32(out, c_ofsBiasX, static_cast<std::uint32_t>(c_lBias));
    Put32(out, c_ofsBiasY, static_cast<std::uint32_t>(c_lBias));
    for (std::size_t i = 0; i < map.strSource.size() && i + 1 < c_cbSource; ++i)
        out[c_ofsSource + i] = static_cast<BYTE>(map.strSource[i]);
    Put32(out, c_ofsLocale, map.dwLocale);
    Put32(out, c_ofsFlags2, map.fMetres ? 1 : 0);
    Put32(out, c_ofsNodes, q.cNodes);
    Put32(out, c_ofsRestrictionCount, layout.cRestrictions);
    Put32(out, c_ofsRestrictionOffset, layout.cRestrictions ? static_cast<std::uint32_t>(layout.ofsRestrictions) : 0);
    Put32(out, c_ofsRoadOffsetBits, layout.cRoadBits);
}

} // namespace velka::mapc::enc
