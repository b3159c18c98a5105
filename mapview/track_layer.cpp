#include "mapview/track_layer.h"

#include "tracks/visual_track.h"

namespace velka {

bool DrawTrackLayer(CPaintContext& pc) {
    auto mapToScreen = [&pc](const CMapPoint& pt) { return pc.MapToScreen(pt); };
    auto isInterrupted = [&pc] { return pc.PumpMessages(); };
    ICanvas& dc = pc.Canvas();
    DrawVisualTrack(dc, mapToScreen, isInterrupted, dc.Width(), dc.Height());
    return pc.IsInterrupted();
}

} // namespace velka
