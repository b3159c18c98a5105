#include "mapview/waypoint_layer.h"

#include <algorithm>

#include "gps/positioning.h"
#include "mapdata/img_parser.h"
#include "mapdata/map_parser.h"
#include "mapview/map_page.h"
#include "mapview/map_position.h"
#include "mapview/styles.h"
#include "mapview/waypoint_icons.h"
#include "shell/message_boxes.h"
#include "shell/screen.h"
#include "shell/settings.h"
#include "waypoints/waypoint_commands.h"
#include "waypoints/waypoint_ui.h"

namespace velka {

CMapPoint WaypointMapPoint(const Waypoint& wp) { return {wp.lX >> 1, wp.lY >> 1}; }

CFontDesc WaypointLabelFont(int fy) {
    CFontDesc font;
    font.strFace = u"Tahoma";
    font.nHeight = -11 * std::max(1, fy);
    font.nWeight = 700;
    return font;
}

bool DrawWaypoints(CPaintContext& pc, CMapLabelStore& labels, const CWaypointStore& store) {
    ICanvas& dc = pc.Canvas();
    const CMapRect& rcVisible = pc.VisibleRect();
    const int s = std::max(1, pc.ScreenFactor());
    const int fy = ScreenFactorY();
    const CFontDesc font = WaypointLabelFont(fy);
    std::size_t n = 0;
    for (const auto& p : store.Waypoints()) {
        if ((++n & 255) == 0 && pc.PumpMessages()) return true;
        const Waypoint& wp = *p;
        if (wp.IsDeleted()) continue;
        const CMapPoint pt = WaypointMapPoint(wp);
        if (!rcVisible.Contains(pt)) continue;
        const POINT sp = pc.MapToScreen(pt);
        DrawWaypointIcon(dc, wp.wType, sp.x, sp.y, s);
        const BYTE btShow = wp.btShow & 3;
        if (btShow == wsIcon) continue;
        const std::u16string& strText = btShow == wsIconAndName ? wp.strName : wp.strComment;
        if (strText.empty()) continue;
        // The text starts right of the symbol, or right of the flag's foot.
        const bool fProgram = IsProgramWaypointIcon(wp.wType);
        const int x = sp.x + (fProgram ? 5 : 7) * s;
        const int y = sp.y - (fProgram ? 4 : 9) * fy;
        // A text that would cover an earlier waypoint's text is left out
        // (the icon stays): the grid of the label store decides.
        dc.SelectFont(font);
        const SIZE size = dc.GetTextExtent(strText);
        int xText = x + 3 * s, yText = y + 2 * fy;
        if (!labels.PlaceText(static_cast<int>(labels.Records().size()), size, xText, yText, 0xFFFF, 0)) continue;
        labels.AddFreeText(x, y, strText, font, c_crWaypointLabel, DT_SINGLELINE);
    }
    return pc.IsInterrupted();
}

void DrawMovingWaypoint(ICanvas& dc, const Waypoint& wp, POINT pt, int s) {
    DrawWaypointIcon(dc, wp.wType, pt.x, pt.y, s);
}

Waypoint* LiveWaypoint(const CWaypointStore& store, const void* p) {
    if (!p) return nullptr;
    for (const auto& q : store.Waypoints())
        if (q.get() == p) return q->IsDeleted() ? nullptr : q.get();
    return nullptr;
}

std::vector<CSelectionItem> FindItemsNear(const CWaypointStore& store, const CMapPoint& pt, float fRadius,
                                          const CMapPosition& pos) {
    std::vector<CSelectionItem> items;
    if (ReadSettingBool(u"ShowWaypoints", true)) {
        if (const Waypoint* pWp = store.WaypointNear(pt, fRadius)) {
            CSelectionItem item;
            item.pt = WaypointMapPoint(*pWp);
            item.strText = pWp->strName;
            item.nRefersTo = 1;
            item.pRef = pWp;
            items.push_back(std::move(item));
        }
    }
    if (!g_pMapParser) return items;
    const auto dwRadius = static_cast<DWORD>(std::max(1.0f, fRadius));
    std::unique_ptr<CFindList> pList =
        g_pMapParser->FindNearest(pos.LevelForDrawing(), true, pt.lX, pt.lY, dwRadius, nullptr, u"", nullptr);
    // Only lists whose items can be read are shown.
    auto* pFound = dynamic_cast<CImgFindList*>(pList.get());
    if (!pFound) return items;
    std::vector<CImgFindList::Entry> found = pFound->m_items;
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.llDistance2 < b.llDistance2; });
    for (const CImgFindList::Entry& f : found) {
        CSelectionItem item;
        item.pt = f.pt;
        item.uIcon = MapStyles().PointIcon(f.wType);
        char16_t sz[64] = {};
        int nShield = 0;
        const int cch = g_pMapParser->GetLabel(pos.ScaleIndex(), f.nKind, f.wType, f.dwLabelOffset, sz, &nShield);
        item.strText.assign(sz, static_cast<std::size_t>(std::clamp(cch, 0, 63)));
        items.push_back(std::move(item));
    }
    return items;
}

bool SaveNewWaypoint(CWaypointStore& store, const CMapPoint& pt, const GpsFix* pFix) {
    Waypoint* pWp = BeginNewWaypoint(store, pt, pFix);
    if (!pWp) return false;
    if (!EditWaypoint(*pWp, true)) {
        CancelNewWaypoint(store, pWp);
        return false;
    }
    ShowErrorBox(ConfirmNewWaypoint(store, pWp));
    return true;
}

namespace {
bool g_fWaypointLoadFailed = false;
} // namespace

void StartWaypoints(const std::string& strPath) {
    const CError error = TheWaypointStore().Load(strPath);
    g_fWaypointLoadFailed = static_cast<bool>(error);
    ShowErrorBox(error);
}

void StopWaypoints() {
    CWaypointStore& store = TheWaypointStore();
    if (g_fWaypointLoadFailed && store.LiveWaypointCount() == 0 && store.LiveRouteCount() == 0) return;
    ShowErrorBox(store.Save());
}

CMapPoint NewWaypointPosition(bool fPositioningRunning) {
    float fLon = 0, fLat = 0, fCourse = 0;
    if (fPositioningRunning && ReadSettingBool(u"KeepVisible", true) && GetLastPosition(&fLon, &fLat, &fCourse)) {
        int lX = 0, lY = 0;
        GetLastPositionMapUnits(&lX, &lY);
        return {lX, lY};
    }
    return g_ptReference;
}

bool SaveWaypointAtPosition() {
    const GpsFix fix = GetCurrentFix();
    return SaveNewWaypoint(TheWaypointStore(), NewWaypointPosition(IsPositioningRunning()), &fix);
}

void InstallWaypointLayer() {
    CMapLayers& layers = MapLayers();
    layers.fnDrawWaypoints = [](CPaintContext& pc, CMapLabelStore& labels) {
        return DrawWaypoints(pc, labels, TheWaypointStore());
    };
    layers.fnDrawMovingWaypoint = [](ICanvas& dc, const CMapPosition&) {
        const CMapPage* pPage = MapPage();
        const Waypoint* pWp = pPage ? pPage->MovingWaypoint() : nullptr;
        if (pWp) DrawMovingWaypoint(dc, *pWp, pPage->PointerPosition(), ScreenFactorX());
    };
    layers.fnFindItems = [](const CMapPoint& pt, float fRadius) {
        const CMapPage* pPage = MapPage();
        if (!pPage) return std::vector<CSelectionItem>{};
        return FindItemsNear(TheWaypointStore(), pt, fRadius, pPage->Position());
    };
    CWaypointDialogs& dialogs = WaypointDialogs();
    dialogs.fnShowOnMap = [](CMapPoint pt) {
        CMapPage* pPage = MapPage();
        if (!pPage) return;
        pPage->Position().SetCenter(pt.lX, pt.lY);
        WriteSettingBool(u"ShowWaypoints", true);
        pPage->RefreshMap(true);
    };
    dialogs.fnChanged = [] {
        if (CMapPage* pPage = MapPage()) {
            pPage->Selection().Clear();
            pPage->RefreshMap(true);
        }
    };
}

} // namespace velka
