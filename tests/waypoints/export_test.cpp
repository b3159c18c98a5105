// Export edge cases checked byte by byte, and files we write read back by
// GPSBabel with the same content.
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "platform/mapped_file.h"
#include "platform/text.h"
#include "platform/ui_host.h"
#include "tests/support/test_support.h"
#include "tests/waypoints/oracle.h"

namespace velka {
namespace {

std::u16string U(const char* s) { return FromUtf8(s); }

std::vector<BYTE> Bytes(const std::string& strPath) {
    const std::string s = test::ReadFile(strPath);
    return std::vector<BYTE>(s.begin(), s.end());
}

using test::HaveGpsBabel;
using test::ReadWithGpsBabel;

struct Record {
    char chType;
    std::vector<BYTE> body;
};

std::vector<Record> Records(const std::vector<BYTE>& file, std::size_t offset) {
    std::vector<Record> out;
    std::size_t p = offset;
    while (p + 5 <= file.size()) {
        DWORD cb = 0;
        std::memcpy(&cb, &file[p], 4);
        if (p + 5 + cb > file.size()) break;
        out.push_back({static_cast<char>(file[p + 4]),
                       std::vector<BYTE>(file.begin() + long(p + 5), file.begin() + long(p + 5 + cb))});
        p += 5 + cb;
        if (out.back().chType == 'A' && p + 10 <= file.size() && std::memcmp(&file[p], "MapSource", 10) == 0)
            p += 10;
    }
    EXPECT_EQ(p, file.size());
    return out;
}

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        HeadlessUiHost().ClearBoxes();
        const std::u16string same = U("Same");
        m_a = m_store.CreateWaypoint(100, 200, 40000.25, 12.5f, &same);
        m_b = m_store.CreateWaypoint(300, 400, 0, std::nullopt, &same);
        const std::u16string c = U("Comma, and\r\nbreak");
        m_c = m_store.CreateWaypoint(500, 600, 0, std::nullopt, &c);
        m_c->strComment = U("one, two");
        m_store.AddWaypointsInOrder({}); // nothing
    }
    // List order is newest first: c, b, a.
    test::TempDir m_dir;
    CWaypointStore m_store;
    Waypoint* m_a = nullptr;
    Waypoint* m_b = nullptr;
    Waypoint* m_c = nullptr;
};

TEST_F(ExportTest, GdbHeadNamesAndWaypointRecords) {
    const std::string strPath = m_dir.File("w.gdb");
    ASSERT_TRUE(ExportGdb(strPath, m_store, false, nullptr, test::IgnoredError()));
    const std::vector<BYTE> file = Bytes(strPath);
    ASSERT_GE(file.size(), 54u + 7u);
    EXPECT_EQ(std::memcmp(file.data(), "MsRcf\0\x02\0\0\0Dk\0\x1a\0\0\0A", 18), 0);
    EXPECT_EQ(std::memcmp(file.data() + 44, "MapSource", 10), 0);
    EXPECT_EQ(std::memcmp(file.data() + file.size() - 7, "\x02\0\0\0V\0\x01", 7), 0);
    const auto recs = Records(file, 6);
    ASSERT_EQ(recs.size(), 6u); // D, A, three W, V
    // Names in list order, the second "Same" made unique.
    EXPECT_STREQ(reinterpret_cast<const char*>(recs[3].body.data()), "Same");
    EXPECT_STREQ(reinterpret_cast<const char*>(recs[4].body.data()), "Same (1)");
    // Without altitude the flag is 0 and no double follows: the byte after
    // the coordinates (name, class, country, subclass) is the flag.
    const std::size_t offAlt = std::strlen("Same") + 1 + 4 + 1 + 22 + 8;
    EXPECT_EQ(recs[3].body[offAlt], 0);
    EXPECT_EQ(recs[3].body[offAlt + 1], 0); // empty comment follows at once
    EXPECT_EQ(recs[4].body[std::strlen("Same (1)") + 1 + 4 + 1 + 22 + 8], 1);

    CMappedFile mapped;
    ASSERT_TRUE(mapped.Open(strPath));
    CWaypointStore back;
    ImportTarget target(back);
    ASSERT_TRUE(ImportGdb(mapped.Bytes(), target));
    ASSERT_EQ(target.m_cWaypoints, 3);
    const Waypoint& a = *back.Waypoints()[2];
    EXPECT_EQ(a.strName, U("Same (1)"));
    EXPECT_EQ(a.fAltitude, 12.5f);
    EXPECT_EQ(a.dTime, 40000.25);
    EXPECT_FALSE(back.Waypoints()[1]->HasAltitude());
}

TEST_F(ExportTest, GdbRouteOfThreeWaypointsHasThreeLinks) {
    Route* r = m_store.CreateRoute(nullptr, 1);
    m_store.AppendPoint(*r, test::RefPoint(m_a));
    m_store.AppendPoint(*r, test::PlainPoint(1000, 1000)); // a plain point: not written
    m_store.AppendPoint(*r, test::RefPoint(m_b));
    m_store.AppendPoint(*r, test::RefPoint(m_c));
    const std::string strPath = m_dir.File("r.gdb");
    ASSERT_TRUE(ExportGdb(strPath, m_store, true, nullptr, test::IgnoredError()));
    const auto recs = Records(Bytes(strPath), 6);
    ASSERT_EQ(recs.size(), 7u);
    const std::vector<BYTE>& rb = recs[5].body;
    ASSERT_EQ(recs[5].chType, 'R');
    std::size_t p = 4 + 2 + 9 + 9; // "001", two bytes, two corners
    DWORD cLinks = 0;
    std::memcpy(&cLinks, &rb[p], 4);
    EXPECT_EQ(cLinks, 3u);
    p += 4;
    const char* names[3] = {"Same (1)", "Same", "Comma, and\r\nbreak"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(reinterpret_cast<const char*>(&rb[p]), names[i]);
        p += std::strlen(names[i]) + 1 + 27;
        DWORD c = 0;
        std::memcpy(&c, &rb[p + 19], 4);
        EXPECT_EQ(c, i < 2 ? 2u : 0u);
        p += 23;
        if (i < 2) {
            p += 2 * 9;
            EXPECT_EQ(rb[p], 0);
            p += 1 + 2 * 9;
        } else {
            EXPECT_EQ(rb[p], 1);
            p += 1;
        }
    }
    EXPECT_EQ(rb[p], 0); // the third text
    EXPECT_EQ(p + 1, rb.size());

    CMappedFile mapped;
    ASSERT_TRUE(mapped.Open(strPath));
    CWaypointStore back;
    ImportTarget target(back);
    ASSERT_TRUE(ImportGdb(mapped.Bytes(), target));
    ASSERT_EQ(back.Routes().size(), 1u);
    const auto& pts = back.Routes()[0]->points;
    ASSERT_EQ(pts.size(), 3u);
    EXPECT_EQ(pts[0].pWaypoint->strName, U("Same (1)"));
    EXPECT_EQ(pts[2].pWaypoint->strName, U("Comma, and\r\nbreak"));
    EXPECT_EQ(pts[1].pWaypoint->cRefs, 1);
}

TEST_F(ExportTest, WptWritesFeetMinus777AndByte209) {
    const std::string strPath = m_dir.File("w.wpt");
    ASSERT_TRUE(ExportWpt(strPath, m_store, false, nullptr, test::IgnoredError()));
    const std::string text = test::ReadFile(strPath);
    EXPECT_EQ(text.rfind("OziExplorer Waypoint File Version 1.0\r\nWGS 84\r\nReserved 2\r\nReserved 3\r\n", 0), 0u);
    EXPECT_NE(text.find("1,Comma\xD1 and  break,"), std::string::npos);
    EXPECT_NE(text.find("one\xD1 two, 0, 0, "), std::string::npos);
    EXPECT_NE(text.find(", -777\r\n"), std::string::npos);
    EXPECT_NE(text.find(", 41.01050\r\n"), std::string::npos); // 12.5 m in feet
    CMappedFile mapped;
    ASSERT_TRUE(mapped.Open(strPath));
    CWaypointStore back;
    ImportTarget target(back);
    ASSERT_TRUE(ImportWpt(mapped.Bytes(), target));
    ASSERT_EQ(target.m_cWaypoints, 3);
    EXPECT_EQ(back.Waypoints()[0]->strComment, U("one, two"));
    EXPECT_FALSE(back.Waypoints()[0]->HasAltitude());
    EXPECT_NEAR(back.Waypoints()[2]->fAltitude, 12.5f, 1e-4);
}

TEST_F(ExportTest, GpsBabelReadsWhatWeWrite) {
    if (!HaveGpsBabel()) GTEST_SKIP() << "gpsbabel not installed";
    Route* r = m_store.CreateRoute(nullptr, 1);
    m_store.AppendPoint(*r, test::RefPoint(m_a));
    m_store.AppendPoint(*r, test::RefPoint(m_c));
    m_a->lY = 606990317;
    m_a->lX = 148342070;
    const struct {
        const char* szExt;
        const char* szBabel;
        ExportFn pfn;
        bool fRoutes;
    } cases[] = {{"gdb", "gdb", ExportGdb, true}, {"wpt", "ozi", ExportWpt, false},
                 {"rte", "ozi", ExportRte, true}, {"gpx", "gpx", ExportGpx, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.szExt);
        const std::string strPath = m_dir.File(std::string("x.") + c.szExt);
        ASSERT_TRUE(c.pfn(strPath, m_store, c.fRoutes, nullptr, test::IgnoredError()));
        const test::Oracle o = ReadWithGpsBabel(c.szBabel, strPath, strPath + ".gpx");
        if (c.pfn != ExportRte) {
            ASSERT_EQ(o.waypoints.size(), 3u);
            EXPECT_NEAR(o.waypoints[2].dLat, test::SemiToDeg(606990317), 1e-6);
            EXPECT_NEAR(o.waypoints[2].dLon, test::SemiToDeg(148342070), 1e-6);
            EXPECT_TRUE(o.waypoints[2].ele.has_value());
            EXPECT_FALSE(o.waypoints[1].ele.has_value());
            if (c.pfn != ExportWpt) {
                EXPECT_EQ(o.waypoints[0].strName, "Comma, and\nbreak"); // XML keeps LF alone
            }
            EXPECT_EQ(o.waypoints[2].time, std::optional<long long>(OleToUnixSeconds(40000.25)));
        }
        if (c.fRoutes) {
            ASSERT_EQ(o.routes.size(), 1u);
            ASSERT_EQ(o.routes[0].points.size(), 2u);
            EXPECT_EQ(o.routes[0].strName, "001");
            EXPECT_NEAR(o.routes[0].points[0].dLat, test::SemiToDeg(606990317), 1e-6);
        }
    }
}

} // namespace
} // namespace velka
