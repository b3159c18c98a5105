// Maps for the search tests: an OpenStreetMap file or sketch compiled by the
// map compiler with the default style, held in memory.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "mapdata/map_parser.h"

namespace velka::test {

struct CCompiledMap {
    std::vector<BYTE> bytes;
    std::unique_ptr<CMapParser> pMap;
};

// Compiles an .osm or .osm.pbf file; pMap stays null (and strError says
// why) on failure.
CCompiledMap CompileForSearch(const std::string& strPath, std::string& strError, bool fIndexes = true);
// Compiles an OSM XML document.
CCompiledMap CompileXmlForSearch(const std::string& strXml, std::string& strError, bool fIndexes = true);

} // namespace velka::test
