#include "geometry/point_algorithms.h"

#include <cmath>

#include "geometry/fast_math.h"
#include "platform/debug.h"

namespace velka {
namespace {

__extension__ typedef __int128 Int128;

std::int64_t Abs64(std::int64_t v) { return v < 0 ? -v : v; }

// One segment as PolylineLength measures it.
std::int64_t SegmentLength(const CMapPoint& a, const CMapPoint& b, float kk) {
    const double dx = static_cast<double>(static_cast<std::int64_t>(b.lX) - a.lX);
    const double dy = static_cast<double>(static_cast<std::int64_t>(b.lY) - a.lY);
    return static_cast<std::int64_t>(std::floor(std::sqrt(dx * dx * kk + dy * dy) + 0.5));
}

// The bounding rectangle of the points contains p once inflated by
// (r / k, r) map units; computed in 64 bits so no side can overflow.
bool NearBoundingBox(const CMapPoint* pPoints, std::size_t cPoints, const CMapPoint& p, float r,
                     float k) {
    CMapRect rc = CMapRect::MakeEmpty();
    rc.Add(pPoints, cPoints);
    constexpr double c_dLimit = 4294967296.0; // wider than any map extent
    const double dx = k > 0 ? std::fmin(std::fabs(r / k), c_dLimit) : c_dLimit;
    const double dy = std::fmin(std::fabs(r), c_dLimit);
    const auto ix = static_cast<std::int64_t>(dx); // truncation
    const auto iy = static_cast<std::int64_t>(dy);
    return static_cast<std::int64_t>(rc.left) - ix <= p.lX &&
           p.lX <= static_cast<std::int64_t>(rc.right) + ix &&
           static_cast<std::int64_t>(rc.top) - iy <= p.lY &&
           p.lY <= static_cast<std::int64_t>(rc.bottom) + iy;
}

} // namespace

std::int64_t PolylineLength(const CMapPoint* pPoints, std::size_t iFirst, std::size_t iEnd,
                            float kk) {
    std::int64_t sum = 0;
    for (std::size_t i = iFirst; i < iEnd; ++i) sum += SegmentLength(pPoints[i], pPoints[i + 1], kk);
    return sum;
}

std::int64_t PolylineLengthFast(const CMapPoint* pPoints, std::size_t iFirst, std::size_t iEnd,
                                float kk) {
    const auto c = static_cast<std::uint32_t>(fast_floor(kk * 256 + 0.5f)); // 8.8 fixed point
    std::int64_t sum = 0;
    for (std::size_t i = iFirst; i < iEnd; ++i) {
        const std::int64_t adx = Abs64(static_cast<std::int64_t>(pPoints[i + 1].lX) - pPoints[i].lX);
        const std::int64_t ady = Abs64(static_cast<std::int64_t>(pPoints[i + 1].lY) - pPoints[i].lY);
        if (adx < 32768 && ady < 32768) {
            const auto x = static_cast<std::uint32_t>(adx);
            const auto y = static_cast<std::uint32_t>(ady);
            // With |dx| >= 2048 the factor is applied to one |dx| first so
            // that the product stays inside 32 bits.
            if (x >= 2048)
                sum += fast_sqrt(y * y + x * ((c * x) >> 8));
            else
                sum += fast_sqrt(y * y + ((c * x * x) >> 8));
        } else if (adx >= 1048576 || ady >= 1048576) {
            VELKA_ASSERT(adx < 1048576 && ady < 1048576);
            sum += SegmentLength(pPoints[i], pPoints[i + 1], kk);
        } else {
            const auto m = static_cast<std::uint32_t>(adx >> 5);
            const auto o = static_cast<std::uint32_t>(ady >> 5);
            sum += static_cast<std::int64_t>(fast_sqrt(m * ((c * m) >> 8) + o * o)) << 5;
        }
    }
    return sum;
}

float NearestPointOnSegment(const CMapPoint& p0, const CMapPoint& p1, const CMapPoint& p, float k,
                            CMapPoint& ptNearest) {
    // Differences in 64 bits and positions in double: map coordinates need
    // 31 bits, more than a float carries.
    const double kd = k;
    const double rawdx = static_cast<double>(static_cast<std::int64_t>(p1.lX) - p0.lX);
    const double dx = rawdx * kd;
    const double dy = static_cast<double>(static_cast<std::int64_t>(p1.lY) - p0.lY);
    const double px = static_cast<double>(static_cast<std::int64_t>(p.lX) - p0.lX);
    const double py = static_cast<double>(static_cast<std::int64_t>(p.lY) - p0.lY);
    const double l2 = dx * dx + dy * dy;
    if (l2 < 1) {
        ptNearest = p0;
        return static_cast<float>(px * px * kd * kd + py * py);
    }
    double t = (px * kd * dx + py * dy) / l2;
    if (t < 0) t = 0;
    if (t > 1) t = 1;
    ptNearest.lX = fast_floor_d(p0.lX + 0.5 + rawdx * t); // dx t / k
    ptNearest.lY = fast_floor_d(p0.lY + 0.5 + dy * t);
    const double ex = static_cast<double>(static_cast<std::int64_t>(p.lX) - ptNearest.lX);
    const double ey = static_cast<double>(static_cast<std::int64_t>(p.lY) - ptNearest.lY);
    return static_cast<float>(ex * ex * kd * kd + ey * ey);
}

float NearestPointOnPolyline(const CMapPoint* pPoints, std::size_t _cPoints, const CMapPoint& p,
                             float k, bool fClosed, CMapPoint& ptNearest, std::size_t& iSegment) {
    VELKA_ASSERT(_cPoints != 0);
    if (_cPoints == 0) return -1.0f;
    float fBest = -1.0f;
    auto consider = [&](std::size_t i, const CMapPoint& a, const CMapPoint& b) {
        CMapPoint pt;
        const float fD2 = NearestPointOnSegment(a, b, p, k, pt);
        if (fBest < 0 || fBest > fD2) {
            fBest = fD2;
            ptNearest = pt;
            iSegment = i;
        }
    };
    if (_cPoints == 1) {
        consider(0, pPoints[0], pPoints[0]);
        return fBest;
    }
    for (std::size_t i = 0; i + 1 < _cPoints; ++i) consider(i, pPoints[i], pPoints[i + 1]);
    if (fClosed) consider(_cPoints - 1, pPoints[_cPoints - 1], pPoints[0]);
    return fBest;
}

bool IsNearPolyline(const CMapPoint* pPoints, std::size_t cPoints, const CMapPoint& p, float r,
                    float k, bool fClosed) {
    if (cPoints < 2) return false;
    if (!NearBoundingBox(pPoints, cPoints, p, r, k)) return false;
    const float r2 = r * r;
    CMapPoint pt;
    for (std::size_t i = 0; i + 1 < cPoints; ++i)
        if (NearestPointOnSegment(pPoints[i], pPoints[i + 1], p, k, pt) <= r2) return true;
    if (fClosed && NearestPointOnSegment(pPoints[cPoints - 1], pPoints[0], p, k, pt) <= r2)
        return true;
    return false;
}

bool IsNearPolygon(const CMapPoint* pPoints, std::size_t cPoints, const CMapPoint& p, float r,
                   float k) {
    if (cPoints == 0 || !NearBoundingBox(pPoints, cPoints, p, r, k)) return false;
    if (cPoints >= 3 && PointInPolygon(pPoints, cPoints, p)) return true;
    return IsNearPolyline(pPoints, cPoints, p, r, k, true);
}

bool PointInPolygon(const CMapPoint* pPoints, std::size_t _cPoints, const CMapPoint& p) {
    VELKA_ASSERT(_cPoints >= 3);
    if (_cPoints < 3) return false;
    // Crossings of the half-line to the left of p, with "above" meaning
    // y > p.y: a vertex on the line then counts once exactly when the
    // outline passes from one side to the other (a run of horizontal edges
    // on the line included), and never when it only touches the line.
    bool fInside = false;
    for (std::size_t i = 0; i < _cPoints; ++i) {
        const CMapPoint& a = pPoints[i];
        const CMapPoint& b = pPoints[i + 1 == _cPoints ? 0 : i + 1];
        if (a == b) continue; // zero-length edge
        if (a == p) return true;
        if (a.lY == p.lY && b.lY == p.lY) {
            if ((a.lX <= p.lX && p.lX <= b.lX) || (b.lX <= p.lX && p.lX <= a.lX)) return true;
            continue;
        }
        if ((a.lY > p.lY) == (b.lY > p.lY)) continue;
        // Sign of (crossing x - p.x) times the sign of (b.y - a.y), exactly.
        const Int128 num =
            static_cast<Int128>(static_cast<std::int64_t>(a.lX) - p.lX) * (static_cast<std::int64_t>(b.lY) - a.lY) +
            static_cast<Int128>(static_cast<std::int64_t>(p.lY) - a.lY) * (static_cast<std::int64_t>(b.lX) - a.lX);
        if (num == 0) return true; // the crossing is p itself
        if ((num < 0) != (b.lY < a.lY)) fInside = !fInside;
    }
    return fInside;
}

} // namespace velka
