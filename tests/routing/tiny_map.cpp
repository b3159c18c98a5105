#include "tests/routing/tiny_map.h"

#include <cmath>
#include <fstream>
#include <sstream>

#include "tests/support/test_support.h"
#include "tools/mapc/mapc_osm.h"
#include "tools/mapc/mapc_style.h"
#include "tools/mapc/zem_writer.h"

namespace velka::test {

namespace {
constexpr double c_dLon0 = 9.5, c_dLat0 = 47.1, c_dStep = 0.001;
}

void CTinyMap::Node(long long id, double x, double y) { m_nodes[id] = {x, y}; }
void CTinyMap::Way(long long id, const std::vector<long long>& nodes, const Tags& tags) {
    m_ways.emplace_back(id, nodes, tags);
}
void CTinyMap::Relation(long long id, const std::vector<Member>& members, const Tags& tags) {
    m_relations.emplace_back(id, members, tags);
}

std::string CTinyMap::Xml() const {
    std::ostringstream s;
    s.precision(10);
    s << "<?xml version='1.0' encoding='UTF-8'?>\n<osm version=\"0.6\">\n";
    for (const auto& [id, p] : m_nodes)
        s << " <node id=\"" << id << "\" version=\"1\" timestamp=\"2026-01-01T00:00:00Z\" lat=\""
          << c_dLat0 + p.second * c_dStep << "\" lon=\"" << c_dLon0 + p.first * c_dStep << "\"/>\n";
    for (const auto& [id, nodes, tags] : m_ways) {
        s << " <way id=\"" << id << "\" version=\"1\" timestamp=\"2026-01-01T00:00:00Z\">\n";
        for (long long n : nodes) s << "  <nd ref=\"" << n << "\"/>\n";
        for (const auto& [k, v] : tags) s << "  <tag k=\"" << k << "\" v=\"" << v << "\"/>\n";
        s << " </way>\n";
    }
    for (const auto& [id, members, tags] : m_relations) {
        s << " <relation id=\"" << id << "\" version=\"1\" timestamp=\"2026-01-01T00:00:00Z\">\n";
        for (const Member& m : members)
            s << "  <member type=\"" << (m.chType == 'n' ? "node" : "way") << "\" ref=\"" << m.ref
              << "\" role=\"" << m.strRole << "\"/>\n";
        for (const auto& [k, v] : tags) s << "  <tag k=\"" << k << "\" v=\"" << v << "\"/>\n";
        s << " </relation>\n";
    }
    s << "</osm>\n";
    return s.str();
}

bool CompileOsmFile(const std::string& strPath, std::vector<BYTE>& bytes, std::string& strError) {
    mapc::CStyle style;
    if (!style.Load(SourcePath("data/runtime/osm.style").string(), strError)) return false;
    mapc::CMapcOptions options;
    options.inputs = {strPath};
    mapc::CMapcMap map;
    return mapc::CompileOsm(options, style, map, strError) && mapc::EncodeZem(map, bytes, strError);
}

bool CTinyMap::Compile(std::string& strError) {
    if (m_pZem) return true;
    TempDir dir;
    const std::string path = dir.File("tiny.osm");
    { std::ofstream(path) << Xml(); }
    if (!CompileOsmFile(path, m_bytes, strError)) return false;
    m_pMap = OpenMapMemory(u"tiny.zem", m_bytes.data(), m_bytes.size(), c_dwOpenAll);
    m_pZem = dynamic_cast<CZemParser*>(m_pMap.get());
    if (!m_pZem) strError = "the compiled map does not open";
    return m_pZem != nullptr;
}

CMapPoint CTinyMap::At(double x, double y) const {
    return {mapc::DegreesToMapUnits(c_dLon0 + x * c_dStep), mapc::DegreesToMapUnits(c_dLat0 + y * c_dStep)};
}

CMapPoint CTinyMap::NodePoint(long long id) const {
    const auto& p = m_nodes.at(id);
    return At(p.first, p.second);
}

CRouteRequest CTinyMap::Request(long long from, long long to, RouteOptions options) const {
    CRouteRequest r;
    r.ptStart = NodePoint(from);
    r.ptEnd = NodePoint(to);
    r.options = options;
    return r;
}

std::vector<long long> CTinyMap::NodesOf(const CRouteRequest& route) const {
    std::vector<long long> out;
    const double dUnitsPerMetre = 1073741824.0 / 20000000.0;
    const double k = std::cos(c_dLat0 * M_PI / 180);
    for (const RouteSearchPoint& p : route.points) {
        for (const auto& [id, xy] : m_nodes) {
            const CMapPoint q = At(xy.first, xy.second);
            const double dx = (static_cast<double>(p.pt.lX) - q.lX) * k, dy = static_cast<double>(p.pt.lY) - q.lY;
            if (std::sqrt(dx * dx + dy * dy) < 2 * dUnitsPerMetre) {
                if (out.empty() || out.back() != id) out.push_back(id);
                break;
            }
        }
    }
    return out;
}

} // namespace velka::test
