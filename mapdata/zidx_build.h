// Building an atlas index: every native map of a folder with its extent and
// scale range, and the cities of all maps merged into one sorted list. The
// index is written whole or not at all: a cancelled or failed indexing
// leaves the previous index as it was.
#pragma once
#include <functional>
#include <string>

#include "platform/win_types.h"
#include "shell/error.h"
#include "shell/string_ids.h"

namespace velka {

// A message of the indexing: one of the IDS_ATLAS_* texts with its arguments.
inline CError AtlasError(UINT uId, std::vector<CErrorArg> args = {}) {
    return CError(static_cast<ErrorCode>(uId), std::move(args));
}

// What the indexing reports to whoever runs it; every member may be empty.
struct CAtlasIndexHooks {
    // The phase now running: IDS_ATLAS_INDEXING, then IDS_ATLAS_INDEXING_CITIES.
    std::function<void(UINT uTextId)> fnPhase;
    // Progress of the phase in percent; false cancels.
    std::function<bool(int nPercent)> fnProgress;
    // A message for the user.
    std::function<void(const CError& message)> fnMessage;
    // ReindexAtlas calls it before it replaces an index: the caller closes
    // the atlas when it is the open map (and says so).
    std::function<void(const std::u16string& strIndex)> fnCloseIfOpen;
};

// Results of CreateZidx and ReindexAtlas besides the number of maps.
constexpr int c_nAtlasNoMaps = 0;
constexpr int c_nAtlasCancelled = -1;
constexpr int c_nAtlasFailed = -2; // the index could not be written (message given)

// Indexes the folder: the number of maps indexed, or one of the results
// above. Maps are taken in name order; names longer than 28 characters are
// left out.
int CreateZidx(const std::u16string& strFolder, const CAtlasIndexHooks& hooks);
// As CreateZidx, and when the folder has no maps any more its old index is
// deleted (IDS_ATLAS_NO_MAPS is reported).
int ReindexAtlas(const std::u16string& strFolder, const CAtlasIndexHooks& hooks);

} // namespace velka
