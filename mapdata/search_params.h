// What a map search carries besides its texts: the set of object types to
// look for, the progress range with its cancel flag, and the rectangle a
// radius in metres spans around a point.
#pragma once
#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

#include "geometry/map_types.h"
#include "platform/win_types.h"

namespace velka {

// One bit per (kind, type): bit kind * 2^17 + type, in 32-bit words.
class CTypeFilter {
public:
    static constexpr std::size_t c_cWords = 0x3000;

    CTypeFilter(); // cleared: nothing passes
    void Clear();
    void SetAll();
    void Set(int nKind, WORD wType);
    void Reset(int nKind, WORD wType);
    // False for kinds outside points, polylines and polygons.
    bool Test(int nKind, WORD wType) const;
    bool IsEmpty() const;
    friend bool operator==(const CTypeFilter&, const CTypeFilter&) = default;

private:
    std::vector<DWORD> m_words;
};

// The part of a progress window's range a search reports into, and the
// flag that cancels it. The report callback runs on the searching thread.
struct CSearchProgress {
    int nStart = 0;
    int nEnd = 100;
    const std::atomic<bool>* pfCancel = nullptr;
    std::function<void(int nPosition)> fnReport;
    // Called when the search moves to another stage (the string id of its
    // caption, such as sorting); may be empty.
    std::function<void(UINT nCaptionId)> fnStage = {};

    bool Cancelled() const { return pfCancel && pfCancel->load(std::memory_order_relaxed); }
    // Reports step i of n scaled into the range; false when cancelled.
    bool Step(std::size_t i, std::size_t n) const;
    // Part k of n equal parts of the range, with the same flag and callback.
    CSearchProgress Part(std::size_t k, std::size_t n) const;
};

// Radii beyond this (half the earth's circumference) are taken as this.
constexpr double c_dMaxSearchRadiusMetres = 20000000.0;

// A radius around a point in map units: y extent from metres, x extent
// widened by the latitude's cosine, both clamped to the map-unit range so
// neither a pole nor a huge or negative radius overflows.
struct CSearchExtent {
    std::int64_t llX = 0;
    std::int64_t llY = 0;
    double dCos = 1.0;   // cosine of the point's latitude, in [0, 1]
    CMapRect rc;         // point +- extents, clamped
};
CSearchExtent SearchExtent(LONG x, LONG y, double dRadiusMetres);

// Cosine of the latitude of a map-unit y, in [0, 1].
double CosineOfLatitude(LONG y);

} // namespace velka
