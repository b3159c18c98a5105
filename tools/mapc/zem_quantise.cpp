// Encoder stage 1: labels and the objects of every level in level units.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "mapdata/zem_bits.h"
#include "tools/mapc/zem_encode.h"

namespace velka::mapc::enc {

using namespace zem;

void QObj::Bound() {
    minX = maxX = pts[0].x;
    minY = maxY = pts[0].y;
    for (const QPoint& p : pts) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
}

int CLabelList::Add(const CMapcObject& o) {
    if (o.strLabel.empty()) return -1;
    const unsigned enc = o.nKind == rkPoint ? c_nLabelInline3 : c_nLabelInline1;
    std::u16string text = o.strLabel.substr(0, c_cMaxLabel);
    auto [it, fNew] = m_index.try_emplace({enc, text}, static_cast<int>(m_items.size()));
    if (fNew) m_items.push_back({enc, std::move(text)});
    ++m_items[it->second].cUses;
    return it->second;
}

int CLabelList::AddShared(const std::u16string& text) {
    std::u16string t = text.substr(0, c_cMaxLabel);
    auto [it, fNew] = m_index.try_emplace({c_nLabelInline1, t}, static_cast<int>(m_items.size()));
    if (fNew) m_items.push_back({c_nLabelInline1, std::move(t)});
    m_items[it->second].cUses += 2;
    return it->second;
}

void CollectIndexLabels(const CMapcMap& map, CQuantised& q) {
    const CMapcIndexes& ix = map.indexes;
    if (!ix.fCities) return;
    CIndexLabels& il = q.indexLabels;
    for (const std::u16string& s : ix.countries) il.countries.push_back(q.labels.AddShared(s));
    for (const CMapcRegion& r : ix.regions) il.regions.push_back(q.labels.AddShared(r.strName));
    // Every city name is shared, so a city whose point does not make it
    // into the blocks can still name itself by its bare label.
    for (const CMapcCity& c : ix.cities) il.cities.push_back(q.labels.AddShared(c.strName));
    for (int t = 0; t < 3; ++t)
        for (const std::u16string& s : ix.names[t]) il.names[t].push_back(q.labels.AddShared(s));
}

namespace {

LONG Quantise(LONG v, unsigned nShift) {
    if (nShift == 0) return v;
    return static_cast<LONG>((std::int64_t{v} + (std::int64_t{1} << (nShift - 1))) >> nShift);
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

// One source object in level units; false when nothing of it remains.
bool QuantiseObject(const CMapcObject& o, unsigned nShift, bool fNodes, QObj& q) {
    q.nKind = o.nKind;
    q.wType = o.wType;
    q.fOneWay = o.fOneWay;
    q.fUnderlay = o.fUnderlay;
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
    if (o.nKind == rkPolygon && q.pts.size() > 3 && q.pts.front() == q.pts.back()) q.pts.pop_back();
    if (o.nKind == rkPolyline && q.pts.size() < 2) return false;
    if (o.nKind == rkPolygon && q.pts.size() < 3) return false;
    if (fNodes) {
        q.wRoadFlags = o.wRoadFlags;
        q.nRoadId = o.nRoadId;
    }
    q.nIndexId = o.nIndexId;
    q.fAddress = o.fAddress;
    std::copy(std::begin(o.adwAddress), std::end(o.adwAddress), q.adwAddress);
    return true;
}

} // namespace

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
            const std::int64_t steps = std::max(std::abs(dx), std::abs(dy)) / c_lMaxDelta + 1;
            for (std::int64_t k = 1; k < steps; ++k) {
                pts.push_back({static_cast<LONG>(a.x + dx * k / steps), static_cast<LONG>(a.y + dy * k / steps)});
                if (fNodes) nodes.push_back(-1);
            }
        }
        pts.push_back(o.pts[i]);
        if (fNodes) nodes.push_back(o.nodes[i]);
    }
    o.pts = std::move(pts);
    o.nodes = std::move(nodes);
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
                    if (fNodes && piece.nodes.back() < 0) piece.nodes.back() = static_cast<LONG>((*pcNodes)++);
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
            piece.fUnderlay = o.fUnderlay;
            piece.nIndexId = o.nIndexId;
            piece.fAddress = o.fAddress;
            std::copy(std::begin(o.adwAddress), std::end(o.adwAddress), piece.adwAddress);
            piece.pts = std::move(ring);
            piece.Bound();
            out.push_back(std::move(piece));
        }
    }
}

bool QuantiseLevels(const CMapcMap& map, CQuantised& q, std::string& strError) {
    q.cNodes = map.cNodes;
    q.fAddressData = map.indexes.fCities;
    if (q.fAddressData) {
        // Values are 1-based indexes into the cities and the name tables.
        q.acAddressValues[0] = static_cast<DWORD>(map.indexes.cities.size());
        for (int t = 0; t < 3; ++t) q.acAddressValues[t + 1] = static_cast<DWORD>(map.indexes.names[t].size());
    }
    const bool fRouting = map.cNodes != 0;
    q.levels.assign(map.levels.size(), {});
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
            const bool fNodes = fFinest && fRouting && o.nKind == rkPolyline && !o.nodes.empty() &&
                                o.nodes.size() == o.points.size();
            QObj obj;
            if (!QuantiseObject(o, nShift, fNodes, obj)) continue;
            obj.nLabel = q.labels.Add(o);
            if (o.nKind != rkPoint) LimitSteps(obj);
            FitObject(std::move(obj), q.levels[l], &q.cNodes);
        }
    }
    if (!map.rcBounds.IsInverted()) rcBounds = map.rcBounds;
    if (rcBounds.IsInverted()) rcBounds = {0, 0, 0, 0};
    q.rcBounds = rcBounds;
    return true;
}

} // namespace velka::mapc::enc
