// velkatool outputs that never surprise: a full device, a symlink or a
// character device as the output, refused arguments before long work, and
// conversions that say what they could not carry.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <sys/wait.h>

#include "tests/support/test_support.h"

namespace velka {
namespace {

namespace fs = std::filesystem;

class ToolOutputs : public ::testing::Test {
protected:
    void SetUp() override {
        tool = std::string(VELKA_BINARY_DIR) + "/bin/velkatool";
        if (!fs::exists(tool)) GTEST_SKIP() << "velkatool not built";
        run = tool + " --settings-db " + dir.File("s.db") + " ";
    }
    int Exit(const std::string& strArgs) {
        int rc = std::system((run + strArgs).c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    std::string Err(const std::string& strArgs) {
        std::system((run + strArgs + " >/dev/null 2>" + dir.File("err")).c_str());
        return test::ReadFile(dir.File("err"));
    }
    test::TempDir dir;
    std::string tool, run;
};

TEST_F(ToolOutputs, FullDeviceIsAFailureForEveryPrintingCommand) {
    const auto img = test::CorpusPath("img/monaco-6bit-route.img");
    VELKA_REQUIRE_CORPUS(img);
    for (const std::string& args : {"info " + img.string(), "dump " + img.string(), std::string("geo geoid 55,37")})
        EXPECT_EQ(Exit(args + " >/dev/full 2>/dev/null"), 1) << args;
    EXPECT_EQ(Exit("info " + img.string() + " >/dev/null 2>&1"), 0);
}

TEST_F(ToolOutputs, InfoNamesImgMaps) {
    const auto img = test::CorpusPath("img/monaco-6bit-route.img");
    VELKA_REQUIRE_CORPUS(img);
    ASSERT_EQ(Exit("info " + img.string() + " >" + dir.File("info.json")), 0);
    EXPECT_NE(test::ReadFile(dir.File("info.json")).find("\"format\": \"img\""), std::string::npos);
}

TEST_F(ToolOutputs, ConvertWritesThroughALinkAndLeavesDevicesDevices) {
    const auto gdb = test::CorpusPath("exchange/gdb/gdb-sample.gdb");
    VELKA_REQUIRE_CORPUS(gdb);
    fs::create_directory(dir.File("keep"));
    std::ofstream(dir.File("keep/out.gpx")) << "old";
    fs::create_symlink(dir.File("keep/out.gpx"), dir.File("link.gpx"));
    ASSERT_EQ(Exit("convert " + gdb.string() + " " + dir.File("link.gpx") + " >/dev/null"), 0);
    EXPECT_TRUE(fs::is_symlink(dir.File("link.gpx"))) << "the link stays a link";
    EXPECT_NE(test::ReadFile(dir.File("keep/out.gpx")).find("<gpx"), std::string::npos);

    // A device is never replaced by a regular file (as root, rename could).
    const std::string dev = dir.File("full.gpx");
    if (::geteuid() == 0 && ::mknod(dev.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0) {
        EXPECT_EQ(Exit("convert " + gdb.string() + " " + dev + " >/dev/null 2>&1"), 1);
        EXPECT_TRUE(fs::is_character_file(dev)) << "still the device";
    }
}

TEST_F(ToolOutputs, ConversionSaysWhatItCouldNotCarry) {
    const auto gdb = test::CorpusPath("exchange/gdb/gdb-sample.gdb");
    VELKA_REQUIRE_CORPUS(gdb);
    // The sample holds routes and tracks; OziExplorer waypoints hold neither.
    const std::string err = Err("convert " + gdb.string() + " " + dir.File("out.wpt"));
    EXPECT_NE(err.find("not written"), std::string::npos) << err;
    EXPECT_EQ(Exit("convert " + gdb.string() + " " + dir.File("out2.wpt") + " >/dev/null 2>&1"), 1);
    EXPECT_EQ(Exit("convert " + gdb.string() + " " + dir.File("out.gdb") + " >/dev/null 2>&1"), 0);
}

TEST_F(ToolOutputs, RenderAndMapcCheckTheirArgumentsFirst) {
    const auto img = test::CorpusPath("img/monaco-6bit-route.img");
    VELKA_REQUIRE_CORPUS(img);
    if (Exit("render --help >/dev/null 2>&1") != 0) GTEST_SKIP() << "velkatool built without render";
    const std::string png = dir.File("out.png");
    // Not a position, and a position off the map: refused, no picture.
    std::string err = Err("render " + img.string() + " --center 95,9 -o " + png);
    EXPECT_NE(err.find("-90 .. 90"), std::string::npos) << err;
    EXPECT_EQ(Exit("render " + img.string() + " --center 95,9 -o " + png + " 2>/dev/null"), 2);
    err = Err("render " + img.string() + " --center 48.85,2.35 -o " + png);
    EXPECT_NE(err.find("outside the map"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(png));
    EXPECT_NE(Err("render " + img.string() + " --size 9x9 -o " + png).find("8192"), std::string::npos);
    // A folder that does not exist is found before compiling anything.
    const auto osm = test::CorpusPath("osm/monaco-20210421.osm.pbf");
    VELKA_REQUIRE_CORPUS(osm);
    err = Err("mapc " + osm.string() + " --quiet -o " + dir.File("no/such/out.zem"));
    EXPECT_NE(err.find("cannot write"), std::string::npos) << err;
    // The render goes through a link to its file and leaves the link.
    fs::create_symlink(png, dir.File("link.png"));
    ASSERT_EQ(Exit("render " + img.string() + " --size 64x64 -o " + dir.File("link.png") + " >/dev/null 2>&1"), 0);
    EXPECT_TRUE(fs::is_symlink(dir.File("link.png")));
    EXPECT_TRUE(fs::is_regular_file(png));
}

} // namespace
} // namespace velka
