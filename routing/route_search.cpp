#include "routing/route_search.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <new>

#include "geometry/geodesy.h"
#include "geometry/point_algorithms.h"
#include "routing/route_ends.h"
#include "routing/route_heap.h"
#include "routing/turn_analysis.h"

namespace velka {

const char* RouteErrorText(RouteError e) {
    switch (e) {
    case RouteError::None: return "no error";
    case RouteError::NoRoutingData: return "the map has no road graph";
    case RouteError::TooClose: return "start and end are less than 20 m apart";
    case RouteError::GraphBuild: return "the road graph could not be built";
    case RouteError::NoRoadNearStart: return "no road within 1000 m of the start";
    case RouteError::NoRoadNearEnd: return "no road within 1000 m of the end";
    case RouteError::EndsNearerThanRoad: return "start and end are nearer to each other than to a road";
    case RouteError::NoPath: return "no road path between start and end";
    case RouteError::OutOfMemory: return "out of memory";
    case RouteError::Cancelled: return "cancelled";
    }
    return "unknown error";
}

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

constexpr double c_dMetresPerUnit = 20000000.0 / 1073741824.0;

WORD AccessMask(const RouteOptions& o) {
    static constexpr WORD c_awVehicle[c_cRouteVehicles] = {
        c_wClosedPedestrian, c_wClosedBicycle, c_wClosedCar,      c_wClosedTaxi,
        c_wClosedBus,        c_wClosedEmergency, c_wClosedDelivery, c_wClosedTruck};
    WORD w = o.nVehicle >= 0 && o.nVehicle < c_cRouteVehicles ? c_awVehicle[o.nVehicle] : 0;
    if (o.fAvoidTolls) w |= c_wRoadToll;
    return w;
}

// Road types the avoid options keep out: motorways and their links, unpaved
// roads.
bool AvoidedType(BYTE btType, const RouteOptions& o) {
    return (o.fAvoidHighways && (btType == 1 || btType == 9)) || (o.fAvoidUnpaved && btType == 10);
}

// A walker or cyclist moves no faster than on foot or by bicycle, whatever
// the road allows.
int VehicleSpeed(WORD wRoadFlags, int nVehicle) {
    const int v = SpeedOfClass(wRoadFlags & c_wRoadSpeedMask);
    return nVehicle == rvPedestrian ? std::min(v, 5) : nVehicle == rvBicycle ? std::min(v, 20) : v;
}

// Shortest: the length itself, so the route is the shortest there is (a
// class-weighted length came out 2-6 % longer than the shortest route on
// real maps). Fastest: the time, weighted by the road class so that major
// roads are preferred, at least 1.
float LinkCost(const RoutingLink& l, bool fFastest, int nVehicle) {
    if (!fFastest) return l.fLength;
    const float fFactor = ClassFactor(l.wRoadFlags >> c_wRoadClassShift);
    const float v = static_cast<float>(VehicleSpeed(l.wRoadFlags, nVehicle)) * 10.0f / 36.0f;
    return std::max(l.fLength / v / fFactor, 1.0f);
}

struct DualLink {
    std::int32_t nFrom;
    std::int32_t nTo;
    std::int32_t nNext;
};

// One search on a graph: adds the virtual nodes' links, searches, builds the
// route, and on every way out leaves the graph as it found it.
class CSearch {
public:
    CSearch(CRoadGraph& graph, CRouteRequest& request)
        : m_graph(graph), m_req(request), m_links(graph.Links()), m_nodes(graph.Nodes()) {}
    ~CSearch() { Restore(); }

    bool Run();

private:
    bool Fail(RouteError e) {
        m_req.error = e;
        return false;
    }
    // Both ends on one road: the road alone from start to end.
    struct Shortcut {
        std::vector<RouteSearchPoint> points;
        double dLengthM = 0, dTimeS = 0, dCostShortest = 0, dCostFastest = 0;
    };
    bool SameRoad(const CRouteEnd& s, const CRouteEnd& e, Shortcut& sc);
    void TakeShortcut(const Shortcut& sc);
    std::int32_t AddLink(std::int32_t nFrom, std::int32_t nTo, const CRouteEnd& end, float fLength,
                         std::int32_t iFrom, std::int32_t iTo, bool fAscending,
                         std::int32_t nRealFrom, std::int32_t nRealTo);
    void AddVirtualLinks();
    void CopyStartRestrictions(RoutingLink& link);
    bool Allowed(const RoutingLink& f, const RoutingLink& p) const;
    bool Avoided(const RoutingLink& f, const RoutingLink& p) const;
    template <class Fn> void ForEachSuccessor(std::int32_t j, Fn&& fn);
    bool SearchEager();
    bool SearchLazy(bool fAStar);
    float Bound(const RoutingLink& l) const;
    bool BuildRoute();
    int LeavingLinks(std::int32_t nNode) const;
    void Restore();

    CRoadGraph& m_graph;
    CRouteRequest& m_req;
    std::vector<RoutingLink>& m_links;
    std::vector<RoutingNode>& m_nodes;
    CRouteEnd m_start{true};
    CRouteEnd m_end{false};
    WORD m_wMask = 0;
    BYTE m_btVehicle = 0xFF; // the vehicle's bit in restrictions
    std::size_t m_cMapLinks = 0;
    std::size_t m_cRestrictions = 0;
    std::size_t m_cExtras = 0;
    std::int32_t m_nVStart = 0;
    std::int32_t m_nVEnd = 0;
    std::int32_t m_nGoal = -1;
    std::int32_t m_nOrigin = -1;
    std::uint32_t m_nStamp = 0;
    bool m_fAdded = false;
    RoutingNode m_savedPrev, m_savedNext; // lists of the end's nodes before
    std::int32_t m_nSavedPrev = -1, m_nSavedNext = -1;
    std::vector<DualLink> m_dual;
    float m_fBoundScale = 0;
};

void CSearch::Restore() {
    if (!m_fAdded) return;
    m_links.resize(m_cMapLinks);
    m_graph.Restrictions().resize(m_cRestrictions);
    m_graph.Extras().resize(m_cExtras);
    if (m_nSavedNext >= 0) m_nodes[static_cast<std::size_t>(m_nSavedNext)] = m_savedNext;
    if (m_nSavedPrev >= 0) m_nodes[static_cast<std::size_t>(m_nSavedPrev)] = m_savedPrev;
    const auto n = static_cast<std::int32_t>(m_graph.NodeCount());
    m_nodes[static_cast<std::size_t>(n)] = {n, n, -1, 0};
    m_nodes[static_cast<std::size_t>(n) + 1] = {n + 1, n + 1, -1, 0};
    m_fAdded = false;
}

bool CSearch::SameRoad(const CRouteEnd& s, const CRouteEnd& e, Shortcut& sc) {
    // Only when the road may be driven from start to end: its access, the
    // avoided types, and its direction when one-way.
    if ((s.wRoadFlags & m_wMask) || AvoidedType(s.btRoadType, m_req.options)) return false;
    if (s.fOneWay && !s.Before(e)) return false;
    CZemObject obj;
    std::u16string strName;
    const CMapPoint* pts = m_graph.DecodeRoad(s.nBlock, s.dwRoad, obj, &strName);
    if (!pts) return false;
    const BYTE btSpeed = static_cast<BYTE>(SpeedOfClass(s.wRoadFlags & c_wRoadSpeedMask));
    const int nVehicle = m_req.options.nVehicle;
    auto add = [&](const CMapPoint& pt, bool fFoot) {
        RouteSearchPoint p;
        p.pt = pt;
        p.strName = strName;
        if (!fFoot) {
            p.btSpeed = btSpeed;
            p.btClass = static_cast<BYTE>((s.wRoadFlags >> c_wRoadClassShift) & 7);
        }
        sc.points.push_back(std::move(p));
    };
    add(s.ptFoot, true);
    if (s.iFrom != e.iFrom) {
        if (s.iFrom < e.iFrom)
            for (std::int32_t i = s.iTo; i <= e.iFrom; ++i) add(pts[i], false);
        else
            for (std::int32_t i = s.iFrom; i >= e.iTo; --i) add(pts[i], false);
    }
    add(e.ptFoot, true);
    double dLength = 0;
    const float kk = m_graph.XScale();
    for (std::size_t i = 1; i < sc.points.size(); ++i) {
        const CMapPoint seg[2] = {sc.points[i - 1].pt, sc.points[i].pt};
        dLength += static_cast<double>(PolylineLength(seg, 0, 1, kk));
    }
    RoutingLink road;
    road.fLength = static_cast<float>(dLength);
    road.wRoadFlags = s.wRoadFlags;
    sc.dLengthM = dLength * c_dMetresPerUnit;
    sc.dTimeS = sc.dLengthM / (VehicleSpeed(s.wRoadFlags, nVehicle) / 3.6);
    sc.dCostShortest = LinkCost(road, false, nVehicle);
    sc.dCostFastest = LinkCost(road, true, nVehicle);
    return true;
}

void CSearch::TakeShortcut(const Shortcut& sc) {
    m_req.points.insert(m_req.points.end(), sc.points.begin(), sc.points.end());
    m_req.dLengthM = sc.dLengthM;
    m_req.dTimeS = sc.dTimeS;
    m_req.dCostShortest = sc.dCostShortest;
    m_req.dCostFastest = sc.dCostFastest;
    m_req.dCost = m_req.options.fFastest ? sc.dCostFastest : sc.dCostShortest;
}

std::int32_t CSearch::AddLink(std::int32_t nFrom, std::int32_t nTo, const CRouteEnd& end,
                              float fLength, std::int32_t iFrom, std::int32_t iTo, bool fAscending,
                              std::int32_t nRealFrom, std::int32_t nRealTo) {
    RoutingLink l;
    l.cLink = static_cast<std::int32_t>(m_links.size());
    l.nFromNode = nFrom;
    l.nToNode = nTo;
    l.nRealFrom = nRealFrom;
    l.nRealTo = nRealTo;
    l.fLength = fLength;
    l.wRoadFlags = end.wRoadFlags;
    l.btRoadType = end.btRoadType;
    l.nBlock = end.nBlock;
    l.dwRoad = end.dwRoad;
    l.nFromPoint = iFrom;
    l.nToPoint = iTo;
    l.fAscending = fAscending;
    RoutingNode& from = m_nodes[static_cast<std::size_t>(nFrom)];
    l.cNextLink = from.nFirstLink;
    from.nFirstLink = l.cLink;
    ++from.cLinks;
    m_links.push_back(l);
    return l.cLink;
}

void CSearch::CopyStartRestrictions(RoutingLink& link) {
    // The virtual link is part of the map link of the same road between the
    // same nodes: it inherits that link's restrictions.
    auto& restrictions = m_graph.Restrictions();
    for (std::int32_t l = m_nodes[static_cast<std::size_t>(link.nRealFrom)].nFirstLink; l >= 0;
         l = m_links[static_cast<std::size_t>(l)].cNextLink) {
        if (static_cast<std::size_t>(l) >= m_cMapLinks) continue;
        const RoutingLink& real = m_links[static_cast<std::size_t>(l)];
        if (real.dwRoad != link.dwRoad || real.nRealTo != link.nRealTo) continue;
        for (std::int32_t r = real.nRestrictions; r >= 0; r = restrictions[static_cast<std::size_t>(r)].nNext) {
            RouteRestriction copy = restrictions[static_cast<std::size_t>(r)];
            const auto n = static_cast<std::int32_t>(restrictions.size());
            restrictions.push_back(copy);
            m_graph.AttachRestriction(link, n);
        }
        for (std::int32_t e = real.nFirstExtra; e >= 0; e = m_graph.Extras()[static_cast<std::size_t>(e)].nNext)
            m_graph.AddExtra(link, m_graph.Extras()[static_cast<std::size_t>(e)].nTo);
    }
}

void CSearch::AddVirtualLinks() {
    // An end within one grid step of the roads' level from a node stands on
    // it: points are rounded to that grid, so a place given at a junction
    // (a tapped crossing, a node of the source data) lands a little beside
    // it, and on a one-way road would otherwise be reached from one side only.
    const CZemParser& map = m_graph.Map();
    const float fOnNode = map.LevelCount() == 0
                              ? 0.00001f
                              : static_cast<float>(1u << map.Level(m_graph.FinestLevel()).Shift());
    const auto cNodes = static_cast<std::int32_t>(m_graph.NodeCount());
    m_nVStart = cNodes;
    m_nVEnd = cNodes + 1;
    m_cMapLinks = m_links.size();
    m_cRestrictions = m_graph.Restrictions().size();
    m_cExtras = m_graph.Extras().size();
    m_nSavedPrev = m_end.nPrevNode;
    m_savedPrev = m_nodes[static_cast<std::size_t>(m_nSavedPrev)];
    if (m_end.nNextNode != m_end.nPrevNode) {
        m_nSavedNext = m_end.nNextNode;
        m_savedNext = m_nodes[static_cast<std::size_t>(m_nSavedNext)];
    }
    m_fAdded = true;
    m_nodes[static_cast<std::size_t>(m_nVStart)] = {-1, m_start.nPrevNode, -1, 0};
    m_nodes[static_cast<std::size_t>(m_nVEnd)] = {-2, m_end.nNextNode, -1, 0};

    // Start: forward and backward along the road, as the course allows.
    bool fOnlyForward = false, fOnlyBackward = false;
    if (m_req.fCourse && m_req.fSpeedKmh >= 5) {
        const float d = m_start.SegmentCourse();
        const float a = std::fabs(d - m_req.fCourseDeg);
        if (a < 30 || a > 330) fOnlyForward = true;
        else if (a > 150 && a < 210) fOnlyBackward = true;
    }
    const bool fTail = m_start.nNextNode == m_start.nPrevNode;
    if (m_start.fDistPrev <= fOnNode) {
        // Standing on the previous node: the way on starts there.
        CopyStartRestrictions(m_links[static_cast<std::size_t>(
            AddLink(m_nVStart, m_start.nPrevNode, m_start, 0, m_start.cPrevRPoint, m_start.cPrevRPoint, true,
                    m_start.nPrevNode, m_start.nPrevNode))]);
        if (!fTail && (!fOnlyBackward || m_start.fOneWay))
            CopyStartRestrictions(m_links[static_cast<std::size_t>(
                AddLink(m_nVStart, m_start.nNextNode, m_start, m_start.fDistNext, m_start.iTo,
                        m_start.cNextRPoint, true, m_start.nPrevNode, m_start.nNextNode))]);
    } else if (fTail) {
        // Past the road's last node: the only way is back to it.
        if (!m_start.fOneWay)
            CopyStartRestrictions(m_links[static_cast<std::size_t>(
                AddLink(m_nVStart, m_start.nPrevNode, m_start, m_start.fDistPrev, m_start.iFrom,
                        m_start.cPrevRPoint, false, m_start.nPrevNode, m_start.nPrevNode))]);
    } else {
        if (!fOnlyBackward || m_start.fOneWay)
            CopyStartRestrictions(m_links[static_cast<std::size_t>(
                AddLink(m_nVStart, m_start.nNextNode, m_start, m_start.fDistNext, m_start.iTo,
                        m_start.cNextRPoint, true, m_start.nPrevNode, m_start.nNextNode))]);
        if (!m_start.fOneWay && !fOnlyForward)
            CopyStartRestrictions(m_links[static_cast<std::size_t>(
                AddLink(m_nVStart, m_start.nPrevNode, m_start, m_start.fDistPrev, m_start.iFrom,
                        m_start.cPrevRPoint, false, m_start.nNextNode, m_start.nPrevNode))]);
    }

    // End: from the previous node forward, and from the next node back on a
    // two-way road.
    AddLink(m_end.nPrevNode, m_nVEnd, m_end, m_end.fDistPrev, m_end.cPrevRPoint, m_end.iFrom, true,
            m_end.nPrevNode, m_end.nNextNode);
    if (m_end.nNextNode != m_end.nPrevNode && m_end.fDistNext <= fOnNode)
        // Standing on the next node: the end is reached there.
        AddLink(m_end.nNextNode, m_nVEnd, m_end, 0, m_end.cNextRPoint, m_end.cNextRPoint, true, m_end.nNextNode,
                m_end.nNextNode);
    else if (!m_end.fOneWay && m_end.nNextNode != m_end.nPrevNode)
        AddLink(m_end.nNextNode, m_nVEnd, m_end, m_end.fDistNext, m_end.cNextRPoint, m_end.iTo, false,
                m_end.nNextNode, m_end.nPrevNode);
}

bool CSearch::Avoided(const RoutingLink& f, const RoutingLink& p) const {
    if (AvoidedType(p.btRoadType, m_req.options)) return true;
    if (m_req.options.fAvoidUTurns && p.nRealTo == f.nRealFrom && p.nToNode != m_nVEnd) return true;
    if (m_req.options.fAvoidUTurns && p.nToNode == m_nVEnd && p.dwRoad == f.dwRoad &&
        p.nRealTo == f.nRealFrom)
        return true;
    return false;
}

bool CSearch::Allowed(const RoutingLink& f, const RoutingLink& p) const {
    const auto& restrictions = m_graph.Restrictions();
    for (std::int32_t r = f.nRestrictions; r >= 0; r = restrictions[static_cast<std::size_t>(r)].nNext) {
        const RouteRestriction& rr = restrictions[static_cast<std::size_t>(r)];
        if (static_cast<std::uint32_t>(rr.cToRoad) == p.dwRoad && rr.cToNode == p.nRealTo &&
            (rr.btVehicles & m_btVehicle))
            return false;
    }
    return !Avoided(f, p);
}

// Calls fn(to) for each transition of link j in the order the transition
// graph stores them.
template <class Fn>
void CSearch::ForEachSuccessor(std::int32_t j, Fn&& fn) {
    if (j == m_nOrigin) {
        for (std::size_t l = m_cMapLinks; l < static_cast<std::size_t>(m_nGoal); ++l)
            if (m_links[l].nFromNode == m_nVStart) fn(static_cast<std::int32_t>(l));
        return;
    }
    const RoutingLink& f = m_links[static_cast<std::size_t>(j)];
    if (f.nToNode == m_nVEnd) {
        fn(m_nGoal);
        return;
    }
    for (std::int32_t p = m_nodes[static_cast<std::size_t>(f.nToNode)].nFirstLink; p >= 0;
         p = m_links[static_cast<std::size_t>(p)].cNextLink)
        if (Allowed(f, m_links[static_cast<std::size_t>(p)])) fn(p);
    // Into the copies that carry a row of turns: the row itself is allowed.
    const auto& extras = m_graph.Extras();
    for (std::int32_t e = f.nFirstExtra; e >= 0; e = extras[static_cast<std::size_t>(e)].nNext) {
        const std::int32_t p = extras[static_cast<std::size_t>(e)].nTo;
        if (!Avoided(f, m_links[static_cast<std::size_t>(p)])) fn(p);
    }
}

bool CSearch::SearchEager() {
    const auto t0 = Clock::now();
    // Transitions: for each link the links leaving its to node.
    std::size_t cCount = 0;
    for (std::size_t l = 0; l < m_links.size(); ++l) {
        const RoutingLink& f = m_links[l];
        cCount += f.nToNode == m_nVEnd ? 1 : static_cast<std::size_t>(m_nodes[static_cast<std::size_t>(f.nToNode)].cLinks);
        if (f.nFromNode == m_nVStart) ++cCount;
        for (std::int32_t e = f.nFirstExtra; e >= 0; e = m_graph.Extras()[static_cast<std::size_t>(e)].nNext) ++cCount;
    }
    m_dual.clear();
    m_dual.reserve(cCount);
    m_nGoal = static_cast<std::int32_t>(m_links.size());
    RoutingLink goal;
    goal.cLink = m_nGoal;
    goal.nToNode = goal.nFromNode = -1;
    m_links.push_back(goal);
    m_nOrigin = m_nGoal + 1;
    RoutingLink origin = goal;
    origin.cLink = m_nOrigin;
    m_links.push_back(origin);
    for (RoutingLink& l : m_links) {
        l.fCost = -1;
        l.nParent = l.nEntry = l.nFirstTransition = l.nHeapPos = -1;
        l.nStamp = m_nStamp;
    }
    std::int32_t nOriginTail = -1;
    const std::size_t cLinks = static_cast<std::size_t>(m_nGoal);
    for (std::size_t l = 0; l < cLinks; ++l) {
        RoutingLink& f = m_links[l];
        if (f.nFromNode == m_nVStart) {
            const auto d = static_cast<std::int32_t>(m_dual.size());
            m_dual.push_back({m_nOrigin, static_cast<std::int32_t>(l), -1});
            if (nOriginTail < 0) m_links[static_cast<std::size_t>(m_nOrigin)].nFirstTransition = d;
            else m_dual[static_cast<std::size_t>(nOriginTail)].nNext = d;
            nOriginTail = d;
        }
        std::int32_t nTail = -1;
        ForEachSuccessor(static_cast<std::int32_t>(l), [&](std::int32_t p) {
            const auto d = static_cast<std::int32_t>(m_dual.size());
            m_dual.push_back({static_cast<std::int32_t>(l), p, -1});
            if (nTail < 0) f.nFirstTransition = d;
            else m_dual[static_cast<std::size_t>(nTail)].nNext = d;
            nTail = d;
        });
        if (l % 10000 == 0) m_req.progress.At(80 + static_cast<int>(10 * l / std::max<std::size_t>(cLinks, 1)));
    }
    CRoadGraph::Debug("Routing links: %u\n", static_cast<unsigned>(m_links.size()));
    CRoadGraph::Debug("Routing dual links: %u\n", static_cast<unsigned>(m_dual.size()));
    m_req.times.dTransitions = Ms(t0, Clock::now());
    if (m_req.progress.Cancelled()) return Fail(RouteError::Cancelled);

    const auto t1 = Clock::now();
    CLinkHeap heap(m_links, m_links.size());
    m_links[static_cast<std::size_t>(m_nOrigin)].fCost = 0;
    heap.Push(m_nOrigin, 0);
    const bool fFastest = m_req.options.fFastest != 0;
    bool fFound = false;
    while (!heap.Empty()) {
        const std::int32_t j = heap.Pop();
        ++m_req.cSettled;
        if (j == m_nGoal) {
            fFound = true;
            break;
        }
        const float fCostJ = m_links[static_cast<std::size_t>(j)].fCost;
        for (std::int32_t d = m_links[static_cast<std::size_t>(j)].nFirstTransition; d >= 0;
             d = m_dual[static_cast<std::size_t>(d)].nNext) {
            RoutingLink& q = m_links[static_cast<std::size_t>(m_dual[static_cast<std::size_t>(d)].nTo)];
            if (q.wRoadFlags & m_wMask) continue;
            const float c = (q.cLink == m_nGoal ? 0.0f : LinkCost(q, fFastest, m_req.options.nVehicle)) + fCostJ;
            if (q.fCost < 0 || q.fCost > c) {
                const bool fNew = q.fCost < 0;
                q.fCost = c;
                q.nParent = j;
                q.nEntry = d;
                if (fNew) heap.Push(q.cLink, c);
                else heap.Decrease(q.cLink, c);
            }
        }
    }
    m_req.times.dSearch = Ms(t1, Clock::now());
    return fFound || Fail(RouteError::NoPath);
}

float CSearch::Bound(const RoutingLink& l) const {
    if (l.cLink == m_nGoal || l.nToNode < 0) return 0;
    const CMapPoint& a = l.nToNode == m_nVEnd ? m_end.ptFoot
                                              : m_graph.NodePositions()[static_cast<std::size_t>(l.nToNode)];
    const double dx = static_cast<double>(a.lX) - m_end.ptFoot.lX;
    const double dy = static_cast<double>(a.lY) - m_end.ptFoot.lY;
    return static_cast<float>(std::sqrt(dx * dx * m_graph.XScale() + dy * dy) * m_fBoundScale);
}

bool CSearch::SearchLazy(bool fAStar) {
    m_nGoal = static_cast<std::int32_t>(m_links.size());
    RoutingLink goal;
    goal.cLink = m_nGoal;
    goal.nToNode = goal.nFromNode = -1;
    m_links.push_back(goal);
    m_nOrigin = m_nGoal + 1;
    RoutingLink origin = goal;
    origin.cLink = m_nOrigin;
    m_links.push_back(origin);
    // Fields of a link are this search's only when stamped with its number.
    const std::uint32_t nStamp = m_nStamp;
    auto touch = [&](RoutingLink& l) {
        if (l.nStamp != nStamp) {
            l.nStamp = nStamp;
            l.fCost = -1;
            l.nParent = l.nEntry = l.nHeapPos = -1;
        }
    };
    const bool fFastest = m_req.options.fFastest != 0;
    if (fAStar) {
        // No link costs less than its length over the fastest speed and the
        // largest class factor; the margin covers the rounding of lengths.
        const float fFactor = m_graph.MaxFactor();
        const int nMaxSpeed = VehicleSpeed(static_cast<WORD>(c_wRoadSpeedMask), m_req.options.nVehicle) < m_graph.MaxSpeed()
                                  ? VehicleSpeed(static_cast<WORD>(c_wRoadSpeedMask), m_req.options.nVehicle)
                                  : m_graph.MaxSpeed();
        m_fBoundScale = fFastest ? 0.99f / (static_cast<float>(nMaxSpeed) * 10.0f / 36.0f) / fFactor : 0.99f;
    }
    const auto t1 = Clock::now();
    CLinkHeap heap(m_links, 1024);
    RoutingLink& o = m_links[static_cast<std::size_t>(m_nOrigin)];
    touch(o);
    o.fCost = 0;
    heap.Push(m_nOrigin, 0);
    bool fFound = false;
    std::size_t cPopped = 0;
    while (!heap.Empty()) {
        const std::int32_t j = heap.Pop();
        ++m_req.cSettled;
        if (j == m_nGoal) {
            fFound = true;
            break;
        }
        if ((++cPopped & 0xFFFF) == 0 && m_req.progress.Cancelled()) return Fail(RouteError::Cancelled);
        const float fCostJ = m_links[static_cast<std::size_t>(j)].fCost;
        ForEachSuccessor(j, [&](std::int32_t nQ) {
            RoutingLink& q = m_links[static_cast<std::size_t>(nQ)];
            if (q.wRoadFlags & m_wMask) return;
            touch(q);
            const float c = (nQ == m_nGoal ? 0.0f : LinkCost(q, fFastest, m_req.options.nVehicle)) + fCostJ;
            if (q.fCost < 0 || q.fCost > c) {
                const bool fNew = q.fCost < 0;
                q.fCost = c;
                q.nParent = j;
                q.nEntry = j;
                const float fKey = fAStar ? c + Bound(q) : c;
                if (fNew) heap.Push(nQ, fKey);
                else if (q.nHeapPos >= 0) heap.Decrease(nQ, fKey);
                else heap.Push(nQ, fKey); // settled before: only a bound can reopen it
            }
        });
    }
    m_req.times.dSearch = Ms(t1, Clock::now());
    return fFound || Fail(RouteError::NoPath);
}

int CSearch::LeavingLinks(std::int32_t nNode) const {
    int c = 0;
    if (nNode < 0) return 0;
    for (std::int32_t l = m_nodes[static_cast<std::size_t>(nNode)].nFirstLink; l >= 0;
         l = m_links[static_cast<std::size_t>(l)].cNextLink)
        c += static_cast<std::size_t>(l) < m_cMapLinks;
    return c;
}

bool CSearch::BuildRoute() {
    std::vector<RouteSearchPoint> route;
    auto plain = [this](const CMapPoint& pt, const RoutingLink* pLink, const std::u16string& strName) {
        RouteSearchPoint p;
        p.pt = pt;
        p.strName = strName;
        if (pLink) {
            p.btSpeed = static_cast<BYTE>(SpeedOfClass(pLink->wRoadFlags & c_wRoadSpeedMask));
            p.btClass = static_cast<BYTE>((pLink->wRoadFlags >> c_wRoadClassShift) & 7);
            p.cLink = pLink->cLink >= static_cast<std::int32_t>(m_cMapLinks) ? -1
                      : pLink->nCopyOf >= 0                                   ? pLink->nCopyOf
                                                                              : pLink->cLink;
        }
        return p;
    };
    route.push_back(plain(m_end.ptFoot, nullptr, {}));
    std::u16string strCurrent;
    bool fNamed = false;
    bool fRoundabout = false;
    int cExits = 0;
    double dLength = 0, dTime = 0, dCostShortest = 0, dCostFastest = 0;
    CTurnAnalysis turns(m_graph, m_cMapLinks, m_nVEnd);
    std::vector<CMapPoint> pts;
    std::int32_t n = -1; // the link after l in travel order
    std::size_t cSteps = 0;
    for (std::int32_t l = m_links[static_cast<std::size_t>(m_nGoal)].nParent; l != m_nOrigin;) {
        if (l < 0 || ++cSteps > m_links.size()) return Fail(RouteError::NoPath); // no way back
        const RoutingLink link = m_links[static_cast<std::size_t>(l)];
        TurnResult turn;
        if (n >= 0) turn = turns.Analyse(link, m_links[static_cast<std::size_t>(n)]);
        CZemObject obj;
        std::u16string strName;
        const CMapPoint* p = m_graph.DecodeRoad(link.nBlock, link.dwRoad, obj, &strName);
        if (!p || link.nToPoint < 0 || link.nFromPoint < 0 ||
            static_cast<unsigned>(std::max(link.nToPoint, link.nFromPoint)) >= obj.cPoints)
            return Fail(RouteError::NoPath);
        pts.assign(p, p + obj.cPoints);
        if (!fNamed) {
            strCurrent = strName;
            fNamed = true;
        }
        const double dMetres = link.fLength * c_dMetresPerUnit;
        dLength += dMetres;
        dCostShortest += LinkCost(link, false, m_req.options.nVehicle);
        dCostFastest += LinkCost(link, true, m_req.options.nVehicle);
        dTime += dMetres / (VehicleSpeed(link.wRoadFlags, m_req.options.nVehicle) / 3.6);

        const CMapPoint& ptTo = pts[static_cast<std::size_t>(link.nToPoint)];
        // A link to the end that passes no point of its road ends at its own
        // node: that point is the next link's to say.
        const bool fNoPoint = link.nToNode == m_nVEnd && link.nFromPoint == link.nToPoint;
        if (!fNoPoint && !(ptTo == route.back().pt)) {
            const RoutingLink* pNext = n >= 0 ? &m_links[static_cast<std::size_t>(n)] : nullptr;
            if (fRoundabout || link.btRoadType == 12) {
                if (!fRoundabout) {
                    fRoundabout = true;
                    cExits = 1;
                    route.push_back(plain(ptTo, &link, strCurrent));
                } else if (link.btRoadType == 12) {
                    RouteSearchPoint rp = plain(ptTo, &link, strCurrent);
                    rp.btKind |= c_btPointRoundabout;
                    route.push_back(std::move(rp));
                    if (LeavingLinks(link.nToNode) > 1) ++cExits;
                } else {
                    RouteSearchPoint rp = plain(ptTo, &link, strCurrent);
                    rp.btKind |= c_btPointManoeuvre | c_btPointRoundabout;
                    rp.btExtra = static_cast<BYTE>(std::min(cExits, 255));
                    rp.nAngle = turn.nAngle;
                    if (pNext) rp.fLength = pNext->fLength;
                    route.push_back(std::move(rp));
                    fRoundabout = false;
                }
            } else if (turn.fJunction) {
                RouteSearchPoint rp = plain(ptTo, &link, strCurrent);
                rp.btKind |= turn.fKeep ? c_btPointKeep : c_btPointManoeuvre;
                if (turn.fKeep) rp.btExtra = turn.btKeepSide;
                rp.nAngle = turn.nAngle;
                if (pNext) {
                    rp.fLength = pNext->fLength;
                    if (pNext->btRoadType == 8 || pNext->btRoadType == 9 || pNext->btRoadType == 11)
                        rp.btKind |= c_btPointRamp;
                }
                route.push_back(std::move(rp));
            } else {
                route.push_back(plain(ptTo, &link, strCurrent));
            }
        }
        // The road's inner points, from the to point back to the from point.
        const int nStep = link.nToPoint > link.nFromPoint ? -1 : 1;
        for (std::int32_t i = link.nToPoint + nStep; link.nToPoint != link.nFromPoint && i != link.nFromPoint;
             i += nStep)
            route.push_back(plain(pts[static_cast<std::size_t>(i)], &link, strName));
        strCurrent = strName;
        if (link.nParent == m_nOrigin) {
            if (link.nFromPoint != link.nToPoint)
                route.push_back(plain(pts[static_cast<std::size_t>(link.nFromPoint)], nullptr, {}));
            break;
        }
        n = l;
        l = link.nParent;
    }
    route.push_back(plain(m_start.ptFoot, nullptr, {}));
    std::reverse(route.begin(), route.end());
    m_req.dLengthM = dLength;
    m_req.dTimeS = dTime;
    m_req.dCost = m_links[static_cast<std::size_t>(m_nGoal)].fCost;
    m_req.dCostShortest = dCostShortest;
    m_req.dCostFastest = dCostFastest;
    m_req.points.insert(m_req.points.end(), std::make_move_iterator(route.begin()),
                        std::make_move_iterator(route.end()));
    return true;
}

bool CSearch::Run() {
    const auto t0 = Clock::now();
    m_req.error = RouteError::None;
    m_req.times = RouteTimes();
    m_req.cSettled = 0;
    if (m_graph.Map().NodeCount() == 0) return Fail(RouteError::NoRoutingData);
    const CMapRect& rcMap = m_graph.Map().Bounds();
    const double dLat = (static_cast<double>(rcMap.top) + rcMap.bottom) / 2 * M_PI / 1073741824.0;
    const double kk = std::cos(dLat) * std::cos(dLat);
    const double dx = static_cast<double>(m_req.ptStart.lX) - m_req.ptEnd.lX;
    const double dy = static_cast<double>(m_req.ptStart.lY) - m_req.ptEnd.lY;
    const double dEnds = std::sqrt(dx * dx * kk + dy * dy);
    if (dEnds * c_dMetresPerUnit < 20) return Fail(RouteError::TooClose);
    if (!m_graph.IsBuilt()) {
        const auto tg = Clock::now();
        GraphError ge = GraphError::None;
        if (!m_graph.Build(m_req.progress, &ge))
            return Fail(ge == GraphError::Cancelled     ? RouteError::Cancelled
                        : ge == GraphError::OutOfMemory ? RouteError::OutOfMemory
                        : ge == GraphError::NoRoutingData ? RouteError::NoRoutingData
                                                        : RouteError::GraphBuild);
        m_req.times.dGraph = Ms(tg, Clock::now());
    }
    m_wMask = AccessMask(m_req.options);
    if (m_req.options.nVehicle >= 0 && m_req.options.nVehicle < c_cRouteVehicles)
        m_btVehicle = static_cast<BYTE>(1u << m_req.options.nVehicle);

    const auto tf = Clock::now();
    m_start.pt = m_req.ptStart;
    m_end.pt = m_req.ptEnd;
    // Only roads open to the vehicle take the ends: a car is not put on a
    // footway it may not leave.
    auto avoided = [](WORD wFlags, BYTE btType, const void* p) {
        const RouteOptions& o = *static_cast<const RouteOptions*>(p);
        return AvoidedType(btType, o) || (o.fAvoidTolls && (wFlags & c_wRoadToll));
    };
    if (!FindRouteEnds(m_graph, m_start, m_end, static_cast<WORD>(m_wMask & ~c_wRoadToll), avoided, &m_req.options,
                       m_req.progress))
        return Fail(RouteError::Cancelled);
    m_req.times.dFindEnds = Ms(tf, Clock::now());
    CRoadGraph::Debug("find source and dest: %.1f ms\n", m_req.times.dFindEnds);
    if (!m_start.Finish()) return Fail(RouteError::NoRoadNearStart);
    if (!m_end.Finish()) return Fail(RouteError::NoRoadNearEnd);
    for (const CRouteEnd* e : {&m_start, &m_end})
        CRoadGraph::Debug("%s: road %u, segment %d-%d, nodes %d (point %d, %.0f) and %d (point %d, %.0f)%s\n",
                          e->fIsStart ? "Start" : "End", e->dwRoad, e->iFrom, e->iTo, e->nPrevNode, e->cPrevRPoint,
                          e->fDistPrev, e->nNextNode, e->cNextRPoint, e->fDistNext, e->fOneWay ? ", one-way" : "");
    if (dEnds < std::sqrt(m_start.fD2) || dEnds < std::sqrt(m_end.fD2))
        return Fail(RouteError::EndsNearerThanRoad);
    // Both ends on one road: the road alone, unless the search finds a
    // cheaper way round (the ends may sit on the road's junctions).
    Shortcut sc;
    const bool fShortcut = m_start.dwRoad == m_end.dwRoad && SameRoad(m_start, m_end, sc);
    const double dShortcut = m_req.options.fFastest ? sc.dCostFastest : sc.dCostShortest;

    m_nStamp = m_graph.NextGeneration();
    AddVirtualLinks();
    bool fOk = false;
    if (m_req.method == SearchMethod::Dijkstra) fOk = SearchEager();
    else fOk = SearchLazy(m_req.method == SearchMethod::AStar);
    if (fShortcut && (!fOk || m_links[static_cast<std::size_t>(m_nGoal)].fCost >= dShortcut)) {
        if (m_req.error == RouteError::Cancelled) return false;
        m_req.error = RouteError::None;
        TakeShortcut(sc);
        m_req.times.dTotal = Ms(t0, Clock::now());
        m_req.progress.At(100);
        return true;
    }
    if (!fOk) return false;
    const auto tb = Clock::now();
    if (!BuildRoute()) return false;
    m_req.times.dBuild = Ms(tb, Clock::now());
    m_req.times.dTotal = Ms(t0, Clock::now());
    CRoadGraph::Debug("Total: %.1f ms\n", m_req.times.dTotal);
    m_req.progress.At(100);
    return true;
}

} // namespace

CRoadGraph& RoadGraphOf(CZemParser& map) {
    std::unique_ptr<CZemAttachment>& slot = map.RoutingState();
    auto* p = dynamic_cast<CRoadGraph*>(slot.get());
    if (!p) {
        auto graph = std::make_unique<CRoadGraph>(map);
        p = graph.get();
        slot = std::move(graph);
    }
    return *p;
}

bool FindRoute(CRoadGraph& graph, CRouteRequest& request) {
    try {
        CSearch search(graph, request);
        return search.Run();
    } catch (const std::bad_alloc&) {
        request.error = RouteError::OutOfMemory;
        return false;
    } catch (const std::length_error&) {
        request.error = RouteError::OutOfMemory;
        return false;
    }
}

bool FindRoute(CZemParser& map, CRouteRequest& request) {
    if (map.NodeCount() == 0) {
        request.error = RouteError::NoRoutingData;
        return false;
    }
    return FindRoute(RoadGraphOf(map), request);
}

void InstallRouteSearch() {
    CZemParser::SetFindRouteHook([](CZemParser& map, CRouteRequest& request) {
        return FindRoute(map, request);
    });
}

} // namespace velka
