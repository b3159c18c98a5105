// Encoder stages 2-4: Huffman statistics, the shared label area and the
// object records of every block.
#include <algorithm>
#include <climits>
#include <cmath>

#include "mapdata/zem_bits.h"
#include "tools/mapc/zem_encode.h"

namespace velka::mapc::enc {

using namespace zem;

namespace {

constexpr int c_aTypeTable[3] = {tblPointTypes, tblLineTypes, tblAreaTypes};

int LengthTable(const Label& lb) { return lb.nEncoding == c_nLabelInline1 ? tblLengths1 : tblLengths3; }
int CharTable(const Label& lb) { return lb.nEncoding == c_nLabelInline1 ? tblChars1 : tblChars3; }

void CountLabel(const Label& lb, CCodes& codes) {
    codes(LengthTable(lb)).Count(static_cast<std::uint32_t>(lb.text.size()));
    for (char16_t ch : lb.text) codes(CharTable(lb)).Count(ch);
}

void SplitBlocks(const std::vector<QObj>& objs, std::vector<int>& idx, LONG x0, LONG y0, LONG size,
                 std::vector<Block>& out) {
    if (idx.empty()) return;
    if (idx.size() <= c_cMaxPerBlock || size <= 256) {
        Block b;
        b.members = idx;
        LONG minX = INT32_MAX, minY = INT32_MAX, maxX = INT32_MIN, maxY = INT32_MIN;
        for (int i : idx) {
            minX = std::min(minX, objs[i].minX);
            minY = std::min(minY, objs[i].minY);
            maxX = std::max(maxX, objs[i].maxX);
            maxY = std::max(maxY, objs[i].maxY);
        }
        b.x = minX;
        b.y = minY;
        b.w = maxX - minX;
        b.h = maxY - minY;
        out.push_back(std::move(b));
        return;
    }
    const LONG half = size / 2;
    std::vector<int> quads[4];
    for (int i : idx) {
        const std::int64_t cx = (std::int64_t{objs[i].minX} + objs[i].maxX) / 2;
        const std::int64_t cy = (std::int64_t{objs[i].minY} + objs[i].maxY) / 2;
        const int q = (cx >= x0 + half ? 1 : 0) + (cy >= y0 + half ? 2 : 0);
        quads[q].push_back(i);
    }
    for (int q = 0; q < 4; ++q)
        SplitBlocks(objs, quads[q], x0 + (q & 1 ? half : 0), y0 + (q & 2 ? half : 0), half, out);
}

// One object record of a block section, starting on a whole byte.
void WriteRecord(CBitWriter& w, const QObj& o, const Block& b, const std::vector<Label>& labels,
                 const CCodes& codes, const CLabelArea& area, bool fRoadLevel, DWORD cNodes, bool fAddressData) {
    if (o.nLabel < 0) {
        w.WriteBits(c_nLabelNone, 2);
    } else {
        const Label& lb = labels[o.nLabel];
        if (lb.lAreaOffset >= 0) {
            w.WriteBits(c_nLabelReference, 2);
            w.WriteBits(static_cast<std::uint32_t>(lb.lAreaOffset), area.cRefBits);
        } else {
            w.WriteBits(lb.nEncoding, 2);
            WriteLabelText(w, lb, codes);
        }
    }
    codes(c_aTypeTable[o.nKind]).Write(w, o.wType);
    const bool fX = !o.nodes.empty();
    if (o.nKind == rkPolyline && fRoadLevel) {
        w.WriteBits(fX, 1);
        if (fX) {
            w.WriteBits(1, 1);
            w.WriteBits(o.wRoadFlags, 16);
        }
    }
    const unsigned cNodeBits = cNodes ? BitLen(cNodes - 1) : 0;
    auto writeNode = [&](std::size_t k) {
        if (!fX) return;
        const bool fHas = o.nodes[k] >= 0;
        w.WriteBits(fHas, 1);
        if (fHas) w.WriteBits(static_cast<std::uint32_t>(o.nodes[k]), cNodeBits);
    };
    w.WriteBits(static_cast<std::uint32_t>(o.pts[0].x - b.x), BitLen(static_cast<std::uint32_t>(b.w)));
    w.WriteBits(static_cast<std::uint32_t>(o.pts[0].y - b.y), BitLen(static_cast<std::uint32_t>(b.h)));
    if (o.nKind != rkPoint) {
        codes(tblPointCount).Write(w, static_cast<std::uint32_t>(o.pts.size() - 1));
        writeNode(0);
        for (std::size_t k = 1; k < o.pts.size(); ++k) {
            codes(tblDeltaX).Write(w, static_cast<std::uint32_t>(o.pts[k].x - o.pts[k - 1].x + c_lBias));
            codes(tblDeltaY).Write(w, static_cast<std::uint32_t>(o.pts[k].y - o.pts[k - 1].y + c_lBias));
            writeNode(k);
        }
    }
    if (o.nKind == rkPolyline) w.WriteBits(o.fOneWay, 1);
    // Address attributes: a presence bit on every record of a map with a
    // cities index, then the four values in the fixed widths of tables
    // 11-14.
    if (fAddressData) {
        w.WriteBits(o.fAddress, 1);
        if (o.fAddress)
            for (int t = 0; t < 4; ++t) w.WriteBits(o.adwAddress[t], codes.acAddressWidth[t]);
    }
}

} // namespace

void BuildCodes(const CQuantised& q, CCodes& codes) {
    for (const Label& lb : q.labels.Items())
        if (lb.Shared()) CountLabel(lb, codes);
    for (const auto& objs : q.levels) {
        for (const QObj& o : objs) {
            if (o.nLabel >= 0 && !q.labels.Items()[o.nLabel].Shared()) CountLabel(q.labels.Items()[o.nLabel], codes);
            codes(c_aTypeTable[o.nKind]).Count(o.wType);
            if (o.nKind == rkPoint) continue;
            codes(tblPointCount).Count(static_cast<std::uint32_t>(o.pts.size() - 1));
            for (std::size_t i = 1; i < o.pts.size(); ++i) {
                codes(tblDeltaX).Count(static_cast<std::uint32_t>(o.pts[i].x - o.pts[i - 1].x + c_lBias));
                codes(tblDeltaY).Count(static_cast<std::uint32_t>(o.pts[i].y - o.pts[i - 1].y + c_lBias));
            }
        }
    }
    // Table 10 must at least decode a count of 1 so the point buffers exist.
    if (codes(tblPointCount).Empty()) codes(tblPointCount).Count(0);
    codes.serialised.clear();
    for (int t = tblChars1; t <= tblPointCount; ++t) {
        codes(t).Build(c_nMaxCodeBits);
        codes(t).Serialise(codes.serialised);
    }
    if (!q.fAddressData) return;
    // Tables 11-14: fixed width, a kind byte 1 and the count m; values
    // 0 .. m - 1 take bitlen(m) bits.
    for (int t = 0; t < 4; ++t) {
        const std::uint32_t m = q.acAddressValues[t] + 1;
        codes.serialised.push_back(1);
        for (int i = 0; i < 4; ++i) codes.serialised.push_back(static_cast<BYTE>(m >> (8 * i)));
        codes.acAddressWidth[t] = BitLen(m);
    }
}

void WriteLabelText(CBitWriter& w, const Label& lb, const CCodes& codes) {
    codes(LengthTable(lb)).Write(w, static_cast<std::uint32_t>(lb.text.size()));
    for (char16_t ch : lb.text) codes(CharTable(lb)).Write(w, ch);
}

void WriteLabelArea(CLabelList& labels, const CCodes& codes, CLabelArea& area, unsigned cMinRefBits) {
    CBitWriter bw;
    long lMaxRef = 0;
    for (Label& lb : labels.Items()) {
        if (!lb.Shared()) continue;
        lb.lAreaOffset = static_cast<long>(bw.Size());
        bw.WriteBits(lb.nEncoding, 2);
        WriteLabelText(bw, lb, codes);
        bw.Align();
        if (bw.Size() == static_cast<std::size_t>(lb.lAreaOffset)) bw.Bytes().push_back(0);
        lMaxRef = std::max(lMaxRef, lb.lAreaOffset);
    }
    area.bytes = std::move(bw.Bytes());
    area.cRefBits = std::max(cMinRefBits, BitLen(static_cast<std::uint32_t>(lMaxRef)));
}

std::vector<Block> PlanBlocks(const std::vector<QObj>& objs) {
    // Grid cells first, then a quadtree inside each cell. Underlay objects
    // get blocks of their own at the head of the level: blocks are drawn in
    // order, so they lie beneath everything.
    std::vector<Block> blocks;
    for (const bool fUnderlay : {true, false}) {
        std::map<std::pair<LONG, LONG>, std::vector<int>> cells;
        for (std::size_t i = 0; i < objs.size(); ++i) {
            if (objs[i].fUnderlay != fUnderlay) continue;
            const std::int64_t cx = (std::int64_t{objs[i].minX} + objs[i].maxX) / 2;
            const std::int64_t cy = (std::int64_t{objs[i].minY} + objs[i].maxY) / 2;
            cells[{static_cast<LONG>(std::floor(double(cx) / c_lCell)),
                   static_cast<LONG>(std::floor(double(cy) / c_lCell))}]
                .push_back(static_cast<int>(i));
        }
        for (auto& [cell, idx] : cells)
            SplitBlocks(objs, idx, cell.first * c_lCell, cell.second * c_lCell, c_lCell, blocks);
    }
    return blocks;
}

bool EncodeBlocks(const CQuantised& q, const CCodes& codes, const CLabelArea& area, CBlocks& blocks,
                  CMapcStats& stats, std::string& strError) {
    blocks.levels.assign(q.levels.size(), {});
    blocks.roads.clear();
    blocks.records.clear();
    for (std::size_t l = 0; l < q.levels.size(); ++l) {
        const std::vector<QObj>& objs = q.levels[l];
        const bool fFinest = l + 1 == q.levels.size();
        blocks.levels[l] = PlanBlocks(objs);
        if (blocks.levels[l].size() > 0xFFFF) {
            strError = "too many blocks in one level";
            return false;
        }
        for (std::size_t nb = 0; nb < blocks.levels[l].size(); ++nb) {
            Block& b = blocks.levels[l][nb];
            static constexpr int c_aSection[3] = {2, 1, 0}; // kind -> section (points last)
            CBitWriter bw[3];
            for (int i : b.members) {
                const QObj& o = objs[i];
                CBitWriter& w = bw[c_aSection[o.nKind]];
                w.Align();
                const std::size_t ofsRecord = w.Size();
                WriteRecord(w, o, b, q.labels.Items(), codes, area, fFinest && q.cNodes, q.cNodes, q.fAddressData);
                if (fFinest && o.nIndexId >= 0)
                    blocks.records.try_emplace(o.nIndexId, RecordPos{nb, c_aSection[o.nKind], ofsRecord});
                // A record of no bits still takes a byte: records start on
                // whole bytes and a section ends where its bytes end.
                if (w.Size() == ofsRecord) w.Bytes().push_back(0);
                if (!o.nodes.empty()) {
                    std::vector<LONG> nodes;
                    for (LONG n : o.nodes)
                        if (n >= 0) nodes.push_back(n);
                    blocks.roads.push_back({l, nb, ofsRecord, o.nRoadId, std::move(nodes)});
                }
                if (fFinest) ++stats.cObjects[o.nKind];
            }
            for (int s = 0; s < 3; ++s) {
                b.sections[s] = std::move(bw[s].Bytes());
                if (b.sections[s].size() >= (1u << 24)) {
                    strError = "a block section is too large";
                    return false;
                }
            }
        }
    }
    return true;
}

DWORD CBlocks::RecordOffset(const RecordPos& r) const {
    const Block& b = levels.back()[r.nBlock];
    DWORD dw = b.dwDataOffset;
    for (int s = 0; s < r.nSection; ++s) dw += static_cast<DWORD>(b.sections[s].size());
    return dw + static_cast<DWORD>(r.ofsInSection);
}

DWORD CBlocks::RecordOffset(int nIndexId) const {
    auto it = records.find(nIndexId);
    return it == records.end() ? 0 : RecordOffset(it->second);
}

} // namespace velka::mapc::enc
