// velkatool render: draws a map exactly as the map page draws it (the same
// frame loop, styles, labels and overlays) into a PNG, without a window.
// The settings come from a private in-memory store, so the user's view is
// left alone.
#include <algorithm>
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "mapdata/map_parser.h"
#include "mapview/map_page.h"
#include "mapview/map_position.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/qt/qt_canvas.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/settings.h"
#include "tools/commands.h"
#include "tools/render.h"

namespace velka::tool {

namespace {

bool ParsePair(const std::string& s, char cSep, double& a, double& b) {
    const std::size_t k = s.find(cSep);
    if (k == std::string::npos) return false;
    char* pEnd = nullptr;
    a = std::strtod(s.c_str(), &pEnd);
    if (pEnd != s.c_str() + k) return false;
    const char* pB = s.c_str() + k + 1;
    b = std::strtod(pB, &pEnd);
    return pEnd != pB && *pEnd == 0;
}

} // namespace

int RenderMapToImage(const RenderOptions& o, QImage& image, DWORD* pmsFrame) {
    SettingsClose();
    RegSetDatabasePath(":memory:");
    SettingsOpen();
    WriteSettingBool(u"ShowMapGauges", false);
    WriteSettingBool(u"MapAntialias", o.fAntialias);
    WriteSettingInt(u"NightMode", o.fNight ? 2 : 1);

    int rc = c_nExitOk;
    {
        CMapPage page;
        page.SetBitmapFactory([](int cx, int cy) { return std::make_unique<CQtCanvas>(cx, cy); });
        page.SetClientSize(o.cx, o.cy);
        page.Init();
        MapStyles().ResetNightMode();
        MapStyles().ApplyNightMode();
        if (!page.LoadMap(FromUtf8(o.strMap), false)) {
            rc = c_nExitFailed;
        } else {
            CMapPosition& pos = page.Position();
            pos.SetPersistent(false);
            pos.SetAngle(o.nAngle);
            pos.SetScale(o.uScale);
            const CMapRect bounds = g_pMapParser ? g_pMapParser->Bounds() : CMapRect{};
            if (o.fCenter && g_pMapParser &&
                !bounds.Contains(DegreesToUnits(o.dLon), DegreesToUnits(o.dLat))) {
                // A centre off the map would draw an empty picture.
                std::fprintf(stderr,
                             "velkatool render: --center %.6f,%.6f is outside the map, which covers "
                             "latitudes %.6f .. %.6f and longitudes %.6f .. %.6f\n",
                             o.dLat, o.dLon, UnitsToDegrees(bounds.top), UnitsToDegrees(bounds.bottom),
                             UnitsToDegrees(bounds.left), UnitsToDegrees(bounds.right));
                rc = c_nExitUsage;
            } else if (o.fCenter)
                pos.SetCenter(DegreesToUnits(o.dLon), DegreesToUnits(o.dLat));
            else if (g_pMapParser)
                pos.SetCenter(g_pMapParser->Bounds().CenterX(), g_pMapParser->Bounds().CenterY());
            if (rc == c_nExitOk) {
                // The first frame also loads fonts, glyphs and icons: the time
                // reported is the best of three, as a driver sees while panning.
                DWORD msBest = ~DWORD{0};
                for (int i = 0; i < 3; ++i) {
                    page.RefreshMap(true);
                    msBest = std::min<DWORD>(msBest, g_FrameStats.msMap);
                }
                if (pmsFrame) *pmsFrame = msBest;
                CQtCanvas out(o.cx, o.cy);
                page.OnPaint(out);
                image = out.Image().convertToFormat(QImage::Format_RGB32);
            }
        }
        page.Done();
    }
    SettingsClose();
    return rc;
}

bool SavePngAtomic(const QImage& image, const std::string& strOut, int* pnError) {
    // Encoded in memory, then written whole through the atomic writer (which
    // follows symlinks and writes devices in place).
    QByteArray png;
    QBuffer buffer(&png);
    int nError = EIO;
    const bool fOk = buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG") &&
                     WriteFileAtomic(strOut, png.constData(), static_cast<std::size_t>(png.size()), &nError);
    if (!fOk && pnError) *pnError = nError;
    return fOk;
}

int RunRender(const Args& args) {
    RenderOptions o;
    std::string strOut;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool fValue = i + 1 < args.size();
        if (a == "--center" && fValue) {
            if (!ParsePair(args[++i], ',', o.dLat, o.dLon) || !(o.dLat >= -90 && o.dLat <= 90) ||
                !(o.dLon >= -180 && o.dLon <= 180))
                return UsageError("render", "--center takes LAT,LON with LAT in -90 .. 90 and LON in -180 .. 180");
            o.fCenter = true;
        } else if (a == "--scale" && fValue) {
            const int n = std::atoi(args[++i].c_str());
            if (n < 0 || n > 26) return UsageError("render", "--scale takes 0 .. 26");
            o.uScale = static_cast<unsigned>(n);
        } else if (a == "--size" && fValue) {
            double w = 0, h = 0;
            if (!ParsePair(args[++i], 'x', w, h) || w < 16 || h < 16 || w > 8192 || h > 8192)
                return UsageError("render", "--size takes WxH, each 16 .. 8192 pixels");
            o.cx = static_cast<int>(w);
            o.cy = static_cast<int>(h);
        } else if (a == "--skin" && fValue) {
            const std::string& s = args[++i];
            if (s != "day" && s != "night") return UsageError("render", "--skin takes day or night");
            o.fNight = s == "night";
        } else if (a == "--angle" && fValue) {
            o.nAngle = std::atoi(args[++i].c_str()) % 360;
        } else if (a == "--no-antialias") {
            o.fAntialias = false;
        } else if (a == "-o" && fValue) {
            strOut = args[++i];
        } else if (!a.empty() && a[0] != '-' && o.strMap.empty()) {
            o.strMap = a;
        } else {
            return UsageError("render", "unexpected argument " + a);
        }
    }
    if (o.strMap.empty() || strOut.empty()) return UsageError("render", "a map and -o OUT.png are needed");
    if (int nError = 0; !CanWriteOutput(strOut, &nError)) {
        std::fprintf(stderr, "velkatool render: cannot write %s: %s\n", strOut.c_str(), std::strerror(nError));
        return c_nExitFailed;
    }

    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char szName[] = "velkatool";
    char* argv[] = {szName, nullptr};
    QGuiApplication app(argc, argv);
    HeadlessUiHost().m_fEcho = true;

    QImage image;
    DWORD msFrame = 0;
    const int rc = RenderMapToImage(o, image, &msFrame);
    if (rc == c_nExitFailed) std::fprintf(stderr, "velkatool render: cannot open %s\n", o.strMap.c_str());
    if (rc != c_nExitOk) return rc;
    int nError = EIO;
    if (!SavePngAtomic(image, strOut, &nError)) {
        std::fprintf(stderr, "velkatool render: cannot write %s: %s\n", strOut.c_str(), std::strerror(nError));
        return c_nExitFailed;
    }
    std::printf("%s: %dx%d, frame %u ms\n", strOut.c_str(), o.cx, o.cy, static_cast<unsigned>(msFrame));
    return c_nExitOk;
}

} // namespace velka::tool
