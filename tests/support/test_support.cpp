#include "tests/support/test_support.h"

#include <fstream>
#include <random>
#include <sstream>
#include <unistd.h>

#include "platform/registry.h"
#include "shell/settings.h"

namespace velka::test {

TempDir::TempDir() {
    std::random_device rd;
    std::string name = "velka-test-" + std::to_string(getpid()) + "-" + std::to_string(rd());
    m_path = std::filesystem::temp_directory_path() / name;
    std::filesystem::create_directories(m_path);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::filesystem::path CorpusDir() {
#ifdef VELKA_CORPUS_DIR
    return VELKA_CORPUS_DIR;
#else
    return "../shared/data";
#endif
}

std::filesystem::path CorpusPath(const std::string& strRelative) { return CorpusDir() / strRelative; }

std::filesystem::path SourcePath(const std::string& strRelative) {
#ifdef VELKA_SOURCE_DIR
    return std::filesystem::path(VELKA_SOURCE_DIR) / strRelative;
#else
    return strRelative;
#endif
}

ScopedSettings::ScopedSettings() {
    SettingsClose();
    RegSetDatabasePath(DatabasePath());
}

ScopedSettings::~ScopedSettings() {
    SettingsClose();
    RegShutdown();
    RegSetDatabasePath("");
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace velka::test
