// The native map's nearest-object search: the blocks of one level that
// meet the search rectangle, each record tested by one bit of the type
// filter, by name only when a name is given, then by its geometry.
#include <algorithm>

#include "geometry/point_algorithms.h"
#include "mapdata/address_text.h"
#include "mapdata/label_interpret.h"
#include "mapdata/zem_found_list.h"
#include "mapdata/zem_parser.h"

namespace velka {

std::unique_ptr<CFindList> CZemParser::FindNearest(int nScaleCode, bool fUseViewLevel, LONG x, LONG y,
                                                   DWORD dwRadiusMetres, const CTypeFilter* pFilter,
                                                   const std::u16string& strName, CSearchProgress* pProgress) {
    std::vector<CZemFound> found;
    if (!CanDraw() || m_levels.empty()) return std::make_unique<CZemFoundList>(*this, std::move(found));
    const CSearchExtent ext = SearchExtent(x, y, dwRadiusMetres);
    const CMapPoint ptRef{x, y};
    const float k = static_cast<float>(ext.dCos);
    const float r = static_cast<float>(ext.llY);
    const double dR2 = static_cast<double>(ext.llY) * static_cast<double>(ext.llY);
    const std::size_t nLevel = fUseViewLevel ? SelectZoomLevel(nScaleCode) : m_levels.size() - 1;
    const std::u16string name = FoldText(strName);
    std::vector<char16_t> raw;
    if (!name.empty())
        raw.resize(std::min<std::size_t>(std::max(m_tables[zem::tblLengths1 - 1].Maximum(),
                                                  m_tables[zem::tblLengths3 - 1].Maximum()),
                                         0xFFFF) + 1);
    char16_t* const pRaw = raw.empty() ? nullptr : raw.data();

    const std::size_t cBlocks = m_levels[nLevel].cBlocks;
    CZemBlock block;
    std::size_t nBlock = 0;
    for (bool f = FirstBlock(nLevel, block); f; f = NextBlock(nLevel, nBlock++, block)) {
        if (!block.rc.Intersects(ext.rc)) continue;
        if (pProgress && !pProgress->Step(nBlock, cBlocks)) return nullptr;
        ForEachObjectInBlock(block, nLevel, pRaw, raw.size(), [&](int nKind, const CZemBlock&, const CZemObject& obj) {
            if (pFilter && !pFilter->Test(nKind, obj.wType)) return;
            if (!name.empty()) {
                if (obj.cRawLabel == 0) return;
                char16_t display[c_cDisplayLabelMax];
                int nShield = 0;
                const int n =
                    LabelInterpret(nKind, obj.wType, m_fMetres, true, pRaw, obj.cRawLabel, display, &nShield);
                if (n <= 0 || !ContainsText(FoldText(std::u16string_view(display, std::size_t(n))), name)) return;
            }
            const CMapPoint* pts = m_vecPoints.data();
            const std::size_t cPoints = obj.cPoints;
            bool fNear = false;
            if (nKind == rkPoint || cPoints == 1) {
                // A point, or a line or area reduced to one point.
                const double dx = (double(pts[0].lX) - x) * ext.dCos, dy = double(pts[0].lY) - y;
                fNear = ext.rc.Contains(pts[0]) && dx * dx + dy * dy <= dR2;
            } else if (nKind == rkPolyline) {
                fNear = IsNearPolyline(pts, cPoints, ptRef, r, k, false);
            } else {
                fNear = IsNearPolygon(pts, cPoints, ptRef, r, k);
            }
            if (fNear) found.push_back({static_cast<DWORD>(obj.pRecord - m_pData), nKind});
        });
    }
    if (pProgress && !pProgress->Step(cBlocks, cBlocks)) return nullptr;
    return std::make_unique<CZemFoundList>(*this, std::move(found));
}

} // namespace velka
