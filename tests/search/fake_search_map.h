// A map for the search dialogs' tests: cities and named objects held in
// memory, sorted under the Russian collation, with the find-first of the
// real queries.
#pragma once
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <functional>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mapdata/collation.h"
#include "mapdata/map_parser.h"
#include "mapdata/map_queries.h"
#include "mapdata/search_params.h"

namespace velka::test {

constexpr DWORD c_dwRussian = 1049;

struct FakeCity {
    std::u16string strName;
    CMapPoint pt;
    bool fHasPosition = true;
};

struct FakeObject {
    FakeObject(std::u16string name, int city, int kind, WORD type, short category, CMapPoint point,
               CMapPoint nearest = {INT32_MIN, 0}, std::u16string street = {}, std::u16string house = {},
               std::u16string zip = {})
        : strName(std::move(name)), nCity(city), nKind(kind), wType(type), nCategory(category), pt(point),
          ptNearest(nearest), strStreet(std::move(street)), strHouse(std::move(house)), strZip(std::move(zip)) {}
    std::u16string strName;
    int nCity;
    int nKind;
    WORD wType;
    short nCategory;
    CMapPoint pt;
    // The point nearest to the reference point, where it differs (a line).
    CMapPoint ptNearest;
    std::u16string strStreet, strHouse, strZip;
};

inline void CopyText(char16_t* p, std::size_t cch, const std::u16string& s) {
    const std::size_t n = std::min(cch - 1, s.size());
    std::copy_n(s.data(), n, p);
    p[n] = 0;
}

class CFakeCities : public CCitiesQuery {
public:
    explicit CFakeCities(const std::vector<FakeCity>& cities) : m_cities(cities) {}
    DWORD Locale() const override { return c_dwRussian; }
    DWORD Count() const override { return static_cast<DWORD>(m_cities.size()); }
    bool Item(DWORD i, CCityItem& item, DWORD dwFlags) override {
        if (i >= Count()) return false;
        CopyText(item.szText, CCityItem::c_cchText, m_cities[i].strName);
        if (dwFlags & c_dwCityPosition) {
            item.fHasPosition = m_cities[i].fHasPosition;
            item.x = m_cities[i].pt.lX;
            item.y = m_cities[i].pt.lY;
            item.wScale = 5;
        }
        return true;
    }
    DWORD FindFirst(std::u16string_view prefix) override {
        return FindFirstSorted(Count(), prefix, CCollator::ForLcid(c_dwRussian),
                               [this](DWORD i) { return m_cities[i].strName; });
    }

private:
    const std::vector<FakeCity>& m_cities;
};

class CFakeObjects : public CObjectsQuery {
public:
    explicit CFakeObjects(std::vector<FakeObject> objects) : m_objects(std::move(objects)) {}
    DWORD Locale() const override { return c_dwRussian; }
    DWORD Count() const override { return static_cast<DWORD>(m_objects.size()); }
    bool Item(DWORD i, CFindItem& item, DWORD) override {
        if (i >= Count()) return false;
        const FakeObject& o = m_objects[i];
        CopyText(item.szName, 64, o.strName);
        CopyText(item.szMapName, 65, u"fake.zem");
        CopyText(item.szStreet, 64, o.strStreet);
        CopyText(item.szHouse, 17, o.strHouse);
        CopyText(item.szPostcode, 17, o.strZip);
        item.ptRepresentative = item.ptNearest = o.pt;
        if (o.ptNearest.lX != INT32_MIN) item.ptNearest = o.ptNearest;
        item.wScale = 3;
        item.nKind = o.nKind;
        item.wType = o.wType;
        return true;
    }
    DWORD FindFirst(std::u16string_view prefix) override {
        return FindFirstSorted(Count(), prefix, CCollator::ForLcid(c_dwRussian),
                               [this](DWORD i) { return m_objects[i].strName; });
    }

private:
    std::vector<FakeObject> m_objects;
};

class CFakeSearchMap : public CMapParser {
public:
    CFakeSearchMap() : CMapParser(CMapCreateInfo{u"fake.zem", nullptr, nullptr, 0}) {}
    bool Open(DWORD) override { return true; }
    bool Draw(CPaintContext&, CLabelStore&) override { return false; }
    int GetLabel(unsigned, int, WORD, DWORD, char16_t* p, int* pn) override {
        p[0] = 0;
        *pn = 0;
        return 0;
    }
    std::unique_ptr<CCitiesQuery> CreateCitiesQuery() override {
        return m_fIndexes ? std::make_unique<CFakeCities>(m_cities) : nullptr;
    }
    bool HasObjectsIndex() const override { return m_fIndexes; }
    bool HasCitiesIndex() const override { return m_fIndexes; }
    std::unique_ptr<CObjectsQuery> CreateObjectsQuery(int nCity, int nKind, short nCategory, WORD wType) override {
        ++m_cObjectQueries;
        std::vector<FakeObject> selected;
        for (const FakeObject& o : m_objects)
            if (o.nCity == nCity && o.nCategory == nCategory && (wType == 0xFFFF || (o.nKind == nKind && o.wType == wType)))
                selected.push_back(o);
        const CCollator& coll = CCollator::ForLcid(c_dwRussian);
        std::stable_sort(selected.begin(), selected.end(),
                         [&](const FakeObject& a, const FakeObject& b) { return coll.Less(a.strName, b.strName); });
        return std::make_unique<CFakeObjects>(std::move(selected));
    }

    // Every object within the radius (a square of it, in metres at 53.7
    // units each) whose name contains the text; reports one step per object.
    std::unique_ptr<CFindList> FindNearest(int, bool, LONG x, LONG y, DWORD dwRadius, const CTypeFilter*,
                                           const std::u16string& strName, CSearchProgress* pProgress) override {
        std::vector<FakeObject> found;
        for (std::size_t i = 0; i < m_objects.size(); ++i) {
            if (!Step(pProgress, i)) return nullptr;
            const FakeObject& o = m_objects[i];
            const CMapPoint pt = o.ptNearest.lX != INT32_MIN ? o.ptNearest : o.pt;
            const double dLimit = dwRadius * 53.7;
            if (std::abs(pt.lX - x) <= dLimit && std::abs(pt.lY - y) <= dLimit &&
                o.strName.find(strName) != std::u16string::npos)
                found.push_back(o);
        }
        return std::make_unique<CFakeObjects>(std::move(found));
    }
    // The objects of the city with the street text in their street.
    std::unique_ptr<CFindList> FindByAddress(int nCity, const std::u16string& strZip, const std::u16string& strStreet,
                                             const std::u16string& strHouse, CSearchProgress* pProgress) override {
        std::vector<FakeObject> found;
        for (std::size_t i = 0; i < m_objects.size(); ++i) {
            if (!Step(pProgress, i)) return nullptr;
            const FakeObject& o = m_objects[i];
            if (o.nCity == nCity && !o.strStreet.empty() && o.strStreet.find(strStreet) != std::u16string::npos &&
                (strHouse.empty() || o.strHouse == strHouse) && (strZip.empty() || o.strZip == strZip))
                found.push_back(o);
        }
        return std::make_unique<CFakeObjects>(std::move(found));
    }

    // Sorted by name, as a cities index is.
    std::vector<FakeCity> m_cities;
    std::vector<FakeObject> m_objects;
    bool m_fIndexes = true;
    int m_cObjectQueries = 0;
    // Called at each step of a search (a test presses cancel).
    std::function<void()> m_fnDuringSearch;

private:
    bool Step(CSearchProgress* pProgress, std::size_t i) {
        if (m_fnDuringSearch) m_fnDuringSearch();
        return !pProgress || pProgress->Step(i, m_objects.size());
    }
};

} // namespace velka::test
