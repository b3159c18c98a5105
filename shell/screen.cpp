#include "shell/screen.h"

namespace velka {
namespace {
CScreenMetrics g_metrics;
int g_nFactorX = 1;
int g_nFactorY = 1;
} // namespace

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
