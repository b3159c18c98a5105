// Shared body of the exchange importer fuzzers: one import into a fresh
// store, tracks collected, newer versions accepted; importers report
// through the target and show no boxes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/ui_host.h"
#include "waypoints/exchange.h"

inline int FuzzImport(velka::ImportFn pfnImport, velka::ProbeFn pfnProbe, const std::uint8_t* pData,
                      std::size_t cb, bool fWaypointsOnly = false) {
    std::span<const velka::BYTE> data(pData, cb);
    velka::CWaypointStore store;
    std::vector<velka::Track> tracks;
    velka::ImportTarget target(store);
    target.m_pTracks = &tracks;
    target.m_newer = velka::nvAccept;
    target.m_fWaypointsOnly = fWaypointsOnly;
    if (pfnProbe(data)) pfnImport(data, target);
    // What was imported must serialise and read back.
    velka::CWaypointStore again;
    if (!again.Parse(store.Serialize())) std::abort();
    if (!velka::HeadlessUiHost().Boxes().empty()) std::abort();
    return 0;
}
