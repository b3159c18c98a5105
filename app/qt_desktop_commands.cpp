#include "app/qt_desktop_commands.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>
#include <cstdlib>

#include "mapdata/map_info.h"
#include "mapview/map_page.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/main_window.h"
#include "shell/resources.h"
#include "shell/settings.h"
#include "shell/string_ids.h"

namespace velka {
namespace {


QString ToQString(const std::u16string& s) {
    return QString(reinterpret_cast<const QChar*>(s.data()), static_cast<qsizetype>(s.size()));
}
std::u16string FromQString(const QString& s) { return {reinterpret_cast<const char16_t*>(s.utf16()), static_cast<std::size_t>(s.size())}; }

QStringList FilterList() {
    QStringList list;
    for (const CMapFileFilter& f : MapFileFilters())
        list << QStringLiteral("%1 (%2)").arg(ToQString(f.strDescription), ToQString(f.strPatterns));
    return list;
}

// The folder of the last map, where the dialog opens.
QString LastMapFolder() {
    const QString strPath = ToQString(ReadSettingString(u"MapFileName", 260, u""));
    return strPath.isEmpty() ? QString() : QFileInfo(strPath).absolutePath();
}

} // namespace

std::u16string AboutText() {
    std::u16string strText = MainCaption() + u"\n" + FormatW(LoadStr(IDS_ABOUT_VERSION).c_str(), c_szVersion) + u"\n" +
                             LoadStr(IDS_ABOUT_LICENCE);
    if (g_pMapParser) {
        const std::vector<std::u16string> lines = MapAttribution(*g_pMapParser);
        if (!lines.empty()) {
            strText += u"\n\n" + LoadStr(IDS_ABOUT_MAP_DATA);
            for (const std::u16string& s : lines) strText += u"\n" + s;
        }
    }
    return strText;
}

std::u16string ChooseMapFile(int* pnFilter, bool fHeadless) {
    const QStringList filters = FilterList();
    const int nFilter = pnFilter && *pnFilter >= 0 && *pnFilter < filters.size() ? *pnFilter : 0;
    if (fHeadless) {
        std::fprintf(stderr, "dialog: open map: [%s] filter %d\n",
                     filters.join(QStringLiteral(";;")).toUtf8().constData(), nFilter);
        const char* szPath = std::getenv("VELKA_HEADLESS_OPEN_MAP");
        if (pnFilter) *pnFilter = nFilter;
        return szPath && *szPath ? FromUtf8(szPath) : std::u16string();
    }
    QString strSelected = filters.value(nFilter);
    QWidget* pParent = QApplication::activeWindow();
    QString strTitle = ToQString(LoadStr(c_uMenuTextBase + ID_OPEN_MAP));
    strTitle.remove(QStringLiteral("..."));
    const QString strPath = QFileDialog::getOpenFileName(pParent, strTitle, LastMapFolder(),
                                                         filters.join(QStringLiteral(";;")), &strSelected);
    const int nChosen = static_cast<int>(filters.indexOf(strSelected));
    if (pnFilter && nChosen >= 0) *pnFilter = nChosen;
    return FromQString(strPath);
}

void ShowMapInfo() {
    if (!g_pMapParser) return;
    UiHost().MessageBox(MapInfoText(*g_pMapParser), LoadStr(IDS_MENU_MAP_INFO), MB_ICONINFORMATION);
}

void ShowAbout() { UiHost().MessageBox(AboutText(), MainCaption(), MB_ICONINFORMATION); }

} // namespace velka
