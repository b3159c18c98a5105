#include "mapview/map_position.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "gauges/units.h"
#include "geometry/fast_math.h"
#include "platform/debug.h"
#include "platform/text.h"
#include "shell/resources.h"
#include "shell/screen.h"
#include "shell/settings.h"
#include "shell/string_ids.h"

namespace velka {

CMapPoint g_ptReference;

namespace {

constexpr double c_dPi = 3.14159265358979323846;

CScaleEntry g_aScales[g_cScales] = {
    {29, 5, 20, 40000, {268435, 0, 0}},        {28, 8, 30, 40000, {429496, 0, 0}},
    {27, 12, 50, 40000, {644245, 0, 0}},       {27, 20, 80, 40000, {1073741, 0, 0}},
    {26, 30, 120, 40000, {1610612, 0, 0}},     {25, 50, 200, 40000, {2684354, 0, 0}},
    {25, 80, 300, 40000, {4294967, 0, 0}},     {24, 120, 500, 4000, {644245, 0, 0}},
    {23, 200, 800, 4000, {1073741, 0, 0}},     {23, 300, 0.2f, 4000, {1610612, 0, 0}},
    {22, 500, 0.3f, 4000, {2684354, 0, 0}},    {21, 800, 0.5f, 4000, {4294967, 0, 0}},
    {21, 1.2f, 0.7f, 400, {644245, 0, 0}},     {20, 2, 1, 400, {1073741, 0, 0}},
    {19, 3, 1.5f, 400, {1610612, 0, 0}},       {18, 5, 2.5f, 400, {2684354, 0, 0}},
    {18, 8, 4, 400, {4294967, 0, 0}},          {17, 12, 7, 40, {644245, 0, 0}},
    {16, 20, 10, 40, {1073741, 0, 0}},         {16, 30, 15, 40, {1610612, 0, 0}},
    {15, 50, 25, 40, {2684354, 0, 0}},         {14, 80, 40, 40, {4294967, 0, 0}},
    {14, 120, 70, 40, {6442450, 0, 0}},        {13, 200, 100, 40, {10737418, 0, 0}},
    {12, 300, 150, 40, {16106127, 0, 0}},      {12, 500, 250, 40, {26843545, 0, 0}},
    {11, 800, 400, 40, {42949672, 0, 0}},
};

constexpr unsigned c_uFirstKm = 12;
// Unit texts of the scale bar.
constexpr unsigned c_uFirstMiles = 9;

// The imperial columns: bar value x pixel factor / 40 in map units,
// truncated; feet below index 9 in both.
bool ComputeImperialColumns() {
    const double dFoot = c_dMetresPerUnit / 0.3048;
    const double dNautical = c_dMetresPerUnit / 1852.0;
    const double dStatute = c_dMetresPerUnit / 1609.3;
    for (unsigned i = 0; i < g_cScales; ++i) {
        CScaleEntry& e = g_aScales[i];
        const double v = static_cast<double>(e.fImperialBar) * e.nPixelFactor / 40.0;
        if (i < c_uFirstMiles) {
            e.alLength[1] = e.alLength[2] = static_cast<std::int32_t>(v / dFoot);
        } else {
            e.alLength[1] = static_cast<std::int32_t>(v / dNautical);
            e.alLength[2] = static_cast<std::int32_t>(v / dStatute);
        }
    }
    return true;
}

void EnsureTable() {
    static const bool s_fDone = ComputeImperialColumns();
    (void)s_fDone;
}

std::int32_t RoundToInt(double d) { return fast_floor_d(d + 0.5); }

std::u16string FormatBarValue(float f) {
    const int nWhole = static_cast<int>(f);
    const int nTenth = static_cast<int>(std::lround((f - static_cast<float>(nWhole)) * 10.0f));
    if (nTenth == 0) return FormatW(u"%d", nWhole);
    return FormatW(u"%d.%d", nWhole, nTenth);
}

int UnitColumn() {
    const int n = g_UnitOptions.nDistanceUnit;
    return n >= 0 && n <= 2 ? n : 0;
}

} // namespace

const CScaleEntry& ScaleEntry(unsigned uIndex) {
    EnsureTable();
    return g_aScales[std::min(uIndex, g_cScales - 1)];
}

std::u16string ScaleBarLabel(unsigned uIndex, int nDistanceUnit) {
    const CScaleEntry& e = ScaleEntry(uIndex);
    uIndex = std::min(uIndex, g_cScales - 1);
    if (nDistanceUnit == duMetric)
        return FormatBarValue(e.fMetricBar) + u" " +
               LoadStr(uIndex < c_uFirstKm ? IDS_UNIT_METRES : IDS_UNIT_KILOMETRES);
    UINT uUnit = IDS_UNIT_FEET;
    if (uIndex >= c_uFirstMiles)
        uUnit = nDistanceUnit == duNautical ? IDS_UNIT_NAUTICAL_MILES : IDS_UNIT_STATUTE_MILES;
    return FormatBarValue(e.fImperialBar) + u" " + LoadStr(uUnit);
}

std::int32_t DegreesToUnits(double d) { return RoundToInt(d * 1073741824.0 / 180.0); }
std::int32_t DegreesToDoubledUnits(double d) {
    // 180 degrees east is 2^31, which wraps to the west end as in the file.
    const double v = std::floor(d * 2147483648.0 / 180.0 + 0.5);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::int64_t>(v)));
}
double UnitsToDegrees(std::int32_t l) { return l * 180.0 / 1073741824.0; }
double DoubledUnitsToDegrees(std::int32_t l) { return (l >> 1) * 180.0 / 1073741824.0; }
std::int32_t MetresToUnits(double m) { return RoundToInt(m / 2e7 * 1073741824.0); }

std::int64_t MulDiv64(std::int64_t a, std::int64_t b, std::int64_t c) {
    if (c == 0) return -1;
    const std::int64_t p = a * b;
    const bool fNegative = (p < 0) != (c < 0);
    const std::int64_t ap = p < 0 ? -p : p;
    const std::int64_t ac = c < 0 ? -c : c;
    const std::int64_t q = (ap + ac / 2) / ac;
    return fNegative ? -q : q;
}

CMapPosition::CMapPosition() { EnsureTable(); }

void CMapPosition::SetScale(unsigned _cScaleIndex) {
    VELKA_ASSERT(_cScaleIndex < g_cScales);
    if (_cScaleIndex >= g_cScales) _cScaleIndex = g_cScales - 1;
    m_uScale = _cScaleIndex;
    const CScaleEntry& e = g_aScales[m_uScale];
    m_nPixelCount = e.nPixelFactor * ScreenFactorX() / 8;
    m_nCurrentArcs = e.alLength[UnitColumn()] / 8;
    VELKA_ASSERT(fast_log2(static_cast<std::uint32_t>(m_nCurrentArcs)) <= 24);
    if (m_fPersistent) WriteSettingInt(u"MapZoom", static_cast<int>(m_uScale));
}

void CMapPosition::CenterChanged() {
    m_lY = std::clamp(m_lY, -c_lMaxCenterY, c_lMaxCenterY);
    m_nLatFactor = RoundToInt(std::cos(m_lY * c_dPi / 1073741824.0) * 255.0);
    m_nLatFactor = std::clamp(m_nLatFactor, 1, 255);
    g_ptReference = {m_lX, m_lY};
    if (m_fPersistent) {
        WriteSettingInt(u"MapXc", static_cast<int>(static_cast<std::uint32_t>(m_lX) << 1));
        WriteSettingInt(u"MapYc", static_cast<int>(static_cast<std::uint32_t>(m_lY) << 1));
    }
}

void CMapPosition::SetCenter(std::int32_t x, std::int32_t y) {
    m_lX = x;
    m_lY = y;
    CenterChanged();
}

void CMapPosition::SetAngle(int nDegrees) {
    m_nAngle = nDegrees;
    // Brought into (-360, 360) so the table functions stay in range.
    const float fRad = static_cast<float>(nDegrees % 360) * c_PI / 180.0f;
    m_nCos = fast_floor(fast_cos(fRad) * 1024.0f + 0.5f);
    m_nSin = fast_floor(fast_sin(fRad) * 1024.0f + 0.5f);
    if (m_fPersistent) WriteSettingInt(u"MapAngle", nDegrees);
}

void CMapPosition::InitFromSettings() {
    SetAngle(ReadSettingBool(u"RotateMap", false) ? ReadSettingInt(u"MapAngle", 0) : 0);
    SetCenter(ReadSettingInt(u"MapXc", 0) >> 1, ReadSettingInt(u"MapYc", 0) >> 1);
    const int nZoom = ReadSettingInt(u"MapZoom", 10);
    SetScale(nZoom < 0 ? g_cScales : static_cast<unsigned>(nZoom));
}

void CMapPosition::SetScreen(int cxClient, int cyClient, const RECT& rc, bool fRotateMap) {
    m_cxClient = cxClient;
    m_cyClient = cyClient;
    m_rcMapArea = rc;
    m_ptAnchor.x = (rc.left + rc.right) / 2;
    m_ptAnchor.y = fRotateMap ? rc.top + (rc.bottom - rc.top) * 3 / 4 : (rc.top + rc.bottom) / 2;
}

POINT CMapPosition::MapToScreen(std::int32_t x, std::int32_t y) const {
    if (m_nCurrentArcs <= 0) return m_ptAnchor;
    const std::int64_t dx = (std::int64_t{x} - m_lX) * m_nPixelCount * m_nLatFactor /
                            (std::int64_t{m_nCurrentArcs} * 255);
    const std::int64_t dy = (std::int64_t{y} - m_lY) * m_nPixelCount / m_nCurrentArcs;
    if (m_nAngle == 0)
        return {static_cast<LONG>(m_ptAnchor.x + dx), static_cast<LONG>(m_ptAnchor.y - dy)};
    return {static_cast<LONG>(m_ptAnchor.x + ((dx * m_nCos - dy * m_nSin) >> 10)),
            static_cast<LONG>(m_ptAnchor.y - ((dx * m_nSin + dy * m_nCos) >> 10))};
}

void CMapPosition::MapToScreen(const CMapPoint* pPoints, POINT* pScreen, std::size_t cPoints) const {
    for (std::size_t i = 0; i < cPoints; ++i) pScreen[i] = MapToScreen(pPoints[i].lX, pPoints[i].lY);
}

CMapPoint CMapPosition::ScreenToMap(int sx, int sy) const {
    const std::int64_t ax = m_ptAnchor.x, ay = m_ptAnchor.y;
    const std::int64_t u = ((sx - ax) * m_nCos + (ay - sy) * m_nSin) >> 10;
    const std::int64_t v = ((ax - sx) * m_nSin + (ay - sy) * m_nCos) >> 10;
    const std::int64_t x =
        m_lX + MulDiv64(MulDiv64(u, m_nCurrentArcs, m_nPixelCount), 255, m_nLatFactor);
    const std::int64_t y = m_lY + MulDiv64(v, m_nCurrentArcs, m_nPixelCount);
    return {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
}

void CMapPosition::PanByPixels(int dx, int dy) {
    const std::int64_t u = (std::int64_t{dx} * m_nCos - std::int64_t{dy} * m_nSin) >> 10;
    const std::int64_t v = (-std::int64_t{dx} * m_nSin - std::int64_t{dy} * m_nCos) >> 10;
    m_lX = static_cast<std::int32_t>(
        m_lX - MulDiv64(u, std::int64_t{m_nCurrentArcs} * 255, std::int64_t{m_nPixelCount} * m_nLatFactor));
    m_lY = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(m_lY - MulDiv64(v, m_nCurrentArcs, m_nPixelCount), INT32_MIN, INT32_MAX));
    CenterChanged();
}

CMapRect CMapPosition::VisibleRect() const {
    CMapRect rc = CMapRect::MakeEmpty();
    const int w = std::max(m_cxClient, 1), h = std::max(m_cyClient, 1);
    rc.Add(ScreenToMap(0, 0));
    rc.Add(ScreenToMap(w - 1, 0));
    rc.Add(ScreenToMap(0, h - 1));
    rc.Add(ScreenToMap(w - 1, h - 1));
    return rc;
}

SIZE CMapPosition::ScreenExtent(const CMapRect& rc) const {
    if (m_nCurrentArcs <= 0) return {};
    const std::int64_t w = std::int64_t{rc.right} - rc.left, h = std::int64_t{rc.bottom} - rc.top;
    return {static_cast<LONG>(w * m_nPixelCount * m_nLatFactor / (std::int64_t{m_nCurrentArcs} * 255)),
            static_cast<LONG>(h * m_nPixelCount / m_nCurrentArcs)};
}

void CMapPosition::ZoomToRect(const CMapRect& rc) {
    if (rc.IsEmpty()) return;
    const std::int64_t w = rc.Width(), h = rc.Height();
    const std::int64_t W = m_rcMapArea.right - m_rcMapArea.left;
    const std::int64_t H = m_rcMapArea.bottom - m_rcMapArea.top;
    unsigned i = 0;
    for (; i < g_cScales; ++i) {
        const CScaleEntry& e = g_aScales[i];
        const std::int64_t cx =
            MulDiv64(w, std::int64_t{e.nPixelFactor} * m_nLatFactor, std::int64_t{e.alLength[0]} * 255) *
            ScreenFactorX();
        const std::int64_t cy = MulDiv64(h, e.nPixelFactor, e.alLength[0]) * ScreenFactorY();
        if (W >= cx && H >= cy) break;
    }
    SetScale(i);
}

int CMapPosition::LevelForDrawing() const {
    const int n = std::clamp(static_cast<int>(m_uScale) - ReadSettingInt(u"MapDetail", 0), 0,
                             static_cast<int>(g_cScales) - 1);
    return g_aScales[n].nBits;
}

unsigned CMapPosition::ScaleForLevel(int nBits) {
    for (int i = static_cast<int>(g_cScales) - 1; i >= 1; --i)
        if (g_aScales[i].nBits == nBits)
            return static_cast<unsigned>(
                std::clamp(i + ReadSettingInt(u"MapDetail", 0), 0, static_cast<int>(g_cScales) - 1));
    return 0;
}

unsigned CMapPosition::ScaleForResolution(double r) {
    if (!(r > 0)) return 0;
    for (int i = static_cast<int>(g_cScales) - 1; i >= 0; --i) {
        const CScaleEntry& e = g_aScales[i];
        const double v = e.alLength[0] * c_dMetresPerUnit / e.nPixelFactor;
        if (std::fabs(std::log(v / r)) < 0.3) return static_cast<unsigned>(i);
    }
    return 0;
}

float CMapPosition::MetresPerPixel() const {
    if (m_nPixelCount <= 0) return 0.0f;
    return static_cast<float>(m_nCurrentArcs) * 2e7f / 1073741824.0f / static_cast<float>(m_nPixelCount);
}

} // namespace velka
