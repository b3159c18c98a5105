// The list of objects a native-map search found: record offsets and kinds,
// decoded into find items on request, in the order found (not sorted).
#pragma once
#include <vector>

#include "mapdata/map_queries.h"
#include "mapdata/search_params.h"

namespace velka {

class CZemParser;

struct CZemFound {
    DWORD dwOffset = 0;
    int nKind = 0;
};

class CZemFoundList : public CFindList {
public:
    CZemFoundList(CZemParser& parser, std::vector<CZemFound> found);
    DWORD Locale() const override;
    DWORD Count() const override { return static_cast<DWORD>(m_vecFound.size()); }
    bool Item(DWORD dwIndex, CFindItem& item, DWORD dwFlags) override;
    DWORD FindFirst(std::u16string_view) override { return 0; }
    void SetReferencePoint(const CMapPoint& pt) override;
    const std::vector<CZemFound>& Found() const { return m_vecFound; }

private:
    CZemParser& m_parser;
    std::vector<CZemFound> m_vecFound;
    CMapPoint m_ptRef;
    double m_dCos = 1.0;
};

} // namespace velka
