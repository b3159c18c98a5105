// The restriction stream of a native map: forbidden turns written against
// the road records as they were finally cut, so that a road split at a
// block border keeps its restrictions.
#pragma once
#include <cstddef>
#include <vector>

#include "tools/mapc/zem_writer.h"

namespace velka::mapc {

// A road record as written: its road id, its node numbers in order (cut
// nodes included) and its file offset.
struct RoadPiece {
    int nRoadId = -1;
    std::vector<LONG> nodes;
    DWORD dwOffset = 0;
};

// Appends the records to out; nodes at or above cMapNodes were made by
// cutting roads. Returns the records written; turns whose roads cannot be
// found are counted in cDropped.
std::size_t EncodeRestrictions(const std::vector<CMapcRestriction>& restrictions,
                               const std::vector<RoadPiece>& pieces, DWORD cMapNodes, unsigned cNodeBits,
                               unsigned cRoadBits, CBitWriter& out, std::size_t& cDropped);

} // namespace velka::mapc
