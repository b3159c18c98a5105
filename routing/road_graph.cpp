#include "routing/road_graph.h"

#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <new>

#include "geometry/point_algorithms.h"
#include "mapdata/label_interpret.h"

namespace velka {

namespace {

bool g_fDebug = false;

// A node number read from a record, or -1 when it is missing or too large.
LONG ValidNode(LONG n, DWORD cNodes) {
    return n >= 0 && static_cast<DWORD>(n) < cNodes ? n : -1;
}

} // namespace

int SpeedOfClass(unsigned nSpeedClass) {
    static constexpr int c_aKmh[8] = {5, 20, 40, 60, 80, 90, 110, 140};
    return c_aKmh[nSpeedClass & 7];
}

float ClassFactor(unsigned nRoadClass) {
    switch (nRoadClass & 7) {
    case 0: return 0.5f;
    case 1: return 0.7f;
    case 2: return 0.9f;
    case 4: return 1.2f;
    default: return 1.0f;
    }
}

void CRoadGraph::SetDebug(bool f) { g_fDebug = f; }

void CRoadGraph::Debug(const char* szFormat, ...) {
    if (!g_fDebug) return;
    va_list args;
    va_start(args, szFormat);
    std::vfprintf(stderr, szFormat, args);
    va_end(args);
}

CRoadGraph::CRoadGraph(CZemParser& map) : m_map(map) {}

void CRoadGraph::Clear() {
    m_nodes.clear();
    m_nodes.shrink_to_fit();
    m_links.clear();
    m_links.shrink_to_fit();
    m_restrictions.clear();
    m_blocks.clear();
    m_nodePos.clear();
    m_fBuilt = false;
}

const CMapPoint* CRoadGraph::DecodeRoad(std::uint32_t nBlock, std::uint32_t dwRoad, CZemObject& obj,
                                        std::u16string* pName) {
    if (nBlock >= m_blocks.size()) return nullptr;
    const CZemBlock& block = m_blocks[nBlock];
    const BYTE* p = m_map.Data() + dwRoad;
    if (dwRoad >= m_map.FileSize() || p < block.apSection[rkPolyline] ||
        p >= block.apSectionEnd[rkPolyline])
        return nullptr;
    char16_t raw[c_cDisplayLabelMax];
    CBitReader br(p, block.apSectionEnd[rkPolyline]);
    if (!m_map.DecodeObject(br, rkPolyline, block, m_nLevel, obj, pName ? raw : nullptr,
                            pName ? c_cDisplayLabelMax : 0, &m_nodeRefs))
        return nullptr;
    for (LONG& n : m_nodeRefs) n = ValidNode(n, m_cNodes);
    if (pName) {
        char16_t text[c_cDisplayLabelMax];
        int nShield = 0;
        const int c = obj.nLabelEncoding ? LabelInterpret(rkPolyline, obj.wType, m_map.LabelsInMetres(),
                                                          true, raw, obj.cRawLabel, text, &nShield)
                                         : 0;
        pName->assign(text, static_cast<std::size_t>(std::max(c, 0)));
    }
    return m_map.PointBuffer();
}

std::uint32_t CRoadGraph::NextGeneration() {
    if (++m_nGeneration == 0) {
        for (RoutingLink& l : m_links) l.nStamp = 0;
        m_nGeneration = 1;
    }
    return m_nGeneration;
}

void CRoadGraph::AttachRestriction(RoutingLink& link, std::int32_t nRestriction) {
    std::int32_t* pn = &link.nRestrictions;
    while (*pn >= 0) {
        if (*pn == nRestriction) return; // already there
        pn = &m_restrictions[static_cast<std::size_t>(*pn)].nNext;
    }
    *pn = nRestriction;
    m_restrictions[static_cast<std::size_t>(nRestriction)].nNext = -1;
}

bool CRoadGraph::Build(const RouteProgress& progress, GraphError* pError) {
    GraphError error = GraphError::None;
    if (m_fBuilt) return true;
    const auto t0 = std::chrono::steady_clock::now();
    bool fOk = false;
    try {
        fOk = BuildPasses(progress, error);
    } catch (const std::bad_alloc&) {
        error = GraphError::OutOfMemory;
        fOk = false;
    } catch (const std::length_error&) {
        error = GraphError::OutOfMemory;
        fOk = false;
    }
    if (!fOk) {
        Clear();
        if (pError) *pError = error;
        return false;
    }
    m_dBuildMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    Debug("Build graph: %.1f ms\n", m_dBuildMs);
    progress.At(60);
    m_fBuilt = true;
    if (pError) *pError = GraphError::None;
    return true;
}

bool CRoadGraph::BuildPasses(const RouteProgress& progress, GraphError& error) {
    Debug("Routing node size: %u\n", static_cast<unsigned>(sizeof(RoutingNode)));
    Debug("Routing link size: %u\n", static_cast<unsigned>(sizeof(RoutingLink)));
    Debug("Routing dual link size: %u\n", 12u);
    m_cNodes = m_map.NodeCount();
    if (m_cNodes == 0 || m_map.LevelCount() == 0 || !m_map.CanDraw()) {
        error = GraphError::NoRoutingData;
        return false;
    }
    // Every node takes at least one bit of some record: a count beyond that
    // is a damaged header, not a map to allocate for.
    if (std::uint64_t{m_cNodes} > std::uint64_t{m_map.FileSize()} * 8) {
        error = GraphError::NoRoutingData;
        return false;
    }
    m_nLevel = m_map.LevelCount() - 1;
    m_nodes.assign(std::size_t{m_cNodes} + 2, RoutingNode{});
    for (std::size_t i = 0; i < m_nodes.size(); ++i)
        m_nodes[i].nIndex = m_nodes[i].nRealIndex = static_cast<std::int32_t>(i);
    m_nodePos.assign(m_nodes.size(), CMapPoint{});
    m_links.clear();
    m_blocks.clear();
    m_cOneWayLinks = 0;
    m_nMaxSpeed = 5;
    m_fMaxFactor = 0.5f;

    {
        CZemBlock block;
        std::size_t n = 0;
        for (bool f = m_map.FirstBlock(m_nLevel, block); f; f = m_map.NextBlock(m_nLevel, n++, block))
            m_blocks.push_back(block);
    }

    // Pass 1: count the links so the array is sized once.
    std::size_t cLinks = 0;
    for (std::size_t b = 0; b < m_blocks.size(); ++b) {
        if (progress.Cancelled()) {
            error = GraphError::Cancelled;
            return false;
        }
        const CZemBlock& block = m_blocks[b];
        const BYTE* p = block.apSection[rkPolyline];
        while (p < block.apSectionEnd[rkPolyline]) {
            CBitReader br(p, block.apSectionEnd[rkPolyline]);
            CZemObject obj;
            if (!m_map.DecodeObject(br, rkPolyline, block, m_nLevel, obj, nullptr, 0, &m_nodeRefs)) break;
            p = obj.pNext;
            if (!obj.fNodeReferences) continue;
            const bool fOneWay = (obj.wRoadFlags & c_wRoadOneWay) != 0;
            bool fPrev = false;
            for (LONG n : m_nodeRefs) {
                if (ValidNode(n, m_cNodes) < 0) continue;
                if (fPrev) cLinks += fOneWay ? 1 : 2;
                fPrev = true;
            }
        }
    }
    progress.At(10);
    m_links.reserve(cLinks + 10);

    const CMapRect& rc = m_map.Bounds();
    const double dLat = (static_cast<double>(rc.top) + rc.bottom) / 2 * M_PI / 1073741824.0;
    m_fCosLat = static_cast<float>(std::cos(dLat));
    m_fXScale = m_fCosLat * m_fCosLat;

    // Pass 2: the links, each put at the head of its from node's list.
    auto append = [&](std::int32_t nFrom, std::int32_t nTo, std::int32_t iFrom, std::int32_t iTo,
                      float fLength, const CZemObject& obj, std::uint32_t nBlock) {
        RoutingLink link;
        link.cLink = static_cast<std::int32_t>(m_links.size());
        link.nFromNode = link.nRealFrom = nFrom;
        link.nToNode = link.nRealTo = nTo;
        link.fLength = fLength;
        link.wRoadFlags = obj.wRoadFlags;
        link.btRoadType = static_cast<BYTE>(std::min<unsigned>(obj.wType, 255));
        link.nBlock = nBlock;
        link.dwRoad = static_cast<std::uint32_t>(obj.pRecord - m_map.Data());
        link.nFromPoint = iFrom;
        link.nToPoint = iTo;
        link.fAscending = iFrom < iTo;
        m_nMaxSpeed = std::max(m_nMaxSpeed, SpeedOfClass(obj.wRoadFlags & c_wRoadSpeedMask));
        m_fMaxFactor = std::max(m_fMaxFactor, ClassFactor(obj.wRoadFlags >> c_wRoadClassShift));
        RoutingNode& from = m_nodes[static_cast<std::size_t>(nFrom)];
        link.cNextLink = from.nFirstLink;
        from.nFirstLink = link.cLink;
        m_links.push_back(link);
    };
    for (std::size_t b = 0; b < m_blocks.size(); ++b) {
        if (progress.Cancelled()) {
            error = GraphError::Cancelled;
            return false;
        }
        const CZemBlock& block = m_blocks[b];
        const BYTE* p = block.apSection[rkPolyline];
        while (p < block.apSectionEnd[rkPolyline]) {
            CBitReader br(p, block.apSectionEnd[rkPolyline]);
            CZemObject obj;
            if (!m_map.DecodeObject(br, rkPolyline, block, m_nLevel, obj, nullptr, 0, &m_nodeRefs)) break;
            p = obj.pNext;
            if (!obj.fNodeReferences) continue;
            const bool fOneWay = (obj.wRoadFlags & c_wRoadOneWay) != 0;
            const CMapPoint* pts = m_map.PointBuffer();
            std::int32_t nPrev = -1, iPrev = -1;
            for (std::size_t i = 0; i < m_nodeRefs.size(); ++i) {
                const LONG n = ValidNode(m_nodeRefs[i], m_cNodes);
                if (n < 0) continue;
                m_nodePos[static_cast<std::size_t>(n)] = pts[i];
                if (nPrev >= 0) {
                    const float fLen = static_cast<float>(
                        PolylineLength(pts, static_cast<std::size_t>(iPrev), i, m_fXScale));
                    ++m_nodes[static_cast<std::size_t>(nPrev)].cLinks;
                    ++m_nodes[static_cast<std::size_t>(n)].cLinks;
                    if (m_links.size() >= cLinks + 10) break; // the count disagrees: damaged data
                    append(nPrev, n, iPrev, static_cast<std::int32_t>(i), fLen, obj,
                           static_cast<std::uint32_t>(b));
                    if (fOneWay) ++m_cOneWayLinks;
                    else append(n, nPrev, static_cast<std::int32_t>(i), iPrev, fLen, obj,
                                static_cast<std::uint32_t>(b));
                }
                nPrev = n;
                iPrev = static_cast<std::int32_t>(i);
            }
        }
        if ((b & 63) == 0) progress.At(10 + static_cast<int>(50 * b / std::max<std::size_t>(m_blocks.size(), 1)));
    }
    ReadRestrictions();
    return true;
}

void CRoadGraph::AddExtra(RoutingLink& from, std::int32_t nTo) {
    const auto n = static_cast<std::int32_t>(m_extras.size());
    m_extras.push_back({nTo, from.nFirstExtra});
    from.nFirstExtra = n;
}

std::int32_t CRoadGraph::FindLink(std::int32_t nFrom, std::int32_t nRoad, std::int32_t nTo) const {
    for (std::int32_t l = m_nodes[static_cast<std::size_t>(nFrom)].nFirstLink; l >= 0;
         l = m_links[static_cast<std::size_t>(l)].cNextLink) {
        const RoutingLink& link = m_links[static_cast<std::size_t>(l)];
        if (link.dwRoad == static_cast<std::uint32_t>(nRoad) && link.nRealTo == nTo) return l;
    }
    return -1;
}

bool CRoadGraph::PlaceRestrictions(const std::vector<RouteRestriction>& row) {
    for (const RouteRestriction& r : row)
        if (static_cast<DWORD>(r.cFromNode) >= m_cNodes || static_cast<DWORD>(r.cNode) >= m_cNodes ||
            static_cast<DWORD>(r.cToNode) >= m_cNodes || static_cast<DWORD>(r.cFromRoad) >= m_map.FileSize() ||
            static_cast<DWORD>(r.cToRoad) >= m_map.FileSize())
            return false;
    if (row.size() == 1) {
        const RouteRestriction& r = row.front();
        bool fAttached = false;
        for (std::int32_t l = m_nodes[static_cast<std::size_t>(r.cFromNode)].nFirstLink; l >= 0;
             l = m_links[static_cast<std::size_t>(l)].cNextLink) {
            RoutingLink& link = m_links[static_cast<std::size_t>(l)];
            if (link.dwRoad != static_cast<std::uint32_t>(r.cFromRoad) || link.nRealTo != r.cNode) continue;
            const auto n = static_cast<std::int32_t>(m_restrictions.size());
            m_restrictions.push_back(r);
            AttachRestriction(link, n);
            fAttached = true;
        }
        return fAttached;
    }
    // A row of turns: the links it runs along...
    std::vector<std::int32_t> path;
    path.push_back(FindLink(row[0].cFromNode, row[0].cFromRoad, row[0].cNode));
    for (const RouteRestriction& r : row) path.push_back(FindLink(r.cNode, r.cToRoad, r.cToNode));
    for (std::size_t k = 1; k < row.size(); ++k)
        if (row[k].cFromNode != row[k - 1].cNode || row[k].cNode != row[k - 1].cToNode) return false;
    for (std::int32_t l : path)
        if (l < 0) return false;
    // ...and copies of its inner links that only traffic on the row enters:
    // the copy of the last inner link forbids the row's last turn. Rows
    // with the same beginning share their copies.
    auto forbid = [&](std::int32_t nFrom, std::int32_t nInto, BYTE btVehicles) {
        const RoutingLink& into = m_links[static_cast<std::size_t>(nInto)];
        RouteRestriction r;
        r.cFromNode = m_links[static_cast<std::size_t>(nFrom)].nRealFrom;
        r.cNode = m_links[static_cast<std::size_t>(nFrom)].nRealTo;
        r.cToNode = into.nRealTo;
        r.cFromRoad = static_cast<std::int32_t>(m_links[static_cast<std::size_t>(nFrom)].dwRoad);
        r.cToRoad = static_cast<std::int32_t>(into.dwRoad);
        r.btVehicles = btVehicles;
        const auto n = static_cast<std::int32_t>(m_restrictions.size());
        m_restrictions.push_back(r);
        AttachRestriction(m_links[static_cast<std::size_t>(nFrom)], n);
    };
    const BYTE btVehicles = row.front().btVehicles;
    std::int32_t nPrev = path.front();
    for (std::size_t k = 1; k + 1 < path.size(); ++k) {
        const std::int32_t nOrig = path[k];
        std::int32_t nCopy = -1;
        for (std::int32_t e = m_links[static_cast<std::size_t>(nPrev)].nFirstExtra; e >= 0;
             e = m_extras[static_cast<std::size_t>(e)].nNext) {
            const std::int32_t t = m_extras[static_cast<std::size_t>(e)].nTo;
            if (m_links[static_cast<std::size_t>(t)].nCopyOf == nOrig) nCopy = t;
        }
        if (nCopy < 0) {
            RoutingLink copy = m_links[static_cast<std::size_t>(nOrig)];
            nCopy = static_cast<std::int32_t>(m_links.size());
            copy.cLink = nCopy;
            copy.cNextLink = -1;
            copy.nCopyOf = nOrig;
            copy.nFirstExtra = -1;
            copy.nRestrictions = -1;
            m_links.push_back(copy);
            for (std::int32_t r = m_links[static_cast<std::size_t>(nOrig)].nRestrictions; r >= 0;
                 r = m_restrictions[static_cast<std::size_t>(r)].nNext) {
                RouteRestriction rr = m_restrictions[static_cast<std::size_t>(r)];
                const auto n = static_cast<std::int32_t>(m_restrictions.size());
                m_restrictions.push_back(rr);
                AttachRestriction(m_links[static_cast<std::size_t>(nCopy)], n);
            }
            forbid(nPrev, nOrig, btVehicles);
            AddExtra(m_links[static_cast<std::size_t>(nPrev)], nCopy);
        }
        nPrev = nCopy;
    }
    forbid(nPrev, path.back(), btVehicles);
    return true;
}

void CRoadGraph::ReadRestrictions() {
    m_restrictions.clear();
    m_extras.clear();
    m_cRestrictionsRead = m_cRestrictionsAttached = m_cRestrictionsSkipped = 0;
    const DWORD cRecords = m_map.RestrictionCount();
    const DWORD dwOffset = m_map.RestrictionOffset();
    if (cRecords == 0 || dwOffset >= m_map.FileSize()) return;
    const unsigned cNodeBits = m_map.NodeBits();
    const unsigned cRoadBits = m_map.RoadOffsetBits();
    CBitReader br(m_map.Data() + dwOffset, m_map.Data() + m_map.FileSize());
    std::vector<RouteRestriction> row;
    for (DWORD i = 0; i < cRecords; ++i) {
        RouteRestriction r;
        r.cFromNode = static_cast<std::int32_t>(br.ReadBits(cNodeBits));
        r.cNode = static_cast<std::int32_t>(br.ReadBits(cNodeBits));
        r.cToNode = static_cast<std::int32_t>(br.ReadBits(cNodeBits));
        r.cFromRoad = static_cast<std::int32_t>(br.ReadBits(cRoadBits));
        r.cToRoad = static_cast<std::int32_t>(br.ReadBits(cRoadBits));
        // The extra bits: 8 bits of vehicles bound, then whether the next
        // record continues a row of turns.
        bool fContinues = false;
        if (br.ReadBit()) {
            const unsigned n = br.ReadBits(5);
            const std::uint32_t bits = br.ReadBits(n);
            if (n >= 8) r.btVehicles = static_cast<BYTE>(bits);
            if (n >= 9) fContinues = (bits >> 8) & 1;
        }
        if (br.Failed()) break; // the stream ends before its count
        ++m_cRestrictionsRead;
        row.push_back(r);
        if (fContinues && i + 1 < cRecords) continue;
        if (PlaceRestrictions(row)) m_cRestrictionsAttached += row.size();
        else m_cRestrictionsSkipped += row.size();
        row.clear();
    }
    Debug("Restrictions: %zu read, %zu attached, %zu skipped\n", m_cRestrictionsRead,
          m_cRestrictionsAttached, m_cRestrictionsSkipped);
}

} // namespace velka
