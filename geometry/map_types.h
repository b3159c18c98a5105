// Map points and rectangles in map units: signed 32-bit, 2^31 units make
// 360 degrees, x east (longitude), y north (latitude). Rectangles are
// inclusive on all four sides.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace velka {

struct CMapPoint {
    std::int32_t lX = 0;
    std::int32_t lY = 0;
    friend bool operator==(const CMapPoint&, const CMapPoint&) = default;
};

struct CMapRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    friend bool operator==(const CMapRect&, const CMapRect&) = default;

    static constexpr std::int32_t Span(std::int32_t a, std::int32_t b) {
        const std::int64_t d = static_cast<std::int64_t>(b) - a;
        return d > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(d);
    }

    // The starting value of an accumulation: the first point added becomes
    // the whole rectangle.
    static constexpr CMapRect MakeEmpty() {
        return {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    }
    void SetEmpty() { *this = MakeEmpty(); }

    // Spans wider than 2^31 - 1 (only possible across the whole range) saturate.
    std::int32_t Width() const { return left < right ? Span(left, right) : 0; }
    std::int32_t Height() const { return top < bottom ? Span(top, bottom) : 0; }
    std::int32_t CenterX() const {
        return static_cast<std::int32_t>((static_cast<std::int64_t>(left) + right) / 2);
    }
    std::int32_t CenterY() const {
        return static_cast<std::int32_t>((static_cast<std::int64_t>(top) + bottom) / 2);
    }
    // True unless left < right and top < bottom.
    bool IsEmpty() const { return !(left < right && top < bottom); }
    bool IsInverted() const { return right < left || bottom < top; }

    bool Intersects(const CMapRect& o) const {
        return !(right < o.left || o.right < left || bottom < o.top || o.bottom < top);
    }
    bool Contains(std::int32_t x, std::int32_t y) const {
        return left <= x && x <= right && top <= y && y <= bottom;
    }
    bool Contains(const CMapPoint& p) const { return Contains(p.lX, p.lY); }
    bool Contains(const CMapRect& o) const {
        return o.left >= left && o.right <= right && o.top >= top && o.bottom <= bottom;
    }

    void Add(std::int32_t x, std::int32_t y) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
    void Add(const CMapPoint& p) { Add(p.lX, p.lY); }
    void Add(const CMapRect& o) {
        left = std::min(left, o.left);
        right = std::max(right, o.right);
        top = std::min(top, o.top);
        bottom = std::max(bottom, o.bottom);
    }
    void Add(const CMapPoint* pPoints, std::size_t cPoints) {
        for (std::size_t i = 0; i < cPoints; ++i) Add(pPoints[i]);
    }
    void Inflate(std::int32_t dx, std::int32_t dy) {
        left -= dx;
        right += dx;
        top -= dy;
        bottom += dy;
    }
    // May be inverted when the two do not meet.
    static CMapRect Intersection(const CMapRect& a, const CMapRect& b) {
        return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
    }
};

enum ObjectKind { rkPoint = 0, rkPolyline = 1, rkPolygon = 2, rkMax = 3 };

} // namespace velka
