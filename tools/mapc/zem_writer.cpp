#include "tools/mapc/zem_writer.h"

#include "tools/mapc/zem_restrictions.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <queue>
#include <unordered_map>

#include "mapdata/zem_bits.h"
#include "mapdata/zem_format.h"

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
// Encoding.

namespace {

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

struct QObj {
    int nKind = rkPoint;
    WORD wType = 0;
    int nLabel = -1;       // index into the label list
    bool fOneWay = false;
    std::vector<QPoint> pts;
    std::vector<LONG> nodes; // empty when no routing data
    WORD wRoadFlags = 0;
    int nRoadId = -1;
    LONG minX = 0, minY = 0, maxX = 0, maxY = 0;
    void Bound() {
        minX = maxX = pts[0].x;
        minY = maxY = pts[0].y;
        for (const QPoint& p : pts) {
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
    }
};

struct Label {
    unsigned nEncoding;
    std::u16string text;
    int cUses = 0;
    long lAreaOffset = -1; // offset in the label area when shared
};

LONG Quantise(LONG v, unsigned nShift) {
    if (nShift == 0) return v;
    return static_cast<LONG>((std::int64_t{v} + (std::int64_t{1} << (nShift - 1))) >> nShift);
}

// Inserts points so that no step exceeds the delta range.
void LimitSteps(QObj& o) {
    std::vector<QPoint> pts;
    std::vector<LONG> nodes;
    const bool fNodes = !o.nodes.empty();
    for (std::size_t i = 0; i < o.pts.size(); ++i) {
        if (i) {
            const QPoint a = pts.back();
            const QPoint b = o.pts[i];
            const std::int64_t dx = std::int64_t{b.x} - a.x, dy = std::int64_t{b.y} - a.y;
            const std::int64_t steps =
                std::max(std::abs(dx), std::abs(dy)) / c_lMaxDelta + 1;
            for (std::int64_t k = 1; k < steps; ++k) {
                pts.push_back({static_cast<LONG>(a.x + dx * k / steps),
                               static_cast<LONG>(a.y + dy * k / steps)});
                if (fNodes) nodes.push_back(-1);
            }
        }
        pts.push_back(o.pts[i]);
        if (fNodes) nodes.push_back(o.nodes[i]);
    }
    o.pts = std::move(pts);
    o.nodes = std::move(nodes);
}

// Sutherland-Hodgman clipping of a ring to one side of a rectangle.
std::vector<QPoint> ClipSide(const std::vector<QPoint>& in, int side, LONG v) {
    auto inside = [&](const QPoint& p) {
        switch (side) {
        case 0: return p.x >= v;
        case 1: return p.x <= v;
        case 2: return p.y >= v;
        default: return p.y <= v;
        }
    };
    auto cross = [&](const QPoint& a, const QPoint& b) {
        if (side < 2) {
            const double t = double(v - a.x) / double(b.x - a.x);
            return QPoint{v, static_cast<LONG>(a.y + t * (b.y - a.y))};
        }
        const double t = double(v - a.y) / double(b.y - a.y);
        return QPoint{static_cast<LONG>(a.x + t * (b.x - a.x)), v};
    };
    std::vector<QPoint> out;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const QPoint& a = in[i];
        const QPoint& b = in[(i + 1) % in.size()];
        const bool ia = inside(a), ib = inside(b);
        if (ia) out.push_back(a);
        if (ia != ib) out.push_back(cross(a, b));
    }
    return out;
}

// Splits objects larger than the block extent: lines into pieces, polygons
// clipped to a grid. New nodes are numbered from *pcNodes on where a road
// is cut, so the road graph stays connected across the pieces.
void FitObject(QObj&& o, std::vector<QObj>& out, DWORD* pcNodes) {
    o.Bound();
    if (o.maxX - o.minX <= c_lMaxExtent && o.maxY - o.minY <= c_lMaxExtent) {
        out.push_back(std::move(o));
        return;
    }
    if (o.nKind == rkPolyline) {
        QObj piece = o;
        piece.pts.clear();
        piece.nodes.clear();
        const bool fNodes = !o.nodes.empty();
        LONG minX = 0, minY = 0, maxX = 0, maxY = 0;
        for (std::size_t i = 0; i < o.pts.size(); ++i) {
            const QPoint p = o.pts[i];
            if (!piece.pts.empty()) {
                const LONG nx0 = std::min(minX, p.x), nx1 = std::max(maxX, p.x);
                const LONG ny0 = std::min(minY, p.y), ny1 = std::max(maxY, p.y);
                if (nx1 - nx0 > c_lMaxExtent || ny1 - ny0 > c_lMaxExtent) {
                    // Close the piece at the previous point, which both share.
                    if (fNodes && piece.nodes.back() < 0) {
                        piece.nodes.back() = static_cast<LONG>((*pcNodes)++);
                    }
                    const QPoint last = piece.pts.back();
                    const LONG lastNode = fNodes ? piece.nodes.back() : -1;
                    piece.Bound();
                    out.push_back(piece);
                    piece.pts.assign(1, last);
                    piece.nodes.clear();
                    if (fNodes) piece.nodes.push_back(lastNode);
                    minX = maxX = last.x;
                    minY = maxY = last.y;
                }
            }
            if (piece.pts.empty()) {
                minX = maxX = p.x;
                minY = maxY = p.y;
            }
            piece.pts.push_back(p);
            if (fNodes) piece.nodes.push_back(o.nodes[i]);
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
        if (piece.pts.size() >= 2) {
            piece.Bound();
            out.push_back(std::move(piece));
        }
        return;
    }
    // Polygons: clip to cells of the extent's size.
    const LONG c = c_lMaxExtent;
    auto cellOf = [&](LONG v) { return static_cast<LONG>(std::floor(double(v) / c)); };
    for (LONG cy = cellOf(o.minY); cy <= cellOf(o.maxY); ++cy) {
        for (LONG cx = cellOf(o.minX); cx <= cellOf(o.maxX); ++cx) {
            std::vector<QPoint> ring = o.pts;
            const LONG x0 = cx * c, y0 = cy * c;
            ring = ClipSide(ring, 0, x0);
            if (!ring.empty()) ring = ClipSide(ring, 1, x0 + c);
            if (!ring.empty()) ring = ClipSide(ring, 2, y0);
            if (!ring.empty()) ring = ClipSide(ring, 3, y0 + c);
            ring.erase(std::unique(ring.begin(), ring.end()), ring.end());
            if (ring.size() < 3) continue;
            QObj piece;
            piece.nKind = o.nKind;
            piece.wType = o.wType;
            piece.nLabel = o.nLabel;
            piece.pts = std::move(ring);
            piece.Bound();
            out.push_back(std::move(piece));
        }
    }
}

struct Block {
    LONG x = 0, y = 0;
    LONG w = 0, h = 0;
    std::vector<int> members; // by index in the level's objects
    std::vector<BYTE> sections[3]; // polygons, polylines, points
    DWORD dwDataOffset = 0;
};

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


} // namespace

bool EncodeZem(const CMapcMap& map, std::vector<BYTE>& out, std::string& strError,
               CMapcStats* pStats) {
    CMapcStats stats;
    if (map.levels.empty()) {
        strError = "the map has no levels";
        return false;
    }
    DWORD cNodes = map.cNodes;
    const bool fRouting = cNodes != 0;

    // Labels: one list of distinct (encoding, text); a text used more than
    // once is stored once in the shared label area.
    std::vector<Label> labels;
    std::map<std::pair<unsigned, std::u16string>, int> labelIndex;
    auto labelFor = [&](const CMapcObject& o) -> int {
        if (o.strLabel.empty()) return -1;
        const unsigned enc = o.nKind == rkPoint ? c_nLabelInline3 : c_nLabelInline1;
        std::u16string text = o.strLabel.substr(0, c_cMaxLabel);
        auto [it, fNew] = labelIndex.try_emplace({enc, text}, static_cast<int>(labels.size()));
        if (fNew) labels.push_back({enc, std::move(text)});
        ++labels[it->second].cUses;
        return it->second;
    };

    // Quantise every level.
    std::vector<std::vector<QObj>> levels(map.levels.size());
    CMapRect rcBounds = CMapRect::MakeEmpty();
    for (std::size_t l = 0; l < map.levels.size(); ++l) {
        const CMapcLevel& level = map.levels[l];
        if (level.nBits < 1 || level.nBits > c_nMaxLevelBits) {
            strError = "level resolution out of range";
            return false;
        }
        const bool fFinest = l + 1 == map.levels.size();
        const unsigned nShift = 31u - static_cast<unsigned>(level.nBits);
        for (const CMapcObject& o : level.objects) {
            if (o.points.empty()) continue;
            if (fFinest) rcBounds.Add(o.points.data(), o.points.size());
            QObj q;
            q.nKind = o.nKind;
            q.wType = o.wType;
            q.fOneWay = o.fOneWay;
            const bool fNodes = fFinest && fRouting && o.nKind == rkPolyline && !o.nodes.empty() &&
                                o.nodes.size() == o.points.size();
            for (std::size_t i = 0; i < o.points.size(); ++i) {
                const QPoint p{Quantise(o.points[i].lX, nShift), Quantise(o.points[i].lY, nShift)};
                const LONG n = fNodes ? o.nodes[i] : -1;
                if (!q.pts.empty() && q.pts.back() == p && o.nKind != rkPoint) {
                    if (fNodes && q.nodes.back() < 0) q.nodes.back() = n;
                    else if (fNodes && n >= 0 && n != q.nodes.back()) {
                        q.pts.push_back(p); // two nodes on one spot stay two nodes
                        q.nodes.push_back(n);
                    }
                    continue;
                }
                q.pts.push_back(p);
                if (fNodes) q.nodes.push_back(n);
                if (o.nKind == rkPoint) break;
            }
            if (o.nKind == rkPolygon && q.pts.size() > 3 && q.pts.front() == q.pts.back())
                q.pts.pop_back();
            if (o.nKind == rkPolyline && q.pts.size() < 2) continue;
            if (o.nKind == rkPolygon && q.pts.size() < 3) continue;
            if (fNodes) {
                q.wRoadFlags = o.wRoadFlags;
                q.nRoadId = o.nRoadId;
            }
            q.nLabel = labelFor(o);
            if (o.nKind != rkPoint) LimitSteps(q);
            FitObject(std::move(q), levels[l], &cNodes);
        }
    }
    if (!map.rcBounds.IsInverted()) rcBounds = map.rcBounds;
    if (rcBounds.IsInverted()) rcBounds = {0, 0, 0, 0};
    const unsigned cNodeBits = cNodes ? BitLen(cNodes - 1) : 0;

    // Statistics and codes.
    CHuffmanCode codes[c_cTables];
    auto code = [&](int t) -> CHuffmanCode& { return codes[t - 1]; };
    for (Label& lb : labels) {
        if (lb.cUses < 2) continue;
        const int tLen = lb.nEncoding == c_nLabelInline1 ? tblLengths1 : tblLengths3;
        const int tChr = lb.nEncoding == c_nLabelInline1 ? tblChars1 : tblChars3;
        code(tLen).Count(static_cast<std::uint32_t>(lb.text.size()));
        for (char16_t ch : lb.text) code(tChr).Count(ch);
    }
    static constexpr int c_aTypeTable[3] = {tblPointTypes, tblLineTypes, tblAreaTypes};
    for (const auto& objs : levels) {
        for (const QObj& o : objs) {
            if (o.nLabel >= 0 && labels[o.nLabel].cUses < 2) {
                const Label& lb = labels[o.nLabel];
                const int tLen = lb.nEncoding == c_nLabelInline1 ? tblLengths1 : tblLengths3;
                const int tChr = lb.nEncoding == c_nLabelInline1 ? tblChars1 : tblChars3;
                code(tLen).Count(static_cast<std::uint32_t>(lb.text.size()));
                for (char16_t ch : lb.text) code(tChr).Count(ch);
            }
            code(c_aTypeTable[o.nKind]).Count(o.wType);
            if (o.nKind == rkPoint) continue;
            code(tblPointCount).Count(static_cast<std::uint32_t>(o.pts.size() - 1));
            for (std::size_t i = 1; i < o.pts.size(); ++i) {
                code(tblDeltaX).Count(static_cast<std::uint32_t>(o.pts[i].x - o.pts[i - 1].x + c_lBias));
                code(tblDeltaY).Count(static_cast<std::uint32_t>(o.pts[i].y - o.pts[i - 1].y + c_lBias));
            }
        }
    }
    // Table 10 must at least decode a count of 1 so the point buffers exist.
    if (code(tblPointCount).Empty()) code(tblPointCount).Count(0);
    std::vector<BYTE> tables;
    for (int t = tblChars1; t <= tblPointCount; ++t) {
        code(t).Build(c_nMaxCodeBits);
        code(t).Serialise(tables);
    }
    stats.cbTables = tables.size();

    // The shared label area.
    CBitWriter labelArea;
    for (Label& lb : labels) {
        if (lb.cUses < 2) continue;
        lb.lAreaOffset = static_cast<long>(labelArea.Size());
        const int tLen = lb.nEncoding == c_nLabelInline1 ? tblLengths1 : tblLengths3;
        const int tChr = lb.nEncoding == c_nLabelInline1 ? tblChars1 : tblChars3;
        labelArea.WriteBits(lb.nEncoding, 2);
        code(tLen).Write(labelArea, static_cast<std::uint32_t>(lb.text.size()));
        for (char16_t ch : lb.text) code(tChr).Write(labelArea, ch);
        labelArea.Align();
        if (labelArea.Size() == static_cast<std::size_t>(lb.lAreaOffset)) labelArea.Bytes().push_back(0);
    }
    long lMaxRef = 0;
    for (const Label& lb : labels) lMaxRef = std::max(lMaxRef, lb.lAreaOffset);
    const unsigned cRefBits = BitLen(static_cast<std::uint32_t>(lMaxRef));
    stats.cbLabels = labelArea.Size();

    // Blocks and their records, finest level first in the file.
    std::vector<std::vector<Block>> blocks(levels.size());
    struct PendingRoad {
        std::size_t nLevel, nBlock;
        std::size_t ofsInSection;
        int nRoadId;
        std::vector<LONG> nodes;
    };
    std::vector<PendingRoad> pendingRoads;
    for (std::size_t l = 0; l < levels.size(); ++l) {
        const std::vector<QObj>& objs = levels[l];
        const bool fFinest = l + 1 == levels.size();
        // Grid cells first, then a quadtree inside each cell.
        std::map<std::pair<LONG, LONG>, std::vector<int>> cells;
        for (std::size_t i = 0; i < objs.size(); ++i) {
            const std::int64_t cx = (std::int64_t{objs[i].minX} + objs[i].maxX) / 2;
            const std::int64_t cy = (std::int64_t{objs[i].minY} + objs[i].maxY) / 2;
            cells[{static_cast<LONG>(std::floor(double(cx) / c_lCell)),
                   static_cast<LONG>(std::floor(double(cy) / c_lCell))}]
                .push_back(static_cast<int>(i));
        }
        for (auto& [cell, idx] : cells)
            SplitBlocks(objs, idx, cell.first * c_lCell, cell.second * c_lCell, c_lCell, blocks[l]);
        if (blocks[l].size() > 0xFFFF) {
            strError = "too many blocks in one level";
            return false;
        }
        for (std::size_t nb = 0; nb < blocks[l].size(); ++nb) {
            Block& b = blocks[l][nb];
            static constexpr int c_aSection[3] = {2, 1, 0}; // kind -> section (points last)
            CBitWriter bw[3];
            for (int i : b.members) {
                const QObj& o = objs[i];
                CBitWriter& w = bw[c_aSection[o.nKind]];
                w.Align();
                const std::size_t ofsRecord = w.Size();
                if (o.nLabel < 0) {
                    w.WriteBits(c_nLabelNone, 2);
                } else {
                    const Label& lb = labels[o.nLabel];
                    if (lb.lAreaOffset >= 0) {
                        w.WriteBits(c_nLabelReference, 2);
                        w.WriteBits(static_cast<std::uint32_t>(lb.lAreaOffset), cRefBits);
                    } else {
                        const int tLen = lb.nEncoding == c_nLabelInline1 ? tblLengths1 : tblLengths3;
                        const int tChr = lb.nEncoding == c_nLabelInline1 ? tblChars1 : tblChars3;
                        w.WriteBits(lb.nEncoding, 2);
                        code(tLen).Write(w, static_cast<std::uint32_t>(lb.text.size()));
                        for (char16_t ch : lb.text) code(tChr).Write(w, ch);
                    }
                }
                code(c_aTypeTable[o.nKind]).Write(w, o.wType);
                const bool fX = !o.nodes.empty();
                if (o.nKind == rkPolyline && fFinest && cNodes) {
                    w.WriteBits(fX, 1);
                    if (fX) {
                        w.WriteBits(1, 1);
                        w.WriteBits(o.wRoadFlags, 16);
                    }
                }
                auto writeNode = [&](std::size_t k) {
                    if (!fX) return;
                    const bool fHas = o.nodes[k] >= 0;
                    w.WriteBits(fHas, 1);
                    if (fHas) w.WriteBits(static_cast<std::uint32_t>(o.nodes[k]), cNodeBits);
                };
                w.WriteBits(static_cast<std::uint32_t>(o.pts[0].x - b.x), BitLen(static_cast<std::uint32_t>(b.w)));
                w.WriteBits(static_cast<std::uint32_t>(o.pts[0].y - b.y), BitLen(static_cast<std::uint32_t>(b.h)));
                if (o.nKind != rkPoint) {
                    code(tblPointCount).Write(w, static_cast<std::uint32_t>(o.pts.size() - 1));
                    writeNode(0);
                    for (std::size_t k = 1; k < o.pts.size(); ++k) {
                        code(tblDeltaX).Write(w, static_cast<std::uint32_t>(o.pts[k].x - o.pts[k - 1].x + c_lBias));
                        code(tblDeltaY).Write(w, static_cast<std::uint32_t>(o.pts[k].y - o.pts[k - 1].y + c_lBias));
                        writeNode(k);
                    }
                }
                if (o.nKind == rkPolyline) w.WriteBits(o.fOneWay, 1);
                // A record of no bits still takes a byte: records start on
                // whole bytes and a section ends where its bytes end.
                if (w.Size() == ofsRecord) w.Bytes().push_back(0);
                if (fX) {
                    std::vector<LONG> nodes;
                    for (LONG n : o.nodes)
                        if (n >= 0) nodes.push_back(n);
                    pendingRoads.push_back({l, nb, ofsRecord, o.nRoadId, std::move(nodes)});
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

    // Layout: header, tables, level table, block tables (finest first),
    // block data (finest first), label area, restrictions.
    out.assign(c_cbHeader, 0);
    const std::size_t ofsTables = out.size();
    out.insert(out.end(), tables.begin(), tables.end());
    const std::size_t ofsLevels = out.size();
    out.resize(out.size() + levels.size() * c_cbLevelEntry);
    auto lenBytes = [](std::size_t n) -> unsigned { return n == 0 ? 0 : n < 256 ? 1 : n < 65536 ? 2 : 3; };
    std::vector<std::size_t> ofsBlockTable(levels.size());
    std::size_t ofs = out.size();
    for (std::size_t k = levels.size(); k-- > 0;) {
        ofsBlockTable[k] = ofs;
        for (const Block& b : blocks[k]) {
            ofs += c_cbBlockHeader;
            for (int s = 0; s < 3; ++s) ofs += lenBytes(b.sections[s].size());
        }
    }
    for (std::size_t k = levels.size(); k-- > 0;) {
        for (Block& b : blocks[k]) {
            b.dwDataOffset = static_cast<DWORD>(ofs);
            for (int s = 0; s < 3; ++s) ofs += b.sections[s].size();
        }
    }
    if (ofs >= (std::size_t{1} << 24)) {
        strError = "the map's object data exceeds 16 MiB; split the input into several maps";
        return false;
    }
    for (std::size_t k = levels.size(); k-- > 0;) {
        for (const Block& b : blocks[k]) {
            Append32(out, static_cast<std::uint32_t>(b.x));
            Append32(out, static_cast<std::uint32_t>(b.y));
            Append16(out, static_cast<std::uint32_t>(b.w));
            Append16(out, static_cast<std::uint32_t>(b.h));
            std::uint32_t dw = b.dwDataOffset;
            for (int s = 0; s < 3; ++s) dw |= lenBytes(b.sections[s].size()) << (24 + 2 * s);
            Append32(out, dw);
            for (int s = 0; s < 3; ++s) {
                const std::size_t n = b.sections[s].size();
                for (unsigned i = 0; i < lenBytes(n); ++i) out.push_back(static_cast<BYTE>(n >> (8 * i)));
            }
        }
    }
    for (std::size_t k = levels.size(); k-- > 0;) {
        for (const Block& b : blocks[k]) {
            for (int s = 0; s < 3; ++s) {
                out.insert(out.end(), b.sections[s].begin(), b.sections[s].end());
                stats.cbObjects += b.sections[s].size();
            }
            ++stats.cBlocks;
        }
    }
    const std::size_t ofsLabels = out.size();
    out.insert(out.end(), labelArea.Bytes().begin(), labelArea.Bytes().end());

    // Turn restrictions, naming the road records by their file offsets.
    std::vector<RoadPiece> roads;
    std::uint32_t dwMaxRoad = 0;
    for (const PendingRoad& r : pendingRoads) {
        const Block& b = blocks[r.nLevel][r.nBlock];
        roads.push_back({r.nRoadId, r.nodes,
                         static_cast<DWORD>(b.dwDataOffset + b.sections[0].size() + r.ofsInSection)});
        dwMaxRoad = std::max(dwMaxRoad, roads.back().dwOffset);
    }
    const unsigned cRoadBits = BitLen(dwMaxRoad);
    CBitWriter restr;
    const DWORD cRestrictions = static_cast<DWORD>(EncodeRestrictions(
        map.restrictions, roads, map.cNodes, cNodeBits, cRoadBits, restr, stats.cRestrictionsDropped));
    stats.cRestrictionRecords = cRestrictions;
    const std::size_t ofsRestrictions = out.size();
    out.insert(out.end(), restr.Bytes().begin(), restr.Bytes().end());

    // Level table, coarsest first.
    for (std::size_t k = 0; k < levels.size(); ++k) {
        const std::size_t e = ofsLevels + k * c_cbLevelEntry;
        Put32(out, e, static_cast<std::uint32_t>(ofsBlockTable[k]));
        Put16(out, e + 4, static_cast<std::uint32_t>(blocks[k].size()));
        Put16(out, e + 6, static_cast<std::uint32_t>(map.levels[k].nBits));
    }

    // Header.
    std::memcpy(out.data() + c_ofsMagic, "GZEM", 4);
    Put32(out, c_ofsVersion, 1);
    Put32(out, c_ofsFileSize, static_cast<std::uint32_t>(out.size()));
    auto dbl = [](LONG v) {
        return static_cast<std::uint32_t>(std::clamp<std::int64_t>(std::int64_t{v} * 2, INT32_MIN, INT32_MAX));
    };
    Put32(out, c_ofsBounds, dbl(rcBounds.left));
    Put32(out, c_ofsBounds + 4, dbl(rcBounds.top));
    Put32(out, c_ofsBounds + 8, dbl(rcBounds.right));
    Put32(out, c_ofsBounds + 12, dbl(rcBounds.bottom));
    Put16(out, c_ofsFinestCode, static_cast<std::uint32_t>(map.levels.back().nBits));
    Put16(out, c_ofsCoarsestCode, static_cast<std::uint32_t>(map.levels.front().nBits));
    Put16(out, c_ofsYear, map.wYear);
    out[c_ofsMonth] = map.btMonth;
    out[c_ofsDay] = map.btDay;
    for (std::size_t i = 0; i < map.strName.size() && i < c_cchName; ++i)
        Put16(out, c_ofsName + 2 * i, map.strName[i]);
    for (std::size_t i = 0; i < map.strNotes.size() && i < c_cchNotes; ++i)
        Put16(out, c_ofsNotes + 2 * i, map.strNotes[i]);
    Put32(out, c_ofsMapId, map.dwMapId);
    Put32(out, c_ofsTables, static_cast<std::uint32_t>(ofsTables));
    Put32(out, c_ofsLabels, static_cast<std::uint32_t>(ofsLabels));
    Put32(out, c_ofsLabelRefBits, cRefBits);
    Put32(out, c_ofsLevels, static_cast<std::uint32_t>(ofsLevels));
    Put32(out, c_ofsLevelCount, static_cast<std::uint32_t>(levels.size()));
    Put32(out, c_ofsBiasX, static_cast<std::uint32_t>(c_lBias));
    Put32(out, c_ofsBiasY, static_cast<std::uint32_t>(c_lBias));
    for (std::size_t i = 0; i < map.strSource.size() && i + 1 < c_cbSource; ++i)
        out[c_ofsSource + i] = static_cast<BYTE>(map.strSource[i]);
    Put32(out, c_ofsLocale, map.dwLocale);
    Put32(out, c_ofsFlags2, map.fMetres ? 1 : 0);
    Put32(out, c_ofsNodes, cNodes);
    Put32(out, c_ofsRestrictionCount, cRestrictions);
    Put32(out, c_ofsRestrictionOffset, cRestrictions ? static_cast<std::uint32_t>(ofsRestrictions) : 0);
    Put32(out, c_ofsRoadOffsetBits, cRoadBits);
    if (pStats) *pStats = stats;
    return true;
}

} // namespace velka::mapc
