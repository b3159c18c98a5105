// Cutting an OpenStreetMap file into tiles of a fixed size in degrees.
// Each tile gets the nodes inside it and every way and relation using one
// of them, complete: a way crossing a border brings all its nodes, and an
// area relation brings all its member ways, so roads and areas crossing a
// border are drawn whole in every tile they touch.
//
// Each object has one home tile: a node the tile its position falls in, a
// way that of its middle node, a relation the first of its tiles in grid
// order. The other tiles carry it marked with c_szTileCopyKey: it is drawn
// there (copied points excepted, their home tile draws them) but enters
// the search data (objects index, addresses, city membership) in its home
// tile alone, and an atlas lists it once. Places and administrative
// boundaries also come, marked, to the tiles within a city's reach, where
// objects may take their city from them.
#pragma once
#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velka::mapc {

// The tag marking an object in a tile that is not its home (value "yes").
inline constexpr const char* c_szTileCopyKey = "velka:tile_copy";
// The generator named in the header of every tile file, followed by the
// tile's cell ("velkatool mapc --atlas W,S,E,N" in degrees): the header's
// box stays the whole input's, which the clip stage needs.
inline constexpr const char* c_szTileGenerator = "velkatool mapc --atlas";

struct CTile {
    std::string strName;  // "N47.100E009.500": south-west corner
    std::string strFile;  // the tile's OSM file
    std::size_t cNodes = 0; // nodes inside the tile (not counting those of crossing ways)
    double dSouth = 0, dWest = 0, dNorth = 0, dEast = 0; // the cell, degrees
};

struct CTileOptions {
    double dSize = 0.25;  // degrees
    std::string strFolder; // where the tile files are written
    // Progress of the cutting in percent (three passes over the input).
    std::function<void(int nPercent)> progress;
};

// Writes one .osm.pbf per tile that holds at least one node; false with
// the reason. Tiles come back in name order.
bool CutTiles(const std::string& strInput, const CTileOptions& options, std::vector<CTile>& tiles,
              std::string& strError);

// Narrows the bounds in a compiled tile's header to its cell (the objects
// stay whole); false when the file cannot be updated.
bool ClipTileBounds(const std::string& strZem, const CTile& tile);

// The generator string of a tile's file, naming its cell.
std::string TileGenerator(const CTile& tile);

// What a tile file's generator string says: whether it names a tile at
// all, and the tile's cell (west, south, east, north in degrees) when it
// gives one in the form TileGenerator writes.
struct CTileGeneratorInfo {
    bool fTile = false;
    std::optional<std::array<double, 4>> cell;
};
CTileGeneratorInfo ParseTileGenerator(std::string_view strGenerator);

// The tile name of the cell whose south-west corner is (lat, lon).
std::string TileName(double dLat, double dLon);

} // namespace velka::mapc
