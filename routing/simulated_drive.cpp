#include "routing/simulated_drive.h"

#include "geometry/geodesy.h"
#include "routing/route_geometry.h"

namespace velka {

std::vector<GpsFix> SimulatedDrive(const Route& route, double dKmh) {
    std::vector<GpsFix> fixes;
    const double v = dKmh / 3.6;
    double dCarry = 0; // metres into the current leg where the next fix falls
    double t = 0;
    for (std::size_t i = 0; i + 1 < route.points.size(); ++i) {
        const RoutePoint& a = route.points[i];
        const RoutePoint& b = route.points[i + 1];
        const double dLeg = Distance(PointLon(a), PointLat(a), PointLon(b), PointLat(b));
        const float fCourse = LegCourse(route, i);
        for (; dCarry <= dLeg; dCarry += v, t += 1) {
            const double f = dLeg > 0 ? dCarry / dLeg : 0;
            GpsFix fix;
            fix.SetPosition(static_cast<float>(PointLon(a) + (PointLon(b) - PointLon(a)) * f),
                            static_cast<float>(PointLat(a) + (PointLat(b) - PointLat(a)) * f));
            fix.SetCourse(fCourse);
            fix.SetSpeed(static_cast<float>(dKmh));
            fix.SetTime(t / 86400.0);
            fixes.push_back(fix);
        }
        dCarry -= dLeg;
    }
    if (!route.points.empty()) {
        GpsFix fix;
        fix.SetPosition(PointLon(route.points.back()), PointLat(route.points.back()));
        fix.SetSpeed(0);
        fix.SetTime(t / 86400.0);
        fixes.push_back(fix);
    }
    return fixes;
}

} // namespace velka
