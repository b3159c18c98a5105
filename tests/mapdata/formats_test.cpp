// Opening map files: the format probes, the error messages, the proxy
// that reopens its map, the file name limit.
#include <fstream>

#include <gtest/gtest.h>

#include "mapdata/map_parser.h"
#include "mapdata/zem_parser.h"
#include "mapdata/recording_paint.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/resources.h"
#include "tests/mapdata/golden_map.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& b) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()),
                                                static_cast<std::streamsize>(b.size()));
}

TEST(MapFormats, ProbesCheckSizeMagicVersionAndSizeField) {
    std::vector<std::uint8_t> b(564, 0);
    b[0] = 'G', b[1] = 'Z', b[2] = 'E', b[3] = 'M';
    test::PutLE(b, 8, 564, 4);
    EXPECT_TRUE(ProbeZem(b.data(), 564));
    test::PutLE(b, 8, 563, 4);
    EXPECT_FALSE(ProbeZem(b.data(), 563)); // 563 bytes are too few
    test::PutLE(b, 8, 600, 4);
    EXPECT_FALSE(ProbeZem(b.data(), 564)); // size field differs
    test::PutLE(b, 8, 564, 4);
    test::PutLE(b, 4, 5, 4);
    EXPECT_FALSE(ProbeZem(b.data(), 564)); // version above 4

    std::vector<std::uint8_t> z(32, 0);
    z[0] = 'Z', z[1] = 'I', z[2] = 'D', z[3] = 'X';
    for (int v : {0, 1}) {
        z[4] = static_cast<std::uint8_t>(v);
        EXPECT_TRUE(ProbeZidx(z.data(), 32)) << v;
    }
    z[4] = 2;
    EXPECT_FALSE(ProbeZidx(z.data(), 32));
    z[4] = 1;
    EXPECT_FALSE(ProbeZidx(z.data(), 31));

    std::vector<std::uint8_t> img(22, 0);
    const char* sig = "DSKIMG";
    for (int i = 0; i < 6; ++i) img[16 + i] = static_cast<std::uint8_t>(sig[i] ^ 0x5A);
    // XOR key: byte 16 XOR 'D'.
    EXPECT_TRUE(ProbeImg(img.data(), 22));
    EXPECT_FALSE(ProbeImg(img.data(), 21));
    img[20] ^= 1;
    EXPECT_FALSE(ProbeImg(img.data(), 22));
}

TEST(MapFormats, OpenMapFileReportsUnreadableAndUnknownFiles) {
    test::TempDir dir;
    HeadlessUiHost().ClearBoxes();
    const std::u16string missing = FromUtf8(dir.File("missing.zem"));
    CError error;
    EXPECT_FALSE(OpenMapFile(missing, c_dwOpenAll, &error));
    EXPECT_EQ(ErrorText(error),
              FormatMessageId(2001, missing.c_str(), SystemErrorText(ENOENT).c_str()));

    // "GZEM" with a wrong size field: no format accepts it.
    auto bytes = test::GoldenMap();
    test::PutLE(bytes, 8, 1234, 4);
    const std::string bad = dir.File("bad.zem");
    WriteBytes(bad, bytes);
    EXPECT_FALSE(OpenMapFile(FromUtf8(bad), c_dwOpenAll, &error));
    EXPECT_EQ(ErrorText(error), FormatMessageId(2129, FromUtf8(bad).c_str()));
    EXPECT_NE(ErrorIcon(error) & MB_ICONERROR, 0u);

    // Accepted by the probe but unsound inside: also 2129.
    bytes = test::GoldenMap();
    test::PutLE(bytes, 428, 5000, 4); // tables beyond the end
    WriteBytes(bad, bytes);
    error = {};
    EXPECT_FALSE(OpenMapFile(FromUtf8(bad), c_dwOpenAll, &error));
    EXPECT_EQ(error.code, ErrorCode::BadFileFormat);
    EXPECT_FALSE(OpenMapFile(FromUtf8(bad), c_dwOpenAll));
    // The reader tells its caller; it never shows a box itself.
    EXPECT_TRUE(HeadlessUiHost().Boxes().empty());
}

TEST(MapFormats, ProxyKeepsExtentAndReopensOnDraw) {
    test::TempDir dir;
    const std::string path = dir.File("tiny.zem");
    WriteBytes(path, test::GoldenMap());
    auto map = OpenMap(FromUtf8(path), c_dwOpenAll);
    ASSERT_TRUE(map);
    auto* proxy = dynamic_cast<CMapProxy*>(map.get());
    ASSERT_TRUE(proxy);
    proxy->CloseInner();
    EXPECT_EQ(proxy->Bounds(), (CMapRect{128000, 256000, 130048, 257024}));
    EXPECT_EQ(proxy->FinestScale(), 7);
    CMapName name;
    proxy->GetName(name);
    EXPECT_EQ(std::u16string(name.szName), FromUtf8(path));
    WORD wYear = 1;
    proxy->GetInfo(&wYear, nullptr, nullptr, nullptr, 0, nullptr, 0);
    EXPECT_EQ(wYear, 0); // closed: the default

    CMapRect rc = proxy->Bounds();
    rc.Inflate(1000, 1000);
    CRecordingPaintContext pc(rc, 500, 500, 0, 24);
    CRecordingLabelStore labels;
    proxy->Draw(pc, labels);
    ASSERT_TRUE(proxy->Inner());
    EXPECT_EQ(pc.m_polylines.size(), 1u);
    char16_t text[64];
    int nShield = 0;
    EXPECT_EQ(proxy->GetLabel(0, rkPolyline, 1, 689, text, &nShield), 2);

    // The file went away: the draw shows 2002 in the frame.
    proxy->CloseInner();
    std::filesystem::remove(path);
    CRecordingPaintContext pc2(rc, 500, 500, 0, 24);
    EXPECT_FALSE(proxy->Draw(pc2, labels));
    ASSERT_EQ(pc2.m_messages.size(), 1u);
    EXPECT_EQ(pc2.m_messages[0],
              FormatMessageId(2002, FromUtf8(path).c_str(), SystemErrorText(ENOENT).c_str()));
}

TEST(MapFormats, FileNameOf260CharactersIsKeptWhole) {
    const std::u16string name(260, u'n');
    const std::u16string longer(300, u'n');
    const auto bytes = test::GoldenMap();
    auto a = OpenMapMemory(name, bytes.data(), bytes.size(), c_dwOpenAll);
    auto b = OpenMapMemory(longer, bytes.data(), bytes.size(), c_dwOpenAll);
    ASSERT_TRUE(a && b);
    CMapName out;
    a->GetName(out);
    EXPECT_EQ(std::u16string(out.szName), name);
    b->GetName(out);
    EXPECT_EQ(std::u16string(out.szName), name);
}

TEST(MapFormats, OpenWithoutObjectTablesCannotDraw) {
    const auto bytes = test::GoldenMap();
    auto map = OpenMapMemory(u"m", bytes.data(), bytes.size(), c_dwOpenBounds | c_dwOpenLabelTables);
    ASSERT_TRUE(map);
    auto* zem = dynamic_cast<CZemParser*>(map.get());
    EXPECT_FALSE(zem->CanDraw());
    char16_t text[64];
    int n = 0;
    EXPECT_EQ(map->GetLabel(0, rkPoint, 0x2B01, 697, text, &n), 2); // labels still read
    CRecordingPaintContext pc(map->Bounds(), 100, 100, 0, 24);
    CRecordingLabelStore labels;
    EXPECT_FALSE(map->Draw(pc, labels));
    EXPECT_TRUE(labels.m_labels.empty());
}

} // namespace
} // namespace velka
