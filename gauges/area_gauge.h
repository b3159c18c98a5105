// The area gauge: the area enclosed by the travelled path and the chord back
// to its start, summed segment by segment about the first point's meridian
// and kept in the setting `Area` ("started area lastx lasty firstx firsty").
#pragma once
#include "gauges/gauge.h"

namespace velka {

class CAreaGauge : public CGauge {
public:
    void Init() override;
    void Reset() override;
    void Update(const GpsFix& fix) override;
    void GetValueText(std::u16string& strValue, std::u16string& strUnit) override;
    // Square metres (0 before the first position).
    double Area() const;

private:
    void Store() const;
    bool m_fStarted = false;
    double m_dArea = 0;
    double m_xLast = 0, m_yLast = 0, m_xFirst = 0, m_yFirst = 0;
};

// The signed contribution of the segment (x1, y1) - (x2, y2) about x0.
double AreaContribution(double x1, double y1, double x2, double y2, double x0);

} // namespace velka
