#include "tools/mapc/mapc_tiles.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>

#include <osmium/builder/osm_object_builder.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/io/any_output.hpp>
#include <osmium/osm.hpp>

#include "tools/mapc/mapc_places.h"

namespace velka::mapc {

namespace {

using Id = std::int64_t;
using Key = std::uint32_t; // row * c_cColumns + column of the global grid

// Which tiles an object goes to: (id, tile) pairs, sorted once complete.
struct Membership {
    std::vector<std::pair<Id, Key>> pairs;
    void Add(Id id, Key k) { pairs.emplace_back(id, k); }
    void Seal() {
        std::sort(pairs.begin(), pairs.end());
        pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    }
    template <class Fn>
    void ForEach(Id id, Fn&& fn) const {
        auto it = std::lower_bound(pairs.begin(), pairs.end(), std::pair<Id, Key>{id, 0});
        for (; it != pairs.end() && it->first == id; ++it) fn(it->second);
    }
};

class CGrid {
public:
    explicit CGrid(double dSize)
        : m_dSize(dSize), m_cColumns(static_cast<Key>(std::ceil(360.0 / dSize))) {}
    Key KeyOf(const osmium::Location& loc) const {
        const auto col = static_cast<Key>(std::clamp(std::floor((loc.lon() + 180.0) / m_dSize), 0.0, double(m_cColumns - 1)));
        const auto row = static_cast<Key>(std::clamp(std::floor((loc.lat() + 90.0) / m_dSize), 0.0, 180.0 / m_dSize));
        return row * m_cColumns + col;
    }
    double South(Key k) const { return (k / m_cColumns) * m_dSize - 90.0; }
    double West(Key k) const { return (k % m_cColumns) * m_dSize - 180.0; }
    // Computed as the neighbours' South and West are, so that shared
    // borders are equal to the last bit.
    double North(Key k) const { return (k / m_cColumns + 1) * m_dSize - 90.0; }
    double East(Key k) const { return (k % m_cColumns + 1) * m_dSize - 180.0; }
    // Every cell of the rectangle spanned by two cells.
    template <class Fn>
    void ForEachKeyBetween(Key a, Key b, Fn&& fn) const {
        const auto [r0, r1] = std::minmax({a / m_cColumns, b / m_cColumns});
        const auto [c0, c1] = std::minmax({a % m_cColumns, b % m_cColumns});
        for (Key row = r0; row <= r1; ++row)
            for (Key col = c0; col <= c1; ++col) fn(row * m_cColumns + col);
    }
    // Every cell meeting the box (degrees).
    template <class Fn>
    void ForEachKeyIn(double dSouth, double dWest, double dNorth, double dEast, Fn&& fn) const {
        const Key k0 = KeyOf(osmium::Location{dWest, dSouth}), k1 = KeyOf(osmium::Location{dEast, dNorth});
        for (Key row = k0 / m_cColumns; row <= k1 / m_cColumns; ++row)
            for (Key col = k0 % m_cColumns; col <= k1 % m_cColumns; ++col) fn(row * m_cColumns + col);
    }

private:
    double m_dSize;
    Key m_cColumns;
};

// Reads the input once, calling fn for every object of the given kinds,
// with progress of pass nPass of cPasses.
template <class Fn>
void ReadPass(const std::string& strInput, osmium::osm_entity_bits::type kinds, int nPass, int cPasses,
              const CTileOptions& options, Fn&& fn) {
    osmium::io::Reader reader{osmium::io::File{strInput}, kinds};
    const std::size_t cbFile = reader.file_size();
    int nLast = -1;
    while (osmium::memory::Buffer buffer = reader.read()) {
        for (const osmium::OSMObject& obj : buffer.select<osmium::OSMObject>()) fn(obj);
        if (options.progress && cbFile) {
            const int n = static_cast<int>((nPass * 100 + reader.offset() * 100 / cbFile) / cPasses);
            if (n != nLast) options.progress(nLast = n);
        }
    }
    reader.close();
}

// A copy of obj in buf with the copy mark added to its tags.
const osmium::OSMObject& MarkedCopy(osmium::memory::Buffer& buf, const osmium::OSMObject& obj) {
    using namespace osmium::builder;
    buf.clear();
    auto fill = [&](auto& b) {
        b.set_id(obj.id())
            .set_version(obj.version())
            .set_changeset(obj.changeset())
            .set_timestamp(obj.timestamp())
            .set_uid(obj.uid())
            .set_visible(obj.visible());
        b.set_user(obj.user());
        TagListBuilder tags{b};
        for (const osmium::Tag& t : obj.tags()) tags.add_tag(t);
        tags.add_tag(c_szTileCopyKey, "yes");
    };
    if (obj.type() == osmium::item_type::node) {
        NodeBuilder b{buf};
        b.set_location(static_cast<const osmium::Node&>(obj).location());
        fill(b);
    } else if (obj.type() == osmium::item_type::way) {
        WayBuilder b{buf};
        fill(b);
        b.add_item(static_cast<const osmium::Way&>(obj).nodes());
    } else {
        RelationBuilder b{buf};
        fill(b);
        b.add_item(static_cast<const osmium::Relation&>(obj).members());
    }
    buf.commit();
    return buf.get<osmium::OSMObject>(0);
}

bool IsAreaRelation(const osmium::Relation& r) {
    const char* szType = r.tags()["type"];
    return szType && (std::strcmp(szType, "multipolygon") == 0 || std::strcmp(szType, "boundary") == 0);
}

// The administrative level of a boundary the compiler reads: 2 countries
// and 4 regions (they name a city's country and region), 7 and above
// municipalities (an object takes its city from the one around it); 0 for
// other relations.
int BoundaryLevel(const osmium::Relation& r) {
    const char* szLevel = r.tags()["admin_level"];
    if (!szLevel || !r.tags().has_tag("boundary", "administrative")) return 0;
    const int n = std::atoi(szLevel);
    return n == 2 || n == 4 || n >= 7 ? n : 0;
}

// A place that may become the city of objects up to its reach away.
bool IsCoastline(const osmium::Way& w) {
    const char* szNatural = w.tags()["natural"];
    return szNatural && std::strcmp(szNatural, "coastline") == 0;
}

bool IsCityNode(const osmium::Node& n) {
    const char* szPlace = n.tags()["place"];
    return szPlace && n.tags()["name"] && IsCityPlace(szPlace);
}

// Widens a box (degrees) by a city's reach.
void WidenByReach(double& dSouth, double& dWest, double& dNorth, double& dEast) {
    const double dLat = c_dCityReachKm / 111.32;
    const double dCos = std::cos(std::min(89.0, std::max(std::fabs(dSouth), std::fabs(dNorth))) * (3.14159265358979323846 / 180.0));
    const double dLon = dLat / std::max(dCos, 0.01);
    dSouth = std::max(-90.0, dSouth - dLat);
    dNorth = std::min(90.0, dNorth + dLat);
    dWest = std::max(-180.0, dWest - dLon);
    dEast = std::min(180.0, dEast + dLon);
}

} // namespace

// Narrows a compiled tile's bounds to its cell. Ways and areas crossing
// the border make a tile's data reach far beyond its cell, and a tile's
// header takes the box the whole input declares; with those bounds every
// such tile would count as in view wherever its far-reaching objects lie,
// and a frame would open and draw them all. The objects stay
// whole, so a view across a border still draws each of them.
bool ClipTileBounds(const std::string& strZem, const CTile& t) {
    std::fstream f(strZem, std::ios::in | std::ios::out | std::ios::binary);
    unsigned char b[16];
    if (!f.seekg(16) || !f.read(reinterpret_cast<char*>(b), 16)) return false;
    auto get = [&](int i) {
        return static_cast<std::int32_t>(std::uint32_t{b[4 * i]} | std::uint32_t{b[4 * i + 1]} << 8 |
                                         std::uint32_t{b[4 * i + 2]} << 16 | std::uint32_t{b[4 * i + 3]} << 24);
    };
    // Header bounds are in half map units (2^31 per 180 degrees).
    auto half = [](double d) {
        return static_cast<std::int32_t>(std::clamp(d * 2147483648.0 / 180.0, -2147483648.0, 2147483647.0));
    };
    const std::int32_t cell[4] = {half(t.dWest), half(t.dSouth), half(t.dEast), half(t.dNorth)};
    std::int32_t v[4] = {std::max(get(0), cell[0]), std::max(get(1), cell[1]), std::min(get(2), cell[2]),
                         std::min(get(3), cell[3])};
    // A cell outside the box the input declares holds the parts outside
    // it of objects crossing its edge: the cell is their extent here.
    if (v[0] > v[2] || v[1] > v[3]) std::copy(std::begin(cell), std::end(cell), v);
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 4; ++k) b[4 * i + k] = static_cast<unsigned char>(static_cast<std::uint32_t>(v[i]) >> (8 * k));
    return static_cast<bool>(f.seekp(16)) && static_cast<bool>(f.write(reinterpret_cast<const char*>(b), 16));
}

std::string TileGenerator(const CTile& t) {
    char sz[128];
    std::snprintf(sz, sizeof sz, "%s %.7f,%.7f,%.7f,%.7f", c_szTileGenerator, t.dWest, t.dSouth, t.dEast, t.dNorth);
    return sz;
}

CTileGeneratorInfo ParseTileGenerator(std::string_view str) {
    CTileGeneratorInfo info;
    const std::string_view prefix = c_szTileGenerator;
    if (str.substr(0, prefix.size()) != prefix) return info;
    str.remove_prefix(prefix.size());
    if (str.empty()) {
        info.fTile = true;
        return info;
    }
    if (str.front() != ' ') return info; // another program's name
    info.fTile = true;
    str.remove_prefix(1);
    std::array<double, 4> v{};
    for (std::size_t i = 0; i < v.size(); ++i) {
        const char* const pEnd = str.data() + str.size();
        const auto [p, ec] = std::from_chars(str.data(), pEnd, v[i]);
        if (ec != std::errc{} || !std::isfinite(v[i])) return info;
        str.remove_prefix(static_cast<std::size_t>(p - str.data()));
        if (i + 1 < v.size()) {
            if (str.empty() || str.front() != ',') return info;
            str.remove_prefix(1);
        }
    }
    const bool fValid = str.empty() && v[0] >= -180 && v[0] < v[2] && v[2] <= 180 && v[1] >= -90 && v[1] < v[3] &&
                        v[3] <= 90;
    if (fValid) info.cell = v;
    return info;
}

std::string TileName(double dLat, double dLon) {
    char sz[32];
    std::snprintf(sz, sizeof sz, "%c%06.3f%c%07.3f", dLat < 0 ? 'S' : 'N', std::fabs(dLat), dLon < 0 ? 'W' : 'E',
                  std::fabs(dLon));
    return sz;
}

bool CutTiles(const std::string& strInput, const CTileOptions& options, std::vector<CTile>& tiles,
              std::string& strError) {
    tiles.clear();
    const CGrid grid(options.dSize);
    Membership nodes, ways, relations, areaWays, wayHomes;
    std::map<Key, std::size_t> nodesInTile;
    try {
        // Pass 1: the nodes inside each tile; the ways using them, with all
        // their nodes; the relations with a member in a tile, and for areas
        // the member ways still to be completed. A tile's objects take
        // their city from places and municipalities up to a city's reach
        // away, so those come to every tile within that reach.
        std::size_t cOwnNodes = 0;
        bool fNodesSealed = false, fWaysSealed = false;
        std::vector<Key> keys;
        std::vector<std::pair<Id, osmium::Location>> places;
        auto sealNodes = [&] {
            if (fNodesSealed) return;
            nodes.Seal(); // the nodes' own tiles, searched by the ways below
            cOwnNodes = nodes.pairs.size();
            fNodesSealed = true;
            for (const auto& [id, loc] : places) {
                double dSouth = loc.lat(), dWest = loc.lon(), dNorth = dSouth, dEast = dWest;
                WidenByReach(dSouth, dWest, dNorth, dEast);
                grid.ForEachKeyIn(dSouth, dWest, dNorth, dEast, [&](Key k) {
                    if (nodesInTile.count(k)) nodes.Add(id, k);
                });
            }
            places.clear();
        };
        ReadPass(strInput, osmium::osm_entity_bits::nwr, 0, 3, options, [&](const osmium::OSMObject& obj) {
            if (obj.type() == osmium::item_type::node) {
                const auto& n = static_cast<const osmium::Node&>(obj);
                if (!n.location().valid()) return;
                const Key k = grid.KeyOf(n.location());
                nodes.Add(n.id(), k);
                ++nodesInTile[k];
                if (IsCityNode(n)) places.emplace_back(n.id(), n.location());
            } else if (obj.type() == osmium::item_type::way) {
                sealNodes();
                const auto& w = static_cast<const osmium::Way&>(obj);
                keys.clear();
                const auto own = nodes.pairs.begin() + static_cast<std::ptrdiff_t>(cOwnNodes);
                for (const osmium::NodeRef& nr : w.nodes()) {
                    auto it = std::lower_bound(nodes.pairs.begin(), own, std::pair<Id, Key>{nr.ref(), 0});
                    if (it != own && it->first == nr.ref()) keys.push_back(it->second);
                }
                // A way's search data take their city from its middle point.
                if (!keys.empty() && !w.tags().empty()) wayHomes.Add(w.id(), keys[keys.size() / 2]);
                // A coastline also goes to the tiles its segments cross
                // without a node there: each tile's sea needs every
                // coastline crossing its edge.
                if (IsCoastline(w))
                    for (std::size_t i = 0, n = keys.size(); i + 1 < n; ++i)
                        if (keys[i] != keys[i + 1])
                            grid.ForEachKeyBetween(keys[i], keys[i + 1], [&](Key k) {
                                if (nodesInTile.count(k)) keys.push_back(k);
                            });
                std::sort(keys.begin(), keys.end());
                keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
                for (Key k : keys) {
                    ways.Add(w.id(), k);
                    for (const osmium::NodeRef& nr : w.nodes()) nodes.Add(nr.ref(), k);
                }
            } else if (obj.type() == osmium::item_type::relation) {
                sealNodes();
                if (!fWaysSealed) {
                    ways.Seal();
                    fWaysSealed = true;
                }
                const auto& r = static_cast<const osmium::Relation&>(obj);
                keys.clear();
                const auto own = nodes.pairs.begin() + static_cast<std::ptrdiff_t>(cOwnNodes);
                for (const osmium::RelationMember& m : r.members()) {
                    if (m.type() == osmium::item_type::way) {
                        ways.ForEach(m.ref(), [&](Key k) { keys.push_back(k); });
                    } else if (m.type() == osmium::item_type::node) {
                        auto it = std::lower_bound(nodes.pairs.begin(), own, std::pair<Id, Key>{m.ref(), 0});
                        if (it != own && it->first == m.ref()) keys.push_back(it->second);
                    }
                }
                // Boundaries come to the tiles within reach: a municipality
                // to those of the box of the cells it meets (it is small), a
                // country or region to those near its border, where places
                // copied from across the border need its name.
                if (const int nLevel = !keys.empty() ? BoundaryLevel(r) : 0) {
                    std::vector<std::array<double, 4>> boxes;
                    if (nLevel >= 7) {
                        const auto [kW, kE] = std::minmax_element(keys.begin(), keys.end(), [&](Key a, Key b) {
                            return grid.West(a) < grid.West(b);
                        });
                        const auto [kS, kN] = std::minmax_element(keys.begin(), keys.end());
                        boxes.push_back({grid.South(*kS), grid.West(*kW), grid.South(*kN) + options.dSize,
                                         grid.West(*kE) + options.dSize});
                    } else {
                        for (Key k : keys)
                            boxes.push_back({grid.South(k), grid.West(k), grid.South(k) + options.dSize,
                                             grid.West(k) + options.dSize});
                    }
                    for (auto& b : boxes) {
                        WidenByReach(b[0], b[1], b[2], b[3]);
                        grid.ForEachKeyIn(b[0], b[1], b[2], b[3], [&](Key k) {
                            if (nodesInTile.count(k)) keys.push_back(k);
                        });
                    }
                }
                std::sort(keys.begin(), keys.end());
                keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
                const bool fArea = IsAreaRelation(r);
                for (Key k : keys) {
                    relations.Add(r.id(), k);
                    if (fArea)
                        for (const osmium::RelationMember& m : r.members())
                            if (m.type() == osmium::item_type::way) areaWays.Add(m.ref(), k);
                }
            }
        });
        sealNodes();
        // Pass 2: the member ways of area relations, with their nodes.
        areaWays.Seal();
        ReadPass(strInput, osmium::osm_entity_bits::way, 1, 3, options, [&](const osmium::OSMObject& obj) {
            const auto& w = static_cast<const osmium::Way&>(obj);
            areaWays.ForEach(w.id(), [&](Key k) {
                ways.Add(w.id(), k);
                for (const osmium::NodeRef& nr : w.nodes()) nodes.Add(nr.ref(), k);
            });
        });
        nodes.Seal();
        ways.Seal();
        relations.Seal();
        wayHomes.Seal();

        // Pass 3: every object into the files of its tiles.
        std::map<Key, std::unique_ptr<osmium::io::Writer>> writers;
        osmium::io::Header header;
        {
            // The input's declared box: the tiles clip to it as the whole file would.
            osmium::io::Reader reader{strInput, osmium::osm_entity_bits::nothing};
            const osmium::io::Header input = reader.header();
            for (const osmium::Box& box : input.boxes()) header.add_box(box);
            reader.close();
        }
        for (const auto& [k, c] : nodesInTile) {
            CTile t;
            t.strName = TileName(grid.South(k) + 1e-9, grid.West(k) + 1e-9);
            t.strFile = (std::filesystem::path(options.strFolder) / (t.strName + ".osm.pbf")).string();
            t.cNodes = c;
            t.dSouth = grid.South(k);
            t.dWest = grid.West(k);
            t.dNorth = grid.North(k);
            t.dEast = grid.East(k);
            header.set("generator", TileGenerator(t));
            writers[k] = std::make_unique<osmium::io::Writer>(osmium::io::File{t.strFile}, header,
                                                              osmium::io::overwrite::allow);
            tiles.push_back(std::move(t));
        }
        // Untagged objects make no features of their own and go unmarked.
        osmium::memory::Buffer copy{1024, osmium::memory::Buffer::auto_grow::yes};
        ReadPass(strInput, osmium::osm_entity_bits::nwr, 2, 3, options, [&](const osmium::OSMObject& obj) {
            const bool fNode = obj.type() == osmium::item_type::node;
            const Membership& m = fNode ? nodes : obj.type() == osmium::item_type::way ? ways : relations;
            std::optional<Key> home;
            if (fNode) home = grid.KeyOf(static_cast<const osmium::Node&>(obj).location());
            else if (obj.type() == osmium::item_type::way) wayHomes.ForEach(obj.id(), [&](Key k) { home = k; });
            const osmium::OSMObject* pCopy = nullptr;
            m.ForEach(obj.id(), [&](Key k) {
                if (!home) home = k; // keys come in grid order
                auto it = writers.find(k);
                if (it == writers.end()) return;
                if (k == *home || obj.tags().empty()) {
                    (*it->second)(obj);
                    return;
                }
                if (!pCopy) pCopy = &MarkedCopy(copy, obj);
                (*it->second)(*pCopy);
            });
        });
        for (auto& [k, w] : writers) w->close();
    } catch (const std::exception& e) {
        strError = "cannot cut '" + strInput + "' into tiles: " + e.what();
        return false;
    }
    std::sort(tiles.begin(), tiles.end(), [](const CTile& a, const CTile& b) { return a.strName < b.strName; });
    return true;
}

} // namespace velka::mapc
