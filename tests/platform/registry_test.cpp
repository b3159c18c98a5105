#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <fstream>

#include "platform/atomic_file.h"
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
    // Reads after a write see the new value.
    dw = 43;
    ASSERT_EQ(RegSetValueEx(h, u"COUNT", REG_DWORD, reinterpret_cast<BYTE*>(&dw), 4), ERROR_SUCCESS);
    cb = 4;
    ASSERT_EQ(RegQueryValueEx(h, u"count", &dwType, reinterpret_cast<BYTE*>(&out), &cb), ERROR_SUCCESS);
    EXPECT_EQ(out, 43u);
    RegCloseKey(h);

    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, u"Software\\Missing", &h), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(h, nullptr);
}

// Reads back one integer of a store, through a fresh open.
int ReadBack(const std::string& path, const char16_t* szName) {
    RegSetDatabasePath(path);
    HKEY h = nullptr;
    DWORD dwType = 0, out = 0, cb = 4;
    int n = -1;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, u"Software\\Velka\\Velkanav", &h) == ERROR_SUCCESS) {
        if (RegQueryValueEx(h, szName, &dwType, reinterpret_cast<BYTE*>(&out), &cb) == ERROR_SUCCESS)
            n = static_cast<int>(out);
        RegCloseKey(h);
    }
    RegShutdown();
    return n;
}

bool Write(const std::string& path, const char16_t* szName, DWORD dw, bool fShutdown = true) {
    RegSetDatabasePath(path);
    HKEY h = nullptr;
    bool fOk = RegCreateKeyEx(HKEY_CURRENT_USER, u"Software\\Velka\\Velkanav", &h) == ERROR_SUCCESS &&
               RegSetValueEx(h, szName, REG_DWORD, reinterpret_cast<BYTE*>(&dw), 4) == ERROR_SUCCESS;
    if (h) RegCloseKey(h);
    if (fShutdown) RegShutdown();
    return fOk;
}

TEST(Registry, DamagedStoresAreKeptAsideAndReplaced) {
    test::TempDir dir;
    // Garbage, an empty file (SQLite would take it for a new store), and a
    // good store with a damaged write-ahead log.
    const std::string garbage(8192, '\x5A');
    std::ofstream(dir.File("garbage.db"), std::ios::binary) << garbage;
    std::ofstream(dir.File("empty.db"), std::ios::binary) << "";
    ASSERT_TRUE(Write(dir.File("wal.db"), u"Kept", 5));
    std::ofstream(dir.File("wal.db-wal"), std::ios::binary) << std::string(4096, 'x');
    for (const char* szName : {"garbage.db", "empty.db", "wal.db"}) {
        const std::string path = dir.File(szName);
        const std::string original = test::ReadFile(path);
        ASSERT_TRUE(Write(path, u"New", 7, false)) << szName << ": a new store takes the place";
        EXPECT_EQ(RegDamagedStoreAside(), path + ".damaged") << szName;
        EXPECT_FALSE(RegLastOpenError().empty());
        RegShutdown();
        EXPECT_EQ(test::ReadFile(path + ".damaged"), original) << szName << ": kept as it was";
        EXPECT_EQ(ReadBack(path, u"New"), 7) << szName;
        EXPECT_TRUE(RegDamagedStoreAside().empty());
    }
    EXPECT_EQ(test::ReadFile(dir.File("wal.db.damaged-wal")), std::string(4096, 'x'));
    RegSetDatabasePath("");
}

TEST(Registry, LiveWriteAheadLogIsNoDamage) {
    test::TempDir dir;
    const std::string path = dir.File("live.db");
    // While the store is open its last writes live in the WAL file: a copy
    // taken now (as after a crash) must read back whole.
    ASSERT_TRUE(Write(path, u"Value", 11, false));
    std::filesystem::copy_file(path, dir.File("copy.db"));
    if (std::filesystem::exists(path + "-wal")) std::filesystem::copy_file(path + "-wal", dir.File("copy.db-wal"));
    RegShutdown();
    EXPECT_EQ(ReadBack(dir.File("copy.db"), u"Value"), 11);
    EXPECT_FALSE(std::filesystem::exists(dir.File("copy.db.damaged")));
    RegSetDatabasePath("");
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

TEST(Paths, AtomicWriteGoesThroughLinksAndNeverReplacesDevices) {
    test::TempDir dir;
    namespace fs = std::filesystem;
    // A link (relative, through a second link) keeps pointing at its file,
    // which gets the bytes.
    fs::create_directory(dir.File("real"));
    std::ofstream(dir.File("real/target.gpx")) << "old";
    fs::create_symlink("real/target.gpx", dir.File("hop"));
    fs::create_symlink(dir.File("hop"), dir.File("link.gpx"));
    ::chmod(dir.File("real/target.gpx").c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomic(dir.File("link.gpx"), "new", 3));
    EXPECT_TRUE(fs::is_symlink(dir.File("link.gpx")));
    EXPECT_TRUE(fs::is_symlink(dir.File("hop")));
    EXPECT_EQ(test::ReadFile(dir.File("real/target.gpx")), "new");
    EXPECT_EQ(fs::status(dir.File("real/target.gpx")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read) << "mode kept";
    // A dangling link creates its target.
    fs::create_symlink("real/made.txt", dir.File("dangling"));
    ASSERT_TRUE(WriteFileAtomic(dir.File("dangling"), "x", 1));
    EXPECT_EQ(test::ReadFile(dir.File("real/made.txt")), "x");

    // A device is written in place and stays a device: /dev/full reports
    // the failure, /dev/null takes the bytes.
    int err = 0;
    EXPECT_FALSE(WriteFileAtomic("/dev/full", "x", 1, &err));
    EXPECT_EQ(err, ENOSPC);
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
    EXPECT_TRUE(WriteFileAtomic("/dev/null", "x", 1));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    // A folder is refused; nothing is left beside it.
    EXPECT_FALSE(WriteFileAtomic(dir.File("real"), "x", 1, &err));
    EXPECT_EQ(err, EISDIR);
    EXPECT_FALSE(CanWriteOutput(dir.File("real")));
    EXPECT_FALSE(CanWriteOutput(dir.File("missing/out.zem"), &err));
    EXPECT_EQ(err, ENOENT);
    EXPECT_TRUE(CanWriteOutput(dir.File("real/new.zem")));
    EXPECT_TRUE(CanWriteOutput("/dev/null"));
    for (const auto& e : fs::directory_iterator(dir.File("real")))
        EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos) << e.path();
}

TEST(Paths, TemporariesOfKilledWritersAreRemoved) {
    test::TempDir dir;
    const std::string path = dir.File("Waypoints.bin");
    std::ofstream(path) << "store";
    // Process ids that cannot run (above pid_max) and our own.
    std::ofstream(path + ".tmp-999999999") << std::string(1000, 'x');
    const std::string mine = path + ".tmp-" + std::to_string(::getpid());
    std::ofstream(mine) << "in progress";
    std::ofstream(dir.File("Other.bin.tmp-999999999")) << "not ours";
    RemoveStaleTemporaries(path);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp-999999999"));
    EXPECT_TRUE(std::filesystem::exists(mine));
    EXPECT_TRUE(std::filesystem::exists(dir.File("Other.bin.tmp-999999999")));
    EXPECT_EQ(test::ReadFile(path), "store");
}

TEST(Paths, PrivateFoldersAreNarrowed) {
    test::TempDir dir;
    const std::string state = dir.File("state/velka");
    ASSERT_TRUE(EnsurePrivateDirectory(state));
    struct stat st {};
    ASSERT_EQ(::stat(state.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ::chmod(state.c_str(), 0755);
    ASSERT_TRUE(EnsurePrivateDirectory(state));
    ASSERT_EQ(::stat(state.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
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
