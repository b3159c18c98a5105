// The compiler's stages, in the order CompileOsm runs them: read the
// OpenStreetMap input into features, clip to the extract's box, fill the
// sea from the coastlines, build the road graph, resolve turn restrictions onto it, generalise the features
// for every zoom level and fill the header facts. Each stage is a function
// of the previous ones' results, so each can be tested on a few nodes and
// ways.
#pragma once
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tools/mapc/mapc_style.h"
#include "tools/mapc/zem_writer.h"

namespace velka::mapc {

struct CMapcOptions;

using OsmId = std::int64_t;

// The address tags of an object as read.
struct CMapcAddressTags {
    std::u16string strStreet, strHouse, strPostcode, strCity;
    bool Any() const { return !strHouse.empty() || !strStreet.empty(); }
};

// One object of the input, matched by a style rule, in map units.
struct CMapcFeature {
    int nKind = rkPoint;
    WORD wType = 0;
    int nBits = 24;
    std::u16string strLabel;
    std::vector<CMapPoint> pts;
    std::vector<OsmId> nodeIds; // roads only
    bool fRoad = false;
    bool fOneWay = false;
    WORD wRoadFlags = 0;
    OsmId wayId = 0;
    char cOsmType = 'n';   // 'n' node, 'w' way, 'r' relation (areas of multipolygons)
    OsmId osmId = 0;
    std::string strPlace;  // place=* of place nodes
    // In an atlas tile, a copy of an object whose home is another tile:
    // drawn here, searched there.
    bool fTileCopy = false;
    bool fOmitted = false; // left out of the map
    bool fUnderlay = false; // drawn beneath every other object (the sea)
    CMapcAddressTags addr;
    // Resolved address attributes (1-based city, postcode, street, house).
    bool fAddress = false;
    DWORD adwAddress[4] = {};
};

// An administrative boundary (admin_level 2 countries, 4 regions, 7 and
// above municipalities) with its outer rings.
struct CMapcBoundary {
    int nLevel = 0;
    std::u16string strName;
    std::vector<std::vector<CMapPoint>> rings;
    CMapRect rc = CMapRect::MakeEmpty();
    bool Contains(const CMapPoint& pt) const;
};

// An addr:interpolation way: its nodes and how numbers step along it.
struct CMapcInterpolation {
    std::string strScheme; // odd, even, all, or a step number
    std::vector<OsmId> nodeIds;
    std::vector<CMapPoint> pts;
    CMapcAddressTags addr; // tags of the way itself (street, postcode, city)
    bool fTileCopy = false; // its address points are searched in another tile
};

// A turn restriction relation as read: from way, via node (or a row of
// via ways, via then 0), to way, and the vehicles it binds (bit v for
// vehicle v, 0 pedestrian .. 7 truck).
struct CMapcOsmRestriction {
    OsmId from = 0, via = 0, to = 0;
    bool fOnly = false;
    std::vector<OsmId> viaWays;
    BYTE btVehicles = 0xFE;
};

// A natural=coastline way as read: the land lies on its left.
struct CMapcCoastline {
    std::vector<OsmId> nodeIds;
    std::vector<CMapPoint> pts;
};

// What the read stage collects from all inputs.
struct CMapcSource {
    std::vector<CMapcFeature> features;
    std::vector<CMapcOsmRestriction> restrictions;
    CMapRect rcHeader = CMapRect::MakeEmpty(); // the inputs' declared boxes
    std::time_t tNewest = 0;                   // newest object time stamp
    RestrictionSummary restrictionSummary;     // relations read and dropped
    std::vector<CMapcBoundary> boundaries;
    std::vector<CMapcInterpolation> interpolations;
    std::vector<CMapcCoastline> coastlines;
    bool fAtlasTile = false; // a tile cut for an atlas
    // A tile's own cell (empty when its file does not name it): its
    // coastlines are complete only where they meet the cell.
    CMapRect rcTile = CMapRect::MakeEmpty();
    std::unordered_map<OsmId, CMapcAddressTags> addressNodes; // nodes with a house number
    std::unordered_map<OsmId, CMapPoint> addressNodePoints;
    // associatedStreet relations: ('n'|'w') << 56 | id of a house -> street name.
    std::unordered_map<std::uint64_t, std::u16string> associatedStreets;
};

// Address points (objects that exist only to carry an address).
constexpr WORD c_wAddressPointType = 0x2800;

// The key of an OSM object in the associated-street map.
inline std::uint64_t OsmKey(char cType, OsmId id) {
    return std::uint64_t(static_cast<unsigned char>(cType)) << 56 | (static_cast<std::uint64_t>(id) & ((std::uint64_t{1} << 56) - 1));
}

using ProgressFn = std::function<void(const std::string&)>;

// Read: every input file in turn (any format libosmium reads).
bool ReadOsmFiles(const std::vector<std::string>& inputs, const CStyle& style, CMapcSource& src,
                  std::string& strError, const ProgressFn& progress = {});
// Read: OpenStreetMap XML held in memory (tests write their inputs so).
bool ReadOsmXml(std::string_view xml, const CStyle& style, CMapcSource& src, std::string& strError);

// Clip: objects wholly outside the declared box are left out.
void ClipToBox(CMapcSource& src);

// Sea: the water side of the coastlines inside the declared box, as areas
// of c_wSeaAreaType (islands are holes) put before every other feature.
// A coastline ending inside the box (cut there by the extract) goes on
// straight to the nearest edge. Pieces that do not alternate between land
// and water along the edge, or a sea that would cover the roads, leave the
// map without sea and say why in the warning. An atlas tile, which holds
// the coastline ways meeting its cell, builds the sea of its cell within
// the input's box (no sea without its cell named).
constexpr WORD c_wSeaAreaType = 0x28;
struct CSeaSummary {
    std::size_t cWays = 0;    // coastline ways read
    std::size_t cAreas = 0;   // sea areas made
    std::size_t cIslands = 0; // holes in them
    std::size_t cExtended = 0; // coastline ends inside the box led on to its edge
    std::string strWarning;   // empty when the sea could be built
};
CSeaSummary GenerateSea(CMapcSource& src);

// Joins a hole to an area's outer ring by a cut walked there and back:
// with the alternate fill rule the hole stays empty.
void AppendHole(std::vector<CMapPoint>& outer, const std::vector<CMapPoint>& hole);

// Road graph: a node wherever roads meet, at road ends and at the via
// nodes of turn restrictions, numbered in the order the roads meet them.
struct CRoadGraph {
    std::unordered_map<OsmId, LONG> nodeNumber;
    DWORD cNodes = 0;
    bool IsNode(OsmId id) const { return nodeNumber.count(id) != 0; }
};
CRoadGraph BuildRoadGraph(const CMapcSource& src);

// Restrictions: every forbidden (from node, via node, to node) with the
// features of the two roads; "only_" relations forbid every other exit.
// Over via ways a restriction becomes a row of turns (fContinues); what
// cannot be placed is counted in the summary with its reason.
std::vector<CMapcRestriction> ResolveRestrictions(const CMapcSource& src, const CRoadGraph& graph,
                                                  RestrictionSummary* pSummary = nullptr);

// Generalise: one level per resolution (coarsest first), each with the
// features whose rule reaches it, simplified to its resolution; road
// features at the finest level keep their graph nodes.
std::vector<CMapcLevel> GeneraliseLevels(const std::vector<CMapcFeature>& features, const CRoadGraph& graph,
                                         const std::vector<int>& levelBits);

// Douglas-Peucker over map units; keep[i] == 2 forces a point to stay,
// kept points get keep[i] != 0.
void Simplify(const std::vector<CMapPoint>& pts, std::vector<char>& keep, double dTolerance);

// Header facts: name, notes, date and locale.
void SetHeaderFacts(const CMapcOptions& options, const CMapcSource& src, CMapcMap& map);

} // namespace velka::mapc
