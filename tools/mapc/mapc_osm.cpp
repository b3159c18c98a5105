#include "tools/mapc/mapc_osm.h"

#include <algorithm>
#include <chrono>
#include <cmath>
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
#include "tools/mapc/mapc_stages.h"

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

class CCollector : public osmium::handler::Handler {
public:
    CCollector(const CStyle& style, std::vector<CMapcFeature>& features,
               std::vector<CMapcOsmRestriction>& restrictions, RestrictionSummary& summary)
        : m_style(style), m_features(features), m_restrictions(restrictions), m_summary(summary) {}

    void node(const osmium::Node& n) {
        Stamp(n);
        if (n.tags().empty() || !n.location().valid()) return;
        const CStyleRule* r = m_style.Match(rkPoint, &n.tags(), LookupTag);
        if (!r) return;
        CMapcFeature f;
        f.nKind = rkPoint;
        f.wType = r->wType;
        f.nBits = r->nBits;
        f.strLabel = LabelOf(n.tags(), rkPoint, r->wType);
        f.pts.push_back(Point(n.location()));
        m_features.push_back(std::move(f));
    }

    void way(const osmium::Way& w) {
        Stamp(w);
        if (w.tags().empty() || w.nodes().size() < 2) return;
        const CStyleRule* r = m_style.Match(rkPolyline, &w.tags(), LookupTag);
        if (!r) return;
        CMapcFeature f;
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
        const CStyleRule* r = m_style.Match(rkPolygon, &a.tags(), LookupTag);
        if (!r) return;
        if (IsNo(a.tags().get_value_by_key("area"))) return;
        const std::u16string label = LabelOf(a.tags(), rkPolygon, r->wType);
        for (const osmium::OuterRing& outer : a.outer_rings()) {
            CMapcFeature f;
            f.nKind = rkPolygon;
            f.wType = r->wType;
            f.nBits = r->nBits;
            f.strLabel = label;
            for (const osmium::NodeRef& nr : outer)
                if (nr.location().valid()) f.pts.push_back(Point(nr.location()));
            if (f.pts.size() < 3) continue;
            // Holes join the outer ring by a cut that is walked there and
            // back: with the alternate fill rule they stay empty.
            const CMapPoint start = f.pts.front();
            for (const osmium::InnerRing& inner : a.inner_rings(outer)) {
                std::vector<CMapPoint> hole;
                for (const osmium::NodeRef& nr : inner)
                    if (nr.location().valid()) hole.push_back(Point(nr.location()));
                if (hole.size() < 3) continue;
                f.pts.push_back(start);
                f.pts.insert(f.pts.end(), hole.begin(), hole.end());
                f.pts.push_back(hole.front());
                f.pts.push_back(start);
            }
            m_features.push_back(std::move(f));
        }
    }

    void relation(const osmium::Relation& rel) {
        Stamp(rel);
        const char* type = rel.tags().get_value_by_key("type");
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
    void Stamp(const osmium::OSMObject& o) {
        const std::time_t t = o.timestamp().seconds_since_epoch();
        if (t > m_tNewest) m_tNewest = t;
    }

    const CStyle& m_style;
    std::vector<CMapcFeature>& m_features;
    std::vector<CMapcOsmRestriction>& m_restrictions;
    RestrictionSummary& m_summary;
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
        CCollector collector(style, src.features, src.restrictions, src.restrictionSummary);
        osmium::io::Reader reader{file};
        const osmium::io::Header header = reader.header();
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

bool CompileOsm(const CMapcOptions& options, const CStyle& style, CMapcMap& map, std::string& strError) {
    CMapcSource src;
    ProgressFn progress;
    if (options.fProgress && options.progress) progress = options.progress;
    if (!ReadOsmFiles(options.inputs, style, src, strError, progress)) return false;
    ClipToBox(src);
    if (progress) progress("mapc: building the road graph");
    const CRoadGraph graph = BuildRoadGraph(src);
    map.cNodes = graph.cNodes;
    map.restrictionSummary = src.restrictionSummary;
    std::vector<CMapcRestriction> restrictions = ResolveRestrictions(src, graph, &map.restrictionSummary);
    map.restrictions.insert(map.restrictions.end(), restrictions.begin(), restrictions.end());
    map.levels = GeneraliseLevels(src.features, graph, {std::begin(c_anLevelBits), std::end(c_anLevelBits)});
    SetHeaderFacts(options, src, map);
    return true;
}

} // namespace velka::mapc
