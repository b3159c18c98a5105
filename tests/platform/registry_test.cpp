#include <gtest/gtest.h>

#include <fstream>

#include "platform/mapped_file.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "tests/support/test_support.h"

namespace velka {
namespace {

TEST(Registry, KeysAndValuesAreCaseInsensitiveAndTyped) {
    test::ScopedSettings scope;
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, u"Software\\Velka\\MapCollections\\Atlas 1", &h),
              ERROR_SUCCESS);
    DWORD dw = 42;
    ASSERT_EQ(RegSetValueEx(h, u"Count", REG_DWORD, reinterpret_cast<BYTE*>(&dw), 4), ERROR_SUCCESS);
    RegCloseKey(h);

    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"SOFTWARE\\velka\\mapcollections\\ATLAS 1", &h),
              ERROR_SUCCESS);
    DWORD dwType = 0, out = 0, cb = 4;
    ASSERT_EQ(RegQueryValueEx(h, u"count", &dwType, reinterpret_cast<BYTE*>(&out), &cb), ERROR_SUCCESS);
    EXPECT_EQ(dwType, REG_DWORD);
    EXPECT_EQ(out, 42u);
    // A too small buffer reports the size needed.
    cb = 2;
    EXPECT_EQ(RegQueryValueEx(h, u"Count", &dwType, reinterpret_cast<BYTE*>(&out), &cb), ERROR_MORE_DATA);
    EXPECT_EQ(cb, 4u);
    RegCloseKey(h);

    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"Software\\Missing", &h), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(h, nullptr);
}

TEST(Registry, CorruptDatabaseIsNotOpenedAndNotTouched) {
    test::TempDir dir;
    std::string path = dir.File("settings.db");
    std::string garbage(8192, '\x5A');
    std::ofstream(path, std::ios::binary) << garbage;
    RegSetDatabasePath(path);
    HKEY h = nullptr;
    EXPECT_NE(RegCreateKeyEx(HKEY_CURRENT_USER, u"Software\\Velka\\Velkanav", &h), ERROR_SUCCESS);
    EXPECT_FALSE(RegLastOpenError().empty());
    RegShutdown();
    RegSetDatabasePath("");
    EXPECT_EQ(test::ReadFile(path), garbage);
}

TEST(Paths, AtomicWriteReplacesWholeFile) {
    test::TempDir dir;
    std::string path = dir.File("out.bin");
    ASSERT_TRUE(WriteFileAtomic(path, "first", 5));
    ASSERT_TRUE(WriteFileAtomic(path, "2nd", 3));
    EXPECT_EQ(test::ReadFile(path), "2nd");
    int err = 0;
    EXPECT_FALSE(WriteFileAtomic(dir.File("no/such/dir/x"), "x", 1, &err));
    EXPECT_NE(err, 0);
}

TEST(MappedFile, MapsAndReportsErrors) {
    test::TempDir dir;
    std::ofstream(dir.File("a")) << "hello";
    CMappedFile f;
    ASSERT_TRUE(f.Open(dir.File("a")));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(f.Data()), f.Size()), "hello");
    std::ofstream(dir.File("empty"));
    ASSERT_TRUE(f.Open(dir.File("empty")));
    EXPECT_EQ(f.Size(), 0u);
    EXPECT_FALSE(f.Open(dir.File("missing")));
    EXPECT_EQ(f.LastError(), ENOENT);
    EXPECT_FALSE(f.Open(dir.Path().string()));
}

} // namespace
} // namespace velka
