#include "tools/mapc/zem_restrictions.h"

#include <unordered_map>

namespace velka::mapc {

namespace {

struct Step {
    LONG a, b;
    DWORD dwOffset;
};

class CPieces {
public:
    CPieces(const std::vector<RoadPiece>& pieces, DWORD cMapNodes) : m_pieces(pieces), m_cMapNodes(cMapNodes) {
        for (std::size_t i = 0; i < pieces.size(); ++i) m_byRoad[pieces[i].nRoadId].push_back(i);
    }

    // The record steps along road nRoad from node u to node v, passing only
    // nodes made by cutting; empty when there is no such way.
    std::vector<Step> Walk(int nRoad, LONG u, LONG v) const {
        auto it = m_byRoad.find(nRoad);
        if (it == m_byRoad.end()) return {};
        for (std::size_t p : it->second) {
            const auto& n = m_pieces[p].nodes;
            for (std::size_t k = 0; k < n.size(); ++k) {
                if (n[k] != u) continue;
                for (int d : {-1, 1}) {
                    if ((d < 0 && k == 0) || (d > 0 && k + 1 >= n.size())) continue;
                    std::vector<Step> steps;
                    if (Follow(it->second, p, k, d, v, steps)) return steps;
                }
            }
        }
        return {};
    }

private:
    bool Follow(const std::vector<std::size_t>& road, std::size_t p, std::size_t k, int d, LONG v,
                std::vector<Step>& steps) const {
        for (std::size_t guard = 0; guard < 4096; ++guard) {
            const auto& n = m_pieces[p].nodes;
            const std::size_t k2 = d > 0 ? k + 1 : k - 1;
            steps.push_back({n[k], n[k2], m_pieces[p].dwOffset});
            const LONG w = n[k2];
            if (w == v) return true;
            if (static_cast<DWORD>(w) < m_cMapNodes) return false;
            // A cut node: carry on in the piece that continues there.
            if ((d > 0 && k2 + 1 < n.size()) || (d < 0 && k2 > 0)) {
                k = k2;
                continue;
            }
            bool fFound = false;
            for (std::size_t q : road) {
                if (q == p) continue;
                const auto& m = m_pieces[q].nodes;
                for (std::size_t j = 0; j < m.size() && !fFound; ++j) {
                    if (m[j] != w) continue;
                    if (j + 1 < m.size()) p = q, k = j, d = 1, fFound = true;
                    else if (j > 0) p = q, k = j, d = -1, fFound = true;
                }
                if (fFound) break;
            }
            if (!fFound) return false;
        }
        return false;
    }

    const std::vector<RoadPiece>& m_pieces;
    DWORD m_cMapNodes;
    std::unordered_map<int, std::vector<std::size_t>> m_byRoad;
};

} // namespace

std::size_t EncodeRestrictions(const std::vector<CMapcRestriction>& restrictions,
                               const std::vector<RoadPiece>& pieces, DWORD cMapNodes, unsigned cNodeBits,
                               unsigned cRoadBits, CBitWriter& out, std::size_t& cDropped) {
    const CPieces roads(pieces, cMapNodes);
    std::size_t cRecords = 0;
    for (std::size_t i = 0; i < restrictions.size();) {
        // One forbidden row: this turn and those it continues into.
        std::size_t e = i;
        while (e + 1 < restrictions.size() && restrictions[e].fContinues) ++e;
        std::vector<Step> path;
        bool fOk = cNodeBits > 0;
        const CMapcRestriction& r0 = restrictions[i];
        const std::vector<Step> in = roads.Walk(r0.nFromRoad, r0.lNode, r0.lFromNode);
        if (in.empty()) fOk = false;
        else path.push_back({in.front().b, in.front().a, in.front().dwOffset}); // the last step into the via
        for (std::size_t k = i; k <= e && fOk; ++k) {
            const CMapcRestriction& r = restrictions[k];
            std::vector<Step> s = roads.Walk(r.nToRoad, r.lNode, r.lToNode);
            if (s.empty()) fOk = false;
            else if (k == e) path.push_back(s.front());
            else path.insert(path.end(), s.begin(), s.end());
        }
        if (!fOk) {
            cDropped += e - i + 1;
            i = e + 1;
            continue;
        }
        for (std::size_t k = 1; k < path.size(); ++k) {
            out.WriteBits(static_cast<std::uint32_t>(path[k - 1].a), cNodeBits);
            out.WriteBits(static_cast<std::uint32_t>(path[k - 1].b), cNodeBits);
            out.WriteBits(static_cast<std::uint32_t>(path[k].b), cNodeBits);
            out.WriteBits(path[k - 1].dwOffset, cRoadBits);
            out.WriteBits(path[k].dwOffset, cRoadBits);
            // The extra bits: the vehicles bound (8 bits), and whether the
            // next record continues this forbidden row.
            const bool fContinues = k + 1 < path.size();
            if (r0.btVehicles == 0xFF && !fContinues) {
                out.WriteBits(0, 1);
            } else {
                out.WriteBits(1, 1);
                out.WriteBits(9, 5);
                out.WriteBits(r0.btVehicles, 8);
                out.WriteBits(fContinues, 1);
            }
            ++cRecords;
        }
        i = e + 1;
    }
    return cRecords;
}

} // namespace velka::mapc
