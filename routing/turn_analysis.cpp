#include "routing/turn_analysis.h"

#include <cmath>

#include "geometry/geodesy.h"

namespace velka {

namespace {

float Degrees(LONG v) { return static_cast<float>(v * (180.0 / 1073741824.0)); }

double Length(const CMapPoint& a, const CMapPoint& b, float kk) {
    const double dx = static_cast<double>(a.lX) - b.lX;
    const double dy = static_cast<double>(a.lY) - b.lY;
    return std::sqrt(dx * dx * kk + dy * dy);
}

} // namespace

float CTurnAnalysis::LinkAngle(const RoutingLink& link, CMapPoint a, CMapPoint b) {
    CZemObject obj;
    const CMapPoint* p = m_graph.DecodeRoad(link.nBlock, link.dwRoad, obj);
    if (!p || link.nFromPoint < 0 || link.nToPoint < 0 ||
        static_cast<unsigned>(std::max(link.nFromPoint, link.nToPoint)) >= obj.cPoints)
        return 0;
    const int nStep = link.fAscending ? 1 : -1;
    const double dMax = 30.0 / 20000000.0 * 1073741824.0; // 30 m in map units
    const float kk = m_graph.XScale();
    float fSum = 0;
    bool fTaken = false, fLeft = false;
    double dWalked = 0;
    for (std::int32_t i = link.nFromPoint; i != link.nToPoint; i += nStep) {
        const CMapPoint c = p[i + nStep];
        if (c == b) continue;
        float d = CourseChange(Degrees(c.lX), Degrees(c.lY), Degrees(b.lX), Degrees(b.lY), Degrees(a.lX),
                               Degrees(a.lY));
        if (!link.fAscending) d = std::trunc(d);
        if (!fTaken) {
            if (std::fabs(d) < 0.5f) return 0;
            fSum = d;
            fLeft = d > 0;
            fTaken = true;
        } else if (std::fabs(d) < 0.5f) {
            // Straight on: walked, but the turn is still measured from before.
            dWalked += Length(b, c, kk);
            b = c;
            if (dWalked > dMax) break;
            continue;
        } else if ((d > 0) != fLeft) {
            break;
        } else {
            fSum += d;
        }
        if (fSum > 180 || fSum < -180) return fSum > 0 ? 180.0f : -180.0f;
        dWalked += Length(b, c, kk);
        if (dWalked > dMax) break;
        a = b;
        b = c;
    }
    return fSum;
}

TurnResult CTurnAnalysis::Analyse(const RoutingLink& in, const RoutingLink& out) {
    TurnResult r;
    if (in.nToNode < 0 || in.nToNode == m_nVEnd) return r;
    CZemObject obj;
    const CMapPoint* p = m_graph.DecodeRoad(in.nBlock, in.dwRoad, obj);
    if (!p || in.nToPoint < 0 || static_cast<unsigned>(in.nToPoint) >= obj.cPoints) return r;
    // Reference: the last segment of the way in.
    const std::int32_t iPrev = in.nToPoint + (in.fAscending ? -1 : 1);
    if (iPrev < 0 || static_cast<unsigned>(iPrev) >= obj.cPoints) return r;
    const CMapPoint a = p[iPrev], b = p[in.nToPoint];

    CRoadGraph::Debug("Turn analysis start\n");
    const float fOur = LinkAngle(out, a, b);
    CRoadGraph::Debug("Our angle = %d\n", static_cast<int>(fOur));
    float fMinPos = 180, fMaxNeg = -180;
    BYTE btPosType = 0, btNegType = 0;
    int cExamined = 1;
    const auto& links = m_graph.Links();
    const auto& nodes = m_graph.Nodes();
    for (std::int32_t l = nodes[static_cast<std::size_t>(in.nToNode)].nFirstLink; l >= 0;
         l = links[static_cast<std::size_t>(l)].cNextLink) {
        const RoutingLink& k = links[static_cast<std::size_t>(l)];
        if (k.cLink == out.cLink || k.cLink == out.nCopyOf) continue;
        // The search's own links to the destination repeat a map link.
        if (static_cast<std::size_t>(l) >= m_cMapLinks && k.nToNode == m_nVEnd) continue;
        if (k.dwRoad == in.dwRoad && k.nRealTo == in.nRealFrom) continue; // straight back
        ++cExamined;
        float d = LinkAngle(k, a, b) - fOur;
        if (d > 180) d -= 360;
        else if (d < -180) d += 360;
        CRoadGraph::Debug("Angle = %d: (%d,%d)\n", static_cast<int>(d), k.nFromNode, k.nToNode);
        if (d > 0 && d < fMinPos) {
            fMinPos = d;
            btPosType = k.btRoadType;
        } else if (d < 0 && d > fMaxNeg) {
            fMaxNeg = d;
            btNegType = k.btRoadType;
        }
    }
    r.fJunction = cExamined > 1;
    r.nAngle = -static_cast<int>(std::lround(fOur));
    auto keep = [&](BYTE btNeighbour, BYTE btSide) {
        if (out.btRoadType == in.btRoadType && out.btRoadType != btNeighbour) return;
        r.btKeepSide = btSide;
        r.fKeep = std::fabs(fOur) > 5;
    };
    if (fMinPos > 5 && fMinPos < 45) keep(btPosType, 1);
    else if (fMaxNeg < -5 && fMaxNeg > -45) keep(btNegType, 0);
    return r;
}

} // namespace velka
