// The sea stage: OpenStreetMap has no sea areas, only coastline ways with
// the land on their left. The ways are joined into chains, the chains cut
// to the map's box, and the pieces closed into water areas along the box
// edge, walking it clockwise (water on the right) from where one piece
// leaves to where the next enters. Rings wholly inside the box are islands
// (counter-clockwise, holes in the sea) or enclosed water (clockwise).
#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "geometry/point_algorithms.h"
#include "tools/mapc/mapc_osm.h"
#include "tools/mapc/mapc_stages.h"

namespace velka::mapc {

namespace {

using Ring = std::vector<CMapPoint>;

struct CChain {
    std::vector<OsmId> nodeIds;
    Ring pts;
    bool fUsed = false;
};

// Joins the ways end to start; a chain is closed when it comes back to
// the node it started at.
std::vector<CChain> JoinCoastlines(const std::vector<CMapcCoastline>& ways) {
    std::vector<CChain> chains;
    for (const CMapcCoastline& w : ways)
        if (w.nodeIds.size() >= 2 && w.nodeIds.size() == w.pts.size()) chains.push_back({w.nodeIds, w.pts});
    std::unordered_map<OsmId, std::size_t> byFirst;
    for (std::size_t i = 0; i < chains.size(); ++i)
        if (chains[i].nodeIds.front() != chains[i].nodeIds.back()) byFirst.try_emplace(chains[i].nodeIds.front(), i);
    for (std::size_t i = 0; i < chains.size(); ++i) {
        CChain& c = chains[i];
        if (c.fUsed) continue;
        while (c.nodeIds.front() != c.nodeIds.back()) {
            auto it = byFirst.find(c.nodeIds.back());
            if (it == byFirst.end() || it->second == i || chains[it->second].fUsed) break;
            CChain& next = chains[it->second];
            next.fUsed = true;
            byFirst.erase(it);
            c.nodeIds.insert(c.nodeIds.end(), next.nodeIds.begin() + 1, next.nodeIds.end());
            c.pts.insert(c.pts.end(), next.pts.begin() + 1, next.pts.end());
        }
    }
    std::erase_if(chains, [](const CChain& c) { return c.fUsed; });
    for (CChain& c : chains) c.pts.erase(std::unique(c.pts.begin(), c.pts.end()), c.pts.end());
    return chains;
}

// The box in map units, y growing to the north; the boundary is measured
// clockwise from the north-west corner.
struct CBox {
    double x0, y0, x1, y1;
    double W() const { return x1 - x0; }
    double H() const { return y1 - y0; }
    double Perimeter() const { return 2 * (W() + H()); }
    bool Contains(const CMapPoint& p) const { return p.lX >= x0 && p.lX <= x1 && p.lY >= y0 && p.lY <= y1; }
    bool StrictlyInside(const CMapPoint& p) const { return p.lX > x0 && p.lX < x1 && p.lY > y0 && p.lY < y1; }
    // Snaps a point next to the boundary onto it and gives its position
    // along the boundary.
    double Position(CMapPoint& p) const {
        const double d[4] = {std::abs(p.lY - y1), std::abs(p.lX - x1), std::abs(p.lY - y0), std::abs(p.lX - x0)};
        const int e = static_cast<int>(std::min_element(d, d + 4) - d);
        double t = 0;
        switch (e) {
        case 0: p.lY = static_cast<LONG>(y1); t = p.lX - x0; break;
        case 1: p.lX = static_cast<LONG>(x1); t = W() + (y1 - p.lY); break;
        case 2: p.lY = static_cast<LONG>(y0); t = W() + H() + (x1 - p.lX); break;
        default: p.lX = static_cast<LONG>(x0); t = 2 * W() + H() + (p.lY - y0); break;
        }
        t = std::clamp(t, 0.0, Perimeter());
        return t >= Perimeter() ? 0 : t;
    }
    // The nearest point of the boundary.
    CMapPoint NearestOnEdge(CMapPoint p) const {
        const double d[4] = {y1 - p.lY, x1 - p.lX, p.lY - y0, p.lX - x0};
        switch (std::min_element(d, d + 4) - d) {
        case 0: p.lY = static_cast<LONG>(y1); break;
        case 1: p.lX = static_cast<LONG>(x1); break;
        case 2: p.lY = static_cast<LONG>(y0); break;
        default: p.lX = static_cast<LONG>(x0); break;
        }
        return p;
    }
    CMapPoint Corner(int k) const { // clockwise from the north-west
        static constexpr bool c_afEast[4] = {false, true, true, false}, c_afNorth[4] = {true, true, false, false};
        return {static_cast<LONG>(c_afEast[k] ? x1 : x0), static_cast<LONG>(c_afNorth[k] ? y1 : y0)};
    }
    double CornerPosition(int k) const {
        const double t[4] = {0, W(), W() + H(), 2 * W() + H()};
        return t[k];
    }
};

// Liang-Barsky: the part t0..t1 of the segment p-q inside the box.
bool ClipSegment(const CBox& b, const CMapPoint& p, const CMapPoint& q, double& t0, double& t1) {
    const double dx = double(q.lX) - p.lX, dy = double(q.lY) - p.lY;
    const double num[4] = {p.lX - b.x0, b.x1 - p.lX, p.lY - b.y0, b.y1 - p.lY};
    const double den[4] = {-dx, dx, -dy, dy};
    t0 = 0;
    t1 = 1;
    for (int i = 0; i < 4; ++i) {
        if (den[i] == 0) {
            if (num[i] < 0) return false;
            continue;
        }
        const double t = num[i] / den[i];
        if (den[i] < 0) t0 = std::max(t0, t);
        else t1 = std::min(t1, t);
    }
    return t0 <= t1;
}

CMapPoint Lerp(const CMapPoint& p, const CMapPoint& q, double t) {
    return {static_cast<LONG>(std::llround(p.lX + t * (double(q.lX) - p.lX))),
            static_cast<LONG>(std::llround(p.lY + t * (double(q.lY) - p.lY)))};
}

// A part of a chain inside the box, entering and leaving through its edge.
struct CPiece {
    Ring pts;
    double tIn = 0, tOut = 0;
    bool fLooseStart = false, fLooseEnd = false; // ends inside the box
};

// Cuts a chain into the pieces inside the box. A chain's end inside the box
// is where the extract cut the coastline (or a break in it); its piece goes
// on straight to the nearest edge, or with fDropLoose, unless it is the
// chain's longest piece, is left out. *pcLoose counts the ends led to the
// edge. With pLooseIn only ends inside that box count as loose, the others
// stay where they are, and the pieces get no position on the edge: a tile
// holds its chains whole only within its cell, and cuts these pieces to it.
void CutChain(const CBox& box, const Ring& pts, bool fDropLoose, std::vector<CPiece>& pieces,
              std::size_t* pcLoose, const CBox* pLooseIn = nullptr) {
    std::vector<CPiece> cut;
    CPiece cur;
    bool fOpen = false;
    auto finish = [&] {
        fOpen = false;
        cur.pts.erase(std::unique(cur.pts.begin(), cur.pts.end()), cur.pts.end());
        // A chain that only touches the box adds nothing.
        if (cur.pts.size() >= 2) {
            const CBox& loose = pLooseIn ? *pLooseIn : box;
            cur.fLooseStart = box.StrictlyInside(cur.pts.front()) && loose.StrictlyInside(cur.pts.front());
            cur.fLooseEnd = box.StrictlyInside(cur.pts.back()) && loose.StrictlyInside(cur.pts.back());
            cut.push_back(std::move(cur));
        }
        cur = {};
    };
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        double t0 = 0, t1 = 0;
        if (!ClipSegment(box, pts[i], pts[i + 1], t0, t1)) continue;
        if (!fOpen) {
            cur.pts.push_back(Lerp(pts[i], pts[i + 1], t0));
            fOpen = true;
        }
        if (t1 < 1) {
            cur.pts.push_back(Lerp(pts[i], pts[i + 1], t1));
            finish();
        } else {
            cur.pts.push_back(pts[i + 1]);
        }
    }
    if (fOpen) finish();
    const auto itMain = std::max_element(cut.begin(), cut.end(), [](const CPiece& a, const CPiece& b) {
        return a.pts.size() < b.pts.size();
    });
    for (auto it = cut.begin(); it != cut.end(); ++it) {
        CPiece& c = *it;
        if (fDropLoose && it != itMain && (c.fLooseStart || c.fLooseEnd)) continue;
        if (c.fLooseStart) {
            Ring r{box.NearestOnEdge(c.pts.front())};
            r.insert(r.end(), c.pts.begin(), c.pts.end());
            c.pts = std::move(r);
            ++*pcLoose;
        }
        if (c.fLooseEnd) {
            c.pts.push_back(box.NearestOnEdge(c.pts.back()));
            ++*pcLoose;
        }
        if (!pLooseIn) {
            c.tIn = box.Position(c.pts.front());
            c.tOut = box.Position(c.pts.back());
        }
        pieces.push_back(std::move(c));
    }
}

// Twice the signed area: positive for counter-clockwise rings.
double SignedArea2(const Ring& r) {
    double a = 0;
    for (std::size_t i = 0; i + 1 < r.size(); ++i)
        a += double(r[i].lX) * r[i + 1].lY - double(r[i + 1].lX) * r[i].lY;
    return a;
}

// The water rings made of the pieces and the box edge between them, or
// false when the pieces do not alternate entering and leaving along the
// edge (a coastline running the wrong way or not closed).
bool WalkPieces(const CBox& box, const std::vector<CPiece>& pieces, std::vector<Ring>& rings) {
    struct Event {
        double t;
        bool fEntry;
        std::size_t nPiece;
    };
    std::vector<Event> events;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        events.push_back({pieces[i].tIn, true, i});
        events.push_back({pieces[i].tOut, false, i});
    }
    std::sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
        return a.t != b.t ? a.t < b.t : (!a.fEntry && b.fEntry);
    });
    const std::size_t n = events.size();
    std::vector<std::size_t> nextPiece(pieces.size());
    for (std::size_t k = 0; k < n; ++k) {
        const Event& e = events[k];
        const Event& f = events[(k + 1) % n];
        if (e.fEntry == f.fEntry) return false;
        if (!e.fEntry) nextPiece[e.nPiece] = f.nPiece;
    }
    const double P = box.Perimeter();
    std::vector<char> used(pieces.size(), 0);
    for (std::size_t s = 0; s < pieces.size(); ++s) {
        if (used[s]) continue;
        Ring ring;
        std::size_t i = s;
        do {
            if (used[i]) return false;
            used[i] = 1;
            const CPiece& piece = pieces[i];
            ring.insert(ring.end(), piece.pts.begin(), piece.pts.end());
            const std::size_t j = nextPiece[i];
            double d = pieces[j].tIn - piece.tOut;
            if (d < 0) d += P;
            std::vector<std::pair<double, int>> corners;
            for (int k = 0; k < 4; ++k) {
                double dc = box.CornerPosition(k) - piece.tOut;
                if (dc < 0) dc += P;
                if (dc > 0 && dc < d) corners.push_back({dc, k});
            }
            std::sort(corners.begin(), corners.end());
            for (const auto& [dc, k] : corners) ring.push_back(box.Corner(k));
            i = j;
        } while (i != s);
        ring.push_back(ring.front());
        ring.erase(std::unique(ring.begin(), ring.end()), ring.end());
        if (ring.size() >= 4) rings.push_back(std::move(ring));
    }
    return true;
}

bool RingContains(const Ring& r, const CMapPoint& p) { return PointInPolygon(r.data(), r.size(), p); }

// With no coastline across the edge the box is all water or all land
// apart from its rings: the innermost ring around a corner decides by its
// turn (clockwise rings hold water), else the largest ring inside (an
// island means water around it).
bool BoxIsWater(const CBox& box, const std::vector<Ring>& around, const std::vector<Ring>& inside) {
    const CMapPoint corner = box.Corner(0);
    const Ring* pDecider = nullptr;
    double dDecider = 0;
    for (const std::vector<Ring>* rings : {&around, &inside})
        for (const Ring& r : *rings) {
            const double a = std::abs(SignedArea2(r));
            if (RingContains(r, corner) && (!pDecider || a < dDecider)) {
                pDecider = &r;
                dDecider = a;
            }
        }
    if (pDecider) return SignedArea2(*pDecider) < 0;
    for (const Ring& r : inside)
        if (!pDecider || std::abs(SignedArea2(r)) > dDecider) {
            pDecider = &r;
            dDecider = std::abs(SignedArea2(r));
        }
    return pDecider && SignedArea2(*pDecider) > 0;
}

CMapPoint Midpoint(const CBox& b) {
    return {static_cast<LONG>(std::llround((b.x0 + b.x1) / 2)), static_cast<LONG>(std::llround((b.y0 + b.y1) / 2))};
}

// Whether p lies on the water side (the right) of the nearest segment of
// the lines; of segments equally near (meeting at the nearest point) the
// one p lies most clearly beside decides.
bool NearestSideIsWater(const std::vector<Ring>& lines, const CMapPoint& p) {
    double dBest = -1, dCrossBest = 0;
    for (const Ring& r : lines)
        for (std::size_t i = 0; i + 1 < r.size(); ++i) {
            const double ax = r[i].lX, ay = r[i].lY;
            const double dx = r[i + 1].lX - ax, dy = r[i + 1].lY - ay;
            const double px = p.lX - ax, py = p.lY - ay;
            const double len2 = dx * dx + dy * dy;
            if (len2 == 0) continue;
            const double t = std::clamp((px * dx + py * dy) / len2, 0.0, 1.0);
            const double ex = px - t * dx, ey = py - t * dy;
            const double d = ex * ex + ey * ey;
            const double cross = (dx * py - dy * px) / std::sqrt(len2);
            if (dBest < 0 || d < dBest || (d == dBest && std::abs(cross) > std::abs(dCrossBest))) {
                dBest = d;
                dCrossBest = cross;
            }
        }
    return dBest >= 0 && dCrossBest < 0;
}

// Roads lie on land: more of their points in the sea than piers and
// causeways explain means a broken coastline or one that runs the wrong
// way.
constexpr std::size_t c_nMaxRoadPercentInSea = 3;

// The share of the road points (at most about 4000 of them, evenly
// sampled) inside the sea, in whole percent rounded up.
std::size_t RoadPercentInSea(const std::vector<CMapcFeature>& features, const std::vector<CMapcFeature>& sea) {
    std::size_t cPoints = 0;
    for (const CMapcFeature& f : features)
        if (f.fRoad) cPoints += f.pts.size();
    if (cPoints == 0 || sea.empty()) return 0;
    const std::size_t nStep = cPoints / 4000 + 1;
    std::vector<CMapRect> boxes;
    for (const CMapcFeature& s : sea) {
        boxes.push_back(CMapRect::MakeEmpty());
        boxes.back().Add(s.pts.data(), s.pts.size());
    }
    std::size_t cTested = 0, cWet = 0, n = 0;
    for (const CMapcFeature& f : features) {
        if (!f.fRoad) continue;
        for (const CMapPoint& p : f.pts) {
            if (n++ % nStep) continue;
            ++cTested;
            for (std::size_t i = 0; i < sea.size(); ++i)
                if (boxes[i].Contains(p) && PointInPolygon(sea[i].pts.data(), sea[i].pts.size(), p)) {
                    ++cWet;
                    break;
                }
        }
    }
    return (cWet * 100 + cTested - 1) / cTested;
}

} // namespace

void AppendHole(std::vector<CMapPoint>& outer, const std::vector<CMapPoint>& hole) {
    const CMapPoint start = outer.front();
    outer.push_back(start);
    outer.insert(outer.end(), hole.begin(), hole.end());
    outer.push_back(hole.front());
    outer.push_back(start);
}

CSeaSummary GenerateSea(CMapcSource& src) {
    CSeaSummary summary;
    summary.cWays = src.coastlines.size();
    if (src.coastlines.empty() || src.rcHeader.IsInverted() || src.rcHeader.IsEmpty()) return summary;
    // A tile holds the coastlines meeting its cell: its sea is that of the
    // cell within the input's box, to meet its neighbours' on the border.
    CMapRect rc = src.rcHeader;
    if (src.fAtlasTile) {
        if (src.rcTile.IsEmpty()) {
            summary.strWarning = "an atlas tile that does not name its cell holds only pieces of the coastlines; "
                                 "no sea generated";
            return summary;
        }
        rc = {std::max(rc.left, src.rcTile.left), std::max(rc.top, src.rcTile.top),
              std::min(rc.right, src.rcTile.right), std::min(rc.bottom, src.rcTile.bottom)};
        if (rc.IsEmpty()) return summary;
    }
    const CBox box{double(rc.left), double(rc.top), double(rc.right), double(rc.bottom)};
    const CBox input{double(src.rcHeader.left), double(src.rcHeader.top), double(src.rcHeader.right),
                     double(src.rcHeader.bottom)};
    const std::vector<CChain> chains = JoinCoastlines(src.coastlines);

    std::vector<Ring> open;   // chains and rings that cross the box's edge
    std::vector<Ring> inside; // closed rings wholly inside the box
    std::vector<Ring> around; // closed rings that miss the box's edge
    for (const CChain& c : chains) {
        if (c.nodeIds.front() != c.nodeIds.back()) {
            open.push_back(c.pts);
            continue;
        }
        if (c.pts.size() < 4 || SignedArea2(c.pts) == 0) continue; // degenerate ring
        auto outside = std::find_if(c.pts.begin(), c.pts.end(), [&](const CMapPoint& p) { return !box.Contains(p); });
        if (outside == c.pts.end()) {
            inside.push_back(c.pts);
            continue;
        }
        // Start the ring outside the box, so it can be cut like a chain.
        Ring r(outside, c.pts.end() - 1);
        r.insert(r.end(), c.pts.begin(), outside + 1);
        std::vector<CPiece> test;
        std::size_t cLoose = 0;
        CutChain(box, r, false, test, &cLoose);
        if (test.empty()) around.push_back(c.pts);
        else open.push_back(std::move(r));
    }

    // Loose ends led to the edge first; when the pieces then do not
    // alternate, the loose pieces of chains that cross the edge elsewhere
    // are left out.
    std::vector<Ring> outers;
    std::vector<CPiece> pieces;
    std::vector<Ring> inInputAll; // a tile's chains cut to the input's box
    std::size_t cLoose = 0;
    bool fWalked = false;
    for (const bool fDropLoose : {false, true}) {
        pieces.clear();
        inInputAll.clear();
        outers.clear();
        cLoose = 0;
        for (const Ring& r : open) {
            if (!src.fAtlasTile) {
                CutChain(box, r, fDropLoose, pieces, &cLoose);
                continue;
            }
            // A tile cuts its chains to the input's box as the whole map
            // does, leading on only the ends inside its cell (where a chain
            // ends in the input too), then the pieces to its cell: the
            // neighbouring tiles continue the same lines.
            std::vector<CPiece> inInput;
            CutChain(input, r, fDropLoose, inInput, &cLoose, &box);
            std::size_t cNone = 0;
            for (CPiece& p : inInput) {
                CutChain(box, p.pts, false, pieces, &cNone);
                inInputAll.push_back(std::move(p.pts));
            }
        }
        if (pieces.empty() || WalkPieces(box, pieces, outers)) {
            fWalked = true;
            break;
        }
    }
    if (!fWalked) {
        summary.strWarning = "coastlines do not alternate between land and water along the map's edge; "
                             "no sea generated";
        return summary;
    }
    // A cell no coastline crosses, with no ring to decide, lies on the
    // side of the nearest coastline its input holds.
    const bool fDecideByNearest = src.fAtlasTile && around.empty() && inside.empty() && !inInputAll.empty();
    if (pieces.empty() &&
        (fDecideByNearest ? NearestSideIsWater(inInputAll, Midpoint(box)) : BoxIsWater(box, around, inside))) {
        Ring r;
        for (int k = 0; k < 4; ++k) r.push_back(box.Corner(k));
        r.push_back(r.front());
        outers.push_back(std::move(r));
    }
    for (const Ring& r : inside)
        if (SignedArea2(r) < 0) outers.push_back(r);

    // Islands become holes of the smallest water ring holding them. The
    // rings' sizes and extents are measured once, not for every island.
    std::vector<double> outerAreas;
    std::vector<CMapRect> outerExtents;
    for (const Ring& o : outers) {
        outerAreas.push_back(std::abs(SignedArea2(o)));
        outerExtents.push_back(CMapRect::MakeEmpty());
        outerExtents.back().Add(o.data(), o.size());
    }
    std::vector<std::vector<const Ring*>> holes(outers.size());
    for (const Ring& r : inside) {
        if (SignedArea2(r) <= 0) continue;
        std::size_t best = outers.size();
        for (std::size_t o = 0; o < outers.size(); ++o)
            if ((best == outers.size() || outerAreas[o] < outerAreas[best]) && outerExtents[o].Contains(r.front()) &&
                RingContains(outers[o], r.front()))
                best = o;
        if (best < outers.size()) holes[best].push_back(&r);
    }

    std::vector<CMapcFeature> sea;
    for (std::size_t o = 0; o < outers.size(); ++o) {
        CMapcFeature f;
        f.nKind = rkPolygon;
        f.wType = c_wSeaAreaType;
        f.nBits = c_anLevelBits[0];
        f.fUnderlay = true;
        f.pts = outers[o];
        for (const Ring* h : holes[o]) AppendHole(f.pts, *h);
        sea.push_back(std::move(f));
    }
    if (const std::size_t cPercent = RoadPercentInSea(src.features, sea); cPercent > c_nMaxRoadPercentInSea) {
        summary.strWarning = std::to_string(cPercent) + "% of the road points would lie in the sea (" +
                             std::to_string(cLoose) + " coastline ends inside the map's box); no sea generated";
        return summary;
    }
    summary.cAreas = sea.size();
    summary.cExtended = cLoose;
    for (const auto& h : holes) summary.cIslands += h.size();
    // First of all, so that every other area lies above the sea.
    src.features.insert(src.features.begin(), std::make_move_iterator(sea.begin()), std::make_move_iterator(sea.end()));
    return summary;
}

} // namespace velka::mapc
