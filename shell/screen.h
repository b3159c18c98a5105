// Screen metrics read once at start-up: the resolution and the integer
// scale factors (logical pixels per inch / 96) that every pixel size of
// fonts, pens, icons and gauge cells is multiplied by.
#pragma once

namespace velka {

struct CScreenMetrics {
    int nHorzRes = 0;
    int nVertRes = 0;
    int nLogPixelsX = 96;
    int nLogPixelsY = 96;
};

// The metrics of a screen given in the window system's logical pixels with
// its device pixel ratio: resolution and pixels per inch in device pixels,
// so a 2x screen gives the factors 2.
CScreenMetrics ScreenMetricsFor(int cxLogical, int cyLogical, double dLogicalDpiX, double dLogicalDpiY,
                                double dDevicePixelRatio);

// Stores the metrics and derives the factors (never below 1).
void SetScreenMetrics(const CScreenMetrics& m);
const CScreenMetrics& ScreenMetrics();
int ScreenFactorX();
int ScreenFactorY();
// A pixel length scaled by the horizontal or the vertical factor.
int ScaleX(int n);
int ScaleY(int n);

} // namespace velka
