// velkatool render-page: the gauge page or the satellite page as they look
// after a GPS capture was replayed, drawn into a PNG without a window. The
// settings come from a private in-memory store.
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gauges/gauge.h"
#include "gauges/gauge_page.h"
#include "gauges/satellite_page.h"
#include "gauges/units.h"
#include "gps/positioning.h"
#include "platform/qt/qt_canvas.h"
#include "platform/registry.h"
#include "platform/ui_host.h"
#include "shell/settings.h"
#include "tools/commands.h"
#include "tools/gps_replay.h"
#include "tools/render.h"

namespace velka::tool {

int RunRenderPage(const Args& args) {
    std::string strPage, strReplay, strOut;
    int cx = 480, cy = 640;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool fValue = i + 1 < args.size();
        if (a == "--replay" && fValue) {
            strReplay = args[++i];
        } else if (a == "--size" && fValue) {
            if (std::sscanf(args[++i].c_str(), "%dx%d", &cx, &cy) != 2 || cx < 16 || cy < 16 || cx > 8192 ||
                cy > 8192)
                return UsageError("render-page", "bad --size");
        } else if (a == "-o" && fValue) {
            strOut = args[++i];
        } else if ((a == "gauges" || a == "satellites") && strPage.empty()) {
            strPage = a;
        } else {
            return UsageError("render-page", "unexpected argument " + a);
        }
    }
    if (strPage.empty() || strOut.empty()) return UsageError("render-page", "gauges|satellites and -o OUT.png are needed");

    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char szName[] = "velkatool";
    char* argv[] = {szName, nullptr};
    QGuiApplication app(argc, argv);
    HeadlessUiHost().m_fEcho = true;
    RegSetDatabasePath(":memory:");
    SettingsOpen();
    ReadUnitOptions();
    RegisterGauges();
    CreateGaugeFonts();
    int rc = c_nExitOk;
    if (!strReplay.empty()) {
        const std::string strKind = DetectCaptureKind(strReplay);
        const ReplayResult r =
            ReplayCapture(strKind, strReplay, [] { Gauges()->UpdateAll(GetCurrentFix()); },
                          [] { Gauges()->PositionLostAll(); });
        if (!r.fOpened || r.fReadError) {
            std::fprintf(stderr, "velkatool render-page: cannot read %s\n", strReplay.c_str());
            rc = c_nExitFailed;
        }
    }
    if (rc == c_nExitOk) {
        CQtCanvas canvas(cx, cy);
        if (strPage == "gauges") {
            CGaugePage page;
            page.OnSize(cx, cy);
            page.Init();
            page.OnPaint(canvas);
        } else {
            CSatellitePage page;
            page.OnPaint(canvas);
        }
        if (!SavePngAtomic(canvas.Image().convertToFormat(QImage::Format_RGB32), strOut)) {
            std::fprintf(stderr, "velkatool render-page: cannot write %s\n", strOut.c_str());
            rc = c_nExitFailed;
        }
    }
    UnregisterGauges();
    SettingsClose();
    return rc;
}

} // namespace velka::tool
