#include "shell/screen.h"

#include <cmath>

namespace velka {
namespace {
CScreenMetrics g_metrics;
int g_nFactorX = 1;
int g_nFactorY = 1;
} // namespace

CScreenMetrics ScreenMetricsFor(int cxLogical, int cyLogical, double dLogicalDpiX, double dLogicalDpiY,
                                double dDevicePixelRatio) {
    const double r = dDevicePixelRatio > 0 ? dDevicePixelRatio : 1.0;
    CScreenMetrics m;
    m.nHorzRes = static_cast<int>(std::lround(cxLogical * r));
    m.nVertRes = static_cast<int>(std::lround(cyLogical * r));
    m.nLogPixelsX = static_cast<int>(std::lround((dLogicalDpiX > 0 ? dLogicalDpiX : 96.0) * r));
    m.nLogPixelsY = static_cast<int>(std::lround((dLogicalDpiY > 0 ? dLogicalDpiY : 96.0) * r));
    return m;
}

void SetScreenMetrics(const CScreenMetrics& m) {
    g_metrics = m;
    g_nFactorX = m.nLogPixelsX / 96 > 0 ? m.nLogPixelsX / 96 : 1;
    g_nFactorY = m.nLogPixelsY / 96 > 0 ? m.nLogPixelsY / 96 : 1;
}
const CScreenMetrics& ScreenMetrics() { return g_metrics; }
int ScreenFactorX() { return g_nFactorX; }
int ScreenFactorY() { return g_nFactorY; }
int ScaleX(int n) { return n * g_nFactorX; }
int ScaleY(int n) { return n * g_nFactorY; }

} // namespace velka
