// Compiler stages for the search indexes: addr:interpolation ways expanded
// into address points, associatedStreet relations applied, then countries,
// regions and cities, the address attributes of objects with their name
// tables, and the objects index by category.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <unordered_map>

#include "geometry/point_algorithms.h"
#include "mapdata/collation.h"
#include "mapdata/label_interpret.h"
#include "search/type_filter_table.h"
#include "tools/mapc/mapc_places.h"

namespace velka::mapc {

bool IsCityPlace(std::string_view place) {
    // Suburbs and neighbourhoods are parts of a city, not cities.
    return place == "city" || place == "town" || place == "village" || place == "hamlet";
}

bool CMapcBoundary::Contains(const CMapPoint& pt) const {
    if (!rc.Contains(pt)) return false;
    int cInside = 0;
    for (const auto& ring : rings) cInside += PointInPolygon(ring.data(), ring.size(), pt) ? 1 : 0;
    return cInside % 2 == 1;
}

namespace {

// A house number that is a whole number, or -1.
long WholeNumber(const std::u16string& s) {
    if (s.empty() || s.size() > 9) return -1;
    long n = 0;
    for (char16_t c : s) {
        if (c < u'0' || c > u'9') return -1;
        n = n * 10 + (c - u'0');
    }
    return n;
}

std::u16string Decimal(long n) {
    std::u16string s;
    do {
        s.insert(s.begin(), static_cast<char16_t>(u'0' + n % 10));
        n /= 10;
    } while (n);
    return s;
}

double Length(const CMapPoint& a, const CMapPoint& b) { return std::hypot(double(b.lX) - a.lX, double(b.lY) - a.lY); }

// The point at distance d along pts[from..to].
CMapPoint Along(const std::vector<CMapPoint>& pts, std::size_t from, std::size_t to, double d) {
    for (std::size_t i = from; i < to; ++i) {
        const double l = Length(pts[i], pts[i + 1]);
        if (d <= l && l > 0) {
            const double t = d / l;
            return {static_cast<LONG>(std::lround(pts[i].lX + t * (double(pts[i + 1].lX) - pts[i].lX))),
                    static_cast<LONG>(std::lround(pts[i].lY + t * (double(pts[i + 1].lY) - pts[i].lY)))};
        }
        d -= l;
    }
    return pts[to];
}

CMapPoint Representative(const CMapcFeature& f) {
    if (f.nKind == rkPoint || f.pts.size() < 2) return f.pts.front();
    if (f.nKind == rkPolyline) return f.pts[f.pts.size() / 2];
    CMapRect rc = CMapRect::MakeEmpty();
    rc.Add(f.pts.data(), f.pts.size());
    return {static_cast<LONG>((std::int64_t{rc.left} + rc.right) / 2),
            static_cast<LONG>((std::int64_t{rc.top} + rc.bottom) / 2)};
}

// How far a place reaches for objects that name no city, in map units
// (1 km is about 53 700 units).
double PlaceRadius(const std::string& place) {
    const double km = 53687.0;
    if (place == "city") return c_dCityReachKm * km;
    if (place == "town") return 8 * km;
    if (place == "village") return 3 * km;
    return 1.5 * km;
}

std::u16string CityText(const std::u16string& name, const std::u16string& region, const std::u16string& country) {
    std::u16string s = name;
    for (const std::u16string* part : {&region, &country}) {
        std::u16string_view v(*part);
        const std::size_t bar = v.find(u'|');
        if (bar != std::u16string_view::npos) v.remove_prefix(bar + 1);
        if (v.empty()) continue;
        s += u", ";
        s += v;
    }
    return s.substr(0, 63);
}

std::u16string DisplayText(const CMapcFeature& f) {
    char16_t display[c_cDisplayLabelMax];
    int nShield = 0;
    const int n = LabelInterpret(f.nKind, f.wType, true, true, f.strLabel.data(), f.strLabel.size(), display, &nShield);
    return std::u16string(display, static_cast<std::size_t>(std::max(n, 0)));
}

class CIndexBuilder {
public:
    CIndexBuilder(CMapcSource& src, DWORD dwLocale, CMapcIndexes& ix, CIndexSummary& sum)
        : m_src(src), m_coll(CCollator::ForLcid(dwLocale)), m_ix(ix), m_sum(sum) {}

    void Run() {
        CollectCities();
        ResolveAddresses();
        BuildObjectsIndex();
        WriteCities();
    }

private:
    struct City {
        std::u16string strName;
        int nPoint = -1; // feature index
        std::string strPlace;
        CMapPoint pt;
        int nCountry = -1, nRegion = -1; // boundary indexes
        std::u16string strText;
    };

    const CMapcBoundary* Containing(const CMapPoint& pt, int nLevel) const {
        for (const CMapcBoundary& b : m_src.boundaries)
            if (b.nLevel == nLevel && b.Contains(pt)) return &b;
        return nullptr;
    }
    int BoundaryIndex(const CMapcBoundary* b) const {
        return b ? static_cast<int>(b - m_src.boundaries.data()) : -1;
    }

    void CollectCities() {
        for (std::size_t i = 0; i < m_src.features.size(); ++i) {
            const CMapcFeature& f = m_src.features[i];
            if (f.nKind != rkPoint || !IsCityPlace(f.strPlace) || f.strLabel.empty()) continue;
            City c;
            c.strName = f.strLabel;
            c.nPoint = static_cast<int>(i);
            c.strPlace = f.strPlace;
            c.pt = f.pts.front();
            m_cities.push_back(std::move(c));
        }
        // Cities that only addresses name.
        for (const CMapcFeature& f : m_src.features) {
            if (f.fTileCopy || f.addr.strCity.empty() || FindCityByName(f.addr.strCity, f.pts.front()) >= 0) continue;
            City c;
            c.strName = f.addr.strCity.substr(0, 63);
            c.pt = f.pts.front();
            m_cities.push_back(std::move(c));
            m_cityByName.clear();
        }
        // Region and country by the boundaries that contain the city.
        std::map<std::pair<int, int>, DWORD> regions; // (country boundary, region boundary)
        std::map<int, DWORD> countries;
        for (City& c : m_cities) {
            c.nCountry = BoundaryIndex(Containing(c.pt, 2));
            c.nRegion = BoundaryIndex(Containing(c.pt, 4));
        }
        auto name = [&](int b) { return b < 0 ? std::u16string() : m_src.boundaries[b].strName; };
        for (City& c : m_cities) c.strText = CityText(c.strName, name(c.nRegion), name(c.nCountry));
        std::stable_sort(m_cities.begin(), m_cities.end(),
                         [&](const City& a, const City& b) { return m_coll.Less(a.strText, b.strText); });
        m_cityByName.clear();
    }

    // The cities list with its regions and countries. A place copied into
    // an atlas tile from another tile is a city here only when an object
    // of this tile belongs to it; city numbers given so far are renumbered.
    // Copied points are left out of the tile, but for the cities it keeps:
    // they lie outside its cell, where their home tile draws them.
    void WriteCities() {
        for (CMapcFeature& f : m_src.features)
            if (f.fTileCopy && f.nKind == rkPoint) f.fOmitted = true;
        std::vector<char> used(m_cities.size(), 0);
        for (std::size_t i = 0; i < m_featureCity.size(); ++i)
            if (m_featureCity[i] >= 0) used[static_cast<std::size_t>(m_featureCity[i])] = 1;
        std::vector<int> number(m_cities.size(), -1);
        std::map<std::pair<int, int>, DWORD> regions; // (country boundary, region boundary)
        std::map<int, DWORD> countries;
        auto name = [&](int b) { return b < 0 ? std::u16string() : m_src.boundaries[b].strName; };
        for (std::size_t i = 0; i < m_cities.size(); ++i) {
            const City& c = m_cities[i];
            if (c.nPoint >= 0 && m_src.features[c.nPoint].fTileCopy && !used[i]) continue;
            if (c.nPoint >= 0) m_src.features[c.nPoint].fOmitted = false;
            number[i] = static_cast<int>(m_ix.cities.size());
            auto [ic, fNewCountry] = countries.try_emplace(c.nCountry, static_cast<DWORD>(m_ix.countries.size()));
            if (fNewCountry) m_ix.countries.push_back(name(c.nCountry));
            auto [ir, fNewRegion] =
                regions.try_emplace({c.nCountry, c.nRegion}, static_cast<DWORD>(m_ix.regions.size()));
            if (fNewRegion) m_ix.regions.push_back({name(c.nRegion), ic->second});
            m_ix.cities.push_back({c.strName, ir->second, c.nPoint});
        }
        // At least one region and one country, even with no city.
        if (m_ix.countries.empty()) m_ix.countries.push_back(u"");
        if (m_ix.regions.empty()) m_ix.regions.push_back({u"", 0});
        m_sum.cCities = m_ix.cities.size();
        if (m_ix.cities.size() == m_cities.size()) return;
        // Dropping cities keeps the order of the others: lists sorted by
        // city stay sorted.
        for (CMapcFeature& f : m_src.features)
            if (f.fAddress && f.adwAddress[0] > 0) f.adwAddress[0] = static_cast<DWORD>(number[f.adwAddress[0] - 1] + 1);
        for (CMapcCategory& cat : m_ix.categories)
            for (CMapcIndexEntry& e : cat.entries)
                if (e.nCity >= 0) e.nCity = number[static_cast<std::size_t>(e.nCity)];
    }

    // The city of this name nearest to pt (cities with a position first).
    int FindCityByName(const std::u16string& strName, const CMapPoint& pt) {
        if (m_cityByName.empty())
            for (std::size_t i = 0; i < m_cities.size(); ++i)
                m_cityByName[Key(m_cities[i].strName)].push_back(static_cast<int>(i));
        auto it = m_cityByName.find(Key(strName));
        if (it == m_cityByName.end()) return -1;
        int best = -1;
        double dBest = 0;
        for (int i : it->second) {
            if (m_coll.Compare(m_cities[i].strName, strName) != 0) continue;
            const double d = Length(m_cities[i].pt, pt) + (m_cities[i].nPoint < 0 ? 1e12 : 0);
            if (best < 0 || d < dBest) {
                best = i;
                dBest = d;
            }
        }
        return best;
    }
    static std::u16string Key(const std::u16string& s) {
        std::u16string k;
        for (char16_t c : s) k += c < 128 ? static_cast<char16_t>(std::tolower(c)) : c;
        return k;
    }

    // The city of an object that names none: the municipality around it
    // that bears a city's name, else the nearest place within its reach.
    int CityAround(const CMapPoint& pt) {
        const CMapcBoundary* pBest = nullptr;
        for (const CMapcBoundary& b : m_src.boundaries)
            if (b.nLevel >= 7 && (!pBest || b.nLevel > pBest->nLevel) && b.Contains(pt)) pBest = &b;
        if (pBest) {
            const int c = FindCityByName(pBest->strName, pt);
            if (c >= 0) return c;
        }
        const double k = std::cos(pt.lY * (3.14159265358979323846 / 1073741824.0));
        int best = -1;
        double dBest = 0;
        for (std::size_t i = 0; i < m_cities.size(); ++i) {
            const City& c = m_cities[i];
            if (c.nPoint < 0) continue;
            const double d = std::hypot((double(c.pt.lX) - pt.lX) * k, double(c.pt.lY) - pt.lY);
            if (d <= PlaceRadius(c.strPlace) && (best < 0 || d < dBest)) {
                best = static_cast<int>(i);
                dBest = d;
            }
        }
        return best;
    }

    DWORD NameIndex(int t, const std::u16string& s) {
        if (s.empty()) return 0;
        auto [it, fNew] = m_names[t].try_emplace(s.substr(0, 63), static_cast<DWORD>(m_ix.names[t].size()));
        if (fNew) m_ix.names[t].push_back(it->first);
        return it->second + 1;
    }

    void ResolveAddresses() {
        m_featureCity.assign(m_src.features.size(), -2);
        for (std::size_t i = 0; i < m_src.features.size(); ++i) {
            CMapcFeature& f = m_src.features[i];
            if (f.fTileCopy) continue; // its home tile holds the address
            std::u16string street = f.addr.strStreet;
            if (street.empty()) {
                auto it = m_src.associatedStreets.find(OsmKey(f.cOsmType, f.osmId));
                if (it != m_src.associatedStreets.end()) street = it->second;
            }
            if (street.empty() && f.addr.strHouse.empty()) continue;
            const CMapPoint pt = Representative(f);
            const int nCity = f.addr.strCity.empty() ? CityAround(pt) : FindCityByName(f.addr.strCity, pt);
            m_featureCity[i] = nCity;
            f.fAddress = true;
            f.adwAddress[0] = nCity >= 0 ? static_cast<DWORD>(nCity) + 1 : 0;
            f.adwAddress[1] = NameIndex(0, f.addr.strPostcode);
            f.adwAddress[2] = NameIndex(1, street);
            f.adwAddress[3] = NameIndex(2, f.addr.strHouse);
            ++m_sum.cAddresses;
            if (street.empty()) ++m_sum.cNoStreet;
            if (nCity < 0) ++m_sum.cNoCity;
        }
        m_sum.cStreets = m_ix.names[1].size();
    }

    int CityOf(std::size_t i) {
        if (m_featureCity[i] != -2) return m_featureCity[i];
        const CMapcFeature& f = m_src.features[i];
        int c = -1;
        for (std::size_t k = 0; k < m_cities.size() && c < 0; ++k)
            if (m_cities[k].nPoint == static_cast<int>(i)) c = static_cast<int>(k);
        if (c < 0) c = CityAround(Representative(f));
        m_featureCity[i] = c;
        return c;
    }

    void BuildObjectsIndex() {
        std::map<WORD, std::vector<std::pair<std::u16string, CMapcIndexEntry>>> byKey;
        std::map<std::pair<std::u16string, int>, bool> streets; // merged per (name, city)
        for (std::size_t i = 0; i < m_src.features.size(); ++i) {
            const CMapcFeature& f = m_src.features[i];
            if (f.fTileCopy || f.strLabel.empty() || f.pts.empty()) continue;
            const std::u16string text = DisplayText(f);
            if (text.empty()) continue;
            const WORD wKey = CategoryKeyOf(f.nKind, f.wType);
            const int nCity = CityOf(i);
            if (f.nKind == rkPolyline && wKey == 0x0001 && !streets.try_emplace({text, nCity}, true).second) continue;
            byKey[wKey].push_back({text, {static_cast<int>(i), f.nKind, f.wType, nCity}});
        }
        for (auto& [wKey, list] : byKey) {
            std::stable_sort(list.begin(), list.end(), [&](const auto& a, const auto& b) {
                if (a.second.nCity != b.second.nCity) return a.second.nCity < b.second.nCity;
                return m_coll.Less(a.first, b.first);
            });
            CMapcCategory cat;
            cat.nKey = static_cast<short>(wKey);
            for (auto& [text, e] : list) cat.entries.push_back(e);
            m_sum.cIndexed += cat.entries.size();
            m_ix.categories.push_back(std::move(cat));
        }
    }

    CMapcSource& m_src;
    const CCollator& m_coll;
    CMapcIndexes& m_ix;
    CIndexSummary& m_sum;
    std::vector<City> m_cities;
    std::unordered_map<std::u16string, std::vector<int>> m_cityByName;
    std::map<std::u16string, DWORD> m_names[3];
    std::vector<int> m_featureCity; // -2: not yet known
};

} // namespace

void ExpandInterpolations(CMapcSource& src) {
    for (const CMapcInterpolation& ip : src.interpolations) {
        long nStep = 1;
        if (ip.strScheme == "odd" || ip.strScheme == "even") nStep = 2;
        else if (ip.strScheme != "all") nStep = std::max(1L, std::atol(ip.strScheme.c_str()));
        // Pairs of consecutive way nodes that carry numbers.
        std::size_t prev = ip.nodeIds.size();
        for (std::size_t k = 0; k < ip.nodeIds.size(); ++k) {
            auto it = src.addressNodes.find(ip.nodeIds[k]);
            if (it == src.addressNodes.end()) continue;
            if (prev < k) {
                const CMapcAddressTags& a = src.addressNodes[ip.nodeIds[prev]];
                const CMapcAddressTags& b = it->second;
                const long na = WholeNumber(a.strHouse), nb = WholeNumber(b.strHouse);
                const long nSpan = nb - na;
                if (na >= 0 && nb >= 0 && nSpan != 0 && std::labs(nSpan) / nStep <= 2000) {
                    double dLength = 0;
                    for (std::size_t i = prev; i < k; ++i) dLength += Length(ip.pts[i], ip.pts[i + 1]);
                    const long nDir = nSpan > 0 ? nStep : -nStep;
                    for (long n = na + nDir; nDir > 0 ? n < nb : n > nb; n += nDir) {
                        CMapcFeature f;
                        f.wType = c_wAddressPointType;
                        f.pts.push_back(Along(ip.pts, prev, k, dLength * double(n - na) / double(nSpan)));
                        f.cOsmType = 'w';
                        f.fTileCopy = ip.fTileCopy;
                        f.addr = ip.addr;
                        if (f.addr.strStreet.empty()) f.addr.strStreet = !a.strStreet.empty() ? a.strStreet : b.strStreet;
                        if (f.addr.strPostcode.empty()) f.addr.strPostcode = a.strPostcode;
                        if (f.addr.strCity.empty()) f.addr.strCity = a.strCity;
                        f.addr.strHouse = Decimal(n);
                        src.features.push_back(std::move(f));
                    }
                }
            }
            prev = k;
        }
    }
}

CMapcIndexes BuildIndexes(CMapcSource& src, DWORD dwLocale, CIndexSummary& summary) {
    CMapcIndexes ix;
    ix.fCities = true;
    ix.fObjects = true;
    CIndexBuilder(src, dwLocale, ix, summary).Run();
    return ix;
}

} // namespace velka::mapc
