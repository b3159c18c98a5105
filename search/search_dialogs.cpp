#include "search/search_dialogs.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <map>

#include "mapdata/map_parser.h"
#include "mapview/map_page.h"
#include "mapview/styles.h"
#include "platform/qt/qt_canvas.h"
#include "search/find_city_dialogs.h"
#include "search/find_headless.h"
#include "search/find_search_dialogs.h"
#include "search/search_status.h"
#include "search/type_chooser.h"
#include "shell/message_boxes.h"
#include "shell/resources.h"
#include "shell/screen.h"

namespace velka {
namespace {

// The cities query of a map with an objects index, or null after message
// 2145.
std::unique_ptr<CCitiesQuery> CitiesForObjects(CMapParser& map) {
    std::unique_ptr<CCitiesQuery> p = map.HasObjectsIndex() ? map.CreateCitiesQuery() : nullptr;
    if (!p) ShowError(c_idsNoObjectsIndex);
    return p;
}

// The type cookie at opening: the stored one, offered in the chooser first
// when Find_AutoType is on; the cookie chosen or kept is stored.
std::size_t OpeningCookie(TypeChooserMode mode, CMapParser& map, QWidget* pParent) {
    std::size_t cCookie = ReadTypeCookie(mode);
    if (ReadAutoType() && !SearchUi().fHeadless)
        if (const auto c = ChooseTypeFilter(mode, cCookie, MapTypeNames(&map), SearchUi().fnTypeIcon, pParent))
            cCookie = *c;
    WriteTypeCookie(mode, cCookie);
    return cCookie;
}

CMapParser* OpenMap() { return g_pMapParser; }

// The dialog running now (null when none).
QPointer<CFindDialog> g_pRunningDialog;
// The type chooser may run before a dialog exists: a map closed meanwhile
// ends the opening.
bool StillOpen(const CMapParser& map) { return SearchUi().fnIsMapOpen ? SearchUi().fnIsMapOpen(&map) : true; }

// Runs a dialog: modal over the parent, or scripted without a screen.
void RunDialog(CFindDialog& dlg, QWidget* pParent) {
    if (SearchUi().fHeadless) {
        RunHeadlessFind(dlg);
        return;
    }
    SizeFindDialog(dlg, pParent);
    g_pRunningDialog = &dlg;
    dlg.exec();
    g_pRunningDialog = nullptr;
}

} // namespace

CSearchUi& SearchUi() {
    static CSearchUi ui;
    return ui;
}

QIcon TypeSampleIcon(int nKind, WORD wType) {
    static std::map<std::pair<int, WORD>, QIcon> cache;
    const auto key = std::pair{nKind, wType};
    if (const auto it = cache.find(key); it != cache.end()) return it->second;
    const int cx = 16 * ScreenFactorX(), cy = 16 * ScreenFactorY();
    QImage image(cx, cy, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QImage drawn;
    {
        CQtCanvas canvas(std::move(image));
        DrawTypeSample(canvas, RECT{0, 0, cx, cy}, nKind, wType);
        drawn = canvas.Image().copy();
    }
    return cache.emplace(key, QIcon(QPixmap::fromImage(drawn))).first->second;
}

void RunFindCityDialog(CMapParser& map, QWidget* pParent) {
    auto pCities = CitiesForObjects(map);
    if (!pCities) return;
    CFindCityDialog dlg(map, std::move(pCities), pParent);
    RunDialog(dlg, pParent);
}

void RunFindInCityDialog(CMapParser& map, QWidget* pParent) {
    auto pCities = CitiesForObjects(map);
    if (!pCities) return;
    const std::size_t cCookie = OpeningCookie(tmInCity, map, pParent);
    if (!StillOpen(map)) return;
    CFindInCityDialog dlg(map, std::move(pCities), cCookie, pParent);
    RunDialog(dlg, pParent);
}

void RunFindAddressDialog(CMapParser& map, QWidget* pParent) {
    std::unique_ptr<CCitiesQuery> pCities = map.HasCitiesIndex() ? map.CreateCitiesQuery() : nullptr;
    if (!pCities) {
        ShowError(c_idsNoCitiesIndex);
        return;
    }
    CFindAddressDialog dlg(map, std::move(pCities), pParent);
    RunDialog(dlg, pParent);
}

void RunFindNearestDialog(CMapParser& map, QWidget* pParent) {
    const std::size_t cCookie = OpeningCookie(tmNearest, map, pParent);
    if (!StillOpen(map)) return;
    CFindNearestDialog dlg(map, cCookie, pParent);
    RunDialog(dlg, pParent);
}

void ReleaseSearchDialogMap() {
    if (CFindDialog* p = g_pRunningDialog.data()) p->Detach();
    for (QWidget* p : QApplication::topLevelWidgets())
        if (auto* pChooser = dynamic_cast<CTypeChooserDialog*>(p)) pChooser->reject();
}

void FindCityOnOpenMap() {
    if (CMapParser* p = OpenMap()) RunFindCityDialog(*p, QApplication::activeWindow());
}

void FindInCityOnOpenMap() {
    if (CMapParser* p = OpenMap()) RunFindInCityDialog(*p, QApplication::activeWindow());
}

void FindAddressOnOpenMap() {
    if (CMapParser* p = OpenMap()) RunFindAddressDialog(*p, QApplication::activeWindow());
}

void FindNearestOnOpenMap() {
    if (CMapParser* p = OpenMap()) RunFindNearestDialog(*p, QApplication::activeWindow());
}

} // namespace velka
