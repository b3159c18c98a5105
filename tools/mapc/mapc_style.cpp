#include "tools/mapc/mapc_style.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "geometry/map_types.h"

namespace velka::mapc {

namespace {

std::vector<std::string> Split(const std::string& s, char c) {
    std::vector<std::string> out;
    std::string cur;
    for (char ch : s) {
        if (ch == c) {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += ch;
        }
    }
    out.push_back(cur);
    return out;
}

} // namespace

bool CStyle::Parse(const std::string& strText, std::string& strError) {
    m_rules.clear();
    std::istringstream in(strText);
    std::string line;
    int nLine = 0;
    auto fail = [&](const std::string& msg) {
        strError = "line " + std::to_string(nLine) + ": " + msg;
        return false;
    };
    while (std::getline(in, line)) {
        ++nLine;
        const std::size_t hash = line.find('#');
        if (hash != std::string::npos) line.resize(hash);
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string s; words >> s;) w.push_back(s);
        if (w.empty()) continue;
        if (w.size() < 4) return fail("expected KIND CONDITIONS TYPE BITS");
        CStyleRule r;
        r.nLine = nLine;
        if (w[0] == "point") r.nKind = rkPoint;
        else if (w[0] == "line") r.nKind = rkPolyline;
        else if (w[0] == "area") r.nKind = rkPolygon;
        else return fail("unknown kind '" + w[0] + "'");
        for (const std::string& cond : Split(w[1], ',')) {
            const std::size_t eq = cond.find('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 == cond.size())
                return fail("condition '" + cond + "' is not key=value");
            CStyleCondition c;
            c.strKey = cond.substr(0, eq);
            std::string v = cond.substr(eq + 1);
            if (v[0] == '!') {
                c.fNegate = true;
                v.erase(0, 1);
            }
            if (v != "*") c.values = Split(v, '|');
            r.conditions.push_back(std::move(c));
        }
        char* pEnd = nullptr;
        const unsigned long t = std::strtoul(w[2].c_str(), &pEnd, 0);
        if (*pEnd || t > 0xFFFF) return fail("bad type '" + w[2] + "'");
        r.wType = static_cast<WORD>(t);
        const long b = std::strtol(w[3].c_str(), &pEnd, 10);
        if (*pEnd || b < 11 || b > 24) return fail("bits must be 11 .. 24");
        r.nBits = static_cast<int>(b);
        for (std::size_t i = 4; i < w.size(); ++i) {
            int s = 0, c = 0;
            char slash = 0;
            std::istringstream opt(w[i].substr(w[i].find('=') + 1));
            if (w[i].rfind("road=", 0) == 0 && (opt >> s >> slash >> c) && slash == '/' && s >= 0 &&
                s <= 7 && c >= 0 && c <= 7 && r.nKind == rkPolyline) {
                r.fRoad = true;
                r.nSpeedClass = s;
                r.nRoadClass = c;
            } else {
                return fail("unknown option '" + w[i] + "'");
            }
        }
        m_rules.push_back(std::move(r));
    }
    if (m_rules.empty()) {
        strError = "the style has no rules";
        return false;
    }
    return true;
}

bool CStyle::Load(const std::string& strPath, std::string& strError) {
    std::ifstream f(strPath, std::ios::binary);
    if (!f) {
        strError = "cannot read the style '" + strPath + "': " + std::strerror(errno);
        return false;
    }
    std::ostringstream ss;
    ss << f.rdbuf();
    if (!Parse(ss.str(), strError)) {
        strError = strPath + ": " + strError;
        return false;
    }
    return true;
}

const CStyleRule* CStyle::Match(int nKind, const void* pTags, TagLookup pfnLookup) const {
    for (const CStyleRule& r : m_rules) {
        if (r.nKind != nKind) continue;
        bool fAll = true;
        for (const CStyleCondition& c : r.conditions) {
            const char* v = pfnLookup(pTags, c.strKey.c_str());
            bool fOk = v != nullptr;
            if (fOk && !c.values.empty()) {
                bool fListed = false;
                for (const std::string& s : c.values) fListed = fListed || s == v;
                fOk = c.fNegate ? !fListed : fListed;
            }
            if (!fOk) {
                fAll = false;
                break;
            }
        }
        if (fAll) return &r;
    }
    return nullptr;
}

} // namespace velka::mapc
