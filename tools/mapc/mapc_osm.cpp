#include "tools/mapc/mapc_osm.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <unordered_map>
#include <unordered_set>

#include <osmium/area/assembler.hpp>
#include <osmium/area/multipolygon_manager.hpp>
#include <osmium/handler.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/flex_mem.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/relations/relations_manager.hpp>
#include <osmium/visitor.hpp>

#include "platform/text.h"
#include "tools/mapc/mapc_roads.h"

namespace velka::mapc {

LONG DegreesToMapUnits(double d) {
    return static_cast<LONG>(std::clamp(std::floor(d * 1073741824.0 / 180.0 + 0.5), -2147483648.0,
                                        2147483647.0));
}

namespace {

struct Feature {
    int nKind = rkPoint;
    WORD wType = 0;
    int nBits = 24;
    std::u16string strLabel;
    std::vector<CMapPoint> pts;
    std::vector<osmium::object_id_type> nodeIds; // roads only
    bool fRoad = false;
    bool fOneWay = false;
    WORD wRoadFlags = 0;
    osmium::object_id_type wayId = 0;
};

using Restriction = OsmRestriction;

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
    CCollector(const CStyle& style, std::vector<Feature>& features,
               std::vector<Restriction>& restrictions, RestrictionSummary& summary)
        : m_style(style), m_features(features), m_restrictions(restrictions), m_summary(summary) {}

    void node(const osmium::Node& n) {
        Stamp(n);
        if (n.tags().empty() || !n.location().valid()) return;
        const CStyleRule* r = m_style.Match(rkPoint, &n.tags(), LookupTag);
        if (!r) return;
        Feature f;
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
        Feature f;
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
            Feature f;
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
        Restriction r;
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
    std::vector<Feature>& m_features;
    std::vector<Restriction>& m_restrictions;
    RestrictionSummary& m_summary;
    std::time_t m_tNewest = 0;
};

// Douglas-Peucker over map units; forced points always stay.
void Simplify(const std::vector<CMapPoint>& pts, std::vector<char>& keep, double dTolerance) {
    const std::size_t n = pts.size();
    if (n < 3) return;
    keep[0] = keep[n - 1] = 1;
    std::vector<std::pair<std::size_t, std::size_t>> stack{{0, n - 1}};
    const double t2 = dTolerance * dTolerance;
    while (!stack.empty()) {
        auto [a, b] = stack.back();
        stack.pop_back();
        if (b <= a + 1) continue;
        const double ax = pts[a].lX, ay = pts[a].lY;
        const double dx = double(pts[b].lX) - ax, dy = double(pts[b].lY) - ay;
        const double len2 = dx * dx + dy * dy;
        double best = -1;
        std::size_t iBest = a;
        for (std::size_t i = a + 1; i < b; ++i) {
            double px = pts[i].lX - ax, py = pts[i].lY - ay, d2;
            if (len2 == 0) {
                d2 = px * px + py * py;
            } else {
                const double t = std::clamp((px * dx + py * dy) / len2, 0.0, 1.0);
                px -= t * dx;
                py -= t * dy;
                d2 = px * px + py * py;
            }
            if (keep[i] == 2) d2 = 1e300; // forced
            if (d2 > best) {
                best = d2;
                iBest = i;
            }
        }
        if (best > t2) {
            keep[iBest] = keep[iBest] == 2 ? 2 : 1;
            stack.push_back({a, iBest});
            stack.push_back({iBest, b});
        }
    }
}

bool GuessCyrillic(const std::vector<Feature>& features) {
    std::size_t cCyr = 0, cNamed = 0;
    for (const Feature& f : features) {
        if (f.strLabel.empty()) continue;
        ++cNamed;
        for (char16_t c : f.strLabel)
            if (c >= 0x400 && c < 0x530) {
                ++cCyr;
                break;
            }
    }
    return cNamed && cCyr * 2 > cNamed;
}

} // namespace

bool CompileOsm(const CMapcOptions& options, const CStyle& style, CMapcMap& map,
                std::string& strError) {
    using index_type = osmium::index::map::FlexMem<osmium::unsigned_object_id_type, osmium::Location>;
    using location_handler_type = osmium::handler::NodeLocationsForWays<index_type>;

    std::vector<Feature> features;
    std::vector<Restriction> restrictions;
    CMapRect rcHeader = CMapRect::MakeEmpty();
    std::time_t tNewest = 0;
    auto say = [&](const std::string& s) {
        if (options.fProgress && options.progress) options.progress(s);
    };

    for (const std::string& strInput : options.inputs) {
        std::error_code ec;
        (void)std::filesystem::file_size(strInput, ec); // unreadable input fails here, clearly
        if (ec) {
            strError = "cannot read '" + strInput + "': " + ec.message();
            return false;
        }
        try {
            osmium::io::File file{strInput};
            osmium::area::Assembler::config_type cfg;
            osmium::area::MultipolygonManager<osmium::area::Assembler> mp{cfg};
            say("mapc: " + strInput + ": reading relations");
            osmium::relations::read_relations(file, mp);

            index_type index;
            location_handler_type locations{index};
            locations.ignore_errors();
            CCollector collector(style, features, restrictions, map.restrictionSummary);
            osmium::io::Reader reader{file};
            const osmium::io::Header header = reader.header();
            for (const osmium::Box& box : header.boxes()) {
                if (!box.valid()) continue;
                rcHeader.Add(DegreesToMapUnits(box.bottom_left().lon()),
                             DegreesToMapUnits(box.bottom_left().lat()));
                rcHeader.Add(DegreesToMapUnits(box.top_right().lon()),
                             DegreesToMapUnits(box.top_right().lat()));
            }
            // The reader decodes ahead on its own threads, so progress is
            // told by what has been handled, every two seconds.
            auto tLast = std::chrono::steady_clock::now();
            std::size_t cBuffers = 0;
            while (osmium::memory::Buffer buffer = reader.read()) {
                osmium::apply(buffer, locations, collector,
                              mp.handler([&collector](osmium::memory::Buffer&& areas) {
                                  osmium::apply(areas, collector);
                              }));
                ++cBuffers;
                const auto tNow = std::chrono::steady_clock::now();
                if (tNow - tLast > std::chrono::seconds(2)) {
                    tLast = tNow;
                    say("mapc: " + strInput + ": " + std::to_string(cBuffers) + " blocks read, " +
                        std::to_string(features.size()) + " objects so far");
                }
            }
            say("mapc: " + strInput + ": done, " + std::to_string(features.size()) + " objects");
            reader.close();
            tNewest = std::max(tNewest, collector.Newest());
        } catch (const std::exception& e) {
            strError = "cannot read '" + strInput + "': " + e.what();
            return false;
        }
    }

    // Objects wholly outside the extract's declared area are left out.
    if (!rcHeader.IsInverted()) {
        std::erase_if(features, [&](const Feature& f) {
            CMapRect rc = CMapRect::MakeEmpty();
            rc.Add(f.pts.data(), f.pts.size());
            return !rc.Intersects(rcHeader);
        });
    }

    // Road graph: a node wherever roads meet, at road ends and at the
    // nodes of turn restrictions.
    say("mapc: building the road graph");
    std::unordered_map<osmium::object_id_type, int> uses;
    for (const Feature& f : features) {
        if (!f.fRoad) continue;
        for (std::size_t i = 0; i < f.nodeIds.size(); ++i)
            uses[f.nodeIds[i]] += (i == 0 || i + 1 == f.nodeIds.size()) ? 2 : 1;
    }
    for (const Restriction& r : restrictions)
        if (r.viaWays.empty()) uses[r.viaNode] += 2;
    std::unordered_map<osmium::object_id_type, LONG> nodeNumber;
    LONG cNodes = 0;
    for (const Feature& f : features) {
        if (!f.fRoad) continue;
        for (osmium::object_id_type id : f.nodeIds)
            if (uses[id] >= 2 && nodeNumber.try_emplace(id, cNodes).second) ++cNodes;
    }
    map.cNodes = static_cast<DWORD>(cNodes);

    // Turn restrictions between roads.
    std::vector<RoadRef> roadRefs;
    for (std::size_t i = 0; i < features.size(); ++i)
        if (features[i].fRoad && !features[i].nodeIds.empty())
            roadRefs.push_back({static_cast<int>(i), features[i].wayId, &features[i].nodeIds});
    ResolveRestrictions(restrictions, roadRefs, nodeNumber, map.restrictions, map.restrictionSummary);

    // Levels: each shows the objects whose rule reaches it, simplified to
    // its resolution; objects smaller than two level units are dropped.
    const std::size_t cLevels = std::size(c_anLevelBits);
    map.levels.clear();
    for (std::size_t l = 0; l < cLevels; ++l) {
        CMapcLevel level;
        level.nBits = c_anLevelBits[l];
        const bool fFinest = l + 1 == cLevels;
        const double dUnit = std::ldexp(1.0, 31 - level.nBits);
        for (std::size_t i = 0; i < features.size(); ++i) {
            const Feature& f = features[i];
            if (f.nBits > level.nBits) continue;
            CMapcObject o;
            o.nKind = f.nKind;
            o.wType = f.wType;
            o.strLabel = f.strLabel;
            o.fOneWay = f.fOneWay;
            if (f.nKind == rkPoint) {
                o.points = f.pts;
                level.objects.push_back(std::move(o));
                continue;
            }
            CMapRect rc = CMapRect::MakeEmpty();
            rc.Add(f.pts.data(), f.pts.size());
            if (!fFinest && rc.right - double(rc.left) < 2 * dUnit &&
                rc.bottom - double(rc.top) < 2 * dUnit)
                continue;
            std::vector<char> keep(f.pts.size(), 0);
            const bool fNodes = fFinest && f.fRoad;
            if (fNodes)
                for (std::size_t k = 0; k < f.nodeIds.size(); ++k)
                    if (nodeNumber.count(f.nodeIds[k])) keep[k] = 2;
            Simplify(f.pts, keep, fFinest ? 0.5 * dUnit : dUnit);
            if (f.pts.size() < 3) std::fill(keep.begin(), keep.end(), 1);
            for (std::size_t k = 0; k < f.pts.size(); ++k) {
                if (!keep[k]) continue;
                o.points.push_back(f.pts[k]);
                if (fNodes) {
                    auto it = nodeNumber.find(f.nodeIds[k]);
                    o.nodes.push_back(it == nodeNumber.end() ? -1 : it->second);
                }
            }
            if (fNodes) {
                o.wRoadFlags = f.wRoadFlags;
                o.nRoadId = static_cast<int>(i);
            }
            level.objects.push_back(std::move(o));
        }
        map.levels.push_back(std::move(level));
    }

    // Header facts.
    if (!rcHeader.IsInverted()) map.rcBounds = rcHeader;
    if (map.strName.empty()) {
        map.strName = options.strName;
        if (map.strName.empty() && !options.inputs.empty()) {
            std::string stem = std::filesystem::path(options.inputs[0]).filename().string();
            for (const char* ext : {".osm.pbf", ".osm.bz2", ".osm.gz", ".osm", ".pbf"})
                if (stem.size() > std::strlen(ext) && stem.ends_with(ext)) {
                    stem.resize(stem.size() - std::strlen(ext));
                    break;
                }
            map.strName = FromUtf8(stem);
        }
    }
    map.strNotes = u"\u00A9 OpenStreetMap contributors|ODbL";
    map.strSource = "OSM";
    if (options.dwLocale != 0xFFFFFFFF)
        map.dwLocale = options.dwLocale;
    else
        map.dwLocale = GuessCyrillic(features) ? 1049 : 0;
    if (tNewest > 0) {
        std::tm tm{};
        gmtime_r(&tNewest, &tm);
        map.wYear = static_cast<WORD>(tm.tm_year + 1900);
        map.btMonth = static_cast<BYTE>(tm.tm_mon + 1);
        map.btDay = static_cast<BYTE>(tm.tm_mday);
    }
    return true;
}

} // namespace velka::mapc
