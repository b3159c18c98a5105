// Helpers shared by the tests: private temporary folders, the outside-data
// corpus (read in place, read-only) and a settings database per test.
#pragma once
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "shell/error.h"

namespace velka::test {

// An error slot for calls whose result a test checks instead of their error.
inline CError& IgnoredError() {
    static thread_local CError error;
    error = {};
    return error;
}

// A fresh folder removed again at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& strName) const { return (m_path / strName).string(); }

private:
    std::filesystem::path m_path;
};

// The corpus folder given to the build, and one file or folder in it.
std::filesystem::path CorpusDir();
std::filesystem::path CorpusPath(const std::string& strRelative);
// Source tree (for the project's own test files).
std::filesystem::path SourcePath(const std::string& strRelative);

// Points the settings backend at a database in a private folder for the
// life of the object, and closes the store afterwards.
class ScopedSettings {
public:
    ScopedSettings();
    ~ScopedSettings();
    std::string DatabasePath() const { return m_dir.File("settings.db"); }
    const TempDir& Dir() const { return m_dir; }

private:
    TempDir m_dir;
};

std::string ReadFile(const std::filesystem::path& path);

} // namespace velka::test

// Skips the current test, visibly, when a corpus file is missing.
#define VELKA_REQUIRE_CORPUS(path)                                                                 \
    do {                                                                                           \
        if (!std::filesystem::exists(path))                                                        \
            GTEST_SKIP() << "outside test data not found: " << (path).string();                    \
    } while (0)
