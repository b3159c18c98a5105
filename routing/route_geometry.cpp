#include "routing/route_geometry.h"

#include <algorithm>
#include <cmath>

#include "geometry/geodesy.h"

namespace velka {

double SemicirclesToDegrees(std::int32_t l) { return static_cast<double>(l) * (180.0 / 2147483648.0); }

std::int32_t DegreesToSemicircles(double d) {
    const double v = std::round(d * (2147483648.0 / 180.0));
    return static_cast<std::int32_t>(std::clamp(v, -2147483648.0, 2147483647.0));
}

float PointLon(const RoutePoint& p) { return static_cast<float>(SemicirclesToDegrees(p.X())); }
float PointLat(const RoutePoint& p) { return static_cast<float>(SemicirclesToDegrees(p.Y())); }
CMapPoint PointMapUnits(const RoutePoint& p) { return {p.X() / 2, p.Y() / 2}; }

double LegLength(const Route& route, std::size_t iFrom, std::size_t iTo) {
    const std::size_t c = route.points.size();
    if (c == 0) return 0;
    iTo = std::min(iTo, c - 1);
    double d = 0;
    for (std::size_t i = iFrom; i < iTo; ++i) {
        const RoutePoint& a = route.points[i];
        const RoutePoint& b = route.points[i + 1];
        d += Distance(PointLon(a), PointLat(a), PointLon(b), PointLat(b));
    }
    return d;
}

float LegCourse(const Route& route, std::size_t i) {
    if (i + 1 >= route.points.size()) return 0;
    const RoutePoint& a = route.points[i];
    const RoutePoint& b = route.points[i + 1];
    return Course(PointLon(a), PointLat(a), PointLon(b), PointLat(b));
}

float TurnAngleAt(const Route& route, std::size_t i) {
    if (i == 0 || i + 1 >= route.points.size()) return 0;
    const RoutePoint& a = route.points[i - 1];
    const RoutePoint& b = route.points[i];
    const RoutePoint& c = route.points[i + 1];
    // Identical neighbours have no course of their own: no turn.
    if ((a.X() == b.X() && a.Y() == b.Y()) || (b.X() == c.X() && b.Y() == c.Y())) return 0;
    return CourseChange(PointLon(a), PointLat(a), PointLon(b), PointLat(b), PointLon(c), PointLat(c));
}

void RecomputeAngles(Route& route) {
    const std::size_t c = route.points.size();
    if (c < 3) return;
    for (std::size_t i = 1; i + 1 < c; ++i) {
        RoutePoint& p = route.points[i];
        float fAngle = TurnAngleAt(route, i);
        const bool fManoeuvre = (p.btKind & rkRouting) && (p.btKind & rkManoeuvre);
        if (fManoeuvre && std::lround(fAngle) != 0) {
            const double dLimit = (p.btKind & rkRamp) ? 300.0 : 40.0;
            const bool fPositive = fAngle > 0;
            double dWalked = 0;
            for (std::size_t k = i + 1; k + 1 < c; ++k) {
                dWalked += LegLength(route, k - 1, k);
                if (dWalked > dLimit) break;
                const float a = TurnAngleAt(route, k);
                if (std::lround(a) == 0) continue;
                if (std::fabs(a) > 10 && (a > 0) != fPositive) break;
                fAngle += a;
                if (route.points[k].btKind & rkManoeuvre) break;
            }
            fAngle = std::clamp(fAngle, -180.0f, 180.0f);
        }
        p.lAngle = std::lround(fAngle);
    }
    route.points.front().lAngle = 0;
    route.points.back().lAngle = 0;
}

} // namespace velka
