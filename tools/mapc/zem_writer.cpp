#include "tools/mapc/zem_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <queue>
#include <unordered_map>

#include "mapdata/zem_bits.h"
#include "tools/mapc/zem_encode.h"

namespace velka::mapc {

using namespace zem;

// ---------------------------------------------------------------------------
// Huffman codes.

void CHuffmanCode::Build(unsigned cMaxBits) {
    m_codes.clear();
    if (m_counts.empty()) return;
    if (m_counts.size() == 1) {
        m_codes[m_counts.begin()->first] = {0, 0};
        return;
    }
    std::vector<std::pair<std::uint32_t, std::uint64_t>> syms(m_counts.begin(), m_counts.end());
    std::vector<unsigned> lengths(syms.size());
    std::vector<std::uint64_t> weights(syms.size());
    for (std::size_t i = 0; i < syms.size(); ++i) weights[i] = std::max<std::uint64_t>(1, syms[i].second);
    for (;;) {
        // Classic construction over a heap of (weight, node); parents record
        // the tree so that leaf depths give the code lengths.
        using Item = std::pair<std::uint64_t, std::size_t>;
        std::priority_queue<Item, std::vector<Item>, std::greater<>> heap;
        std::vector<std::size_t> parent(syms.size() * 2, 0);
        for (std::size_t i = 0; i < syms.size(); ++i) heap.push({weights[i], i});
        std::size_t next = syms.size();
        while (heap.size() > 1) {
            const Item a = heap.top();
            heap.pop();
            const Item b = heap.top();
            heap.pop();
            parent[a.second] = next;
            parent[b.second] = next;
            heap.push({a.first + b.first, next++});
        }
        const std::size_t root = next - 1;
        unsigned cLongest = 0;
        for (std::size_t i = 0; i < syms.size(); ++i) {
            unsigned d = 0;
            for (std::size_t n = i; n != root; n = parent[n]) ++d;
            lengths[i] = d;
            cLongest = std::max(cLongest, d);
        }
        if (cLongest <= cMaxBits) break;
        for (auto& w : weights) w = (w >> 1) | 1; // flatten and try again
    }
    // Canonical codes, then bit-reversed into stream order.
    std::vector<std::size_t> order(syms.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return lengths[a] != lengths[b] ? lengths[a] < lengths[b] : syms[a].first < syms[b].first;
    });
    std::uint64_t code = 0;
    unsigned cPrev = lengths[order[0]];
    for (std::size_t k = 0; k < order.size(); ++k) {
        const std::size_t i = order[k];
        if (k) {
            ++code;
            code <<= lengths[i] - cPrev;
        }
        cPrev = lengths[i];
        std::uint32_t rev = 0;
        for (unsigned b = 0; b < lengths[i]; ++b)
            if ((code >> (lengths[i] - 1 - b)) & 1) rev |= 1u << b;
        m_codes[syms[i].first] = {lengths[i], rev};
    }
}

void CHuffmanCode::Write(CBitWriter& bw, std::uint32_t dwSymbol) const {
    auto it = m_codes.find(dwSymbol);
    if (it == m_codes.end()) return; // every written symbol was counted
    bw.WriteBits(it->second.dwBits, it->second.cBits);
}

void CHuffmanCode::Serialise(std::vector<BYTE>& out) const {
    const std::size_t n = m_codes.size();
    out.push_back(static_cast<BYTE>(n & 0xFF));
    out.push_back(static_cast<BYTE>(n >> 8));
    for (const auto& [sym, code] : m_codes) {
        out.push_back(static_cast<BYTE>(sym & 0xFF));
        out.push_back(static_cast<BYTE>(sym >> 8));
        out.push_back(static_cast<BYTE>(code.cBits));
        for (unsigned b = 0; b < code.cBits; b += 8)
            out.push_back(static_cast<BYTE>((code.dwBits >> b) & 0xFF));
    }
}

std::uint32_t CHuffmanCode::Maximum() const {
    return m_codes.empty() ? 0 : m_codes.rbegin()->first;
}

// ---------------------------------------------------------------------------
// Encoding: the stages of zem_encode.h in order.

bool EncodeZem(const CMapcMap& map, std::vector<BYTE>& out, std::string& strError, CMapcStats* pStats) {
    using namespace enc;
    if (map.levels.empty()) {
        strError = "the map has no levels";
        return false;
    }
    CMapcStats stats;
    CQuantised q;
    if (!QuantiseLevels(map, q, strError)) return false;
    CCodes codes;
    BuildCodes(q, codes);
    CLabelArea area;
    WriteLabelArea(q.labels, codes, area);
    CBlocks blocks;
    if (!EncodeBlocks(q, codes, area, blocks, stats, strError)) return false;
    CLayout layout;
    if (!LayOutFile(codes, blocks, area, out, layout, stats, strError)) return false;
    WriteRestrictions(map, blocks, q.cNodes, out, layout, stats);
    WriteHeader(map, q, blocks, area, layout, out);
    if (pStats) *pStats = stats;
    return true;
}

} // namespace velka::mapc
