// Rendering a map to an image through the map page's pipeline (velkatool
// render, its tests and the frame benchmark).
#pragma once
#include <string>

#include "platform/win_types.h"

class QImage;

namespace velka::tool {

struct RenderOptions {
    std::string strMap;
    bool fCenter = false;
    double dLat = 0, dLon = 0;
    unsigned uScale = 10;
    int cx = 800, cy = 600;
    bool fNight = false;
    int nAngle = 0;
    bool fAntialias = true;
};

// Needs a QGuiApplication. Returns an exit code (c_nExitFailed when the
// map cannot be opened); the frame's map time goes to *pmsFrame.
int RenderMapToImage(const RenderOptions& o, QImage& image, DWORD* pmsFrame = nullptr);

// Writes a PNG whole through the atomic writer; pnError gets errno on failure.
bool SavePngAtomic(const QImage& image, const std::string& strOut, int* pnError = nullptr);

} // namespace velka::tool
