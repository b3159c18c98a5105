#include "geometry/geodesy.h"

#include <cmath>

#include "geometry/fast_math.h"

namespace velka {

const signed char g_GeoidGrid[c_cGeoidRows][c_cGeoidColumns] = {
    {-30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30, -30}, // -90
    {-53, -54, -55, -52, -48, -42, -38, -38, -29, -26, -26, -24, -23, -21, -19, -16, -12, -8, -4, -1, 1, 4, 4, 6, 5, 4, 2, -6, -15, -24, -33, -40, -48, -50, -53, -52, -53}, // -80
    {-61, -60, -61, -55, -49, -44, -38, -31, -25, -16, -6, 1, 4, 5, 4, 2, 6, 12, 16, 16, 17, 21, 20, 26, 26, 22, 16, 10, -1, -16, -29, -36, -46, -55, -54, -59, -61}, // -70
    {-45, -43, -37, -32, -30, -26, -23, -22, -16, -10, -2, 10, 20, 20, 21, 24, 22, 17, 16, 19, 25, 30, 35, 35, 33, 30, 27, 10, -2, -14, -23, -30, -33, -29, -35, -43, -45}, // -60
    {-15, -18, -18, -16, -17, -15, -10, -10, -8, -2, 6, 14, 13, 3, 3, 10, 20, 27, 25, 26, 34, 39, 45, 45, 38, 39, 28, 13, -1, -15, -22, -22, -18, -15, -14, -10, -15}, // -50
    {21, 6, 1, -7, -12, -12, -12, -10, -7, -1, 8, 23, 15, -2, -6, 6, 21, 24, 18, 26, 31, 33, 39, 41, 30, 24, 13, -2, -20, -32, -33, -27, -14, -2, 5, 20, 21}, // -40
    {46, 22, 5, -2, -8, -13, -10, -7, -4, 1, 9, 32, 16, 4, -8, 4, 12, 15, 22, 27, 34, 29, 14, 15, 15, 7, -9, -25, -37, -39, -23, -14, 15, 33, 34, 45, 46}, // -30
    {51, 27, 10, 0, -9, -11, -5, -2, -3, -1, 9, 35, 20, -5, -6, -5, 0, 13, 17, 23, 21, 8, -9, -10, -11, -20, -40, -47, -45, -25, 5, 23, 45, 58, 57, 63, 51}, // -20
    {36, 22, 11, 6, -1, -8, -10, -8, -11, -9, 1, 32, 4, -18, -13, -9, 4, 14, 12, 13, -2, -14, -25, -32, -38, -60, -75, -63, -26, 0, 35, 52, 68, 76, 64, 52, 36}, // -10
    {22, 16, 17, 13, 1, -12, -23, -20, -14, -3, 14, 10, -15, -27, -18, 3, 12, 20, 18, 12, -13, -9, -28, -49, -62, -89, -102, -63, -9, 33, 58, 73, 74, 63, 50, 32, 22}, // 0
    {13, 12, 11, 2, -11, -28, -38, -29, -10, 3, 1, -11, -41, -42, -16, 3, 17, 33, 22, 23, 2, -3, -7, -36, -59, -90, -95, -63, -24, 12, 53, 60, 58, 46, 36, 26, 13}, // 10
    {5, 10, 7, -7, -23, -39, -47, -34, -9, -10, -20, -45, -48, -32, -9, 17, 25, 31, 31, 26, 15, 6, 1, -29, -44, -61, -67, -59, -36, -11, 21, 39, 49, 39, 22, 10, 5}, // 20
    {-7, -5, -8, -15, -28, -40, -42, -29, -22, -26, -32, -51, -40, -17, 17, 31, 34, 44, 36, 28, 29, 17, 12, -20, -15, -40, -33, -34, -34, -28, 7, 29, 43, 20, 4, -6, -7}, // 30
    {-12, -10, -13, -20, -31, -34, -21, -16, -26, -34, -33, -35, -26, 2, 33, 59, 52, 51, 52, 48, 35, 40, 33, -9, -28, -39, -48, -59, -50, -28, 3, 23, 37, 18, -1, -11, -12}, // 40
    {-8, 8, 8, 1, -11, -19, -16, -18, -22, -35, -40, -26, -12, 24, 45, 63, 62, 59, 47, 48, 42, 28, 12, -10, -19, -33, -43, -42, -43, -29, -2, 17, 23, 22, 6, 2, -8}, // 50
    {2, 9, 17, 10, 13, 1, -14, -30, -39, -46, -42, -21, 6, 29, 49, 65, 60, 57, 47, 41, 21, 18, 14, 7, -3, -22, -29, -32, -32, -26, -15, -2, 13, 17, 19, 6, 2}, // 60
    {2, 2, 1, -1, -3, -7, -14, -24, -27, -25, -19, 3, 24, 37, 47, 60, 61, 58, 51, 43, 29, 20, 12, 5, -2, -10, -14, -12, -10, -14, -12, -6, -2, 3, 6, 4, 2}, // 70
    {3, 1, -2, -3, -3, -3, -1, 3, 1, 5, 9, 11, 19, 27, 31, 34, 33, 34, 33, 34, 28, 23, 17, 13, 9, 4, 4, 1, -2, -2, 0, 2, 3, 2, 1, 1, 3}, // 80
    {13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13}, // 90
};

namespace {

// Degrees to radians with pi in single precision, as every caller expects.
constexpr float c_fDegToRad = c_PI / 180.0f;
constexpr double c_dDegToRad = static_cast<double>(c_PI) / 180.0;

struct Ecef {
    double x, y, z, n;
};

// A point on the ellipsoid surface and its prime-vertical radius N.
Ecef ToEcef(float lon, float lat) {
    const double phi = lat * c_dDegToRad;
    const double lambda = lon * c_dDegToRad;
    const double s = std::sin(phi);
    const double n = c_dEquatorialRadius / std::sqrt(1 - c_dEccentricity2 * s * s);
    return {n * std::cos(phi) * std::cos(lambda), n * std::cos(phi) * std::sin(lambda),
            n * (1 - c_dEccentricity2) * s, n};
}

} // namespace

float Course(float lon1, float lat1, float lon2, float lat2) {
    if (std::fabs(lon1 - lon2) < 1e-6f && std::fabs(lat1 - lat2) < 1e-6f) return 0;
    if (std::fabs(lat1 - 90) < 1e-5f) return 180; // every course from the north pole is south
    if (std::fabs(lat1 + 90) < 1e-5f) return 0;
    // Radians in double: a float angle would blur courses over short legs.
    const double k = static_cast<double>(c_fDegToRad);
    const double phi1 = lat1 * k;
    const double phi2 = lat2 * k;
    const double delta = (static_cast<double>(lon2) - lon1) * k;
    const double c2 = std::cos(phi2);
    double course = std::atan2(std::sin(delta) * c2,
                               std::cos(phi1) * std::sin(phi2) - std::sin(phi1) * c2 * std::cos(delta)) *
                    180 / static_cast<double>(c_PI);
    if (course < 0) course += 360;
    float f = static_cast<float>(course);
    if (f >= 360) f -= 360; // a tiny negative angle plus 360 can round up to 360
    return f;
}

float CourseChange(float lon1, float lat1, float lon2, float lat2, float lon3, float lat3) {
    float d = Course(lon2, lat2, lon3, lat3) - Course(lon1, lat1, lon2, lat2);
    if (d < -180)
        d += 360;
    else if (d > 180)
        d -= 360;
    return d;
}

double Distance(float lon1, float lat1, float lon2, float lat2) {
    const Ecef p1 = ToEcef(lon1, lat1);
    const Ecef p2 = ToEcef(lon2, lat2);
    const double dx = p1.x - p2.x, dy = p1.y - p2.y, dz = p1.z - p2.z;
    const double c = std::sqrt(dx * dx + dy * dy + dz * dz);
    // Rounding can push the half-chord ratio of near-antipodal points past 1.
    const double ratio = std::fmin(0.5 * c / p1.n, 1.0);
    return 2 * p1.n * std::asin(ratio);
}

double FastDistance(float lon1, float lat1, float lon2, float lat2) {
    const double k = c_dEquatorialRadius * c_dDegToRad;
    const double dx = std::cos(lat1 * c_dDegToRad) * (static_cast<double>(lon1) - lon2) * k;
    const double dy = (static_cast<double>(lat1) - lat2) * k;
    return std::sqrt(dx * dx + dy * dy);
}

float GeoidHeight(float lat, float lon) {
    const double fr = std::floor((static_cast<double>(lat) + 90) / 10);
    const double fc = std::floor((static_cast<double>(lon) + 180) / 10);
    // Each index on its own: a longitude past 180 must not wrap into the
    // next row of the grid.
    if (!(fr >= 0 && fr < c_cGeoidRows && fc >= 0 && fc < c_cGeoidColumns)) return 0;
    const int r = static_cast<int>(fr), c = static_cast<int>(fc);
    const int r2 = r >= c_cGeoidRows - 1 ? r : r + 1;
    const int c2 = c >= c_cGeoidColumns - 1 ? c : c + 1;
    const double x1 = 10.0 * c - 180, x2 = 10.0 * c2 - 180;
    const double y1 = 10.0 * r - 90, y2 = 10.0 * r2 - 90;
    const double sw = g_GeoidGrid[r][c], se = g_GeoidGrid[r][c2];
    const double nw = g_GeoidGrid[r2][c], ne = g_GeoidGrid[r2][c2];
    const double la = lat, lo = lon;
    const bool fSameY = std::fabs(y1 - y2) < 1e-6, fSameX = std::fabs(x1 - x2) < 1e-6;
    double h;
    if (fSameY && fSameX)
        h = sw;
    else if (fSameY)
        h = ((lo - x1) * ne + (x2 - lo) * sw) / (x2 - x1);
    else if (fSameX)
        h = ((la - y1) * ne + (y2 - la) * sw) / (y2 - y1);
    else
        h = ((la - y1) * (lo - x1) * ne + (y2 - la) * (lo - x1) * se + (la - y1) * (x2 - lo) * nw +
             (y2 - la) * (x2 - lo) * sw) /
            ((y2 - y1) * (x2 - x1));
    return static_cast<float>(h);
}

} // namespace velka
