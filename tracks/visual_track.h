// The on-screen track: the last 10000 positions in a ring kept in the
// memory-mapped file "Tracks.bin" in the tracks folder, so that the path
// survives a restart, drawn over the map as polylines with a fixed pen.
//
// Tracks.bin is exactly 80008 bytes: dwEnd (next index, 0..9999), the
// wrapped flag, then 10000 points of two little-endian words: longitude in
// semicircles, and latitude in semicircles as a 31-bit value with bit 31
// marking a segment start (not joined to the point before). A file of any
// other size, or with dwEnd out of range, is cleared at open.
//
// AddVisualPoint runs on the GPS reader thread, DrawVisualTrack on the
// user-interface thread; the on-screen-track lock serialises them. Neither
// allocates.
#pragma once
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "geometry/map_types.h"
#include "platform/canvas.h"
#include "platform/win_types.h"
#include "shell/error.h"

namespace velka {

inline constexpr DWORD c_cMaxPoints = 10000;
inline constexpr int c_cPolylinePoints = 1000;

struct CTrackLogPoint {
    DWORD dwLongitude; // semicircles, signed
    DWORD dwLatitude;  // bits 0..30 latitude in semicircles (signed 31-bit), bit 31 segment start
};
struct CTrackLog {
    DWORD dwEnd;
    DWORD dwWrapped;
    CTrackLogPoint aPoints[c_cMaxPoints];
};
inline constexpr std::size_t c_cbTrackLog = 8 + 8 * c_cMaxPoints;
static_assert(sizeof(CTrackLog) == c_cbTrackLog);

inline constexpr DWORD c_dwSegmentStart = 0x80000000u;
inline constexpr COLORREF c_crVisualTrack = RGB(207, 4, 218);

// A non-owning reference to a callable, cheap to pass and never
// allocating; the callable must outlive the call it is passed to.
template <class Sig>
class CFunctionRef;
template <class R, class... Args>
class CFunctionRef<R(Args...)> {
public:
    template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, CFunctionRef>>>
    CFunctionRef(F&& f) // NOLINT: implicit on purpose, like a function pointer
        : m_pObject(const_cast<void*>(static_cast<const void*>(&f))),
          m_pfnCall([](void* p, Args... args) -> R {
              return (*static_cast<std::remove_reference_t<F>*>(p))(std::forward<Args>(args)...);
          }) {}
    R operator()(Args... args) const { return m_pfnCall(m_pObject, std::forward<Args>(args)...); }

private:
    void* m_pObject;
    R (*m_pfnCall)(void*, Args...);
};

// Program start: creates the pen (2 pixels wide at screen factor 1, else
// 3), opens or creates Tracks.bin, and enables it when "RecordTrack" is on.
// A ring that cannot be opened (CannotCreateFile) or mapped
// (CannotReadFile) is left unmapped and its error returned for the caller
// to show.
[[nodiscard]] CError OpenOnScreenTrack(int nScreenFactor = 1);
// Program end: unmaps the ring (its contents stay in the file).
void CloseOnScreenTrack();
// Appends a position (degrees) while enabled and mapped.
void AddVisualPoint(float fLongitude, float fLatitude);
// The next point starts a new segment.
void BreakVisualTrack();
void EnableVisualTrack();
// Disables and breaks.
void DisableVisualTrack();
bool IsVisualTrackEnabled();
bool IsVisualTrackMapped();
// The pen the track is drawn with.
CPenDesc VisualTrackPen();

// Draws the ring oldest first on the canvas, through the view's
// map-to-screen transform; points farther than one view size outside the
// view (cxView x cyView pixels) cut the path. The rendering pass's
// interruption test is asked before every polyline; true stops the drawing
// at once, and the call returns false. The callables are used only during
// the call.
using MapToScreenFn = CFunctionRef<POINT(const CMapPoint&)>;
using InterruptTestFn = CFunctionRef<bool()>;
bool DrawVisualTrack(ICanvas& canvas, MapToScreenFn mapToScreen, InterruptTestFn isInterrupted,
                     int cxView, int cyView);

// Decodes one ring point into map units (semicircles halved).
CMapPoint VisualPointToMap(const CTrackLogPoint& pt);

} // namespace velka
