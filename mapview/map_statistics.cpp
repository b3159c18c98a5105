#include "mapview/map_statistics.h"

#include <string>

#include "mapdata/map_parser.h"
#include "mapview/map_page.h"

namespace velka {

CMapStatistics GatherMapStatistics() {
    CMapStatistics m;
    const CFrameStats& f = g_FrameStats;
    m.fMap = g_pMapParser != nullptr;
    m.msOpen = g_msMapOpen;
    m.msMap = f.msMap;
    m.msTrack = f.msTrack;
    m.msWaypoints = f.msWaypoints;
    m.msRoutes = f.msRoutes;
    m.cObjects = f.cPolygons + f.cPolylines + f.cPoints;
    m.cFrames = f.cFrames.load();
    if (const CMapPage* pPage = MapPage()) m.nLevel = static_cast<int>(pPage->FinishedScale());
    if (g_pMapParser) {
        CMapName name;
        g_pMapParser->GetName(name);
        const std::u16string strPath = name.szName;
        const std::size_t k = strPath.find_last_of(u"/\\");
        m.strMapFile = k == std::u16string::npos ? strPath : strPath.substr(k + 1);
    }
    return m;
}

void ResetMapRenderings() { g_FrameStats.cFrames = 0; }

} // namespace velka
