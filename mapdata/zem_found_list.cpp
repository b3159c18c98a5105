#include "mapdata/zem_found_list.h"

#include "mapdata/zem_parser.h"

namespace velka {

CZemFoundList::CZemFoundList(CZemParser& parser, std::vector<CZemFound> found)
    : m_parser(parser), m_vecFound(std::move(found)) {}

DWORD CZemFoundList::Locale() const { return m_parser.Locale(); }

bool CZemFoundList::Item(DWORD dwIndex, CFindItem& item, DWORD dwFlags) {
    if (dwIndex >= m_vecFound.size()) return false;
    return m_parser.DecodeFindItem(m_vecFound[dwIndex].dwOffset, m_vecFound[dwIndex].nKind, item, m_ptRef, m_dCos,
                                   dwFlags);
}

void CZemFoundList::SetReferencePoint(const CMapPoint& pt) {
    m_ptRef = pt;
    m_dCos = CosineOfLatitude(pt.lY);
}

} // namespace velka
