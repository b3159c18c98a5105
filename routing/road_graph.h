// The road graph of a native map: nodes where roads meet, one directed link
// per direction of travel along a road piece between two consecutive nodes,
// and the turn restrictions attached to the links they start from. Built
// once per open map from the polyline records of the finest zoom level.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "geometry/map_types.h"
#include "mapdata/zem_parser.h"
#include "platform/win_types.h"

namespace velka {

// Road flags of a link (16 bits of the road record).
constexpr WORD c_wRoadSpeedMask = 0x0007;
constexpr WORD c_wRoadClassShift = 3;
constexpr WORD c_wRoadOneWay = 0x0040;
constexpr WORD c_wRoadToll = 0x0080;
constexpr WORD c_wClosedEmergency = 0x0100;
constexpr WORD c_wClosedDelivery = 0x0200;
constexpr WORD c_wClosedCar = 0x0400;
constexpr WORD c_wClosedBus = 0x0800;
constexpr WORD c_wClosedTaxi = 0x1000;
constexpr WORD c_wClosedPedestrian = 0x2000;
constexpr WORD c_wClosedBicycle = 0x4000;
constexpr WORD c_wClosedTruck = 0x8000;

// Speed in km/h of a speed class 0-7, and the cost factor of a road class.
int SpeedOfClass(unsigned nSpeedClass);
float ClassFactor(unsigned nRoadClass);

// A restriction as read from the map: no turn from road cFromRoad (leaving
// node cFromNode) through cNode into road cToRoad towards cToNode. Roads
// are record offsets in the file. nNext chains those attached to one link.
struct RouteRestriction {
    std::int32_t cFromNode = 0;
    std::int32_t cNode = 0;
    std::int32_t cToNode = 0;
    std::int32_t cFromRoad = 0;
    std::int32_t cToRoad = 0;
    std::int32_t nNext = -1;
    BYTE btVehicles = 0xFF; // bit v: binds vehicle v
};

// A transition the node lists do not give: into the copy of a link that
// only the traffic of one row of turns uses (restrictions over via ways).
struct ExtraTransition {
    std::int32_t nTo = -1;
    std::int32_t nNext = -1;
};

struct RoutingNode {
    std::int32_t nIndex = 0;
    std::int32_t nRealIndex = 0; // the map node a virtual node stands for
    std::int32_t nFirstLink = -1;
    std::int32_t cLinks = 0;
};

// One direction of travel along a road piece. Search fields (cost, parent,
// entry, heap position, first transition) belong to the search running on
// the graph; nStamp says which search wrote them.
struct RoutingLink {
    std::int32_t nHeapPos = -1;
    std::int32_t cLink = 0;     // own index
    std::int32_t nToNode = 0;
    std::int32_t nFromNode = 0;
    std::int32_t nRealFrom = 0; // map nodes of the road piece, in travel order
    std::int32_t nRealTo = 0;
    std::int32_t cNextLink = -1; // next link leaving the same node
    float fLength = 0;           // map units
    WORD wRoadFlags = 0;
    BYTE btRoadType = 0;         // clipped to 255
    std::uint32_t nBlock = 0;    // index into the graph's block table
    std::uint32_t dwRoad = 0;    // record offset in the file
    std::int32_t nFromPoint = 0; // point indices in the road's list
    std::int32_t nToPoint = 0;
    bool fAscending = true;          // travels in the stored point order
    std::int32_t nRestrictions = -1; // first RouteRestriction attached
    float fCost = -1;                // -1: never reached
    std::int32_t nParent = -1;
    std::int32_t nEntry = -1;        // the transition that reached it
    std::int32_t nFirstTransition = -1;
    std::uint32_t nStamp = 0;
    std::int32_t nFirstExtra = -1; // ExtraTransition list
    std::int32_t nCopyOf = -1;     // the map link this one copies, -1 for map links
};

// Progress of a graph build or a search: a range of the progress bar, a
// flag the caller may set to cancel, and where progress goes.
struct RouteProgress {
    int nStart = 0;
    int nEnd = 100;
    const std::atomic<bool>* pCancel = nullptr;
    std::function<void(int)> report;

    bool Cancelled() const { return pCancel && pCancel->load(std::memory_order_relaxed); }
    // Reports the point at nPercent of the range.
    void At(int nPercent) const {
        if (report) report(nStart + (nEnd - nStart) * nPercent / 100);
    }
};

// Why a build failed.
enum class GraphError { None, NoRoutingData, Cancelled, OutOfMemory };

class CRoadGraph : public CZemAttachment {
public:
    explicit CRoadGraph(CZemParser& map);

    // Builds once; true at once when built before. A cancelled or failed
    // build leaves nothing behind, so the next call builds again.
    bool Build(const RouteProgress& progress, GraphError* pError = nullptr);
    bool IsBuilt() const { return m_fBuilt; }

    CZemParser& Map() const { return m_map; }
    DWORD NodeCount() const { return m_cNodes; }
    std::vector<RoutingNode>& Nodes() { return m_nodes; }
    std::vector<RoutingLink>& Links() { return m_links; }
    const std::vector<RoutingLink>& Links() const { return m_links; }
    std::vector<RouteRestriction>& Restrictions() { return m_restrictions; }
    std::vector<ExtraTransition>& Extras() { return m_extras; }
    void AddExtra(RoutingLink& from, std::int32_t nTo);
    const std::vector<CZemBlock>& Blocks() const { return m_blocks; }
    std::size_t FinestLevel() const { return m_nLevel; }
    // Position of a node (map units), where its road point lies.
    const std::vector<CMapPoint>& NodePositions() const { return m_nodePos; }
    // The largest speed (km/h) and class factor of any link: bounds for A*.
    int MaxSpeed() const { return m_nMaxSpeed; }
    float MaxFactor() const { return m_fMaxFactor; }
    // Counts the search's stamps; wraps by clearing every link's stamp.
    std::uint32_t NextGeneration();
    float XScale() const { return m_fXScale; }         // cos^2 of the centre latitude
    float CosLatitude() const { return m_fCosLat; }

    // Restriction records read, attached to links, and skipped (bad
    // numbers, roads outside the file, or no link of the named road).
    std::size_t RestrictionsRead() const { return m_cRestrictionsRead; }
    std::size_t RestrictionsAttached() const { return m_cRestrictionsAttached; }
    std::size_t RestrictionsSkipped() const { return m_cRestrictionsSkipped; }
    std::size_t OneWayLinks() const { return m_cOneWayLinks; }
    double BuildMilliseconds() const { return m_dBuildMs; }

    // Decodes a road record: points into the map's point buffer (returned),
    // node numbers into nodes (-1 where none), the display name into
    // strName when given. Null when the record is not sound.
    const CMapPoint* DecodeRoad(std::uint32_t nBlock, std::uint32_t dwRoad, CZemObject& obj,
                                std::u16string* pName = nullptr);

    // Attaches restriction r to a link of its from node (by the rule of the
    // build); used for the search's virtual links too.
    void AttachRestriction(RoutingLink& link, std::int32_t nRestriction);

    // Debug output of the build and search (on stderr when enabled).
    static void Debug(const char* szFormat, ...) __attribute__((format(printf, 1, 2)));
    static void SetDebug(bool f);

private:
    bool BuildPasses(const RouteProgress& progress, GraphError& error);
    void ReadRestrictions();
    // Places one restriction record, or a row of them (over via ways).
    bool PlaceRestrictions(const std::vector<RouteRestriction>& row);
    std::int32_t FindLink(std::int32_t nFrom, std::int32_t nRoad, std::int32_t nTo) const;
    void Clear();

    CZemParser& m_map;
    DWORD m_cNodes = 0;
    std::size_t m_nLevel = 0;
    bool m_fBuilt = false;
    float m_fXScale = 1;
    float m_fCosLat = 1;
    std::vector<RoutingNode> m_nodes;
    std::vector<RoutingLink> m_links;
    std::vector<RouteRestriction> m_restrictions;
    std::vector<ExtraTransition> m_extras;
    std::vector<CZemBlock> m_blocks;
    std::vector<CMapPoint> m_nodePos;
    int m_nMaxSpeed = 5;
    float m_fMaxFactor = 0.5f;
    std::uint32_t m_nGeneration = 0;
    std::vector<LONG> m_nodeRefs; // node numbers of the road last decoded
    std::size_t m_cRestrictionsRead = 0;
    std::size_t m_cRestrictionsAttached = 0;
    std::size_t m_cRestrictionsSkipped = 0;
    std::size_t m_cOneWayLinks = 0;
    double m_dBuildMs = 0;

public:
    const std::vector<LONG>& NodeRefs() const { return m_nodeRefs; }
};

} // namespace velka
