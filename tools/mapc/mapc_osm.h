// The map compiler: OpenStreetMap files in, a native map model out. Reads
// nodes, ways and multipolygon relations with libosmium, maps tags to
// types with the style table, builds the road graph with its turn
// restrictions and generalises the geometry for each zoom level.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "tools/mapc/mapc_style.h"
#include "tools/mapc/zem_writer.h"

namespace velka::mapc {

// The zoom levels of compiled maps, coarsest first.
inline constexpr int c_anLevelBits[] = {14, 16, 18, 20, 22, 24};

struct CMapcOptions {
    std::vector<std::string> inputs;
    std::u16string strName;         // empty: the first input's file name
    DWORD dwLocale = 0xFFFFFFFF;    // 0xFFFFFFFF: guessed from the names' script
    bool fIndexes = true;           // write the cities and objects indexes
    bool fProgress = false;         // progress lines on stderr
    std::function<void(const std::string&)> progress; // where progress lines go
};

struct CIndexSummary;

// The whole compilation; pSummary (may be null) receives what the index
// stages found.
bool CompileOsm(const CMapcOptions& options, const CStyle& style, CMapcMap& map,
                std::string& strError, CIndexSummary* pSummary = nullptr);

// Degrees to map units (2^30 units = 180 degrees), rounded.
LONG DegreesToMapUnits(double d);

} // namespace velka::mapc
