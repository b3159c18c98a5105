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
    layout.ofsLabels = out.size();
    out.insert(out.end(), area.bytes.begin(), area.bytes.end());
    stats.cbLabels = area.bytes.size();
    return true;
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
