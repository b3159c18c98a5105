// The satellite page (page 3): a sky plot of the satellites by azimuth and
// elevation, a bar chart of their signal strengths, the position, the fix
// quality and the positioning status. A read-only view over positioning.
#pragma once
#include <string>
#include <vector>

#include "gps/gps_fix.h"
#include "shell/page.h"

namespace velka {

// What the page shows, read from positioning (or given by a test).
struct CSkyView {
    std::vector<GpsSatellite> vecSatellites; // filled entries only
    GpsFix fix;
    bool fPosition = false;
    float fLon = 0, fLat = 0;
    std::u16string strStatus;
};
CSkyView ReadSkyView();

class CSatellitePage : public CPage {
public:
    UINT GetTitle() const override { return 2203; }
    void OnPaint(ICanvas& dc) override;
    void OnGpsStatus() override { Redraw(); }
    void OnGpsFix() override { Redraw(); }
    void OnGpsData() override { Redraw(); }
    void OnPeriodic() override { Redraw(); }
    void OnPositioningStopped() override { Redraw(); }

    // Draws a given view (the page's drawing without positioning).
    void Draw(ICanvas& dc, const CSkyView& view);
    int StrengthScale() const { return m_nStrengthScale; }

private:
    void Redraw();
    int m_nStrengthScale = 50;
};

// The sky plot's geometry for a client of cx x cy: centre and radius, and
// where a satellite at (elevation, azimuth) is drawn.
struct CSkyPlot {
    int xCentre = 0, yCentre = 0, nRadius = 0;
    POINT At(int nElevation, int nAzimuth) const;
};
CSkyPlot SkyPlot(int cx, int cy);
// Ramp entry 0..31 of a strength against the scale.
int StrengthIndex(int nSNR, int nScale);

} // namespace velka
