// velkatool mapc --atlas: a large OpenStreetMap file compiled as an atlas
// of tiles.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace velka::tool {

struct CMapcAtlasOptions {
    std::string strInput;
    std::string strAtlas;            // the atlas folder
    double dTileSize = 0.25;         // degrees
    std::size_t cJobs = 1;           // compilers running at once
    std::string strName;             // map name prefix; empty: the tile names
    std::vector<std::string> passOn; // options every tile's compilation gets
    bool fQuiet = false;
};

int RunMapcAtlas(const CMapcAtlasOptions& options);

} // namespace velka::tool
