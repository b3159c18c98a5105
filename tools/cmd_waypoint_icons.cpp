// velkatool render-waypoint-icons: every waypoint icon in a table (the 221
// symbols, then the program's own icon), each with its type number, drawn
// as the map draws them, into a PNG.
#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "mapview/waypoint_icons.h"
#include "platform/paths.h"
#include "platform/qt/qt_canvas.h"
#include "platform/text.h"
#include "tools/commands.h"
#include "waypoints/waypoint_store.h"

namespace velka::tool {

int RunRenderWaypointIcons(const Args& args) {
    std::string strOut;
    int s = 2;
    bool fAntialias = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--scale" && i + 1 < args.size()) {
            s = std::atoi(args[++i].c_str());
            if (s < 1 || s > 8) return UsageError("render-waypoint-icons", "--scale takes 1 .. 8");
        } else if (a == "--no-antialias") {
            fAntialias = false;
        } else if (!a.empty() && a[0] != '-' && strOut.empty()) {
            strOut = a;
        } else {
            return UsageError("render-waypoint-icons", "unexpected argument " + a);
        }
    }
    if (strOut.empty()) return UsageError("render-waypoint-icons", "an OUT.png is needed");

    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char szName[] = "velkatool";
    char* argv[] = {szName, nullptr};
    QGuiApplication app(argc, argv);

    // 16 columns; a cell holds the largest icon (32 s) and the number.
    const int cColumns = 16, cIcons = c_cWaypointCount + 1;
    const int cRows = (cIcons + cColumns - 1) / cColumns;
    const int cxCell = 36 * s, cyCell = 36 * s + 12 * s;
    CQtCanvas dc(cColumns * cxCell, cRows * cyCell);
    dc.FillRect({0, 0, dc.Width(), dc.Height()}, CBrushDesc{bkSolid, RGB(250, 250, 245)});
    CFontDesc font;
    font.strFace = u"DejaVu Sans";
    font.nHeight = -9 * s;
    for (int i = 0; i < cIcons; ++i) {
        // The last cell shows the program's icon (type 18).
        const WORD wType = static_cast<WORD>(i < c_cWaypointCount ? i : c_wDefaultWaypointType);
        const int left = (i % cColumns) * cxCell, top = (i / cColumns) * cyCell;
        const int x = left + cxCell / 2, y = top + 18 * s;
        dc.SetAntialias(fAntialias);
        // A cross-hair marks the waypoint's point.
        dc.SelectPen({PS_SOLID, 1, RGB(200, 200, 255)});
        dc.MoveTo(left + 2, y);
        dc.LineTo(left + cxCell - 2, y);
        dc.MoveTo(x, top + 2);
        dc.LineTo(x, top + 34 * s);
        DrawWaypointIcon(dc, wType, x, y, s);
        dc.SetAntialias(false);
        dc.SelectFont(font);
        dc.SetTextColor(RGB(60, 60, 60));
        dc.SetBkMode(TRANSPARENT);
        RECT rc{left, top + 35 * s, left + cxCell, top + cyCell};
        const std::u16string strLabel = i < c_cWaypointCount ? FormatW(u"%d", i) : std::u16string(u"18*");
        dc.DrawText(strLabel, &rc, DT_CENTER | DT_SINGLELINE);
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    int nError = 0;
    if (!dc.Image().save(&buffer, "PNG") || !WriteFileAtomic(strOut, png.constData(), static_cast<std::size_t>(png.size()), &nError)) {
        std::fprintf(stderr, "velkatool render-waypoint-icons: cannot write %s\n", strOut.c_str());
        return c_nExitFailed;
    }
    return c_nExitOk;
}

} // namespace velka::tool
