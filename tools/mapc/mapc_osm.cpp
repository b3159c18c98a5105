#include "tools/mapc/mapc_osm.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <osmium/area/assembler.hpp>
#include <osmium/area/multipolygon_manager.hpp>
#include <osmium/handler.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/relations/relations_manager.hpp>
#include <osmium/visitor.hpp>

#include "platform/text.h"
#include "tools/mapc/mapc_access.h"
#include "tools/mapc/mapc_places.h"
#include "tools/mapc/mapc_stages.h"
#include "tools/mapc/mapc_tiles.h"

namespace velka::mapc {

LONG DegreesToMapUnits(double d) {
    return static_cast<LONG>(std::clamp(std::floor(d * 1073741824.0 / 180.0 + 0.5), -2147483648.0,
                                        2147483647.0));
}

namespace {

const char* LookupTag(const void* p, const char* szKey) {
    return static_cast<const osmium::TagList*>(p)->get_value_by_key(szKey);
}

bool IsYes(const char* v) {
    return v && (!std::strcmp(v, "yes") || !std::strcmp(v, "1") || !std::strcmp(v, "true"));
}
bool IsNo(const char* v) { return v && (!std::strcmp(v, "no") || !std::strcmp(v, "private")); }

int SpeedClassForKmh(double v) {
    static const int c_aSpeeds[8] = {5, 20, 40, 60, 80, 90, 110, 140};
    int best = 0;
    for (int i = 0; i < 8; ++i)
        if (std::abs(c_aSpeeds[i] - v) < std::abs(c_aSpeeds[best] - v)) best = i;
    return best;
}

std::u16string LabelOf(const osmium::TagList& tags, int nKind, WORD wType) {
    const char* name = tags.get_value_by_key("name");
    std::u16string s = name ? FromUtf8(name) : std::u16string();
    for (char16_t& c : s)
        if (c < 32) c = u' ';
    if (nKind == rkPolyline && s.empty()) {
        // Unnamed roads show their number as a shield.
        const char* ref = tags.get_value_by_key("ref");
        if (ref && wType <= 0x0B) {
            const char16_t shield = wType == 0x01 ? 2 : wType == 0x02 ? 3 : 4;
            s = std::u16string(1, shield) + FromUtf8(ref);
        }
    }
    if (nKind == rkPoint && wType >= 0x6400 && wType <= 0x66FF && !s.empty()) {
        // Summits carry their height after the name (whole metres).
        const char* ele = tags.get_value_by_key("ele");
        char* pEnd = nullptr;
        const double d = ele ? std::strtod(ele, &pEnd) : 0;
        if (ele && pEnd != ele && *pEnd == 0)
            s += u'\x1F' + FormatW(u"%d", static_cast<int>(std::floor(d + 0.5)));
    }
    return s;
}

std::u16string Tag16(const osmium::TagList& tags, const char* szKey) {
    const char* v = tags.get_value_by_key(szKey);
    return v ? FromUtf8(v) : std::u16string();
}

bool IsTileCopy(const osmium::TagList& tags) { return tags.has_key(c_szTileCopyKey); }

CMapcAddressTags AddressOf(const osmium::TagList& tags) {
    return {Tag16(tags, "addr:street"), Tag16(tags, "addr:housenumber"), Tag16(tags, "addr:postcode"),
            Tag16(tags, "addr:city")};
}

class CCollector : public osmium::handler::Handler {
public:
    CCollector(const CStyle& style, CMapcSource& src)
        : m_style(style), m_features(src.features), m_restrictions(src.restrictions),
          m_summary(src.restrictionSummary), m_src(src) {}

    void node(const osmium::Node& n) {
        Stamp(n);
        if (n.tags().empty() || !n.location().valid()) return;
        const CMapcAddressTags addr = AddressOf(n.tags());
        if (!addr.strHouse.empty()) {
            m_src.addressNodes[n.id()] = addr;
            m_src.addressNodePoints[n.id()] = Point(n.location());
        }
        const CStyleRule* r = m_style.Match(rkPoint, &n.tags(), LookupTag);
        if (!r && !addr.Any()) return;
        CMapcFeature f;
        f.nKind = rkPoint;
        // An address with no style rule is kept as an address point.
        f.wType = r ? r->wType : c_wAddressPointType;
        f.nBits = r ? r->nBits : 24;
        if (r) f.strLabel = LabelOf(n.tags(), rkPoint, r->wType);
        f.pts.push_back(Point(n.location()));
        f.cOsmType = 'n';
        f.osmId = n.id();
        f.fTileCopy = IsTileCopy(n.tags());
        if (const char* place = n.tags().get_value_by_key("place")) f.strPlace = place;
        f.addr = addr;
        m_features.push_back(std::move(f));
    }

    void way(const osmium::Way& w) {
        Stamp(w);
        if (w.tags().empty() || w.nodes().size() < 2) return;
        if (const char* scheme = w.tags().get_value_by_key("addr:interpolation")) {
            CMapcInterpolation ip;
            ip.strScheme = scheme;
            ip.addr = AddressOf(w.tags());
            ip.fTileCopy = IsTileCopy(w.tags());
            for (const osmium::NodeRef& nr : w.nodes()) {
                if (!nr.location().valid()) continue;
                ip.nodeIds.push_back(nr.ref());
                ip.pts.push_back(Point(nr.location()));
            }
            if (ip.pts.size() >= 2) m_src.interpolations.push_back(std::move(ip));
            return;
        }
        if (w.tags().has_tag("natural", "coastline")) Coastline(w);
        const CStyleRule* r = m_style.Match(rkPolyline, &w.tags(), LookupTag);
        if (!r) return;
        CMapcFeature f;
        f.cOsmType = 'w';
        f.osmId = w.id();
        f.fTileCopy = IsTileCopy(w.tags());
        f.addr = AddressOf(w.tags());
        f.nKind = rkPolyline;
        f.wType = r->wType;
        f.nBits = r->nBits;
        f.wayId = w.id();
        f.strLabel = LabelOf(w.tags(), rkPolyline, r->wType);
        for (const osmium::NodeRef& nr : w.nodes()) {
            if (!nr.location().valid()) continue;
            f.pts.push_back(Point(nr.location()));
            f.nodeIds.push_back(nr.ref());
        }
        if (f.pts.size() < 2) return;
        const char* oneway = w.tags().get_value_by_key("oneway");
        const bool fRoundabout = IsYes(w.tags().get_value_by_key("junction")) ||
                                 w.tags().has_tag("junction", "roundabout");
        bool fReverse = oneway && !std::strcmp(oneway, "-1");
        f.fOneWay = IsYes(oneway) || fReverse || fRoundabout;
        if (fReverse) {
            std::reverse(f.pts.begin(), f.pts.end());
            std::reverse(f.nodeIds.begin(), f.nodeIds.end());
        }
        if (r->fRoad) {
            f.fRoad = true;
            int nSpeed = r->nSpeedClass;
            if (const char* ms = w.tags().get_value_by_key("maxspeed")) {
                char* pEnd = nullptr;
                double v = std::strtod(ms, &pEnd);
                if (pEnd != ms) {
                    if (std::strstr(pEnd, "mph")) v *= 1.609;
                    nSpeed = SpeedClassForKmh(v);
                }
            }
            WORD flags = static_cast<WORD>(nSpeed | (r->nRoadClass << 3));
            if (f.fOneWay) flags |= 0x40;
            if (IsYes(w.tags().get_value_by_key("toll"))) flags |= 0x80;
            flags |= RoadAccessFlags(w.tags());
            f.wRoadFlags = flags;
        } else {
            f.nodeIds.clear();
        }
        m_features.push_back(std::move(f));
    }

    void area(const osmium::Area& a) {
        Boundary(a);
        const CStyleRule* r = m_style.Match(rkPolygon, &a.tags(), LookupTag);
        const CMapcAddressTags addr = AddressOf(a.tags());
        if (!r || IsNo(a.tags().get_value_by_key("area"))) {
            // An address on an area no rule draws: an address point at the
            // middle of its box.
            if (!addr.Any()) return;
            CMapRect rc = CMapRect::MakeEmpty();
            for (const osmium::OuterRing& outer : a.outer_rings())
                for (const osmium::NodeRef& nr : outer)
                    if (nr.location().valid()) rc.Add(Point(nr.location()).lX, Point(nr.location()).lY);
            if (rc.IsInverted()) return;
            CMapcFeature f;
            f.wType = c_wAddressPointType;
            f.pts.push_back({static_cast<LONG>((std::int64_t{rc.left} + rc.right) / 2),
                             static_cast<LONG>((std::int64_t{rc.top} + rc.bottom) / 2)});
            f.cOsmType = a.from_way() ? 'w' : 'r';
            f.osmId = a.orig_id();
            f.fTileCopy = IsTileCopy(a.tags());
            f.addr = addr;
            m_features.push_back(std::move(f));
            return;
        }
        const std::u16string label = LabelOf(a.tags(), rkPolygon, r->wType);
        for (const osmium::OuterRing& outer : a.outer_rings()) {
            CMapcFeature f;
            f.cOsmType = a.from_way() ? 'w' : 'r';
            f.osmId = a.orig_id();
            f.fTileCopy = IsTileCopy(a.tags());
            f.addr = addr;
            f.nKind = rkPolygon;
            f.wType = r->wType;
            f.nBits = r->nBits;
            f.strLabel = label;
            for (const osmium::NodeRef& nr : outer)
                if (nr.location().valid()) f.pts.push_back(Point(nr.location()));
            if (f.pts.size() < 3) continue;
            for (const osmium::InnerRing& inner : a.inner_rings(outer)) {
                std::vector<CMapPoint> hole;
                for (const osmium::NodeRef& nr : inner)
                    if (nr.location().valid()) hole.push_back(Point(nr.location()));
                if (hole.size() >= 3) AppendHole(f.pts, hole);
            }
            m_features.push_back(std::move(f));
        }
    }

    void relation(const osmium::Relation& rel) {
        Stamp(rel);
        const char* type = rel.tags().get_value_by_key("type");
        if (type && !std::strcmp(type, "associatedStreet")) {
            const std::u16string street = Tag16(rel.tags(), "name");
            if (street.empty()) return;
            for (const osmium::RelationMember& m : rel.members()) {
                if (std::strcmp(m.role(), "house") && std::strcmp(m.role(), "addr:houselink")) continue;
                if (m.type() == osmium::item_type::node) m_src.associatedStreets[OsmKey('n', m.ref())] = street;
                else if (m.type() == osmium::item_type::way) m_src.associatedStreets[OsmKey('w', m.ref())] = street;
                else if (m.type() == osmium::item_type::relation)
                    m_src.associatedStreets[OsmKey('r', m.ref())] = street;
            }
            return;
        }
        if (!type || std::strcmp(type, "restriction")) return;
        ++m_summary.cRead;
        CMapcOsmRestriction r;
        std::string strReason;
        if (ReadRestriction(rel, r, strReason)) m_restrictions.push_back(std::move(r));
        else m_summary.Drop(strReason);
    }

    std::time_t Newest() const { return m_tNewest; }

private:
    static CMapPoint Point(const osmium::Location& l) {
        return {DegreesToMapUnits(l.lon()), DegreesToMapUnits(l.lat())};
    }
    void Boundary(const osmium::Area& a) {
        const char* boundary = a.tags().get_value_by_key("boundary");
        const char* level = a.tags().get_value_by_key("admin_level");
        if (!boundary || std::strcmp(boundary, "administrative") || !level) return;
        CMapcBoundary b;
        b.nLevel = std::atoi(level);
        b.strName = Tag16(a.tags(), "name");
        if (b.strName.empty() || (b.nLevel != 2 && b.nLevel != 4 && b.nLevel < 7)) return;
        for (const osmium::OuterRing& outer : a.outer_rings()) {
            std::vector<CMapPoint> ring;
            for (const osmium::NodeRef& nr : outer)
                if (nr.location().valid()) ring.push_back(Point(nr.location()));
            if (ring.size() < 3) continue;
            b.rc.Add(ring.data(), ring.size());
            b.rings.push_back(std::move(ring));
        }
        if (!b.rings.empty()) m_src.boundaries.push_back(std::move(b));
    }
    void Coastline(const osmium::Way& w) {
        CMapcCoastline c;
        for (const osmium::NodeRef& nr : w.nodes()) {
            if (!nr.location().valid()) continue;
            c.nodeIds.push_back(nr.ref());
            c.pts.push_back(Point(nr.location()));
        }
        if (c.pts.size() >= 2) m_src.coastlines.push_back(std::move(c));
    }
    void Stamp(const osmium::OSMObject& o) {
        const std::time_t t = o.timestamp().seconds_since_epoch();
        if (t > m_tNewest) m_tNewest = t;
    }

    const CStyle& m_style;
    std::vector<CMapcFeature>& m_features;
    std::vector<CMapcOsmRestriction>& m_restrictions;
    RestrictionSummary& m_summary;
    CMapcSource& m_src;
    std::time_t m_tNewest = 0;
};

// Reads one input: relations first for the multipolygons, then
// everything with node locations resolved for the ways.
bool ReadOsmFile(const osmium::io::File& file, const std::string& strInput, const CStyle& style,
                 CMapcSource& src, std::string& strError, const ProgressFn& progress) {
    using index_type = osmium::index::map::FlexMem<osmium::unsigned_object_id_type, osmium::Location>;
    using location_handler_type = osmium::handler::NodeLocationsForWays<index_type>;
    auto say = [&](const std::string& s) {
        if (progress) progress(s);
    };
    try {
        osmium::area::Assembler::config_type cfg;
        osmium::area::MultipolygonManager<osmium::area::Assembler> mp{cfg};
        say("mapc: " + strInput + ": reading relations");
        osmium::relations::read_relations(file, mp);

        index_type index;
        location_handler_type locations{index};
        locations.ignore_errors();
        CCollector collector(style, src);
        osmium::io::Reader reader{file};
        const osmium::io::Header header = reader.header();
        if (const CTileGeneratorInfo tile = ParseTileGenerator(header.get("generator")); tile.fTile) {
            src.fAtlasTile = true;
            if (tile.cell) {
                const auto& [dWest, dSouth, dEast, dNorth] = *tile.cell;
                src.rcTile = {DegreesToMapUnits(dWest), DegreesToMapUnits(dSouth), DegreesToMapUnits(dEast),
                              DegreesToMapUnits(dNorth)};
            }
        }
        for (const osmium::Box& box : header.boxes()) {
            if (!box.valid()) continue;
            src.rcHeader.Add(DegreesToMapUnits(box.bottom_left().lon()), DegreesToMapUnits(box.bottom_left().lat()));
            src.rcHeader.Add(DegreesToMapUnits(box.top_right().lon()), DegreesToMapUnits(box.top_right().lat()));
        }
        // The reader decodes ahead on its own threads, so progress is
        // told by what has been handled, every two seconds.
        auto tLast = std::chrono::steady_clock::now();
        std::size_t cBuffers = 0;
        while (osmium::memory::Buffer buffer = reader.read()) {
            osmium::apply(buffer, locations, collector,
                          mp.handler([&collector](osmium::memory::Buffer&& areas) { osmium::apply(areas, collector); }));
            ++cBuffers;
            const auto tNow = std::chrono::steady_clock::now();
            if (tNow - tLast > std::chrono::seconds(2)) {
                tLast = tNow;
                say("mapc: " + strInput + ": " + std::to_string(cBuffers) + " blocks read, " +
                    std::to_string(src.features.size()) + " objects so far");
            }
        }
        say("mapc: " + strInput + ": done, " + std::to_string(src.features.size()) + " objects");
        reader.close();
        src.tNewest = std::max(src.tNewest, collector.Newest());
    } catch (const std::exception& e) {
        strError = "cannot read '" + strInput + "': " + e.what();
        return false;
    }
    return true;
}

} // namespace

bool ReadOsmFiles(const std::vector<std::string>& inputs, const CStyle& style, CMapcSource& src,
                  std::string& strError, const ProgressFn& progress) {
    for (const std::string& strInput : inputs) {
        std::error_code ec;
        (void)std::filesystem::file_size(strInput, ec); // unreadable input fails here, clearly
        if (ec) {
            strError = "cannot read '" + strInput + "': " + ec.message();
            return false;
        }
        bool fOk = false;
        try {
            fOk = ReadOsmFile(osmium::io::File{strInput}, strInput, style, src, strError, progress);
        } catch (const std::exception& e) {
            strError = "cannot read '" + strInput + "': " + e.what();
        }
        if (!fOk) return false;
    }
    return true;
}

bool ReadOsmXml(std::string_view xml, const CStyle& style, CMapcSource& src, std::string& strError) {
    return ReadOsmFile(osmium::io::File{xml.data(), xml.size(), "osm"}, "<memory>", style, src, strError, {});
}

bool CompileOsm(const CMapcOptions& options, const CStyle& style, CMapcMap& map, std::string& strError,
                CIndexSummary* pSummary) {
    CMapcSource src;
    ProgressFn progress;
    if (options.fProgress && options.progress) progress = options.progress;
    if (!ReadOsmFiles(options.inputs, style, src, strError, progress)) return false;
    ClipToBox(src);
    const CSeaSummary sea = GenerateSea(src);
    if (!sea.strWarning.empty()) map.warnings.push_back(sea.strWarning);
    else if (sea.cWays && progress)
        progress("mapc: sea: " + std::to_string(sea.cAreas) + " areas, " + std::to_string(sea.cIslands) +
                 " islands from " + std::to_string(sea.cWays) + " coastline ways, " +
                 std::to_string(sea.cExtended) + " ends led on to the map's edge");
    SetHeaderFacts(options, src, map);
    if (options.fIndexes) {
        if (progress) progress("mapc: building the search indexes");
        ExpandInterpolations(src);
        CIndexSummary summary;
        map.indexes = BuildIndexes(src, map.dwLocale, summary);
        if (pSummary) *pSummary = summary;
    }
    if (progress) progress("mapc: building the road graph");
    const CRoadGraph graph = BuildRoadGraph(src);
    map.cNodes = graph.cNodes;
    map.restrictionSummary = src.restrictionSummary;
    std::vector<CMapcRestriction> restrictions = ResolveRestrictions(src, graph, &map.restrictionSummary);
    map.restrictions.insert(map.restrictions.end(), restrictions.begin(), restrictions.end());
    map.levels = GeneraliseLevels(src.features, graph, {std::begin(c_anLevelBits), std::end(c_anLevelBits)});
    return true;
}

} // namespace velka::mapc
