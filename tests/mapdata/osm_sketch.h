// Tiny OpenStreetMap inputs drawn as ASCII sketches, the way routing
// engines write their scenarios:
//
//     a---b---c
//         |
//         d
//
// Every letter is a node at its column and row (one column 0.0001 degree
// east, one row 0.0001 degree south of the origin); ways and relations are
// added by naming their nodes. Xml() gives an .osm document.
#pragma once
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velka::test {

class COsmSketch {
public:
    using Tags = std::vector<std::pair<std::string, std::string>>;

    explicit COsmSketch(std::string_view picture, double dLat0 = 47.1, double dLon0 = 9.5) {
        int row = 0, col = 0;
        for (char c : picture) {
            if (c == '\n') {
                ++row;
                col = 0;
                continue;
            }
            if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
                m_nodes[c] = {dLat0 - row * 1e-4, dLon0 + col * 1e-4};
            ++col;
        }
    }
    static long long NodeId(char c) { return c >= 'a' ? c - 'a' + 1 : c - 'A' + 27; }

    COsmSketch& Tag(char node, Tags tags) {
        m_nodeTags[node] = std::move(tags);
        return *this;
    }
    COsmSketch& Way(long long id, std::string_view nodes, Tags tags) {
        m_ways.push_back({id, std::string(nodes), std::move(tags)});
        return *this;
    }
    // Members as (type "node"/"way", id, role).
    struct Member {
        std::string type;
        long long ref;
        std::string role;
    };
    COsmSketch& Relation(long long id, std::vector<Member> members, Tags tags) {
        m_relations.push_back({id, std::move(members), std::move(tags)});
        return *this;
    }
    COsmSketch& Bounds(double minLat, double minLon, double maxLat, double maxLon) {
        char buf[160];
        std::snprintf(buf, sizeof buf, "<bounds minlat=\"%.7f\" minlon=\"%.7f\" maxlat=\"%.7f\" maxlon=\"%.7f\"/>\n",
                      minLat, minLon, maxLat, maxLon);
        m_strBounds = buf;
        return *this;
    }
    std::pair<double, double> LatLon(char c) const { return m_nodes.at(c); }

    std::string Xml() const {
        std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<osm version=\"0.6\">\n" + m_strBounds;
        char buf[200];
        for (const auto& [c, ll] : m_nodes) {
            std::snprintf(buf, sizeof buf, "<node id=\"%lld\" version=\"1\" timestamp=\"2024-05-06T07:08:09Z\" "
                          "lat=\"%.7f\" lon=\"%.7f\"", NodeId(c), ll.first, ll.second);
            s += buf;
            auto it = m_nodeTags.find(c);
            if (it == m_nodeTags.end()) {
                s += "/>\n";
                continue;
            }
            s += ">\n" + TagsXml(it->second) + "</node>\n";
        }
        for (const auto& w : m_ways) {
            s += "<way id=\"" + std::to_string(w.id) + "\" version=\"1\">\n";
            for (char c : w.nodes) s += "<nd ref=\"" + std::to_string(NodeId(c)) + "\"/>\n";
            s += TagsXml(w.tags) + "</way>\n";
        }
        for (const auto& r : m_relations) {
            s += "<relation id=\"" + std::to_string(r.id) + "\" version=\"1\">\n";
            for (const Member& m : r.members)
                s += "<member type=\"" + m.type + "\" ref=\"" + std::to_string(m.ref) + "\" role=\"" + m.role + "\"/>\n";
            s += TagsXml(r.tags) + "</relation>\n";
        }
        return s + "</osm>\n";
    }

private:
    static std::string Escape(const std::string& v) {
        std::string out;
        for (char c : v) {
            if (c == '&') out += "&amp;";
            else if (c == '<') out += "&lt;";
            else if (c == '"') out += "&quot;";
            else out += c;
        }
        return out;
    }
    static std::string TagsXml(const Tags& tags) {
        std::string s;
        for (const auto& [k, v] : tags) s += "<tag k=\"" + Escape(k) + "\" v=\"" + Escape(v) + "\"/>\n";
        return s;
    }
    struct WaySpec {
        long long id;
        std::string nodes;
        Tags tags;
    };
    struct RelationSpec {
        long long id;
        std::vector<Member> members;
        Tags tags;
    };
    std::map<char, std::pair<double, double>> m_nodes;
    std::map<char, Tags> m_nodeTags;
    std::vector<WaySpec> m_ways;
    std::vector<RelationSpec> m_relations;
    std::string m_strBounds;
};

} // namespace velka::test
