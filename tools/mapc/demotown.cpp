#include "tools/mapc/demotown.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/text.h"

namespace velka::mapc {

namespace {

constexpr double c_dLon0 = 37.0;
constexpr double c_dLat0 = 55.0;
constexpr double c_dMetresPerDegree = 111320.0;
constexpr double c_dGrid = 160.0; // metres between the town's streets
constexpr double c_dPi = 3.14159265358979323846;

double Lon(double x) { return c_dLon0 + x / (c_dMetresPerDegree * std::cos(c_dLat0 * c_dPi / 180)); }
double Lat(double y) { return c_dLat0 + y / c_dMetresPerDegree; }

using Tags = std::vector<std::pair<std::string, std::string>>;


class COsmWriter {
public:
    long Node(double x, double y, const Tags& tags = {}) {
        const long id = static_cast<long>(m_nodes.size()) + 1;
        m_nodes.push_back({x, y, tags});
        return id;
    }
    long Way(const std::vector<long>& nodes, const Tags& tags) {
        const long id = static_cast<long>(m_ways.size()) + 1;
        m_ways.push_back({nodes, tags});
        return id;
    }
    // Members: (type "way"/"node", id, role).
    void Relation(const std::vector<std::tuple<std::string, long, std::string>>& members,
                  const Tags& tags) {
        m_relations.push_back({members, tags});
    }
    // A closed ring of n nodes around (cx, cy).
    long Ring(double cx, double cy, double rx, double ry, int n, const Tags& tags,
              double phase = 0) {
        std::vector<long> ids;
        for (int i = 0; i < n; ++i) {
            const double a = phase + 2 * c_dPi * i / n;
            ids.push_back(Node(cx + rx * std::cos(a), cy + ry * std::sin(a)));
        }
        ids.push_back(ids.front());
        return Way(ids, tags);
    }
    long Box(double x0, double y0, double x1, double y1, const Tags& tags) {
        std::vector<long> ids{Node(x0, y0), Node(x1, y0), Node(x1, y1), Node(x0, y1)};
        ids.push_back(ids.front());
        return Way(ids, tags);
    }

    std::string Xml() const {
        std::string s = "<?xml version='1.0' encoding='UTF-8'?>\n"
                        "<osm version=\"0.6\" generator=\"velkatool demotown\">\n";
        double minX = 1e9, minY = 1e9, maxX = -1e9, maxY = -1e9;
        for (const auto& n : m_nodes) {
            minX = std::min(minX, n.x);
            maxX = std::max(maxX, n.x);
            minY = std::min(minY, n.y);
            maxY = std::max(maxY, n.y);
        }
        char buf[256];
        std::snprintf(buf, sizeof buf,
                      "  <bounds minlat=\"%.7f\" minlon=\"%.7f\" maxlat=\"%.7f\" maxlon=\"%.7f\"/>\n",
                      Lat(minY - 50), Lon(minX - 50), Lat(maxY + 50), Lon(maxX + 50));
        s += buf;
        const char* c_szMeta = "version=\"1\" timestamp=\"2026-01-15T12:00:00Z\"";
        for (std::size_t i = 0; i < m_nodes.size(); ++i) {
            const auto& n = m_nodes[i];
            std::snprintf(buf, sizeof buf, "  <node id=\"%zu\" %s lat=\"%.7f\" lon=\"%.7f\"", i + 1,
                          c_szMeta, Lat(n.y), Lon(n.x));
            s += buf;
            if (n.tags.empty()) {
                s += "/>\n";
                continue;
            }
            s += ">\n";
            AppendTags(s, n.tags);
            s += "  </node>\n";
        }
        for (std::size_t i = 0; i < m_ways.size(); ++i) {
            std::snprintf(buf, sizeof buf, "  <way id=\"%zu\" %s>\n", i + 1, c_szMeta);
            s += buf;
            for (long id : m_ways[i].nodes) s += "    <nd ref=\"" + std::to_string(id) + "\"/>\n";
            AppendTags(s, m_ways[i].tags);
            s += "  </way>\n";
        }
        for (std::size_t i = 0; i < m_relations.size(); ++i) {
            std::snprintf(buf, sizeof buf, "  <relation id=\"%zu\" %s>\n", i + 1, c_szMeta);
            s += buf;
            for (const auto& [type, ref, role] : m_relations[i].members)
                s += "    <member type=\"" + type + "\" ref=\"" + std::to_string(ref) +
                     "\" role=\"" + role + "\"/>\n";
            AppendTags(s, m_relations[i].tags);
            s += "  </relation>\n";
        }
        s += "</osm>\n";
        return s;
    }

private:
    static void AppendTags(std::string& s, const Tags& tags) {
        for (const auto& [k, v] : tags)
            s += "    <tag k=\"" + XmlEscape(k) + "\" v=\"" + XmlEscape(v) + "\"/>\n";
    }
    struct NodeRec {
        double x, y;
        Tags tags;
    };
    struct WayRec {
        std::vector<long> nodes;
        Tags tags;
    };
    struct RelRec {
        std::vector<std::tuple<std::string, long, std::string>> members;
        Tags tags;
    };
    std::vector<NodeRec> m_nodes;
    std::vector<WayRec> m_ways;
    std::vector<RelRec> m_relations;
};

// Street names of the grid: rows (west-east streets) from south to north,
// columns (south-north streets) from west to east.
const char* const c_aszRows[6] = {"улица Садовая", "улица Школьная", "улица Центральная",
                                  "улица Мира",    "улица Лесная",   "улица Речная"};
const char* const c_aszCols[6] = {"улица Гагарина", "улица Пушкина", "проспект Победы",
                                  "улица Чехова",   "улица Толстого", "улица Горького"};

struct Town {
    COsmWriter w;
    long grid[6][6] = {}; // [column][row]
};

void BuildTown(Town& t) {
    COsmWriter& w = t.w;
    for (int i = 0; i < 6; ++i)
        for (int j = 0; j < 6; ++j) t.grid[i][j] = w.Node(i * c_dGrid, j * c_dGrid);

    // Rows. Улица Мира is one-way westwards (stored eastwards, oneway=-1);
    // Центральная is split at the avenue for the turn restriction.
    long centralWest = 0;
    for (int j = 0; j < 6; ++j) {
        Tags tags{{"highway", j == 2 ? "tertiary" : "residential"}, {"name", c_aszRows[j]}};
        if (j == 3) tags.push_back({"oneway", "-1"});
        if (j == 2) {
            centralWest = w.Way({t.grid[0][2], t.grid[1][2], t.grid[2][2]}, tags);
            w.Way({t.grid[2][2], t.grid[3][2], t.grid[4][2], t.grid[5][2]}, tags);
            continue;
        }
        std::vector<long> ids;
        for (int i = 0; i < 6; ++i) ids.push_back(t.grid[i][j]);
        w.Way(ids, tags);
    }
    // Columns. Пушкина is one-way northwards; the avenue continues south
    // to the motorway and is split at Центральная.
    long avenueSouth = 0;
    const long avenueEnd = w.Node(2 * c_dGrid, -900);
    for (int i = 0; i < 6; ++i) {
        Tags tags{{"highway", i == 2 ? "secondary" : "residential"}, {"name", c_aszCols[i]}};
        if (i == 1) tags.push_back({"oneway", "yes"});
        if (i == 2) {
            avenueSouth = w.Way({avenueEnd, w.Node(2 * c_dGrid + 20, -450), t.grid[2][0],
                                 t.grid[2][1], t.grid[2][2]},
                                tags);
            w.Way({t.grid[2][2], t.grid[2][3], t.grid[2][4], t.grid[2][5]}, tags);
            continue;
        }
        std::vector<long> ids;
        for (int j = 0; j < 6; ++j) ids.push_back(t.grid[i][j]);
        w.Way(ids, tags);
    }
    w.Relation({{"way", avenueSouth, "from"}, {"node", t.grid[2][2], "via"}, {"way", centralWest, "to"}},
               {{"type", "restriction"}, {"restriction", "no_left_turn"}});

    // The roundabout east of the town, where Центральная meets the roads to
    // the villages: eight nodes counter-clockwise from the west.
    const double rcx = 5 * c_dGrid + 140, rcy = 2 * c_dGrid, rr = 30;
    std::vector<long> ring;
    for (int k = 0; k < 8; ++k) {
        const double a = c_dPi + 2 * c_dPi * k / 8; // west, south-west, south, ...
        ring.push_back(w.Node(rcx + rr * std::cos(a), rcy + rr * std::sin(a)));
    }
    // Rising angles run counter-clockwise: west, south, east, north.
    const std::vector<long> ringIds{ring[0], ring[1], ring[2], ring[3], ring[4],
                                    ring[5], ring[6], ring[7], ring[0]};
    w.Way(ringIds, {{"highway", "tertiary"}, {"junction", "roundabout"}});
    w.Way({t.grid[5][2], ring[0]}, {{"highway", "tertiary"}, {"name", c_aszRows[2]}});

    // Motorway south of the town, one carriageway per direction, and the
    // links to the avenue.
    const double my = -1500;
    std::vector<long> east, west;
    for (int k = 0; k <= 14; ++k) {
        const double x = -5000 + k * 1000;
        east.push_back(w.Node(x, my - 12 + 60 * std::sin(k * 0.5)));
        west.push_back(w.Node(x, my + 12 + 60 * std::sin(k * 0.5)));
    }
    std::reverse(west.begin(), west.end());
    const Tags mw{{"highway", "motorway"}, {"oneway", "yes"}, {"ref", "М-11"}, {"name", "трасса Нева"},
                  {"maxspeed", "110"}};
    w.Way(east, mw);
    w.Way(west, mw);
    // Links at x = 0: node 5 of the eastbound carriageway, node 9 of the
    // westbound one (stored east to west).
    w.Way({east[5], w.Node(200, -1200), avenueEnd}, {{"highway", "motorway_link"}});
    w.Way({avenueEnd, w.Node(450, -1200), west[9]}, {{"highway", "motorway_link"}});

    // Primary roads to the villages, starting at the roundabout.
    const long ozCentre = w.Node(5200, 400);
    {
        std::vector<long> ids{ring[4]};
        for (int k = 1; k < 10; ++k)
            ids.push_back(w.Node(rcx + 30 + k * 430, rcy + 40 * std::sin(k * 0.9) + k * 8));
        ids.push_back(ozCentre);
        w.Way(ids, {{"highway", "primary"}, {"name", "Озёрное шоссе"}, {"ref", "Р-21"}});
    }
    const long lsCentre = w.Node(1000, 6000);
    {
        std::vector<long> ids{ring[6]};
        for (int k = 1; k < 12; ++k)
            ids.push_back(w.Node(rcx - k * 15 + 30 * std::sin(k * 0.7), rcy + 30 + k * 460));
        ids.push_back(lsCentre);
        w.Way(ids, {{"highway", "primary"}, {"name", "Лесное шоссе"}});
    }
    // A tertiary road between the villages.
    w.Way({ozCentre, w.Node(4800, 2000), w.Node(3600, 4000), w.Node(2200, 5400), lsCentre},
          {{"highway", "tertiary"}, {"name", "Просёлочная дорога"}});

    // Village streets.
    w.Way({w.Node(4900, 250), ozCentre, w.Node(5500, 550)}, {{"highway", "residential"}, {"name", "улица Озёрная"}});
    w.Way({w.Node(5200, 100), ozCentre, w.Node(5150, 800)}, {{"highway", "residential"}, {"name", "Береговая улица"}});
    w.Way({w.Node(700, 6000), lsCentre, w.Node(1300, 6050)}, {{"highway", "residential"}, {"name", "улица Сосновая"}});
    w.Way({w.Node(1000, 5750), lsCentre, w.Node(1020, 6300)}, {{"highway", "unclassified"}, {"name", "Лесной переулок"}});
    w.Way({w.Node(1020, 6300), w.Node(900, 6900), w.Node(700, 7600)}, {{"highway", "track"}});

    // Places.
    w.Node(2.5 * c_dGrid, 2.5 * c_dGrid, {{"place", "town"}, {"name", "Велкоград"}, {"population", "12000"}});
    w.Node(5250, 450, {{"place", "village"}, {"name", "Озёрное"}});
    w.Node(1050, 6050, {{"place", "village"}, {"name", "Лесная"}});
    w.Node(-1250, 850, {{"place", "hamlet"}, {"name", "Заречье"}});

    // The river west of the town, the bridge to Заречье, the lake.
    {
        std::vector<long> ids;
        for (int k = 0; k <= 26; ++k)
            ids.push_back(w.Node(-600 + 120 * std::sin(k * 0.6), 9000 - k * 500));
        w.Way(ids, {{"waterway", "river"}, {"name", "река Велка"}});
        const long b0 = w.Node(-400, 2 * c_dGrid - 60);
        const long b1 = w.Node(-800, 2 * c_dGrid - 140);
        w.Way({t.grid[0][2], b0}, {{"highway", "residential"}, {"name", "улица Заречная"}});
        w.Way({b0, b1}, {{"highway", "residential"}, {"name", "улица Заречная"}, {"bridge", "yes"}, {"layer", "1"}});
        w.Way({b1, w.Node(-1250, 800)}, {{"highway", "residential"}, {"name", "улица Заречная"}});
    }
    w.Ring(5700, 1300, 450, 300, 20, {{"natural", "water"}, {"name", "озеро Светлое"}});

    // The park in a town block and the forest north of Лесная with a
    // clearing (a multipolygon with an inner ring).
    w.Box(3 * c_dGrid + 15, 3 * c_dGrid + 15, 4 * c_dGrid - 15, 4 * c_dGrid - 15,
          {{"leisure", "park"}, {"name", "Центральный парк"}});
    {
        const long outer = w.Ring(1000, 8200, 2200, 1300, 24, {});
        const long inner = w.Ring(1200, 8200, 400, 300, 12, {});
        w.Relation({{"way", outer, "outer"}, {"way", inner, "inner"}},
                   {{"type", "multipolygon"}, {"landuse", "forest"}, {"name", "Сосновый бор"}});
    }
    w.Ring(-2500, -300, 700, 500, 16, {{"natural", "wood"}, {"name", "Берёзовая роща"}});
    w.Box(-30, -30, 5 * c_dGrid + 30, 5 * c_dGrid + 30, {{"landuse", "residential"}, {"name", "Велкоград"}});

    // Houses with addresses along Центральная (odd numbers north, even
    // south) and along the avenue.
    int nNorth = 1, nSouth = 2;
    for (int i = 0; i < 5; ++i) {
        for (int k = 0; k < 3; ++k) {
            const double x0 = i * c_dGrid + 20 + k * 45;
            w.Box(x0, 2 * c_dGrid + 15, x0 + 30, 2 * c_dGrid + 40,
                  {{"building", "house"}, {"addr:street", c_aszRows[2]},
                   {"addr:housenumber", std::to_string(nNorth)}});
            w.Box(x0, 2 * c_dGrid - 40, x0 + 30, 2 * c_dGrid - 15,
                  {{"building", "house"}, {"addr:street", c_aszRows[2]},
                   {"addr:housenumber", std::to_string(nSouth)}});
            nNorth += 2;
            nSouth += 2;
        }
    }
    for (int j = 0; j < 5; ++j) {
        const double y0 = j * c_dGrid + 30;
        if (j == 2) continue;
        w.Box(2 * c_dGrid + 15, y0, 2 * c_dGrid + 45, y0 + 40,
              {{"building", "apartments"}, {"addr:street", c_aszCols[2]},
               {"addr:housenumber", std::to_string(2 * j + 1)}, {"addr:postcode", "123456"}});
    }

    // Points of interest.
    struct Poi {
        double x, y;
        const char* key;
        const char* value;
        const char* name;
    };
    static const Poi c_aPois[] = {
        {2.5 * c_dGrid, 2.2 * c_dGrid, "amenity", "townhall", "Администрация"},
        {1.5 * c_dGrid, 2.3 * c_dGrid, "amenity", "restaurant", "Ресторан Волга"},
        {3.4 * c_dGrid, 2.3 * c_dGrid, "amenity", "cafe", "Кафе Уют"},
        {2.7 * c_dGrid, 1.6 * c_dGrid, "tourism", "hotel", "Гостиница Велка"},
        {0.5 * c_dGrid, 1.5 * c_dGrid, "shop", "supermarket", "Супермаркет Радуга"},
        {3.5 * c_dGrid, 1.5 * c_dGrid, "amenity", "pharmacy", "Аптека"},
        {1.5 * c_dGrid, 4.5 * c_dGrid, "amenity", "school", "Школа № 1"},
        {4.5 * c_dGrid, 4.5 * c_dGrid, "amenity", "hospital", "Городская больница"},
        {2.4 * c_dGrid, 3.3 * c_dGrid, "amenity", "bank", "Банк"},
        {2.6 * c_dGrid, 3.6 * c_dGrid, "amenity", "post_office", "Почта"},
        {0.6 * c_dGrid, 3.5 * c_dGrid, "tourism", "museum", "Краеведческий музей"},
        {4.4 * c_dGrid, 0.5 * c_dGrid, "amenity", "place_of_worship", "Храм Троицы"},
        {2.3 * c_dGrid, 0.4 * c_dGrid, "amenity", "bus_station", "Автовокзал"},
        {2 * c_dGrid + 60, -880, "amenity", "fuel", "АЗС"},
        {5300, 350, "amenity", "cafe", "Кафе У озера"},
        {1100, 6100, "shop", "convenience", "Магазин"},
        {5900, 1750, "tourism", "camp_site", "Кемпинг"},
        {-2600, 7600, "natural", "peak", "гора Лысая"},
    };
    for (const Poi& p : c_aPois) {
        Tags tags{{p.key, p.value}, {"name", p.name}};
        if (std::string(p.value) == "peak") tags.push_back({"ele", "214"});
        w.Node(p.x, p.y, tags);
    }
}

} // namespace

std::string DemoTownOsm() {
    Town t;
    BuildTown(t);
    return t.w.Xml();
}

std::string DemoTownDrive() {
    // Counter-clockwise round the town: east along Садовая, north along
    // Горького, west along Речная, south along Гагарина, back to the start
    // in the middle of Садовая.
    const double e = 5 * c_dGrid;
    const std::vector<std::pair<double, double>> path{
        {2.5 * c_dGrid, 0}, {e, 0}, {e, e}, {0, e}, {0, 0}, {2.5 * c_dGrid, 0}};
    std::vector<double> cum{0};
    for (std::size_t i = 1; i < path.size(); ++i)
        cum.push_back(cum.back() + std::hypot(path[i].first - path[i - 1].first,
                                              path[i].second - path[i - 1].second));
    const double total = cum.back();
    // Speed: up to 12 m/s, 4 m/s through the corners, 1.2 m/s^2 both ways,
    // from standstill and back to it.
    const double vMax = 11.0, vCorner = 4.0, a = 1.2;
    auto speedAt = [&](double s) {
        double v = vMax;
        for (std::size_t i = 0; i < cum.size(); ++i) {
            const double vc = (i == 0 || i + 1 == cum.size()) ? 0.5 : vCorner;
            v = std::min(v, std::sqrt(vc * vc + 2 * a * std::abs(s - cum[i])));
        }
        return v;
    };
    auto positionAt = [&](double s) {
        std::size_t i = 1;
        while (i + 1 < cum.size() && cum[i] < s) ++i;
        const double f = (s - cum[i - 1]) / std::max(1e-9, cum[i] - cum[i - 1]);
        return std::pair{path[i - 1].first + f * (path[i].first - path[i - 1].first),
                         path[i - 1].second + f * (path[i].second - path[i - 1].second)};
    };
    std::string out;
    char buf[96];
    double s = 0;
    int nSecond = 0;
    const double dt = 0.01;
    double t = 0;
    while (s < total) {
        if (t >= nSecond - 1e-9) {
            const auto [x, y] = positionAt(s);
            std::snprintf(buf, sizeof buf, "%d,%.7f,%.7f\n", nSecond, Lon(x), Lat(y));
            out += buf;
            ++nSecond;
        }
        s = std::min(total, s + speedAt(s) * dt);
        t += dt;
    }
    std::snprintf(buf, sizeof buf, "%d,%.7f,%.7f\n", nSecond, Lon(path.back().first),
                  Lat(path.back().second));
    out += buf;
    return out;
}

} // namespace velka::mapc
