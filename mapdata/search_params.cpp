#include "mapdata/search_params.h"

#include <algorithm>
#include <cmath>

namespace velka {

namespace {

constexpr unsigned c_nKindShift = 17;
constexpr int c_cKinds = 3;

} // namespace

CTypeFilter::CTypeFilter() : m_words(c_cWords, 0) {}

void CTypeFilter::Clear() { std::fill(m_words.begin(), m_words.end(), 0); }
void CTypeFilter::SetAll() { std::fill(m_words.begin(), m_words.end(), 0xFFFFFFFFu); }

void CTypeFilter::Set(int nKind, WORD wType) {
    if (nKind < 0 || nKind >= c_cKinds) return;
    const std::size_t n = (std::size_t(nKind) << c_nKindShift) + wType;
    m_words[n / 32] |= DWORD{1} << (n % 32);
}

void CTypeFilter::Reset(int nKind, WORD wType) {
    if (nKind < 0 || nKind >= c_cKinds) return;
    const std::size_t n = (std::size_t(nKind) << c_nKindShift) + wType;
    m_words[n / 32] &= ~(DWORD{1} << (n % 32));
}

bool CTypeFilter::Test(int nKind, WORD wType) const {
    if (nKind < 0 || nKind >= c_cKinds) return false;
    const std::size_t n = (std::size_t(nKind) << c_nKindShift) + wType;
    return (m_words[n / 32] >> (n % 32)) & 1;
}

bool CTypeFilter::IsEmpty() const {
    return std::all_of(m_words.begin(), m_words.end(), [](DWORD w) { return w == 0; });
}

bool CSearchProgress::Step(std::size_t i, std::size_t n) const {
    if (fnReport) {
        const double f = n ? std::min(1.0, static_cast<double>(i) / static_cast<double>(n)) : 1.0;
        fnReport(nStart + static_cast<int>(std::lround(f * (nEnd - nStart))));
    }
    return !Cancelled();
}

CSearchProgress CSearchProgress::Part(std::size_t k, std::size_t n) const {
    CSearchProgress p = *this;
    if (n == 0) return p;
    const double dSpan = static_cast<double>(nEnd) - nStart;
    p.nStart = nStart + static_cast<int>(std::lround(dSpan * static_cast<double>(k) / static_cast<double>(n)));
    p.nEnd = nStart + static_cast<int>(std::lround(dSpan * static_cast<double>(k + 1) / static_cast<double>(n)));
    return p;
}

double CosineOfLatitude(LONG y) {
    const double dLat = y * (M_PI / 1073741824.0);
    return std::clamp(std::cos(dLat), 0.0, 1.0);
}

CSearchExtent SearchExtent(LONG x, LONG y, double dRadiusMetres) {
    constexpr double c_dUnitsMax = 2147483647.0;
    CSearchExtent e;
    // NaN and negative radii search the point itself.
    const double dMetres = std::isnan(dRadiusMetres) ? 0.0 : std::clamp(dRadiusMetres, 0.0, c_dMaxSearchRadiusMetres);
    const double dY = std::round(dMetres / 20000000.0 * 1073741824.0);
    e.dCos = CosineOfLatitude(y);
    // At a pole every longitude is in reach.
    const double dX = e.dCos > 0 ? std::min(std::round(dY / e.dCos), c_dUnitsMax) : c_dUnitsMax;
    e.llY = static_cast<std::int64_t>(dY);
    e.llX = static_cast<std::int64_t>(dX);
    auto clamp = [](std::int64_t v) {
        return static_cast<LONG>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
    };
    e.rc = {clamp(std::int64_t{x} - e.llX), clamp(std::int64_t{y} - e.llY), clamp(std::int64_t{x} + e.llX),
            clamp(std::int64_t{y} + e.llY)};
    // Half the world's longitudes either way reach every longitude.
    if (dX >= 1073741824.0) {
        e.rc.left = INT32_MIN;
        e.rc.right = INT32_MAX;
    }
    return e;
}

} // namespace velka
