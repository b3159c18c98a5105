#include "tests/search/search_map.h"

#include <fstream>

#include "tests/support/test_support.h"
#include "tools/mapc/mapc_osm.h"
#include "tools/mapc/mapc_style.h"
#include "tools/mapc/zem_writer.h"

namespace velka::test {

CCompiledMap CompileForSearch(const std::string& strPath, std::string& strError, bool fIndexes) {
    CCompiledMap m;
    mapc::CStyle style;
    if (!style.Load(SourcePath("data/runtime/osm.style").string(), strError)) return m;
    mapc::CMapcOptions options;
    options.inputs = {strPath};
    options.fIndexes = fIndexes;
    mapc::CMapcMap map;
    if (!mapc::CompileOsm(options, style, map, strError) || !mapc::EncodeZem(map, m.bytes, strError)) return m;
    m.pMap = OpenMapMemory(u"search.zem", m.bytes.data(), m.bytes.size(), c_dwOpenAll);
    if (!m.pMap) strError = "the compiled map does not open";
    return m;
}

CCompiledMap CompileXmlForSearch(const std::string& strXml, std::string& strError, bool fIndexes) {
    TempDir dir;
    const std::string path = dir.File("sketch.osm");
    { std::ofstream(path) << strXml; }
    return CompileForSearch(path, strError, fIndexes);
}

} // namespace velka::test
