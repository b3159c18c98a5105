// The atlas of the tiles the Liechtenstein extract falls into at 0.15
// degrees, cut, compiled and indexed as velkatool mapc --atlas does. The
// tiles are built once per test program and shared by its tests.
#pragma once
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "mapdata/zidx_build.h"
#include "mapdata/zidx_parser.h"
#include "platform/text.h"
#include "tests/support/test_support.h"
#include "tools/mapc/mapc_osm.h"
#include "tools/mapc/mapc_style.h"
#include "tools/mapc/mapc_tiles.h"
#include "tools/mapc/zem_writer.h"

namespace velka::test {

inline std::filesystem::path LiechtensteinExtract() { return CorpusPath("osm/liechtenstein-20150727.osm.pbf"); }

class LiechtensteinAtlas : public testing::Test {
protected:
    static void SetUpTestSuite() {
        namespace fs = std::filesystem;
        using namespace velka::mapc;
        const fs::path path = LiechtensteinExtract();
        if (!fs::exists(path) || s_pDir) return;
        s_pDir = new TempDir;
        CTileOptions to;
        to.dSize = 0.15;
        to.strFolder = s_pDir->Path().string();
        std::string err;
        std::vector<CTile> tiles;
        ASSERT_TRUE(CutTiles(path.string(), to, tiles, err)) << err;
        ASSERT_GE(tiles.size(), 4u);
        s_cTiles = static_cast<int>(tiles.size());
        CStyle style;
        ASSERT_TRUE(style.Load(SourcePath("data/runtime/osm.style").string(), err)) << err;
        for (const CTile& t : tiles) {
            CMapcOptions options;
            options.inputs = {t.strFile};
            CMapcMap map;
            ASSERT_TRUE(CompileOsm(options, style, map, err)) << t.strName << ": " << err;
            std::vector<BYTE> bytes;
            ASSERT_TRUE(EncodeZem(map, bytes, err)) << t.strName << ": " << err;
            std::ofstream(s_pDir->File(t.strName + ".zem"), std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
            fs::remove(t.strFile);
            ASSERT_TRUE(ClipTileBounds(s_pDir->File(t.strName + ".zem"), t));
        }
        ASSERT_EQ(CreateZidx(FromUtf8(s_pDir->Path().string()), {}), s_cTiles);
    }
    static void TearDownTestSuite() {
        delete s_pDir;
        s_pDir = nullptr;
    }
    void SetUp() override {
        VELKA_REQUIRE_CORPUS(LiechtensteinExtract());
        ASSERT_TRUE(s_pDir);
        m_pMap = OpenMapFile(FromUtf8(s_pDir->Path().string()), c_dwOpenAll);
        m_pAtlas = AsAtlas(m_pMap.get());
        ASSERT_TRUE(m_pAtlas);
    }
    static inline TempDir* s_pDir = nullptr;
    static inline int s_cTiles = 0;
    std::unique_ptr<CMapParser> m_pMap;
    CZidxParser* m_pAtlas = nullptr;
};

} // namespace velka::test
