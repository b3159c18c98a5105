#include "gauges/area_gauge.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <locale.h>

#include "gauges/trip_computer.h"
#include "gauges/units.h"
#include "platform/text.h"
#include "shell/settings.h"

namespace velka {
namespace {

constexpr double c_dPi = 3.1415927f;
constexpr double c_dMetresPerDegree = 40000000.0 / 360.0;

} // namespace

double AreaContribution(double x1, double y1, double x2, double y2, double x0) {
    return ((x1 + x2) / 2 - x0) * (y2 - y1) * std::cos(c_dPi / 180 * (y1 + y2) / 2) * c_dMetresPerDegree *
           c_dMetresPerDegree;
}

void CAreaGauge::Init() {
    const std::string s = ToUtf8(ReadSettingString(u"Area", 160, u"0 0 0 0 0 0"));
    int nStarted = 0;
    double a = 0, xl = 0, yl = 0, xf = 0, yf = 0;
    locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    locale_t old = c ? uselocale(c) : static_cast<locale_t>(nullptr);
    const int cRead = std::sscanf(s.c_str(), "%d %lf %lf %lf %lf %lf", &nStarted, &a, &xl, &yl, &xf, &yf);
    if (old) uselocale(old);
    if (c) freelocale(c);
    auto onEarth = [](double x, double y) { return std::fabs(x) <= 180 && std::fabs(y) <= 90; };
    if (cRead != 6 || !std::isfinite(a) || std::fabs(a) > 1e15 || !onEarth(xl, yl) || !onEarth(xf, yf)) {
        *this = CAreaGauge();
        return;
    }
    m_fStarted = nStarted != 0;
    m_dArea = a;
    m_xLast = xl;
    m_yLast = yl;
    m_xFirst = xf;
    m_yFirst = yf;
}

void CAreaGauge::Reset() {
    *this = CAreaGauge();
    WriteSettingString(u"Area", u"0 0 0 0 0 0");
}

void CAreaGauge::Update(const GpsFix& fix) {
    if (!fix.Has(gfPosition)) return;
    const double x = fix.fLongitude, y = fix.fLatitude;
    if (!m_fStarted) {
        m_xFirst = m_xLast = x;
        m_yFirst = m_yLast = y;
        m_dArea = 0;
        m_fStarted = true;
    } else if (fix.Has(gfSpeed) && fix.fSpeed >= c_fMovingSpeedKmh) {
        m_dArea += AreaContribution(m_xLast, m_yLast, x, y, m_xFirst);
        m_xLast = x;
        m_yLast = y;
    }
    Store();
}

void CAreaGauge::Store() const {
    WriteSettingString(u"Area", FormatW(u"%d %.1f %.7f %.7f %.7f %.7f", m_fStarted ? 1 : 0, m_dArea, m_xLast,
                                        m_yLast, m_xFirst, m_yFirst)
                                    .c_str());
}

double CAreaGauge::Area() const {
    if (!m_fStarted) return 0;
    return std::fabs(m_dArea + AreaContribution(m_xLast, m_yLast, m_xFirst, m_yFirst, m_xFirst));
}

void CAreaGauge::GetValueText(std::u16string& strValue, std::u16string& strUnit) {
    FormatArea(Area(), strValue, strUnit);
}

} // namespace velka
