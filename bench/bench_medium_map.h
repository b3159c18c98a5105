// The map the benchmarks measure: the medium OpenStreetMap extract
// compiled by mapc (the demo town when the extract is absent).
#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "tools/mapc/demotown.h"
#include "tools/mapc/mapc_osm.h"
#include "tools/mapc/zem_writer.h"

namespace velka::bench {

// An extract of the corpus compiled by mapc (the demo town when the
// extract is absent).
inline std::vector<BYTE> CompileCorpusExtract(const std::string& strExtract) {
    std::string input = std::string(VELKA_CORPUS_DIR) + "/osm/" + strExtract;
    const std::string demo = std::filesystem::temp_directory_path() / "velka-bench-demo.osm";
    if (!std::filesystem::exists(input)) {
        const std::string osm = mapc::DemoTownOsm();
        WriteFileAtomic(demo, osm.data(), osm.size());
        input = demo;
    }
    mapc::CStyle style;
    std::string err;
    style.Load(std::string(VELKA_SOURCE_DIR) + "/data/runtime/osm.style", err);
    mapc::CMapcOptions options;
    options.inputs = {input};
    mapc::CMapcMap map;
    std::vector<BYTE> bytes;
    if (mapc::CompileOsm(options, style, map, err)) mapc::EncodeZem(map, bytes, err);
    return bytes;
}

inline const std::vector<BYTE>& MediumMapBytes() {
    static const std::vector<BYTE> s_bytes = CompileCorpusExtract("liechtenstein-20150727.osm.pbf");
    return s_bytes;
}

} // namespace velka::bench
