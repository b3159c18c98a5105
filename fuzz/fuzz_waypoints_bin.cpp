// Feeds arbitrary bytes to the route store file reader, then writes what
// was read and reads that again: the second read must give the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "waypoints/waypoint_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t cb) {
    velka::CWaypointStore store;
    store.Parse(std::span<const velka::BYTE>(pData, cb));
    const std::vector<velka::BYTE> once = store.Serialize();
    velka::CWaypointStore again;
    if (!again.Parse(once)) std::abort();
    if (again.Serialize() != once) std::abort();
    return 0;
}
