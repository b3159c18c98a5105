#include "geometry/fast_math.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "platform/debug.h"

namespace velka {

const float g_SinTable[c_cSinSize + 1] = {
    0.0f, 0.0174524058f, 0.0348994955f, 0.0523359552f, 0.0697564706f, 0.0871557444f,
    0.104528464f, 0.121869341f, 0.139173105f, 0.156434461f, 0.173648179f, 0.190808997f,
    0.207911685f, 0.224951059f, 0.241921902f, 0.258819044f, 0.275637358f, 0.29237169f,
    0.309017003f, 0.325568169f, 0.342020154f, 0.35836795f, 0.37460658f, 0.390731126f,
    0.406736642f, 0.42261827f, 0.438371152f, 0.453990489f, 0.469471574f, 0.484809607f,
    0.5f, 0.515038073f, 0.529919267f, 0.544639051f, 0.559192896f, 0.57357645f,
    0.587785244f, 0.601815045f, 0.615661502f, 0.629320383f, 0.642787635f, 0.656059027f,
    0.669130623f, 0.681998372f, 0.694658399f, 0.707106769f, 0.719339788f, 0.7313537f,
    0.74314481f, 0.754709601f, 0.766044438f, 0.777145982f, 0.788010776f, 0.798635483f,
    0.809017003f, 0.819152057f, 0.829037547f, 0.838670552f, 0.848048091f, 0.857167304f,
    0.866025388f, 0.874619722f, 0.882947564f, 0.891006529f, 0.898794055f, 0.906307817f,
    0.91354543f, 0.920504868f, 0.927183867f, 0.933580399f, 0.939692616f, 0.945518553f,
    0.95105654f, 0.956304729f, 0.96126169f, 0.965925813f, 0.970295727f, 0.974370062f,
    0.978147626f, 0.981627166f, 0.98480773f, 0.987688363f, 0.990268052f, 0.992546141f,
    0.994521916f, 0.99619472f, 0.997564077f, 0.99862951f, 0.999390841f, 0.99984771f,
    1.0f,
};

const float g_AtanTable[c_cAtanSize + 1] = {
    0.0f, 0.00999966636f, 0.0199973341f, 0.0299910046f, 0.0399786867f, 0.0499583967f,
    0.0599281564f, 0.069885999f, 0.0798299834f, 0.0897581726f, 0.0996686518f, 0.109559529f,
    0.119428925f, 0.129275009f, 0.139095947f, 0.148889944f, 0.158655256f, 0.168390155f,
    0.178092942f, 0.187761948f, 0.197395563f, 0.206992194f, 0.216550305f, 0.226068392f,
    0.23554498f, 0.244978666f, 0.254368067f, 0.26371184f, 0.273008704f, 0.282257408f,
    0.291456789f, 0.300605685f, 0.309702933f, 0.31874755f, 0.327738494f, 0.336674809f,
    0.345555574f, 0.354379922f, 0.36314702f, 0.371856064f, 0.380506366f, 0.389097244f,
    0.39762798f, 0.406098068f, 0.414506882f, 0.422853917f, 0.431138754f, 0.439360887f,
    0.447519988f, 0.45561564f, 0.463647604f, 0.471615583f, 0.479519278f, 0.48735857f,
    0.495133251f, 0.502843201f, 0.510488331f, 0.518068552f, 0.525583804f, 0.533034086f,
    0.540419519f, 0.547740042f, 0.554995716f, 0.562186718f, 0.569313169f, 0.576375246f,
    0.58337301f, 0.590306759f, 0.597176671f, 0.603982985f, 0.610725939f, 0.617405891f,
    0.62402308f, 0.630577743f, 0.637070358f, 0.643501103f, 0.649870455f, 0.656178713f,
    0.662426293f, 0.668613553f, 0.67474097f, 0.680808842f, 0.686817646f, 0.692767859f,
    0.698659837f, 0.704494059f, 0.710271001f, 0.715991139f, 0.721654832f, 0.727262676f,
    0.732815087f, 0.738312602f, 0.743755579f, 0.749144614f, 0.754480183f, 0.759762764f,
    0.764992833f, 0.770170927f, 0.775297523f, 0.780373096f, 0.785398185f,
};

std::int32_t fast_floor(float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    const int e = static_cast<int>((bits >> 23) & 0xFF);
    const std::uint32_t fraction = bits & 0x7FFFFF;
    const std::uint32_t m = fraction | 0x800000;
    const bool fNegative = (bits & 0x80000000u) != 0;
    if ((bits & 0x7FFFFFFFu) == 0) return 0; // +0.0 and -0.0
    if (e == 0xFF) // infinities and NaN
        return fraction ? 0 : (fNegative ? INT32_MIN : INT32_MAX);
    if (e >= 158) // |f| >= 2^31: beyond the result type
        return fNegative ? INT32_MIN : INT32_MAX;
    if (!fNegative) {
        if (e < 127) return 0;
        if (e < 150) return static_cast<std::int32_t>(m >> (150 - e));
        return static_cast<std::int32_t>(m << (e - 150));
    }
    if (e < 127) return -1;
    if (e >= 150) return -static_cast<std::int32_t>(m << (e - 150));
    const auto r = static_cast<std::int32_t>(m >> (150 - e));
    return (fraction & (0x7FFFFFu >> (e - 127))) ? -r - 1 : -r;
}

std::int32_t fast_floor_d(double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    const int e = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & 0xFFFFFFFFFFFFFull;
    const std::uint64_t m = fraction | (1ull << 52);
    const bool fNegative = (bits >> 63) != 0;
    if ((bits & 0x7FFFFFFFFFFFFFFFull) == 0) return 0;
    if (e == 0x7FF) return fraction ? 0 : (fNegative ? INT32_MIN : INT32_MAX);
    if (!fNegative) {
        if (e < 1023) return 0;
        if (e >= 1023 + 31) return INT32_MAX;
        return static_cast<std::int32_t>(m >> (1075 - e)); // e < 1075 here
    }
    if (e < 1023) return -1;
    if (e > 1023 + 31) return INT32_MIN;
    const auto r = static_cast<std::int64_t>(m >> (1075 - e));
    const std::int64_t v = (fraction & (0xFFFFFFFFFFFFFull >> (e - 1023))) ? -r - 1 : -r;
    return v < INT32_MIN ? INT32_MIN : static_cast<std::int32_t>(v);
}

int fast_log2(std::uint32_t n) { return std::bit_width(n); }

std::uint32_t fast_sqrt(std::uint32_t n) {
    // Restoring square root: one result bit per step, from 2^15 down, kept
    // when the remaining radicand allows it. Branch-free: the comparison
    // becomes a mask, so the 16 steps run without mispredictions.
    std::uint32_t root = 0;
    std::uint32_t rem = n;
    for (std::uint32_t bit = 1u << 30; bit != 0; bit >>= 2) {
        const std::uint32_t trial = root + bit;
        const std::uint32_t keep = 0u - static_cast<std::uint32_t>(rem >= trial);
        rem -= trial & keep;
        root = (root >> 1) + (bit & keep);
    }
    return root;
}

namespace {

// The tables cover [-2 pi, 2 pi]; beyond, the library function answers.
bool InTableRange(float _f) {
    const bool fIn = -2 * c_PI <= _f && _f <= 2 * c_PI;
    VELKA_ASSERT(-2 * c_PI <= _f && _f <= 2 * c_PI);
    return fIn;
}

// A table index from a fraction of a quarter turn in [0, 1].
int SinIndex(float q) {
    const int index = fast_floor(q * 90 + 0.5f);
    return index < 0 ? 0 : index > c_cSinSize ? c_cSinSize : index;
}

} // namespace

float fast_sin(float _f) {
    if (!InTableRange(_f)) return std::sin(_f);
    float q = std::fabs(_f) / (c_PI / 2);
    float sign = 1;
    if (q > 2) {
        sign = -1;
        q = 4 - q;
    }
    if (q > 1) q = 2 - q;
    float ret = sign * g_SinTable[SinIndex(q)];
    if (_f < 0) ret = -ret;
#ifndef NDEBUG
    const float r2 = std::sin(_f);
    VELKA_ASSERT(std::fabs(r2 - ret) < 0.01);
#endif
    return ret;
}

float fast_cos(float _f) {
    if (!InTableRange(_f)) return std::cos(_f);
    float q = std::fabs(_f) / (c_PI / 2);
    if (q > 2) q = 4 - q;
    const float sign = q > 1 ? -1.0f : 1.0f;
    const float ret = sign * g_SinTable[SinIndex(1 - (q > 1 ? 2 - q : q))];
#ifndef NDEBUG
    const float r2 = std::cos(_f);
    VELKA_ASSERT(std::fabs(r2 - ret) < 0.01);
#endif
    return ret;
}

float fast_atan(std::int32_t y, std::int32_t x) {
    if (y == 0) return 0;
    if (x == 0) return y > 0 ? c_PI / 2 : -c_PI / 2;
    // 64-bit so that folding INT32_MIN cannot overflow.
    std::int64_t yy = y, xx = x;
    if (xx < 0) {
        xx = -xx;
        yy = -yy;
    }
    const std::int64_t a = yy < 0 ? -yy : yy;
    float b;
    if (xx > a)
        b = g_AtanTable[fast_floor(static_cast<float>(a) / static_cast<float>(xx) * 100 + 0.5f)];
    else
        b = c_PI / 2 -
            g_AtanTable[fast_floor(static_cast<float>(xx) / static_cast<float>(a) * 100 + 0.5f)];
    const float ret = yy < 0 ? -b : b;
#ifndef NDEBUG
    const double r2 = std::atan2(static_cast<double>(yy), static_cast<double>(xx));
    VELKA_ASSERT(std::fabs(r2 - ret) < 0.005);
#endif
    return ret;
}

} // namespace velka
