// Compiler stages: clipping to the extract, generalisation per zoom level
// and the header facts.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "platform/text.h"
#include "tools/mapc/mapc_osm.h"
#include "tools/mapc/mapc_stages.h"

namespace velka::mapc {

void ClipToBox(CMapcSource& src) {
    if (src.rcHeader.IsInverted()) return;
    std::erase_if(src.features, [&](const CMapcFeature& f) {
        CMapRect rc = CMapRect::MakeEmpty();
        rc.Add(f.pts.data(), f.pts.size());
        return !rc.Intersects(src.rcHeader);
    });
}

void Simplify(const std::vector<CMapPoint>& pts, std::vector<char>& keep, double dTolerance) {
    const std::size_t n = pts.size();
    if (n < 3) return;
    keep[0] = keep[0] == 2 ? 2 : 1;
    keep[n - 1] = keep[n - 1] == 2 ? 2 : 1;
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

std::vector<CMapcLevel> GeneraliseLevels(const std::vector<CMapcFeature>& features, const CRoadGraph& graph,
                                         const std::vector<int>& levelBits) {
    // Each level shows the objects whose rule reaches it, simplified to its
    // resolution; objects smaller than two level units are dropped.
    std::vector<CMapcLevel> levels;
    const std::size_t cLevels = levelBits.size();
    for (std::size_t l = 0; l < cLevels; ++l) {
        CMapcLevel level;
        level.nBits = levelBits[l];
        const bool fFinest = l + 1 == cLevels;
        const double dUnit = std::ldexp(1.0, 31 - level.nBits);
        for (std::size_t i = 0; i < features.size(); ++i) {
            const CMapcFeature& f = features[i];
            if (f.fOmitted || f.nBits > level.nBits) continue;
            CMapcObject o;
            o.nKind = f.nKind;
            o.wType = f.wType;
            o.strLabel = f.strLabel;
            o.fOneWay = f.fOneWay;
            o.fUnderlay = f.fUnderlay;
            o.nIndexId = static_cast<int>(i);
            o.fAddress = f.fAddress;
            std::copy(std::begin(f.adwAddress), std::end(f.adwAddress), o.adwAddress);
            if (f.nKind == rkPoint) {
                o.points = f.pts;
                level.objects.push_back(std::move(o));
                continue;
            }
            CMapRect rc = CMapRect::MakeEmpty();
            rc.Add(f.pts.data(), f.pts.size());
            if (!fFinest && rc.right - double(rc.left) < 2 * dUnit && rc.bottom - double(rc.top) < 2 * dUnit)
                continue;
            std::vector<char> keep(f.pts.size(), 0);
            const bool fNodes = fFinest && f.fRoad;
            if (fNodes)
                for (std::size_t k = 0; k < f.nodeIds.size(); ++k)
                    if (graph.IsNode(f.nodeIds[k])) keep[k] = 2;
            Simplify(f.pts, keep, fFinest ? 0.5 * dUnit : dUnit);
            if (f.pts.size() < 3) std::fill(keep.begin(), keep.end(), 1);
            for (std::size_t k = 0; k < f.pts.size(); ++k) {
                if (!keep[k]) continue;
                o.points.push_back(f.pts[k]);
                if (fNodes) {
                    auto it = graph.nodeNumber.find(f.nodeIds[k]);
                    o.nodes.push_back(it == graph.nodeNumber.end() ? -1 : it->second);
                }
            }
            if (fNodes) {
                o.wRoadFlags = f.wRoadFlags;
                o.nRoadId = static_cast<int>(i);
            }
            level.objects.push_back(std::move(o));
        }
        levels.push_back(std::move(level));
    }
    return levels;
}

namespace {

bool GuessCyrillic(const std::vector<CMapcFeature>& features) {
    std::size_t cCyr = 0, cNamed = 0;
    for (const CMapcFeature& f : features) {
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

void SetHeaderFacts(const CMapcOptions& options, const CMapcSource& src, CMapcMap& map) {
    if (!src.rcHeader.IsInverted()) map.rcBounds = src.rcHeader;
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
        map.dwLocale = GuessCyrillic(src.features) ? 1049 : 1033; // explicit: never the machine's default
    if (src.tNewest > 0) {
        std::tm tm{};
        gmtime_r(&src.tNewest, &tm);
        map.wYear = static_cast<WORD>(tm.tm_year + 1900);
        map.btMonth = static_cast<BYTE>(tm.tm_mon + 1);
        map.btDay = static_cast<BYTE>(tm.tm_mday);
    }
}

} // namespace velka::mapc
